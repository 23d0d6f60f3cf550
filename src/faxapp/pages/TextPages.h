#pragma once

// A text print file laid out on A4 pages at fax resolution: a monospaced font, 80 columns
// (longer lines wrap), a new page after 64 lines or at a form feed. The text is UTF-8 when it
// is valid UTF-8, else the fax application's OEM code page. Rendering needs a QGuiApplication.

#include "faxapp/pages/PageSource.h"

#include <QList>
#include <QStringList>

namespace faxapp {

class TextPages final : public PageSource {
public:
    static constexpr int kColumns = 80;
    static constexpr int kLinesPerPage = 64;
    static constexpr int kPageWidth = 1728;  // A4 at 204 dpi
    static constexpr int kPageHeight = 2292; // A4 at 196 dpi

    explicit TextPages(const QByteArray& bytes);

    int PageCount() const override { return static_cast<int>(m_pages.size()); }
    // An 8-bit grey page.
    QImage DecodePage(int index, QString& error) override;
    QString Problem() const override { return m_problem; }

    QStringList PageLines(int index) const { return m_pages.value(index); }

private:
    QList<QStringList> m_pages;
    QString m_problem;
};

} // namespace faxapp
