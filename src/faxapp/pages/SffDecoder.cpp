#include "faxapp/pages/SffDecoder.h"

#include "fax/ByteOrder.h"
#include "fax/PosixFile.h"
#include "fax/SffFormat.h"
#include "fax/SffRecords.h"
#include "faxapp/pages/MemoryTiff.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace faxapp {

namespace {

constexpr int kCodingModifiedHuffman = 0;

int Le16(const unsigned char* bytes) {
    return bytes[0] | bytes[1] << 8;
}

// Reads the document in order through a window of its bytes.
class Cursor {
public:
    using ReadFunction = std::function<qsizetype(qsizetype, qsizetype, char*)>;
    explicit Cursor(const ReadFunction& read) : m_read(read), m_window(kWindow) {}

    // The byte at; the caller knows it lies inside the document. -1 when it cannot be read.
    int At(qsizetype at) {
        if (at < m_base || at >= m_base + m_length) {
            m_base = at;
            m_length = std::max<qsizetype>(0, m_read(at, kWindow, m_window.data()));
            if (m_length == 0)
                return -1;
        }
        return static_cast<unsigned char>(m_window[static_cast<std::size_t>(at - m_base)]);
    }

private:
    static constexpr qsizetype kWindow = qsizetype{64} * 1024;
    const ReadFunction& m_read;
    std::vector<char> m_window;
    qsizetype m_base = 0;
    qsizetype m_length = 0;
};

using RowRecord = SffDecoder::RowRecord;

void PutEntry(QByteArray& out, int tag, int type, std::uint32_t count, std::uint32_t value) {
    PutLe16(out, static_cast<std::uint32_t>(tag));
    PutLe16(out, static_cast<std::uint32_t>(type));
    PutLe32(out, count);
    if (type == TIFF_SHORT && count == 1) {
        PutLe16(out, value);
        PutLe16(out, 0);
    } else {
        PutLe32(out, value);
    }
}

// A TIFF in memory whose strips are the coded rows, one row each, coded as TIFF's CCITT RLE:
// Modified Huffman rows without end-of-line codes, each starting on a byte, least significant
// bit first, which is how SFF stores its rows.
QByteArray RowsAsTiff(const QByteArray& sff, const std::vector<RowRecord>& rows, int width,
                      std::uint32_t codedRows) {
    QByteArray out("II*\0\0\0\0\0", 8);
    std::vector<std::uint32_t> offsets;
    std::vector<std::uint32_t> counts;
    offsets.reserve(codedRows);
    counts.reserve(codedRows);
    for (const RowRecord& row : rows) {
        if (row.length <= 0)
            continue;
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        counts.push_back(static_cast<std::uint32_t>(row.length));
        out.append(sff.constData() + row.at, row.length);
    }
    while (out.size() % 4 != 0)
        out.append('\0');
    const auto offsetsAt = static_cast<std::uint32_t>(out.size());
    for (const std::uint32_t offset : offsets)
        PutLe32(out, offset);
    const auto countsAt = static_cast<std::uint32_t>(out.size());
    for (const std::uint32_t count : counts)
        PutLe32(out, count);
    const auto ifdAt = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) // the header's pointer to the directory
        out[4 + i] = static_cast<char>(ifdAt >> (8 * i) & 0xFF);
    constexpr int kEntries = 10;
    PutLe16(out, kEntries);
    PutEntry(out, TIFFTAG_IMAGEWIDTH, TIFF_LONG, 1, static_cast<std::uint32_t>(width));
    PutEntry(out, TIFFTAG_IMAGELENGTH, TIFF_LONG, 1, codedRows);
    PutEntry(out, TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, 1, 1);
    PutEntry(out, TIFFTAG_COMPRESSION, TIFF_SHORT, 1, COMPRESSION_CCITTRLE);
    PutEntry(out, TIFFTAG_PHOTOMETRIC, TIFF_SHORT, 1, PHOTOMETRIC_MINISWHITE);
    PutEntry(out, TIFFTAG_FILLORDER, TIFF_SHORT, 1, FILLORDER_LSB2MSB);
    // A single strip's offset and count stand in the entry itself.
    PutEntry(out, TIFFTAG_STRIPOFFSETS, TIFF_LONG, codedRows,
             codedRows == 1 ? offsets[0] : offsetsAt);
    PutEntry(out, TIFFTAG_SAMPLESPERPIXEL, TIFF_SHORT, 1, 1);
    PutEntry(out, TIFFTAG_ROWSPERSTRIP, TIFF_LONG, 1, 1);
    PutEntry(out, TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG, codedRows,
             codedRows == 1 ? counts[0] : countsAt);
    PutLe32(out, 0);
    return out;
}

} // namespace

SffDecoder::SffDecoder(QByteArray bytes) : m_size(bytes.size()) {
    m_read = [bytes = std::move(bytes)](qsizetype offset, qsizetype size, char* buffer) {
        const qsizetype n = std::clamp<qsizetype>(bytes.size() - offset, 0, size);
        std::memcpy(buffer, bytes.constData() + offset, static_cast<std::size_t>(n));
        return n;
    };
    Index();
}

SffDecoder::SffDecoder(std::shared_ptr<PosixFile> file, qint64 length) : m_size(length) {
    m_read = [file = std::move(file)](qsizetype offset, qsizetype size, char* buffer) {
        return static_cast<qsizetype>(file->ReadAt(buffer, static_cast<std::size_t>(size), offset));
    };
    Index();
}

bool SffDecoder::StartPage(qsizetype at, const unsigned char* header, qsizetype length) {
    if (!m_pages.isEmpty())
        m_pages.last().end = at;
    const int number = static_cast<int>(m_pages.size()) + 1;
    // Vertical and horizontal resolution, coding, a reserved byte, line length, page length.
    if (length < 8) {
        m_problem =
            QStringLiteral("page %1: header of %2 bytes is too short").arg(number).arg(length);
        return false;
    }
    Page page;
    page.header = at;
    page.begin = at + 2 + length;
    page.end = page.begin;
    const int vertical = header[2];
    page.coding = header[4];
    page.width = Le16(header + 6);
    if (vertical > 1) {
        m_problem =
            QStringLiteral("page %1: unknown vertical resolution %2").arg(number).arg(vertical);
        return false;
    }
    page.resolution = vertical == 0 ? 98 : 196;
    if (page.coding != kCodingModifiedHuffman) {
        m_problem = QStringLiteral("page %1: unsupported coding %2").arg(number).arg(page.coding);
        return false;
    }
    if (page.width <= 0 || page.width > kMaxPageWidth) {
        m_problem = QStringLiteral("page %1: line length %2 is out of range (1 to %3)")
                        .arg(number)
                        .arg(page.width)
                        .arg(kMaxPageWidth);
        return false;
    }
    if (number > kMaxPages) {
        m_problem = QStringLiteral("more than %1 pages").arg(kMaxPages);
        return false;
    }
    m_pages.append(page);
    return true;
}

void SffDecoder::Index() {
    const qsizetype size = m_size;
    unsigned char data[sff::kDocumentHeaderSize] = {};
    if (size < static_cast<qsizetype>(sff::kDocumentHeaderSize) ||
        m_read(0, sizeof data, reinterpret_cast<char*>(data)) != sizeof data ||
        (data[0] != 'S' && data[0] != 'F') || data[1] != 'f' || data[2] != 'f' || data[3] != 'f') {
        m_problem = QStringLiteral("not an SFF document (no SFF header)");
        return;
    }
    qsizetype at = sff::FirstPageOffset(data);
    if (at < static_cast<qsizetype>(sff::kDocumentHeaderSize) || at >= size) {
        m_problem = QStringLiteral("the first page offset %1 lies outside the file").arg(at);
        return;
    }
    const auto truncated = [&] {
        m_problem = QStringLiteral("the file ends inside a record at byte %1").arg(at);
    };
    bool ended = false;
    Cursor cursor(m_read);
    const auto byteAt = [&cursor](qsizetype k) { return cursor.At(k); };
    using Type = sff::Record::Type;
    while (at < size) {
        if (m_pages.isEmpty() && cursor.At(at) != sff::kPageHeaderMarker) {
            m_problem = QStringLiteral("no page header at byte %1").arg(at);
            return;
        }
        const auto record = sff::ReadRecord(byteAt, at, size);
        if (!record)
            return truncated();
        if (record->type == Type::DocumentEnd) {
            ended = true;
            break;
        }
        if (record->type == Type::PageHeader) {
            unsigned char header[2 + 255] = {};
            for (qsizetype i = 0; i < record->next - at; ++i)
                header[i] = static_cast<unsigned char>(cursor.At(at + i));
            if (!StartPage(at, header, record->length))
                return;
            at = record->next;
            continue;
        }
        Page& page = m_pages.last();
        if (record->type == Type::BlankRows)
            page.rows += static_cast<int>(record->length);
        else if (record->type != Type::UserInfo)
            ++page.rows;
        if (page.rows > kMaxPageRows) {
            m_problem = QStringLiteral("page %1 has more than %2 rows")
                            .arg(m_pages.size())
                            .arg(kMaxPageRows);
            m_pages.removeLast();
            return;
        }
        at = record->next;
        page.end = at;
    }
    if (!m_pages.isEmpty() && !ended)
        m_problem = QStringLiteral("the document has no end mark (cut short?)");
    if (m_pages.isEmpty() && m_problem.isEmpty())
        m_problem = QStringLiteral("the document has no pages");
}

bool SffDecoder::PageRows(int index, QByteArray& bytes, std::vector<RowRecord>& rows,
                          QString& error) {
    rows.clear();
    if (index < 0 || index >= m_pages.size()) {
        error = QStringLiteral("no page %1").arg(index + 1);
        return false;
    }
    const Page& page = m_pages[index];
    // The page's records; the file may have changed since the walk, so every record is
    // checked against what was read.
    bytes.resize(page.end - page.begin);
    if (m_read(page.begin, bytes.size(), bytes.data()) != bytes.size()) {
        error = QStringLiteral("page %1 cannot be read (the file changed?)").arg(index + 1);
        return false;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    rows.reserve(static_cast<std::size_t>(page.rows));
    const auto byteAt = [data](qsizetype k) -> int { return data[k]; };
    using Type = sff::Record::Type;
    for (qsizetype at = 0; at < size;) {
        const auto record = sff::ReadRecord(byteAt, at, size);
        if (record && record->type == Type::Row)
            rows.push_back({record->data, static_cast<int>(record->length)});
        else if (record && record->type == Type::BadRow)
            rows.push_back({at, -1});
        else if (record && record->type == Type::BlankRows)
            rows.insert(rows.end(), static_cast<std::size_t>(record->length), RowRecord{at, 0});
        if (!record || record->type == Type::PageHeader || record->type == Type::DocumentEnd ||
            rows.size() > static_cast<std::size_t>(kMaxPageRows)) {
            error = QStringLiteral("page %1 changed since the file was opened").arg(index + 1);
            return false;
        }
        at = record->next;
    }
    return true;
}

QImage SffDecoder::DecodePage(int index, QString& error) {
    QByteArray bytes;
    std::vector<RowRecord> rows;
    if (!PageRows(index, bytes, rows, error))
        return {};
    const Page& page = m_pages[index];
    std::uint32_t codedRows = 0;
    for (const RowRecord& row : rows)
        codedRows += row.length > 0 ? 1 : 0;

    const int factor = page.resolution == 98 ? 2 : 1;
    const int height = static_cast<int>(rows.size()) * factor;
    QImage image(page.width, height > 0 ? height : 1, QImage::Format_Mono);
    if (image.isNull()) {
        error = QStringLiteral("page %1: out of memory").arg(index + 1);
        return {};
    }
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    image.fill(0);
    image.setDotsPerMeterX(kFaxDotsPerMetreX);
    image.setDotsPerMeterY(kFaxDotsPerMetreY);

    std::unique_ptr<MemoryTiff> tiff;
    if (codedRows > 0) {
        tiff = std::make_unique<MemoryTiff>(RowsAsTiff(bytes, rows, page.width, codedRows));
        if (!tiff->Open()) {
            error = QStringLiteral("page %1: %2").arg(index + 1).arg(tiff->Error());
            return {};
        }
    }
    const auto rowBytes = static_cast<tmsize_t>((page.width + 7) / 8);
    tstrip_t strip = 0;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        const RowRecord& row = rows[y];
        uchar* line = image.scanLine(static_cast<int>(y) * factor);
        if (row.length < 0) {
            ++m_badRows;
            continue;
        }
        if (row.length == 0)
            continue;
        tiff->ClearMessages();
        if (TIFFReadEncodedStrip(tiff->Handle(), strip++, line, rowBytes) != rowBytes ||
            tiff->HadMessage()) {
            // A row that does not decode to exactly its width is shown white.
            std::memset(line, 0, static_cast<std::size_t>(rowBytes));
            ++m_badRows;
        }
        if (factor == 2)
            std::memcpy(image.scanLine(static_cast<int>(y) * 2 + 1), line,
                        static_cast<std::size_t>(rowBytes));
    }
    return image;
}

} // namespace faxapp
