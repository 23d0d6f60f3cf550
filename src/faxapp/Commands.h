#pragma once

// kalmofax's sub-commands. Those without a window live in the faxapp library; those with one
// in faxapp/ui.

#include "faxapp/Command.h"

#include <memory>

namespace faxapp {

std::unique_ptr<Command> MakeServeCommand();       // serve <ProgID>: an automation class
std::unique_ptr<Command> MakeJournalCommand();     // journal [--json]
std::unique_ptr<Command> MakeConvertPageCommand(); // convert-page <bitmap> <output>

// faxapp/ui
std::unique_ptr<Command> MakeAddressBookCommand(); // addressbook
std::unique_ptr<Command> MakeViewCommand();        // view [--png DIR] <file>
std::unique_ptr<Command> MakeVersionCommand();     // version
std::unique_ptr<Command> MakeRunCommand();         // run: the fax application itself

} // namespace faxapp
