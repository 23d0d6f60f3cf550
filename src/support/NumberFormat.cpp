#include "support/NumberFormat.h"

QString GroupThousands(const QString& digits) {
    QString rest = digits;
    QString result;
    while (!rest.isEmpty()) {
        const qsizetype take = std::min<qsizetype>(3, rest.size());
        const QString group = rest.right(take);
        rest.chop(take);
        result = result.isEmpty() ? group : group + u'.' + result;
    }
    return result;
}

QString FormatByteCount(std::uint32_t n) {
    return GroupThousands(QString::number(n));
}

QString ZeroPad(std::uint64_t value, int width, int base) {
    QString text = QString::number(static_cast<qulonglong>(value), base);
    if (text.size() < width)
        text.prepend(QString(width - text.size(), u'0'));
    return text;
}
