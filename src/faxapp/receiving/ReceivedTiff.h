#pragma once

// Whether a fetched fax file is what a fax server writes: a TIFF whose every page decodes.

#include "support/Result.h"

#include <QString>

namespace faxapp {

// The number of pages of the TIFF file at path, each read row by row (so that every coded
// row is decoded); a problem naming the page that does not decode, or why the file is no TIFF.
Result<int> CheckReceivedTiff(const QString& path);

} // namespace faxapp
