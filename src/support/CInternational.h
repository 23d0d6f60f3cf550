#pragma once

#include "support/IntlSource.h"

#include <QString>
#include <ctime>
#include <memory>

// Dates, times, durations and money amounts as the user's regional settings ask for them.
// The settings (the classic regional keys iCountry, sShortDate, iTime, sCurrency, ...) come
// from an IntlSource; Load turns them into ready-made patterns once, strftime patterns for
// dates and times and printf patterns for durations and amounts, and each formatting call
// only fills a pattern. The object loads itself on its first formatting call.
//
// Texts from the settings are placed into the patterns as literal text: a "%" in a currency
// symbol or separator is written as "%%", so no setting can add a conversion of its own, and
// the patterns grow with their texts instead of living in fixed buffers.
class CInternational {
public:
    // A null source supplies nothing: every setting takes its default.
    explicit CInternational(std::shared_ptr<const IntlSource> source = nullptr);
    virtual ~CInternational() = default;
    CInternational(const CInternational&) = delete;
    CInternational& operator=(const CInternational&) = delete;

    // Replaces the settings' source and marks the object unloaded, so that the next
    // formatting call reads the new source.
    void SetSource(std::shared_ptr<const IntlSource> source);
    std::shared_ptr<const IntlSource> Source() const { return m_source; }

    // Reads the settings and builds every pattern.
    virtual void Load();
    // Marks the object unloaded and empties every text; the clock mode stays.
    virtual void Reset();
    // Amounts in hundredths of the currency unit. Return the text's length.
    virtual int FormatCurrency(QString& text, double amount);
    virtual int FormatCurrency(QString& text, qint32 amount);
    // style 0: no year, 1: two-digit year, 2: four-digit year. Returns 0 and an empty text
    // when the time has no local calendar form (or the style is none of these).
    virtual int FormatDate(QString& text, std::time_t time, int style);
    // withSeconds counts only when it is 1.
    virtual int FormatDuration(QString& text, qint32 seconds, int withSeconds);
    // Returns 0 and an empty text when the time has no local calendar form.
    virtual int FormatTime(QString& text, std::time_t time, int withSeconds);

    bool IsLoaded() const { return m_iCountry != 0; }
    int Country() const { return m_iCountry; }
    int TimeMode() const { return m_iTime; }
    QString DateFormat(int style) const;
    QString TimeFormat(bool withSeconds) const {
        return withSeconds ? m_strTimeFormatSeconds : m_strTimeFormat;
    }
    QString DurationFormat(bool withSeconds) const {
        return withSeconds ? m_strDurationFormatSeconds : m_strDurationFormat;
    }
    QString CurrencyFormat() const { return m_strCurrencyFormat; }
    QString NegCurrencyFormat() const { return m_strNegCurrencyFormat; }
    QString AmSuffix() const { return m_strAmSuffix; }
    QString PmSuffix() const { return m_strPmSuffix; }
    QString Decimal() const { return m_sDecimal; }

    // When text and find are both non-empty and find occurs in text, replaces its first
    // occurrence by replacement (which may be empty) and returns true.
    static bool ReplaceFirst(QString& text, const QString& find, const QString& replacement);

    // A text setting is taken up to its first NUL and to at most this many characters.
    static constexpr int kMaxSettingLength = 79;
    // iCurrDigits is taken within this range.
    static constexpr int kMaxCurrencyDigits = 99;

protected:
    void BuildCurrencyFormats(int iCurrency, int iCurrDigits, int iNegCurr,
                              const QString& sCurrency);
    void BuildDateFormats(const QString& picture);
    void BuildTimeFormats(int iTime, const QString& sTime, const QString& s1159,
                          const QString& s2359);

private:
    QString ReadProfileString(const QString& key, const QString& defaultValue) const;
    int ReadProfileInt(const QString& key, int defaultValue) const;
    int FormatAmount(QString& text, double amount);
    void EnsureLoaded() {
        if (m_iCountry == 0)
            Load();
    }

    std::shared_ptr<const IntlSource> m_source;

    qint32 m_iCountry = 0; // 0: not loaded
    qint32 m_iTime = 0;    // 1: 24-hour clock
    QString m_s1159;
    QString m_s2359;
    QString m_sTime;
    QString m_strCurrencyFormat;
    QString m_strNegCurrencyFormat;
    QString m_sDecimal;
    QString m_strDateFormat[3];
    QString m_strTimeFormatSeconds;
    QString m_strTimeFormat;
    QString m_strDurationFormatSeconds;
    QString m_strDurationFormat;
    QString m_strAmSuffix;
    QString m_strPmSuffix;
};

// The program's one object. It starts with the C library locale of the environment as its
// source; start-up gives it the settings store in front of that.
extern CInternational theInternational;

// The date with a four-digit year, and the time without seconds, by theInternational.
QString GetDateText(std::time_t time);
QString GetTimeText(std::time_t time);
