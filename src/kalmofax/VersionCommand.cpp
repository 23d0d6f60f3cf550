#include "faxapp/ui/VersionParts.h"
#include "faxapp/ui/VersionWindow.h"
#include "faxapp/ui/WindowLanguage.h"
#include "kalmofax/Commands.h"

#include <QApplication>
#include <cstdio>

namespace faxapp {

namespace {

// version [--text]: the versions of the parts, in a dialog or (--text) on standard output.
class VersionCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("version"); }
    QString Description() const override {
        return QStringLiteral("the versions of kalmofax's parts [--text]");
    }

    int Execute(int argc, char* argv[], int first) override {
        bool text = false;
        for (int i = first; i < argc; ++i) {
            if (QString::fromLocal8Bit(argv[i]) != u"--text") {
                std::fprintf(stderr, "usage: kalmofax version [--text]\n");
                return 2;
            }
            text = true;
        }
        if (text) {
            QCoreApplication app(argc, argv);
            std::fputs(VersionText(CollectVersions()).toLocal8Bit().constData(), stdout);
            return 0;
        }
        QApplication app(argc, argv);
        const WindowLanguage language;
        VersionWindow window(CollectVersions());
        window.exec();
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> MakeVersionCommand() {
    return std::make_unique<VersionCommand>();
}

} // namespace faxapp
