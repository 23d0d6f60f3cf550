// The journal on a real SQLite file: rows come back newest first and survive reopening; faults
// of the disk, the folder and other programs' locks make Add answer false instead of
// pretending; a damaged file is reported by Open and left as it was.

#include "faxapp/journal/JournalStore.h"
#include "faxapp/served/ServedClasses.h"
#include "platform/DBusAutomation.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <latch>
#include <sqlite3.h>
#include <sys/resource.h>
#include <thread>

using faxapp::JournalEntry;
using faxapp::JournalStore;

namespace {

JournalEntry SendJob(const QString& jobFile, const QString& remark = "Angebot") {
    JournalEntry e;
    e.document = "/data/Faxsend/_FX00001.SFF";
    e.jobFile = jobFile;
    e.number = "0711 123456";
    e.resolution = 196;
    e.sendTime = "IMMED";
    e.remark = remark;
    return e;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

bool Sql(const QString& file, const char* sql) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Lets the process write files of at most limit bytes while it lives: a full disk, also for
// root. The signal the kernel sends on the limit is ignored, so that write() fails instead.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = m_saved;
        lower.rlim_cur = limit;
        m_ok = setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

class TestJournalStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void rowsComeBackNewestFirst();
    void outcomeGoesToTheNewestRowOfTheJob();
    void twoOpenANewJournalAtOnce();
    void fetchClaimsGoToOneProgram();
    void versionOneIsBroughtUp();
    void addFailsOnFaults_data();
    void addFailsOnFaults();
    void openReportsDamage_data();
    void openReportsDamage();
    void classAnswers_data();
    void classAnswers();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_data;
};

void TestJournalStore::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_data = m_dir->filePath("Fax");
    QVERIFY(QDir().mkpath(m_data));
}

// Two runners starting on a new data folder both create the journal: both get it, once.
void TestJournalStore::twoOpenANewJournalAtOnce() {
    for (int round = 0; round < 40; ++round) {
        const QString data = m_dir->filePath(QStringLiteral("new%1").arg(round));
        QVERIFY(QDir().mkpath(data));
        std::latch start(2);
        QString errors[2];
        bool opened[2] = {};
        const auto open = [&](int i) {
            start.arrive_and_wait();
            opened[i] = JournalStore::Open(data, errors[i]) != nullptr;
        };
        std::thread other(open, 1);
        open(0);
        other.join();
        QVERIFY2(opened[0] && opened[1], qPrintable(errors[0] + errors[1]));
    }
    QString error;
    auto store = JournalStore::Open(m_dir->filePath(QStringLiteral("new0")), error);
    QVERIFY2(store, qPrintable(error));
    JournalEntry row = SendJob("09120000.FX3");
    QVERIFY2(store->Add(row, error), qPrintable(error));
}

void TestJournalStore::versionOneIsBroughtUp() {
    // A journal as the first version wrote it: its rows keep their ids and values, the new
    // columns start empty, and the next row follows the old ones.
    const QString file = JournalStore::DatabasePath(m_data);
    QVERIFY(Sql(file, "CREATE TABLE jobs(id INTEGER PRIMARY KEY, recorded TEXT NOT NULL,"
                      " kind TEXT NOT NULL CHECK(kind IN ('send', 'poll')), document TEXT NOT NULL,"
                      " job_file TEXT NOT NULL, number TEXT NOT NULL, resolution INTEGER NOT NULL,"
                      " send_time TEXT NOT NULL, remark TEXT NOT NULL, state TEXT NOT NULL,"
                      " outcome TEXT NOT NULL);"
                      "CREATE INDEX jobs_job_file ON jobs(job_file);"
                      "INSERT INTO jobs VALUES(7, '2026-12-01T09:30:00.000Z', 'poll', '',"
                      " '09120001.FX3', '0301234', 0, 'IMMED', 'Abruf', 'failed', 'busy');"
                      "PRAGMA user_version = 1;"));
    QString error;
    auto store = JournalStore::Open(m_data, error);
    QVERIFY2(store, qPrintable(error));
    auto rows = store->Entries(error);
    QVERIFY2(rows && rows->size() == 1, qPrintable(error));
    const JournalEntry old = rows->first();
    QCOMPARE(old.id, 7);
    QVERIFY(old.poll && !old.received);
    QCOMPARE(old.number, u"0301234");
    QCOMPARE(old.outcome, u"busy");
    QCOMPARE(old.pages, 0);
    QVERIFY(old.faxFile.isEmpty() && !old.arrived.isValid() && !old.unread);

    JournalEntry added = SendJob("09120002.FX3", "neu");
    QVERIFY2(store->Add(added, error), qPrintable(error));
    QCOMPARE(added.id, 8);
    QVERIFY2(store->SetUnread(7, true, error), qPrintable(error));
    store.reset();
    store = JournalStore::Open(m_data, error); // a second open leaves version 2 as it is
    QVERIFY2(store, qPrintable(error));
    rows = store->Entries(error);
    QVERIFY(rows && rows->size() == 2);
    QVERIFY(rows->at(1).unread && !rows->at(0).unread);

    // A fax that came in is recorded once for its place at the server.
    JournalEntry in;
    in.state = "received";
    in.serverFile = "127.0.0.1:4559 recvq/fax00001.tif";
    in.faxFile = m_data + "/Faxrec/F0000001.TIF";
    in.remoteId = "+49 30 1234";
    in.pages = 3;
    in.arrived = QDateTime::currentDateTime().addSecs(-60);
    in.unread = true;
    QVERIFY2(store->AddReceived(in, error), qPrintable(error));
    JournalEntry twice = in;
    QVERIFY(!store->AddReceived(twice, error));
    QVERIFY2(error.contains("already"), qPrintable(error));
    rows = store->Entries(error);
    QVERIFY(rows && rows->size() == 3);
    const JournalEntry got = rows->first();
    QVERIFY(got.received && !got.poll);
    QCOMPARE(got.pages, 3);
    QCOMPARE(got.remoteId, in.remoteId);
    QCOMPARE(got.arrived.toSecsSinceEpoch(), in.arrived.toSecsSinceEpoch());
}

// Two programs on one journal (two desktops sharing the data folder): a received fax's row and
// a poll's result are claimed by one of them, and a claim moves only from the claim seen.
void TestJournalStore::fetchClaimsGoToOneProgram() {
    QString error;
    auto one = JournalStore::Open(m_data, error);
    auto two = JournalStore::Open(m_data, error);
    QVERIFY2(one && two, qPrintable(error));
    JournalEntry in;
    in.state = "fetching";
    in.document = "claim one";
    in.serverFile = "hylafax://fax:4559 fax00000001.tif";
    QVERIFY2(one->AddReceived(in, error), qPrintable(error));
    auto found = two->FindServerFile(in.serverFile, error);
    QVERIFY2(found && found->document == "claim one", qPrintable(error));
    QVERIFY(!two->FindServerFile("hylafax://fax:4559 fax00000002.tif", error) && error.isEmpty());

    QVERIFY2(two->SwapClaim(in.id, "claim one", "claim two", error), qPrintable(error));
    QVERIFY(!one->SwapClaim(in.id, "claim one", "claim one again", error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    JournalEntry done = *two->FindServerFile(in.serverFile, error);
    done.state = "received";
    done.document.clear();
    done.pages = 2;
    done.faxFile = m_data + "/Faxrec/x.tif";
    done.unread = true;
    QVERIFY(!one->UpdateReceived(done, error, "fetching", "claim one")); // not its claim now
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(two->UpdateReceived(done, error, "fetching", "claim two"), qPrintable(error));
    QVERIFY(!one->UpdateReceived(done, error, "fetching"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!one->SwapClaim(in.id, "", "claim one", error)); // not fetching any more
    found = one->FindServerFile(in.serverFile, error);
    QVERIFY(found && found->state == "received" && found->pages == 2 && found->unread);

    // A poll that ended is linked to one fax, once; a fax another row has is not linked.
    JournalEntry poll;
    poll.poll = true;
    poll.jobFile = "09120005.FX3";
    QVERIFY2(one->Add(poll, error), qPrintable(error));
    QVERIFY(one->SetOutcome(poll.jobFile, "sent", "polled", error));
    auto ended = two->Polls("sent", QDateTime::currentDateTime().addDays(-1), error);
    QVERIFY2(ended && ended->size() == 1 && ended->first().id == poll.id, qPrintable(error));
    QVERIFY(!one->ClaimForPoll(poll.id, "sent", in.serverFile, "claim one", error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString polled = "hylafax://fax:4559 fax00000003.tif";
    QVERIFY2(one->ClaimForPoll(poll.id, "sent", polled, "claim one", error), qPrintable(error));
    QVERIFY(!two->ClaimForPoll(poll.id, "sent", polled, "claim two", error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    found = two->FindServerFile(polled, error);
    QVERIFY(found && found->poll && found->state == "fetching" && found->document == "claim one");
    ended = two->Polls("sent", QDateTime::currentDateTime().addDays(-1), error);
    QVERIFY(ended && ended->isEmpty());
}

void TestJournalStore::rowsComeBackNewestFirst() {
    QString error;
    {
        auto store = JournalStore::Open(m_data, error);
        QVERIFY2(store, qPrintable(error));
        JournalEntry first = SendJob("09120000.FX3");
        JournalEntry poll;
        poll.poll = true;
        poll.jobFile = "09120001.FX3";
        poll.number = "+49 30 555";
        poll.sendTime = "24.12.2030 08:15";
        poll.remark = "Abruf";
        JournalEntry third = SendJob("09120002.FX3", "Grüße an Müller\tß");
        third.state = "sent"; // a new row is queued whatever it says
        for (JournalEntry* e : {&first, &poll, &third})
            QVERIFY2(store->Add(*e, error), qPrintable(error));
        QVERIFY(first.id < poll.id && poll.id < third.id);
        QCOMPARE(third.state, "queued");
        QVERIFY(qAbs(third.recorded.secsTo(QDateTime::currentDateTime())) < 60);
    }
    auto store = JournalStore::Open(m_data, error); // what a reader sees later
    QVERIFY2(store, qPrintable(error));
    const auto entries = store->Entries(error);
    QVERIFY2(entries, qPrintable(error));
    QCOMPARE(entries->size(), 3);
    const JournalEntry& newest = entries->at(0);
    QCOMPARE(newest.jobFile, "09120002.FX3");
    QCOMPARE(newest.remark, "Grüße an Müller\tß");
    QCOMPARE(newest.document, "/data/Faxsend/_FX00001.SFF");
    QCOMPARE(newest.number, "0711 123456");
    QCOMPARE(newest.resolution, 196);
    QCOMPARE(newest.sendTime, "IMMED");
    QCOMPARE(newest.state, "queued");
    QCOMPARE(newest.outcome, QString());
    QVERIFY(!newest.poll);
    const JournalEntry& poll = entries->at(1);
    QVERIFY(poll.poll);
    QCOMPARE(poll.document, QString());
    QCOMPARE(poll.sendTime, "24.12.2030 08:15");
    QCOMPARE(entries->at(2).jobFile, "09120000.FX3");
    QVERIFY(entries->at(2).recorded <= newest.recorded);
    const auto limited = store->Entries(error, 1);
    QVERIFY(limited);
    QCOMPARE(limited->size(), 1);
    QCOMPARE(limited->at(0).id, newest.id);
}

void TestJournalStore::outcomeGoesToTheNewestRowOfTheJob() {
    QString error;
    auto store = JournalStore::Open(m_data, error);
    QVERIFY2(store, qPrintable(error));
    // A job file name comes round again once Comjob no longer holds it.
    for (const char* job : {"09120000.FX3", "09120001.FX3", "09120000.FX3"}) {
        JournalEntry e = SendJob(job);
        QVERIFY2(store->Add(e, error), qPrintable(error));
    }
    QVERIFY2(store->SetOutcome("09120000.FX3", "failed", "busy line", error), qPrintable(error));
    QVERIFY(!store->SetOutcome("31120000.FX3", "sent", "", error));
    QVERIFY(error.contains("31120000.FX3"));
    const auto entries = store->Entries(error);
    QVERIFY(entries);
    QCOMPARE(entries->at(0).state, "failed");
    QCOMPARE(entries->at(0).outcome, "busy line");
    QCOMPARE(entries->at(1).state, "queued");
    QCOMPARE(entries->at(2).state, "queued");
}

enum class Fault { DiskFull, FolderGone, Locked };

void TestJournalStore::addFailsOnFaults_data() {
    QTest::addColumn<Fault>("fault");
    // A pattern the error text matches. SQLite tells ENOSPC as "full", the size limit's EFBIG
    // as an I/O error; a journal file that cannot be made as "readonly".
    QTest::addColumn<QString>("reason");
    QTest::newRow("disk full") << Fault::DiskFull << "full|I/O error";
    QTest::newRow("folder replaced by a file") << Fault::FolderGone << "readonly|unable to open";
    QTest::newRow("locked by another program") << Fault::Locked << "locked";
}

// The fault comes after a good open, as it does for a server that stays running; afterwards
// the journal holds exactly the rows before the fault.
void TestJournalStore::addFailsOnFaults() {
    QFETCH(Fault, fault);
    QFETCH(QString, reason);
    QString error;
    auto store = JournalStore::Open(m_data, error);
    QVERIFY2(store, qPrintable(error));
    JournalEntry before = SendJob("09120000.FX3");
    QVERIFY2(store->Add(before, error), qPrintable(error));
    const QString file = JournalStore::DatabasePath(m_data);
    const QString moved = m_dir->filePath("moved");

    JournalEntry row = SendJob("09120001.FX3", QString(4000, u'x')); // needs a new page
    bool added = true;
    QElapsedTimer timer;
    timer.start();
    if (fault == Fault::DiskFull) {
        // A disk with 1 KB left: the new page is written in part, as on a full disk.
        FileSizeLimit limit(static_cast<rlim_t>(QFileInfo(file).size() + 1024));
        QVERIFY(limit.ok());
        added = store->Add(row, error);
    } else if (fault == Fault::FolderGone) {
        QVERIFY(QDir().rename(m_data, moved));
        QVERIFY(WriteAll(m_data, "not a folder"));
        added = store->Add(row, error);
        QVERIFY(QFile::remove(m_data));
        QVERIFY(QDir().rename(moved, m_data));
    } else {
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        added = store->Add(row, error);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY2(timer.elapsed() >= 2000, "gave up without waiting for the lock");
    }
    QVERIFY(!added);
    QVERIFY2(error.contains(QRegularExpression(reason, QRegularExpression::CaseInsensitiveOption)),
             qPrintable(error));
    QVERIFY2(timer.elapsed() < 15000, "hung on the fault");

    store.reset();
    store = JournalStore::Open(m_data, error);
    QVERIFY2(store, qPrintable(error));
    const auto entries = store->Entries(error);
    QVERIFY2(entries, qPrintable(error));
    QCOMPARE(entries->size(), 1);
    QCOMPARE(entries->at(0).jobFile, "09120000.FX3");
    QVERIFY2(store->Add(row, error), qPrintable(error)); // usable again once the fault is gone
}

enum class Damage { Garbage, Truncated, PageOverwritten, Foreign, NewerVersion, Link, NoFolder };

void TestJournalStore::openReportsDamage_data() {
    QTest::addColumn<Damage>("damage");
    QTest::newRow("random bytes") << Damage::Garbage;
    QTest::newRow("journal cut short") << Damage::Truncated;
    QTest::newRow("a page overwritten") << Damage::PageOverwritten;
    QTest::newRow("another program's database") << Damage::Foreign;
    QTest::newRow("a later schema version") << Damage::NewerVersion;
    QTest::newRow("a symbolic link") << Damage::Link;
    QTest::newRow("data folder is a file") << Damage::NoFolder;
}

// Never repaired or recreated behind the user's back: the bytes stay as they were.
void TestJournalStore::openReportsDamage() {
    QFETCH(Damage, damage);
    const QString file = JournalStore::DatabasePath(m_data);
    QString error;
    {
        auto store = JournalStore::Open(m_data, error);
        QVERIFY2(store, qPrintable(error));
        for (int i = 0; i < 40; ++i) {
            JournalEntry e = SendJob(QString("0912%1.FX3").arg(i, 4, 10, QChar('0')),
                                     QString(400, QChar('a' + i % 26)));
            QVERIFY2(store->Add(e, error), qPrintable(error));
        }
    }
    QByteArray bytes = ReadAll(file);
    QVERIFY(bytes.size() > qsizetype{5} * 4096);
    QString opened = m_data;
    switch (damage) {
    case Damage::Garbage:
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 7919 + 13) % 251);
        break;
    case Damage::Truncated:
        bytes.truncate(bytes.size() / 2);
        break;
    case Damage::PageOverwritten:
        bytes.replace(qsizetype{3} * 4096, 4096, QByteArray(4096, '\xa5'));
        break;
    case Damage::Foreign:
        QVERIFY(QFile::remove(file));
        QVERIFY(Sql(file, "CREATE TABLE keys(path TEXT)"));
        bytes = ReadAll(file);
        break;
    case Damage::NewerVersion:
        QVERIFY(Sql(file, "PRAGMA user_version = 3"));
        bytes = ReadAll(file);
        break;
    case Damage::Link:
        QVERIFY(QFile::rename(file, m_dir->filePath("elsewhere.sqlite")));
        QVERIFY(QFile::link(m_dir->filePath("elsewhere.sqlite"), file));
        bytes = ReadAll(file);
        break;
    case Damage::NoFolder:
        opened = m_dir->filePath("plain");
        QVERIFY(WriteAll(opened, "a file"));
        break;
    }
    if (damage != Damage::Foreign && damage != Damage::NewerVersion && damage != Damage::Link)
        QVERIFY(WriteAll(file, bytes));

    error.clear();
    QVERIFY(!JournalStore::Open(opened, error));
    QVERIFY(!error.isEmpty());
    qInfo("%s", qPrintable(error));
    QCOMPARE(ReadAll(file), bytes);
    QVERIFY(!QFile::exists(file + "-journal") || QFileInfo(file + "-journal").size() == 0);
}

enum class Setup { Good, Damaged, Locked };

void TestJournalStore::classAnswers_data() {
    QTest::addColumn<int>("dispid");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<AutoVariant>>("args");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("answer");   // -1: the call fails
    QTest::addColumn<qint32>("scode"); // of the failure
    const auto B = [](const QString& s) { return AutoVariant::BStr(s); };
    const QList<AutoVariant> send{B("/d/_FX00001.SFF"), B("09120007.FX3"), B("0711 5"),
                                  AutoVariant::I2(98),  B("IMMED"),        B("Notiz"),
                                  AutoVariant::I2(1)};
    const QList<AutoVariant> poll{B("09120008.FX3"), B("0711 6"), B("24.12.2030 08:15"),
                                  B("Abruf")};
    const int method = static_cast<int>(InvokeKind::Method);
    const int get = static_cast<int>(InvokeKind::PropertyGet);
    QTest::newRow("send recorded") << 1 << method << send << Setup::Good << 0 << 0;
    QTest::newRow("poll recorded") << 2 << method << poll << Setup::Good << 0 << 0;
    QTest::newRow("damaged journal") << 1 << method << send << Setup::Damaged << 1 << 0;
    QTest::newRow("locked journal") << 2 << method << poll << Setup::Locked << 1 << 0;
    QList<AutoVariant> nul = send;
    nul[5] = B(QString("Notiz") + QChar(0) + "x");
    QTest::newRow("NUL in a field") << 1 << method << nul << Setup::Good << 3 << 0;
    QList<AutoVariant> longNumber = poll;
    longNumber[1] = B(QString(4097, u'1'));
    QTest::newRow("absurd length") << 2 << method << longNumber << Setup::Good << 3 << 0;
    QList<AutoVariant> noJob = poll;
    noJob[0] = B("");
    QTest::newRow("no job file") << 2 << method << noJob << Setup::Good << 3 << 0;
    QTest::newRow("too few arguments") << 1 << method << poll << Setup::Good << -1 << 0;
    QList<AutoVariant> wrongType = send;
    wrongType[3] = B("98");
    QTest::newRow("wrong type") << 1 << method << wrongType << Setup::Good << -1
                                << scode::kTypeMismatch;
    QTest::newRow("other DISPID") << 3 << method << poll << Setup::Good << -1
                                  << dbusauto::kMemberNotFound;
    QTest::newRow("property get") << 1 << get << QList<AutoVariant>{} << Setup::Good << -1
                                  << dbusauto::kMemberNotFound;
}

// The class's answer decides whether kalmosend keeps the job: 0 only with the row on disk.
void TestJournalStore::classAnswers() {
    QFETCH(int, dispid);
    QFETCH(int, kind);
    QFETCH(QList<AutoVariant>, args);
    QFETCH(Setup, setup);
    QFETCH(int, answer);
    QFETCH(qint32, scode);
    const QString file = JournalStore::DatabasePath(m_data);
    if (setup == Setup::Damaged)
        QVERIFY(WriteAll(file, QByteArray(8192, 'd')));
    sqlite3* other = nullptr;
    if (setup == Setup::Locked) {
        QVERIFY(Sql(file, "CREATE TABLE x(y)")); // any database; locked, it cannot be read
        QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    const DispatchPtr object = faxapp::JournalClass(m_data).create();
    int got = -1;
    qint32 failure = 0;
    try {
        got = object->Invoke(dispid, static_cast<InvokeKind>(kind), args).ToI2();
    } catch (const AutomationError& error) {
        failure = error.scode;
    }
    sqlite3_close(other); // also ends its transaction
    QCOMPARE(got, answer);
    if (answer == -1 && scode != 0)
        QCOMPARE(failure, scode);
    if (setup != Setup::Good)
        return;
    QString error;
    auto store = JournalStore::Open(m_data, error);
    QVERIFY2(store, qPrintable(error));
    const auto entries = store->Entries(error);
    QVERIFY(entries);
    QCOMPARE(entries->size(), answer == 0 ? 1 : 0);
    if (answer != 0)
        return;
    const JournalEntry& row = entries->at(0);
    QCOMPARE(row.poll, dispid == 2);
    const QStringList expected =
        dispid == 1 ? QStringList{"/d/_FX00001.SFF", "09120007.FX3", "0711 5", "IMMED", "Notiz"}
                    : QStringList{"", "09120008.FX3", "0711 6", "24.12.2030 08:15", "Abruf"};
    QCOMPARE((QStringList{row.document, row.jobFile, row.number, row.sendTime, row.remark}),
             expected);
    QCOMPARE(row.resolution, dispid == 1 ? 98 : 0);
}

QTEST_GUILESS_MAIN(TestJournalStore)
#include "tst_journalstore.moc"
