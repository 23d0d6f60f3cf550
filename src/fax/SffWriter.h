#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>

// Builds SFF documents: a document header, pages of coded rows, the end-of-document pair.
// The page converter writes its black-and-white pages with it, and tests build real
// documents with it.
class SffWriter {
public:
    static constexpr int kStandardWidth = 1728; // pixels of an A4 fax row

    // Starts a page; resolution is 98 or 196 lines per inch.
    void BeginPage(int resolution, int lineLength = kStandardWidth);
    // One row of bits, most significant bit first, 1 = black; coded in Modified Huffman.
    void AddBitRow(const unsigned char* bits, int width);
    // One row already coded; rows longer than 216 bytes take an escape record.
    void AddCodedRow(const QByteArray& coded);
    // Blank rows as white-skip records.
    void AddBlankRows(int count);
    // Any record bytes, for documents that must hold unusual records.
    void AddRawRecord(const QByteArray& bytes);

    int PageCount() const { return static_cast<int>(m_pageOffsets.size()); }
    // The document so far, finished with the end-of-document pair.
    QByteArray Finish() const;

    // Modified Huffman code of one row, least significant bit first, padded to whole bytes.
    static QByteArray EncodeRow(const unsigned char* bits, int width);

private:
    QByteArray m_body; // page headers and records, as they follow the document header
    QList<std::int64_t> m_pageOffsets;
    QList<int> m_pageRows;
};
