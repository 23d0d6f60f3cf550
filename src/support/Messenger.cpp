#include "support/Messenger.h"

#include "support/StringTable.h"

MessageAnswer MessageWarning(Messenger& m, int id) {
    return m.Show(id, LoadString(id), MessageKind::Warning);
}

MessageAnswer MessageWarning1(Messenger& m, int id, const QString& a) {
    return m.Show(id, FormatString1(id, a), MessageKind::Warning);
}

MessageAnswer MessageWarning2(Messenger& m, int id, const QString& a, const QString& b) {
    return m.Show(id, FormatString2(id, a, b), MessageKind::Warning);
}

MessageAnswer MessageQuestion(Messenger& m, int id) {
    return m.Show(id, LoadString(id), MessageKind::Question);
}

MessageAnswer MessageInfo(Messenger& m, int id) {
    return m.Show(id, LoadString(id), MessageKind::Information);
}

QString FormatStatusCode(long status) {
    return QString::number(static_cast<quint32>(status), 16).toUpper();
}
