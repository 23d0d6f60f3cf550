// A colour print of three page bitmaps goes through the real page converter (kalmofax, linked
// into the program folder as the converter) into one colour file and one SFF document.

#include "RecordingMessenger.h"
#include "SffPages.h"
#include "fax/PrintFileFormat.h"
#include "fax/PrintFileInfo.h"
#include "job/ColourPrint.h"
#include "platform/PosixProcessLauncher.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestColourConverter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void threePagesIntoCffAndSff();
};

void TestColourConverter::threePagesIntoCffAndSff() {
    const QString kalmofax = qEnvironmentVariable("KALMOFAX");
    QVERIFY2(!kalmofax.isEmpty(), "KALMOFAX names the built kalmofax");
    // KALMO_KEEP_DIR keeps the files for a look with the viewer.
    const QString keep = qEnvironmentVariable("KALMO_KEEP_DIR");
    QTemporaryDir temp;
    const QString root = keep.isEmpty() ? temp.path() : keep;
    const QString spool = root + QStringLiteral("/spool");
    const QString data = root + QStringLiteral("/data");
    const QString program = root + QStringLiteral("/program");
    for (const QString& folder : {spool, data, program}) {
        QDir(folder).removeRecursively();
        QVERIFY(QDir().mkpath(folder));
    }
    QVERIFY(QFile::link(kalmofax, program + QStringLiteral("/R3ozav.exe")));

    // A4 at 100 dpi: a coloured band, a grey band and text-like bars on each page.
    for (int n = 1; n <= 3; ++n) {
        QImage page(827, 1169, QImage::Format_RGB32);
        page.fill(Qt::white);
        for (int y = 100; y < 300; ++y)
            for (int x = 80; x < 747; ++x)
                page.setPixel(x, y, qRgb(200 * (n == 1), 120 * (n == 2), 255 * (n == 3)));
        for (int y = 400; y < 600; ++y)
            for (int x = 80; x < 747; ++x)
                page.setPixel(x, y, qRgb(x * 255 / 827, x * 255 / 827, x * 255 / 827));
        for (int bar = 0; bar < n * 5; ++bar)
            for (int y = 700 + bar * 30; y < 712 + bar * 30; ++y)
                for (int x = 80; x < 600; ++x)
                    page.setPixel(x, y, qRgb(0, 0, 0));
        page.setDotsPerMeterX(3937);
        page.setDotsPerMeterY(3937);
        QVERIFY(page.save(spool + QStringLiteral("/Page%1.bmp").arg(n), "BMP"));
    }

    PosixProcessLauncher launcher;
    RecordingMessenger messenger;
    QString printFile = spool + QStringLiteral("/Page");
    AssemblePageBitmaps(printFile, data, program, launcher, messenger);
    QVERIFY(messenger.messages.isEmpty());
    QCOMPARE(printFile, data + QStringLiteral("/Tmp00000.CFF"));
    QCOMPARE(QDir(spool).entryList(QDir::Files), QStringList());

    QFile cff(printFile);
    QVERIFY(cff.open(QIODevice::ReadOnly));
    const QByteArray colour = cff.readAll();
    QVERIFY(colour.startsWith("\xFF\xD8"));
    QCOMPARE(colour.count("\xFF\xD9\xFF\xD8\xFF"), 2); // three JPEG pages end to end
    QCOMPARE(DetectFileFormat(printFile), kFormatColour);

    const QString sffPath = data + QStringLiteral("/Tmp00000.SFF");
    QCOMPARE(DetectFileFormat(sffPath), kFormatSff);
    QCOMPARE(GetSffResolution(sffPath), 196);
    QCOMPARE(CheckPrintFile(sffPath), PrintFileProblem::None);
    QFile sff(sffPath);
    QVERIFY(sff.open(QIODevice::ReadOnly));
    const QList<SffPage> pages = SffPages(sff.readAll());
    QCOMPARE(pages.size(), 3);
    for (const SffPage& page : pages) {
        QCOMPARE(page.width, 1728);
        QCOMPARE(page.resolution, 196);
        QCOMPARE(page.rows, 2345); // 1169 / 827 of 215 mm at 196 rows an inch
        QVERIFY(!page.onlyBlankRows);
    }

    // The viewer renders both files of the print with their three pages.
    for (const QString& file : {printFile, sffPath}) {
        QTemporaryDir out;
        QProcess viewer;
        viewer.start(kalmofax, {QStringLiteral("view"), QStringLiteral("--png"), out.path(), file});
        QVERIFY(viewer.waitForFinished(60000));
        QVERIFY2(viewer.exitCode() == 0, viewer.readAllStandardError().constData());
        const QStringList pngs = QDir(out.path()).entryList({QStringLiteral("*.png")}, QDir::Files);
        QCOMPARE(pngs.size(), 3);
        QCOMPARE(QImage(QDir(out.path()).filePath(pngs.constFirst())).isNull(), false);
    }
}

QTEST_GUILESS_MAIN(TestColourConverter)
#include "tst_colourconverter.moc"
