#pragma once

#include "support/IntlSource.h"

#include <QByteArray>
#include <QHash>

// The regional settings derived from a C library locale (glibc's nl_langinfo and localeconv),
// translated into the classic keys:
//   sShortDate  from D_FMT, in the d/M/y picture language
//   iTime, sTime from T_FMT (%r is T_FMT_AMPM): 1 for an %H or %k hour, 0 for %I or %l; the
//               text between the hour and the minute
//   s1159, s2359 from AM_STR and PM_STR when they are not empty
//   sDecimal    from RADIXCHAR
//   sCurrency, iCurrDigits from currency_symbol and frac_digits
//   iCurrency   from p_cs_precedes and p_sep_by_space
//   iNegCurr    from n_cs_precedes, n_sep_by_space and n_sign_posn
//   iCountry    from the telephone prefix of LC_TELEPHONE
// The values are read once, on construction. A category set to the C or POSIX locale says
// nothing about the user's region and supplies no values, nor does a locale that cannot be
// loaded; a field the locale leaves unset (CHAR_MAX, empty) or that the picture language
// cannot express supplies none either.
class LocaleIntlSource final : public IntlSource {
public:
    // localeName: such as "de_DE.UTF-8"; empty: the one the environment names (LC_ALL, then
    // LC_TIME and the other categories, then LANG).
    explicit LocaleIntlSource(const QByteArray& localeName = {});

    // False when the locale could not be loaded.
    bool IsAvailable() const { return m_available; }

    std::optional<QString> ReadString(const QString& key) const override;
    std::optional<int> ReadInt(const QString& key) const override;

    // The translations, one by one.
    static std::optional<QString> DatePicture(const QString& dateFormat);
    struct Clock {
        std::optional<int> iTime;
        std::optional<QString> sTime;
    };
    static Clock ClockFromFormat(const QString& timeFormat, const QString& amPmFormat);
    static std::optional<int> CurrencyPlacement(int csPrecedes, int sepBySpace);
    static std::optional<int> NegativeCurrencyPlacement(int csPrecedes, int sepBySpace,
                                                        int signPosn);

private:
    void SetString(const char* key, const std::optional<QString>& value);
    void SetInt(const char* key, const std::optional<int>& value);

    bool m_available = false;
    QHash<QString, QString> m_strings; // by the key's lower-case name
    QHash<QString, int> m_ints;
};
