#pragma once

// The viewer's window: one page at a time in a scroll area, page navigation, zoom, and fit
// to width (the default). Pages are decoded when first shown and a few are kept.

#include "faxapp/pages/PrintPages.h"

#include <QHash>
#include <QList>
#include <QMainWindow>

class QLabel;
class QScrollArea;
class QSpinBox;

namespace faxapp {

class PageView;

class ViewerWindow final : public QMainWindow {
    Q_OBJECT
public:
    // pages must be open; fileName for the title.
    ViewerWindow(std::unique_ptr<PrintPages> pages, const QString& fileName,
                 QWidget* parent = nullptr);
    ~ViewerWindow() override;

    int CurrentPage() const { return m_current; }
    double Zoom() const { return m_zoom; }
    bool FitsWidth() const { return m_fitWidth; }
    // The decoded page shown now (null when it failed).
    QImage CurrentImage() const { return m_image; }
    PageView* View() const { return m_view; }

public Q_SLOTS:
    void ShowPage(int index);
    void FirstPage() { ShowPage(0); }
    void PreviousPage() { ShowPage(m_current - 1); }
    void NextPage() { ShowPage(m_current + 1); }
    void LastPage() { ShowPage(m_pages->PageCount() - 1); }
    void ZoomIn();
    void ZoomOut();
    void FitWidth();

Q_SIGNALS:
    // A page could not be decoded; the message names the file and the page.
    void PageFailed(const QString& message);

protected:
    // Fitting follows the scroll area's size, which is laid out after the window's.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QImage Decoded(int index);
    void Layout();
    void SetZoom(double zoom);

    std::unique_ptr<PrintPages> m_pages;
    QScrollArea* m_scroll = nullptr;
    PageView* m_view = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_status = nullptr;
    int m_current = -1;
    QImage m_image;
    double m_zoom = 1.0;
    bool m_fitWidth = true;
    QHash<int, QImage> m_cache;
    QList<int> m_recent; // cached pages, least recently shown first
};

} // namespace faxapp
