#pragma once

// A received TIFF fax as an SFF document, the form the send dialog takes a fax in: every page
// at its own resolution (a normal page stays normal, 98 lines per inch; anything finer is
// fine), its width as it is, black as black whichever way the TIFF calls it.

#include "support/Result.h"

#include <QByteArray>

namespace faxapp {

// A problem names the page that cannot be read.
Result<QByteArray> TiffToSff(const QByteArray& tiff);

} // namespace faxapp
