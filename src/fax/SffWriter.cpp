#include "fax/SffWriter.h"

#include "fax/ByteOrder.h"
#include "fax/SffFormat.h"

#include <array>

namespace {

struct Code {
    std::uint16_t bits; // the code, first bit sent as the most significant of its length
    std::uint8_t length;
};

// Terminating codes for runs of 0 to 63 pixels.
constexpr std::array<Code, 64> kWhiteTerm = {{
    {0x35, 8}, {0x07, 6}, {0x07, 4}, {0x08, 4}, {0x0B, 4}, {0x0C, 4}, {0x0E, 4}, {0x0F, 4},
    {0x13, 5}, {0x14, 5}, {0x07, 5}, {0x08, 5}, {0x08, 6}, {0x03, 6}, {0x34, 6}, {0x35, 6},
    {0x2A, 6}, {0x2B, 6}, {0x27, 7}, {0x0C, 7}, {0x08, 7}, {0x17, 7}, {0x03, 7}, {0x04, 7},
    {0x28, 7}, {0x2B, 7}, {0x13, 7}, {0x24, 7}, {0x18, 7}, {0x02, 8}, {0x03, 8}, {0x1A, 8},
    {0x1B, 8}, {0x12, 8}, {0x13, 8}, {0x14, 8}, {0x15, 8}, {0x16, 8}, {0x17, 8}, {0x28, 8},
    {0x29, 8}, {0x2A, 8}, {0x2B, 8}, {0x2C, 8}, {0x2D, 8}, {0x04, 8}, {0x05, 8}, {0x0A, 8},
    {0x0B, 8}, {0x52, 8}, {0x53, 8}, {0x54, 8}, {0x55, 8}, {0x24, 8}, {0x25, 8}, {0x58, 8},
    {0x59, 8}, {0x5A, 8}, {0x5B, 8}, {0x4A, 8}, {0x4B, 8}, {0x32, 8}, {0x33, 8}, {0x34, 8},
}};

constexpr std::array<Code, 64> kBlackTerm = {{
    {0x37, 10}, {0x02, 3},  {0x03, 2},  {0x02, 2},  {0x03, 3},  {0x03, 4},  {0x02, 4},  {0x03, 5},
    {0x05, 6},  {0x04, 6},  {0x04, 7},  {0x05, 7},  {0x07, 7},  {0x04, 8},  {0x07, 8},  {0x18, 9},
    {0x17, 10}, {0x18, 10}, {0x08, 10}, {0x67, 11}, {0x68, 11}, {0x6C, 11}, {0x37, 11}, {0x28, 11},
    {0x17, 11}, {0x18, 11}, {0xCA, 12}, {0xCB, 12}, {0xCC, 12}, {0xCD, 12}, {0x68, 12}, {0x69, 12},
    {0x6A, 12}, {0x6B, 12}, {0xD2, 12}, {0xD3, 12}, {0xD4, 12}, {0xD5, 12}, {0xD6, 12}, {0xD7, 12},
    {0x6C, 12}, {0x6D, 12}, {0xDA, 12}, {0xDB, 12}, {0x54, 12}, {0x55, 12}, {0x56, 12}, {0x57, 12},
    {0x64, 12}, {0x65, 12}, {0x52, 12}, {0x53, 12}, {0x24, 12}, {0x37, 12}, {0x38, 12}, {0x27, 12},
    {0x28, 12}, {0x58, 12}, {0x59, 12}, {0x2B, 12}, {0x2C, 12}, {0x5A, 12}, {0x66, 12}, {0x67, 12},
}};

// Make-up codes for runs of 64, 128, ... 1728 pixels.
constexpr std::array<Code, 27> kWhiteMakeUp = {{
    {0x1B, 5}, {0x12, 5}, {0x17, 6}, {0x37, 7}, {0x36, 8}, {0x37, 8}, {0x64, 8},
    {0x65, 8}, {0x68, 8}, {0x67, 8}, {0xCC, 9}, {0xCD, 9}, {0xD2, 9}, {0xD3, 9},
    {0xD4, 9}, {0xD5, 9}, {0xD6, 9}, {0xD7, 9}, {0xD8, 9}, {0xD9, 9}, {0xDA, 9},
    {0xDB, 9}, {0x98, 9}, {0x99, 9}, {0x9A, 9}, {0x18, 6}, {0x9B, 9},
}};

constexpr std::array<Code, 27> kBlackMakeUp = {{
    {0x0F, 10}, {0xC8, 12}, {0xC9, 12}, {0x5B, 12}, {0x33, 12}, {0x34, 12}, {0x35, 12},
    {0x6C, 13}, {0x6D, 13}, {0x4A, 13}, {0x4B, 13}, {0x4C, 13}, {0x4D, 13}, {0x72, 13},
    {0x73, 13}, {0x74, 13}, {0x75, 13}, {0x76, 13}, {0x77, 13}, {0x52, 13}, {0x53, 13},
    {0x54, 13}, {0x55, 13}, {0x5A, 13}, {0x5B, 13}, {0x64, 13}, {0x65, 13},
}};

// Make-up codes for 1792 to 2560 pixels, the same for both colours.
constexpr std::array<Code, 13> kExtendedMakeUp = {{
    {0x08, 11},
    {0x0C, 11},
    {0x0D, 11},
    {0x12, 12},
    {0x13, 12},
    {0x14, 12},
    {0x15, 12},
    {0x16, 12},
    {0x17, 12},
    {0x1C, 12},
    {0x1D, 12},
    {0x1E, 12},
    {0x1F, 12},
}};

// Collects codes least significant bit first: a code's first bit lands in bit 0 of a byte.
class BitSink {
public:
    void Put(Code code) {
        for (int i = code.length - 1; i >= 0; --i) {
            if (code.bits >> i & 1)
                m_current = static_cast<unsigned char>(m_current | 1u << m_used);
            if (++m_used == 8)
                Flush();
        }
    }
    QByteArray Take() {
        if (m_used > 0)
            Flush();
        return m_out;
    }

private:
    void Flush() {
        m_out.append(static_cast<char>(m_current));
        m_current = 0;
        m_used = 0;
    }
    QByteArray m_out;
    unsigned char m_current = 0;
    int m_used = 0;
};

void PutRun(BitSink& sink, int run, bool black) {
    const auto& term = black ? kBlackTerm : kWhiteTerm;
    const auto& makeUp = black ? kBlackMakeUp : kWhiteMakeUp;
    while (run > 2560) {
        sink.Put(kExtendedMakeUp.back());
        run -= 2560;
    }
    if (run >= 1792) {
        sink.Put(kExtendedMakeUp[static_cast<std::size_t>((run - 1792) / 64)]);
        run %= 64;
    } else if (run >= 64) {
        sink.Put(makeUp[static_cast<std::size_t>(run / 64 - 1)]);
        run %= 64;
    }
    sink.Put(term[static_cast<std::size_t>(run)]);
}

void SetLe16(QByteArray& out, qsizetype at, std::uint32_t value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

void SetLe32(QByteArray& out, qsizetype at, std::uint32_t value) {
    SetLe16(out, at, value & 0xFFFF);
    SetLe16(out, at + 2, value >> 16);
}

constexpr int kPageHeaderLength = 16; // bytes after the marker and the length byte

} // namespace

QByteArray SffWriter::EncodeRow(const unsigned char* bits, int width) {
    BitSink sink;
    bool black = false; // every row begins with a white run, of length 0 if need be
    int x = 0;
    while (x < width) {
        int run = 0;
        while (x < width && ((bits[x / 8] >> (7 - x % 8) & 1) != 0) == black) {
            ++run;
            ++x;
        }
        PutRun(sink, run, black);
        black = !black;
    }
    if (width <= 0)
        PutRun(sink, 0, false);
    return sink.Take();
}

void SffWriter::BeginPage(int resolution, int lineLength) {
    m_pageOffsets.append(sff::kDocumentHeaderSize + m_body.size());
    m_pageRows.append(0);
    m_body.append(static_cast<char>(sff::kPageHeaderMarker));
    m_body.append(static_cast<char>(kPageHeaderLength));
    m_body.append(static_cast<char>(resolution == 98 ? 0 : 1)); // vertical resolution
    m_body.append('\0');                                        // horizontal: 203 dpi
    m_body.append('\0');                                        // coding: Modified Huffman
    m_body.append('\0');                                        // reserved
    PutLe16(m_body, static_cast<std::uint32_t>(lineLength));
    PutLe16(m_body, 0); // rows, set by Finish
    PutLe32(m_body, 1); // previous page, set by Finish
    PutLe32(m_body, 1); // next page, set by Finish
}

void SffWriter::AddBitRow(const unsigned char* bits, int width) {
    AddCodedRow(EncodeRow(bits, width));
}

void SffWriter::AddCodedRow(const QByteArray& coded) {
    if (coded.isEmpty()) {
        AddBlankRows(1);
        return;
    }
    if (coded.size() <= sff::kLastShortRecord) {
        m_body.append(static_cast<char>(coded.size()));
    } else {
        m_body.append(static_cast<char>(sff::kEscapeRecord));
        PutLe16(m_body, static_cast<std::uint32_t>(coded.size() & 0xFFFF));
    }
    m_body.append(coded.left(0xFFFF));
    if (!m_pageRows.isEmpty())
        ++m_pageRows.last();
}

void SffWriter::AddBlankRows(int count) {
    constexpr int kMaxSkip = sff::kLastWhiteSkip - sff::kLastShortRecord;
    while (count > 0) {
        const int n = count < kMaxSkip ? count : kMaxSkip;
        m_body.append(static_cast<char>(sff::kLastShortRecord + n));
        if (!m_pageRows.isEmpty())
            m_pageRows.last() += n;
        count -= n;
    }
}

void SffWriter::AddRawRecord(const QByteArray& bytes) {
    m_body.append(bytes);
}

QByteArray SffWriter::Finish() const {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(sff::kDocumentHeaderSize) + m_body.size() + 2);
    out.append("Sfff", 4);
    out.append('\x01'); // version
    out.append('\0');   // reserved
    PutLe16(out, 0);    // user information
    PutLe16(out, static_cast<std::uint32_t>(m_pageOffsets.size()));
    PutLe16(out, m_pageOffsets.isEmpty() ? 0u : static_cast<std::uint32_t>(m_pageOffsets[0]));
    PutLe32(out, m_pageOffsets.isEmpty() ? 0u : static_cast<std::uint32_t>(m_pageOffsets.last()));
    PutLe32(out, static_cast<std::uint32_t>(sff::kDocumentHeaderSize + m_body.size()));
    out.append(m_body);
    for (qsizetype i = 0; i < m_pageOffsets.size(); ++i) {
        const qsizetype at = m_pageOffsets[i];
        SetLe16(out, at + 8, static_cast<std::uint32_t>(m_pageRows[i]));
        const std::int64_t previous = i == 0 ? 1 : at - m_pageOffsets[i - 1];
        const std::int64_t next = i + 1 == m_pageOffsets.size() ? 1 : m_pageOffsets[i + 1] - at;
        SetLe32(out, at + 10, static_cast<std::uint32_t>(previous));
        SetLe32(out, at + 14, static_cast<std::uint32_t>(next));
    }
    out.append(static_cast<char>(sff::kPageHeaderMarker));
    out.append('\0');
    return out;
}
