#pragma once

// The pages of a colour print: JPEG pictures end to end, one a page, as the send dialog
// collects them from the page converter. A page ends where its picture's end marker is
// found by walking the picture's segments, so that markers inside embedded thumbnails or
// metadata do not split a page.

#include "faxapp/pages/PageSource.h"

#include <QByteArray>
#include <QList>

namespace faxapp {

class ColourPages final : public PageSource {
public:
    explicit ColourPages(QByteArray bytes);

    int PageCount() const override { return static_cast<int>(m_pages.size()); }
    QImage DecodePage(int index, QString& error) override;
    QString Problem() const override { return m_problem; }

    // Where the JPEG picture starting at begin ends (after its end marker); -1 when it is cut
    // short or not a JPEG picture.
    static qsizetype PictureEnd(const QByteArray& bytes, qsizetype begin);

private:
    struct Range {
        qsizetype begin;
        qsizetype end;
    };
    QByteArray m_bytes;
    QList<Range> m_pages;
    QString m_problem;
};

} // namespace faxapp
