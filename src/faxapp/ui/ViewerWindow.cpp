#include "faxapp/ui/ViewerWindow.h"

#include "faxapp/ui/HelpMenu.h"
#include "faxapp/ui/PageView.h"
#include "platform/ManualHelp.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <cmath>

namespace faxapp {

namespace {

constexpr int kCachedPages = 8;
constexpr double kZoomStep = 1.25;
constexpr double kMinZoom = 0.05;
constexpr double kMaxZoom = 8.0;

} // namespace

ViewerWindow::ViewerWindow(std::unique_ptr<PrintPages> pages, const QString& fileName,
                           QWidget* parent)
    : QMainWindow(parent), m_pages(std::move(pages)) {
    setWindowTitle(QStringLiteral("%1 \u2013 KALMO!fax Viewer").arg(fileName));
    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new PageView;
    m_scroll->setWidget(m_view);
    m_scroll->installEventFilter(this);
    setCentralWidget(m_scroll);

    QToolBar* bar = addToolBar(QStringLiteral("Pages"));
    bar->setObjectName(QStringLiteral("pageBar"));
    bar->setMovable(false);
    const auto add = [&](const QString& text, const char* name, auto slot) {
        QAction* action = bar->addAction(text, this, slot);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    add(QStringLiteral("|<"), "actionFirst", &ViewerWindow::FirstPage)
        ->setToolTip(tr("First page"));
    add(QStringLiteral("<"), "actionPrevious", &ViewerWindow::PreviousPage)
        ->setToolTip(tr("Previous page (Page Up)"));
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setObjectName(QStringLiteral("pageNumber"));
    m_pageBox->setRange(1, m_pages->PageCount());
    m_pageBox->setKeyboardTracking(false);
    bar->addWidget(m_pageBox);
    bar->addWidget(new QLabel(tr(" of %1 ").arg(m_pages->PageCount()), bar));
    add(QStringLiteral(">"), "actionNext", &ViewerWindow::NextPage)
        ->setToolTip(tr("Next page (Page Down)"));
    add(QStringLiteral(">|"), "actionLast", &ViewerWindow::LastPage)->setToolTip(tr("Last page"));
    bar->addSeparator();
    add(tr("Zoom in"), "actionZoomIn", &ViewerWindow::ZoomIn)->setShortcut(QKeySequence::ZoomIn);
    add(tr("Zoom out"), "actionZoomOut", &ViewerWindow::ZoomOut)
        ->setShortcut(QKeySequence::ZoomOut);
    add(tr("Fit width"), "actionFitWidth", &ViewerWindow::FitWidth);
    AddHelpMenu(*this, manual::kViewer);
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int value) { ShowPage(value - 1); });
    for (const auto& [key, slot] : {std::pair{Qt::Key_PageUp, &ViewerWindow::PreviousPage},
                                    std::pair{Qt::Key_PageDown, &ViewerWindow::NextPage},
                                    std::pair{Qt::Key_Home, &ViewerWindow::FirstPage},
                                    std::pair{Qt::Key_End, &ViewerWindow::LastPage}}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        connect(shortcut, &QShortcut::activated, this, slot);
    }
    m_status = new QLabel(this);
    statusBar()->addWidget(m_status, 1);
    resize(900, 1000);
    ShowPage(0);
}

ViewerWindow::~ViewerWindow() = default;

QImage ViewerWindow::Decoded(int index) {
    if (m_cache.contains(index)) {
        m_recent.removeOne(index);
        m_recent.append(index);
        return m_cache.value(index);
    }
    QImage image = m_pages->Page(index);
    if (image.isNull())
        return image;
    if (m_recent.size() == kCachedPages)
        m_cache.remove(m_recent.takeFirst());
    m_cache.insert(index, image);
    m_recent.append(index);
    return image;
}

void ViewerWindow::ShowPage(int index) {
    if (index < 0 || index >= m_pages->PageCount() || index == m_current)
        return;
    m_current = index;
    m_image = Decoded(index);
    {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setValue(index + 1);
    }
    QString status = tr("Page %1 of %2").arg(index + 1).arg(m_pages->PageCount());
    if (m_image.isNull())
        status = m_pages->Error();
    else if (m_pages->BadRows() > 0)
        status += tr(" \u2013 %1 damaged rows shown white").arg(m_pages->BadRows());
    m_status->setText(status);
    Layout();
    m_scroll->verticalScrollBar()->setValue(0);
    if (m_image.isNull())
        Q_EMIT PageFailed(m_pages->Error());
}

void ViewerWindow::Layout() {
    if (m_image.isNull()) {
        m_view->SetPage(QImage(), QSize(1, 1));
        return;
    }
    // Pixels that are not square (a fax's 204 x 196 dpi) are drawn at their true aspect.
    double aspect = 1.0;
    if (m_image.dotsPerMeterX() > 0 && m_image.dotsPerMeterY() > 0)
        aspect = static_cast<double>(m_image.dotsPerMeterX()) / m_image.dotsPerMeterY();
    if (m_fitWidth) {
        // The scroll area's own width, less room for the vertical scroll bar whether it shows
        // or not, so that the bar coming or going never changes the fitted size.
        const int available = m_scroll->contentsRect().width() - 2;
        const int scrollBar = m_scroll->verticalScrollBar()->sizeHint().width();
        m_zoom = static_cast<double>(std::max(available - scrollBar, 50)) / m_image.width();
    }
    const QSize size(
        std::max(1, static_cast<int>(std::lround(m_image.width() * m_zoom))),
        std::max(1, static_cast<int>(std::lround(m_image.height() * m_zoom * aspect))));
    m_view->SetPage(m_image, size);
}

void ViewerWindow::SetZoom(double zoom) {
    m_fitWidth = false;
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    Layout();
}

void ViewerWindow::ZoomIn() {
    SetZoom(m_zoom * kZoomStep);
}

void ViewerWindow::ZoomOut() {
    SetZoom(m_zoom / kZoomStep);
}

void ViewerWindow::FitWidth() {
    m_fitWidth = true;
    Layout();
}

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll && event->type() == QEvent::Resize && m_fitWidth)
        Layout();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace faxapp
