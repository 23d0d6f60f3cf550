#include "faxapp/ui/PageView.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace faxapp {

namespace {

// A 1-bit image reduced to grey by factor in both directions: each grey pixel is the share of
// black among its factor x factor pixels.
QImage ReduceMono(const QImage& page, int factor) {
    const int width = page.width() / factor;
    const int height = std::max(1, page.height() / factor);
    QImage grey(width, height, QImage::Format_Grayscale8);
    const bool blackIsOne = qGray(page.color(1)) < qGray(page.color(0));
    std::vector<int> sums(static_cast<std::size_t>(width));
    const int area = factor * factor;
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int dy = 0; dy < factor; ++dy) {
            const uchar* bits = page.constScanLine(y * factor + dy);
            for (int x = 0; x < width * factor; ++x)
                sums[static_cast<std::size_t>(x / factor)] += bits[x >> 3] >> (7 - (x & 7)) & 1;
        }
        uchar* line = grey.scanLine(y);
        for (int x = 0; x < width; ++x) {
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
        // Smooth scaling keeps thin strokes of a fax page visible as grey when made smaller.
        // A 1-bit page made smaller is first reduced by whole blocks of pixels straight from
        // its bits: Qt's smooth scaling of a whole fax page takes several times longer.
        const int factor = m_size.width() > 0 ? m_page.width() / m_size.width() : 1;
        const QImage source =
            m_page.depth() == 1 && factor >= 2 ? ReduceMono(m_page, factor) : m_page;
        m_scaled = source.scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    painter.drawImage(event->rect().topLeft(), m_scaled, event->rect());
    if (!m_painted) {
        m_painted = true;
        Q_EMIT FirstPainted();
    }
}

} // namespace faxapp
