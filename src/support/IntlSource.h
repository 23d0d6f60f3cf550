#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

// Where the regional settings come from: the values of the classic regional keys (iCountry,
// sShortDate, iTime, sCurrency, ...). A key that the source does not know gives nullopt, so
// that the next source, or the built-in default, is taken. Key names ignore letter case.
class IntlSource {
public:
    virtual ~IntlSource() = default;
    virtual std::optional<QString> ReadString(const QString& key) const = 0;
    virtual std::optional<int> ReadInt(const QString& key) const = 0;
};

// Asks its sources in order; the first one that knows a key answers.
class LayeredIntlSource final : public IntlSource {
public:
    explicit LayeredIntlSource(std::vector<std::shared_ptr<const IntlSource>> sources)
        : m_sources(std::move(sources)) {}

    std::optional<QString> ReadString(const QString& key) const override;
    std::optional<int> ReadInt(const QString& key) const override;

private:
    std::vector<std::shared_ptr<const IntlSource>> m_sources;
};

// An integer setting stored as text, read the way the old profile functions read one:
// leading blanks, an optional sign and decimal digits; a text without digits is 0.
int ParseProfileInt(const QString& text);
