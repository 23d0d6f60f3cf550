// The job file reader against what kalmosend's writer stores, and against files that are not
// job files: each is refused with its reason, none half read.

#include "fax/JobFile.h"
#include "fax/JobFileWriter.h"

#include <QTest>

class TestJobFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsWhatTheWriterStores();
    void writesTheOutcomeIntoTheSameLines();
    void refusesWhatIsNotAJobFile_data();
    void refusesWhatIsNotAJobFile();
};

void TestJobFile::readsWhatTheWriterStores() {
    const QByteArray send =
        SendJobBytes(QStringLiteral("/d/Faxsend/_FX00001.SFF"), QStringLiteral("0711 Müller"),
                     QStringLiteral("SFF"), 196, QStringLiteral("IMMED"));
    const auto job = JobFile::Parse(send);
    QVERIFY(job);
    QVERIFY(!job->IsPoll());
    QCOMPARE(job->Value(JobFile::Field::FileName), QStringLiteral("/d/Faxsend/_FX00001.SFF"));
    QCOMPARE(job->Value(JobFile::Field::Address), QStringLiteral("0711 Müller"));
    QCOMPARE(job->Value(JobFile::Field::FaxRes), QStringLiteral("196"));
    QCOMPARE(job->Value(JobFile::Field::Mode), QString());
    QCOMPARE(job->Bytes(), send);

    const QByteArray poll =
        PollJobBytes(QStringLiteral("+49 30 1"), QStringLiteral("26-12-24-18:30"));
    const auto polled = JobFile::Parse(poll);
    QVERIFY(polled && polled->IsPoll());
    QCOMPARE(polled->Value(JobFile::Field::SendTime), QStringLiteral("26-12-24-18:30"));
    QCOMPARE(polled->Bytes(), poll);
}

void TestJobFile::writesTheOutcomeIntoTheSameLines() {
    auto job = JobFile::Parse(SendJobBytes(QStringLiteral("/d.SFF"), QStringLiteral("1"),
                                           QStringLiteral("SFF"), 98, QStringLiteral("IMMED")));
    QVERIFY(job);
    QVERIFY(job->SetValue(JobFile::Field::Pages, QStringLiteral("3")));
    QVERIFY(!job->SetValue(JobFile::Field::Error, QStringLiteral("busy\r\nSTATUS  :OK")));
    const QByteArray bytes = job->Bytes();
    QCOMPARE(bytes.count("\r\n"), JobFile::kLineCount);
    QVERIFY(bytes.contains("\r\nPAGES   :3\r\nRECEIVID:\r\n"));
    QVERIFY(bytes.contains("\r\nERROR   :\r\n"));
}

void TestJobFile::refusesWhatIsNotAJobFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray good = SendJobBytes(QStringLiteral("/d.SFF"), QStringLiteral("1"),
                                         QStringLiteral("SFF"), 196, QStringLiteral("IMMED"));
    QByteArray lf = good;
    lf.replace("\r\n", "\n");
    QByteArray swapped = good;
    swapped.replace("SPEED   :\r\nPAGES   :", "PAGES   :\r\nSPEED   :");
    QByteArray longLine = good;
    longLine.replace("ADDRESS :1", "ADDRESS :" + QByteArray(5000, '1'));
    QByteArray control = good;
    control.replace("ADDRESS :1", "ADDRESS :1\t2");
    QByteArray function = good;
    function.replace("SENDACK", "DELETE");

    QTest::newRow("empty") << QByteArray() << QStringLiteral("line 1 is missing");
    QTest::newRow("other first line")
        << QByteArray("A*APPLI/COM*V002\r\n" + good.mid(18)) << QStringLiteral("not a job file");
    QTest::newRow("line feeds only") << lf << QStringLiteral("line 1 does not end in CR LF");
    QTest::newRow("last line missing")
        << good.left(good.lastIndexOf("MODE")) << QStringLiteral("line 18 is missing");
    QTest::newRow("last line not ended") << good.chopped(2) << QStringLiteral("line 18 is missing");
    QTest::newRow("keys out of order") << swapped << QStringLiteral("line 8 is not the SPEED line");
    QTest::newRow("line too long") << longLine << QStringLiteral("line 4 is too long");
    QTest::newRow("no line end for a long way")
        << QByteArray("A*APPLI/COM*V001\r\n" + QByteArray(10000, 'x'))
        << QStringLiteral("line 2 is too long");
    QTest::newRow("control character")
        << control << QStringLiteral("line 4 holds a control character");
    QTest::newRow("data after the end") << good + "X" << QStringLiteral("data after the last line");
    QTest::newRow("unknown function") << function << QStringLiteral("unknown function");
}

void TestJobFile::refusesWhatIsNotAJobFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QString why;
    QVERIFY(!JobFile::Parse(bytes, &why));
    QVERIFY2(why.startsWith(reason), qPrintable(why));
}

QTEST_APPLESS_MAIN(TestJobFile)
#include "tst_jobfile.moc"
