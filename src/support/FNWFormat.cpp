#include "support/FNWFormat.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace {

// A real printed with an integer conversion: truncated toward zero, held to the type's range (a
// value outside it cannot be converted at all), and 0 for NaN.
template <typename Integer>
Integer truncatedTo(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^63 and 2^64 are exact as doubles; anything at or past them is past the range.
    constexpr double past = std::numeric_limits<Integer>::digits == 64 ? 18446744073709551616.0 : 9223372036854775808.0;
    if (value >= past)
        return std::numeric_limits<Integer>::max();
    if (value <= static_cast<double>(std::numeric_limits<Integer>::min()))
        return std::numeric_limits<Integer>::min();
    return static_cast<Integer>(value);
}

} // namespace

FNWFormatArg::FNWFormatArg(const char* text)
{
    if (text) {
        m_kind = Kind::Text;
        m_text = QString::fromUtf8(text);
    }
}

QString FNWFormatArg::text() const
{
    switch (m_kind) {
    case Kind::Null:
        return QStringLiteral("(null)");
    case Kind::Text:
        return m_text;
    case Kind::Signed:
        return QString::number(m_signed);
    case Kind::Unsigned:
        return QString::number(m_unsigned);
    case Kind::Real:
        return QString::number(m_real, 'g', 17);
    }
    return {};
}

long long FNWFormatArg::toSigned() const
{
    switch (m_kind) {
    case Kind::Signed:
        return m_signed;
    case Kind::Unsigned:
        return static_cast<long long>(m_unsigned);
    case Kind::Real:
        return truncatedTo<long long>(m_real);
    case Kind::Text:
        return m_text.toLongLong();
    case Kind::Null:
        break;
    }
    return 0;
}

unsigned long long FNWFormatArg::toUnsigned() const
{
    switch (m_kind) {
    case Kind::Signed:
        return static_cast<unsigned long long>(m_signed);
    case Kind::Unsigned:
        return m_unsigned;
    case Kind::Real:
        // A negative real wraps as its signed value does, as printf's %lu shows a negative number.
        return m_real < 0 ? static_cast<unsigned long long>(truncatedTo<long long>(m_real))
                          : truncatedTo<unsigned long long>(m_real);
    case Kind::Text:
        return m_text.toULongLong();
    case Kind::Null:
        break;
    }
    return 0;
}

double FNWFormatArg::toReal() const
{
    switch (m_kind) {
    case Kind::Signed:
        return static_cast<double>(m_signed);
    case Kind::Unsigned:
        return static_cast<double>(m_unsigned);
    case Kind::Real:
        return m_real;
    case Kind::Text:
        return m_text.toDouble();
    case Kind::Null:
        break;
    }
    return 0.0;
}

namespace {

bool isFlag(char c)
{
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}

bool isLengthModifier(char c)
{
    return c == 'h' || c == 'l' || c == 'q' || c == 'L' || c == 'z' || c == 'j' || c == 't';
}

// QString::asprintf formats numbers the same in every locale, unlike the C library.
QString cFormat(const std::string& spec, auto value)
{
    return QString::asprintf(spec.c_str(), value);
}

// Widths and precisions are held to this: a format from anywhere may ask for a billion columns.
constexpr int kLargestField = 4096;

int fieldNumber(const std::string& digits)
{
    int value = 0;
    for (const char digit : digits)
        value = std::min(kLargestField, value * 10 + (digit - '0'));
    return value;
}

QString padded(const QString& text, const std::string& flags, int width)
{
    if (width <= text.size())
        return text;
    const QString fill(width - text.size(), QLatin1Char(' '));
    return flags.find('-') != std::string::npos ? text + fill : fill + text;
}

} // namespace

QString FNWFormatWithArgs(const char* format, std::initializer_list<FNWFormatArg> args)
{
    QString out;
    if (!format)
        return out;
    const FNWFormatArg none(nullptr);
    auto next = args.begin();
    auto take = [&]() -> const FNWFormatArg& { return next != args.end() ? *next++ : none; };

    const std::string fmt(format);
    size_t literalStart = 0;
    size_t i = 0;
    while (i < fmt.size()) {
        if (fmt[i] != '%') {
            ++i;
            continue;
        }
        out += QString::fromUtf8(fmt.data() + literalStart, static_cast<qsizetype>(i - literalStart));
        size_t j = i + 1;
        std::string flags;
        while (j < fmt.size() && isFlag(fmt[j]))
            flags += fmt[j++];
        std::string width;
        while (j < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[j])))
            width += fmt[j++];
        std::string precision;
        if (j < fmt.size() && fmt[j] == '.') {
            precision += fmt[j++];
            while (j < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[j])))
                precision += fmt[j++];
        }
        while (j < fmt.size() && isLengthModifier(fmt[j]))
            ++j;
        if (j >= fmt.size()) {
            out += QString::fromUtf8(fmt.data() + i, static_cast<qsizetype>(fmt.size() - i));
            literalStart = i = fmt.size();
            break;
        }
        const char conversion = fmt[j];
        const int fieldWidth = fieldNumber(width);
        const int fieldPrecision = fieldNumber(precision.empty() ? std::string() : precision.substr(1));
        const std::string base = "%" + flags + (width.empty() ? std::string() : std::to_string(fieldWidth)) +
                                 (precision.empty() ? std::string() : "." + std::to_string(fieldPrecision));
        switch (conversion) {
        case '%':
            out += QLatin1Char('%');
            break;
        case '@':
            out += padded(take().text(), flags, fieldWidth);
            break;
        case 's': {
            const FNWFormatArg& arg = take();
            QString text = arg.text();
            if (!precision.empty())
                text.truncate(fieldPrecision);
            out += padded(text, flags, fieldWidth);
            break;
        }
        case 'c':
            out += padded(QString(QChar(static_cast<char16_t>(take().toSigned()))), flags, fieldWidth);
            break;
        case 'd':
        case 'i':
            out += cFormat(base + "lld", take().toSigned());
            break;
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            out += cFormat(base + "ll" + conversion, take().toUnsigned());
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
            out += cFormat(base + conversion, take().toReal());
            break;
        case 'p':
            out += cFormat(std::string("0x%llx"), take().toUnsigned());
            break;
        default:
            // Not a conversion we know: keep the text as written.
            out += QString::fromUtf8(fmt.data() + i, static_cast<qsizetype>(j - i + 1));
            break;
        }
        i = j + 1;
        literalStart = i;
    }
    out += QString::fromUtf8(fmt.data() + literalStart, static_cast<qsizetype>(fmt.size() - literalStart));
    return out;
}
