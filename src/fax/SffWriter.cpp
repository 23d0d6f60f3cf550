#include "fax/SffWriter.h"

#include "fax/ByteOrder.h"
#include "fax/MhCodes.h"
#include "fax/SffFormat.h"

namespace {

using mh::Code;

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
    const auto& term = black ? mh::kBlackTerm : mh::kWhiteTerm;
    const auto& makeUp = black ? mh::kBlackMakeUp : mh::kWhiteMakeUp;
    while (run > 2560) {
        sink.Put(mh::kExtendedMakeUp.back());
        run -= 2560;
    }
    if (run >= 1792) {
        sink.Put(mh::kExtendedMakeUp[static_cast<std::size_t>((run - 1792) / 64)]);
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
