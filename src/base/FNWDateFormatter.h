#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>

#include <vector>

// Formats dates by a Unicode date pattern ("hh:mm MM/dd/yy", "EEEE d MMMM yyyy", ...).
// QDateTime::toString reads "hh" as the 24-hour hour, while the patterns used here mean the
// 12-hour one, so the pattern is interpreted here. Fields: y, M, L, d, H, h, K, k, m, s, S, a, E;
// '...' quotes literal text and '' is one quote; every other character stands for itself.
// Formatting is const and touches no shared state, so one formatter may serve many threads.
class FNWDateFormatter final
{
public:
    explicit FNWDateFormatter(const QString& pattern = QString());

    QString dateFormat() const;
    void setDateFormat(const QString& pattern);

    // Local time by default: dates are shown in the system zone in force when formatting.
    bool usesLocalTimeZone() const;
    void setLocalTimeZone();
    QTimeZone timeZone() const;
    void setTimeZone(const QTimeZone& zone);

    // Month and weekday names and the AM/PM texts come from the locale; the system one by default.
    QLocale locale() const;
    void setLocale(const QLocale& locale);

    // An invalid date gives a null text.
    QString stringFromDate(const QDateTime& date) const;

    // The calling thread's own formatter for the pattern, made on first use and set to the local
    // zone and the system locale on every call. It lives until the thread ends.
    static FNWDateFormatter& dateFormatterWithDateFormat(const QString& pattern);
    static QString stringUsingFormatter(const QString& pattern, const QDateTime& date);

private:
    // A run of one field letter, or literal text when field is 0.
    struct Token
    {
        char16_t field = 0;
        int count = 0;
        QString literal;
    };

    static std::vector<Token> parse(const QString& pattern);
    QString formatField(const Token& token, const QDateTime& local) const;

    QString m_pattern;
    std::vector<Token> m_tokens;
    bool m_localTimeZone = true;
    QTimeZone m_timeZone;
    QLocale m_locale;
};
