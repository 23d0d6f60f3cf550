#include "faxapp/ui/PageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace faxapp {

namespace {

// A 1-bit image made smaller as grey: each grey pixel is the share of black among the pixels
// it covers (at least one row), counted straight from the bits.
QImage ReduceMono(const QImage& page, QSize size) {
    const int width = size.width();
    const int height = size.height();
    const int sourceWidth = page.width();
    const int sourceHeight = page.height();
    QImage grey(width, height, QImage::Format_Grayscale8);
    const bool blackIsOne = qGray(page.color(1)) < qGray(page.color(0));
    std::vector<int> column(static_cast<std::size_t>(sourceWidth)); // its grey column
    std::vector<int> columns(static_cast<std::size_t>(width), 0);   // pixels per grey column
    for (int x = 0; x < sourceWidth; ++x) {
        column[static_cast<std::size_t>(x)] =
            static_cast<int>(static_cast<qint64>(x) * width / sourceWidth);
        ++columns[static_cast<std::size_t>(column[static_cast<std::size_t>(x)])];
    }
    std::vector<int> sums(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        const int first = static_cast<int>(static_cast<qint64>(y) * sourceHeight / height);
        const int last = std::max(
            first + 1, static_cast<int>(static_cast<qint64>(y + 1) * sourceHeight / height));
        std::fill(sums.begin(), sums.end(), 0);
        for (int sy = first; sy < last && sy < sourceHeight; ++sy) {
            const uchar* bits = page.constScanLine(sy);
            for (int x = 0; x < sourceWidth; ++x)
                sums[static_cast<std::size_t>(column[static_cast<std::size_t>(x)])] +=
                    bits[x >> 3] >> (7 - (x & 7)) & 1;
        }
        uchar* line = grey.scanLine(y);
        const int rows = std::min(last, sourceHeight) - first;
        for (int x = 0; x < width; ++x) {
            const int area = std::max(1, columns[static_cast<std::size_t>(x)] * rows);
            const int ones = sums[static_cast<std::size_t>(x)];
            const int black = blackIsOne ? ones : area - ones;
            line[x] = static_cast<uchar>(255 - black * 255 / area);
        }
    }
    return grey;
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
    if (m_scaled.isNull() || m_scaled.size() != m_size) {
        // A 1-bit page made smaller is averaged straight from its bits (Qt's smooth scaling
        // of a whole fax page takes several times as long); made larger, its pixels grow.
        if (m_page.depth() == 1 && m_size.width() <= m_page.width())
            m_scaled = ReduceMono(m_page, m_size);
        else
            m_scaled = m_page.scaled(m_size, Qt::IgnoreAspectRatio,
                                     m_page.depth() == 1 ? Qt::FastTransformation
                                                         : Qt::SmoothTransformation);
    }
    painter.drawImage(event->rect().topLeft(), m_scaled, event->rect());
    if (!m_painted) {
        m_painted = true;
        Q_EMIT FirstPainted();
    }
}

} // namespace faxapp
