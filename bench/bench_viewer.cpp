// The viewer: (a) from the process's start to the first page of a 100-page SFF painted in the
// viewer's window (offscreen), against a bare Qt program from its start to an empty widget
// painted; (b) decoding all pages of that document in this process, against sfftobmp turning
// the same document into PBM files. See bench/README.md.

#include "ShownTime.h"
#include "TextLikeSff.h"
#include "faxapp/pages/PrintPages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

// The bare program: an empty widget that reports its first painting and ends.
class BareWidget final : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), Qt::white);
        std::printf("shown %lld\n", NowMicros());
        std::fflush(stdout);
        ::_exit(0);
    }
};

int RunBare(int argc, char* argv[]) {
    QApplication app(argc, argv);
    BareWidget widget;
    widget.resize(900, 1000);
    widget.show();
    return QApplication::exec();
}

// The viewer's time to its first page painted, on the offscreen platform; -1 on failure.
long long TimeToShown(const QString& program, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KALMOFAX_VIEW_BENCH_EXIT"), QStringLiteral("1"));
    return TimeToShown(program, args, env);
}

double Median(std::vector<long long> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : static_cast<double>(v[v.size() / 2]);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && QByteArray(argv[1]) == "--bare")
        return RunBare(argc, argv);
    if (argc > 2 && QByteArray(argv[1]) == "--write") { // the document alone, for profiling
        QFile file(QString::fromLocal8Bit(argv[2]));
        return file.open(QIODevice::WriteOnly) && file.write(TextLikeSff(100)) > 0 ? 0 : 1;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_viewer KALMOFAX [runs] | --write FILE\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString kalmofax = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 10;
    QTemporaryDir dir;
    const QString sff = dir.filePath(QStringLiteral("hundred.sff"));
    {
        QFile file(sff);
        if (!file.open(QIODevice::WriteOnly) || file.write(TextLikeSff(100)) < 0)
            return 1;
    }
    std::printf("document: 100 pages, %lld bytes\n", static_cast<long long>(QFile(sff).size()));

    // (a) first page painted, alternating with the bare program.
    std::vector<long long> viewer;
    std::vector<long long> bare;
    const QString self = QCoreApplication::applicationFilePath();
    for (int i = 0; i < runs; ++i) {
        viewer.push_back(TimeToShown(kalmofax, {QStringLiteral("view"), sff}));
        bare.push_back(TimeToShown(self, {QStringLiteral("--bare")}));
        if (viewer.back() < 0 || bare.back() < 0) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
    }
    const double v = Median(viewer);
    const double b = Median(bare);
    std::printf("first page painted: viewer %.1f ms, bare Qt widget %.1f ms (medians of %d), "
                "ratio %.2f; least %.1f / %.1f ms\n",
                v / 1000, b / 1000, runs, v / b,
                *std::min_element(viewer.begin(), viewer.end()) / 1000.0,
                *std::min_element(bare.begin(), bare.end()) / 1000.0);

    // (b) decoding throughput.
    std::vector<long long> decode;
    std::vector<long long> decodePbm;
    std::vector<long long> sfftobmp;
    long long rows = 0;
    for (int i = 0; i < runs; ++i) {
        long long start = NowMicros();
        faxapp::PrintPages pages;
        if (!pages.Open(sff))
            return 1;
        rows = 0;
        for (int p = 0; p < pages.PageCount(); ++p)
            rows += pages.Page(p).height();
        decode.push_back(NowMicros() - start);

        const QString out = dir.filePath(QStringLiteral("pbm"));
        QDir(out).removeRecursively();
        QDir().mkpath(out);
        start = NowMicros();
        faxapp::PrintPages again;
        again.Open(sff);
        for (int p = 0; p < again.PageCount(); ++p)
            again.Page(p).save(QStringLiteral("%1/page-%2.pbm").arg(out).arg(p), "PBM");
        decodePbm.push_back(NowMicros() - start);

        const QString theirs = dir.filePath(QStringLiteral("theirs"));
        QDir(theirs).removeRecursively();
        QDir().mkpath(theirs);
        QFile::copy(sff, theirs + QStringLiteral("/hundred.sff"));
        // sfftobmp writes page_001, page_002, ... (PBM) beside it.
        start = NowMicros();
        const int rc =
            QProcess::execute(QStringLiteral("sfftobmp"),
                              {QStringLiteral("-q"), QStringLiteral("-f"), QStringLiteral("-p"),
                               theirs + QStringLiteral("/hundred.sff"), QStringLiteral("-o"),
                               theirs + QStringLiteral("/page")});
        sfftobmp.push_back(NowMicros() - start);
        if (rc != 0) {
            std::fprintf(stderr, "sfftobmp failed (%d)\n", rc);
            return 1;
        }
    }
    const double d = Median(decode);
    const double dp = Median(decodePbm);
    const double s = Median(sfftobmp);
    std::printf("decoding 100 pages (%lld rows): %.1f ms = %.0f pages/s, %.0f rows/s\n", rows,
                d / 1000, 100 / (d / 1e6), rows / (d / 1e6));
    std::printf("decoding and writing PBM: %.1f ms; sfftobmp -p (process, decode, PBM): %.1f ms; "
                "ratio sfftobmp / ours %.2f\n",
                dp / 1000, s / 1000, s / dp);
    return 0;
}
