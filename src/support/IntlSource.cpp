#include "support/IntlSource.h"

#include <algorithm>
#include <limits>

std::optional<QString> LayeredIntlSource::ReadString(const QString& key) const {
    for (const auto& source : m_sources) {
        if (!source)
            continue;
        if (auto value = source->ReadString(key))
            return value;
    }
    return std::nullopt;
}

std::optional<int> LayeredIntlSource::ReadInt(const QString& key) const {
    for (const auto& source : m_sources) {
        if (!source)
            continue;
        if (auto value = source->ReadInt(key))
            return value;
    }
    return std::nullopt;
}

int ParseProfileInt(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate negatively so that the most negative value fits; stop adding digits once
    // the value no longer fits in 32 bits rather than overflowing.
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            value = qint64(std::numeric_limits<int>::max()) + 1;
    }
    if (negative)
        return static_cast<int>(-value);
    return static_cast<int>(std::min<qint64>(value, std::numeric_limits<int>::max()));
}
