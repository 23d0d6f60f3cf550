// kalmofax, the fax application's side on Linux: one program with sub-commands. The program
// folder holds links to it under the names kalmosend starts (KalFax32.exe, ...); started by
// such a name it runs that name's command with the arguments as they came.

#include "fax/FaxContract.h"
#include "kalmofax/Commands.h"

#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

struct CommandEntry {
    std::function<std::unique_ptr<faxapp::Command>()> make;
    QString programName; // the program folder's name for it, empty for none
};

std::vector<CommandEntry> CommandTable() {
    using namespace faxapp;
    return {
        {MakeRunCommand, fax::kProgramFax},
        {MakeAddressBookCommand, fax::kProgramAddressBook},
        {MakeViewCommand, fax::kProgramViewer},
        {MakeVersionCommand, fax::kProgramVersion},
        {MakeConvertPageCommand, fax::kProgramConverter},
        {MakeServeCommand, {}},
        {MakeJournalCommand, {}},
        {MakePasswordCommand, {}},
        {MakeDirectoryCommand, {}},
        {MakeReportCommand, {}},
        {MakeSettingsCommand, {}},
        {MakeCardDavCommand, {}},
    };
}

int Usage(const std::vector<CommandEntry>& table) {
    std::fprintf(stderr, "usage: kalmofax <command> [arguments]\n\ncommands:\n");
    for (const CommandEntry& entry : table) {
        const auto command = entry.make();
        std::fprintf(stderr, "  %-14s %s\n", qPrintable(command->Name()),
                     qPrintable(command->Description()));
    }
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::vector<CommandEntry> table = CommandTable();
    const QString self = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    for (const CommandEntry& entry : table) {
        if (!entry.programName.isEmpty() &&
            self.compare(entry.programName, Qt::CaseInsensitive) == 0)
            return entry.make()->Execute(argc, argv, 1);
    }
    if (argc < 2)
        return Usage(table);
    const QString name = QString::fromLocal8Bit(argv[1]);
    for (const CommandEntry& entry : table) {
        auto command = entry.make();
        if (command->Name() == name)
            return command->Execute(argc, argv, 2);
    }
    std::fprintf(stderr, "kalmofax: unknown command '%s'\n", argv[1]);
    return Usage(table);
}
