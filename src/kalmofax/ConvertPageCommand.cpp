// convert-page <bitmap> <output>: the page converter that a colour print starts (as R3ozav.exe)
// in the bitmap's folder for each page bitmap. The colour page goes as a JPEG to output, the
// black-and-white page as an SFF document beside the bitmap ("Page1.bmp" -> "Page1.SFF").
// Both appear whole or not at all: each is written to a new file of its own folder and renamed
// over its name, which replaces a file (or a link) of that name and never writes through one.

#include "fax/FaxContract.h"
#include "fax/PosixFile.h"
#include "fax/SpoolFolder.h"
#include "faxapp/faxtiff/PageConverter.h"
#include "kalmofax/Commands.h"
#include "support/FileUtil.h"
#include "support/PathUtil.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace faxapp {

namespace {

// The largest bitmap file read: the most pixels decoded, at four bytes each, with headers.
constexpr std::int64_t kMaxBitmapBytes = BmpReader::kMaxPixels * 4 + (1 << 20);

// A file being written in a folder under a name of its own, until it takes its final name.
class PendingFile {
public:
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() {
        if (!m_temp.isEmpty())
            m_folder.Remove(m_temp);
        if (m_published)
            m_folder.Remove(m_name);
    }

    // Opens the folder that path names a file in.
    bool Open(const QString& path) {
        const QString folder = GetDirectoryPart(path);
        m_name = GetFileNamePart(path);
        if (m_name.isEmpty() || m_name == u"." || m_name == u"..") {
            errno = EISDIR;
            return false;
        }
        // "Page.SFF" lies in the current folder, "/Page.SFF" in the root.
        return m_folder.Open(!folder.isEmpty()       ? folder
                             : path.startsWith(u'/') ? QStringLiteral("/")
                                                     : QString());
    }

    // Writes bytes to a new hidden file in the folder.
    bool Write(const QByteArray& bytes) {
        PosixFile file;
        for (int attempt = 0; attempt < 100 && !file.IsOpen(); ++attempt) {
            const QString temp =
                QStringLiteral(".%1.%2-%3.tmp").arg(m_name).arg(::getpid()).arg(attempt);
            if (m_folder.CreateExclusive(file, temp, 0644))
                m_temp = temp;
            else if (errno != EEXIST)
                return false;
        }
        return file.IsOpen() &&
               file.Write(bytes.constData(), static_cast<std::size_t>(bytes.size())) &&
               file.Sync() && file.Close();
    }

    // Renames the written file over its final name.
    bool Publish() {
        if (::renameat(m_folder.Descriptor(), NativePath(m_temp).constData(), m_folder.Descriptor(),
                       NativePath(m_name).constData()) != 0)
            return false;
        m_temp.clear();
        m_published = true;
        return true;
    }

    // Keeps the published file and writes its name through to the disk.
    void Keep() {
        m_published = false;
        m_folder.Sync();
    }

private:
    SpoolFolder m_folder;
    QString m_name;
    QString m_temp;
    bool m_published = false;
};

class ConvertPageCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("convert-page"); }
    QString Description() const override {
        return QStringLiteral("<bitmap> <output>: a page bitmap to a JPEG and an SFF page");
    }

    int Execute(int argc, char* argv[], int first) override {
        const bool asConverter = QFileInfo(QString::fromLocal8Bit(argv[0]))
                                     .fileName()
                                     .compare(fax::kProgramConverter, Qt::CaseInsensitive) == 0;
        m_self = asConverter ? fax::kProgramConverter : QStringLiteral("kalmofax convert-page");
        if (argc - first != 2) {
            std::fprintf(stderr, "usage: %s <bitmap> <output>\n", qPrintable(m_self));
            return 2;
        }
        QCoreApplication app(argc, argv); // the JPEG writer is a plug-in found through it
        const QString bitmap = QString::fromLocal8Bit(argv[first]);
        const QString output = QString::fromLocal8Bit(argv[first + 1]);
        if (bitmap.isEmpty())
            return Fail(bitmap, QStringLiteral("no bitmap named"));
        if (output.isEmpty() || output.endsWith(u'/'))
            return Fail(output, QStringLiteral("no output file named"));

        const QString sffPath = StripExtension(bitmap) + QStringLiteral(".SFF");
        const QString source = QFileInfo(bitmap).absoluteFilePath();
        const QString target = QFileInfo(output).absoluteFilePath();
        if (QFileInfo(sffPath).absoluteFilePath() == source)
            return Fail(bitmap, QStringLiteral("has the name of its SFF page"));
        if (target == source || target == QFileInfo(sffPath).absoluteFilePath())
            return Fail(output, QStringLiteral("would replace the bitmap or its SFF page"));
        PendingFile sff;
        PendingFile jpeg;
        if (!sff.Open(sffPath))
            return Fail(sffPath, GetLastErrorText());
        if (!jpeg.Open(output))
            return Fail(output, GetLastErrorText());

        QByteArray bytes;
        if (!ReadBitmap(bitmap, bytes))
            return 1;
        ConvertedPage page;
        QString error;
        if (!PageConverter::Convert(bytes, page, error))
            return Fail(bitmap, error);

        if (!sff.Write(page.sff) || !sff.Publish())
            return Fail(sffPath, GetLastErrorText());
        if (!jpeg.Write(page.jpeg) || !jpeg.Publish())
            return Fail(output, GetLastErrorText());
        sff.Keep();
        jpeg.Keep();
        return 0;
    }

private:
    bool ReadBitmap(const QString& path, QByteArray& bytes) {
        // The bitmap itself, never what a link in its place points to.
        PosixFile file;
        if (!file.OpenRegular(path, O_NOFOLLOW)) {
            Fail(path, errno == ELOOP ? QStringLiteral("is a symbolic link") : GetLastErrorText());
            return false;
        }
        const std::int64_t length = file.Length();
        if (length < 0) {
            Fail(path, GetLastErrorText());
            return false;
        }
        if (length > kMaxBitmapBytes) {
            Fail(path, QStringLiteral("too large for a page bitmap"));
            return false;
        }
        bytes.resize(static_cast<qsizetype>(length));
        const ssize_t got = file.Read(bytes.data(), static_cast<std::size_t>(length));
        if (got < 0) {
            Fail(path, GetLastErrorText());
            return false;
        }
        bytes.truncate(got);
        return true;
    }

    int Fail(const QString& file, const QString& what) const {
        std::fprintf(stderr, "%s: %s: %s\n", qPrintable(m_self), qPrintable(file),
                     qPrintable(what));
        return 1;
    }

    QString m_self;
};

} // namespace

std::unique_ptr<Command> MakeConvertPageCommand() {
    return std::make_unique<ConvertPageCommand>();
}

} // namespace faxapp
