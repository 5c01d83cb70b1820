#pragma once

// Key-value tables of the records; included by the record sources only.

#include "support/FNWFormat.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <initializer_list>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace fnw::model {

// Conversions between fields and their stored form, shared by every record.
QVariant integerValue(qint64 value);
QVariant booleanValue(bool value);
QVariant textValue(const QString& text);
QVariant dateValue(const QDateTime& date);
bool assignInteger(qint64& field, const QVariant& value);
bool assignBoolean(bool& field, const QVariant& value);
bool assignText(QString& field, const QVariant& value);
bool assignDate(QDateTime& field, const QVariant& value);

// A text for "%@": an unset text prints "(null)", as it always has in the logs.
inline FNWFormatArg textArg(const QString& text)
{
    return text.isNull() ? FNWFormatArg(nullptr) : FNWFormatArg(text);
}

// One record class's fields by name: plain members by member pointer, guarded or atomic ones
// through an accessor pair.
template <class Bean>
class FNWBeanFields
{
public:
    struct Accessor
    {
        QVariant (*get)(const Bean&);
        bool (*set)(Bean&, const QVariant&);
    };
    using Field = std::variant<qint64 Bean::*, bool Bean::*, QString Bean::*, QDateTime Bean::*, Accessor>;

    FNWBeanFields(std::initializer_list<std::pair<const char*, Field>> fields)
    {
        for (const auto& [name, field] : fields)
            m_fields.emplace_back(QString::fromLatin1(name), field);
    }

    // A scan beats hashing for a score of short names: most differ in length or first letter.
    const Field* find(const QString& key) const
    {
        for (const auto& [name, field] : m_fields) {
            if (name.size() == key.size() && name == key)
                return &field;
        }
        return nullptr;
    }

    static QVariant value(const Bean& bean, const Field& field)
    {
        return std::visit(
            [&bean](const auto& member) -> QVariant {
                using Member = std::decay_t<decltype(member)>;
                if constexpr (std::is_same_v<Member, qint64 Bean::*>)
                    return integerValue(bean.*member);
                else if constexpr (std::is_same_v<Member, bool Bean::*>)
                    return booleanValue(bean.*member);
                else if constexpr (std::is_same_v<Member, QString Bean::*>)
                    return textValue(bean.*member);
                else if constexpr (std::is_same_v<Member, QDateTime Bean::*>)
                    return dateValue(bean.*member);
                else
                    return member.get(bean);
            },
            field);
    }

    static bool setValue(Bean& bean, const Field& field, const QVariant& value)
    {
        return std::visit(
            [&bean, &value](const auto& member) -> bool {
                using Member = std::decay_t<decltype(member)>;
                if constexpr (std::is_same_v<Member, qint64 Bean::*>)
                    return assignInteger(bean.*member, value);
                else if constexpr (std::is_same_v<Member, bool Bean::*>)
                    return assignBoolean(bean.*member, value);
                else if constexpr (std::is_same_v<Member, QString Bean::*>)
                    return assignText(bean.*member, value);
                else if constexpr (std::is_same_v<Member, QDateTime Bean::*>)
                    return assignDate(bean.*member, value);
                else
                    return member.set(bean, value);
            },
            field);
    }

private:
    std::vector<std::pair<QString, Field>> m_fields;
};

} // namespace fnw::model
