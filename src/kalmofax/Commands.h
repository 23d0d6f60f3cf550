#pragma once

// kalmofax's sub-commands, one source each beside the program's table (main.cpp).

#include "kalmofax/Command.h"

#include <memory>

class RegistryStore;

namespace faxapp {

// The machine's or the user's settings file opened for writing, made first when missing: for
// the commands that configure kalmofax.
std::unique_ptr<RegistryStore> OpenSettingsForWriting(bool machine);

std::unique_ptr<Command> MakeServeCommand();       // serve <ProgID>: an automation class
std::unique_ptr<Command> MakeJournalCommand();     // journal [--json]
std::unique_ptr<Command> MakeConvertPageCommand(); // convert-page <bitmap> <output>
std::unique_ptr<Command> MakePasswordCommand();    // password [--delete]
std::unique_ptr<Command> MakeDirectoryCommand();   // directory add|list|password|test|remove
std::unique_ptr<Command> MakeReportCommand();      // report [--write] [--print] <job file>
std::unique_ptr<Command> MakeSettingsCommand();    // settings (the window)
std::unique_ptr<Command> MakeCardDavCommand();     // carddav add|password|list|test|sync|remove

// with windows
std::unique_ptr<Command> MakeAddressBookCommand(); // addressbook
std::unique_ptr<Command> MakeViewCommand();        // view [--png DIR] <file>
std::unique_ptr<Command> MakeVersionCommand();     // version
std::unique_ptr<Command> MakeRunCommand();         // run: the fax application itself

} // namespace faxapp
