// A received fax is checked while it arrives: every page decoded as its bytes come, the same
// answer as for the whole file, the page of the trouble named, and no wait past the end.

#include "FaxTiffs.h"
#include "faxapp/receiving/ReceivedTiff.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <fcntl.h>
#include <unistd.h>

using namespace faxapp;

class TestReceivedTiff : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QByteArray Fax(int pages) {
        const QString path = m_dir.filePath(QStringLiteral("fax%1.tif").arg(pages));
        QFile file(path);
        if (!WriteFaxTiff(path, QList<bool>(pages, true)) || !file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    // The offset of the coded rows of page (counted from 1).
    static qint64 StripOf(const QString& path, int page) {
        TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "r");
        std::uint64_t* offsets = nullptr;
        const bool found = tiff != nullptr && TIFFSetDirectory(tiff, page - 1) &&
                           TIFFGetField(tiff, TIFFTAG_STRIPOFFSETS, &offsets);
        const qint64 offset = found ? static_cast<qint64>(offsets[0]) : -1;
        if (tiff != nullptr)
            TIFFClose(tiff);
        return offset;
    }

    // Writes bytes to a new file piece by piece, telling a check of each as the fetch does,
    // and ends it after upTo bytes.
    Result<int> CheckWhileWriting(const QByteArray& bytes, qsizetype upTo = -1) {
        const QString path = m_dir.filePath(QStringLiteral("arriving.tif"));
        QFile::remove(path);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd < 0)
            return Problem{0, path, QStringLiteral("cannot create")};
        const qsizetype end = upTo < 0 ? bytes.size() : upTo;
        Result<int> result = Problem{};
        {
            ReceivedTiffCheck check(fd, path);
            constexpr qsizetype kPiece = 3000; // less than a page: pages arrive in pieces
            for (qsizetype at = 0; at < end; at += kPiece) {
                const qsizetype n = std::min(kPiece, end - at);
                if (::pwrite(fd, bytes.constData() + at, static_cast<size_t>(n), at) != n)
                    break;
                check.Grown(at + n);
                if ((at / kPiece) % 8 == 0)
                    QThread::usleep(300); // let the workers catch up and wait again
            }
            result = check.Finish();
        }
        ::close(fd);
        return result;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void pagesAreDecodedAsTheyArrive() {
        const QByteArray fax = Fax(7);
        QVERIFY(!fax.isEmpty());
        auto arriving = CheckWhileWriting(fax);
        QVERIFY2(arriving, arriving ? "" : qPrintable(arriving.Error().reason));
        QCOMPARE(*arriving, 7);
        const auto whole = CheckReceivedTiff(m_dir.filePath(QStringLiteral("fax7.tif")));
        QVERIFY(whole);
        QCOMPARE(*whole, 7);

        // A tool that changed a tag afterwards wrote the first page's directory at the end:
        // the check waits for it and still decodes every page.
        const QString moved = m_dir.filePath(QStringLiteral("moved.tif"));
        QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("fax7.tif")), moved));
        TIFF* tiff = TIFFOpen(QFile::encodeName(moved).constData(), "r+");
        QVERIFY(tiff != nullptr);
        TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, "+49 30 1234567");
        QVERIFY(TIFFRewriteDirectory(tiff));
        TIFFClose(tiff);
        QFile file(moved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.mid(4, 4) != fax.mid(4, 4)); // the first directory is elsewhere now
        auto late = CheckWhileWriting(bytes);
        QVERIFY(late);
        QCOMPARE(*late, 7);
    }

    void troubleIsNamedByItsPlace() {
        QByteArray fax = Fax(5);
        const qint64 strip = StripOf(m_dir.filePath(QStringLiteral("fax5.tif")), 3);
        QVERIFY(strip > 0);
        QByteArray damaged = fax;
        for (qint64 i = strip + 40; i < strip + 1200; ++i)
            damaged[i] = static_cast<char>(i % 3 != 0 ? 0x55 : 0xff);
        auto bad = CheckWhileWriting(damaged);
        QVERIFY(!bad);
        QVERIFY2(bad.Error().reason.startsWith(QStringLiteral("page 3, row ")),
                 qPrintable(bad.Error().reason));

        // Cut short in the middle of page 2: no page after it is waited for.
        const qint64 second = StripOf(m_dir.filePath(QStringLiteral("fax5.tif")), 2);
        auto cut = CheckWhileWriting(fax, second + 100);
        QVERIFY(!cut);
        QVERIFY2(cut.Error().reason.startsWith(QStringLiteral("page 2")) ||
                     cut.Error().reason.startsWith(QStringLiteral("after page 1")),
                 qPrintable(cut.Error().reason));

        auto text = CheckWhileWriting(QByteArray("Sehr geehrte Damen und Herren,\n").repeated(50));
        QVERIFY(!text);
        QVERIFY2(text.Error().reason.startsWith(QStringLiteral("not a TIFF file")),
                 qPrintable(text.Error().reason));
        QVERIFY(!CheckReceivedTiff(m_dir.filePath(QStringLiteral("none.tif"))));
    }

    // A fetch that fails half-way never finishes its check: the workers, waiting for bytes
    // that will not come, are let go when the check is dropped.
    void droppedCheckLetsItsWorkersGo() {
        const QByteArray fax = Fax(3);
        const QString path = m_dir.filePath(QStringLiteral("dropped.tif"));
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::pwrite(fd, fax.constData(), 100, 0), 100);
        {
            ReceivedTiffCheck check(fd, path);
            check.Grown(100);
            QThread::msleep(20);
        }
        ::close(fd);
    }
};

QTEST_GUILESS_MAIN(TestReceivedTiff)
#include "tst_receivedtiff.moc"
