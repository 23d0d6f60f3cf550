#pragma once

// A TIFF fax as a PDF, written directly rather than drawn: one PDF page a TIFF page, as large
// as the page is at its own resolution (1728 dots at 204 dpi are 215 mm; 2286 rows at 196 lpi
// are 296 mm, 1143 rows at 98 lpi the same), the image placed on it whole. A G4 page held in
// one strip goes into the PDF as it is coded (PDF reads CCITT G4 itself); any other bilevel
// page is decoded and put in as deflated 1-bit rows, a colour or grey page as deflated RGB.

#include "support/Result.h"

#include <QByteArray>
#include <QString>

namespace faxapp {

// The PDF of the TIFF's pages; a problem names the page that cannot be read.
Result<QByteArray> FaxPdfBytes(const QByteArray& tiff, const QString& title = {});

} // namespace faxapp
