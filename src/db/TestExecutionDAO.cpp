#include "db/TestExecutionDAO.h"

#include "base/FNWEnums.h"
#include "db/FMDatabase.h"
#include "model/TestExecutionBean.h"
#include "support/DDLog.h"

TestExecutionDAO::TestExecutionDAO()
    : FNWBaseModel(QStringLiteral("test_execution_details"), TestExecutionBean::storedFieldNames())
{
}

QString TestExecutionDAO::className() const
{
    return QStringLiteral("TestExecutionDAO");
}

bool TestExecutionDAO::save(TestExecutionBean& execution)
{
    return insertRecord(execution, "%d result of TestExeuctionDAO update is %@");
}

bool TestExecutionDAO::update(const TestExecutionBean& execution)
{
    // The shared update shape, but this store's failure line carries the message only.
    QStringList assignments;
    for (const QString& field : fldList()) {
        if (field != QLatin1String("id"))
            assignments.append(FNWStringWithFormat("%@=:%@", field, field));
    }
    const QString sql = FNWStringWithFormat("update %@  set %@ where id = %ld", tableName(),
                                            assignments.join(QLatin1Char(',')), execution.ID);
    const QVariantMap parameters = execution.getDictionaryOfObject(fldList());
    bool result = false;
    QString message = QStringLiteral("unable to open database file");
    inDatabase([&](FMDatabase& db) {
        result = db.executeUpdate(sql, parameters);
        if (!result)
            message = db.lastErrorMessage();
    });
    if (!result)
        DDLogError("TestExecutionDAO: unable to update DAO in DB.. %@", message);
    return result;
}

qint64 TestExecutionDAO::markRunningExecutionsFailed(const QString& reason)
{
    const qint64 running = FNWExecutionStatusRunning;
    const qint64 failed = FNWExecutionStatusFailed;
    qint64 marked = -1;
    const bool committed = FNWBaseModel::inTransaction([&] {
        bool done = false;
        inDatabase([&](FMDatabase& db) {
            std::unique_ptr<FMResultSet> count = db.executeQuery(
                FNWStringWithFormat("select count(*) from %@ where executionStatus = %ld", tableName(), running));
            if (!count || !count->next())
                return;
            marked = count->objectForColumnIndex(0).toLongLong();
            count->close();
            done = db.executeUpdate(
                FNWStringWithFormat("update %@ set executionStatus = %ld, message = ? where executionStatus = %ld",
                                    tableName(), failed, running),
                QVariantList{reason});
        });
        return done;
    });
    return committed ? marked : -1;
}

bool TestExecutionDAO::remove(const TestExecutionBean& execution)
{
    const QString sql =
        QStringLiteral("delete from test_results where execution_id=") + FNWStringWithFormat("%ld", execution.ID);
    bool deleted = false;
    QString message = QStringLiteral("unable to open database file");
    inDatabase([&](FMDatabase& db) {
        deleted = db.executeUpdate(sql);
        if (!deleted)
            message = db.lastErrorMessage();
    });
    if (deleted)
        DDLogInfo("TestExecutionDAO: deleted all results associated with this exeuction...");
    else
        DDLogError("TestExecutionDAO: can't delete results assosiated with this execution ... %@", message);
    return removeRecordWithID(execution.ID);
}

std::vector<std::shared_ptr<TestExecutionBean>> TestExecutionDAO::getAllRecords()
{
    return recordsFromRows<TestExecutionBean>(FNWBaseModel::getAllRecords());
}

std::vector<std::shared_ptr<TestExecutionBean>>
TestExecutionDAO::loadAllExecutedTestForProfileExecutionID(qint64 profileExecutionID)
{
    const QString sql = QStringLiteral("select * from test_execution_details where test_profile_execution_id = ") +
                        FNWStringWithFormat("%ld and executionStatus= %d order by id desc", profileExecutionID,
                                            static_cast<qint64>(FNWExecutionStatusFinished));
    return recordsFromRows<TestExecutionBean>(getRecordsWithSQLQuery(sql));
}

std::vector<std::shared_ptr<TestExecutionBean>>
TestExecutionDAO::getAllTestExecutionsForProfileExecutionID(qint64 profileExecutionID)
{
    const QString sql = FNWStringWithFormat(
        "select * from test_execution_details where test_profile_execution_id = %ld order by id", profileExecutionID);
    return recordsFromRows<TestExecutionBean>(getRecordsWithSQLQuery(sql));
}

std::shared_ptr<TestExecutionBean> TestExecutionDAO::executionFromRow(const QVariantMap& row)
{
    auto execution = std::make_shared<TestExecutionBean>();
    setRecordFromRow(*execution, row);
    return execution;
}
