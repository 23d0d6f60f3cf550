// The fax application stand-in: the least of the fax application that kalmosend needs to run
// and be tested. One program with several roles:
//   kalmo-standin serve <ProgID>   an automation class on the session bus (D-Bus activation)
//   <name>.exe ...                 a program of the program folder, chosen by the name it was
//                                  started under (a link named after the program)
// docs/fax-application.md describes the roles and their data files.

#include "Roles.h"

#include <QFileInfo>
#include <QString>
#include <cstdio>

int main(int argc, char* argv[]) {
    const QString self = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    if (argc >= 3 && QString::fromLatin1(argv[1]) == u"serve")
        return standin::Serve(argc, argv, QString::fromLocal8Bit(argv[2]));
    for (const standin::ProgramRole& role : standin::ProgramRoles()) {
        if (self.compare(role.name, Qt::CaseInsensitive) == 0)
            return role.run(argc, argv);
    }
    std::fprintf(stderr, "kalmo-standin: unknown role '%s'\n", argv[0]);
    return 2;
}
