#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

// Base of every record: the row id and key-value access by column name, through which the
// store loads rows into records and builds the parameters of its inserts and updates.
class FNWBaseBean
{
public:
    FNWBaseBean() = default;
    virtual ~FNWBaseBean();
    // Records are shared, never copied by value; copy() makes a new record by the copy rules.
    FNWBaseBean(const FNWBaseBean&) = delete;
    FNWBaseBean& operator=(const FNWBaseBean&) = delete;

    // The row id: 0 for a new record, -1 for a preset or agent copy.
    qint64 ID = 0;

    QVariant getMyIDAsNumber() const;
    // One entry per name: "id" from ID, every other name from the field of that name. An unset
    // or unknown field gives "" so that no statement ever writes NULL.
    QVariantMap getDictionaryOfObject(const QStringList& fieldNames) const;
    static bool allowsKeyedCoding() { return true; }

    // The field named key in its stored form: integers, booleans as 0/1, texts, dates as a real
    // number of seconds since 1970. An unknown key or an unset text or date gives an invalid
    // QVariant.
    virtual QVariant valueForKey(const QString& key) const;
    // Sets the field named key from a stored value. Numbers read "" and null as 0; dates take
    // seconds since 1970 (number or numeric text) and are cleared by null or "". Answers false,
    // leaving the field as it was, for an unknown key or a value the field cannot hold.
    virtual bool setValueForKey(const QVariant& value, const QString& key);

    virtual QString description() const;
};
