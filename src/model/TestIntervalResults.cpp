#include "model/TestIntervalResults.h"

#include "db/TestIntervalResultsDAO.h"
#include "model/FNWBeanFields.h"

namespace {

using Fields = fnw::model::FNWBeanFields<TestIntervalResults>;

// The figures go to the database as REAL and come back as double, '' reading as 0.
bool assignReal(double& field, const QVariant& value)
{
    if (!value.isValid() || value.isNull() || value.toString().trimmed().isEmpty()) {
        field = 0.0;
        return true;
    }
    bool ok = false;
    const double real =
        value.typeId() == QMetaType::QString ? value.toString().trimmed().toDouble(&ok) : value.toDouble(&ok);
    if (!ok)
        return false;
    field = real;
    return true;
}

QVariant realValue(double value)
{
    return QVariant(value);
}

const Fields& resultFields()
{
    static const Fields fields{
        {"speed",
         Fields::Accessor{[](const TestIntervalResults& r) { return realValue(r.speed); },
                          [](TestIntervalResults& r, const QVariant& value) { return assignReal(r.speed, value); }}},
        {"data_transfered", Fields::Accessor{[](const TestIntervalResults& r) { return realValue(r.data_transfered); },
                                             [](TestIntervalResults& r, const QVariant& value) {
                                                 return assignReal(r.data_transfered, value);
                                             }}},
        {"test_id", &TestIntervalResults::test_id},
        {"execution_id", &TestIntervalResults::execution_id},
        {"start_time", &TestIntervalResults::start_time},
        {"end_time", &TestIntervalResults::end_time},
        {"data_Format", &TestIntervalResults::data_Format},
        {"jitter", &TestIntervalResults::jitter},
        {"datagrams", &TestIntervalResults::datagrams},
    };
    return fields;
}

} // namespace

// Jitter and datagrams are empty text for TCP lines, never unset.
TestIntervalResults::TestIntervalResults()
    : jitter(QString::fromLatin1(""))
    , datagrams(QString::fromLatin1(""))
{
}

QStringList TestIntervalResults::storedFieldNames()
{
    return {QStringLiteral("id"),           QStringLiteral("test_id"), QStringLiteral("start_time"),
            QStringLiteral("end_time"),     QStringLiteral("speed"),   QStringLiteral("data_transfered"),
            QStringLiteral("execution_id"), QStringLiteral("jitter"),  QStringLiteral("datagrams")};
}

bool TestIntervalResults::save()
{
    TestIntervalResultsDAO().save(*this);
    return true;
}

bool TestIntervalResults::remove()
{
    return TestIntervalResultsDAO().remove(*this);
}

QVariant TestIntervalResults::valueForKey(const QString& key) const
{
    return resultFields().valueForKey(*this, key);
}

bool TestIntervalResults::setValueForKey(const QVariant& value, const QString& key)
{
    return resultFields().setValueForKey(*this, value, key);
}

QString TestIntervalResults::description() const
{
    return FNWStringWithFormat("TestIntervalResults: %@,%@,%f,%f,%@,%@", fnw::model::textArg(start_time),
                               fnw::model::textArg(end_time), data_transfered, speed, fnw::model::textArg(jitter),
                               fnw::model::textArg(datagrams));
}
