// Receiving against a private HylaFAX server: faxes put into its receive queue as the server
// leaves them (TIFF files made by libtiff's own tools) and the document a poll job's stand-in
// modem receives are fetched into Faxrec once, checked, recorded in the journal and told of;
// a fetch killed at any moment is completed by the next pass with one file and one row.

#include "PrivateHylafax.h"
#include "RunTool.h"
#include "fax/FaxContract.h"
#include "faxapp/hylafax/HylafaxClient.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/receiving/Receiver.h"
#include "faxapp/sending/JobObserver.h"
#include "faxapp/sending/ServerFactory.h"
#include "support/Clock.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <sys/resource.h>

using faxapp::ArrivedFax;
using faxapp::JournalEntry;
using faxapp::JournalStore;
using faxapp::Receiver;

namespace {

// The child that runs one pass and is killed: "<data folder>|<port>".
const char* const kChildVariable = "KALMO_RECEIVE_CHILD";

faxapp::ServerAccount Account(quint16 port) {
    faxapp::ServerAccount account;
    account.host = QStringLiteral("127.0.0.1");
    account.port = port;
    return account;
}

std::unique_ptr<Receiver> MakeReceiver(const QString& data, quint16 port, const Clock& clock,
                                       bool deleteAtServer = false) {
    auto receiver = std::make_unique<Receiver>(
        data, [port] { return faxapp::MakeFaxServer(Account(port), {}); }, clock,
        Receiver::Options{deleteAtServer});
    QString error;
    if (!receiver->Open(error))
        qFatal("%s", qPrintable(error));
    return receiver;
}

int ChildPass(const QString& dataAndPort) {
    const QStringList parts = dataAndPort.split(u'|');
    SystemClock clock;
    auto receiver = MakeReceiver(parts[0], static_cast<quint16>(parts[1].toUInt()), clock);
    const faxapp::ReceivePass pass = receiver->Pass();
    return pass.problems.isEmpty() && !pass.unreachable ? 0 : 1;
}

// The real server, with the fax taken away between the listing and the fetch (as another
// desktop that removes what it fetched does).
class VanishingServer final : public faxapp::FaxServer {
public:
    VanishingServer(std::unique_ptr<faxapp::FaxServer> real, QString spool)
        : m_real(std::move(real)), m_spool(std::move(spool)) {}
    QString Name() const override { return m_real->Name(); }
    QString Address() const override { return m_real->Address(); }
    faxapp::ServerResult<QString> Create(const faxapp::FaxSubmission& s) override {
        return m_real->Create(s);
    }
    faxapp::ServerResult<void> Submit(const QString& id) override { return m_real->Submit(id); }
    faxapp::ServerResult<faxapp::FaxJobStatus> Status(const QString& id) override {
        return m_real->Status(id);
    }
    faxapp::ServerResult<void> Check() override { return m_real->Check(); }
    faxapp::ServerResult<void> Cancel(const QString& id) override { return m_real->Cancel(id); }
    faxapp::ServerResult<QList<faxapp::ReceivedFax>> Received() override {
        return m_real->Received();
    }
    faxapp::ServerResult<void> Fetch(const QString& file, QIODevice& sink) override {
        QFile::remove(m_spool + QStringLiteral("/recvq/") + file);
        return m_real->Fetch(file, sink);
    }
    faxapp::ServerResult<void> Delete(const QString& file) override { return m_real->Delete(file); }

private:
    std::unique_ptr<faxapp::FaxServer> m_real;
    QString m_spool;
};

struct Arrivals final : faxapp::JobObserver {
    QList<ArrivedFax> faxes;
    void JobFiled(const faxapp::EndedJob& /*job*/) override {}
    void FaxArrived(const ArrivedFax& fax) override { faxes.append(fax); }
};

} // namespace

class TestHylafaxReceive : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_case = 0;
    SystemClock m_clock;

    // A data folder of its own for each use.
    QString NewData() {
        const QString data = m_dir.filePath(QStringLiteral("data%1").arg(++m_case));
        if (!QDir().mkpath(data + u'/' + fax::kFolderFaxrec))
            qFatal("cannot make %s", qPrintable(data));
        return data;
    }

    // A fax as a server receives one: pages of fine rows made into G3 by libtiff's ppm2tiff,
    // joined by tiffcp, the sender's identification in the tag the server keeps it in.
    QString MakeFax(const QString& name, int pages, const QString& sender) {
        const QString pbm = m_dir.filePath(name + QStringLiteral(".pbm"));
        QFile file(pbm);
        if (!file.open(QIODevice::WriteOnly))
            return {};
        constexpr int kWidth = 1728;
        constexpr int kRows = 2200;
        file.write(QByteArray("P4\n") + QByteArray::number(kWidth) + ' ' +
                   QByteArray::number(kRows) + '\n');
        QByteArray row(kWidth / 8, '\0');
        for (int r = 0; r < kRows; ++r) {
            row.fill(r % 40 < 2 ? '\xaa' : '\0');
            row[(r / 7) % row.size()] = '\x0f';
            file.write(row);
        }
        file.close();
        QByteArray output;
        QString error;
        const QString page = m_dir.filePath(name + QStringLiteral("-page.tif"));
        const QString tiff = m_dir.filePath(name);
        QStringList join(pages, page);
        join.append(tiff);
        if (!RunTool(QStringLiteral("/usr/bin/ppm2tiff"),
                     {QStringLiteral("-c"), QStringLiteral("g3:2d"), QStringLiteral("-R"),
                      QStringLiteral("204,196"), pbm, page},
                     output, error) ||
            !RunTool(QStringLiteral("/usr/bin/tiffcp"), join, output, error) ||
            !RunTool(QStringLiteral("/usr/bin/tiffset"),
                     {QStringLiteral("-s"), QStringLiteral("270"), sender, tiff}, output, error)) {
            qWarning("%s", qPrintable(error));
            return {};
        }
        return tiff;
    }

    // The same fax with its coded rows overwritten in the middle: the file is a TIFF, its
    // first page does not decode.
    QString MakeDamaged(const QString& name, const QString& sender) {
        const QString path = MakeFax(name, 2, sender);
        QFile file(path);
        if (path.isEmpty() || !file.open(QIODevice::ReadWrite))
            return {};
        QByteArray bytes = file.readAll();
        for (qsizetype i = 2000; i < 6000; ++i)
            bytes[i] = static_cast<char>(i % 3 != 0 ? 0x55 : 0xff);
        file.seek(0);
        file.write(bytes);
        return path;
    }

    static QList<JournalEntry> Rows(const QString& data) {
        QString error;
        auto journal = JournalStore::Open(data, error);
        const auto rows = journal ? journal->Entries(error) : std::nullopt;
        if (!rows)
            qWarning("%s", qPrintable(error));
        return rows.value_or(QList<JournalEntry>{});
    }

    static QStringList Faxrec(const QString& data) {
        return QDir(data + u'/' + fax::kFolderFaxrec)
            .entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

    static QByteArray Bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void clientListsFetchesAndRemoves() {
        PrivateHylafax server;
        QString error;
        QVERIFY2(server.Start({}, error), qPrintable(error));
        const QString tiff = MakeFax(QStringLiteral("client.tif"), 2, QStringLiteral("+49 89 1"));
        QVERIFY(!tiff.isEmpty());
        QVERIFY2(server.PlaceReceived(tiff, QStringLiteral("fax00000007.tif"), error, 0666),
                 qPrintable(error));
        QVERIFY2(server.PlaceReceived(tiff, QStringLiteral("fax00000008.tif"), error, 0600),
                 qPrintable(error));

        faxapp::HylafaxAccount account;
        account.host = QStringLiteral("127.0.0.1");
        account.port = server.Port();
        faxapp::HylafaxClient client(account, 5000);
        const auto listed = client.Received();
        QVERIFY2(listed, qPrintable(client.LastError()));
        // The one the server's default protection keeps to the fax user is not offered.
        QCOMPARE(listed->size(), 1);
        const faxapp::HylafaxReceived& fax = listed->first();
        QVERIFY(fax.readable);
        QCOMPARE(fax.file, QStringLiteral("fax00000007.tif"));
        QCOMPARE(fax.sender, QStringLiteral("+49 89 1"));
        QCOMPARE(fax.pages, 2);
        QVERIFY(!fax.receiving);
        QVERIFY(fax.arrived.isValid());
        QCOMPARE(fax.size, QFileInfo(tiff).size());

        QBuffer sink;
        sink.open(QIODevice::WriteOnly);
        QVERIFY2(client.Retrieve(fax.file, sink), qPrintable(client.LastError()));
        QCOMPARE(sink.data(), Bytes(tiff));
        // Names that would reach another folder or another command never leave the client.
        for (const char* bad : {"../etc/passwd", "fax1.tif\r\nDELE recvq/fax00000007.tif",
                                "fax1.tif/..", ".fax1.tif"}) {
            QBuffer none;
            none.open(QIODevice::WriteOnly);
            QVERIFY(!client.Retrieve(QString::fromLatin1(bad), none));
            QCOMPARE(client.LastFailure(), faxapp::HylafaxClient::Failure::Refused);
            QVERIFY(!client.Delete(QString::fromLatin1(bad)));
        }
        QVERIFY2(client.Delete(fax.file), qPrintable(client.LastError()));
        QCOMPARE(server.ReceiveQueue(), QStringList{QStringLiteral("fax00000008.tif")});
    }

    void fetchesReceivedAndPolledOnce() {
        const QString polled =
            MakeFax(QStringLiteral("polled.tif"), 1, QStringLiteral("+49 30 7654320"));
        QVERIFY(!polled.isEmpty());
        PrivateHylafax server;
        PrivateHylafax::Options options;
        options.fakeModem = true;
        options.pollDocument = polled;
        QString error;
        QVERIFY2(server.Start(options, error), qPrintable(error));
        const QString fax = MakeFax(QStringLiteral("in.tif"), 3, QStringLiteral("+49 89 111222"));
        const QString damaged = MakeDamaged(QStringLiteral("bad.tif"), QStringLiteral("0891"));
        QVERIFY(!fax.isEmpty() && !damaged.isEmpty());
        QVERIFY2(server.PlaceReceived(fax, QStringLiteral("fax00000001.tif"), error, 0666),
                 qPrintable(error));
        QVERIFY2(server.PlaceReceived(damaged, QStringLiteral("fax00000002.tif"), error, 0666),
                 qPrintable(error));
        // The server's default protection: listed to everyone, readable by the fax user alone.
        QVERIFY2(server.PlaceReceived(fax, QStringLiteral("fax00000004.tif"), error, 0600),
                 qPrintable(error));

        const QString data = NewData();
        auto journal = JournalStore::Open(data, error);
        QVERIFY2(journal, qPrintable(error));
        // A poll as the sending engine leaves it once the server has ended it, and one that
        // brought nothing.
        JournalEntry poll;
        poll.poll = true;
        poll.jobFile = QStringLiteral("poll0001.job");
        poll.number = QStringLiteral("030 7654320");
        QVERIFY2(journal->Add(poll, error), qPrintable(error));
        JournalEntry empty;
        empty.poll = true;
        empty.jobFile = QStringLiteral("poll0002.job");
        empty.number = QStringLiteral("040 999888");
        QVERIFY2(journal->Add(empty, error), qPrintable(error));
        faxapp::HylafaxAccount account;
        account.host = QStringLiteral("127.0.0.1");
        account.port = server.Port();
        faxapp::HylafaxClient client(account, 5000);
        faxapp::HylafaxSubmission request;
        request.number = poll.number;
        request.poll = true;
        const auto id = client.Create(request);
        QVERIFY2(id && client.Submit(*id), qPrintable(client.LastError()));
        const auto ended = server.WaitUntilEnded(*id, 30000, error);
        QVERIFY2(ended && ended->state == u"D", qPrintable(error));
        QVERIFY2(server.ReceiveQueue().size() == 4, qPrintable(server.ReceiveQueue().join(u' ')));

        // While the poll is at work, what it may bring waits.
        Arrivals arrivals;
        auto receiver = MakeReceiver(data, server.Port(), m_clock);
        receiver->SetObserver(&arrivals);
        faxapp::ReceivePass pass = receiver->Pass();
        QVERIFY2(pass.problems.isEmpty(), qPrintable(pass.problems.join(u'\n')));
        QCOMPARE(pass.fetched, 1);
        QCOMPARE(pass.damaged, 1);
        QCOMPARE(pass.deferred, 1);
        QCOMPARE(pass.polls, 0);

        for (const QString& job : {poll.jobFile, empty.jobFile})
            QVERIFY2(
                journal->SetOutcome(job, QStringLiteral("sent"), QStringLiteral("polled"), error),
                qPrintable(error));
        pass = receiver->Pass();
        QVERIFY2(pass.problems.isEmpty(), qPrintable(pass.problems.join(u'\n')));
        QCOMPARE(pass.fetched + pass.damaged, 0);
        QCOMPARE(pass.polls, 2);

        const QList<JournalEntry> rows = Rows(data);
        QCOMPARE(rows.size(), 4);
        const JournalEntry in = *std::find_if(rows.begin(), rows.end(), [](const auto& r) {
            return r.received && r.state == u"received";
        });
        QCOMPARE(in.pages, 3);
        QCOMPARE(in.remoteId, QStringLiteral("+49 89 111222"));
        QVERIFY(in.unread);
        QVERIFY(in.arrived.isValid());
        QCOMPARE(Bytes(in.faxFile), Bytes(fax));
        const JournalEntry bad = *std::find_if(rows.begin(), rows.end(),
                                               [](const auto& r) { return r.state == u"damaged"; });
        QVERIFY(bad.received);
        QVERIFY2(bad.outcome.contains(QLatin1String("page 1")), qPrintable(bad.outcome));
        QCOMPARE(Bytes(bad.faxFile), Bytes(damaged)); // kept as it came
        const JournalEntry polledRow = *std::find_if(
            rows.begin(), rows.end(), [&](const auto& r) { return r.jobFile == poll.jobFile; });
        QVERIFY(polledRow.poll);
        QCOMPARE(polledRow.state, QStringLiteral("received"));
        QCOMPARE(polledRow.pages, 1);
        QCOMPARE(polledRow.remoteId, QStringLiteral("+49 30 7654320"));
        QCOMPARE(Bytes(polledRow.faxFile), Bytes(polled));
        const JournalEntry emptyRow = *std::find_if(
            rows.begin(), rows.end(), [&](const auto& r) { return r.jobFile == empty.jobFile; });
        QCOMPARE(emptyRow.state, QStringLiteral("empty"));
        QVERIFY2(emptyRow.outcome.contains(QLatin1String("nothing received")),
                 qPrintable(emptyRow.outcome));
        QCOMPARE(Faxrec(data).size(), 3);

        QCOMPARE(arrivals.faxes.size(), 4);
        QMap<ArrivedFax::Kind, int> kinds;
        for (const ArrivedFax& a : arrivals.faxes)
            ++kinds[a.kind];
        QCOMPARE(kinds.value(ArrivedFax::Kind::Received), 1);
        QCOMPARE(kinds.value(ArrivedFax::Kind::Damaged), 1);
        QCOMPARE(kinds.value(ArrivedFax::Kind::Polled), 1);
        QCOMPARE(kinds.value(ArrivedFax::Kind::NothingPolled), 1);

        // Fetched once: another pass, and another desktop's on the same folder, add nothing;
        // the server's copies stay.
        pass = MakeReceiver(data, server.Port(), m_clock)->Pass();
        QVERIFY2(pass.problems.isEmpty(), qPrintable(pass.problems.join(u'\n')));
        QCOMPARE(pass.fetched + pass.damaged + pass.polls + pass.deferred, 0);
        QCOMPARE(Rows(data).size(), 4);
        QCOMPARE(Faxrec(data).size(), 3);
        QCOMPARE(server.ReceiveQueue().size(), 4);

        // Removed at the server only when the settings say so, after it is filed.
        const QString other = NewData();
        pass = MakeReceiver(other, server.Port(), m_clock, true)->Pass();
        QCOMPARE(pass.fetched + pass.damaged, 3);
        QCOMPARE(server.ReceiveQueue(), QStringList{QStringLiteral("fax00000004.tif")});
        QCOMPARE(Faxrec(other).size(), 3);
    }

    // A fax the server no longer gives leaves no row, no file and no claim behind.
    void refusedFetchLeavesNothing() {
        PrivateHylafax server;
        QString error;
        QVERIFY2(server.Start({}, error), qPrintable(error));
        const QString fax = MakeFax(QStringLiteral("gone.tif"), 1, QStringLiteral("+49 40 6"));
        QVERIFY2(server.PlaceReceived(fax, QStringLiteral("fax00000005.tif"), error, 0666),
                 qPrintable(error));
        const QString data = NewData();
        const quint16 port = server.Port();
        const QString spool = server.Spool();
        Receiver receiver(data,
                          [port, spool]() -> Result<std::unique_ptr<faxapp::FaxServer>> {
                              auto real = faxapp::MakeFaxServer(Account(port), {});
                              if (!real)
                                  return real.Error();
                              return std::unique_ptr<faxapp::FaxServer>(
                                  std::make_unique<VanishingServer>(std::move(*real), spool));
                          },
                          m_clock, {});
        QVERIFY2(receiver.Open(error), qPrintable(error));
        const faxapp::ReceivePass pass = receiver.Pass();
        QCOMPARE(pass.problems.size(), 1);
        QVERIFY2(pass.problems.first().contains(QLatin1String("fax00000005.tif")),
                 qPrintable(pass.problems.first()));
        QCOMPARE(pass.fetched + pass.damaged, 0);
        QVERIFY(Rows(data).isEmpty());
        QVERIFY2(Faxrec(data).isEmpty(), qPrintable(Faxrec(data).join(u' ')));
    }

    // Faxrec takes no more (files may grow no larger than 256 KiB here, as on a full disk):
    // the fax stays claimed, the pass says why without blaming the server, and the next pass
    // fetches it.
    void fullDiskWaitsForTheNextPass() {
        PrivateHylafax server;
        QString error;
        QVERIFY2(server.Start({}, error), qPrintable(error));
        const QString fax = MakeFax(QStringLiteral("large.tif"), 8, QStringLiteral("+49 40 7"));
        QVERIFY(QFileInfo(fax).size() > 512 * 1024);
        QVERIFY2(server.PlaceReceived(fax, QStringLiteral("fax00000006.tif"), error, 0644),
                 qPrintable(error));
        const QString data = NewData();
        auto receiver = MakeReceiver(data, server.Port(), m_clock);

        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit small = before;
        small.rlim_cur = 256 * 1024;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const faxapp::ReceivePass full = receiver->Pass();
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, previous);

        QVERIFY(full.halted);
        QVERIFY(!full.unreachable);
        QCOMPARE(full.problems.size(), 1);
        QVERIFY2(full.problems.first().contains(QLatin1String(".part: ")),
                 qPrintable(full.problems.first()));
        QCOMPARE(Rows(data).size(), 1);
        QCOMPARE(Rows(data).first().state, "fetching");
        QVERIFY2(Faxrec(data).isEmpty(), qPrintable(Faxrec(data).join(u' ')));

        const faxapp::ReceivePass next = receiver->Pass();
        QVERIFY2(next.problems.isEmpty(), qPrintable(next.problems.join(u'\n')));
        QCOMPARE(next.fetched, 1);
        QCOMPARE(Rows(data).size(), 1);
        QCOMPARE(Rows(data).first().state, "received");
        QCOMPARE(Rows(data).first().pages, 8);
        QCOMPARE(Faxrec(data).size(), 1);
    }

    void killedFetchIsTakenUp() {
        PrivateHylafax server;
        QString error;
        QVERIFY2(server.Start({}, error), qPrintable(error));
        const QString fax = MakeFax(QStringLiteral("long.tif"), 20, QStringLiteral("+49 40 5"));
        QVERIFY(!fax.isEmpty());
        QVERIFY2(server.PlaceReceived(fax, QStringLiteral("fax00000003.tif"), error),
                 qPrintable(error));
        const QByteArray expected = Bytes(fax);
        auto* random = QRandomGenerator::global();
        QMap<QString, int> seen; // where the kills struck
        for (int round = 0; round < 12; ++round) {
            const QString data = NewData();
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kChildVariable),
                       data + u'|' + QString::number(server.Port()));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForStarted());
            QThread::msleep(random->bounded(100, 600));
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            child.waitForFinished();
            const QList<JournalEntry> before = Rows(data);
            const QString at = before.isEmpty() ? QStringLiteral("nothing") : before.first().state;
            ++seen[Faxrec(data).isEmpty() ? at : at + QStringLiteral(" (a file there)")];

            const faxapp::ReceivePass pass = MakeReceiver(data, server.Port(), m_clock)->Pass();
            QVERIFY2(pass.problems.isEmpty(), qPrintable(pass.problems.join(u'\n')));
            const QList<JournalEntry> rows = Rows(data);
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().state, QStringLiteral("received"));
            QCOMPARE(rows.first().pages, 20);
            const QStringList files = Faxrec(data);
            QVERIFY2(files.size() == 1, qPrintable(files.join(u' ')));
            QCOMPARE(Bytes(rows.first().faxFile), expected);
        }
        QCOMPARE(server.ReceiveQueue().size(), 1);
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            qInfo("killed at %s: %d", qPrintable(it.key()), it.value());
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(kChildVariable)) {
        QCoreApplication app(argc, argv);
        return ChildPass(qEnvironmentVariable(kChildVariable));
    }
    QCoreApplication app(argc, argv);
    TestHylafaxReceive test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hylafax_receive.moc"
