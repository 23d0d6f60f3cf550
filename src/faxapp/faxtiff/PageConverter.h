#pragma once

// Converts one page bitmap into the two forms a colour fax is sent in: the colour page as a
// JPEG and its black-and-white version as a one-page SFF document (Modified Huffman, fine
// resolution, 1728 dots wide). Works on bytes only; the convert-page command reads and
// writes the files.

#include "faxapp/faxtiff/BmpReader.h"
#include "faxapp/faxtiff/PageDither.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace faxapp {

struct ConvertedPage {
    QByteArray jpeg;
    QByteArray sff;
    int rows = 0; // of the black-and-white page
};

class PageConverter {
public:
    static constexpr int kFaxWidth = 1728;      // dots of a fax row
    static constexpr double kFaxWidthMm = 215;  // what those dots span on paper
    static constexpr int kFineResolution = 196; // rows an inch
    static constexpr int kJpegQuality = 85;
    // About four metres of paper: longer is no page, and the SFF page header counts rows in
    // 16 bits.
    static constexpr int kMaxRows = 32000;

    // Rows of the fax page for a bitmap: its width maps to the fax row, and its height keeps
    // the page's proportions (from the physical size when the header has a resolution, else
    // from the pixels). 0 when the page would exceed kMaxRows.
    static int FaxRows(const BmpInfo& info);
    // The page scaled to the fax row, in grey (luminance).
    static QImage FaxGrey(const QImage& page, int rows);
    static QByteArray EncodeSff(const BilevelPage& page);
    static QByteArray EncodeJpeg(const QImage& page);

    // bmp: a whole bitmap file. False with a message when it is malformed or too large.
    static bool Convert(const QByteArray& bmp, ConvertedPage& result, QString& error);
    // The same, keeping the black-and-white page for a look at its dots.
    static bool Convert(const QByteArray& bmp, ConvertedPage& result, BilevelPage& bilevel,
                        QString& error);
};

} // namespace faxapp
