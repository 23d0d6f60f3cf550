// The vCard folder's writer and the CSV import: the bytes of new cards (line ends, folding,
// escapes), edits that keep a synced card's other lines byte for byte, refusals that leave
// the folder as it was, and CSV exports of other address books.
#include "faxapp/contacts/ContactImport.h"
#include "faxapp/contacts/ContactWriter.h"
#include "faxapp/contacts/CsvContacts.h"
#include "faxapp/contacts/VCardEdit.h"
#include "faxapp/contacts/VCardReader.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using faxapp::Contact;
using namespace Qt::StringLiterals;

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Every name in the folder, hidden ones (a temporary file left behind) included.
QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestContactWriter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fold_data();
    void fold();
    void newCard_data();
    void newCard();
    void edit_data();
    void edit();
    void unchangedKeepsBytes_data();
    void unchangedKeepsBytes();
    void refused_data();
    void refused();
    void failedWriteLeavesNoTemporary();
    void remove();
    void csv_data();
    void csv();
    void importCsvFile();
    void importKeepsEveryField();
    void importStopsAtLimit();
};

void TestContactWriter::fold_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("folded");
    const QByteArray a71(71, 'a');
    QTest::newRow("75 octets stay") << QByteArray(75, 'x') << QByteArray(75, 'x') + "\r\n";
    QTest::newRow("76 octets fold") << QByteArray(76, 'x') << QByteArray(75, 'x') + "\r\n x\r\n";
    QTest::newRow("umlaut across the limit") << "FN:" + a71 + "\xC3\xA4" + "b"
                                             << "FN:" + a71 + "\r\n \xC3\xA4" + "b\r\n";
    QTest::newRow("euro sign across the limit") << "FN:" + a71 + "\xE2\x82\xAC"
                                                << "FN:" + a71 + "\r\n \xE2\x82\xAC\r\n";
    QTest::newRow("continuations hold 74")
        << QByteArray(75 + 74 + 1, 'y')
        << QByteArray(75, 'y') + "\r\n " + QByteArray(74, 'y') + "\r\n y\r\n";
}

void TestContactWriter::fold() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, folded);
    QCOMPARE(faxapp::FoldVCardLine(line), folded);
}

void TestContactWriter::newCard_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QByteArray>("fn"); // unfolded
    QTest::addColumn<QByteArray>("n");  // unfolded
    QTest::addColumn<QByteArray>("expectTel");

    QTest::newRow("plain") << u"Erika Mustermann"_s << QStringList{u"+49 30 1234567"_s}
                           << QByteArray("FN:Erika Mustermann")
                           << QByteArray("N:Mustermann;Erika;;;")
                           << QByteArray("TEL;TYPE=fax:+49 30 1234567\r\n");
    const QString longName = u"Müller-Lüdenscheidt Großhandel für Äpfel und Öle, Übersee; "
                             u"Zweigstelle Süd\\Nord GmbH & Co. KG"_s;
    QTest::newRow("long umlaut name with escapes")
        << longName << QStringList{u"030/123 45-6"_s, u"(089) 99"_s}
        << QByteArray("FN:Müller-Lüdenscheidt Großhandel für Äpfel und Öle\\, Übersee\\; "
                      "Zweigstelle Süd\\\\Nord GmbH & Co. KG")
        << QByteArray("N:Müller-Lüdenscheidt Großhandel für Äpfel und Öle\\, Übersee\\; "
                      "Zweigstelle Süd\\\\Nord GmbH & Co. KG;;;;")
        << QByteArray("TEL;TYPE=fax:030/123 45-6\r\nTEL;TYPE=fax:(089) 99\r\n");
    QTest::newRow("family first") << u"Groß, Jürgen"_s << QStringList{}
                                  << QByteArray("FN:Groß\\, Jürgen")
                                  << QByteArray("N:Groß;Jürgen;;;") << QByteArray();
}

void TestContactWriter::newCard() {
    QFETCH(QString, name);
    QFETCH(QStringList, numbers);
    QFETCH(QByteArray, fn);
    QFETCH(QByteArray, n);
    QFETCH(QByteArray, expectTel);
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"sub/contacts"_s); // made on the first save
    Contact contact{{}, name, numbers, {}};
    QString error;
    QVERIFY2(faxapp::SaveContact(folder, contact, error), qPrintable(error));
    QVERIFY(contact.fileName.endsWith(u".vcf"_s));
    QCOMPARE(contact.uid, u"urn:uuid:"_s + contact.fileName.chopped(4));
    QCOMPARE(Entries(folder), QStringList{contact.fileName});
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0700u);

    const QByteArray bytes = ReadBytes(folder + u'/' + contact.fileName);
    QVERIFY(bytes.startsWith("BEGIN:VCARD\r\nVERSION:4.0\r\n"));
    QVERIFY(bytes.endsWith("\r\nEND:VCARD\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    for (const QByteArray& physical : bytes.split('\n')) {
        QVERIFY2(physical.size() <= 76, physical.constData()); // 75 octets and the CR
        QStringDecoder utf8(QStringConverter::Utf8);
        (void)utf8.decode(physical);
        QVERIFY2(!utf8.hasError(), physical.constData()); // no sequence split by a fold
    }
    const QByteArray unfolded = QByteArray(bytes).replace("\r\n ", "");
    const QList<QByteArray> lines = unfolded.split('\n');
    QVERIFY(lines.contains(fn + '\r'));
    QVERIFY(lines.contains(n + '\r'));
    QVERIFY(lines.contains("UID:" + contact.uid.toUtf8() + '\r'));
    QCOMPARE(bytes.count("TEL;"), numbers.size());
    QVERIFY(unfolded.contains(expectTel));
}

void TestContactWriter::edit_data() {
    QTest::addColumn<QByteArray>("kept"); // lines that must come back byte for byte, in order
    QTest::addColumn<QByteArray>("dropped");
    QTest::addColumn<QByteArray>("inserted");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("numbers");

    QTest::newRow("3.0 with groups, photo and old numbers")
        << QByteArray(
               "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Sync//Server 1.0//EN\r\n"
               "UID:abc-123\r\nN:Alt;Anna;;;\r\n"
               "EMAIL;TYPE=INTERNET,WORK:anna@example.org\r\n"
               "ADR;TYPE=WORK:;;Hauptstr. 1\\, Hof;Berlin;;10115;DE\r\n"
               "item1.TEL;TYPE=VOICE:+49 30 1\r\nitem1.X-ABLabel:Büro\r\n"
               "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAYEBQYFBAYGBQ\r\n"
               " YHBwYICgwUDQwLCwwZEhMPFBsdGh0aHB8eHyEiLC8jJCcyLCMeJjcsLzo+NDQ0Jik9Pz46PjA\r\n"
               "\t0NDT/2wBDAQcHBwoIChMKChM=\r\nX-CUSTOM;X-PARAM=\"a:b;c\":wert\r\nEND:VCARD\r\n")
        << QByteArray("FN:Anna Alt\r\nTEL;TYPE=FAX:+49 30 2\r\nitem2.TEL;type=fax:+49 30 3\r\n"
                      "TEL;TYPE=\"fax,work\":+49 30 4\r\n")
        << QByteArray("FN:Anna Neu\r\nTEL;TYPE=\"fax,work\":+49 30 4\r\nTEL;TYPE=FAX:+49 40 5\r\n")
        << u"Anna Neu"_s << QStringList{u"+49 30 4"_s, u"+49 40 5"_s};
    QTest::newRow("2.1 with bare FAX type and quoted-printable")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Alt;Bernd\r\n"
                      "NOTE;ENCODING=QUOTED-PRINTABLE:Zeile eins=0D=0A=\r\nFN: steht im Text\r\n"
                      "TEL;WORK;VOICE:0301\r\nEND:VCARD\r\n")
        << QByteArray("FN:Bernd Alt\r\nTEL;WORK;FAX:0302\r\n")
        << QByteArray("FN;CHARSET=UTF-8:Bernd Öl\r\nTEL;FAX:0303\r\n") << u"Bernd Öl"_s
        << QStringList{u"0303"_s};
    QTest::newRow("byte order mark")
        << QByteArray("\xEF\xBB\xBF"
                      "BEGIN:VCARD\r\nVERSION:4.0\r\nEND:VCARD\r\n")
        << QByteArray("FN:Dora\r\n") << QByteArray("FN:Dora D\r\nTEL;TYPE=fax:01\r\n")
        << u"Dora D"_s << QStringList{u"01"_s};
    QTest::newRow("4.0 with LF line ends keeps them")
        << QByteArray("BEGIN:VCARD\nVERSION:4.0\nUID:urn:uuid:1\nTEL;TYPE=cell:0171\nEND:VCARD\n")
        << QByteArray("FN;LANGUAGE=de:Carl\nTEL;VALUE=uri;TYPE=fax:tel:+49-30-9\n")
        << QByteArray("FN:Carl\\, C.\nTEL;TYPE=fax:+49 30 8\n") << u"Carl, C."_s
        << QStringList{u"+49 30 8"_s};
}

void TestContactWriter::edit() {
    QFETCH(QByteArray, kept);
    QFETCH(QByteArray, dropped);
    QFETCH(QByteArray, inserted);
    QFETCH(QString, name);
    QFETCH(QStringList, numbers);
    // The old FN and fax lines sit right after the VERSION line, the kept rest around them.
    const qsizetype afterVersion = kept.indexOf('\n', kept.indexOf("VERSION:")) + 1;
    const QByteArray original = kept.left(afterVersion) + dropped + kept.mid(afterVersion);
    const qsizetype end = kept.lastIndexOf("END:VCARD");
    const QByteArray expected = kept.left(end) + inserted + kept.mid(end);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"synced.vcf"_s);
    WriteBytes(path, original);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    Contact contact{u"any"_s, name, numbers, u"synced.vcf"_s};
    QString error;
    QVERIFY2(faxapp::SaveContact(dir.path(), contact, error), qPrintable(error));
    QCOMPARE(ReadBytes(path), expected);
    QCOMPARE(Entries(dir.path()), QStringList{u"synced.vcf"_s});
    struct stat written {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &written), 0);
    QCOMPARE(written.st_mode & 0777, 0640u); // the file keeps the mode the user gave it

    // Saving what the file already says leaves it alone: no new file for the sync program.
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
    QVERIFY2(faxapp::SaveContact(dir.path(), contact, error), qPrintable(error));
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(ReadBytes(path), expected);
}

void TestContactWriter::unchangedKeepsBytes_data() {
    QTest::addColumn<QByteArray>("card");
    QTest::addColumn<QString>("name"); // the new name; empty: the name as read

    const QByteArray uriTel = "TEL;VALUE=uri;TYPE=\"work,fax\";PREF=1:tel:+49-30-1234;ext=56\r\n";
    QTest::newRow("tel URI with extension, renamed")
        << "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Alt\r\n" + uriTel + "END:VCARD\r\n"
        << u"Neu"_s;
    QTest::newRow("tel URI with extension, saved as read")
        << "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Alt\r\n" + uriTel + "END:VCARD\r\n"
        << QString();
    QTest::newRow("name from N only")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;John;;;\r\nTEL;TYPE=FAX:1\r\n"
                      "END:VCARD\r\n")
        << QString();
    QTest::newRow("company from ORG only")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\r\nORG:Hafenamt;Betrieb\r\n"
                      "TEL;TYPE=FAX:0471 1\r\nEND:VCARD\r\n")
        << QString();
    QTest::newRow("2.1 quoted-printable number and name")
        << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nFN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:"
                      "J=C3=B6rg\r\nTEL;FAX;ENCODING=QUOTED-PRINTABLE:+49=2030 1\r\nEND:VCARD\r\n")
        << QString();
}

// Only what the user changed changes: numbers are compared as the reader reads them, so that
// a URI's extension, its types and its preference survive a rename.
void TestContactWriter::unchangedKeepsBytes() {
    QFETCH(QByteArray, card);
    QFETCH(QString, name);
    const faxapp::VCardParse parse = faxapp::ParseVCards(card);
    QCOMPARE(parse.contacts.size(), 1);
    Contact contact = parse.contacts.first();
    contact.fileName = u"c.vcf"_s;
    QByteArray expected = card;
    if (!name.isEmpty()) {
        // The new name goes before END, as in every edit; the rest stays.
        expected.replace("FN:" + contact.name.toUtf8() + "\r\n", "");
        expected.replace("END:VCARD", "FN:" + name.toUtf8() + "\r\nEND:VCARD");
        contact.name = name;
    }
    QTemporaryDir dir;
    WriteBytes(dir.filePath(u"c.vcf"_s), card);
    QString error;
    QVERIFY2(faxapp::SaveContact(dir.path(), contact, error), qPrintable(error));
    QCOMPARE(ReadBytes(dir.filePath(u"c.vcf"_s)), expected);
}

void TestContactWriter::refused_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("expectError");
    const QStringList ok{u"+49 30 1"_s};
    QTest::newRow("letter in number")
        << QString() << u"A"_s << QStringList{u"030 12a"_s} << u"Faxnummer"_s;
    QTest::newRow("line break in number")
        << QString() << u"A"_s << QStringList{u"030\n1"_s} << u"Faxnummer"_s;
    QTest::newRow("number without digit")
        << QString() << u"A"_s << QStringList{u"--"_s} << u"Faxnummer"_s;
    QTest::newRow("empty number") << QString() << u"A"_s << QStringList{u" "_s} << u"Faxnummer"_s;
    QTest::newRow("blank name") << QString() << u"  "_s << ok << u"keinen Namen"_s;
    QTest::newRow("tab in name") << QString() << u"A\tB"_s << ok << u"Steuerzeichen"_s;
    QTest::newRow("line separator in name")
        << QString() << u"A\u2028B"_s << ok << u"Steuerzeichen"_s;
    QTest::newRow("file in another folder") << u"../x.vcf"_s << u"A"_s << ok << u"Kontaktdatei"_s;
    QTest::newRow("hidden file") << u".x.vcf"_s << u"A"_s << ok << u"Kontaktdatei"_s;
    QTest::newRow("not a vcf") << u"x.txt"_s << u"A"_s << ok << u"Kontaktdatei"_s;
    QTest::newRow("symbolic link") << u"link.vcf"_s << u"A"_s << ok << u"symbolische"_s;
    QTest::newRow("FIFO") << u"fifo.vcf"_s << u"A"_s << ok << u"fifo.vcf"_s;
    QTest::newRow("thirty thousand lines") << u"long.vcf"_s << u"A"_s << ok << u"mehr als"_s;
    QTest::newRow("several cards") << u"group.vcf"_s << u"A"_s << ok << u"2 Kontakte"_s;
}

void TestContactWriter::refused() {
    QFETCH(QString, fileName);
    QFETCH(QString, name);
    QFETCH(QStringList, numbers);
    QFETCH(QString, expectError);
    QTemporaryDir dir;
    const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:X\r\nEND:VCARD\r\n";
    WriteBytes(dir.filePath(u"target.vcf"_s), card);
    WriteBytes(dir.filePath(u"group.vcf"_s), card + card);
    const QByteArray longCard =
        "BEGIN:VCARD\r\n" + QByteArray("X-A:1\r\n").repeated(30000) + "END:VCARD\r\n";
    WriteBytes(dir.filePath(u"long.vcf"_s), longCard);
    QVERIFY(QFile::link(dir.filePath(u"target.vcf"_s), dir.filePath(u"link.vcf"_s)));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(u"fifo.vcf"_s)).constData(), 0600), 0);
    const QStringList before = Entries(dir.path());

    Contact contact{{}, name, numbers, fileName};
    QString error;
    QVERIFY(!faxapp::SaveContact(dir.path(), contact, error));
    QVERIFY2(error.contains(expectError), qPrintable(error));
    QCOMPARE(Entries(dir.path()), before);
    QCOMPARE(ReadBytes(dir.filePath(u"target.vcf"_s)), card);
    QCOMPARE(ReadBytes(dir.filePath(u"group.vcf"_s)), card + card);
    QVERIFY(QFileInfo(dir.filePath(u"link.vcf"_s)).isSymLink());
    if (!fileName.isEmpty() && fileName != u"long.vcf"_s) { // one long card may go
        QVERIFY(!faxapp::RemoveContact(dir.path(), contact, error));
        QCOMPARE(Entries(dir.path()), before);
    }
}

void TestContactWriter::failedWriteLeavesNoTemporary() {
    // A file size limit makes the write of the temporary file fail half way.
    QTemporaryDir dir;
    const QString original = u"BEGIN:VCARD\r\nVERSION:4.0\r\nFN:A\r\nEND:VCARD\r\n"_s;
    WriteBytes(dir.filePath(u"a.vcf"_s), original.toUtf8());
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 40;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    Contact edited{{}, u"Ein viel längerer Name als vorher"_s, {u"0301"_s}, u"a.vcf"_s};
    Contact fresh{{}, u"Neu"_s, {u"0302"_s}, {}};
    QString editError;
    QString newError;
    const bool editSaved = faxapp::SaveContact(dir.path(), edited, editError);
    const bool newSaved = faxapp::SaveContact(dir.path(), fresh, newError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!editSaved);
    QVERIFY(!newSaved);
    QVERIFY(!editError.isEmpty() && !newError.isEmpty());
    QCOMPARE(Entries(dir.path()), QStringList{u"a.vcf"_s});
    QCOMPARE(ReadBytes(dir.filePath(u"a.vcf"_s)), original.toUtf8());
}

void TestContactWriter::remove() {
    QTemporaryDir dir;
    Contact contact{{}, u"Weg"_s, {u"01"_s}, {}};
    QString error;
    QVERIFY2(faxapp::SaveContact(dir.path(), contact, error), qPrintable(error));
    QVERIFY2(faxapp::RemoveContact(dir.path(), contact, error), qPrintable(error));
    QCOMPARE(Entries(dir.path()), QStringList{});
    QVERIFY(!faxapp::RemoveContact(dir.path(), contact, error));
}

void TestContactWriter::csv_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("contacts"); // "name|number|number"
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("problems");

    QTest::newRow("comma") << QByteArray("Name,Fax\r\nAnna,+49 30 1\r\nBernd,0302\r\n")
                           << QStringList{u"Anna|+49 30 1"_s, u"Bernd|0302"_s} << 0 << 0;
    QTest::newRow("semicolon, quotes, no last line end")
        << QByteArray("\"Display Name\";\"Fax number\";Notiz\n\"Groß; Söhne\";\"0301\";\"sagt "
                      "\"\"hallo\"\"\"\n\"Zwei\nZeilen\";0302;x")
        << QStringList{u"Groß; Söhne|0301"_s, u"Zwei Zeilen|0302"_s} << 0 << 0;
    QTest::newRow("BOM and German export headers")
        << QByteArray("\xEF\xBB\xBFVorname;Nachname;Fax (geschäftlich);Fax (privat)\r\n"
                      "Jürgen;Groß;0301;0302\r\n;;;\r\nÖzlem;Ünal;;\r\n")
        << QStringList{u"Jürgen Groß|0301|0302"_s} << 1 << 0;
    QTest::newRow("Windows-1252") << QByteArray("FN,Business Fax\r\nM\xFCller \x80 Co,0301\r\n")
                                  << QStringList{u"Müller € Co|0301"_s} << 0 << 0;
    QTest::newRow("rows without a fax number or name")
        << QByteArray("Name,Fax,Company\nA,,\n,0301,\n,0302,Firma X\n")
        << QStringList{u"Firma X|0302"_s} << 2 << 1;
    QTest::newRow("bad number") << QByteArray("Name,Fax\nA,0301 ext 5\nB,0302\n")
                                << QStringList{u"B|0302"_s} << 1 << 1;
    QTest::newRow("no fax column") << QByteArray("Name,Phone\nA,0301\n") << QStringList{} << 0 << 1;
    QTest::newRow("empty") << QByteArray() << QStringList{} << 0 << 1;
}

void TestContactWriter::csv() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, contacts);
    QFETCH(int, skipped);
    QFETCH(int, problems);
    const faxapp::CsvContacts result = faxapp::ReadCsvContacts(bytes);
    QStringList got;
    for (const faxapp::NewContact& added : result.contacts)
        got.append((QStringList{added.contact.name} + added.contact.faxNumbers).join(u'|'));
    QCOMPARE(got, contacts);
    QCOMPARE(result.skipped, skipped);
    QCOMPARE(result.problems.size(), problems);
}

void TestContactWriter::importCsvFile() {
    QTemporaryDir dir;
    const QString source = dir.filePath(u"export.csv"_s);
    WriteBytes(source, "Name;Fax\nAnna;0301\nBernd;\nCarl;0303\n");
    const QString folder = dir.filePath(u"contacts"_s);
    const faxapp::ContactImportResult result = faxapp::ImportContacts(folder, source);
    QCOMPARE(result.imported, 2);
    QCOMPARE(result.skipped, 1);
    QCOMPARE(result.problems, QStringList{});
    QStringList names;
    for (const QString& file : Entries(folder)) {
        const QByteArray bytes = ReadBytes(folder + u'/' + file);
        const qsizetype fn = bytes.indexOf("\r\nFN:") + 5;
        names.append(QString::fromUtf8(bytes.mid(fn, bytes.indexOf('\r', fn) - fn)));
    }
    names.sort();
    QCOMPARE(names, (QStringList{u"Anna"_s, u"Carl"_s}));
}

// What a card or a row had beyond name and fax numbers comes along: voice numbers, e-mail,
// organisation, the fax line's types, any other column. A second import adds nothing.
void TestContactWriter::importKeepsEveryField() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"contacts"_s);
    const QString csv = dir.filePath(u"export.csv"_s);
    WriteBytes(csv, "Vorname;Nachname;Firma;Fax;Telefon;E-Mail;Abteilung\n"
                    "Jürgen;Groß;Hafenamt;0471 1;0471 2;jg@example.org;Lotsen\n");
    const QString vcf = dir.filePath(u"export.vcf"_s);
    WriteBytes(vcf, "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:old\r\nFN:Anna\r\nORG:Reederei\r\n"
                    "TEL;TYPE=WORK,FAX,PREF:0421 1\r\nTEL;TYPE=VOICE:0421 2\r\nEND:VCARD\r\n");
    for (const QString& source : {csv, vcf}) {
        const faxapp::ContactImportResult result = faxapp::ImportContacts(folder, source);
        QCOMPARE(result.imported, 1);
        QCOMPARE(result.problems, QStringList{});
    }
    QByteArray all;
    for (const QString& file : Entries(folder))
        all += ReadBytes(folder + u'/' + file);
    for (const char* line :
         {"\r\nN:Groß;Jürgen;;;\r\n", "\r\nORG:Hafenamt\r\n", "\r\nTEL;TYPE=fax:0471 1\r\n",
          "\r\nTEL;TYPE=voice:0471 2\r\n", "\r\nEMAIL:jg@example.org\r\n",
          "\r\nNOTE:Abteilung: Lotsen\r\n", "\r\nORG:Reederei\r\n",
          "\r\nTEL;TYPE=WORK,FAX,PREF:0421 1\r\n", "\r\nTEL;TYPE=VOICE:0421 2\r\n"})
        QVERIFY2(all.contains(line), line);
    QVERIFY(!all.contains("UID:old"));

    for (const QString& source : {csv, vcf}) {
        const faxapp::ContactImportResult again = faxapp::ImportContacts(folder, source);
        QCOMPARE(again.imported, 0);
        QCOMPARE(again.duplicates, 1);
    }
    QCOMPARE(Entries(folder).size(), 2);
}

// A huge file is read a piece at a time and no further than the limit, which is reported;
// a file without a fax column is given up after its header.
void TestContactWriter::importStopsAtLimit() {
    QByteArray bytes = "Name,Fax\n";
    for (int i = 0; i < 1000; ++i)
        bytes += "N" + QByteArray::number(i) + ",0" + QByteArray::number(i) + "\n";
    const faxapp::CsvContacts limited = faxapp::ReadCsvContacts(bytes, 300);
    QCOMPARE(limited.contacts.size(), 300);
    QCOMPARE(limited.problems.size(), 1);
    QVERIFY(limited.problems[0].contains(u"300"_s));

    QByteArray oneColumn = "Name\n";
    oneColumn += QByteArray(20 << 20, '\n');
    const faxapp::CsvContacts none = faxapp::ReadCsvContacts(oneColumn);
    QCOMPARE(none.contacts.size(), 0);
    QCOMPARE(none.problems.size(), 1);
}

QTEST_GUILESS_MAIN(TestContactWriter)
#include "tst_contactwriter.moc"
