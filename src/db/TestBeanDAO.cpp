#include "db/TestBeanDAO.h"

#include "model/TestBean.h"
#include "support/DDLog.h"

TestBeanDAO::TestBeanDAO()
    : FNWBaseModel(QStringLiteral("test"), TestBean::storedFieldNames())
{
}

QString TestBeanDAO::className() const
{
    return QStringLiteral("TestBeanDAO");
}

bool TestBeanDAO::save(TestBean& test, QString* error)
{
    return insertRecord(test, "%d result of TestBean save is %@", error);
}

bool TestBeanDAO::update(const TestBean& test)
{
    return updateRecord(test, "%d result of TestBean update is %@");
}

bool TestBeanDAO::updateOrder(const TestBean& test)
{
    const QString sql = QStringLiteral("update ") +
                        FNWStringWithFormat("%@ set testOrder=%ld where id=%ld", tableName(), test.testOrder, test.ID);
    return executeUpdate(sql, {}, "%d result of TestBean updateOrder is %@");
}

bool TestBeanDAO::remove(const TestBean& test)
{
    return removeRecordWithID(test.ID);
}

bool TestBeanDAO::detachFromProfile(const TestBean& test)
{
    const QString unused = QStringLiteral("delete from ") +
                           FNWStringWithFormat("%@ where id=%ld and not exists (select 1 from test_execution_details "
                                               "where testBean_id=%ld)",
                                               tableName(), test.ID, test.ID);
    if (!executeUpdate(unused, {}, "%d result of TestBean removal from its profile is %@"))
        return false;
    const QString detach =
        QStringLiteral("update ") + FNWStringWithFormat("%@ set testQueueID=-1 where id=%ld", tableName(), test.ID);
    return executeUpdate(detach, {}, "%d result of TestBean detach is %@");
}

std::shared_ptr<TestBean> TestBeanDAO::loadTestBeanWithID(qint64 testID)
{
    const std::optional<QVariantMap> row = getRecordWithID(testID);
    if (!row)
        return nullptr;
    auto test = std::make_shared<TestBean>();
    setRecordFromRow(*test, *row);
    return test;
}
