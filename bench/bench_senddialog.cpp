// The send dialog over an own address book of 0, 1,000, 10,000 and 100,000 vCard contacts,
// served by kalmofax's KalmoAdr.Document on a private bus, offscreen:
//   - kalmosend from its process start to the dialog shown (KALMOSEND_BENCH_EXIT=1), against a
//     bare Qt program showing an empty dialog the same way, and one showing a line of text
//     (alternating, median of the rounds);
//   - in this process, the dialog from its construction until all rows are listed, against
//     ContactFolder::ReadAll of the same folder (reading and parsing the vCards alone), and
//     the one call that reads the whole book over the bus alone.
// Targets: shown within 1.3 times the bare program; 10,000 listed within 1.5 times the read.
//
//   bench_senddialog --kalmosend PATH --print FILE [--rounds R] [--sizes 0,1000,10000,100000]
//
// Needs the bus of bench/run-senddialog-bench, which names the settings store files
// (KALMO_USER_REGISTRY, KALMO_MACHINE_REGISTRY) this program fills in.

#include "ShownTime.h"
#include "addressbook/ReadAll.h"
#include "app/AppBase.h"
#include "app/SendDialogState.h"
#include "fax/FaxContract.h"
#include "faxapp/contacts/ContactFolder.h"
#include "faxapp/sending/FaxSettings.h"
#include "platform/DBusAutomation.h"
#include "platform/NonInteractiveMessenger.h"
#include "platform/Presence.h"
#include "platform/ProcessLauncher.h"
#include "platform/RegistryStore.h"
#include "support/Clock.h"
#include "ui/FileDialogs.h"
#include "ui/SendDialog.h"
#include "ui/SendServices.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

QByteArray CardOf(int i) {
    const QByteArray name = "Kontakt " + QByteArray::number((i * 7919) % 100003);
    const QByteArray fax = "+49 30 " + QByteArray::number(100000 + i);
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name + "\r\nTEL;TYPE=WORK,FAX:" + fax +
           "\r\nTEL;TYPE=VOICE:+49 30 1\r\nEND:VCARD\r\n";
}

bool WriteFolder(const QString& folder, int contacts) {
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder))
        return false;
    for (int i = 0; i < contacts; ++i) {
        QFile file(folder + QStringLiteral("/c%1.vcf").arg(i, 6, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(CardOf(i)) < 0)
            return false;
    }
    return true;
}

const QString kFaxKey = QStringLiteral("Software\\") + fax::kRegistryCompany + u'\\' +
                        fax::kProfileName + u'\\' + fax::kSectionFax;

bool WriteSettings(const QString& contactsDir, const QString& dataDir) {
    const QString user = qEnvironmentVariable("KALMO_USER_REGISTRY");
    const QString machine = qEnvironmentVariable("KALMO_MACHINE_REGISTRY");
    if (user.isEmpty() || machine.isEmpty())
        return false;
    RegistryStore(machine, RegistryStore::Access::ReadWrite);
    RegistryStore store(user, RegistryStore::Access::ReadWrite);
    return store.CreateKey(kFaxKey) &&
           store.SetValue(kFaxKey, faxapp::kValueContactsDir, RegValue::FromText(contactsDir)) &&
           store.SetValue(kFaxKey, fax::kValueDataDir, RegValue::FromText(dataDir));
}

// Notes the first painting of a widget.
class FirstPaint final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && at == 0)
            at = NowMicros();
        return QObject::eventFilter(watched, event);
    }
    long long at = 0;
};

long long WaitForPaint(QWidget& widget, long long start) {
    FirstPaint paint;
    widget.installEventFilter(&paint);
    widget.show();
    while (paint.at == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    widget.removeEventFilter(&paint);
    return paint.at - start;
}

class NoProcesses final : public ProcessLauncher {
public:
    bool Start(const ProcessStart&) override { return false; }
};
class NotRunning final : public Presence {
public:
    bool IsRunning(const QString&) override { return false; }
};
class NoFileDialogs final : public FileDialogs {
public:
    std::optional<QString> GetOpenFileName(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> GetSaveFileName(QWidget*, const QString&, const QString&,
                                           const QString&) override {
        return std::nullopt;
    }
};
class NoBusy final : public BusyIndicator {
public:
    void Begin() override {}
    void End() override {}
};

struct Timing {
    long long shown = 0;  // construction to first painting
    long long listed = 0; // construction to the fill's end
    int rows = 0;
};

Timing TimeSendDialog(AppBase& app, AutomationClient& automation) {
    NoProcesses processes;
    NotRunning presence;
    NoFileDialogs files;
    NoBusy busy;
    SystemClock clock;
    const SendServices services{app, automation, processes, presence, files, busy, clock};
    Timing timing;
    const long long start = NowMicros();
    SendDialog dialog(services, SendDialogState{});
    dialog.OnInitDialog();
    timing.shown = WaitForPaint(dialog, start);
    while (dialog.IsFilling())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timing.listed = NowMicros() - start;
    timing.rows = dialog.m_listRecipients->topLevelItemCount();
    dialog.hide();
    return timing;
}

double Ms(long long micros) {
    return double(micros) / 1000.0;
}

long long Median(std::vector<long long> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// The bare program: an empty dialog, shown, then the same report as kalmosend's. With words,
// the dialog holds one line of text: the least a dialog with words costs, the fonts being
// found and loaded (fontconfig), which an empty dialog never needs.
int RunBare(int argc, char* argv[], bool words) {
    QApplication app(argc, argv);
    QDialog dialog;
    if (words)
        new QLabel(QStringLiteral("Empfänger"), &dialog);
    QTimer::singleShot(0, &dialog, [] {
        std::printf("shown %lld\n", NowMicros());
        std::fflush(stdout);
        ::_exit(0);
    });
    return dialog.exec();
}

// The whole book in one call, in this process: creation, the call, parsing the lines.
long long TimeOneCall(AutomationClient& automation, int& rows) {
    const long long start = NowMicros();
    DispatchDriver book;
    if (!book.CreateDispatch(automation, fax::kProgIdAddressBook))
        return -1;
    const auto lines = ReadAllLines(book, {AutoVariant::BStr(QStringLiteral("Fax"))}, 2);
    rows = lines ? int(lines->size()) : -1;
    book.ReleaseDispatch();
    return NowMicros() - start;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc >= 2 && QByteArray(argv[1]).startsWith("--bare"))
        return RunBare(argc, argv, QByteArray(argv[1]) == "--bare-words");
    QApplication application(argc, argv);
    int rounds = 5;
    std::vector<int> sizes{0, 1000, 10000, 100000};
    QString kalmosend, printFile;
    const QStringList args = application.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == u"--kalmosend") {
            kalmosend = args.at(i + 1);
        } else if (args.at(i) == u"--print") {
            printFile = args.at(i + 1);
        } else if (args.at(i) == u"--rounds") {
            rounds = std::max(1, args.at(i + 1).toInt());
        } else if (args.at(i) == u"--sizes") {
            sizes.clear();
            for (const QString& n : args.at(i + 1).split(u','))
                sizes.push_back(n.toInt());
        }
    }
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("contacts"));
    if (!WriteSettings(folder, dir.filePath(QStringLiteral("data")))) {
        std::fprintf(stderr, "no settings store named; run bench/run-senddialog-bench\n");
        return 2;
    }
    // The dialog's own settings: the same store, without Outlook.
    const std::unique_ptr<Registry> registry = Registry::OpenDefault();
    NonInteractiveMessenger messenger;
    AppBase app(*registry, messenger);
    app.SetRegistryKey(fax::kRegistryCompany);
    app.SetProfileName(fax::kProfileName);
    app.m_strDataDir = dir.filePath(QStringLiteral("data"));
    DBusAutomationClient automation;
    if (!automation.Initialise())
        return std::fprintf(stderr, "no session bus\n"), 2;
    automation.SetTimeout(120000);

    // Warm up: Qt's fonts and styles, the bus's start of kalmofax.
    WriteFolder(folder, 1);
    TimeSendDialog(app, automation);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KALMOSEND_BENCH_EXIT"), QStringLiteral("1"));
    const QString self = QCoreApplication::applicationFilePath();
    const QString print = dir.filePath(QStringLiteral("print.sff"));

    std::printf("%-8s %11s %11s %6s %11s %6s | %11s %11s %7s\n", "contacts", "shown ms", "bare ms",
                "ratio", "words ms", "ratio", "listed ms", "1 call ms", "rows");
    for (const int contacts : sizes) {
        if (!WriteFolder(folder, contacts))
            return std::fprintf(stderr, "cannot write the vCard folder\n"), 1;
        std::vector<long long> shown, bare, words;
        long long listed = 1LL << 60;
        long long call = 1LL << 60;
        int rows = 0;
        int callRows = 0;
        for (int r = 0; r < rounds; ++r) {
            if (!kalmosend.isEmpty()) {
                QFile::remove(print);
                QFile::copy(printFile, print);
                shown.push_back(TimeToShown(
                    kalmosend, {QStringLiteral("/d") + print, QStringLiteral("/tBench")}, env));
                bare.push_back(TimeToShown(self, {QStringLiteral("--bare")}, env));
                words.push_back(TimeToShown(self, {QStringLiteral("--bare-words")}, env));
            }
            const Timing t = TimeSendDialog(app, automation);
            listed = std::min(listed, t.listed);
            rows = t.rows;
            call = std::min(call, TimeOneCall(automation, callRows));
        }
        const double shownMs = shown.empty() ? 0 : Ms(Median(shown));
        const double bareMs = bare.empty() ? 0 : Ms(Median(bare));
        const double wordsMs = words.empty() ? 0 : Ms(Median(words));
        std::printf("%-8d %11.1f %11.1f %6.2f %11.1f %6.2f | %11.1f %11.1f %7d\n", contacts,
                    shownMs, bareMs, bareMs > 0 ? shownMs / bareMs : 0.0, wordsMs,
                    wordsMs > 0 ? shownMs / wordsMs : 0.0, Ms(listed), Ms(call), rows);
        std::fflush(stdout);

        if (contacts == 10000) {
            long long read = 1LL << 60;
            for (int r = 0; r < rounds; ++r) {
                const long long start = NowMicros();
                const auto listing = faxapp::ContactFolder(folder).ReadAll();
                read = std::min(read, NowMicros() - start);
                (void)listing;
            }
            std::printf("10,000 listed %.1f ms against ContactFolder::ReadAll %.1f ms: %.2f "
                        "(target <= 1.5)\n",
                        Ms(listed), Ms(read), double(listed) / double(read));
        }
    }
    return 0;
}
