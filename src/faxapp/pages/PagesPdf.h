#pragma once

// A fax's pages as a PDF: one PDF page a fax page, as large as the page is at its resolution
// (a fine fax page of 1728 x 2286 pixels at 204 x 196 dpi is 215 x 296 mm), the image drawn
// onto it whole. The file is written beside the target and renamed over it, 0600.

#include "support/Result.h"

#include <QImage>
#include <QString>
#include <functional>

namespace faxapp {

class PrintPages;

// The size of a page image in millimetres at its resolution; 204 x 196 dpi when it has none.
QSizeF PageSizeMm(const QImage& page);

// Writes count pages, taken from page(index), to path. A page that cannot be had ends it
// with the problem that page() reports through its second argument.
Result<void> WritePagesPdf(const QString& path, int count,
                           const std::function<QImage(int index, QString& error)>& page,
                           const QString& title = {});
Result<void> WritePagesPdf(const QString& path, PrintPages& pages, const QString& title = {});

} // namespace faxapp
