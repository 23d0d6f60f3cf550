#include "faxapp/ui/PageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace faxapp {

namespace {

// Black pixels per byte value: a table, as the processors this is built for need not count
// bits in one instruction.
constexpr std::array<uchar, 256> kOnes = [] {
    std::array<uchar, 256> ones{};
    for (std::size_t i = 0; i < ones.size(); ++i)
        ones[i] = static_cast<uchar>(std::popcount(i));
    return ones;
}();

// The part of one byte of a 1-bit row that falls into one grey column.
struct ByteSegment {
    std::size_t column;
    unsigned mask;
};

// Rows top to bottom (exclusive) of grey, a 1-bit page made smaller, that are not done yet:
// each grey pixel is the share of black among the pixels it covers (at least one row), counted
// straight from the bits. The bits are turned so that black is one, which lets the all-white
// bytes that make up most of a fax page be skipped, and each byte's black pixels are counted
// per grey column it covers at once.
void ReduceMono(const QImage& page, QImage& grey, int top, int bottom, std::vector<bool>& done) {
    const int width = grey.width();
    const int height = grey.height();
    const int sourceWidth = page.width();
    const int sourceHeight = page.height();
    const int sourceBytes = (sourceWidth + 7) / 8;
    const uchar toBlack = qGray(page.color(1)) < qGray(page.color(0)) ? 0x00 : 0xFF;
    std::vector<int> columns(static_cast<std::size_t>(width), 0); // pixels per grey column
    std::vector<ByteSegment> segments;
    std::vector<std::size_t> firstSegment(static_cast<std::size_t>(sourceBytes) + 1);
    for (int i = 0; i < sourceBytes; ++i) {
        firstSegment[static_cast<std::size_t>(i)] = segments.size();
        for (int x = i * 8; x < std::min(i * 8 + 8, sourceWidth); ++x) {
            const auto column =
                static_cast<std::size_t>(static_cast<qint64>(x) * width / sourceWidth);
            ++columns[column];
            if (segments.size() == firstSegment[static_cast<std::size_t>(i)] ||
                segments.back().column != column)
                segments.push_back({column, 0});
            segments.back().mask |= 0x80U >> (x & 7);
        }
    }
    firstSegment.back() = segments.size();
    std::vector<int> blacks(static_cast<std::size_t>(width));
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y) {
        if (done[static_cast<std::size_t>(y)])
            continue;
        done[static_cast<std::size_t>(y)] = true;
        const int first = static_cast<int>(static_cast<qint64>(y) * sourceHeight / height);
        const int last = std::max(
            first + 1, static_cast<int>(static_cast<qint64>(y + 1) * sourceHeight / height));
        std::fill(blacks.begin(), blacks.end(), 0);
        for (int sy = first; sy < last && sy < sourceHeight; ++sy) {
            const uchar* bits = page.constScanLine(sy);
            for (std::size_t i = 0; i < static_cast<std::size_t>(sourceBytes); ++i) {
                const unsigned byte = bits[i] ^ toBlack;
                if (byte == 0)
                    continue;
                for (std::size_t s = firstSegment[i]; s < firstSegment[i + 1]; ++s)
                    blacks[segments[s].column] += kOnes[byte & segments[s].mask];
            }
        }
        uchar* line = grey.scanLine(y);
        const int rows = std::min(last, sourceHeight) - first;
        for (int x = 0; x < width; ++x) {
            const int area = std::max(1, columns[static_cast<std::size_t>(x)] * rows);
            line[x] = static_cast<uchar>(255 - blacks[static_cast<std::size_t>(x)] * 255 / area);
        }
    }
}

} // namespace

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PageView::SetPage(const QImage& page, QSize size) {
    if (page.cacheKey() != m_page.cacheKey() || size != m_size)
        m_scaled = QImage();
    m_page = page;
    m_size = size;
    setFixedSize(size);
    update();
}

void PageView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (m_page.isNull())
        return;
    // A 1-bit page made smaller is averaged straight from its bits (Qt's smooth scaling of a
    // whole fax page takes several times as long), and only as far as it is painted, so that
    // the first view of a long page waits for its visible part alone; made larger, its pixels
    // grow.
    const bool reduce = m_page.depth() == 1 && m_size.width() <= m_page.width();
    if (m_scaled.isNull() || m_scaled.size() != m_size) {
        if (reduce) {
            m_scaled = QImage(m_size, QImage::Format_Grayscale8);
            m_reduced.assign(static_cast<std::size_t>(m_size.height()), false);
        } else {
            m_scaled = m_page.scaled(m_size, Qt::IgnoreAspectRatio,
                                     m_page.depth() == 1 ? Qt::FastTransformation
                                                         : Qt::SmoothTransformation);
        }
    }
    if (reduce && !m_scaled.isNull())
        ReduceMono(m_page, m_scaled, event->rect().top(), event->rect().bottom() + 1, m_reduced);
    painter.drawImage(event->rect().topLeft(), m_scaled, event->rect());
    if (!m_painted) {
        m_painted = true;
        Q_EMIT FirstPainted();
    }
}

} // namespace faxapp
