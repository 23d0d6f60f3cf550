#include "faxapp/ContactFolder.h"

namespace faxapp {

ContactListing ContactFolder::ReadAll() const {
    return {};
}

} // namespace faxapp
