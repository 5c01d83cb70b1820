#pragma once

#include <QString>

#include <concepts>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>

// One argument of a printf-style format that also knows "%@", the text form of a value.
class FNWFormatArg
{
public:
    enum class Kind { Null, Text, Signed, Unsigned, Real };

    FNWFormatArg(std::nullptr_t) {}
    FNWFormatArg(const QString& text) : m_kind(Kind::Text), m_text(text) {}
    FNWFormatArg(const char* text);
    FNWFormatArg(const std::string& text) : m_kind(Kind::Text), m_text(QString::fromStdString(text)) {}
    // Only a real bool: anything convertible to bool (enumerations, pointers) must not land here.
    template <std::same_as<bool> B>
    FNWFormatArg(B value) : m_kind(Kind::Signed), m_signed(value ? 1 : 0)
    {
    }
    template <typename E>
        requires std::is_enum_v<E>
    FNWFormatArg(E value) : FNWFormatArg(static_cast<std::underlying_type_t<E>>(value))
    {
    }
    template <std::signed_integral T>
    FNWFormatArg(T value) : m_kind(Kind::Signed), m_signed(static_cast<long long>(value))
    {
    }
    template <std::unsigned_integral T>
        requires(!std::same_as<T, bool>)
    FNWFormatArg(T value) : m_kind(Kind::Unsigned), m_unsigned(static_cast<unsigned long long>(value))
    {
    }
    template <std::floating_point T>
    FNWFormatArg(T value) : m_kind(Kind::Real), m_real(static_cast<double>(value))
    {
    }
    // Records and other objects with a description() print it for "%@".
    template <typename T>
        requires requires(const T& t) {
            { t.description() } -> std::convertible_to<QString>;
        }
    FNWFormatArg(const T& object) : m_kind(Kind::Text), m_text(object.description())
    {
    }
    template <typename T>
    FNWFormatArg(const std::shared_ptr<T>& object)
    {
        if (object)
            *this = FNWFormatArg(*object);
    }

    Kind kind() const { return m_kind; }
    QString text() const;
    long long toSigned() const;
    unsigned long long toUnsigned() const;
    double toReal() const;

private:
    Kind m_kind = Kind::Null;
    QString m_text;
    long long m_signed = 0;
    unsigned long long m_unsigned = 0;
    double m_real = 0.0;
};

// Formats like printf, with "%@" taking the text form of its argument ("(null)" for none).
// Integer and real conversions accept any length modifier; arguments are converted as needed.
QString FNWFormatWithArgs(const char* format, std::initializer_list<FNWFormatArg> args);

template <typename... Args>
QString FNWStringWithFormat(const char* format, const Args&... args)
{
    return FNWFormatWithArgs(format, {FNWFormatArg(args)...});
}
