// The fax printer's checks of what a job brings (user, title, options, document) and its
// handling of the user's print spool, without privileges: the spool functions work as the
// user running the test. The whole printer, as root, is tst_cups.

#include "PrintChecks.h"
#include "SffWalk.h"
#include "UserSpool.h"
#include "fax/SffWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kalmoprint;

namespace {

std::string Bytes(const QByteArray& data) {
    return std::string(data.constData(), data.size());
}

QByteArray OnePageDocument() {
    SffWriter writer;
    writer.BeginPage(196);
    writer.AddBlankRows(3);
    return writer.Finish();
}

struct Run {
    int exit = -1;
    QByteArray out;
    QByteArray err;
};

Run RunProgram(const QString& program, const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run run;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

} // namespace

class TestPrintChecks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void userNames_data();
    void userNames();
    void titles_data();
    void titles();
    void options_data();
    void options();
    void settings_data();
    void settings();
    void sffStream_data();
    void sffStream();
    void jobNamesSortByArrival();
    void authenticatedUser_data();
    void authenticatedUser();
    void maxDocumentSize_data();
    void maxDocumentSize();
    void backendArguments_data();
    void backendArguments();
    void runtimeFolderRefused_data();
    void runtimeFolderRefused();
    void spoolFolderLinksRefused_data();
    void spoolFolderLinksRefused();
    void jobPublishedWhole();
    void jobNeverReplacesOne();
    void unpublishedJobLeavesNothing();
    void claimIsExclusive();
    void hostileTitleFiles();
};

void TestPrintChecks::initTestCase() {
    QVERIFY2(QFileInfo(qEnvironmentVariable("KALMO_BACKEND")).isExecutable(),
             "KALMO_BACKEND must name the built backend (ctest sets it)");
}

void TestPrintChecks::userNames_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << QByteArray("anna") << true;
    QTest::newRow("dots, digits, dash") << QByteArray("a.b_c-1") << true;
    QTest::newRow("machine account") << QByteArray("host$") << true;
    QTest::newRow("32 bytes") << QByteArray(32, 'x') << true;
    QTest::newRow("33 bytes") << QByteArray(33, 'x') << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("slash") << QByteArray("a/b") << false;
    QTest::newRow("dot dot") << QByteArray("..") << false;
    QTest::newRow("climbs") << QByteArray("../../etc") << false;
    QTest::newRow("dot dot inside") << QByteArray("a..b") << false;
    QTest::newRow("hidden") << QByteArray(".anna") << false;
    QTest::newRow("option") << QByteArray("-rf") << false;
    QTest::newRow("blank") << QByteArray("a b") << false;
    QTest::newRow("line break") << QByteArray("anna\nroot") << false;
    QTest::newRow("dollar alone") << QByteArray("$") << false;
    QTest::newRow("dollar inside") << QByteArray("a$b") << false;
    QTest::newRow("umlaut") << QByteArray("m\xc3\xbcller") << false;
}

void TestPrintChecks::userNames() {
    QFETCH(QByteArray, name);
    QFETCH(bool, valid);
    QCOMPARE(IsValidUserName(Bytes(name)), valid);
}

void TestPrintChecks::titles_data() {
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("clean");
    QTest::newRow("umlauts stay") << QByteArray("Brief an M\xc3\xbcller")
                                  << QByteArray("Brief an M\xc3\xbcller");
    QTest::newRow("tab and line breaks") << QByteArray("a\tb\r\nc") << QByteArray("a b  c");
    QTest::newRow("terminal escape") << QByteArray("\x1b]0;x\x07y") << QByteArray("]0;x y");
    QTest::newRow("DEL and C1 (NEL)") << QByteArray("a\x7f"
                                                    "b\xc2\x85"
                                                    "c")
                                      << QByteArray("a b c");
    QTest::newRow("line separator") << QByteArray("a\xe2\x80\xa8"
                                                  "b")
                                    << QByteArray("a b");
    QTest::newRow("invalid byte") << QByteArray("a\xff"
                                                "b")
                                  << QByteArray("a?b");
    QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf"
                                                  "b")
                                    << QByteArray("a??b");
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << QByteArray("???");
    QTest::newRow("cut sequence at the end") << QByteArray("ab\xc3") << QByteArray("ab?");
    QTest::newRow("NUL inside") << QByteArray("a\0b", 3) << QByteArray("a b");
    QTest::newRow("blanks around") << QByteArray("\n  x  \n") << QByteArray("x");
    QTest::newRow("100 KB") << QByteArray(qsizetype{100} * 1024, 'T')
                            << QByteArray(kMaxTitleBytes, 'T');
    // 1 + 100 two-byte characters: the 101st would pass the limit in its middle.
    QTest::newRow("cut at a character")
        << "a" + QByteArray("\xc3\xbc").repeated(150) << "a" + QByteArray("\xc3\xbc").repeated(99);
}

void TestPrintChecks::titles() {
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, clean);
    const std::string got = CleanTitle(Bytes(title));
    QCOMPARE(QByteArray::fromStdString(got), clean);
    QVERIFY(got.size() <= kMaxTitleBytes);
    QCOMPARE(CleanTitle(got), got); // a cleaned title passes unchanged (the dispatcher's check)
}

void TestPrintChecks::options_data() {
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("value"); // "<none>": not given
    QTest::newRow("one") << QByteArray("Resolution=204x98dpi") << QByteArray("Resolution")
                         << QByteArray("204x98dpi");
    QTest::newRow("among others") << QByteArray("a=1 Resolution=204x98dpi b=2")
                                  << QByteArray("resolution") << QByteArray("204x98dpi");
    QTest::newRow("quoted with blanks") << QByteArray("job-name='x Resolution=1' media=A4")
                                        << QByteArray("Resolution") << QByteArray("<none>");
    QTest::newRow("quoted value") << QByteArray("t=\"a b\" c=d") << QByteArray("t")
                                  << QByteArray("a b");
    QTest::newRow("escaped blank") << QByteArray("t=a\\ b") << QByteArray("t") << QByteArray("a b");
    QTest::newRow("bare name") << QByteArray("collate") << QByteArray("collate")
                               << QByteArray("true");
    QTest::newRow("no prefix") << QByteArray("nocollate") << QByteArray("collate")
                               << QByteArray("false");
    QTest::newRow("last wins") << QByteArray("media=A4 media=Letter") << QByteArray("media")
                               << QByteArray("Letter");
    QTest::newRow("prefix of another name")
        << QByteArray("Resolutions=x") << QByteArray("Resolution") << QByteArray("<none>");
    QTest::newRow("empty") << QByteArray() << QByteArray("media") << QByteArray("<none>");
    QTest::newRow("unterminated quote")
        << QByteArray("t='abc") << QByteArray("t") << QByteArray("abc");
}

void TestPrintChecks::options() {
    QFETCH(QByteArray, options);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, value);
    const auto found = FindOption(Bytes(options), Bytes(name));
    QCOMPARE(found ? QByteArray::fromStdString(*found) : QByteArray("<none>"), value);
}

void TestPrintChecks::settings_data() {
    QTest::addColumn<QByteArray>("ppd");
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<bool>("normal");
    QTest::addColumn<bool>("letter");
    QTest::addColumn<QByteArray>("ranges");
    const QByteArray fine = "*DefaultPageSize: A4\n*DefaultResolution: 204x196dpi\n";
    const QByteArray normalLetter = "*DefaultPageSize: Letter\r\n*DefaultResolution: 204x98dpi\r\n";
    const QByteArray all;
    QTest::newRow("no PPD, no options") << QByteArray() << QByteArray() << false << false << all;
    QTest::newRow("PPD defaults") << normalLetter << QByteArray() << true << true << all;
    QTest::newRow("options over PPD")
        << normalLetter << QByteArray("Resolution=204x196dpi PageSize=A4") << false << false << all;
    QTest::newRow("IPP names") << fine
                               << QByteArray("printer-resolution=204x98dpi "
                                             "media=na_letter_8.5x11in")
                               << true << true << all;
    QTest::newRow("unknown values keep defaults")
        << normalLetter << QByteArray("Resolution=600dpi media=A3") << true << true << all;
    QTest::newRow("keyword not at a line start")
        << QByteArray("*% *DefaultResolution: 204x98dpi") << QByteArray() << false << false << all;
    QTest::newRow("page ranges") << fine << QByteArray("page-ranges=1-2,4,6-") << false << false
                                 << QByteArray("1-2,4,6-");
    // They reach Ghostscript's command line: nothing but digits, commas and dashes.
    for (const char* bad : {"1;rm", "1-2-3", "-3", ",1", "1,,2", "1 2", "a", "$(id)", "1-\n2"})
        QTest::addRow("page ranges refused: %s", bad)
            << fine << "page-ranges='" + QByteArray(bad) + "'" << false << false << all;
    QTest::newRow("page ranges too long")
        << fine << "page-ranges=" + QByteArray("1,").repeated(32) + "1" << false << false << all;
}

void TestPrintChecks::settings() {
    QFETCH(QByteArray, ppd);
    QFETCH(QByteArray, options);
    QFETCH(bool, normal);
    QFETCH(bool, letter);
    QFETCH(QByteArray, ranges);
    const FaxSettings settings = SettingsOf(Bytes(ppd), Bytes(options));
    QCOMPARE(settings.resolution == FaxResolution::normal, normal);
    QCOMPARE(settings.paper == FaxPaper::letter, letter);
    QCOMPARE(QByteArray::fromStdString(settings.pageRanges), ranges);
}

void TestPrintChecks::sffStream_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("fault");   // empty: accepted
    QTest::addColumn<QByteArray>("written"); // what the backend writes of it
    const QByteArray good = OnePageDocument();
    // Records that hold FE 00 without ending anything: a short row, an escape row, user
    // information; and a second page.
    SffWriter tricky;
    tricky.BeginPage(98);
    tricky.AddCodedRow(QByteArray("\xfe\x00", 2));
    tricky.AddCodedRow(QByteArray("\xfe\x00", 2).repeated(150));
    tricky.AddRawRecord(QByteArray("\xff\x03\xfe\x00\xfe", 5));
    tricky.AddRawRecord(QByteArray("\xff\x00", 2));
    tricky.BeginPage(98);
    tricky.AddBlankRows(254 - 216);
    const QByteArray trickyDoc = tricky.Finish();
    QByteArray version2 = good;
    version2[4] = 2;
    QByteArray farPage = good;
    farPage[10] = char(0xF0);
    farPage[11] = char(0x7F);
    QByteArray insideHeader = good;
    insideHeader[10] = 12;
    QByteArray noPages = good.left(20) + QByteArray("\xfe\x00", 2);
    const QByteArray none;
    QTest::newRow("SFF") << good << none << good;
    QTest::newRow("FE 00 inside records") << trickyDoc << none << trickyDoc;
    // A job of several files: one document, the later headers and earlier ends left out.
    QTest::newRow("two documents joined")
        << good + trickyDoc << none << good.chopped(2) + trickyDoc.mid(20);
    QTest::newRow("three documents joined")
        << good + good + good << none
        << good.chopped(2) + good.mid(20, good.size() - 22) + good.mid(20);
    QTest::newRow("empty") << QByteArray() << QByteArray("not an SFF") << none;
    QTest::newRow("PDF") << QByteArray("%PDF-1.7\n%\xe2\xe3\xcf\xd3\n1 0 obj 42")
                         << QByteArray("not an SFF") << none;
    QTest::newRow("text") << QByteArray("Sfff") << QByteArray("not an SFF") << none;
    QTest::newRow("version 2") << version2 << QByteArray("version 2") << none;
    QTest::newRow("first page inside the header")
        << insideHeader << QByteArray("inside its header") << none;
    QTest::newRow("first page past the end") << farPage << QByteArray("cut short") << none;
    QTest::newRow("no pages") << noPages << QByteArray("no pages") << none;
    QTest::newRow("row before the first page")
        << good.left(20) + "\x02xy" + good.mid(20) << QByteArray("before its first page") << none;
    QTest::newRow("cut short") << good.chopped(1) << QByteArray("cut short") << none;
    QTest::newRow("cut inside a row") << trickyDoc.left(40) << QByteArray("cut short") << none;
    QTest::newRow("trailing byte") << good + "x" << QByteArray("cut short") << none;
    QTest::newRow("PDF after an SFF")
        << good + QByteArray("%PDF-1.7 and more of it") << QByteArray("not an SFF") << none;
}

void TestPrintChecks::sffStream() {
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, fault);
    QFETCH(QByteArray, written);
    const auto* data = reinterpret_cast<const unsigned char*>(document.constData());
    // At once, and a byte at a time as a pipe may deliver it.
    std::string wholeOut;
    SffStreamCheck whole;
    whole.Feed(data, static_cast<std::size_t>(document.size()), wholeOut);
    const auto wholeResult = whole.Finish(wholeOut);
    std::string bytewiseOut;
    SffStreamCheck bytewise;
    for (qsizetype i = 0; i < document.size(); ++i)
        bytewise.Feed(data + i, 1, bytewiseOut);
    const auto bytewiseResult = bytewise.Finish(bytewiseOut);
    for (const auto* result : {&wholeResult, &bytewiseResult}) {
        if (fault.isEmpty())
            QVERIFY2(!*result, (*result)->c_str());
        else
            QVERIFY2(*result && QByteArray::fromStdString(**result).contains(fault),
                     *result ? (*result)->c_str() : "accepted");
    }
    if (fault.isEmpty()) {
        QCOMPARE(QByteArray::fromStdString(wholeOut), written);
        QCOMPARE(QByteArray::fromStdString(bytewiseOut), written);
        const SffWalk walk = WalkSff(wholeOut);
        QVERIFY2(walk.complete, walk.fault.c_str());
        QCOMPARE(walk.resolution.size(), static_cast<std::size_t>(whole.Pages()));
    }
}

void TestPrintChecks::jobNamesSortByArrival() {
    const std::string early = MakeJobName({9, 999999999}, "77");
    const std::string late = MakeJobName({10, 0}, "5");
    QVERIFY(IsJobName(early));
    QVERIFY(IsJobName(late));
    QVERIFY(early < late);
    for (const char* bad : {"", ".", "..", "../0000000010.000000000-5", "0000000010.000000000-",
                            "0000000010.000000000-5/x", "0000000010.00000000x-5",
                            "0000000010.000000000-12345678901", ".0000000010.000000000-5"})
        QVERIFY2(!IsJobName(bad), bad);
}

void TestPrintChecks::authenticatedUser_data() {
    // What CUPS exports for the job of "anna" (uid 1000); "<unset>": not exported.
    QTest::addColumn<QByteArray>("authUid");
    QTest::addColumn<QByteArray>("authUsername");
    QTest::addColumn<QByteArray>("authInfoRequired");
    QTest::addColumn<QByteArray>("refusal"); // empty: taken
    const QByteArray unset("<unset>");
    const QByteArray setup("the queue does not authenticate its users: run "
                           "kalmosend-setup-printer add");
    QTest::newRow("peer credentials of the user")
        << QByteArray("1000") << QByteArray("anna") << QByteArray("none") << QByteArray();
    QTest::newRow("peer credentials of another")
        << QByteArray("1001") << QByteArray("anna") << QByteArray("none") << QByteArray("uid 1001");
    QTest::newRow("uid past 32 bits")
        << QByteArray("4294968296") << unset << QByteArray("none") << QByteArray("uid 4294968296");
    QTest::newRow("uid not a number")
        << QByteArray("1000x") << unset << QByteArray("none") << QByteArray("no valid uid");
    QTest::newRow("uid empty") << QByteArray("") << QByteArray("anna") << QByteArray("none")
                               << QByteArray("no valid uid");
    QTest::newRow("Basic over TCP")
        << unset << QByteArray("anna") << QByteArray("none") << QByteArray();
    QTest::newRow("Basic as another")
        << unset << QByteArray("bert") << QByteArray("none") << QByteArray("another user");
    // With credentials required for the device, the client names AUTH_USERNAME itself.
    QTest::newRow("name from auth-info")
        << unset << QByteArray("anna") << QByteArray("username,password") << setup;
    QTest::newRow("name without AUTH_INFO_REQUIRED")
        << unset << QByteArray("anna") << unset << setup;
    QTest::newRow("default policy: nothing") << unset << unset << QByteArray("none") << setup;
}

void TestPrintChecks::authenticatedUser() {
    QFETCH(QByteArray, authUid);
    QFETCH(QByteArray, authUsername);
    QFETCH(QByteArray, authInfoRequired);
    QFETCH(QByteArray, refusal);
    const auto value = [](const QByteArray& text) {
        return text == "<unset>" ? nullptr : text.constData();
    };
    const auto result = CheckAuthenticatedUser(value(authUid), value(authUsername),
                                               value(authInfoRequired), "anna", 1000);
    if (refusal.isEmpty())
        QVERIFY2(!result, result->c_str());
    else
        QVERIFY2(result && QByteArray::fromStdString(*result).contains(refusal),
                 result ? result->c_str() : "taken");
}

void TestPrintChecks::maxDocumentSize_data() {
    QTest::addColumn<QByteArray>("setting"); // "<unset>": not set
    QTest::addColumn<qint64>("bytes");       // -1: refused
    constexpr qint64 mib = qint64{1024} * 1024;
    QTest::newRow("not set") << QByteArray("<unset>") << 256 * mib;
    QTest::newRow("empty") << QByteArray("") << 256 * mib;
    QTest::newRow("1") << QByteArray("1") << mib;
    QTest::newRow("the largest") << QByteArray("1048576") << 1048576 * mib;
    QTest::newRow("one more") << QByteArray("1048577") << qint64{-1};
    QTest::newRow("0: no bound is no setting") << QByteArray("0") << qint64{-1};
    QTest::newRow("leading zero") << QByteArray("0512") << qint64{-1};
    QTest::newRow("negative") << QByteArray("-1") << qint64{-1};
    QTest::newRow("unit") << QByteArray("512M") << qint64{-1};
    QTest::newRow("huge") << QByteArray("99999999999999999999") << qint64{-1};
}

void TestPrintChecks::maxDocumentSize() {
    QFETCH(QByteArray, setting);
    QFETCH(qint64, bytes);
    const auto result = MaxDocumentBytes(setting == "<unset>" ? nullptr : setting.constData());
    QCOMPARE(result ? static_cast<qint64>(*result) : qint64{-1}, bytes);
}

void TestPrintChecks::backendArguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("discovery") << QStringList() << 0 << QByteArray("direct kalmo:/ \"KALMO!fax\"");
    QTest::newRow("five arguments") << QStringList{"1", "u", "t", "1"} << 1 << QByteArray("Usage:");
    QTest::newRow("eight arguments")
        << QStringList{"1", "u", "t", "1", "", "/f", "x"} << 1 << QByteArray("Usage:");
    QTest::newRow("job id") << QStringList{"1;x", "anna", "t", "1", ""} << 1
                            << QByteArray("ERROR: KALMO!fax: the job id");
    QTest::newRow("user climbs") << QStringList{"1", "../../etc", "t", "1", ""} << 1
                                 << QByteArray("ERROR: KALMO!fax: the job's user name is not");
    QTest::newRow("user with slash") << QStringList{"1", "a/b", "t", "1", ""} << 1
                                     << QByteArray("ERROR: KALMO!fax: the job's user name is not");
    QTest::newRow("unknown user")
        << QStringList{"1", "kalmo-no-such-user", "t", "1", ""} << 1
        << QByteArray("ERROR: KALMO!fax: the user \"kalmo-no-such-user\" is unknown");
    QTest::newRow("root") << QStringList{"1", "root", "t", "1", ""} << 1
                          << QByteArray("ERROR: KALMO!fax: jobs of root are refused");
}

void TestPrintChecks::backendArguments() {
    QFETCH(QStringList, args);
    QFETCH(int, exit);
    QFETCH(QByteArray, says);
    const Run run = RunProgram(qEnvironmentVariable("KALMO_BACKEND"), args);
    QCOMPARE(run.exit, exit);
    QVERIFY2((run.out + run.err).contains(says), (run.out + run.err).constData());
}

void TestPrintChecks::runtimeFolderRefused_data() {
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("code");
    QTest::newRow("missing (not logged in)") << "missing" << ENOENT;
    QTest::newRow("a link to the user's own folder") << "link" << ELOOP;
    QTest::newRow("writable by others") << "open" << EPERM;
    QTest::newRow("belongs to another") << "other" << EPERM;
}

void TestPrintChecks::runtimeFolderRefused() {
    QFETCH(QString, shape);
    QFETCH(int, code);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const uid_t uid = geteuid();
    const QString folder = dir.filePath(QString::number(uid));
    uid_t expected = uid;
    if (shape == "link") {
        QVERIFY(QDir(dir.path()).mkdir("real"));
        QVERIFY(QFile::link(dir.filePath("real"), folder));
    } else if (shape != "missing") {
        QVERIFY(QDir(dir.path()).mkdir(QString::number(uid)));
        QVERIFY(chmod(QFile::encodeName(folder).constData(), shape == "open" ? 0777 : 0700) == 0);
    }
    if (shape == "other") // the folder is ours; the job's user is someone else
        expected = uid + 1;
    SpoolError error;
    QDir(dir.path()).rename(QString::number(uid), QString::number(expected));
    const Fd fd = OpenRuntimeFolder(dir.path().toStdString(), expected, error);
    QVERIFY(!fd.IsOpen());
    if (code == ELOOP)
        QVERIFY2(error.code == ELOOP || error.code == ENOTDIR, error.what.c_str());
    else
        QCOMPARE(error.code, code);
}

void TestPrintChecks::spoolFolderLinksRefused_data() {
    QTest::addColumn<QString>("link"); // the folder replaced by a link to elsewhere
    QTest::newRow("kalmo") << "kalmo";
    QTest::newRow("print-spool") << "kalmo/print-spool";
    QTest::newRow("print-incoming") << "kalmo/print-incoming";
}

void TestPrintChecks::spoolFolderLinksRefused() {
    QFETCH(QString, link);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString runtime = dir.filePath("run");
    QVERIFY(QDir().mkpath(runtime + "/kalmo"));
    QVERIFY(QDir().mkpath(dir.filePath("elsewhere")));
    if (link != "kalmo")
        QVERIFY(chmod(QFile::encodeName(runtime + "/kalmo").constData(), 0700) == 0);
    else
        QVERIFY(QDir(runtime).rmdir("kalmo"));
    QVERIFY(QFile::link(dir.filePath("elsewhere"), runtime + "/" + link));

    SpoolError error;
    const Fd base(open(QFile::encodeName(runtime).constData(), O_RDONLY | O_DIRECTORY));
    Fd kalmo = OpenOwnedFolder(base.Get(), kKalmoFolder, geteuid(), true, false, error);
    Fd spool, incoming;
    if (kalmo.IsOpen())
        spool = OpenOwnedFolder(kalmo.Get(), kSpoolFolder, geteuid(), true, true, error);
    if (spool.IsOpen())
        incoming = OpenOwnedFolder(kalmo.Get(), kIncomingFolder, geteuid(), true, true, error);
    QVERIFY(!incoming.IsOpen());
    QVERIFY2(error.code == ELOOP || error.code == ENOTDIR, error.what.c_str());
    QVERIFY(QDir(dir.filePath("elsewhere")).isEmpty()); // nothing was made through the link
}

namespace {

struct Spool {
    QTemporaryDir dir;
    Fd incoming;
    Fd spool;
    Fd work;

    Spool() {
        for (const char* name : {kIncomingFolder, kSpoolFolder, kWorkFolder})
            QDir(dir.path()).mkdir(name);
        incoming = Open(kIncomingFolder);
        spool = Open(kSpoolFolder);
        work = Open(kWorkFolder);
    }
    Fd Open(const char* name) const {
        return Fd(open(QFile::encodeName(dir.filePath(name)).constData(), O_RDONLY | O_DIRECTORY));
    }
    QStringList Entries(const char* name) const {
        return QDir(dir.filePath(name))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    }
};

bool WriteJob(IncomingJob& job, const QByteArray& document, const std::string& title,
              SpoolError& error) {
    return job.Create(error) &&
           write(job.DocumentFd(), document.constData(), document.size()) == document.size() &&
           job.WriteTitle(title, error);
}

} // namespace

void TestPrintChecks::jobPublishedWhole() {
    Spool spool;
    const std::string name = MakeJobName({1765253000, 5}, "42");
    SpoolError error;
    {
        IncomingJob job(spool.incoming.Get(), name);
        QVERIFY(WriteJob(job, OnePageDocument(), "Brief an M\xc3\xbcller", error));
        QVERIFY(spool.Entries(kSpoolFolder).isEmpty()); // nothing shows before it is whole
        QVERIFY2(job.Publish(spool.spool.Get(), error), error.what.c_str());
    }
    QCOMPARE(spool.Entries(kIncomingFolder), QStringList());
    QCOMPARE(ListJobs(spool.spool.Get()), std::vector<std::string>{name});
    const QString folder = spool.dir.filePath(kSpoolFolder) + "/" + QString::fromStdString(name);
    QFile document(folder + "/" + kDocumentFile);
    QVERIFY(document.open(QIODevice::ReadOnly));
    QCOMPARE(document.readAll(), OnePageDocument());
    struct stat info {};
    QVERIFY(stat(QFile::encodeName(document.fileName()).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 07777, 0600u);
    const Fd job(open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY));
    std::string title;
    QVERIFY(ReadTitle(job.Get(), title, error));
    QCOMPARE(title, std::string("Brief an M\xc3\xbcller"));
}

void TestPrintChecks::jobNeverReplacesOne() {
    Spool spool;
    const std::string name = MakeJobName({1765253000, 5}, "42");
    const QString taken = spool.dir.filePath(kSpoolFolder) + "/" + QString::fromStdString(name);
    QVERIFY(QDir().mkpath(taken));
    SpoolError error;
    {
        IncomingJob job(spool.incoming.Get(), name);
        QVERIFY(WriteJob(job, OnePageDocument(), "t", error));
        QVERIFY(!job.Publish(spool.spool.Get(), error));
    }
    QVERIFY(QDir(taken).isEmpty());
    QCOMPARE(spool.Entries(kIncomingFolder), QStringList()); // the failed job is cleared away

    // A folder of the job's name waiting in incoming (planted there) is not written into.
    const QString planted =
        spool.dir.filePath(kIncomingFolder) + "/" + QString::fromStdString(name);
    QVERIFY(QDir().mkpath(planted));
    QVERIFY(QFile::link(spool.dir.filePath("victim"), planted + "/" + kDocumentFile));
    IncomingJob again(spool.incoming.Get(), name);
    QVERIFY(!again.Create(error));
    QCOMPARE(error.code, EEXIST);
    QVERIFY(!QFile::exists(spool.dir.filePath("victim")));
}

void TestPrintChecks::unpublishedJobLeavesNothing() {
    Spool spool;
    SpoolError error;
    {
        IncomingJob job(spool.incoming.Get(), MakeJobName({1, 2}, "3"));
        QVERIFY(WriteJob(job, "half a docu", "t", error)); // e.g. cancelled while copying
    }
    QCOMPARE(spool.Entries(kIncomingFolder), QStringList());
    QCOMPARE(spool.Entries(kSpoolFolder), QStringList());
}

void TestPrintChecks::claimIsExclusive() {
    Spool spool;
    SpoolError error;
    for (const auto& [second, id] : {std::pair{20, "2"}, std::pair{10, "9"}}) {
        IncomingJob job(spool.incoming.Get(), MakeJobName({second, 0}, id));
        QVERIFY(WriteJob(job, OnePageDocument(), "t", error));
        QVERIFY(job.Publish(spool.spool.Get(), error));
    }
    for (const char* stray : {".hidden", "notes.txt", "0000000030.000000000-"})
        QVERIFY(QDir(spool.dir.filePath(kSpoolFolder)).mkdir(stray));
    const std::vector<std::string> jobs = ListJobs(spool.spool.Get());
    QCOMPARE(jobs,
             (std::vector<std::string>{MakeJobName({10, 0}, "9"), MakeJobName({20, 0}, "2")}));
    QVERIFY(MoveJob(spool.spool.Get(), spool.work.Get(), jobs[0], error));
    // A second dispatcher that listed the same job finds it gone.
    QVERIFY(!MoveJob(spool.spool.Get(), spool.work.Get(), jobs[0], error));
    QCOMPARE(error.code, ENOENT);
    QCOMPARE(ListJobs(spool.spool.Get()), std::vector<std::string>{jobs[1]});
}

void TestPrintChecks::hostileTitleFiles() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const Fd job(open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY));
    SpoolError error;
    std::string title;

    QFile secret(dir.filePath("secret"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();
    QVERIFY(QFile::link(secret.fileName(), dir.filePath(kTitleFile)));
    QVERIFY(!ReadTitle(job.Get(), title, error)); // a link is not followed
    QVERIFY(QFile::remove(dir.filePath(kTitleFile)));

    QVERIFY(mkfifo(QFile::encodeName(dir.filePath(kTitleFile)).constData(), 0600) == 0);
    QVERIFY(!ReadTitle(job.Get(), title, error)); // returns at once: not a file
    QCOMPARE(error.code, EINVAL);
    QVERIFY(QFile::remove(dir.filePath(kTitleFile)));

    QFile big(dir.filePath(kTitleFile));
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write("x\x1b" + QByteArray(qsizetype{100} * 1024, 'y'));
    big.close();
    QVERIFY(ReadTitle(job.Get(), title, error));
    QCOMPARE(title, "x " + std::string(kMaxTitleBytes - 2, 'y'));
}

QTEST_GUILESS_MAIN(TestPrintChecks)
#include "tst_printchecks.moc"
