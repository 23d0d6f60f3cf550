#include "faxapp/FaxTiff.h"

namespace faxapp {

FaxTiffResult FaxTiff::Write(const QString& /*document*/, const QString& /*convert*/,
                             Rows /*rows*/, const QString& /*tiffPath*/) {
    return {0, QStringLiteral("not built yet")};
}

} // namespace faxapp
