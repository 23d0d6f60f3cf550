// The fax application's main window on a real data folder: the jobs waiting in Comjob, the
// journal's rows newest first, and both followed when the files change.

#include "faxapp/journal/JournalStore.h"
#include "faxapp/ui/MainWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("A*APPLI/COM*V001\r\n");
}

QString Text(const faxapp::MainWindow& window, const char* name) {
    const auto* label = window.findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<no label %1>").arg(name);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void queueCountFollowsComjob_data();
    void queueCountFollowsComjob();
    void journalNewestFirst();
    void damagedJournalInStatusLine();
};

void TestMainWindow::queueCountFollowsComjob_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after"); // once one more job file has come
    QTest::newRow("empty") << QStringList{} << "0 Aufträge warten"
                           << "1 Auftrag wartet";
    QTest::newRow("job files only count")
        << QStringList{"09120001.FX3", "09120002.FX3", "Tmp00001.tmp", "notes.txt"}
        << "2 Aufträge warten"
        << "3 Aufträge warten";
}

void TestMainWindow::queueCountFollowsComjob() {
    QFETCH(QStringList, files);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QTemporaryDir data;
    QVERIFY(QDir(data.path()).mkpath("Comjob"));
    for (const QString& name : files)
        Touch(data.filePath("Comjob/" + name));
    QVERIFY(QDir(data.path()).mkpath("Comjob/09120009.FX3")); // a folder is no job
    faxapp::MainWindow window(data.path());
    QCOMPARE(Text(window, "queueState"), before);
    Touch(data.filePath("Comjob/09120003.FX3"));
    // The folder is watched: well before the 30 s refresh.
    QTRY_COMPARE_WITH_TIMEOUT(Text(window, "queueState"), after, 5000);
}

void TestMainWindow::journalNewestFirst() {
    QTemporaryDir data;
    QString error;
    auto store = faxapp::JournalStore::Open(data.path(), error);
    QVERIFY2(store, qPrintable(error));
    faxapp::JournalEntry send;
    send.document = data.filePath("Faxsend/_FX00000.SFF");
    send.jobFile = "09120001.FX3";
    send.number = "0711 123456";
    send.resolution = 98;
    send.sendTime = "IMMED";
    send.remark = "Angebot Müller";
    QVERIFY2(store->Add(send, error), qPrintable(error));

    faxapp::MainWindow window(data.path());
    auto* table = window.findChild<QTableWidget*>("journal");
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 1);

    faxapp::JournalEntry poll;
    poll.poll = true;
    poll.jobFile = "09120002.FX3";
    poll.number = "089 555";
    poll.sendTime = "10.12.2026 08:00";
    QVERIFY2(store->Add(poll, error), qPrintable(error));
    QVERIFY2(store->SetOutcome("09120001.FX3", "sent", "2 Seiten", error), qPrintable(error));
    // The database file is watched.
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(table->item(1, 6)->text(), QString("sent: 2 Seiten"), 5000);
    const auto row = [&](int r) {
        QStringList cells;
        for (int c = 1; c < table->columnCount(); ++c)
            cells << table->item(r, c)->text();
        return cells;
    };
    QCOMPARE(row(0),
             (QStringList{"Abruf", "09120002.FX3", "089 555", "10.12.2026 08:00", "", "queued"}));
    QCOMPARE(row(1), (QStringList{"Senden", "09120001.FX3", "0711 123456", "IMMED",
                                  "Angebot Müller", "sent: 2 Seiten"}));
}

// The window still comes up, with the journal's own words on what is wrong.
void TestMainWindow::damagedJournalInStatusLine() {
    QTemporaryDir data;
    QFile junk(faxapp::JournalStore::DatabasePath(data.path()));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(8192, 'j'));
    junk.close();
    QString error;
    QVERIFY(!faxapp::JournalStore::Open(data.path(), error));
    faxapp::MainWindow window(data.path());
    QCOMPARE(Text(window, "journalState"), "Journal: " + error);
    QCOMPARE(window.findChild<QTableWidget*>("journal")->rowCount(), 0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
