// The HylaFAX client against private HylaFAX servers: the jobs it creates reach the queue as
// meant, values that cannot travel never leave the client, outcomes written by the (fake)
// modem and by faxrm read back as recorded, and a server that is gone or talks nonsense ends
// a call quickly as unreachable.

#include "CannedServer.h"
#include "PrivateHylafax.h"
#include "faxapp/hylafax/HylafaxClient.h"
#include "faxapp/hylafax/HylafaxConnection.h"
#include "faxapp/hylafax/HylafaxReplies.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

using faxapp::HylafaxAccount;
using faxapp::HylafaxClient;
using faxapp::HylafaxJobStatus;
using faxapp::HylafaxSubmission;
using Failure = HylafaxClient::Failure;
using State = HylafaxJobStatus::State;

namespace {

// One page of TIFF Class F as fax programs write it: G3 1-D with byte-aligned lines, 1728
// pixels across at 204 dpi, a black bar at the top.
bool WriteFaxTiff(const QString& path, int yRes) {
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (tiff == nullptr) {
        return false;
    }
    const int rows = yRes * 11;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 1728);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, rows);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_FILLBITS);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0F);
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(yRes));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rows);
    QByteArray row(1728 / 8, '\0');
    bool ok = true;
    for (int y = 0; y < rows && ok; ++y) {
        row.fill(y < yRes / 2 ? '\xff' : '\0');
        ok = TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

QString LoginName() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

} // namespace

class TestHylafaxClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void createdJobsReachTheQueue_data();
    void createdJobsReachTheQueue();
    void aJobInheritsNothingFromTheConnectionsLastJob();
    void aJobFileAheadOfTheServersClockKeepsTheParameters();
    void valuesThatCannotTravelNeverLeaveTheClient_data();
    void valuesThatCannotTravelNeverLeaveTheClient();
    void theServersRefusalIsReported();
    void aServerThatCannotStoreIsNotARefusal();
    void aRemovedJobFailsThenGoes();
    void outcomesOfTheModemReadBack_data();
    void outcomesOfTheModemReadBack();
    void aSessionTheServerEndedIsOpenedAgain();
    void login_data();
    void login();
    void aBrokenServerIsUnreachableQuickly_data();
    void aBrokenServerIsUnreachableQuickly();

private:
    HylafaxAccount Account(const PrivateHylafax& server) const {
        HylafaxAccount account;
        account.host = QStringLiteral("127.0.0.1");
        account.port = server.Port();
        return account;
    }
    HylafaxSubmission Fine(const QString& number) const {
        HylafaxSubmission submission;
        submission.number = number;
        submission.tiffPath = m_files.filePath(QStringLiteral("fine.tif"));
        return submission;
    }
    std::optional<PrivateHylafax::Job> Row(const PrivateHylafax& server, const QString& id) {
        QString error;
        const auto jobs = server.Jobs(error);
        for (const auto& job : jobs) {
            if (job.id == id) {
                return job;
            }
        }
        qWarning() << "job" << id << "not listed" << error;
        return std::nullopt;
    }

    QTemporaryDir m_files;
    PrivateHylafax m_queue; // no modem: jobs wait
    PrivateHylafax m_modem; // a fake modem ends jobs by their number
};

void TestHylafaxClient::initTestCase() {
    QVERIFY(m_files.isValid());
    QVERIFY(WriteFaxTiff(m_files.filePath(QStringLiteral("fine.tif")), 196));
    QVERIFY(WriteFaxTiff(m_files.filePath(QStringLiteral("normal.tif")), 98));
    QString error;
    PrivateHylafax::Options queue;
    queue.passwordUsers = {{QStringLiteral("alice"), QStringLiteral("secret")}};
    QVERIFY2(m_queue.Start(queue, error), qPrintable(error));
    PrivateHylafax::Options modem;
    modem.fakeModem = true;
    QVERIFY2(m_modem.Start(modem, error), qPrintable(error));
}

// The server reads a job back from its file when the file looks newer than its copy, and cannot
// read back a job without a number: a file whose time is ahead of the server's clock (as a
// file system with fine-grained times makes it just after a second begins) undoes each
// parameter at the next command. JREST right after JNEW, as Create sends it, is what keeps
// them; without it the number is gone.
void TestHylafaxClient::aJobFileAheadOfTheServersClockKeepsTheParameters() {
    faxapp::HylafaxConnection connection(10000);
    const auto command = [&](const QByteArray& line) {
        const auto reply = connection.Command(line);
        return reply ? reply->Line() : connection.Error();
    };
    const auto newJob = [&] {
        command("JOB default");
        const auto reply = connection.Command("JNEW");
        const QString id = reply ? faxapp::HylafaxReplies::NewJobId(reply->Text()) : QString();
        // The job's file a few seconds ahead, as if written by a clock that runs ahead.
        const QByteArray file =
            QFile::encodeName(m_queue.Spool() + QStringLiteral("/sendq/q") + id);
        const timespec ahead[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 5, 0}};
        if (id.isEmpty() || ::utimensat(AT_FDCWD, file.constData(), ahead, 0) != 0)
            qWarning("no job file for %s", qPrintable(id));
        return id.toLatin1();
    };
    QVERIFY(connection.Open(QStringLiteral("127.0.0.1"), m_queue.Port()));
    QVERIFY(command("USER " + LoginName().toUtf8()).startsWith(u"230"));

    const QByteArray kept = newJob();
    QVERIFY(!kept.isEmpty());
    QVERIFY(command("JREST " + kept).startsWith(u"200"));
    QVERIFY(command("JPARM DIALSTRING \"0301555\"").startsWith(u"213"));
    QVERIFY(command("JPARM FROMUSER \"Kalmo\"").startsWith(u"213"));
    QCOMPARE(command("JPARM DIALSTRING"), QStringLiteral("213 0301555"));

    QVERIFY(!newJob().isEmpty());
    QVERIFY(command("JPARM DIALSTRING \"0301555\"").startsWith(u"213"));
    QVERIFY(command("JPARM FROMUSER \"Kalmo\"").startsWith(u"213"));
    QCOMPARE(command("JPARM DIALSTRING"), QStringLiteral("213"));
    connection.Quit();
}

void TestHylafaxClient::createdJobsReachTheQueue_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("sendInMinutes"); // 0: at once
    QTest::addColumn<bool>("poll");
    QTest::addColumn<QString>("state");

    QTest::newRow("fine, tag with umlauts, quotes, backslashes")
        << "0123456"
        << "Müller \"Eilt\" C:\\fax\\" << 196 << 0 << false << "W";
    QTest::newRow("normal, sent later") << "+49 (30) 555-01"
                                        << "Rechnung 4711" << 98 << 90 << false << "P";
    QTest::newRow("poll") << "0301234567"
                          << "" << 98 << 0 << true << "W";
    QTest::newRow("poll later, tag at the length limit")
        << "0301234567" << QString(450, u'x') << 196 << 600 << true << "P";
}

void TestHylafaxClient::createdJobsReachTheQueue() {
    QFETCH(QString, number);
    QFETCH(QString, tag);
    QFETCH(int, resolution);
    QFETCH(int, sendInMinutes);
    QFETCH(bool, poll);
    QFETCH(QString, state);

    HylafaxSubmission submission = Fine(number);
    submission.tag = tag;
    submission.verticalRes = resolution;
    submission.poll = poll;
    if (poll) {
        submission.tiffPath.clear();
    } else if (resolution == 98) {
        submission.tiffPath = m_files.filePath(QStringLiteral("normal.tif"));
    }
    const QDateTime sendTime = QDateTime::currentDateTimeUtc().addSecs(sendInMinutes * 60);
    if (sendInMinutes != 0) {
        submission.sendTime = sendTime.toLocalTime();
    }
    HylafaxClient client(Account(m_queue), 5000);
    const auto id = client.Create(submission);
    QVERIFY2(id, qPrintable(client.LastError()));
    QCOMPARE(client.LastFailure(), Failure::None);
    QVERIFY2(client.Submit(*id), qPrintable(client.LastError()));

    const auto job = Row(m_queue, *id);
    QVERIFY(job);
    QCOMPARE(job->number, number);
    QCOMPARE(job->tag, tag);
    QCOMPARE(job->resolution, resolution);
    QCOMPARE(job->state, state);
    QCOMPARE(job->owner, LoginName());
    if (sendInMinutes != 0) {
        QCOMPARE(job->sendTime, sendTime.toSecsSinceEpoch() / 60 * 60); // whole minutes
    }
    const auto status = client.Status(*id);
    QVERIFY2(status, qPrintable(client.LastError()));
    QCOMPARE(status->state, State::Pending);
}

void TestHylafaxClient::aJobInheritsNothingFromTheConnectionsLastJob() {
    // The server makes a new job from the connection's current job: one with a send time and
    // a tag must not pass them on.
    HylafaxClient client(Account(m_queue), 5000);
    HylafaxSubmission later = Fine(QStringLiteral("0123457"));
    later.tag = QStringLiteral("later");
    later.sendTime = QDateTime::currentDateTimeUtc().addSecs(3600);
    const auto first = client.Create(later);
    QVERIFY2(first && client.Submit(*first), qPrintable(client.LastError()));
    QVERIFY(client.Status(*first));
    const auto second = client.Create(Fine(QStringLiteral("0123458")));
    QVERIFY2(second && client.Submit(*second), qPrintable(client.LastError()));

    const auto job = Row(m_queue, *second);
    QVERIFY(job);
    QCOMPARE(job->tag, QString());
    QCOMPARE(job->state, QStringLiteral("W"));
    QCOMPARE(job->number, QStringLiteral("0123458"));
}

void TestHylafaxClient::valuesThatCannotTravelNeverLeaveTheClient_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<QString>("document"); // a file name in the test's folder

    QTest::newRow("control character in the number")
        << QString("0123" + QString(QChar(1)) + "456") << "" << 196 << "fine.tif";
    QTest::newRow("quote in the number") << "0123\"456"
                                         << "" << 196 << "fine.tif";
    QTest::newRow("backslash in the number") << "0123\\456"
                                             << "" << 196 << "fine.tif";
    QTest::newRow("umlaut in the number") << "0123ä"
                                          << "" << 196 << "fine.tif";
    QTest::newRow("number without a digit") << "Müller"
                                            << "" << 196 << "fine.tif";
    QTest::newRow("no number") << ""
                               << "" << 196 << "fine.tif";
    QTest::newRow("line end in the tag") << "0123"
                                         << "a\r\nJSUBM" << 196 << "fine.tif";
    QTest::newRow("DEL in the tag") << "0123"
                                    << "a\x7f" << 196 << "fine.tif";
    QTest::newRow("C1 control in the tag") << "0123"
                                           << "a\u0085b" << 196 << "fine.tif";
    QTest::newRow("tag past the server's line")
        << "0123" << QString(490, u'x') << 196 << "fine.tif";
    QTest::newRow("unknown resolution") << "0123"
                                        << "" << 150 << "fine.tif";
    QTest::newRow("missing document") << "0123"
                                      << "" << 196 << "missing.tif";
    QTest::newRow("document that is no TIFF") << "0123"
                                              << "" << 196 << "text.tif";
    QTest::newRow("document behind a symbolic link") << "0123"
                                                     << "" << 196 << "link.tif";
}

void TestHylafaxClient::valuesThatCannotTravelNeverLeaveTheClient() {
    QFETCH(QString, number);
    QFETCH(QString, tag);
    QFETCH(int, resolution);
    QFETCH(QString, document);

    QFile text(m_files.filePath(QStringLiteral("text.tif")));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("%!PS-Adobe-3.0\n") > 0);
    text.close();
    QFile::link(m_files.filePath(QStringLiteral("fine.tif")),
                m_files.filePath(QStringLiteral("link.tif")));

    HylafaxSubmission submission;
    submission.number = number;
    submission.tag = tag;
    submission.verticalRes = resolution;
    submission.tiffPath = m_files.filePath(document);
    // Nothing listens on this port: a client that connected before checking would report the
    // server unreachable instead of refusing the job.
    HylafaxAccount nowhere;
    nowhere.host = QStringLiteral("127.0.0.1");
    nowhere.port = 1;
    HylafaxClient client(nowhere, 2000);
    QVERIFY(!client.Create(submission));
    QCOMPARE(client.LastFailure(), Failure::Refused);
    QVERIFY(!client.LastError().isEmpty());

    submission.poll = true; // a poll with the same values: the document does not matter
    submission.tiffPath.clear();
    const bool documentOnly = document != u"fine.tif";
    QCOMPARE(client.Create(submission).has_value(), false);
    QCOMPARE(client.LastFailure(), documentOnly ? Failure::Unreachable : Failure::Refused);
}

void TestHylafaxClient::theServersRefusalIsReported() {
    HylafaxClient client(Account(m_queue), 5000);
    QVERIFY(!client.Submit(QStringLiteral("99999")));
    QCOMPARE(client.LastFailure(), Failure::Refused);
    QVERIFY2(client.LastError().contains(u"job does not exist"), qPrintable(client.LastError()));
    QVERIFY(!client.Status(QStringLiteral("1 2")));
    QCOMPARE(client.LastFailure(), Failure::Refused);
}

// A server that cannot store the document (its spool's rights, a full disk) has trouble of
// its own: the job is to be tried again later, not given up.
void TestHylafaxClient::aServerThatCannotStoreIsNotARefusal() {
    const QByteArray tmp = QFile::encodeName(m_queue.Spool() + QStringLiteral("/tmp"));
    QCOMPARE(::chmod(tmp.constData(), 0), 0);
    HylafaxClient client(Account(m_queue), 5000);
    const auto id = client.Create(Fine(QStringLiteral("0123458")));
    ::chmod(tmp.constData(), 01777);
    QVERIFY(!id);
    QCOMPARE(client.LastFailure(), Failure::Unreachable);
    QVERIFY2(client.LastError().contains(u"storing the document"), qPrintable(client.LastError()));
    QVERIFY2(client.LastError().contains(u"restarted"), qPrintable(client.LastError()));
}

void TestHylafaxClient::aRemovedJobFailsThenGoes() {
    HylafaxClient client(Account(m_queue), 5000);
    const auto id = client.Create(Fine(QStringLiteral("0123459")));
    QVERIFY2(id && client.Submit(*id), qPrintable(client.LastError()));
    QString error;
    QVERIFY2(m_queue.Remove(*id, error), qPrintable(error));
    std::optional<HylafaxJobStatus> status;
    QTRY_VERIFY_WITH_TIMEOUT((status = client.Status(*id)) && status->state == State::Failed, 5000);
    QCOMPARE(status->status, QStringLiteral("Job aborted by request"));
    QCOMPARE(status->statusCode, 345);
    QCOMPARE(status->signalRate, 0);

    QVERIFY2(m_queue.Remove(*id, error), qPrintable(error)); // now from the done queue
    QTRY_VERIFY_WITH_TIMEOUT((status = client.Status(*id)) && status->state == State::Gone, 5000);
    QCOMPARE(client.LastFailure(), Failure::None);
    status = client.Status(QStringLiteral("999999"));
    QVERIFY(status);
    QCOMPARE(status->state, State::Gone);
}

void TestHylafaxClient::outcomesOfTheModemReadBack_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("pagesSent");
    QTest::addColumn<int>("signalRate");
    QTest::addColumn<QString>("dataFormat");
    QTest::addColumn<QString>("remoteId");

    QTest::newRow("done") << "5550" << State::Done << "" << 1 << 14400 << "2-D MR"
                          << "+49 30 1234567";
    QTest::newRow("failed") << "5551" << State::Failed << "Busy signal detected" << 0 << 0 << ""
                            << "";
}

void TestHylafaxClient::outcomesOfTheModemReadBack() {
    QFETCH(QString, number);
    QFETCH(State, state);
    QFETCH(QString, status);
    QFETCH(int, pagesSent);
    QFETCH(int, signalRate);
    QFETCH(QString, dataFormat);
    QFETCH(QString, remoteId);

    HylafaxClient client(Account(m_modem), 5000);
    const auto id = client.Create(Fine(number));
    QVERIFY2(id && client.Submit(*id), qPrintable(client.LastError()));
    QString error;
    QVERIFY2(m_modem.WaitUntilEnded(*id, 20000, error), qPrintable(error));

    const auto outcome = client.Status(*id);
    QVERIFY2(outcome, qPrintable(client.LastError()));
    QCOMPARE(outcome->state, state);
    QCOMPARE(outcome->status, status);
    QCOMPARE(outcome->pagesSent, pagesSent);
    QCOMPARE(outcome->totalPages, 1);
    QCOMPARE(outcome->signalRate, signalRate);
    QCOMPARE(outcome->dataFormat, dataFormat);
    QCOMPARE(outcome->remoteId, remoteId);
}

void TestHylafaxClient::aSessionTheServerEndedIsOpenedAgain() {
    // hfaxd ends a session that stays idle past its timeout with "421 Timeout" and hangs up:
    // the next call logs in anew instead of taking that line for its answer.
    const QByteArrayList login{"220 ready.\r\n", "230 User x logged in.\r\n",
                               "200 Using time values in GMT.\r\n"};
    QByteArrayList ended = login;
    ended.last() += "421 Timeout (900 seconds): closing control connection.\r\n";
    CannedServer peer(
        {ended, login + QByteArrayList{"500 Cannot set job 7; job does not exist.\r\n"}});
    HylafaxAccount account;
    account.host = QStringLiteral("127.0.0.1");
    account.port = peer.Port();
    account.user = QStringLiteral("x");
    HylafaxClient client(account, 2000);
    QVERIFY2(client.Connect(), qPrintable(client.LastError()));
    QTest::qWait(100);
    const auto status = client.Status(QStringLiteral("7"));
    QVERIFY2(status, qPrintable(client.LastError()));
    QCOMPARE(status->state, State::Gone);
}

void TestHylafaxClient::login_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<QString>("text");

    QTest::newRow("password user") << "alice"
                                   << "secret" << Failure::None << "";
    QTest::newRow("wrong password") << "alice"
                                    << "wrong" << Failure::Unreachable << "530 Login incorrect.";
    QTest::newRow("password missing") << "alice"
                                      << "" << Failure::Unreachable << "331";
    QTest::newRow("password given where none is asked") << "bob"
                                                        << "unused" << Failure::None << "";
}

void TestHylafaxClient::login() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(Failure, failure);
    QFETCH(QString, text);

    HylafaxAccount account = Account(m_queue);
    account.user = user;
    account.password = password;
    HylafaxClient client(account, 5000);
    QCOMPARE(client.Connect(), failure == Failure::None);
    QCOMPARE(client.LastFailure(), failure);
    QVERIFY2(client.LastError().contains(text), qPrintable(client.LastError()));
    if (failure == Failure::None) {
        const auto status = client.Status(QStringLiteral("999998"));
        QVERIFY2(status && status->state == State::Gone, qPrintable(client.LastError()));
    }
}

void TestHylafaxClient::aBrokenServerIsUnreachableQuickly_data() {
    QTest::addColumn<QByteArrayList>("session"); // the peer's replies
    QTest::addColumn<bool>("listening");
    QTest::addColumn<bool>("hangUp"); // once the replies are sent
    QTest::addColumn<QString>("error");

    QTest::newRow("closed port") << QByteArrayList() << false << false << "cannot connect";
    QTest::newRow("silent") << QByteArrayList{""} << true << false << "no reply";
    QTest::newRow("no reply code")
        << QByteArrayList{"hello there\r\n"} << true << false << "does not parse";
    QTest::newRow("not ready") << QByteArrayList{"421 Service not available.\r\n"} << true << false
                               << "421 Service not available.";
    QTest::newRow("closes after the greeting")
        << QByteArrayList{"220 ready.\r\n"} << true << true << "closed the connection";
    QTest::newRow("multi-line reply without end")
        << QByteArrayList{"220-ready\r\n220-still\r\n 220 not the end\r\n"} << true << false
        << "no reply";
    QTest::newRow("line without end")
        << QByteArrayList{QByteArray(100000, 'x')} << true << false << "too long";
    // Only a reply taken to its last line lines the later replies up with their commands.
    QTest::newRow("multi-line greeting, then the password refused")
        << QByteArrayList{"220-Welcome\r\n230 inside the greeting\r\n220 ready.\r\n",
                          "331 Password required for x.\r\n", "530 Login incorrect.\r\n"}
        << true << false << "530 Login incorrect.";
    // Refused before a password is asked: the server's own trouble, with its likely cause.
    QTest::newRow("the user refused at once")
        << QByteArrayList{"220 ready.\r\n", "530 User x access denied.\r\n"} << true << false
        << "access denied.; the server answers but cannot be used";
}

void TestHylafaxClient::aBrokenServerIsUnreachableQuickly() {
    QFETCH(QByteArrayList, session);
    QFETCH(bool, listening);
    QFETCH(bool, hangUp);
    QFETCH(QString, error);

    std::optional<CannedServer> peer;
    HylafaxAccount account;
    account.host = QStringLiteral("localhost");
    account.port = 1; // nothing listens there
    account.user = QStringLiteral("x");
    account.password = QStringLiteral("y");
    if (listening) {
        peer.emplace(QList<QByteArrayList>{session}, hangUp);
        account.port = peer->Port();
    }
    QElapsedTimer clock;
    clock.start();
    {
        HylafaxClient client(account, 400);
        QVERIFY(!client.Connect());
        QCOMPARE(client.LastFailure(), Failure::Unreachable);
        QVERIFY2(client.LastError().contains(error), qPrintable(client.LastError()));
        QVERIFY(!client.Create(Fine(QStringLiteral("0123"))));
        QCOMPARE(client.LastFailure(), Failure::Unreachable);
    }
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestHylafaxClient)
#include "tst_hylafaxclient.moc"
