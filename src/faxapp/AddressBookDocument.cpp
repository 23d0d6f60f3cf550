#include "faxapp/ServedClasses.h"

namespace faxapp {

dbusauto::ServedClass AddressBookClass(const QString&) {
    return {};
}

} // namespace faxapp
