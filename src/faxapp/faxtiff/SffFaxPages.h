#pragma once

// The pages of an SFF document as fax TIFF pages. A page of 1728 dots whose rows all code
// exactly their width is copied as it is coded: its rows go into the page's strip unchanged
// (doubled for fine rows from a normal page, every second one for normal rows from a fine
// page). Any other page is decoded and coded again, centred or cut to 1728 dots, its damaged
// rows white.

#include "faxapp/pages/SffDecoder.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace faxapp {

class FaxTiffFile;

class SffFaxPages {
public:
    // Opens and walks the document; false with error set when it is not an SFF document,
    // cannot be read, or is damaged beyond its pages (cut short, say).
    bool Open(const QString& path, QString& error);
    int PageCount() const { return m_decoder ? m_decoder->PageCount() : 0; }

    // Adds page index to out; false with error set (without the page's number) when the page
    // cannot be read or none of its rows decodes.
    bool WritePage(int index, bool fine, FaxTiffFile& out, QString& error);

private:
    bool CopyPage(bool fine, int badRows, FaxTiffFile& out, QString& error);
    bool RecodePage(int index, bool fine, int badRows, FaxTiffFile& out, QString& error);

    std::unique_ptr<SffDecoder> m_decoder;
    // The page being written: its records, its rows, each coded row's bits of code (-1:
    // damaged) and whether it has black dots, the rows in the order they are sent, its strip.
    QByteArray m_bytes;
    std::vector<SffDecoder::RowRecord> m_rows;
    std::vector<int> m_codeBits;
    std::vector<bool> m_ink;
    std::vector<std::size_t> m_order;
    QByteArray m_strip;
};

} // namespace faxapp
