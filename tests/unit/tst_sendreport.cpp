// The send report as the user gets it: the PDF rendered by poppler (pdftoppm) shows the
// document's first page reduced where the report puts it, and its text (pdftotext) names the
// number, the contact, the pages and the result; kept private, printed through lp as set.

#include "ServiceFakes.h"
#include "fax/FaxContract.h"
#include "fax/JobFileWriter.h"
#include "fax/SffWriter.h"
#include "faxapp/report/ReportPrinter.h"
#include "faxapp/report/SendReport.h"
#include "faxapp/report/SendReports.h"
#include "faxapp/ui/WindowLanguage.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace faxapp;
using Field = JobFile::Field;

namespace {

// One fine page of 2200 rows: white but for a black block of the left half, rows 800-1199.
QByteArray BlockPage() {
    SffWriter sff;
    sff.BeginPage(196);
    sff.AddBlankRows(800);
    QByteArray row(SffWriter::kStandardWidth / 8, '\0');
    row.fill('\xff', SffWriter::kStandardWidth / 16);
    for (int r = 0; r < 400; ++r)
        sff.AddBitRow(reinterpret_cast<const unsigned char*>(row.constData()),
                      SffWriter::kStandardWidth);
    sff.AddBlankRows(1000);
    return sff.Finish();
}

QByteArray Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qWarning("%s: %s", qPrintable(program), process.readAllStandardError().constData());
    return process.readAllStandardOutput();
}

} // namespace

class TestSendReport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    EndedJob Ended(const QString& document, JobFiler::Outcome outcome, const QString& error) {
        const auto job =
            JobFile::Parse(SendJobBytes(document, QStringLiteral("030 1234-567"),
                                        QStringLiteral("SFF"), 196, QStringLiteral("IMMED")));
        EndedJob ended{QStringLiteral("09120000.FX3"), *job, outcome, QStringLiteral("42"), {}};
        ended.job.SetValue(Field::Pages, QStringLiteral("1"));
        ended.job.SetValue(Field::Error, error);
        ended.job.SetValue(Field::FaxDate, QStringLiteral("26-12-24"));
        ended.job.SetValue(Field::FaxStart, QStringLiteral("18:31:05"));
        return ended;
    }

private Q_SLOTS:
    // The report in English, as on an English desktop.
    void initTestCase() {
        m_language = std::make_unique<faxapp::WindowLanguage>(QStringLiteral("EN"));
    }
    // Through the engine's observer: the page rendered before filing (the document is gone
    // after it), the contact's name found, the report written privately, printed only for
    // a failure as set.
    void reportOfAFiledJob() {
        const QString data = m_dir.path() + QStringLiteral("/data");
        const QString contacts = m_dir.path() + QStringLiteral("/contacts");
        QVERIFY(QDir().mkpath(data) && QDir().mkpath(contacts));
        QFile card(contacts + QStringLiteral("/erika.vcf"));
        QVERIFY(card.open(QIODevice::WriteOnly));
        card.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Erika Mustermann\r\n"
                   "TEL;TYPE=FAX:tel:030-1234567\r\nEND:VCARD\r\n");
        card.close();
        const QString document = m_dir.path() + QStringLiteral("/_FX00001.SFF");
        QFile sff(document);
        QVERIFY(sff.open(QIODevice::WriteOnly));
        sff.write(BlockPage());
        sff.close();

        FakeProcessLauncher launcher;
        FixedClock clock;
        ReportSettings settings{ReportPrinting::Failures, QStringLiteral("office/a4"),
                                QStringLiteral("alice")};
        SendReports reports(settings, data, contacts, launcher, clock);
        const EndedJob sent = Ended(document, JobFiler::Outcome::Sent, {});
        reports.JobEnding(sent.name, sent.job);
        QVERIFY(QFile::remove(document));
        reports.JobFiled(sent);
        QVERIFY(launcher.starts.isEmpty()); // sent: not printed

        const QString path = ReportPath(data, sent.name);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);

        const QString text = QString::fromUtf8(Run(
            QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")}));
        for (const char* expected : {"Transmission report", "alice", "Erika Mustermann",
                                     "030 1234-567", "1 page sent of 1", "sent", "42"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);

        // At 50 dpi: the page image is two thirds of the 180 mm text width (120 mm), centred;
        // its black block (the left half of the page) 60 mm wide from 45 mm. Solid dark
        // pixels (not the 1-pixel frame or text strokes) below the facts.
        const QString png = m_dir.path() + QStringLiteral("/page");
        Run(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-png"),
             QStringLiteral("-singlefile"), path, png});
        const QImage image(png + QStringLiteral(".png"));
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(414, 585));
        const auto dark = [&](int x, int y) { return qGray(image.pixel(x, y)) < 100; };
        const double mm = 50 / 25.4;
        QRect block;
        for (int y = int(100 * mm); y < image.height() - 1; ++y)
            for (int x = 1; x < image.width() - 1; ++x)
                if (dark(x, y) && dark(x - 1, y) && dark(x + 1, y) && dark(x, y - 1) &&
                    dark(x, y + 1))
                    block |= QRect(x, y, 1, 1);
        QVERIFY(!block.isEmpty());
        QVERIFY2(qAbs(block.left() / mm - 45) < 3, qPrintable(QString::number(block.left() / mm)));
        QVERIFY2(qAbs(block.width() / mm - 60) < 4,
                 qPrintable(QString::number(block.width() / mm)));
        // 400 of 2200 rows of a page 120 mm wide and 1728/204 : 2200/196 tall.
        const double height = 400.0 / 196 / (1728.0 / 204) * 120;
        QVERIFY2(qAbs(block.height() / mm - height) < 4,
                 qPrintable(QString::number(block.height() / mm)));

        // A failure is printed, on the printer set, the file as one argument after "--".
        EndedJob failed = Ended(document, JobFiler::Outcome::Failed,
                                QStringLiteral("fax server job 42: 0 No carrier detected"));
        reports.JobEnding(failed.name, failed.job); // the document is gone: no page
        reports.JobFiled(failed);
        QCOMPARE(launcher.starts.size(), 1);
        QVERIFY(launcher.starts[0].program.endsWith(u"/lp"));
        QCOMPARE(launcher.starts[0].arguments, QStringList({"-d", "office/a4", "--", path}));
        QVERIFY(!launcher.starts[0].wait);
        const QString failedText =
            QString::fromUtf8(Run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}));
        QVERIFY(failedText.contains(u"not sent"));
        QVERIFY(failedText.contains(u"No carrier detected"));
        QVERIFY(!failedText.contains(u"fax server job 42:"));
    }

    void printerNames() {
        for (const char* good : {"office", "HP_LaserJet-4.2", "office/a4", "lp@host"})
            QVERIFY2(IsPrinterName(QString::fromUtf8(good)), good);
        for (const char* bad : {"", "-d", "office a4", "x;rm", "a/b/c", "büro", "a/"})
            QVERIFY2(!IsPrinterName(QString::fromUtf8(bad)), bad);
        FakeProcessLauncher launcher;
        QVERIFY(!PrintReport(launcher, QStringLiteral("-oraw"), QStringLiteral("/x.pdf")));
        QVERIFY(!PrintReport(launcher, {}, QStringLiteral("relative.pdf")));
        QVERIFY(launcher.starts.isEmpty());
    }

private:
    std::unique_ptr<faxapp::WindowLanguage> m_language;
};

QTEST_MAIN(TestSendReport)
#include "tst_sendreport.moc"
