// The job hand-off on a bus where the fax application's journal is not installed.

#include "JobSpool.h"
#include "RecordingMessenger.h"
#include "fax/FaxJob.h"
#include "fax/PrintFileInfo.h"
#include "job/JobSubmitter.h"
#include "platform/DBusAutomation.h"
#include "support/StringIds.h"

#include <QElapsedTimer>
#include <QTest>

using namespace jobspool;

class TestJobJournalMissing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void journalNotProvided_data();
    void journalNotProvided();

private:
    DBusAutomationClient m_client;
};

void TestJobJournalMissing::initTestCase() {
    QVERIFY(m_client.Initialise());
    // The bus itself starts services: only the journal is missing.
    DispatchDriver echo;
    QVERIFY(echo.CreateDispatch(m_client, QStringLiteral("KalmoTest.Echo")));
}

void TestJobJournalMissing::journalNotProvided_data() {
    QTest::addColumn<bool>("poll");
    QTest::newRow("send") << false;
    QTest::newRow("poll") << true;
}

void TestJobJournalMissing::journalNotProvided() {
    QFETCH(bool, poll);
    DataFolder data;
    PrintFileInfo printFile;
    RecordingMessenger messenger;
    const FixedClock clock(kChristmasEve);
    JobSubmitter submitter(data.Path(), printFile, messenger, m_client, clock);
    FaxJob job;
    job.poll = poll;
    job.document = data.In(fax::kFolderFaxsend, QStringLiteral("_FX00000.SFF"));
    job.number = QStringLiteral("0815");
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(submitter.SubmitJob(job), 1);
    // Told at once by the bus, without waiting for an activation.
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(messenger.Ids(), QList<int>{IDS_ERR_JOURNAL_CONNECT});
    QCOMPARE(messenger.messages.first().text,
             u"Verbindung zum Journal kann nicht hergestellt werden. (#800401F3)\n"
             u"Invalid class string");
    QCOMPARE(messenger.messages.first().kind, MessageKind::Warning);
    QVERIFY(data.Files(fax::kFolderComjob).isEmpty());
    QVERIFY(data.Strays().isEmpty());
}

QTEST_GUILESS_MAIN(TestJobJournalMissing)
#include "tst_jobjournal_missing.moc"
