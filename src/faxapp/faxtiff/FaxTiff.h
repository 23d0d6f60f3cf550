#pragma once

// A print file turned into the TIFF Class F file that a fax server sends: G3, 1728 dots a
// row, fine (196 lines per inch) or normal (98) rows. SFF rows are copied as they are coded
// wherever that is possible, so a page is not decoded and coded again.

#include <QString>

namespace faxapp {

struct FaxTiffResult {
    int pages = 0;
    QString error; // empty when the whole file was written; names the page that failed
};

class FaxTiff {
public:
    enum class Rows { Fine, Normal };

    // Writes tiffPath from document, whose kind is the job file's CONVERT value ("SFF",
    // "CFF": its black-and-white ".SFF" companion beside it, "PCX", "FXASC"; a TIFF print file
    // is recognised by its content). The output is created exclusively (never through a link)
    // and removed again when any page fails: no partial document is ever left for sending.
    static FaxTiffResult Write(const QString& document, const QString& convert, Rows rows,
                               const QString& tiffPath);
};

} // namespace faxapp
