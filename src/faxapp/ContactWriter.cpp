#include "faxapp/ContactWriter.h"

namespace faxapp {

bool SaveContact(const QString&, Contact&, QString& error) {
    error = QStringLiteral("not built yet");
    return false;
}

bool RemoveContact(const QString&, const Contact&, QString& error) {
    error = QStringLiteral("not built yet");
    return false;
}

} // namespace faxapp
