// One OK's way with the print file, without a dialog: check, place, one job per number,
// commit or roll back, and what the outcome tells the dialog.
#include "DataFolder.h"
#include "JournalFake.h"
#include "RecordingMessenger.h"
#include "ServiceFakes.h"
#include "SffPages.h"
#include "fax/FaxContract.h"
#include "fax/SffWriter.h"
#include "job/SendOrder.h"
#include "support/FileUtil.h"
#include "support/StringIds.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <memory>
#include <sys/stat.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The value of one line of a job file ("FILENAME:" -> the document).
QByteArray JobValue(const QByteArray& job, const QByteArray& key) {
    for (const QByteArray& line : job.split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).chopped(1);
    return "<missing>";
}

struct Fixture {
    QTemporaryDir dir; // where the prints lie
    DataFolder data;
    RecordingMessenger messages;
    JournalFake journal;
    FixedClock clock{QDateTime(QDate(2026, 12, 24), QTime(10, 0))};
    FakeProcessLauncher processes;
    std::unique_ptr<SendOrder> order;

    QString Print(const QString& name, const QByteArray& bytes = Sff()) {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
    // A colour print of one page bitmap, and a page converter that makes its colour page
    // (bytes) and its black-and-white page. The stem to start with.
    QString ColourPrint(const QByteArray& bytes) {
        Print("Page1.bmp", "BM bitmap");
        processes.action = [this, bytes](const ProcessStart& start) {
            QFile colour(start.arguments.value(1));
            if (colour.open(QIODevice::WriteOnly))
                colour.write(bytes);
            Print("Page1.SFF", Sff("companion"));
        };
        return dir.filePath("Page");
    }
    QString Assembled(const char* extension) const { return data.Path() + "/Tmp00000" + extension; }
    SendOrder& Open(const PrintFile& file, const QString& dataDir = {}) {
        order = std::make_unique<SendOrder>(file, dataDir.isEmpty() ? data.Path() : dataDir,
                                            messages, journal, clock);
        order->Prepare(QStringLiteral("/opt/kalmo"), processes);
        return *order;
    }
    SendOutcome Send(const QStringList& numbers, bool poll = false) {
        SendRequest request;
        request.numbers = numbers;
        request.remark = QStringLiteral("Bericht");
        request.poll = poll;
        return order->Send(request);
    }
    QStringList Jobs() const { return data.Files(fax::kFolderComjob); }
    QByteArray Job(int i) const { return data.Read(fax::kFolderComjob, Jobs().value(i)); }
    QStringList JobAddresses() const {
        QStringList addresses;
        for (const QString& name : Jobs())
            addresses << QString::fromUtf8(
                JobValue(data.Read(fax::kFolderComjob, name), "ADDRESS :"));
        return addresses;
    }
    QStringList Faxsend() const { return data.Files(fax::kFolderFaxsend); }
};

} // namespace

class TestSendOrder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ownPrintIsPlaced_data();
    void ownPrintIsPlaced();
    void pickedFileIsTheUsers_data();
    void pickedFileIsTheUsers();
    void pollAndSendTime();
    void pollDeletesOwnPrint();
    void numberNotDialable_data();
    void numberNotDialable();
    void checkedBeforeThePrintIsUsed_data();
    void checkedBeforeThePrintIsUsed();
    void noJobPlacedKeepsThePrint_data();
    void noJobPlacedKeepsThePrint();
    void redirect();
    void fixedFileAfterOwnPrint_data();
    void fixedFileAfterOwnPrint();
    void pathOutsideCp850_data();
    void pathOutsideCp850();
};

void TestSendOrder::ownPrintIsPlaced_data() {
    QTest::addColumn<bool>("colour");
    QTest::addColumn<bool>("companion");
    QTest::newRow("SFF print") << false << false;
    QTest::newRow("colour print with its black-and-white companion") << true << true;
    QTest::newRow("colour print, companion missing: no job") << true << false;
}

// The program's own print is copied into Faxsend, the jobs name the copy, and the original
// goes once they do.
void TestSendOrder::ownPrintIsPlaced() {
    QFETCH(bool, colour);
    QFETCH(bool, companion);
    Fixture f;
    const QByteArray bytes = colour ? QByteArray("\xff\xd8\xff\xe0 colour") : Sff("the print");
    const QString print = colour ? f.ColourPrint(bytes) : f.Print("print.sff", bytes);
    f.Open({print, true, colour});
    if (colour && !companion)
        QVERIFY(QFile::remove(f.Assembled(".SFF")));
    const SendOutcome outcome = f.Send({"42", "43"});
    if (colour && !companion) {
        // The fax application sends the black-and-white companion: no job without it.
        QCOMPARE(outcome.placed, 0);
        QVERIFY(outcome.problem);
        QCOMPARE(outcome.problem->messageId, IDS_ERR_COPY_PRINTFILE);
        QVERIFY(f.Jobs().isEmpty());
        QVERIFY(f.Faxsend().isEmpty());
        QVERIFY(QFile::exists(f.dir.filePath("Page1.bmp")));
        return;
    }
    QCOMPARE(outcome.placed, 2);
    QCOMPARE(outcome.notPlaced, 0);
    QVERIFY(outcome.tried);
    QVERIFY(!outcome.problem);
    QVERIFY(f.messages.messages.isEmpty());
    QCOMPARE(f.JobAddresses(), (QStringList{"42", "43"}));

    const QString document = colour ? "_FX00000.CFF" : "_FX00000.SFF";
    const QStringList placedFiles =
        colour ? QStringList{"_FX00000.CFF", "_FX00000.SFF"} : QStringList{document};
    QCOMPARE(f.Faxsend(), placedFiles);
    QCOMPARE(f.data.Read(fax::kFolderFaxsend, document), bytes);
    QVERIFY(!QFile::exists(print));
    QVERIFY(!QFile::exists(f.dir.filePath("Page1.bmp")));
    QVERIFY(!QFile::exists(f.Assembled(".CFF")));
    QVERIFY(!QFile::exists(f.Assembled(".SFF")));
    const QString placed = f.data.In(fax::kFolderFaxsend, document);
    QCOMPARE(f.order->File().path, placed);
    QCOMPARE(JobValue(f.Job(1), "FILENAME:"), QFile::encodeName(placed));
    QCOMPARE(JobValue(f.Job(1), "CONVERT :"), colour ? QByteArray("CFF") : QByteArray("SFF"));
    QCOMPARE(JobValue(f.Job(1), "FAXRES  :"), QByteArray("196"));
    QCOMPARE(f.journal.calls.size(), 2);
    QVERIFY(f.data.Strays().isEmpty());
}

void TestSendOrder::pickedFileIsTheUsers_data() {
    QTest::addColumn<bool>("colour");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("pick"); // the user's own file, or one of the program's
    for (const bool colour : {false, true}) {
        const char* option = colour ? "/c" : "/d";
        QTest::addRow("%s, Cancel", option) << colour << false << "users";
        QTest::addRow("%s, OK", option) << colour << true << "users";
    }
    QTest::newRow("/c, OK on the colour print's companion") << true << true << "companion";
    QTest::newRow("/d, OK on the print file spelt with //") << false << true << "same";
}

// A picked file is referenced where it lies, never moved or deleted; the program's own print
// file still goes, but never when it is the very file the job names.
void TestSendOrder::pickedFileIsTheUsers() {
    QFETCH(bool, colour);
    QFETCH(bool, ok);
    QFETCH(QString, pick);
    Fixture f;
    const QString users = f.Print("Mein Brief.sff", Sff("mine"));
    QString own = f.Print("print.sff");
    QString companion = f.Print("Tmp00000.SFF", Sff("companion"));
    if (colour) {
        f.Open({f.ColourPrint("\xff\xd8\xff\xe0 colour"), true, true});
        own = f.Assembled(".CFF");
        companion = f.Assembled(".SFF");
    } else {
        f.Open({own, true, false});
    }
    SendOrder& order = *f.order;
    order.Pick(pick == "users"       ? users
               : pick == "companion" ? companion
                                     : QString(own).replace("/print.sff", "//print.sff"));
    QCOMPARE(order.File().own, pick == "same");
    if (ok) {
        QCOMPARE(f.Send({"0711 1"}).placed, 1);
        const QString document = QString::fromUtf8(JobValue(f.Job(0), "FILENAME:"));
        QVERIFY2(QFile::exists(document), qPrintable(document));
        if (pick == "users")
            QCOMPARE(document, users);
    } else {
        order.Cancel();
    }
    if (pick != "users")
        return;
    QCOMPARE(ReadAll(users), Sff("mine"));
    QVERIFY(!QFile::exists(own));
    QCOMPARE(QFile::exists(companion), !colour);
    QVERIFY(!QFile::exists(f.dir.filePath("Page1.bmp")));
    QVERIFY(f.Faxsend().isEmpty());
}

// A poll names no document and moves none; a later send time is written as the fax
// application reads it.
void TestSendOrder::pollAndSendTime() {
    Fixture f;
    f.Open({});
    SendRequest request;
    request.numbers = {"0711 777"};
    request.poll = true;
    request.sendAt = QDateTime(QDate(2026, 12, 26), QTime(18, 30, 59));
    const SendOutcome outcome = f.order->Send(request);
    QCOMPARE(outcome.placed, 1);
    QVERIFY(f.Job(0).contains("FUNCTION:POLL\r\nFILENAME:\r\nADDRESS :0711 777\r\n"));
    QCOMPARE(JobValue(f.Job(0), "SENDTIME:"), QByteArray("26-12-26-18:30"));
    QVERIFY(f.Faxsend().isEmpty());
    QCOMPARE(f.journal.calls.value(0).dispid, 2);
}

// A poll started with the program's own print file needs no document: the file goes once the
// poll job is placed, as on Cancel; a file of the user's stays.
void TestSendOrder::pollDeletesOwnPrint() {
    for (const bool own : {true, false}) {
        Fixture f;
        const QString print = f.Print("print.sff");
        f.Open({print, own, false});
        QCOMPARE(f.Send({"0711 777"}, true).placed, 1);
        QCOMPARE(JobValue(f.Job(0), "FILENAME:"), QByteArray());
        QCOMPARE(QFile::exists(print), !own);
        QVERIFY(f.Faxsend().isEmpty());
    }
}

void TestSendOrder::numberNotDialable_data() {
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("refused");
    QTest::newRow("letters") << QStringList{"0711 ABC"} << "0711 ABC";
    QTest::newRow("no digit") << QStringList{"Zentrale"} << "Zentrale";
    QTest::newRow("no-break space in the second number")
        << QStringList{"0711 1", "0711\u00a02"} << "0711\u00a02";
    QTest::newRow("en dash") << QStringList{"0711 \u2013 3"} << "0711 \u2013 3";
    QTest::newRow("dial characters and punctuation pass")
        << QStringList{"+49 (711) 123-45/6", "*31#0711,,5"} << QString();
}

// A number the fax server cannot dial is refused at OK with 628 and the reason, while the
// dialog is open, before anything is used up.
void TestSendOrder::numberNotDialable() {
    QFETCH(QStringList, numbers);
    QFETCH(QString, refused);
    Fixture f;
    const QString print = f.Print("print.sff");
    f.Open({print, true, false});
    const SendOutcome outcome = f.Send(numbers);
    if (refused.isEmpty()) {
        QCOMPARE(outcome.placed, numbers.size());
        return;
    }
    QVERIFY(outcome.problem);
    QCOMPARE(outcome.problem->messageId, 628);
    QCOMPARE(outcome.problem->what, refused);
    QCOMPARE(outcome.problem->reason, QString("Die Rufnummer kann nicht gewählt werden: erlaubt "
                                              "sind Ziffern, Leerzeichen und + - / ( ) * # ,"));
    QCOMPARE(outcome.placed, 0);
    QVERIFY(f.Jobs().isEmpty());
    QVERIFY(f.Faxsend().isEmpty());
    QVERIFY(QFile::exists(print));
}

void TestSendOrder::checkedBeforeThePrintIsUsed_data() {
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("dataFolder"); // below the temporary folder; empty: the usual one
    QTest::addColumn<QByteArray>("print");   // empty: a FIFO
    QTest::addColumn<int>("message");
    QTest::addColumn<QString>("what"); // "<print>": the print file's path
    QTest::newRow("number with a line break")
        << QStringList{"0711\n666"} << QString() << Sff() << 628 << "0711\n666";
    QTest::newRow("tab in the second of three numbers")
        << QStringList{"1", "2\t2", "3"} << QString() << Sff() << 628 << "2\t2";
    QTest::newRow("data folder with a line break")
        << QStringList{"0711"} << "Fa\nx" << Sff() << 628 << "0711";
    QTest::newRow("SFF cut short")
        << QStringList{"0711"} << QString() << Sff().left(24) << 630 << "<print>";
    SffWriter twoPages;
    for (int page = 0; page < 2; ++page) {
        twoPages.BeginPage(196);
        twoPages.AddRawRecord(QByteArray(40, '\x01').prepend('\x28'));
    }
    QTest::newRow("SFF cut in its second page")
        << QStringList{"0711"} << QString() << twoPages.Finish().chopped(10) << 630 << "<print>";
    QTest::newRow("FIFO") << QStringList{"0711"} << QString() << QByteArray() << 613 << "";
}

// What a job file cannot hold, and a print file that is no readable fax, are found before
// the print is moved or any job written: nobody gets half an OK.
void TestSendOrder::checkedBeforeThePrintIsUsed() {
    QFETCH(QStringList, numbers);
    QFETCH(QString, dataFolder);
    QFETCH(QByteArray, print);
    QFETCH(int, message);
    QFETCH(QString, what);
    Fixture f;
    QString dataDir = f.data.Path();
    if (!dataFolder.isEmpty()) {
        dataDir = f.dir.filePath(dataFolder);
        QVERIFY(QDir().mkpath(dataDir + "/Faxsend"));
        QVERIFY(QDir().mkpath(dataDir + "/Comjob"));
    }
    QString path = f.dir.filePath("print.sff");
    if (print.isEmpty())
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        path = f.Print("print.sff", print);
    f.Open({path, true, false}, dataDir);
    const SendOutcome outcome = f.Send(numbers);
    QVERIFY(outcome.problem);
    QCOMPARE(outcome.problem->messageId, message);
    QCOMPARE(outcome.problem->what, what == "<print>" ? path : what);
    if (message == 628)
        QCOMPARE(outcome.problem->reason, GetErrorText(EINVAL));
    if (message == 613)
        QCOMPARE(outcome.problem->reason, QString("Keine reguläre Datei"));
    QVERIFY(!outcome.tried);
    QCOMPARE(outcome.placed, 0);
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(QDir(dataDir + "/Faxsend").isEmpty());
    QVERIFY(QDir(dataDir + "/Comjob").isEmpty());
    QVERIFY(f.journal.calls.isEmpty());
    QVERIFY(f.messages.messages.isEmpty());
}

void TestSendOrder::noJobPlacedKeepsThePrint_data() {
    QTest::addColumn<bool>("journalProvided");
    QTest::addColumn<QList<qint16>>("answers");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QStringList>("jobs");
    QTest::addColumn<QString>("reason");   // of a 628 in the outcome; empty: none
    QTest::addColumn<QList<int>>("shown"); // by the journal itself
    QTest::newRow("journal refuses the only job")
        << true << QList<qint16>{1} << QStringList{"7"} << QStringList{}
        << "Das Journal hat den Auftrag abgelehnt." << QList<int>{};
    QTest::newRow("journal refuses the second: silent")
        << true << QList<qint16>{0, 1, 0} << QStringList{"7", "8", "9"} << QStringList{"7"}
        << QString() << QList<int>{};
    QTest::newRow("journal missing: it says why")
        << false << QList<qint16>{} << QStringList{"7"} << QStringList{} << QString()
        << QList<int>{IDS_ERR_JOURNAL_CONNECT};
}

// The print is used up only when a job names it: an OK without any job removes the spool
// copy again and keeps the print where it was.
void TestSendOrder::noJobPlacedKeepsThePrint() {
    QFETCH(bool, journalProvided);
    QFETCH(QList<qint16>, answers);
    QFETCH(QStringList, numbers);
    QFETCH(QStringList, jobs);
    QFETCH(QString, reason);
    QFETCH(QList<int>, shown);
    Fixture f;
    f.journal.provided = journalProvided;
    f.journal.answers = answers;
    const QString print = f.Print("print.sff");
    f.Open({print, true, false});
    const SendOutcome outcome = f.Send(numbers);
    QVERIFY(outcome.tried);
    QCOMPARE(outcome.placed, jobs.size());
    QCOMPARE(outcome.notPlaced, numbers.size() - jobs.size());
    QCOMPARE(f.JobAddresses(), jobs);
    QCOMPARE(outcome.problem.has_value(), !reason.isEmpty());
    if (outcome.problem) {
        QCOMPARE(outcome.problem->messageId, 628);
        QCOMPARE(outcome.problem->what, numbers.first());
        QCOMPARE(outcome.problem->reason, reason);
    }
    QCOMPARE(f.messages.Ids(), shown);
    QCOMPARE(QFile::exists(print), jobs.isEmpty());
    QCOMPARE(f.Faxsend(), jobs.isEmpty() ? QStringList{} : QStringList{"_FX00000.SFF"});
    QVERIFY(f.data.Strays().isEmpty());
}

// Redirected, the print is copied where the user chose and stays where it was.
void TestSendOrder::redirect() {
    Fixture f;
    const QString print = f.Print("print.sff", "redirected bytes");
    SendOrder& order = f.Open({print, true, false});
    const QString target = f.dir.filePath("out.sff");
    QVERIFY(order.Redirect(target).Ok());
    QCOMPARE(ReadAll(target), QByteArray("redirected bytes"));
    QVERIFY(QFile::exists(print));
    const Result<void> failed = order.Redirect(f.dir.filePath("no/such/folder/out.sff"));
    QVERIFY(!failed);
    QCOMPARE(failed.Error().messageId, IDS_ERR_COPY_PRINTFILE);
    QCOMPARE(failed.Error().reason, GetErrorText(ENOENT));
    QVERIFY(f.Jobs().isEmpty());
    QVERIFY(f.Faxsend().isEmpty());
}

void TestSendOrder::fixedFileAfterOwnPrint_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

// "/dA /fB": B is the user's and sent where it lies; A, the printer's print file, is still the
// program's own and goes once the job is placed or on Cancel.
void TestSendOrder::fixedFileAfterOwnPrint() {
    QFETCH(bool, ok);
    Fixture f;
    const QString printer = f.Print("print.sff");
    const QString users = f.Print("brief.sff", Sff("mine"));
    PrintFile file{users, false, false};
    file.ownFile = printer;
    SendOrder& order = f.Open(file);
    if (ok) {
        QCOMPARE(f.Send({"0711 1"}).placed, 1);
        QCOMPARE(JobValue(f.Job(0), "FILENAME:"), QFile::encodeName(users));
    } else {
        order.Cancel();
    }
    QVERIFY(!QFile::exists(printer));
    QCOMPARE(ReadAll(users), Sff("mine"));
    QVERIFY(f.Faxsend().isEmpty());
}

void TestSendOrder::pathOutsideCp850_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("journalRefuses");
    QTest::newRow("en dash") << QString::fromUtf8("Brief – Entwurf.sff") << false;
    QTest::newRow("typographic quotes") << QString::fromUtf8("„Angebot“.sff") << false;
    QTest::newRow("euro sign") << QString::fromUtf8("Rechnung 5 €.sff") << false;
    QTest::newRow("no job placed: the copy goes again") << QString::fromUtf8("łukasz.sff") << true;
}

// The fax application reads a job's document path back from CP850: a picked file whose path
// CP850 cannot hold is copied into Faxsend and the job names the copy; the user's file stays.
// Without any job the copy goes again.
void TestSendOrder::pathOutsideCp850() {
    QFETCH(QString, name);
    QFETCH(bool, journalRefuses);
    Fixture f;
    if (journalRefuses)
        f.journal.answers = {1};
    const QString own = f.Print("print.sff");
    const QString users = f.Print(name, Sff("mine"));
    SendOrder& order = f.Open({own, true, false});
    order.Pick(users);
    const SendOutcome outcome = f.Send({"0711 1"});
    QCOMPARE(ReadAll(users), Sff("mine"));
    if (journalRefuses) {
        QCOMPARE(outcome.placed, 0);
        QVERIFY(f.Faxsend().isEmpty());
        QVERIFY(QFile::exists(own));
        return;
    }
    QCOMPARE(outcome.placed, 1);
    QCOMPARE(f.Faxsend(), QStringList{"_FX00000.SFF"});
    const QString copy = f.data.In(fax::kFolderFaxsend, "_FX00000.SFF");
    QCOMPARE(ReadAll(copy), Sff("mine"));
    QCOMPARE(JobValue(f.Job(0), "FILENAME:"), QFile::encodeName(copy));
    QVERIFY(!QFile::exists(own));
}

QTEST_GUILESS_MAIN(TestSendOrder)
#include "tst_sendorder.moc"
