// Start-up of kalmosend: from the process's start to the send dialog shown with its list filled
// from the own address book over D-Bus, against a bare Qt program showing an empty dialog, and
// the address book's D-Bus calls alone, in one run. See bench/README.md.

#include "ShownTime.h"
#include "addressbook/OwnAddressBook.h"
#include "addressbook/RecipientList.h"
#include "platform/DBusAutomation.h"
#include "platform/NonInteractiveMessenger.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The bare program: an empty dialog, shown, then the same report as kalmosend's.
int RunBare(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QDialog dialog;
    QTimer::singleShot(0, &dialog, [] {
        std::printf("shown %lld\n", NowMicros());
        std::fflush(stdout);
        ::_exit(0);
    });
    return dialog.exec();
}

class CountingList final : public RecipientList {
public:
    void InsertRecipient(int, const RecipientEntry&) override { ++rows; }
    void ClearRecipients() override { rows = 0; }
    int rows = 0;
};

class NoBusy final : public BusyIndicator {
public:
    void Begin() override {}
    void End() override {}
};

// The address book read alone, in this process: 1 + 2n + 1 calls for n entries.
long long TimeCalls(int& rows) {
    DBusAutomationClient automation;
    NonInteractiveMessenger messenger;
    NoBusy busy;
    CountingList list;
    const long long start = NowMicros();
    LoadOwnAddressBook(list, automation, messenger, busy);
    const long long elapsed = NowMicros() - start;
    rows = list.rows;
    return elapsed;
}

double Median(std::vector<long long> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? double(v[n / 2]) : (double(v[n / 2 - 1]) + double(v[n / 2])) / 2;
}

void Report(const char* what, const std::vector<long long>& v) {
    std::printf("%-44s median %8.1f ms   min %8.1f ms\n", what, Median(v) / 1000.0,
                double(*std::min_element(v.begin(), v.end())) / 1000.0);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc >= 2 && QByteArray(argv[1]) == "--bare")
        return RunBare(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_startup KALMOSEND EXAMPLE_SFF [RUNS]\n"
                             "  on a session bus whose KalmoAdr.Document serves the entries\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString kalmosend = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 3 ? std::max(1, atoi(argv[3])) : 10;

    QTemporaryDir dir;
    const QString printFile = dir.filePath(QStringLiteral("print.sff"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[2]), printFile)) {
        std::fprintf(stderr, "bench_startup: cannot copy %s\n", argv[2]);
        return 1;
    }
    // The data folder goes below XDG_DATA_HOME, which must exist.
    QDir(dir.path()).mkpath(QStringLiteral(".local/share"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral(".local/share")));
    env.insert(QStringLiteral("KALMO_MACHINE_REGISTRY"), dir.filePath(QStringLiteral("m.db")));
    env.insert(QStringLiteral("KALMO_USER_REGISTRY"), dir.filePath(QStringLiteral("u.db")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KALMOSEND_BENCH_EXIT"), QStringLiteral("1"));
    const QStringList sendArgs{QStringLiteral("/d") + printFile, QStringLiteral("/tBench")};
    const QString self = QCoreApplication::applicationFilePath();

    // Starts the address book's server, so that every run finds it running.
    int rows = 0;
    TimeCalls(rows);
    std::printf("address book: %d rows, %d runs\n", rows, runs);
    if (rows == 0)
        return 1;

    std::vector<long long> send, bare, calls;
    for (int i = 0; i < runs; ++i) {
        send.push_back(TimeToShown(kalmosend, sendArgs, env));
        bare.push_back(TimeToShown(self, {QStringLiteral("--bare")}, env));
        calls.push_back(TimeCalls(rows));
        if (send.back() < 0 || bare.back() < 0) {
            std::fprintf(stderr, "bench_startup: a program did not report its dialog\n");
            return 1;
        }
    }
    Report("kalmosend: start to dialog with its list", send);
    Report("bare Qt program: start to empty dialog", bare);
    const std::string label = "address book alone: " + std::to_string(2 * rows + 2) + " calls";
    Report(label.c_str(), calls);
    std::printf("kalmosend - bare: %.1f ms (calls alone %.1f ms)\n",
                (Median(send) - Median(bare)) / 1000.0, Median(calls) / 1000.0);
    return 0;
}
