#include "base/FNWValueFormatters.h"

namespace {

bool isAsciiDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

QString NegativeToEmptyTransformer::transformedValue(qint64 value)
{
    return value == -1 ? QString::fromLatin1("") : QString::number(value);
}

qint64 NegativeToEmptyTransformer::reverseTransformedValue(const QString& text)
{
    // Digits only: a sign, blanks or a number past 64 bits are no entry.
    if (!isAsciiDigits(text))
        return -1;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok && value > 0 ? value : -1;
}

bool OnlyNumbersNSNumberFormatter::isPartialStringValid(const QString& text)
{
    return text.isEmpty() || isAsciiDigits(text);
}

bool OnlyIntegerValueFormatter::isPartialStringValid(const QString& text)
{
    return text.isEmpty() || integerValue(text).has_value();
}

std::optional<qint64> OnlyIntegerValueFormatter::integerValue(const QString& text)
{
    QStringView digits(text);
    if (digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-')))
        digits = digits.mid(1);
    if (!isAsciiDigits(digits))
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}
