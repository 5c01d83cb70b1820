#pragma once

#include <QString>

#include <optional>

// How the editors' numeric fields show and read record values. -1 ("not set") shows as an empty
// field; an entry that is not a positive number goes back as -1.
class NegativeToEmptyTransformer final
{
public:
    NegativeToEmptyTransformer() = delete;

    static QString transformedValue(qint64 value);
    static qint64 reverseTransformedValue(const QString& text);
};

// Refuses every edit that would leave anything but decimal digits in the field.
class OnlyNumbersNSNumberFormatter final
{
public:
    OnlyNumbersNSNumberFormatter() = delete;

    static bool isPartialStringValid(const QString& text);
};

// Refuses every edit that would leave anything but one whole integer (optional sign, digits, no
// blanks, within 64 bits) in the field.
class OnlyIntegerValueFormatter final
{
public:
    OnlyIntegerValueFormatter() = delete;

    static bool isPartialStringValid(const QString& text);
    // The field's value; none for an empty field or text that is not one whole integer.
    static std::optional<qint64> integerValue(const QString& text);
};
