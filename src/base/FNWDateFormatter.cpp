#include "base/FNWDateFormatter.h"

#include <cstdlib>
#include <map>

namespace {

const QString kCacheKeyPrefix = QStringLiteral("NSDateEnterpriseCategoryDateFormatter-");

bool isFieldLetter(QChar c)
{
    switch (c.unicode()) {
    case u'y':
    case u'M':
    case u'L':
    case u'd':
    case u'H':
    case u'h':
    case u'K':
    case u'k':
    case u'm':
    case u's':
    case u'S':
    case u'a':
    case u'E':
        return true;
    default:
        return false;
    }
}

QString padded(int value, int width)
{
    return QString::number(value).rightJustified(width, u'0');
}

QLocale::FormatType nameFormat(int count)
{
    if (count <= 3)
        return QLocale::ShortFormat;
    return count == 4 ? QLocale::LongFormat : QLocale::NarrowFormat;
}

} // namespace

FNWDateFormatter::FNWDateFormatter(const QString& pattern)
    : m_pattern(pattern)
    , m_tokens(parse(pattern))
    , m_locale(QLocale::system())
{
}

QString FNWDateFormatter::dateFormat() const
{
    return m_pattern;
}

void FNWDateFormatter::setDateFormat(const QString& pattern)
{
    m_pattern = pattern;
    m_tokens = parse(pattern);
}

bool FNWDateFormatter::usesLocalTimeZone() const
{
    return m_localTimeZone;
}

void FNWDateFormatter::setLocalTimeZone()
{
    m_localTimeZone = true;
    m_timeZone = QTimeZone();
}

QTimeZone FNWDateFormatter::timeZone() const
{
    return m_localTimeZone ? QTimeZone::systemTimeZone() : m_timeZone;
}

void FNWDateFormatter::setTimeZone(const QTimeZone& zone)
{
    if (!zone.isValid()) {
        setLocalTimeZone();
        return;
    }
    m_localTimeZone = false;
    m_timeZone = zone;
}

QLocale FNWDateFormatter::locale() const
{
    return m_locale;
}

void FNWDateFormatter::setLocale(const QLocale& locale)
{
    m_locale = locale;
}

std::vector<FNWDateFormatter::Token> FNWDateFormatter::parse(const QString& pattern)
{
    std::vector<Token> tokens;
    auto appendLiteral = [&tokens](QStringView text) {
        if (tokens.empty() || tokens.back().field != 0)
            tokens.push_back(Token{});
        tokens.back().literal += text;
    };

    const qsizetype length = pattern.size();
    qsizetype i = 0;
    while (i < length) {
        const QChar c = pattern.at(i);
        if (c == u'\'') {
            if (i + 1 < length && pattern.at(i + 1) == u'\'') {
                appendLiteral(u"'");
                i += 2;
                continue;
            }
            // Quoted text up to the closing quote; an unclosed quote runs to the end.
            ++i;
            while (i < length) {
                if (pattern.at(i) == u'\'') {
                    if (i + 1 < length && pattern.at(i + 1) == u'\'') {
                        appendLiteral(u"'");
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                appendLiteral(QStringView(pattern).mid(i, 1));
                ++i;
            }
            continue;
        }
        if (isFieldLetter(c)) {
            qsizetype end = i + 1;
            while (end < length && pattern.at(end) == c)
                ++end;
            tokens.push_back(Token{c.unicode(), static_cast<int>(end - i), QString()});
            i = end;
            continue;
        }
        appendLiteral(QStringView(pattern).mid(i, 1));
        ++i;
    }
    return tokens;
}

QString FNWDateFormatter::formatField(const Token& token, const QDateTime& local) const
{
    const QDate date = local.date();
    const QTime time = local.time();
    const int count = token.count;
    switch (token.field) {
    case u'y': {
        const int year = std::abs(date.year());
        return count == 2 ? padded(year % 100, 2) : padded(year, count);
    }
    case u'M':
    case u'L':
        if (count <= 2)
            return padded(date.month(), count);
        return token.field == u'M' ? m_locale.monthName(date.month(), nameFormat(count))
                                   : m_locale.standaloneMonthName(date.month(), nameFormat(count));
    case u'd':
        return padded(date.day(), count);
    case u'H':
        return padded(time.hour(), count);
    case u'h':
        return padded(time.hour() % 12 == 0 ? 12 : time.hour() % 12, count);
    case u'K':
        return padded(time.hour() % 12, count);
    case u'k':
        return padded(time.hour() == 0 ? 24 : time.hour(), count);
    case u'm':
        return padded(time.minute(), count);
    case u's':
        return padded(time.second(), count);
    case u'S': {
        // Fractions are cut, not rounded, so 59.999 never shows as the next second.
        const QString millis = padded(time.msec(), 3);
        return count <= 3 ? millis.left(count) : millis.leftJustified(count, u'0');
    }
    case u'a':
        return time.hour() < 12 ? m_locale.amText() : m_locale.pmText();
    case u'E':
        return m_locale.dayName(date.dayOfWeek(), nameFormat(count));
    default:
        return QString();
    }
}

QString FNWDateFormatter::stringFromDate(const QDateTime& date) const
{
    if (!date.isValid())
        return QString();
    const QDateTime local = m_localTimeZone ? date.toLocalTime() : date.toTimeZone(m_timeZone);
    QString result;
    for (const Token& token : m_tokens)
        result += token.field == 0 ? token.literal : formatField(token, local);
    return result;
}

FNWDateFormatter& FNWDateFormatter::dateFormatterWithDateFormat(const QString& pattern)
{
    // Each thread keeps its own formatters, so no formatter is ever shared and no lock is needed.
    thread_local std::map<QString, FNWDateFormatter> formatters;
    const auto [it, inserted] = formatters.try_emplace(kCacheKeyPrefix + pattern, pattern);
    FNWDateFormatter& formatter = it->second;
    if (formatter.m_pattern != pattern)
        formatter.setDateFormat(pattern);
    if (!formatter.m_localTimeZone)
        formatter.setLocalTimeZone();
    const QLocale system = QLocale::system();
    if (formatter.m_locale != system)
        formatter.m_locale = system;
    return formatter;
}

QString FNWDateFormatter::stringUsingFormatter(const QString& pattern, const QDateTime& date)
{
    return dateFormatterWithDateFormat(pattern).stringFromDate(date);
}
