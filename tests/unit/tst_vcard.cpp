// The vCard reader and the contact folder over real files.

#include "faxapp/contacts/ContactFolder.h"
#include "faxapp/contacts/VCardReader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace faxapp;

namespace {

// "Name|fax|fax" per contact, so that one column holds what a card gave.
QStringList Flatten(const QList<Contact>& contacts) {
    QStringList out;
    for (const Contact& contact : contacts)
        out << QStringList{contact.name, contact.faxNumbers.join(u'|')}.join(u'|');
    return out;
}

QByteArray Card(const QByteArray& version, const QByteArray& body) {
    return "BEGIN:VCARD\r\nVERSION:" + version + "\r\n" + body + "END:VCARD\r\n";
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestVCard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void bigPhoto();
    void manyCards();
    void folder();
    void missingFolder();
};

void TestVCard::parse_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("contacts");
    QTest::addColumn<QList<int>>("problemLines");

    QTest::newRow("2.1 quoted-printable latin-1, soft breaks, bare types")
        << Card("2.1", "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCr=\r\ngen\r\n"
                       "TEL;WORK;FAX:+49 30 1234\r\nTEL;WORK;VOICE:+49 30 99\r\n")
        << QStringList{u"Jürgen Müller|+49 30 1234"_qs} << QList<int>{};
    QTest::newRow("2.1 FN quoted-printable utf-8, bare QUOTED-PRINTABLE")
        << Card("2.1", "FN;CHARSET=UTF-8;QUOTED-PRINTABLE:J=C3=B6rg =\r\n=C3=9Cbel\r\n"
                       "TEL;FAX:1\r\n")
        << QStringList{u"Jörg Übel|1"_qs} << QList<int>{};
    QTest::newRow("3.0 folding and escapes")
        << Card("3.0", "FN:Smith\\, John\\; Jr.\\nSecond\r\nTEL;TYPE=FAX:+1 555\r\n 0100\r\n"
                       "TEL;TYPE=fax:12\\n34\r\n")
        << QStringList{u"Smith, John; Jr.\nSecond|+1 5550100|12 34"_qs} << QList<int>{};
    QTest::newRow("LF only, tab folding, BOM")
        << QByteArray("\xEF\xBB\xBF"
                      "BEGIN:VCARD\nVERSION:3.0\nFN:Ta\n\tb\nTEL;type=FAX:7\nEND:VCARD\n")
        << QStringList{u"Tab|7"_qs} << QList<int>{};
    QTest::newRow("4.0 uri with quoted types, comma types")
        << Card("4.0",
                "FN:Anna Beispiel\r\nTEL;TYPE=\"fax,work\";VALUE=uri:tel:+49-30-5555;ext=12\r\n"
                "TEL;TYPE=FAX,WORK:+49 40 1\r\nTEL;TYPE=\"voice\";VALUE=uri:tel:+49 9\r\n")
        << QStringList{u"Anna Beispiel|+49-30-5555|+49 40 1"_qs} << QList<int>{};
    QTest::newRow("grouped properties")
        << Card("3.0", "item2.FN:Grouped\r\nitem1.TEL;type=FAX:+33 1 2\r\nitem1.X-ABLabel:x\r\n")
        << QStringList{u"Grouped|+33 1 2"_qs} << QList<int>{};
    QTest::newRow("N only") << Card("3.0", "N:Doe;John;;Dr.;\r\nTEL;TYPE=FAX:5\r\n")
                            << QStringList{u"John Doe|5"_qs} << QList<int>{};
    QTest::newRow("company: ORG when FN and N are empty")
        << Card("3.0", "FN:\r\nN:;;;;\r\nORG:Hafenamt Bremerhaven\\, Nord;Hafenbetrieb\r\n"
                       "TEL;TYPE=FAX:0471 1\r\n") +
               Card("2.1", "ORG;CHARSET=ISO-8859-1:M\xFChle AG\r\nTEL;FAX:2\r\n")
        << QStringList{u"Hafenamt Bremerhaven, Nord|0471 1"_qs, u"Mühle AG|2"_qs} << QList<int>{};
    QTest::newRow("N with escaped semicolon") << Card("3.0", "N:Doe\\;Smith;John;;;\r\n")
                                              << QStringList{u"John Doe;Smith|"_qs} << QList<int>{};
    QTest::newRow("windows-1252") << Card("2.1", "FN;CHARSET=windows-1252:\x80 \x84x\x93\r\n")
                                  << QStringList{u"€ „x“|"_qs} << QList<int>{};
    QTest::newRow("other charset by name") << Card("3.0", "FN;CHARSET=ISO-8859-15:\xA4 Euro\r\n")
                                           << QStringList{u"€ Euro|"_qs} << QList<int>{};
    QTest::newRow("UTF-8 umlauts") << Card("3.0", "FN:Jörg Übel ß\r\nTEL;TYPE=FAX:+49 89 7\r\n")
                                   << QStringList{u"Jörg Übel ß|+49 89 7"_qs} << QList<int>{};
    QTest::newRow("invalid UTF-8 replaced and reported")
        << Card("3.0", "FN:Bad \xff\xfe Name\r\nTEL;TYPE=FAX:1\r\n")
        << QStringList{u"Bad \uFFFD\uFFFD Name|1"_qs} << QList<int>{3};
    QTest::newRow("unknown charset reported")
        << Card("2.1", "FN;CHARSET=X-NONE:Abc\r\n") << QStringList{u"Abc|"_qs} << QList<int>{3};
    QTest::newRow("line without colon skipped, card kept")
        << Card("3.0", "FN:First\r\nTHIS LINE HAS NO COLON\r\nTEL;TYPE=FAX:111\r\n") +
               Card("3.0", "FN:Second\r\nTEL;TYPE=FAX:222\r\n")
        << QStringList{u"First|111"_qs, u"Second|222"_qs} << QList<int>{4};
    QTest::newRow("card without END before the next")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Lost\r\n") +
               Card("3.0", "FN:Kept\r\nTEL;TYPE=FAX:2\r\n")
        << QStringList{u"Kept|2"_qs} << QList<int>{1};
    QTest::newRow("card without END at the end")
        << Card("3.0", "FN:Kept\r\n") + "BEGIN:VCARD\r\nFN:Lost\r\n"
        << QStringList{u"Kept|"_qs} << QList<int>{5};
    QTest::newRow("card without a name")
        << Card("3.0", "TEL;TYPE=FAX:1\r\n") << QStringList{} << QList<int>{1};
    QTest::newRow("garbage outside cards")
        << QByteArray("hello\r\n\r\nEND:VCARD\r\n") + Card("3.0", "FN:A\r\n")
        << QStringList{u"A|"_qs} << QList<int>{1, 3};
    QTest::newRow("absurd line skipped, rest read")
        << Card("3.0", "FN:" + QByteArray(2 << 20, 'x') + "\r\nN:Short;Name\r\nTEL;TYPE=FAX:1\r\n")
        << QStringList{u"Name Short|1"_qs} << QList<int>{3};
    QTest::newRow("empty") << QByteArray() << QStringList{} << QList<int>{};
}

void TestVCard::parse() {
    QFETCH(QByteArray, input);
    QFETCH(QStringList, contacts);
    QFETCH(QList<int>, problemLines);
    const VCardParse parse = ParseVCards(input);
    QCOMPARE(Flatten(parse.contacts), contacts);
    QList<int> lines;
    for (const VCardProblem& problem : parse.problems)
        lines << problem.line;
    QCOMPARE(lines, problemLines);
}

// A 10 MB photo, folded as writers fold it, is stepped over without being copied around.
void TestVCard::bigPhoto() {
    QByteArray photo;
    photo.reserve(14 << 20);
    photo += "PHOTO;ENCODING=b;TYPE=JPEG:";
    for (int i = 0; i < 180000; ++i)
        photo += QByteArray(74, 'A') + "\r\n ";
    photo += "AA\r\n";
    const QByteArray input = Card("3.0", "FN:Photo\r\n" + photo + "TEL;TYPE=FAX:3\r\n");
    QElapsedTimer timer;
    timer.start();
    const VCardParse parse = ParseVCards(input);
    QCOMPARE(Flatten(parse.contacts), QStringList{u"Photo|3"_qs});
    QVERIFY(parse.problems.isEmpty());
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

void TestVCard::manyCards() {
    QByteArray input;
    for (int i = 0; i < 100000; ++i)
        input += Card("3.0", "FN:Person " + QByteArray::number(i) + "\r\nTEL;TYPE=FAX:" +
                                 QByteArray::number(i) + "\r\nTEL;TYPE=VOICE:9\r\n");
    QElapsedTimer timer;
    timer.start();
    const VCardParse parse = ParseVCards(input);
    QCOMPARE(parse.contacts.size(), 100000);
    QCOMPARE(parse.contacts.last().faxNumbers, QStringList{u"99999"_qs});
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
}

// Good files are read around a broken one, a FIFO and what is not *.vcf; a link to a file
// outside is read.
void TestVCard::folder() {
    QTemporaryDir dir, outside;
    QVERIFY(dir.isValid() && outside.isValid());
    Write(dir.filePath("a.vcf"), Card("3.0", "FN:Anna\r\nTEL;TYPE=FAX:1\r\n"));
    Write(dir.filePath("b%2.vcf"),
          Card("3.0", "FN:Bert\r\nBROKEN\r\nTEL;TYPE=FAX:2\r\n") + "BEGIN:VCARD\r\nFN:Cut\r\n");
    Write(dir.filePath("c.txt"), Card("3.0", "FN:Not read\r\n"));
    Write(outside.filePath("d.vcf"), Card("3.0", "FN:Dora\r\nTEL;TYPE=FAX:4\r\n"));
    QVERIFY(QFile::link(outside.filePath("d.vcf"), dir.filePath("d.vcf")));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("e.vcf")).constData(), 0600), 0);
    QVERIFY(QDir(dir.path()).mkdir("f.vcf"));
    QFile huge(dir.filePath("g%2.vcf"));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(65 << 20)); // sparse

    const ContactListing listing = ContactFolder(dir.path()).ReadAll();
    QCOMPARE(Flatten(listing.contacts), (QStringList{u"Anna|1"_qs, u"Bert|2"_qs, u"Dora|4"_qs}));
    QCOMPARE(listing.contacts.at(2).fileName, u"d.vcf"_qs);
    QCOMPARE(listing.problems, (QStringList{u"b%2.vcf: line 4: line without a colon, skipped"_qs,
                                            u"b%2.vcf: line 7: card without END, skipped"_qs,
                                            u"e.vcf: not a regular file, skipped"_qs,
                                            u"g%2.vcf: larger than 64 MB, skipped"_qs}));
}

void TestVCard::missingFolder() {
    const ContactListing listing = ContactFolder(u"/nonexistent/kalmo/contacts"_qs).ReadAll();
    QVERIFY(listing.contacts.isEmpty());
    QVERIFY(listing.problems.isEmpty());
}

QTEST_GUILESS_MAIN(TestVCard)
#include "tst_vcard.moc"
