#include "db/TestIntervalResultsDAO.h"

#include "model/TestIntervalResults.h"
#include "support/DDLog.h"

TestIntervalResultsDAO::TestIntervalResultsDAO()
    : FNWBaseModel(QStringLiteral("test_results"), TestIntervalResults::storedFieldNames())
{
}

QString TestIntervalResultsDAO::className() const
{
    return QStringLiteral("TestIntervalResultsDAO");
}

bool TestIntervalResultsDAO::save(TestIntervalResults& result)
{
    return insertRecord(result, "%d result of TestIntervalDAO update is %@");
}

bool TestIntervalResultsDAO::remove(const TestIntervalResults& result)
{
    return removeRecordWithID(result.ID);
}

bool TestIntervalResultsDAO::removeAllResultsForTestExecutionID(qint64 executionID)
{
    return executeUpdate(QStringLiteral("delete from test_results where execution_id = ?"), {executionID},
                         "%d TestIntervalResultsDAO: can't delete the results of an execution ... %@");
}

std::vector<std::shared_ptr<TestIntervalResults>>
TestIntervalResultsDAO::loadAllResultsForTestExectionID(qint64 executionID)
{
    const QString sql = QStringLiteral("select * from test_results where execution_id = ") +
                        FNWStringWithFormat("%ld order by id desc", executionID);
    std::vector<std::shared_ptr<TestIntervalResults>> results;
    for (const QVariantMap& row : getRecordsWithSQLQuery(sql)) {
        auto result = std::make_shared<TestIntervalResults>();
        setRecordFromRow(*result, row);
        results.push_back(std::move(result));
    }
    return results;
}
