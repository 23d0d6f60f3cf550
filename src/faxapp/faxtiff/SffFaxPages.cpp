#include "faxapp/faxtiff/SffFaxPages.h"

#include "fax/PosixFile.h"
#include "fax/SffWriter.h"
#include "faxapp/faxtiff/FaxTiffFile.h"
#include "faxapp/faxtiff/MhRowScanner.h"
#include "faxapp/pages/PrintPages.h"

#include <cerrno>
#include <cstring>

namespace faxapp {

namespace {

// The end-of-line code, its last bit on a byte boundary, lowest bit first: eleven zeros and
// a one after four fill bits.
constexpr char kEndOfLine[] = {'\x00', '\x80'};

const QByteArray& WhiteRow() {
    static const QByteArray row = [] {
        const std::vector<unsigned char> white(FaxTiffFile::kRowBytes, 0);
        return SffWriter::EncodeRow(white.data(), FaxTiffFile::kWidth);
    }();
    return row;
}

} // namespace

bool SffFaxPages::Open(const QString& path, QString& error) {
    auto file = std::make_shared<PosixFile>();
    if (!file->OpenRegular(path)) {
        error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    const std::int64_t length = file->Length();
    if (length < 0 || length > PrintPages::kMaxFileSize) {
        error = QStringLiteral("%1: unreadable or larger than %2 MiB")
                    .arg(path)
                    .arg(PrintPages::kMaxFileSize >> 20);
        return false;
    }
    m_decoder = std::make_unique<SffDecoder>(std::move(file), length);
    const QString problem = m_decoder->Problem();
    if (problem.isEmpty())
        return true;
    // A document cut short or damaged after its readable pages is not sent in part.
    if (problem.startsWith(u"page "))
        error = problem;
    else if (m_decoder->PageCount() == 0)
        error = QStringLiteral("%1: %2").arg(path, problem);
    else // the walk stopped in the last page it found
        error = QStringLiteral("page %1: %2").arg(m_decoder->PageCount()).arg(problem);
    m_decoder.reset();
    return false;
}

bool SffFaxPages::WritePage(int index, bool fine, FaxTiffFile& out, QString& error) {
    if (!m_decoder->PageRows(index, m_bytes, m_rows, error))
        return false;
    const auto* data = reinterpret_cast<const unsigned char*>(m_bytes.constData());
    const int width = m_decoder->PageWidth(index);
    m_codeBits.assign(m_rows.size(), 0);
    m_ink.assign(m_rows.size(), false);
    int coded = 0;
    int damaged = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const SffDecoder::RowRecord& row = m_rows[i];
        if (row.length <= 0)
            continue;
        ++coded;
        bool white = false;
        m_codeBits[i] = MhRowScanner::CodeBits(data + row.at, row.length, width, &white);
        damaged += m_codeBits[i] < 0 ? 1 : 0;
        m_ink[i] = m_codeBits[i] > 0 && !white;
    }
    if (coded > 0 && damaged == coded) {
        error = QStringLiteral("none of its %1 coded rows decodes").arg(coded);
        return false;
    }
    // The page's rows as sent, as rows of the document: a normal page's rows twice for fine
    // rows, every second row of a fine page for normal rows; white rows beyond an A4 page
    // left out.
    const bool sourceFine = m_decoder->PageResolution(index) == 196;
    const std::size_t step = sourceFine && !fine ? 2 : 1;
    const int repeat = !sourceFine && fine ? 2 : 1;
    m_order.clear();
    for (std::size_t i = 0; i < m_rows.size(); i += step)
        m_order.insert(m_order.end(), static_cast<std::size_t>(repeat), i);
    const auto a4 = static_cast<std::size_t>(FaxTiffFile::A4Rows(fine));
    while (m_order.size() > a4 && !m_ink[m_order.back()])
        m_order.pop_back();
    int badRows = 0;
    bool copyable = width == FaxTiffFile::kWidth;
    for (const std::size_t i : m_order) {
        badRows += m_rows[i].length < 0 || m_codeBits[i] < 0 ? 1 : 0;
        copyable = copyable && m_codeBits[i] >= 0;
    }
    return copyable ? CopyPage(fine, badRows, out, error)
                    : RecodePage(index, fine, badRows, out, error);
}

bool SffFaxPages::CopyPage(bool fine, int badRows, FaxTiffFile& out, QString& error) {
    const QByteArray& white = WhiteRow();
    m_strip.clear();
    m_strip.reserve(m_bytes.size() * 2 + static_cast<qsizetype>(m_order.size()) * 5);
    int rows = 0;
    const auto putRow = [&](const char* code, int bits) {
        m_strip.append(kEndOfLine, sizeof kEndOfLine);
        m_strip.append(code, (bits + 7) / 8);
        if (bits % 8 != 0) // bits after the row's last code are not sent
            m_strip.back() = static_cast<char>(m_strip.back() & ((1 << bits % 8) - 1));
        ++rows;
    };
    for (const std::size_t i : m_order) {
        if (m_rows[i].length > 0)
            putRow(m_bytes.constData() + m_rows[i].at, m_codeBits[i]);
        else
            putRow(white.constData(), static_cast<int>(white.size()) * 8);
    }
    if (rows == 0) // a page without rows is sent as one white row
        putRow(white.constData(), static_cast<int>(white.size()) * 8);
    return out.AddCodedPage(m_strip, rows, fine, badRows, error);
}

bool SffFaxPages::RecodePage(int index, bool fine, int badRows, FaxTiffFile& out, QString& error) {
    // Decoded with fine rows (a normal page's doubled), centred on the fax row or cut to it.
    QImage page = m_decoder->DecodePage(index, error);
    if (page.isNull())
        return false;
    page =
        page.copy((page.width() - FaxTiffFile::kWidth) / 2, 0, FaxTiffFile::kWidth, page.height());
    if (page.isNull()) {
        error = QStringLiteral("out of memory");
        return false;
    }
    const int step = fine ? 1 : 2;
    const int rows = (page.height() + step - 1) / step;
    return out.AddPage([&](int y) { return page.constScanLine(y * step); }, rows, fine, badRows,
                       error);
}

} // namespace faxapp
