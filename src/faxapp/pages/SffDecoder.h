#pragma once

// The pages of an SFF document: the records are walked once to find the pages, and a page's
// Modified Huffman rows are decoded by libtiff when the page is asked for.

#include "faxapp/pages/PageSource.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <memory>
#include <vector>

class PosixFile;

namespace faxapp {

class SffDecoder final : public PageSource {
public:
    // Walks the document's records; Problem() tells what stopped the walk early.
    explicit SffDecoder(QByteArray bytes);
    // The same on an open file of that length, read through a small window while walking
    // and a page's records when the page is decoded: the first page shows without the whole
    // document read into memory.
    SffDecoder(std::shared_ptr<PosixFile> file, qint64 length);

    int PageCount() const override { return static_cast<int>(m_pages.size()); }
    // A 1-bit image (colour 0 white, 1 black) as wide as the page header says; a normal page's
    // rows are doubled so that it shows at the same aspect as a fine one.
    QImage DecodePage(int index, QString& error) override;
    QString Problem() const override { return m_problem; }
    int BadRows() const override { return m_badRows; }

    // Line length and vertical resolution (98 or 196) of a page's header.
    int PageWidth(int index) const { return m_pages[index].width; }
    int PageResolution(int index) const { return m_pages[index].resolution; }

    // One row of a page as the records give it: coded bytes, or white.
    struct RowRecord {
        qsizetype at = 0; // offset of the coded bytes in the page's records
        int length = 0;   // coded bytes; 0: a blank row; -1: a row the sender marked as damaged
    };
    // Reads the records of page index into bytes and lists its rows, for callers that use
    // the coded rows as they are; false with error set when the page cannot be read.
    bool PageRows(int index, QByteArray& bytes, std::vector<RowRecord>& rows, QString& error);

private:
    struct Page {
        qsizetype header = 0; // offset of the FE marker
        qsizetype begin = 0;  // first record
        qsizetype end = 0;    // after the last record
        int width = 0;
        int resolution = 196;
        int coding = 0;
        int rows = 0;
    };

    // Bytes read at an offset into buffer, fewer at the end; -1 on an error.
    using ReadFunction = std::function<qsizetype(qsizetype offset, qsizetype size, char* buffer)>;

    void Index();
    bool StartPage(qsizetype at, const unsigned char* header, qsizetype length);

    ReadFunction m_read;
    qsizetype m_size = 0;
    QList<Page> m_pages;
    QString m_problem;
    int m_badRows = 0;
};

} // namespace faxapp
