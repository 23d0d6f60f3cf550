#include "app/SendCommandLineInfo.h"

#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void options_data();
    void options();
    void resolution_data();
    void resolution();
    void ownFileStaysAfterFixedFile();
};

namespace {

// A compact picture of the parsed record for comparisons.
QString Describe(const SendCommandLineInfo& i) {
    return QStringLiteral("l=%1 t=%2 p=%3 n=%4 s=%5 r=%6 x=%7 a=%8 tmp=%9 c=%10")
        .arg(i.m_strLanguage, i.m_strTitle, i.m_printFile.path, i.m_strNumber, i.m_strSendTime)
        .arg(i.m_nResolution)
        .arg(i.m_bFileButton)
        .arg(i.m_bPoll)
        .arg(int(i.m_printFile.own))
        .arg(int(i.m_printFile.colour));
}

} // namespace

void TestCommandLine::options_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("parsed");
    const QString none = "l= t= p= n= s= r=98 x=0 a=0 tmp=0 c=0";
    QTest::newRow("nothing") << QStringList{} << none;
    QTest::newRow("poll") << QStringList{"/a"} << "l= t= p= n= s= r=98 x=0 a=1 tmp=0 c=0";
    QTest::newRow("colour") << QStringList{"/c/tmp/Page"}
                            << "l= t= p=/tmp/Page n= s= r=98 x=0 a=0 tmp=1 c=1";
    QTest::newRow("temporary") << QStringList{"/d/tmp/x.sff"}
                               << "l= t= p=/tmp/x.sff n= s= r=98 x=0 a=0 tmp=1 c=0";
    QTest::newRow("fixed file") << QStringList{"/f/home/u/x.sff"}
                                << "l= t= p=/home/u/x.sff n= s= r=98 x=0 a=0 tmp=0 c=0";
    QTest::newRow("language") << QStringList{"/lEN"} << "l=EN t= p= n= s= r=98 x=0 a=0 tmp=0 c=0";
    QTest::newRow("number") << QStringList{"/n0711 123"}
                            << "l= t= p= n=0711 123 s= r=98 x=0 a=0 tmp=0 c=0";
    QTest::newRow("send time") << QStringList{"/s24.12.2001 18:30"}
                               << "l= t= p= n= s=24.12.2001 18:30 r=98 x=0 a=0 tmp=0 c=0";
    QTest::newRow("title with blanks")
        << QStringList{"/tMein Bericht"} << "l= t=Mein Bericht p= n= s= r=98 x=0 a=0 tmp=0 c=0";
    QTest::newRow("file button") << QStringList{"/x"} << "l= t= p= n= s= r=98 x=1 a=0 tmp=0 c=0";
    QTest::newRow("upper-case letters") << QStringList{"/A", "/TReport", "/X", "/R196"}
                                        << "l= t=Report p= n= s= r=196 x=1 a=1 tmp=0 c=0";
    QTest::newRow("dash as well as slash") << QStringList{"-a", "-tReport", "-n123"}
                                           << "l= t=Report p= n=123 s= r=98 x=0 a=1 tmp=0 c=0";
    QTest::newRow("last of two wins") << QStringList{"/tEins", "/tZwei", "/n1", "/n2"}
                                      << "l= t=Zwei p= n=2 s= r=98 x=0 a=0 tmp=0 c=0";
    // Only the file of the last /c or /d is the program's own; a colour print stays one.
    QTest::newRow("fixed after temporary is not ours")
        << QStringList{"/d/a", "/f/b"} << "l= t= p=/b n= s= r=98 x=0 a=0 tmp=0 c=0";
    QTest::newRow("fixed naming the temporary file again")
        << QStringList{"/c/a", "/f/a"} << "l= t= p=/a n= s= r=98 x=0 a=0 tmp=1 c=1";
    QTest::newRow("temporary after colour")
        << QStringList{"/c/a", "/f/b", "/d/c"} << "l= t= p=/c n= s= r=98 x=0 a=0 tmp=1 c=1";
    QTest::newRow("unknown letters and plain arguments ignored")
        << QStringList{"/q", "/zzz", "plain", "-", "/"} << none;
    QTest::newRow("empty value") << QStringList{"/t"} << none;
}

void TestCommandLine::options() {
    QFETCH(QStringList, args);
    QFETCH(QString, parsed);
    SendCommandLineInfo info;
    info.ParseCommandLine(args);
    QCOMPARE(Describe(info), parsed);
}

// The printer's print file (/d) stays the program's own when /f names another file to send.
void TestCommandLine::ownFileStaysAfterFixedFile() {
    SendCommandLineInfo info;
    info.ParseCommandLine({"/d/tmp/print.sff", "/f/home/u/brief.sff"});
    QCOMPARE(info.m_printFile.path, QString("/home/u/brief.sff"));
    QVERIFY(!info.m_printFile.own);
    QCOMPARE(info.m_printFile.ownFile, QString("/tmp/print.sff"));
}

void TestCommandLine::resolution_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("resolution");
    QTest::newRow("98") << QStringList{"/r98"} << 98;
    QTest::newRow("196") << QStringList{"/r196"} << 196;
    QTest::newRow("200 ignored") << QStringList{"/r200"} << 98;
    QTest::newRow("earlier valid stays") << QStringList{"/r196", "/r200"} << 196;
    QTest::newRow("leading digits") << QStringList{"/r196dpi"} << 196;
    QTest::newRow("no digits") << QStringList{"/rfine"} << 98;
    QTest::newRow("last valid wins") << QStringList{"/r196", "/r98"} << 98;
    QTest::newRow("huge") << QStringList{"/r99999999999999999999"} << 98;
}

void TestCommandLine::resolution() {
    QFETCH(QStringList, args);
    QFETCH(int, resolution);
    SendCommandLineInfo info;
    info.ParseCommandLine(args);
    QCOMPARE(info.m_nResolution, resolution);
}

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
