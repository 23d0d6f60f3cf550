#include "RecordingMessenger.h"
#include "platform/NonInteractiveMessenger.h"
#include "support/FileUtil.h"
#include "support/NumberFormat.h"
#include "support/PathUtil.h"
#include "support/StringIds.h"
#include "support/StringTable.h"

#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

class TestSupport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void joinPath_data();
    void joinPath();
    void directoryPart_data();
    void directoryPart();
    void fileNamePart_data();
    void fileNamePart();
    void stripExtension_data();
    void stripExtension();
    void stripTrailingSeparator_data();
    void stripTrailingSeparator();
    void groupThousands_data();
    void groupThousands();
    void formatByteCount();
    void zeroPad_data();
    void zeroPad();
    void crLf_data();
    void crLf();
    void errorText();
    void fileStatus();
    void placeholders_data();
    void placeholders();
    void stringTableTexts_data();
    void stringTableTexts();
    void messageHelpers();
    void nonInteractiveLine();
};

void TestSupport::joinPath_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("joined");
    QTest::newRow("plain") << "/data/Fax"
                           << "Tmp"
                           << "/data/Fax/Tmp";
    QTest::newRow("trailing separator") << "/data/Fax/"
                                        << "Tmp"
                                        << "/data/Fax/Tmp";
    QTest::newRow("empty folder") << ""
                                  << "Tmp"
                                  << "Tmp";
    QTest::newRow("backslash is not ours") << "C:\\Fax\\"
                                           << "Tmp"
                                           << "C:\\Fax\\/Tmp";
    QTest::newRow("name with separator kept") << "/a"
                                              << "/b"
                                              << "/a//b";
    QTest::newRow("empty name") << "/a"
                                << ""
                                << "/a/";
}

void TestSupport::joinPath() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, joined);
    QCOMPARE(JoinPath(folder, name), joined);
}

void TestSupport::directoryPart_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::newRow("backslashes") << "C:\\a\\b.bmp"
                                 << "C:\\a";
    QTest::newRow("slashes") << "/a/b.bmp"
                             << "/a";
    QTest::newRow("mixed, last wins") << "C:\\a/b\\c.bmp"
                                      << "C:\\a/b";
    QTest::newRow("drive colon") << "C:b.bmp"
                                 << "C:";
    QTest::newRow("no folder") << "b.bmp"
                               << ".";
    QTest::newRow("only leading separator") << "\\b.bmp"
                                            << "";
    QTest::newRow("root file") << "/b.bmp"
                               << "";
}

void TestSupport::directoryPart() {
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QCOMPARE(GetDirectoryPart(path), folder);
}

void TestSupport::fileNamePart_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("mixed separators") << "C:\\a/b.bmp"
                                      << "b.bmp";
    QTest::newRow("drive colon") << "C:b.bmp"
                                 << "b.bmp";
    QTest::newRow("bare") << "b.bmp"
                          << "b.bmp";
    QTest::newRow("trailing separator") << "/a/"
                                        << "";
}

void TestSupport::fileNamePart() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(GetFileNamePart(path), name);
}

void TestSupport::stripExtension_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("stripped");
    QTest::newRow("dot in folder") << "C:\\a.dir\\file"
                                   << "C:\\a.dir\\file";
    QTest::newRow("dot in folder, slash") << "/a.dir/file"
                                          << "/a.dir/file";
    QTest::newRow("two extensions") << "C:\\a\\file.tar.gz"
                                    << "C:\\a\\file.tar";
    QTest::newRow("colon no separator") << "C:file.sff"
                                        << "C:file";
    QTest::newRow("no dot") << "/a/file"
                            << "/a/file";
    QTest::newRow("hidden file") << "/a/.profile"
                                 << "/a/";
}

void TestSupport::stripExtension() {
    QFETCH(QString, path);
    QFETCH(QString, stripped);
    QCOMPARE(StripExtension(path), stripped);
}

void TestSupport::stripTrailingSeparator_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("stripped");
    QTest::newRow("two separators, one removed") << "/a//"
                                                 << "/a/";
    QTest::newRow("one") << "/a/"
                         << "/a";
    QTest::newRow("none") << "/a"
                          << "/a";
    QTest::newRow("empty") << ""
                           << "";
}

void TestSupport::stripTrailingSeparator() {
    QFETCH(QString, path);
    QFETCH(QString, stripped);
    QCOMPARE(StripTrailingBackslash(path), stripped);
}

void TestSupport::groupThousands_data() {
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("grouped");
    QTest::newRow("seven") << "1234567"
                           << "1.234.567";
    QTest::newRow("three") << "123"
                           << "123";
    QTest::newRow("four") << "1000"
                          << "1.000";
    QTest::newRow("six") << "123456"
                         << "123.456";
    QTest::newRow("empty") << ""
                           << "";
}

void TestSupport::groupThousands() {
    QFETCH(QString, digits);
    QFETCH(QString, grouped);
    QCOMPARE(GroupThousands(digits), grouped);
}

void TestSupport::formatByteCount() {
    QCOMPARE(FormatByteCount(0), QStringLiteral("0"));
    QCOMPARE(FormatByteCount(4294967295u), QStringLiteral("4.294.967.295"));
    QCOMPARE(FormatByteCount(1234567), QStringLiteral("1.234.567"));
}

void TestSupport::zeroPad_data() {
    QTest::addColumn<qulonglong>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("base");
    QTest::addColumn<QString>("text");
    QTest::newRow("padded") << 7ull << 4 << 10 << "0007";
    QTest::newRow("exact") << 9999ull << 4 << 10 << "9999";
    QTest::newRow("longer not cut") << 123456ull << 5 << 10 << "123456";
    QTest::newRow("hex lower case") << 255ull << 4 << 16 << "00ff";
    QTest::newRow("zero") << 0ull << 2 << 10 << "00";
}

void TestSupport::zeroPad() {
    QFETCH(qulonglong, value);
    QFETCH(int, width);
    QFETCH(int, base);
    QFETCH(QString, text);
    QCOMPARE(ZeroPad(value, width, base), text);
}

void TestSupport::crLf_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stripped");
    QTest::newRow("cr lf") << "Datei fehlt\r\n"
                           << "Datei fehlt";
    QTest::newRow("lone lf kept") << "Datei fehlt\n"
                                  << "Datei fehlt\n";
    QTest::newRow("only one pair") << "x\r\n\r\n"
                                   << "x\r\n";
    QTest::newRow("none") << "x"
                          << "x";
}

void TestSupport::crLf() {
    QFETCH(QString, text);
    QFETCH(QString, stripped);
    QCOMPARE(StripTrailingCrLf(text), stripped);
}

void TestSupport::errorText() {
    QVERIFY(!GetErrorText(ENOENT).isEmpty());
    QCOMPARE(GetErrorText(0), QString());
    errno = EACCES;
    QCOMPARE(GetLastErrorText(), GetErrorText(EACCES));
}

void TestSupport::fileStatus() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("f.bin"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(1234, 'x'));
    f.close();
    QCOMPARE(GetFileSize(file), 1234u);
    QCOMPARE(GetFileSize(dir.filePath(QStringLiteral("missing"))), 0u);
    QVERIFY(IsDirectory(dir.path()));
    QVERIFY(IsDirectory(dir.path() + u'/'));
    QVERIFY(!IsDirectory(file));
    QVERIFY(!IsDirectory(dir.filePath(QStringLiteral("missing"))));
}

void TestSupport::placeholders_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("text");
    QTest::newRow("three") << "%1-Format, %2 Bytes, %3" << QStringList{"SFF", "0", "Normal"}
                           << "SFF-Format, 0 Bytes, Normal";
    QTest::newRow("repeated and reordered") << "%2 %1 %2" << QStringList{"a", "b"} << "b a b";
    QTest::newRow("missing argument") << "x%3y" << QStringList{"a"} << "x?y";
    QTest::newRow("letters name the tenth on")
        << "%A%B" << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"} << "ten?";
    QTest::newRow("percent kept") << "100% %0 %" << QStringList{"a"} << "100% %0 %";
    QTest::newRow("argument not rescanned") << "%1" << QStringList{"%2"} << "%2";
}

void TestSupport::placeholders() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, args);
    QFETCH(QString, text);
    QCOMPARE(FormatPlaceholders(pattern, args), text);
}

void TestSupport::stringTableTexts_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("400") << 400 << QStringLiteral("Inf&o über KALMO!send");
    QTest::newRow("403") << 403 << QStringLiteral("Empfänger");
    QTest::newRow("405") << 405 << QStringLiteral(" (gesch.)");
    QTest::newRow("406") << 406 << QStringLiteral(" (privat)");
    QTest::newRow("407") << 407
                         << QStringLiteral("Fax-Dateien (*.sff)|*.sff|Alle Dateien (*.*)|*.*||");
    QTest::newRow("410") << 410 << QStringLiteral("%1 Empfänger");
    QTest::newRow("412") << 412 << QStringLiteral("Fax-Abruf");
    QTest::newRow("415") << 415 << QStringLiteral("Fax-Dateien (*.sff)|*.sff||");
    QTest::newRow("421") << 421 << QStringLiteral("%1-Format, %2 Bytes, %3");
    QTest::newRow("423") << 423 << QStringLiteral("Versand am %1 um %2");
    QTest::newRow("609")
        << 609
        << QStringLiteral("Verbindung zum Adressbuch kann nicht hergestellt werden. (#%1)\n%2");
    QTest::newRow("611") << 611
                         << QStringLiteral(
                                "KALMO!fax ist nicht aktiv. Soll das Programm gestartet werden ?");
    QTest::newRow("621") << 621
                         << QStringLiteral(
                                "Das Outlook 98-Adressbuch kann nicht geöffnet werden\n\n%1");
    QTest::newRow("622") << 622 << QStringLiteral("Keine Outlook 98-Adressbücher vorhanden");
    QTest::newRow("624") << 624 << QStringLiteral("Fehler beim Erzeugen von '%1'\n%2");
    QTest::newRow("628") << 628
                         << QStringLiteral(
                                "Der Faxauftrag für %1 konnte nicht geschrieben werden.\n%2");
    QTest::newRow("unknown") << 617 << QString();
}

void TestSupport::stringTableTexts() {
    QFETCH(int, id);
    QFETCH(QString, text);
    QCOMPARE(LoadString(id), text);
}

void TestSupport::messageHelpers() {
    RecordingMessenger m;
    m.answers = {MessageAnswer::Yes};
    QCOMPARE(MessageWarning(m, IDS_ERR_NO_FILENAME), MessageAnswer::Ok);
    MessageWarning1(m, IDS_ERR_COPY_PRINTFILE, QStringLiteral("kein Platz"));
    MessageWarning2(m, IDS_ERR_JOURNAL_CONNECT, FormatStatusCode(static_cast<long>(0x800401F3L)),
                    QStringLiteral("Klasse fehlt"));
    QCOMPARE(MessageQuestion(m, IDS_ASK_START_FAX), MessageAnswer::Yes);
    QCOMPARE(MessageQuestion(m, IDS_ASK_START_FAX), MessageAnswer::No);
    MessageInfo(m, IDS_ERR_START_ADDRESSBOOK);
    QCOMPARE(m.Ids(), (QList<int>{610, 613, 612, 611, 611, 615}));
    QCOMPARE(m.messages[1].text, QStringLiteral("Kann Druckdatei nicht kopieren\nkein Platz"));
    QCOMPARE(m.messages[2].text,
             QStringLiteral("Verbindung zum Journal kann nicht hergestellt werden. (#800401F3)\n"
                            "Klasse fehlt"));
    QCOMPARE(m.messages[0].kind, MessageKind::Warning);
    QCOMPARE(m.messages[3].kind, MessageKind::Question);
    QCOMPARE(m.messages[5].kind, MessageKind::Information);
    QCOMPARE(FormatStatusCode(0x1F), QStringLiteral("1F"));
}

void TestSupport::nonInteractiveLine() {
    QCOMPARE(NonInteractiveMessenger::FormatLine(
                 613, QStringLiteral("Kann Druckdatei nicht kopieren\nx")),
             QStringLiteral("kalmosend: message 613: Kann Druckdatei nicht kopieren\\nx"));
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("err.txt")));
    std::FILE* f = std::fopen(path.constData(), "w+");
    QVERIFY(f);
    NonInteractiveMessenger m(f);
    QCOMPARE(m.Show(611, QStringLiteral("Frage"), MessageKind::Question), MessageAnswer::No);
    QCOMPARE(m.Show(610, QStringLiteral("Warnung"), MessageKind::Warning), MessageAnswer::Ok);
    std::fclose(f);
    QFile in(QString::fromLocal8Bit(path));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(),
             QByteArray("kalmosend: message 611: Frage\nkalmosend: message 610: Warnung\n"));
}

QTEST_APPLESS_MAIN(TestSupport)
#include "tst_support.moc"
