#include "model/FNWBaseBean.h"

#include "model/FNWBeanFields.h"
#include "support/FNWFormat.h"

#include <QDateTime>

#include <cmath>
#include <optional>

namespace {

const QLatin1String kIDKey("id");

// Beyond this a real no longer fits a qint64 (2^63, exactly representable).
constexpr double kInt64Limit = 9223372036854775808.0;

bool isText(const QVariant& value)
{
    return value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
}

bool isInteger(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isReal(const QVariant& value)
{
    return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

// Empty text counts as no value: the store writes '' for every unset field.
bool isNone(const QVariant& value)
{
    return !value.isValid() || value.isNull() || (isText(value) && value.toString().trimmed().isEmpty());
}

std::optional<qint64> integerFromReal(double real)
{
    if (!std::isfinite(real) || real >= kInt64Limit || real < -kInt64Limit)
        return std::nullopt;
    return static_cast<qint64>(real);
}

// A stored number as an integer: reals are truncated toward zero, text must read completely as
// a number.
std::optional<qint64> readInteger(const QVariant& value)
{
    if (isNone(value))
        return 0;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    if (isInteger(value)) {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        return ok ? std::optional<qint64>(number) : std::nullopt;
    }
    if (isReal(value))
        return integerFromReal(value.toDouble());
    if (isText(value)) {
        const QString text = value.toString().trimmed();
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        if (ok)
            return number;
        const double real = text.toDouble(&ok);
        return ok ? integerFromReal(real) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<double> readReal(const QVariant& value)
{
    bool ok = false;
    double real = 0.0;
    if (isInteger(value) || isReal(value))
        real = value.toDouble(&ok);
    else if (isText(value))
        real = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(real))
        return std::nullopt;
    return real;
}

} // namespace

namespace fnw::model {

QVariant integerValue(qint64 value)
{
    return QVariant(value);
}

QVariant booleanValue(bool value)
{
    return QVariant(static_cast<qint64>(value ? 1 : 0));
}

QVariant textValue(const QString& text)
{
    return text.isNull() ? QVariant() : QVariant(text);
}

QVariant dateValue(const QDateTime& date)
{
    return date.isValid() ? QVariant(static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0) : QVariant();
}

bool assignInteger(qint64& field, const QVariant& value)
{
    const std::optional<qint64> number = readInteger(value);
    if (!number)
        return false;
    field = *number;
    return true;
}

bool assignBoolean(bool& field, const QVariant& value)
{
    const std::optional<qint64> number = readInteger(value);
    if (!number)
        return false;
    field = *number != 0;
    return true;
}

bool assignText(QString& field, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        field = QString();
    else if (isText(value) || isInteger(value) || isReal(value))
        field = value.toString();
    else
        return false;
    return true;
}

bool assignDate(QDateTime& field, const QVariant& value)
{
    if (isNone(value)) {
        field = QDateTime();
        return true;
    }
    if (value.typeId() == QMetaType::QDateTime) {
        field = value.toDateTime();
        return true;
    }
    const std::optional<double> seconds = readReal(value);
    if (!seconds)
        return false;
    // QDateTime keeps milliseconds; finer fractions of the stored real are rounded away.
    const std::optional<qint64> msecs = integerFromReal(std::round(*seconds * 1000.0));
    if (!msecs)
        return false;
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(*msecs, Qt::UTC);
    if (!date.isValid())
        return false;
    field = date;
    return true;
}

} // namespace fnw::model

FNWBaseBean::~FNWBaseBean() = default;

QVariant FNWBaseBean::getMyIDAsNumber() const
{
    return QVariant(ID);
}

QVariantMap FNWBaseBean::getDictionaryOfObject(const QStringList& fieldNames) const
{
    QVariantMap dictionary;
    for (const QString& name : fieldNames) {
        const QVariant value = name == kIDKey ? getMyIDAsNumber() : valueForKey(name);
        dictionary.insert(name, value.isValid() && !value.isNull() ? value : QVariant(QString::fromLatin1("")));
    }
    return dictionary;
}

QVariant FNWBaseBean::valueForKey(const QString& key) const
{
    return key == kIDKey ? getMyIDAsNumber() : QVariant();
}

bool FNWBaseBean::setValueForKey(const QVariant& value, const QString& key)
{
    return key == kIDKey && fnw::model::assignInteger(ID, value);
}

QString FNWBaseBean::description() const
{
    return FNWStringWithFormat("FNWBaseBean: %ld", ID);
}
