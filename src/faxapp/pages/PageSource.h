#pragma once

// The pages of one print file, decoded one at a time on demand, so that a viewer shows the
// first page of a long document without decoding the rest.

#include <QImage>
#include <QString>

namespace faxapp {

// Sizes beyond these are refused rather than allocated: no real fax or print page comes near.
inline constexpr int kMaxPageWidth = 10000; // pixels
inline constexpr int kMaxPageRows = 20000;  // rows of one page as the file holds them
inline constexpr int kMaxPages = 10000;
inline constexpr qint64 kMaxPixels = 64LL * 1024 * 1024; // of a colour or grey page

// Resolution of fax rows: 204 dots per inch across; 196 (fine) or 98 (normal) rows per inch.
inline constexpr int kFaxDotsPerMetreX = 8031;
inline constexpr int kFaxDotsPerMetreY = 7717;

class PageSource {
public:
    virtual ~PageSource() = default;
    virtual int PageCount() const = 0;
    // Page index (from 0); a null image and a message in error when it cannot be decoded.
    virtual QImage DecodePage(int index, QString& error) = 0;
    // What is wrong with the file beyond its readable pages (cut short, say); empty if nothing.
    virtual QString Problem() const { return {}; }
    // Rows that could not be decoded and were shown white, over all pages decoded so far.
    virtual int BadRows() const { return 0; }
};

} // namespace faxapp
