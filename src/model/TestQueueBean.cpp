#include "model/TestQueueBean.h"

#include "db/FNWBaseModel.h"
#include "db/TestBeanDAO.h"
#include "db/TestQueueBeanDAO.h"
#include "model/FNWBeanFields.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "support/DDLog.h"

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
    TestQueueBeanDAO().loadWithID(identifier, *this);
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

bool TestQueueBean::save(QString* error)
{
    const qint64 savedID = ID;
    std::vector<TestBean::FNWSavedIDs> savedTests;
    savedTests.reserve(testList.size());
    for (const std::shared_ptr<TestBean>& test : testList)
        savedTests.push_back(test->savedIDs());

    const bool saved = FNWBaseModel::inTransaction([&] {
        if (!TestQueueBeanDAO().save(*this, error))
            return false;
        for (const std::shared_ptr<TestBean>& test : testList) {
            test->testQueueID = ID;
            QString testError;
            if (!test->save(&testError)) {
                DDLogError("TestQueueBean: Can't save individual test while saving.. %@", testError);
                if (error)
                    *error = testError;
                return false;
            }
        }
        return true;
    });
    if (!saved) {
        ID = savedID;
        for (size_t i = 0; i < testList.size(); ++i)
            testList[i]->restoreIDs(savedTests[i]);
    }
    return saved;
}

bool TestQueueBean::update()
{
    bool result = TestQueueBeanDAO().update(*this);
    for (const std::shared_ptr<TestBean>& test : testList) {
        if (!test->update()) {
            DDLogError("TestQueueBean: Can't update individual test while updating..");
            result = false;
        }
    }
    return result;
}

bool TestQueueBean::updateWithTests(const std::vector<std::shared_ptr<TestBean>>& tests,
                                    const std::vector<std::shared_ptr<TestBean>>& removedTests, QString* error)
{
    std::vector<TestBean::FNWSavedIDs> savedTests;
    savedTests.reserve(tests.size());
    for (const std::shared_ptr<TestBean>& test : tests)
        savedTests.push_back(test->savedIDs());
    const auto fail = [error](const QString& reason) {
        DDLogError("TestQueueBean: Can't update the test profile.. %@", reason);
        if (error)
            *error = reason;
        return false;
    };

    const bool updated = FNWBaseModel::inTransaction([&] {
        const QString notStored = QStringLiteral("The test profile could not be stored.");
        if (!TestQueueBeanDAO().update(*this))
            return fail(notStored);
        TestBeanDAO rows;
        for (const std::shared_ptr<TestBean>& test : removedTests) {
            if (test->ID > 0 && !rows.detachFromProfile(*test))
                return fail(notStored);
        }
        for (const std::shared_ptr<TestBean>& test : tests) {
            const std::shared_ptr<FNWPresetBean> preset = test->preset();
            const bool stored = test->ID > 0;
            if (stored && !(preset && preset->isEdited)) {
                test->testQueueID = ID;
                if (!rows.update(*test))
                    return fail(notStored);
                continue;
            }
            // New settings: earlier runs keep the row they ran with.
            if (stored && !rows.detachFromProfile(*test))
                return fail(notStored);
            test->ID = 0;
            test->testQueueID = ID;
            QString testError;
            if (!test->save(&testError))
                return fail(testError);
        }
        return true;
    });
    if (updated) {
        testList = tests;
    } else {
        for (size_t i = 0; i < tests.size(); ++i)
            tests[i]->restoreIDs(savedTests[i]);
    }
    return updated;
}

bool TestQueueBean::remove()
{
    return TestQueueBeanDAO().remove(*this);
}

bool TestQueueBean::updateViewPostion()
{
    return TestQueueBeanDAO().updateViewPostion(*this);
}

void TestQueueBean::loadAllTestBeans()
{
    testList = TestQueueBeanDAO().getAllAssociatedTestBeans(ID);
}

qint64 TestQueueBean::getMaxViewPosition()
{
    return TestQueueBeanDAO().getMaxViewPosition();
}

bool TestQueueBean::findTestName(const QString& name)
{
    return TestQueueBeanDAO().findTestName(name);
}

QVariant TestQueueBean::valueForKey(const QString& key) const
{
    return profileFields().valueForKey(*this, key);
}

bool TestQueueBean::setValueForKey(const QVariant& value, const QString& key)
{
    return profileFields().setValueForKey(*this, value, key);
}

QString TestQueueBean::description() const
{
    return FNWStringWithFormat("TestQueueBean: %ld,%@,%lu tests,deleted=%d", ID, fnw::model::textArg(testProfileName),
                               testList.size(), isDeleted);
}
