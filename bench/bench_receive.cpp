// Receiving against a private HylaFAX server: a received 20-page fine fax fetched and stored
// by the receiver (the listing, the claim and the row in the journal, the file put on the disk,
// every page decoded, renamed into Faxrec) against a bare retrieval of the same file over the
// client protocol alone (log in, RETR into memory), a bare listing of the receive queue, and
// the file's pages decoded alone, in the same run. Needs root, hylafax-server and
// libtiff-tools, like the hylafax tests; run-receive-bench also runs it over a link of an
// office network's speed.
//
//   bench_receive [rounds]     (default 20)

#include "PrivateHylafax.h"
#include "RunTool.h"
#include "fax/FaxContract.h"
#include "faxapp/hylafax/HylafaxClient.h"
#include "faxapp/receiving/ReceivedTiff.h"
#include "faxapp/receiving/Receiver.h"
#include "faxapp/sending/ServerFactory.h"
#include "support/Clock.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPages = 20;

// A page of a letter at fine resolution: text-like rows, then white, made G3 by ppm2tiff;
// the pages joined by tiffcp.
QString MakeFax(const QTemporaryDir& dir, QString& error) {
    const QString pbm = dir.filePath(QStringLiteral("page.pbm"));
    QFile file(pbm);
    if (!file.open(QIODevice::WriteOnly)) {
        error = pbm;
        return {};
    }
    constexpr int kWidth = 1728;
    constexpr int kRows = 2200;
    file.write(QByteArray("P4\n") + QByteArray::number(kWidth) + ' ' + QByteArray::number(kRows) +
               '\n');
    QByteArray row(kWidth / 8, '\0');
    for (int r = 0; r < kRows; ++r) {
        for (int i = 0; i < row.size(); ++i)
            row[i] = (r < 1400 && r % 24 < 14 && i > 20 && i < 190 && (i * 7 + r) % 5 != 0) ? '\x6d'
                                                                                            : '\0';
        file.write(row);
    }
    file.close();
    const QString page = dir.filePath(QStringLiteral("page.tif"));
    const QString fax = dir.filePath(QStringLiteral("fax.tif"));
    QStringList join(kPages, page);
    join.append(fax);
    QByteArray output;
    // The sender's identification on every page, and each page's directory after its data,
    // as the server writes them while it receives.
    if (!RunTool(QStringLiteral("/usr/bin/ppm2tiff"),
                 {QStringLiteral("-c"), QStringLiteral("g3:2d"), QStringLiteral("-R"),
                  QStringLiteral("204,196"), pbm, page},
                 output, error) ||
        !RunTool(
            QStringLiteral("/usr/bin/tiffset"),
            {QStringLiteral("-s"), QStringLiteral("270"), QStringLiteral("+49 30 1234567"), page},
            output, error) ||
        !RunTool(QStringLiteral("/usr/bin/tiffcp"), join, output, error))
        return {};
    return fax;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;
    QTemporaryDir dir;
    QString error;
    PrivateHylafax server;
    const QString fax = MakeFax(dir, error);
    if (fax.isEmpty() || !server.Start({}, error) ||
        !server.PlaceReceived(fax, QStringLiteral("fax00000001.tif"), error)) {
        std::fprintf(stderr, "bench_receive: %s\n", qPrintable(error));
        return 1;
    }
    faxapp::ServerAccount account;
    account.host = QStringLiteral("127.0.0.1");
    account.port = server.Port();
    faxapp::HylafaxAccount login;
    login.host = account.host;
    login.port = account.port;
    const qint64 bytes = QFileInfo(fax).size();

    SystemClock clock;
    std::vector<double> bare;
    std::vector<double> stored;
    std::vector<double> listed;
    std::vector<double> decoded;
    for (int round = 0; round < rounds; ++round) {
        // The two alternate, so that neither gets the quieter moments of the machine.
        QElapsedTimer timer;
        timer.start();
        {
            faxapp::HylafaxClient client(login);
            QBuffer sink;
            sink.open(QIODevice::WriteOnly);
            if (!client.Retrieve(QStringLiteral("fax00000001.tif"), sink) ||
                sink.data().size() != bytes) {
                std::fprintf(stderr, "bench_receive: %s\n", qPrintable(client.LastError()));
                return 1;
            }
        }
        bare.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        timer.restart();
        {
            faxapp::HylafaxClient client(login);
            if (!client.Received()) {
                std::fprintf(stderr, "bench_receive: %s\n", qPrintable(client.LastError()));
                return 1;
            }
        }
        listed.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        if (!faxapp::CheckReceivedTiff(fax)) {
            std::fprintf(stderr, "bench_receive: the fax does not decode\n");
            return 1;
        }
        decoded.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        const QString data = dir.filePath(QStringLiteral("data%1").arg(round));
        QDir().mkpath(data + u'/' + fax::kFolderFaxrec);
        faxapp::Receiver receiver(data, [&account] { return faxapp::MakeFaxServer(account, {}); },
                                  clock, {});
        if (!receiver.Open(error)) {
            std::fprintf(stderr, "bench_receive: %s\n", qPrintable(error));
            return 1;
        }
        timer.restart();
        const faxapp::ReceivePass pass = receiver.Pass();
        stored.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (pass.fetched != 1 || !pass.problems.isEmpty() || pass.unreachable) {
            std::fprintf(stderr, "bench_receive: not fetched: %s %s\n",
                         qPrintable(pass.serverError), qPrintable(pass.problems.join(u' ')));
            return 1;
        }
    }
    const double bareMs = Median(bare);
    const double storedMs = Median(stored);
    const double listMs = Median(listed);
    const double decodeMs = Median(decoded);
    std::printf("received fax: %d fine pages, %lld bytes; %d rounds, medians\n", kPages, bytes,
                rounds);
    std::printf("bare retrieval (log in, RETR):              %8.1f ms\n", bareMs);
    std::printf("bare listing (log in, LIST recvq):          %8.1f ms\n", listMs);
    std::printf("fetched and stored (claim, check, journal): %8.1f ms\n", storedMs);
    std::printf("every page decoded from the disk, alone:    %8.1f ms\n", decodeMs);
    std::printf("ratio to the bare retrieval: %.2f (target: 1.5 at most)\n",
                bareMs > 0 ? storedMs / bareMs : 0.0);
    // Where the transfer is quicker than decoding (the server on this machine), decoding is
    // what the pass waits for: pages are decoded as they arrive, so the pass takes about the
    // longer of the two.
    std::printf("ratio to the longer of retrieval and decoding: %.2f\n",
                std::max(bareMs, decodeMs) > 0 ? storedMs / std::max(bareMs, decodeMs) : 0.0);
    return 0;
}
