#pragma once

// Key-value tables of the records; included by the record sources only.

#include "support/FNWFormat.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <initializer_list>
#include <memory>
#include <mutex>
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

    // The field named key, else what the base record answers (its "id").
    QVariant valueForKey(const Bean& bean, const QString& key) const
    {
        const Field* field = find(key);
        return field ? value(bean, *field) : bean.FNWBaseBean::valueForKey(key);
    }

    bool setValueForKey(Bean& bean, const QVariant& newValue, const QString& key) const
    {
        const Field* field = find(key);
        return field ? setValue(bean, *field, newValue) : bean.FNWBaseBean::setValueForKey(newValue, key);
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

// A failure reason without the line ends iperf and the system's texts close with, so that it
// stays one line where it is stored and shown.
inline QString withoutTrailingLineEnds(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == u'\n' || text[end - 1] == u'\r'))
        --end;
    return end == text.size() ? text : text.left(end);
}

// The held record, else the one loaded by its id and kept unless another was set meanwhile. The
// load runs outside the lock: the database queue may be busy, and other readers need not wait.
// Without a row id (-1 or 0: rows count from 1) the answer is what is held, possibly none.
template <class Record, class Load>
std::shared_ptr<Record> heldOrLoaded(std::mutex& mutex, std::shared_ptr<Record>& held, const qint64& id, Load load)
{
    qint64 recordID = -1;
    {
        std::lock_guard lock(mutex);
        if (held || id <= 0)
            return held;
        recordID = id;
    }
    std::shared_ptr<Record> loaded = load(recordID);
    std::lock_guard lock(mutex);
    if (!held)
        held = std::move(loaded);
    return held;
}

} // namespace fnw::model
