// Copying and appending print files of 512 MiB: CopyFileData against cp of the same file in
// the same run (page cache warm), and AppendSffFile with the process's peak memory.
//   bench_printfile [folder] [MiB]     (default: $TMPDIR or /tmp, 512)

#include "fax/FileCopy.h"
#include "fax/SffAppend.h"
#include "fax/SffWriter.h"
#include "support/FileUtil.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

double Seconds(QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool Run(const QList<QByteArray>& command) {
    std::vector<char*> argv;
    QList<QByteArray> args = command;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Streams a file of size bytes: head, then body repeated, then tail; 1 MiB at a time.
bool WriteFile(const QString& path, const QByteArray& head, const QByteArray& body, qint64 size,
               const QByteArray& tail) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    while (chunk.size() < (1 << 20))
        chunk += body;
    qint64 left = size - head.size() - tail.size();
    file.write(head);
    while (left > 0) {
        const qint64 n = std::min<qint64>(left, chunk.size());
        if (file.write(chunk.constData(), n) != n)
            return false;
        left -= n;
    }
    file.write(tail);
    return file.flush();
}

void WarmCache(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray buffer(1 << 20, '\0');
    while (file.read(buffer.data(), buffer.size()) > 0) {
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const QString parent = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : qEnvironmentVariable("TMPDIR", QStringLiteral("/tmp"));
    const qint64 mib = argc > 2 ? std::atoll(argv[2]) : 512;
    const qint64 size = mib << 20;
    QTemporaryDir dir(parent + QStringLiteral("/kalmo-bench-XXXXXX"));
    if (!dir.isValid())
        return 1;
    const QString source = dir.filePath(QStringLiteral("print.bin"));
    const QString copy = dir.filePath(QStringLiteral("copy.bin"));
    const QString cpCopy = dir.filePath(QStringLiteral("cp.bin"));

    // CopyFileData against cp, and against cp followed by fsync of the copy, which is what
    // CopyFileData promises before it reports success.
    if (!WriteFile(source, QByteArray(), QByteArray(4096, 'p'), size, QByteArray()))
        return 1;
    WarmCache(source);
    QElapsedTimer timer;
    timer.start();
    if (!Run({"cp", NativePath(source), NativePath(cpCopy)}))
        return 1;
    const double cpTime = Seconds(timer);
    timer.restart();
    Run({"sync", NativePath(cpCopy)});
    const double cpSyncTime = cpTime + Seconds(timer);
    QFile::remove(cpCopy);
    timer.restart();
    if (CopyFileData(copy, source, false) != 0)
        return 1;
    const double copyTime = Seconds(timer);
    std::printf("CopyFileData %lld MiB: %.3f s (%.0f MiB/s)\n", mib, copyTime, mib / copyTime);
    std::printf("cp           %lld MiB: %.3f s, with fsync %.3f s\n", mib, cpTime, cpSyncTime);
    std::printf("ratio CopyFileData / cp: %.2f, / (cp + fsync): %.2f\n", copyTime / cpTime,
                copyTime / cpSyncTime);
    QFile::remove(copy);
    QFile::remove(source);

    // A document of one page whose rows fill the size.
    SffWriter writer;
    writer.BeginPage(196);
    const QByteArray header = writer.Finish().chopped(2);
    const QByteArray row = QByteArray(1, char(216)) + QByteArray(216, '\x11');
    const QString big = dir.filePath(QStringLiteral("big.sff"));
    const QString small = dir.filePath(QStringLiteral("small.sff"));
    const QString target = dir.filePath(QStringLiteral("target.sff"));
    SffWriter one;
    one.BeginPage(196);
    one.AddBlankRows(10);
    const QByteArray smallDoc = one.Finish();
    if (!WriteFile(big, header, row, size, QByteArray("\xFE\x00", 2)))
        return 1;
    QFile out(small);
    if (!out.open(QIODevice::WriteOnly) || out.write(smallDoc) != smallDoc.size())
        return 1;
    out.close();
    WarmCache(big);

    const long peakBefore = PeakKiB();
    FileError error;
    QFile::copy(small, target);
    timer.restart();
    if (!AppendSffFile(target, big, error))
        return 1;
    const double appendBig = Seconds(timer);
    timer.restart();
    if (!AppendSffFile(target, small, error))
        return 1;
    const double appendOntoBig = Seconds(timer);
    const long peakAfter = PeakKiB();
    std::printf("AppendSffFile of a %lld MiB document onto one page: %.3f s (%.0f MiB/s)\n", mib,
                appendBig, mib / appendBig);
    std::printf("AppendSffFile of one page onto the %lld MiB result: %.6f s\n", mib, appendOntoBig);
    std::printf("peak memory: %ld KiB before the appends, %ld KiB after (+%ld KiB)\n", peakBefore,
                peakAfter, peakAfter - peakBefore);
    return 0;
}
