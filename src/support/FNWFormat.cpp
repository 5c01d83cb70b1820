#include "support/FNWFormat.h"

#include <cctype>

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
        return static_cast<long long>(m_real);
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
        return m_real < 0 ? static_cast<unsigned long long>(static_cast<long long>(m_real))
                          : static_cast<unsigned long long>(m_real);
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
        const std::string base = "%" + flags + width + precision;
        const int fieldWidth = width.empty() ? 0 : std::stoi(width);
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
            if (precision.size() > 1)
                text.truncate(std::stoi(precision.substr(1)));
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
