#pragma once

// The pages of a TIFF file: every directory is a page, in any coding libtiff reads.

#include "faxapp/pages/MemoryTiff.h"
#include "faxapp/pages/PageSource.h"

namespace faxapp {

class TiffPages final : public PageSource {
public:
    explicit TiffPages(QByteArray bytes);

    int PageCount() const override { return m_pageCount; }
    // Bilevel pages as 1-bit images, others in colour; pages whose rows stand twice as far
    // apart as their columns (normal fax resolution) have their rows doubled.
    QImage DecodePage(int index, QString& error) override;
    QString Problem() const override { return m_problem; }

private:
    QImage DecodeBilevel(int width, int height, bool minIsBlack, QString& error);
    QImage DecodeColour(int width, int height, QString& error);

    MemoryTiff m_tiff;
    int m_pageCount = 0;
    QString m_problem;
};

} // namespace faxapp
