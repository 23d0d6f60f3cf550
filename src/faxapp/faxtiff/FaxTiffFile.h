#pragma once

// The TIFF file of fax pages that a fax server sends, as it is written: created exclusively
// (never through a link, never over a file that exists), one page after the other, each page
// one strip of G3 one-dimensional code, and removed again unless it was finished whole.

#include "fax/PosixFile.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/types.h>
#include <tiffio.h>

namespace faxapp {

class FaxTiffFile {
public:
    static constexpr int kWidth = 1728; // dots of a fax row
    static constexpr int kRowBytes = kWidth / 8;
    // Rows of an A4 page (297 mm). White rows beyond are left out of a page, since the fax
    // server scales a longer page down to fit the paper rather than send it as it is.
    static int A4Rows(bool fine) { return fine ? 2291 : 1145; }

    FaxTiffFile() = default;
    // Removes the file unless Finish() succeeded.
    ~FaxTiffFile();
    FaxTiffFile(const FaxTiffFile&) = delete;
    FaxTiffFile& operator=(const FaxTiffFile&) = delete;

    // Creates path for a document of pages pages; false with error set when it cannot be
    // created (it exists, it is a link, the folder is missing).
    bool Create(const QString& path, int pages, QString& error);

    // A page whose strip is coded already: each row's code after an end-of-line code that
    // ends on a byte boundary, bits lowest first in each byte. badRows: rows that were
    // damaged and stand as white rows.
    bool AddCodedPage(const QByteArray& strip, int rows, bool fine, int badRows, QString& error);
    // A page of bit rows (kWidth dots, most significant bit first, 1 black) that libtiff
    // codes; white rows beyond A4Rows() are left out.
    using RowFunction = std::function<const unsigned char*(int row)>;
    bool AddPage(const RowFunction& row, int rows, bool fine, int badRows, QString& error);

    // Completes the file and puts it on the disk; the file is kept from here on.
    bool Finish(QString& error);
    // Removes the file (only while the name still stands for the file created here).
    void Remove();

private:
    bool StartPage(int rows, bool fine, int badRows, QString& error);
    bool Failed(const QString& what, QString& error);
    static int OnError(TIFF*, void* self, const char* module, const char* format, va_list args);
    static int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

    PosixFile m_folder;
    PosixFile m_file;
    QString m_name;
    bool m_created = false; // the name stands for the file created here, unless replaced since
    dev_t m_device = 0;
    ino_t m_inode = 0;
    TIFF* m_tiff = nullptr;
    QString m_tiffError; // libtiff's first error message since the last page started
    int m_pages = 0;
    int m_page = 0; // pages added
    bool m_finished = false;
};

} // namespace faxapp
