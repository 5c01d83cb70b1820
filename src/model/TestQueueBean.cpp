#include "model/TestQueueBean.h"

#include "model/FNWBeanFields.h"
#include "model/TestBean.h"

namespace {

using Fields = fnw::model::FNWBeanFields<TestQueueBean>;

const Fields& profileFields()
{
    static const Fields fields{
        {"testProfileName", &TestQueueBean::testProfileName},
        {"viewPosition", &TestQueueBean::viewPosition},
        {"isDeleted", &TestQueueBean::isDeleted},
    };
    return fields;
}

} // namespace

TestQueueBean::TestQueueBean(qint64 identifier)
{
    ID = identifier;
}

TestQueueBean::~TestQueueBean() = default;

QStringList TestQueueBean::storedFieldNames()
{
    return {QStringLiteral("id"), QStringLiteral("testProfileName"), QStringLiteral("viewPosition"),
            QStringLiteral("isDeleted")};
}

std::shared_ptr<TestQueueBean> TestQueueBean::copy() const
{
    auto profile = std::make_shared<TestQueueBean>();
    profile->testProfileName = testProfileName;
    profile->viewPosition = viewPosition;
    profile->isDeleted = isDeleted;
    return profile;
}

QVariant TestQueueBean::valueForKey(const QString& key) const
{
    const Fields::Field* field = profileFields().find(key);
    return field ? Fields::value(*this, *field) : FNWBaseBean::valueForKey(key);
}

bool TestQueueBean::setValueForKey(const QVariant& value, const QString& key)
{
    const Fields::Field* field = profileFields().find(key);
    return field ? Fields::setValue(*this, *field, value) : FNWBaseBean::setValueForKey(value, key);
}

QString TestQueueBean::description() const
{
    return FNWStringWithFormat("TestQueueBean: %ld,%@,%lu tests,deleted=%d", ID, fnw::model::textArg(testProfileName),
                               testList.size(), isDeleted);
}
