#include "faxapp/pages/PrintPages.h"
#include "faxapp/ui/PageView.h"
#include "faxapp/ui/ViewerWindow.h"
#include "faxapp/ui/WindowLanguage.h"
#include "kalmofax/Commands.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace faxapp {

namespace {

QString PagePngName(const QString& dir, int index) {
    return QDir(dir).filePath(QStringLiteral("page-%1.png").arg(index + 1, 3, 10, QChar(u'0')));
}

void PrintError(const QString& message) {
    std::fprintf(stderr, "kalmofax view: %s\n", qPrintable(message));
}

// view --png DIR FILE: every page to DIR/page-001.png, ...; the page count on stdout.
int RenderToPng(const QString& dir, const QString& file) {
    PrintPages pages;
    if (!pages.Open(file)) {
        PrintError(pages.Error());
        return 1;
    }
    if (!QDir().mkpath(dir)) {
        PrintError(QStringLiteral("%1: cannot create the folder").arg(dir));
        return 1;
    }
    bool ok = true;
    for (int i = 0; i < pages.PageCount(); ++i) {
        const QImage image = pages.Page(i);
        if (image.isNull()) {
            PrintError(pages.Error());
            ok = false;
            continue;
        }
        const QString name = PagePngName(dir, i);
        if (!image.save(name, "PNG")) {
            PrintError(QStringLiteral("%1: cannot be written").arg(name));
            ok = false;
        }
    }
    if (!pages.Problem().isEmpty()) {
        PrintError(pages.Problem());
        ok = false;
    }
    if (pages.BadRows() > 0)
        PrintError(
            QStringLiteral("%1: %2 damaged rows shown white").arg(file).arg(pages.BadRows()));
    std::printf("%d\n", pages.PageCount());
    return ok ? 0 : 1;
}

long long MonotonicMicros() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

class ViewCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("view"); }
    QString Description() const override {
        return QStringLiteral("[--png DIR] FILE: shows a print file's pages (or writes them)");
    }

    int Execute(int argc, char* argv[], int first) override {
        QString pngDir;
        QString file;
        for (int i = first; i < argc; ++i) {
            const QString arg = QString::fromLocal8Bit(argv[i]);
            if (arg == u"--png" && i + 1 < argc && pngDir.isEmpty()) {
                pngDir = QString::fromLocal8Bit(argv[++i]);
            } else if (file.isEmpty() && !(arg.startsWith(u'-') && arg.size() > 1)) {
                file = arg;
            } else {
                PrintError(QStringLiteral("usage: kalmofax view [--png DIR] FILE"));
                return 2;
            }
        }
        if (file.isEmpty()) {
            PrintError(QStringLiteral("usage: kalmofax view [--png DIR] FILE"));
            return 2;
        }
        if (!pngDir.isEmpty()) {
            // Writing pictures needs no screen; text pages still need fonts.
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            QGuiApplication app(argc, argv);
            return RenderToPng(pngDir, file);
        }
        return ShowWindow(argc, argv, file);
    }

private:
    static int ShowWindow(int argc, char* argv[], const QString& file) {
        QApplication app(argc, argv);
        const WindowLanguage language;
        // Hooks for tests and the start-up benchmark: once the first page is painted, write
        // it as a picture to KALMOFAX_VIEW_PNG_DIR, or report the time
        // (KALMOFAX_VIEW_BENCH_EXIT), and end.
        const QString hookDir = qEnvironmentVariable("KALMOFAX_VIEW_PNG_DIR");
        const bool benchExit = qEnvironmentVariableIsSet("KALMOFAX_VIEW_BENCH_EXIT");
        const bool hooked = !hookDir.isEmpty() || benchExit;
        auto pages = std::make_unique<PrintPages>();
        if (!pages->Open(file)) {
            PrintError(pages->Error());
            if (!hooked)
                QMessageBox::critical(nullptr, QStringLiteral("KALMO!fax Viewer"), pages->Error());
            return 1;
        }
        const QString problem = pages->Problem();
        ViewerWindow window(std::move(pages), QFileInfo(file).fileName());
        if (window.CurrentImage().isNull()) {
            // The first page was decoded while the window was made, before any connection.
            PrintError(QStringLiteral("%1: the first page cannot be decoded").arg(file));
            if (hooked)
                return 1; // nothing would ever be painted
        }
        QObject::connect(&window, &ViewerWindow::PageFailed, &window,
                         [&window, hooked](const QString& message) {
                             PrintError(message);
                             if (!hooked)
                                 QMessageBox::warning(&window, window.windowTitle(), message);
                         });
        if (hooked) {
            QObject::connect(window.View(), &PageView::FirstPainted, &window,
                             [&window, hookDir, benchExit] {
                                 if (benchExit) {
                                     std::printf("shown %lld\n", MonotonicMicros());
                                     std::fflush(stdout);
                                     ::_exit(0);
                                 }
                                 QDir().mkpath(hookDir);
                                 const bool saved = window.CurrentImage().save(
                                     PagePngName(hookDir, window.CurrentPage()), "PNG");
                                 QCoreApplication::exit(saved ? 0 : 1);
                             });
        }
        window.show();
        if (!problem.isEmpty()) {
            PrintError(problem);
            if (!hooked)
                QMessageBox::warning(&window, window.windowTitle(), problem);
        }
        return app.exec();
    }
};

} // namespace

std::unique_ptr<Command> MakeViewCommand() {
    return std::make_unique<ViewCommand>();
}

} // namespace faxapp
