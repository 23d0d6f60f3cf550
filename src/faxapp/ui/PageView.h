#pragma once

// One page, drawn scaled to the size the viewer asks for. It reports its first painting, so
// that tests and the start-up benchmark can tell when a page is really on the screen.

#include <QImage>
#include <QWidget>
#include <vector>

namespace faxapp {

class PageView final : public QWidget {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr);

    // The page and the size to draw it at (pixels on the screen).
    void SetPage(const QImage& page, QSize size);
    QSize sizeHint() const override { return m_size; }

Q_SIGNALS:
    void FirstPainted();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_page;
    QImage m_scaled;             // m_page at m_size, made when first painted at that size
    std::vector<bool> m_reduced; // the rows of m_scaled made so far, when reduced from 1 bit
    QSize m_size;
    bool m_painted = false;
};

} // namespace faxapp
