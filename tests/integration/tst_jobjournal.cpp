// The job hand-off with the journal over D-Bus: JobSubmitter with the real client against the
// stand-in's KalmoJournal.Document on the private test bus.

#include "DBusTestBus.h"
#include "JobSpool.h"
#include "RecordingMessenger.h"
#include "fax/FaxJob.h"
#include "fax/PrintFileInfo.h"
#include "job/JobSubmitter.h"
#include "platform/DBusAutomation.h"
#include "support/StringIds.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace jobspool;

namespace {

void WriteAll(const QString& path, const QString& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString JournalMessage(const QString& code, const QString& text) {
    return QStringLiteral("Verbindung zum Journal kann nicht hergestellt werden. (#") + code +
           QStringLiteral(")\n") + text;
}

} // namespace

class TestJobJournal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void sendJobArguments_data();
    void sendJobArguments();
    void pollJobArguments();
    void journalDoesNotRecord_data();
    void journalDoesNotRecord();
    void secondOfThreeRefused();

private:
    QList<dbustest::CallLogLine> Calls() const { return dbustest::ReadCallLog(m_journal); }

    QTemporaryDir m_dir;
    QString m_journal;
    QString m_answers;
    DBusAutomationClient m_client;
    const FixedClock m_clock{kChristmasEve};
};

void TestJobJournal::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY(m_client.Initialise());
    m_journal = m_dir.filePath(QStringLiteral("journal.log"));
    m_answers = m_dir.filePath(QStringLiteral("answers"));
    // Before the first activation: the server keeps the environment it starts with.
    QVERIFY(dbustest::SetActivationEnvironment(
        {{QStringLiteral("KALMO_STANDIN_JOURNAL"), m_journal},
         {QStringLiteral("KALMO_STANDIN_JOURNAL_ANSWER_FILE"), m_answers}}));
}

void TestJobJournal::init() {
    WriteAll(m_journal, QString());
    WriteAll(m_answers, QString());
}

void TestJobJournal::sendJobArguments_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("printResolution");
    QTest::addColumn<QString>("sendTime");
    QTest::addColumn<QString>("remark");
    QTest::addColumn<QString>("resolution"); // as the journal got it
    QTest::newRow("SFF fine, remark with a tab and umlauts")
        << int(kFormatSff) << 196 << "IMMED" << QStringLiteral("Grüße\tan alle") << "196";
    QTest::newRow("SFF normal, sent later")
        << int(kFormatSff) << 98 << "24-12-24-18:30" << QString() << "98";
    QTest::newRow("colour") << int(kFormatColour) << 196 << "IMMED"
                            << "Farbe"
                            << "196";
    QTest::newRow("PCX always fine") << int(kFormatPcx) << 98 << "IMMED" << QString() << "196";
    QTest::newRow("text always normal") << int(kFormatText) << 196 << "IMMED" << QString() << "98";
}

void TestJobJournal::sendJobArguments() {
    QFETCH(int, format);
    QFETCH(int, printResolution);
    QFETCH(QString, sendTime);
    QFETCH(QString, remark);
    QFETCH(QString, resolution);
    DataFolder data;
    PrintFileInfo printFile;
    printFile.m_nFormat = format;
    printFile.m_nResolution = printResolution;
    RecordingMessenger messenger;
    JobSubmitter submitter(data.Path(), printFile, messenger, m_client, m_clock);
    FaxJob job;
    job.document = data.In(fax::kFolderFaxsend, QStringLiteral("_FX00000.SFF"));
    job.number = QStringLiteral("0049 30 123456");
    job.sendTime = sendTime;
    job.remark = remark;
    QCOMPARE(submitter.SubmitJob(job), 0);

    const QList<dbustest::CallLogLine> calls = Calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].dispid, 1);
    QCOMPARE(calls[0].kind, u"method");
    QCOMPARE(calls[0].signature, u"sssnssn");
    QCOMPARE(calls[0].values, QStringList({job.document, "24120000.FX3", "0049 30 123456",
                                           resolution, sendTime, remark, "1"}));
    // The job the journal knows is the one in the spool.
    QCOMPARE(data.Files(fax::kFolderComjob), QStringList{"24120000.FX3"});
    const QByteArray bytes = data.Read(fax::kFolderComjob, QStringLiteral("24120000.FX3"));
    QCOMPARE(JobValue(bytes, "FAXRES  :"), resolution.toLatin1());
    QCOMPARE(JobValue(bytes, "SENDTIME:"), sendTime.toLatin1());
    QVERIFY(messenger.messages.isEmpty());
    QVERIFY(data.Strays().isEmpty());
}

void TestJobJournal::pollJobArguments() {
    DataFolder data;
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JobSubmitter submitter(data.Path(), printFile, messenger, m_client, m_clock);
    FaxJob job;
    job.poll = true;
    job.number = QStringLiteral("0815");
    job.sendTime = QStringLiteral("24-12-24-18:30");
    job.remark = QStringLiteral("Wetterkarte");
    QCOMPARE(submitter.SubmitJob(job), 0);

    const QList<dbustest::CallLogLine> calls = Calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].dispid, 2);
    QCOMPARE(calls[0].kind, u"method");
    QCOMPARE(calls[0].signature, u"ssss");
    QCOMPARE(calls[0].values,
             QStringList({"24120000.FX3", "0815", "24-12-24-18:30", "Wetterkarte"}));
    QCOMPARE(data.Files(fax::kFolderComjob), QStringList{"24120000.FX3"});
    QCOMPARE(JobValue(data.Read(fax::kFolderComjob, QStringLiteral("24120000.FX3")), "FUNCTION:"),
             QByteArray("POLL"));
    QVERIFY(messenger.messages.isEmpty());
}

void TestJobJournal::journalDoesNotRecord_data() {
    QTest::addColumn<bool>("poll");
    QTest::addColumn<QString>("answer");  // a line of the answer file
    QTest::addColumn<QString>("message"); // empty: none
    QTest::newRow("answers 1") << false << "1" << QString();
    QTest::newRow("answers -1") << false << "-1" << QString();
    QTest::newRow("poll, answers 1") << true << "1" << QString();
    QTest::newRow("error during the call")
        << false << "error 80020009: Journal gesperrt"
        << JournalMessage(QStringLiteral("80020009"), QStringLiteral("Journal gesperrt"));
    QTest::newRow("poll, error with a colon in its text")
        << true << "error 80004005: Journal: voll"
        << JournalMessage(QStringLiteral("80004005"), QStringLiteral("Journal: voll"));
    const QString longText = QStringLiteral("Journal ") + QString(300, u'x');
    QTest::newRow("error text cut to 255 characters")
        << false << QStringLiteral("error 8007000E: ") + longText
        << JournalMessage(QStringLiteral("8007000E"), longText.left(255));
}

// The journal was reached but did not record the job: the job file is taken back.
void TestJobJournal::journalDoesNotRecord() {
    QFETCH(bool, poll);
    QFETCH(QString, answer);
    QFETCH(QString, message);
    WriteAll(m_answers, answer + u'\n');
    DataFolder data;
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JobSubmitter submitter(data.Path(), printFile, messenger, m_client, m_clock);
    FaxJob job;
    job.poll = poll;
    job.document = data.In(fax::kFolderFaxsend, QStringLiteral("_FX00000.SFF"));
    job.number = QStringLiteral("0815");
    QCOMPARE(submitter.SubmitJob(job), 1);

    const QList<dbustest::CallLogLine> calls = Calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].signature, poll ? u"ssss" : u"sssnssn");
    QVERIFY(data.Files(fax::kFolderComjob).isEmpty());
    QVERIFY(data.Strays().isEmpty());
    if (message.isEmpty()) {
        QVERIFY(messenger.messages.isEmpty());
    } else {
        QCOMPARE(messenger.Ids(), QList<int>{IDS_ERR_JOURNAL_CONNECT});
        QCOMPARE(messenger.messages.first().text, message);
        QCOMPARE(messenger.messages.first().kind, MessageKind::Warning);
    }
}

void TestJobJournal::secondOfThreeRefused() {
    WriteAll(m_answers, QStringLiteral("0\n1\n0\n"));
    DataFolder data;
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    JobSubmitter submitter(data.Path(), printFile, messenger, m_client, m_clock);
    FaxJob job;
    job.document = data.In(fax::kFolderFaxsend, QStringLiteral("_FX00000.SFF"));
    // The submit loop of an OK stops at the first recipient that is not submitted.
    int submitted = 0;
    for (const QString& number : {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}) {
        job.number = number;
        if (submitter.SubmitJob(job) != 0)
            break;
        ++submitted;
    }
    QCOMPARE(submitted, 1);

    const QList<dbustest::CallLogLine> calls = Calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].values.value(1), u"24120000.FX3");
    QCOMPARE(calls[0].values.value(2), u"1");
    QCOMPARE(calls[1].values.value(1), u"24120001.FX3");
    QCOMPARE(calls[1].values.value(2), u"2");
    QCOMPARE(data.Files(fax::kFolderComjob), QStringList{"24120000.FX3"});
    QCOMPARE(JobValue(data.Read(fax::kFolderComjob, QStringLiteral("24120000.FX3")), "ADDRESS :"),
             QByteArray("1"));
    QVERIFY(data.Strays().isEmpty());
    QVERIFY(messenger.messages.isEmpty());
}

QTEST_GUILESS_MAIN(TestJobJournal)
#include "tst_jobjournal.moc"
