#include "faxapp/ui/PageView.h"

#include <QPaintEvent>
#include <QPainter>

namespace faxapp {

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
        m_scaled = m_page.scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    painter.drawImage(event->rect().topLeft(), m_scaled, event->rect());
    if (!m_painted) {
        m_painted = true;
        Q_EMIT FirstPainted();
    }
}

} // namespace faxapp
