#pragma once

// The viewer's window: one page at a time in a scroll area, page navigation, zoom (also Ctrl
// and the mouse wheel; the level shown in the status bar), fit to width (the default) and
// turning the pages by quarter turns; the document printed or saved as PDF. Pages are decoded
// when first shown and a few are kept.

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
    int Rotation() const { return m_quarterTurns * 90; }
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
    // A quarter turn clockwise of every page shown.
    void RotateRight();
    // Asks for a file and writes the document there as PDF.
    void SaveAsPdf();
    void Print();
    // Writes the document as PDF; false with the reason shown to the user.
    bool WritePdf(const QString& path);

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
    void ShowStatus();

    std::unique_ptr<PrintPages> m_pages;
    QScrollArea* m_scroll = nullptr;
    PageView* m_view = nullptr;
    QSpinBox* m_pageBox = nullptr;
    QLabel* m_status = nullptr;
    int m_current = -1;
    QImage m_image;
    double m_zoom = 1.0;
    bool m_fitWidth = true;
    int m_quarterTurns = 0;
    QString m_fileName;
    QHash<int, QImage> m_cache;
    QList<int> m_recent; // cached pages, least recently shown first
};

} // namespace faxapp
