#include "faxapp/faxtiff/FaxTiffFile.h"

#include "support/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace faxapp {

namespace {

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

FaxTiffFile::~FaxTiffFile() {
    if (!m_finished)
        Remove();
}

bool FaxTiffFile::Create(const QString& path, int pages, QString& error) {
    const qsizetype slash = path.lastIndexOf(u'/');
    m_name = path.mid(slash + 1);
    const QString folder = slash < 0 ? QStringLiteral(".") : path.left(slash > 0 ? slash : 1);
    if (m_name.isEmpty() || m_name == u"." || m_name == u"..") {
        error = QStringLiteral("%1: not a file name").arg(path);
        return false;
    }
    // The name is created in the folder open here, and removed there again only while it
    // still stands for this file.
    if (!m_folder.Open(folder, O_RDONLY | O_DIRECTORY) ||
        !m_file.OpenAt(m_folder.Descriptor(), m_name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW,
                       0600)) {
        error = QStringLiteral("%1: %2").arg(path, ErrnoText());
        return false;
    }
    struct stat created {};
    if (::fstat(m_file.Descriptor(), &created) != 0) {
        error = QStringLiteral("%1: %2").arg(path, ErrnoText());
        ::unlinkat(m_folder.Descriptor(), NativePath(m_name).constData(), 0);
        return false;
    }
    m_created = true;
    m_device = created.st_dev;
    m_inode = created.st_ino;
    // libtiff closes its own descriptor; this one stays open to put the file on the disk.
    const int fd = ::fcntl(m_file.Descriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        error = QStringLiteral("%1: %2").arg(path, ErrnoText());
        Remove();
        return false;
    }
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, this);
    m_tiff = TIFFFdOpenExt(fd, NativePath(path).constData(), "wl", options);
    TIFFOpenOptionsFree(options);
    if (!m_tiff) {
        ::close(fd);
        error = QStringLiteral("%1: %2").arg(path, m_tiffError);
        Remove();
        return false;
    }
    m_pages = pages;
    return true;
}

bool FaxTiffFile::Failed(const QString& what, QString& error) {
    error = m_tiffError.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, m_tiffError);
    return false;
}

bool FaxTiffFile::StartPage(int rows, bool fine, int badRows, QString& error) {
    m_tiffError.clear();
    TIFF* t = m_tiff;
    const bool set =
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE) &&
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth) && TIFFSetField(t, TIFFTAG_IMAGELENGTH, rows) &&
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1) && TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1) &&
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3) &&
        // One-dimensional rows; each end-of-line code ends on a byte, so that coded rows are
        // copied in whole bytes. No return-to-control after the last row: the fax server
        // sends it.
        TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_FILLBITS) &&
        TIFFSetField(t, TIFFTAG_FAXMODE, FAXMODE_CLASSF) &&
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE) &&
        // Lowest bit first, as SFF stores its rows.
        TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB) &&
        TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rows) &&
        TIFFSetField(t, TIFFTAG_XRESOLUTION, 204.0) &&
        TIFFSetField(t, TIFFTAG_YRESOLUTION, fine ? 196.0 : 98.0) &&
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
        TIFFSetField(t, TIFFTAG_PAGENUMBER, m_page, m_pages) &&
        TIFFSetField(t, TIFFTAG_BADFAXLINES, static_cast<std::uint32_t>(badRows)) &&
        TIFFSetField(t, TIFFTAG_CLEANFAXDATA,
                     badRows > 0 ? CLEANFAXDATA_REGENERATED : CLEANFAXDATA_CLEAN) &&
        TIFFSetField(t, TIFFTAG_SOFTWARE, "kalmofax");
    return set || Failed(QStringLiteral("cannot describe the page"), error);
}

bool FaxTiffFile::AddCodedPage(const QByteArray& strip, int rows, bool fine, int badRows,
                               QString& error) {
    if (!StartPage(rows, fine, badRows, error))
        return false;
    // libtiff copies the strip as it is; it does not write into it.
    if (TIFFWriteRawStrip(m_tiff, 0, const_cast<char*>(strip.constData()), strip.size()) !=
            strip.size() ||
        !TIFFWriteDirectory(m_tiff))
        return Failed(QStringLiteral("cannot write the page"), error);
    ++m_page;
    return true;
}

bool FaxTiffFile::AddPage(const RowFunction& row, int rows, bool fine, int badRows,
                          QString& error) {
    const auto white = [](const unsigned char* bits) {
        return std::all_of(bits, bits + kRowBytes, [](unsigned char b) { return b == 0; });
    };
    while (rows > A4Rows(fine) && white(row(rows - 1)))
        --rows;
    if (!StartPage(rows, fine, badRows, error))
        return false;
    unsigned char line[kRowBytes]; // libtiff may work in the row it is given
    for (int y = 0; y < rows; ++y) {
        std::memcpy(line, row(y), sizeof line);
        if (TIFFWriteScanline(m_tiff, line, static_cast<std::uint32_t>(y), 0) < 0)
            return Failed(QStringLiteral("cannot code row %1").arg(y + 1), error);
    }
    if (!TIFFWriteDirectory(m_tiff))
        return Failed(QStringLiteral("cannot write the page"), error);
    ++m_page;
    return true;
}

bool FaxTiffFile::Finish(QString& error) {
    m_tiffError.clear();
    TIFFClose(std::exchange(m_tiff, nullptr));
    if (!m_tiffError.isEmpty())
        return Failed(QStringLiteral("cannot complete the file"), error);
    // The file is handed on once this returns: its data and its name are on the disk first.
    if (!m_file.Sync() || !m_folder.Sync() || !m_file.Close()) {
        error = QStringLiteral("cannot put the file on the disk: %1").arg(ErrnoText());
        return false;
    }
    m_finished = true;
    return true;
}

void FaxTiffFile::Remove() {
    if (m_tiff)
        TIFFClose(std::exchange(m_tiff, nullptr));
    m_file.Close();
    struct stat named {};
    if (m_created &&
        ::fstatat(m_folder.Descriptor(), NativePath(m_name).constData(), &named,
                  AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == m_device && named.st_ino == m_inode)
        ::unlinkat(m_folder.Descriptor(), NativePath(m_name).constData(), 0);
    m_created = false;
}

int FaxTiffFile::OnError(TIFF*, void* self, const char*, const char* format, va_list args) {
    auto* file = static_cast<FaxTiffFile*>(self);
    if (file->m_tiffError.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        file->m_tiffError = QString::fromLocal8Bit(text);
    }
    return 1; // handled: nothing on stderr
}

} // namespace faxapp
