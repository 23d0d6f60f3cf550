#include "faxapp/ui/ViewerWindow.h"

#include "faxapp/pages/PagesPdf.h"
#include "faxapp/ui/HelpMenu.h"
#include "faxapp/ui/PageView.h"
#include "faxapp/ui/ReceivedActions.h"
#include "platform/ManualHelp.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QTransform>
#include <QWheelEvent>
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
    : QMainWindow(parent), m_pages(std::move(pages)), m_fileName(fileName) {
    setWindowTitle(tr("%1 \u2013 KALMO!fax Betrachter").arg(fileName));
    m_scroll = new QScrollArea(this);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_view = new PageView;
    m_scroll->setWidget(m_view);
    m_scroll->installEventFilter(this);
    m_scroll->viewport()->installEventFilter(this);
    setCentralWidget(m_scroll);

    QToolBar* bar = addToolBar(tr("Seiten"));
    bar->setObjectName(QStringLiteral("pageBar"));
    bar->setMovable(false);
    const auto add = [&](const QString& text, const char* name, auto slot) {
        QAction* action = bar->addAction(text, this, slot);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    add(QStringLiteral("|<"), "actionFirst", &ViewerWindow::FirstPage)
        ->setToolTip(tr("Erste Seite"));
    add(QStringLiteral("<"), "actionPrevious", &ViewerWindow::PreviousPage)
        ->setToolTip(tr("Vorige Seite (Bild auf)"));
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setObjectName(QStringLiteral("pageNumber"));
    m_pageBox->setRange(1, m_pages->PageCount());
    m_pageBox->setKeyboardTracking(false);
    bar->addWidget(m_pageBox);
    bar->addWidget(new QLabel(tr(" von %1 ").arg(m_pages->PageCount()), bar));
    add(QStringLiteral(">"), "actionNext", &ViewerWindow::NextPage)
        ->setToolTip(tr("Nächste Seite (Bild ab)"));
    add(QStringLiteral(">|"), "actionLast", &ViewerWindow::LastPage)
        ->setToolTip(tr("Letzte Seite"));
    bar->addSeparator();
    add(tr("Vergrößern"), "actionZoomIn", &ViewerWindow::ZoomIn)->setShortcut(QKeySequence::ZoomIn);
    add(tr("Verkleinern"), "actionZoomOut", &ViewerWindow::ZoomOut)
        ->setShortcut(QKeySequence::ZoomOut);
    add(tr("Seitenbreite"), "actionFitWidth", &ViewerWindow::FitWidth);
    add(tr("Drehen"), "actionRotate", &ViewerWindow::RotateRight)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    bar->addSeparator();
    add(tr("Als PDF speichern…"), "actionSavePdf", &ViewerWindow::SaveAsPdf)
        ->setShortcut(QKeySequence::SaveAs);
    add(tr("Drucken…"), "actionPrint", &ViewerWindow::Print)->setShortcut(QKeySequence::Print);
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
    Layout();
    m_scroll->verticalScrollBar()->setValue(0);
    if (m_image.isNull())
        Q_EMIT PageFailed(m_pages->Error());
}

void ViewerWindow::ShowStatus() {
    QString status = tr("Seite %1 von %2").arg(m_current + 1).arg(m_pages->PageCount());
    if (m_image.isNull()) {
        m_status->setText(m_pages->Error());
        return;
    }
    if (const int bad = m_pages->BadRows(); bad > 0)
        status += tr(" \u2013 %n beschädigte Zeilen weiß gezeigt", nullptr, bad);
    status += QStringLiteral(" \u2013 ") + QLocale().toString(std::lround(m_zoom * 100)) +
              QStringLiteral(" %");
    m_status->setText(status);
}

void ViewerWindow::Layout() {
    if (m_image.isNull()) {
        m_view->SetPage(QImage(), QSize(1, 1));
        ShowStatus();
        return;
    }
    const QImage image = m_quarterTurns == 0
                             ? m_image
                             : m_image.transformed(QTransform().rotate(90.0 * m_quarterTurns));
    // The turned image keeps the page's resolution, its axes swapped on a quarter turn.
    double aspect = 1.0;
    if (m_image.dotsPerMeterX() > 0 && m_image.dotsPerMeterY() > 0)
        aspect = static_cast<double>(m_image.dotsPerMeterX()) / m_image.dotsPerMeterY();
    if (m_quarterTurns % 2 != 0)
        aspect = 1.0 / aspect;
    // Pixels that are not square (a fax's 204 x 196 dpi) are drawn at their true aspect.
    if (m_fitWidth) {
        // The scroll area's own width, less room for the vertical scroll bar whether it shows
        // or not, so that the bar coming or going never changes the fitted size.
        const int available = m_scroll->contentsRect().width() - 2;
        const int scrollBar = m_scroll->verticalScrollBar()->sizeHint().width();
        m_zoom = static_cast<double>(std::max(available - scrollBar, 50)) / image.width();
    }
    const QSize size(std::max(1, static_cast<int>(std::lround(image.width() * m_zoom))),
                     std::max(1, static_cast<int>(std::lround(image.height() * m_zoom * aspect))));
    m_view->SetPage(image, size);
    ShowStatus();
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

void ViewerWindow::RotateRight() {
    m_quarterTurns = (m_quarterTurns + 1) % 4;
    Layout();
}

bool ViewerWindow::WritePdf(const QString& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Result<void> written = WritePagesPdf(path, *m_pages, m_fileName);
    QApplication::restoreOverrideCursor();
    if (!written)
        QMessageBox::warning(this, windowTitle(),
                             tr("Das PDF wurde nicht geschrieben: %1").arg(written.Error().Text()));
    return written.Ok();
}

void ViewerWindow::SaveAsPdf() {
    const QString proposal =
        QDir::home().filePath(QFileInfo(m_fileName).completeBaseName() + QStringLiteral(".pdf"));
    const QString path = QFileDialog::getSaveFileName(this, tr("Als PDF speichern"), proposal,
                                                      tr("PDF-Dateien (*.pdf)"));
    if (!path.isEmpty())
        WritePdf(path);
}

void ViewerWindow::Print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_fileName);
    printer.setFromTo(1, m_pages->PageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int first = printer.fromPage() > 0 ? printer.fromPage() - 1 : 0;
    const int last = printer.toPage() > 0 ? printer.toPage() - 1 : m_pages->PageCount() - 1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    PrintPagesOn(printer, *m_pages, first, last);
    QApplication::restoreOverrideCursor();
}

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll && event->type() == QEvent::Resize && m_fitWidth)
        Layout();
    // Ctrl and the wheel zoom, as in every viewer.
    if (watched == m_scroll->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int steps = wheel->angleDelta().y();
            if (steps > 0)
                ZoomIn();
            else if (steps < 0)
                ZoomOut();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace faxapp
