#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "faxapp/contacts/ContactFolder.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/notify/DesktopNotifier.h"
#include "faxapp/notify/JobNotices.h"
#include "faxapp/notify/NoticeRouter.h"
#include "faxapp/receiving/ReceiveStep.h"
#include "faxapp/report/SendReports.h"
#include "faxapp/sending/FaxSettings.h"
#include "faxapp/sending/JobActions.h"
#include "faxapp/sending/QueueService.h"
#include "faxapp/ui/JournalModel.h"
#include "faxapp/ui/MainWindow.h"
#include "faxapp/ui/SignalQuitter.h"
#include "faxapp/ui/WindowLanguage.h"
#include "kalmofax/Commands.h"
#include "platform/ManualHelp.h"
#include "platform/PosixProcessLauncher.h"
#include "platform/Presence.h"
#include "platform/RegistryStore.h"
#include "support/Clock.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>
#include <cstdio>

namespace faxapp {

namespace {

const QString kMainWindowInterface = QStringLiteral("org.zeb.Kalmofax.MainWindow");
constexpr int kShowTimeoutMs = 5000;
// The journal table's columns (widths, order, sorting), kept per user in section "Fax".
const QString kValueJournalLayout = QStringLiteral("JournalSpalten");

// The send dialog a fax is forwarded with: KALMOSEND_PROGRAM when set, else kalmosend beside
// this program (both are installed in the same bin folder), else kalmosend on the PATH.
QString SendProgram() {
    if (const QString named = qEnvironmentVariable("KALMOSEND_PROGRAM"); !named.isEmpty())
        return named;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/kalmosend");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("kalmosend"));
}

// What the window does outside itself: the viewer is this program's "view" command; names
// come from the own address book; the table's layout is kept in the settings store; a fax is
// forwarded through the send dialog.
MainWindowServices WindowServices(const FaxSettings& settings, ProcessLauncher& launcher) {
    MainWindowServices services;
    services.received.launcher = &launcher;
    services.received.sendProgram = SendProgram();
    services.showDocument = [](const QString& path) {
        QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                {QStringLiteral("view"), QFileInfo(path).absoluteFilePath()});
    };
    services.readNames = [contactsDir = settings.contactsDir] {
        QHash<QString, QString> names;
        if (contactsDir.isEmpty())
            return names;
        for (const Contact& contact : ContactFolder(contactsDir).ReadAll().contacts) {
            for (const QString& number : contact.faxNumbers)
                names.insert(NumberKey(number), contact.name);
        }
        names.remove(QString());
        return names;
    };
    services.readLayout = [] {
        const auto registry = Registry::OpenDefault();
        const auto value =
            registry->User().QueryValue(fax::SectionKey(fax::kSectionFax), kValueJournalLayout);
        return value ? QByteArray::fromBase64(value->ToText().toLatin1()) : QByteArray();
    };
    services.sendAgain = [dataDir =
                              settings.dataDir](const JournalEntry& entry) -> Result<QString> {
        QString error;
        const auto journal = JournalStore::Open(dataDir, error);
        if (!journal)
            return Problem{0, JournalStore::DatabasePath(dataDir), error};
        const SystemClock clock;
        return SendAgain(dataDir, *journal, entry, clock);
    };
    services.cancelJob = [settings](const JournalEntry& entry) {
        return CancelAtServer(settings, entry.jobFile);
    };
    services.openFile = [](const QString& path) {
        DesktopUrlOpener viewer;
        return viewer.OpenUrl(QUrl::fromLocalFile(path));
    };
    services.writeLayout = [](const QByteArray& layout) {
        const auto registry = Registry::OpenDefault();
        registry->User().SetValue(fax::SectionKey(fax::kSectionFax), kValueJournalLayout,
                                  RegValue::FromText(QString::fromLatin1(layout.toBase64())));
    };
    return services;
}

// What is done with each job the engine files or finds waiting too long: a send report, a
// notice (desktop, else tray, else only the journal).
struct Outcomes {
    Outcomes(const FaxSettings& settings, DesktopNotifier* desktop, TrayMessages* tray)
        : router(desktop, tray),
          notices(LoadNoticeSettings(), settings.dataDir, settings.contactsDir, router, clock),
          reports(LoadReportSettings(settings.server.user), settings.dataDir, settings.contactsDir,
                  launcher, clock) {
        all.Add(&reports);
        all.Add(&notices);
    }
    SystemClock clock;
    PosixProcessLauncher launcher;
    NoticeRouter router;
    JobNotices notices;
    SendReports reports;
    JobObservers all;
};

// run: the fax application itself. While it runs it owns the presence name that kalmosend
// asks for, so a second start only reports the first one and leaves.
class RunCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("run"); }
    QString Description() const override {
        return QStringLiteral("the fax application: sends the jobs through the fax server, "
                              "journal window and tray icon [--minimised | --once]");
    }

    int Execute(int argc, char* argv[], int first) override {
        // kalmosend starts KalFax32.exe without arguments and wants it out of the way.
        const bool asProgram = QFileInfo(QString::fromLocal8Bit(argv[0]))
                                   .fileName()
                                   .compare(fax::kProgramFax, Qt::CaseInsensitive) == 0;
        bool minimised = asProgram;
        bool once = false;
        for (int i = first; i < argc && !asProgram; ++i) {
            const QString arg = QString::fromLocal8Bit(argv[i]);
            if (arg == u"--minimised" || arg == u"--minimized") {
                minimised = true;
            } else if (arg == u"--once") {
                once = true;
            } else {
                std::fprintf(stderr, "usage: kalmofax run [--minimised | --once]\n");
                return 2;
            }
        }
        if (once) {
            // For scripts and tests: what is in Comjob now, without a window or the bus. Text
            // print files are drawn with fonts, which need a GUI application, not a display.
            qputenv("QT_QPA_PLATFORM", "offscreen");
            QGuiApplication app(argc, argv);
            const WindowLanguage language; // of the notices and the send reports
            const FaxSettings settings = LoadFaxSettings(ServerPassword::Read);
            // Run from a terminal or a user unit, it tells the desktop too where there is one;
            // nobody is left to answer actions once it has ended.
            QDBusConnection bus = QDBusConnection::sessionBus();
            std::unique_ptr<DesktopNotifier> desktop;
            if (bus.isConnected())
                desktop = std::make_unique<DesktopNotifier>(bus, false);
            Outcomes outcomes(settings, desktop.get(), nullptr);
            const auto receiving = MakeReceiveStep(settings);
            return QueueService::RunOnce(settings, &outcomes.all, receiving.get());
        }

        QApplication app(argc, argv);
        const WindowLanguage language;
        QApplication::setApplicationName(QStringLiteral("kalmofax"));
        QApplication::setQuitOnLastWindowClosed(false);

        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            std::fprintf(stderr, "kalmofax: no session bus: %s\n",
                         qPrintable(bus.lastError().message()));
            return 1;
        }
        const QString presence = Presence::BusName(fax::kWindowClass);
        const auto reply =
            bus.interface()->registerService(presence, QDBusConnectionInterface::DontQueueService,
                                             QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
            if (bus.interface()->isServiceRegistered(presence).value()) {
                std::printf("kalmofax: the fax application is already running\n");
                // Started from the menu: the user wants to see it. Whether it answers or not,
                // this instance has nothing more to do.
                if (!minimised) {
                    bus.call(QDBusMessage::createMethodCall(presence, QStringLiteral("/"),
                                                            kMainWindowInterface,
                                                            QStringLiteral("Show")),
                             QDBus::Block, kShowTimeoutMs);
                }
                return 0;
            }
            std::fprintf(stderr, "kalmofax: cannot own %s: %s\n", qPrintable(presence),
                         qPrintable(reply.error().message()));
            return 1;
        }
        // Without its bus nobody can find the application any more: it ends with it.
        bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                    QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"),
                    &app, SLOT(quit()));

        SignalQuitter quitter;
        if (!quitter.IsValid()) {
            std::fprintf(stderr, "kalmofax: cannot watch for signals\n");
            return 1;
        }

        const FaxSettings settings = LoadFaxSettings(ServerPassword::Read);
        PosixProcessLauncher launcher;
        MainWindow window(settings.dataDir, WindowServices(settings, launcher));
        if (!settings.error.isEmpty())
            window.statusBar()->showMessage(settings.error);
        window.SetEngineState({});
        DesktopNotifier desktop(bus, true);
        QObject::connect(&desktop, &DesktopNotifier::OpenRequested, &window, &MainWindow::ShowJob);
        QObject::connect(&desktop, &DesktopNotifier::ResendRequested, &window,
                         &MainWindow::SendJobAgain);
        Outcomes outcomes(settings, &desktop, &window);
        std::unique_ptr<QueueService> queue;
        if (!settings.dataDir.isEmpty()) {
            queue =
                std::make_unique<QueueService>(settings, &outcomes.all, MakeReceiveStep(settings));
            QObject::connect(queue.get(), &QueueService::StateChanged, &window,
                             &MainWindow::SetEngineState);
            queue->Start();
        }
        bus.registerObject(QStringLiteral("/"), kMainWindowInterface, &window,
                           QDBusConnection::ExportScriptableSlots);
        window.ShowInitially(minimised);
        const int status = QApplication::exec();
        bus.unregisterService(presence);
        return status;
    }
};

} // namespace

std::unique_ptr<Command> MakeRunCommand() {
    return std::make_unique<RunCommand>();
}

} // namespace faxapp
