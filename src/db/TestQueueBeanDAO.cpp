#include "db/TestQueueBeanDAO.h"

#include "model/TestBean.h"
#include "model/TestQueueBean.h"
#include "support/DDLog.h"

TestQueueBeanDAO::TestQueueBeanDAO()
    : FNWBaseModel(QStringLiteral("test_profiles"), TestQueueBean::storedFieldNames())
{
}

QString TestQueueBeanDAO::className() const
{
    return QStringLiteral("TestQueueBeanDAO");
}

bool TestQueueBeanDAO::save(TestQueueBean& profile, QString* error)
{
    return insertRecord(profile, "%d result of TestQueueBean save is %@", error);
}

bool TestQueueBeanDAO::update(const TestQueueBean& profile)
{
    return updateRecord(profile, "%d result of TestQueueBean update is %@");
}

bool TestQueueBeanDAO::remove(const TestQueueBean& profile)
{
    const QString sql =
        QStringLiteral("update ") + FNWStringWithFormat("%@ set isDeleted=%d where id=%ld", tableName(), 1, profile.ID);
    return executeUpdate(sql, {}, "%d result of TestQueueBean remove is %@");
}

bool TestQueueBeanDAO::updateViewPostion(const TestQueueBean& profile)
{
    const QString sql = QStringLiteral("update ") + FNWStringWithFormat("%@ set viewPosition=%ld where id=%ld",
                                                                        tableName(), profile.viewPosition, profile.ID);
    return executeUpdate(sql, {}, "%d result of TestQueueBean updateViewPostion is %@");
}

qint64 TestQueueBeanDAO::getMaxViewPosition()
{
    return maxViewPosition();
}

bool TestQueueBeanDAO::findTestName(const QString& name)
{
    const QString sql = QStringLiteral("SELECT testProfileName FROM ") +
                        FNWStringWithFormat("%@ where testProfileName = ? and isDeleted=0", tableName());
    // An unset name is stored as '', so it is looked up as ''.
    return hasRowForQuery(sql, {name.isNull() ? QString::fromLatin1("") : name}, "%d result of findTestName is %@");
}

std::vector<std::shared_ptr<TestQueueBean>> TestQueueBeanDAO::getAllNamedProfiles()
{
    const QList<QVariantMap> rows = getRecordsWithMatchingWhereClause(
        QStringLiteral("where (testProfileName <> '') and isDeleted=0 order by viewPosition asc"));
    std::vector<std::shared_ptr<TestQueueBean>> profiles;
    profiles.reserve(rows.size());
    for (const QVariantMap& row : rows) {
        auto profile = std::make_shared<TestQueueBean>();
        setRecordFromRow(*profile, row);
        profiles.push_back(std::move(profile));
    }
    return profiles;
}

std::vector<std::shared_ptr<TestBean>> TestQueueBeanDAO::getAllAssociatedTestBeans(qint64 profileID)
{
    const QList<QVariantMap> rows =
        getRecordsWithSQLQuery(QStringLiteral("select * from test where ") +
                               FNWStringWithFormat("testQueueID=%ld order by testOrder, id", profileID));
    std::vector<std::shared_ptr<TestBean>> tests;
    tests.reserve(rows.size());
    for (const QVariantMap& row : rows) {
        auto test = std::make_shared<TestBean>();
        setRecordFromRow(*test, row);
        tests.push_back(std::move(test));
    }
    return tests;
}
