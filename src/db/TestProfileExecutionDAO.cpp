#include "db/TestProfileExecutionDAO.h"

#include "base/FNWEnums.h"
#include "base/FNWUtils.h"
#include "db/FMDatabase.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "support/DDLog.h"

#include <unordered_map>
#include <unordered_set>

namespace {

double secondsSince1970(const QDateTime& date)
{
    return static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0;
}

// What the repair of TestProfileExecutionBean will look at, and what testResults would load for.
bool needsRepair(const TestExecutionBean& execution)
{
    return execution.averageSpeed() == 0 && execution.dataTransfered() > 0 && execution.testBean_id != -1 &&
           execution.executionStatus() != FNWExecutionStatusFailed;
}

// Records straight from a cursor, column by column, without a dictionary per row.
template <class Bean>
std::vector<std::shared_ptr<Bean>> readRecords(FMDatabase& db, const QString& storeName, const QString& sql)
{
    std::vector<std::shared_ptr<Bean>> records;
    std::unique_ptr<FMResultSet> resultSet = db.executeQuery(sql);
    if (!resultSet || db.hadError()) {
        DDLogError("%@: getRecordsWithSQLQuery, can't retrive - %@", storeName, db.lastErrorMessage());
        return records;
    }
    QStringList columns;
    while (resultSet->next()) {
        if (columns.isEmpty()) {
            for (int i = 0; i < resultSet->columnCount(); ++i)
                columns.append(resultSet->columnNameForIndex(i));
        }
        auto record = std::make_shared<Bean>();
        for (int i = 0; i < columns.size(); ++i) {
            if (!record->setValueForKey(resultSet->objectForColumnIndex(i), columns[i]))
                DDLogError("FNWBaseModel: record has no field for column %@ (value %@)", columns[i],
                           resultSet->objectForColumnIndex(i).toString());
        }
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace

TestProfileExecutionDAO::TestProfileExecutionDAO()
    : FNWBaseModel(QStringLiteral("test_profile_execution"), TestProfileExecutionBean::storedFieldNames())
{
}

QString TestProfileExecutionDAO::className() const
{
    return QStringLiteral("TestProfileExecutionDAO");
}

bool TestProfileExecutionDAO::save(TestProfileExecutionBean& execution)
{
    return insertRecord(execution, "%d result of TestProfileExecutionDAO save is %@");
}

bool TestProfileExecutionDAO::remove(const TestProfileExecutionBean& execution)
{
    return removeRecordWithID(execution.ID);
}

bool TestProfileExecutionDAO::removeWithAllExecutions(const std::vector<qint64>& executionIDs)
{
    QString message;
    const bool removed = inTransaction([&] {
        bool done = true;
        inDatabase([&](FMDatabase& db) {
            for (const qint64 executionID : executionIDs) {
                const QVariantList run{executionID};
                done = db.executeUpdate(QStringLiteral("delete from test_results where execution_id in (select id "
                                                       "from test_execution_details where test_profile_execution_id "
                                                       "= ?)"),
                                        run) &&
                       db.executeUpdate(
                           QStringLiteral("delete from test_execution_details where test_profile_execution_id = ?"),
                           run) &&
                       db.executeUpdate(QStringLiteral("delete from test_profile_execution where id = ?"), run);
                if (!done) {
                    message = db.lastErrorMessage();
                    return;
                }
            }
        });
        return done;
    });
    if (removed)
        DDLogInfo("TestProfileExecutionDAO: deleted %ld test profile executions with all their results",
                  static_cast<qint64>(executionIDs.size()));
    else
        DDLogError("TestProfileExecutionDAO: can't delete test profile executions, nothing deleted ... %@", message);
    return removed;
}

std::vector<std::shared_ptr<TestProfileExecutionBean>> TestProfileExecutionDAO::getAllRecords()
{
    const QString sql = QStringLiteral("select ") +
                        FNWStringWithFormat(" %@ from %@ order by id desc", fldList().join(','), tableName());
    std::vector<std::shared_ptr<TestProfileExecutionBean>> executions;
    for (const QVariantMap& row : getRecordsWithSQLQuery(sql))
        executions.push_back(getTestProfileExeuctionBean(row));
    return executions;
}

std::shared_ptr<TestProfileExecutionBean> TestProfileExecutionDAO::loadTestProfileExecutionWithID(qint64 executionID)
{
    const std::optional<QVariantMap> row = getRecordWithID(executionID);
    return row ? getTestProfileExeuctionBean(*row) : nullptr;
}

std::shared_ptr<TestProfileExecutionBean> TestProfileExecutionDAO::getTestProfileExeuctionBean(const QVariantMap& row)
{
    auto execution = std::make_shared<TestProfileExecutionBean>();
    setRecordFromRow(*execution, row);
    return execution;
}

// The per-run algorithm (load the run's finished tests, then each test, preset and agent, then
// two counts) as one query per level inside one block: a few statements instead of some fifteen
// per run, and one consistent view of the tables. What comes back is the same, except that the
// runs of one test share its record.
std::vector<std::shared_ptr<TestProfileExecutionBean>>
TestProfileExecutionDAO::getAllExecutedTestProfileRecords(qint64 limit)
{
    const QString newestRuns = limit > 0 ? FNWStringWithFormat(" limit %ld", limit) : QString();
    const QString ofNewestRuns =
        limit > 0
            ? FNWStringWithFormat(" and test_profile_execution_id in (select id from test_profile_execution order by "
                                  "id desc limit %ld)",
                                  limit)
            : QString();
    // As a plain integer: the enumerator itself would print as a Boolean.
    const qint64 finished = FNWExecutionStatusFinished;
    const QString finishedTests =
        FNWStringWithFormat("select testBean_id from test_execution_details where executionStatus = %d", finished) +
        ofNewestRuns;
    std::vector<std::shared_ptr<TestProfileExecutionBean>> runs;
    std::vector<std::shared_ptr<TestExecutionBean>> executions;
    std::unordered_map<qint64, std::shared_ptr<TestBean>> tests;
    std::unordered_map<qint64, std::shared_ptr<FNWPresetBean>> presets;
    std::unordered_map<qint64, std::shared_ptr<FNWAgentBean>> agents;
    // Per profile: its tests, and its distinct agent copies (one group per agent_id).
    std::unordered_map<qint64, std::pair<qint64, qint64>> profileCounts;
    // The results of the runs whose average needs the repair, most recent first.
    std::unordered_map<qint64, std::vector<std::shared_ptr<TestIntervalResults>>> resultsToRepair;

    inDatabase([&](FMDatabase& db) {
        const QString name = className();
        runs = readRecords<TestProfileExecutionBean>(
            db, name,
            QStringLiteral("select ") +
                FNWStringWithFormat(" %@ from %@ order by id desc", fldList().join(','), tableName()) + newestRuns);
        executions = readRecords<TestExecutionBean>(
            db, name,
            FNWStringWithFormat("select * from test_execution_details where executionStatus= %d", finished) +
                ofNewestRuns + QStringLiteral(" order by id desc"));
        QStringList repairIDs;
        for (const std::shared_ptr<TestExecutionBean>& execution : executions) {
            if (needsRepair(*execution))
                repairIDs.append(QString::number(execution->ID));
        }
        if (!repairIDs.isEmpty()) {
            const QString sql = QStringLiteral("select * from test_results where execution_id in (") +
                                repairIDs.join(u',') + QStringLiteral(") order by id desc");
            for (auto& result : readRecords<TestIntervalResults>(db, name, sql))
                resultsToRepair[result->execution_id].push_back(std::move(result));
        }
        for (auto& test :
             readRecords<TestBean>(db, name, QStringLiteral("select * from test where id in (") + finishedTests + u')'))
            tests.emplace(test->ID, std::move(test));
        const QString finishedTestsColumn =
            QStringLiteral(" from test where id in (") + finishedTests + QStringLiteral("))");
        for (auto& preset : readRecords<FNWPresetBean>(
                 db, name, QStringLiteral("select * from presets where id in (select preset_id") + finishedTestsColumn))
            presets.emplace(preset->ID, std::move(preset));
        for (auto& agent : readRecords<FNWAgentBean>(
                 db, name, QStringLiteral("select * from agents where id in (select agent_id") + finishedTestsColumn))
            agents.emplace(agent->ID, std::move(agent));

        std::unique_ptr<FMResultSet> groups = db.executeQuery(
            QStringLiteral("select testQueueID, count(*) as cn from test where testQueueID in "
                           "(select test_profile_id from test_profile_execution) group by testQueueID, agent_id"));
        if (!groups || db.hadError())
            DDLogError("%@: getRecordsWithSQLQuery, can't retrive - %@", name, db.lastErrorMessage());
        while (groups && groups->next()) {
            auto& [total, agentGroups] = profileCounts[groups->objectForColumnIndex(0).toLongLong()];
            total += groups->objectForColumnIndex(1).toLongLong();
            ++agentGroups;
        }
    });

    for (const auto& [testID, test] : tests) {
        if (const auto preset = presets.find(test->preset_id); preset != presets.end())
            test->setPreset(preset->second);
        if (const auto agent = agents.find(test->agent_id); agent != agents.end())
            test->setAgent(agent->second);
    }
    std::unordered_map<qint64, std::vector<std::shared_ptr<TestExecutionBean>>> executionsByRun;
    for (std::shared_ptr<TestExecutionBean>& execution : executions) {
        if (const auto test = tests.find(execution->testBean_id); test != tests.end())
            execution->setTestBean(test->second);
        if (const auto results = resultsToRepair.find(execution->ID); results != resultsToRepair.end())
            execution->setTestResults(std::move(results->second));
        executionsByRun[execution->test_profile_execution_id].push_back(std::move(execution));
    }

    std::vector<std::shared_ptr<TestProfileExecutionBean>> executed;
    for (const std::shared_ptr<TestProfileExecutionBean>& run : runs) {
        run->execution_date_str = run->execution_date.isValid()
                                      ? FNWUtils::getFormattedNSDate(secondsSince1970(run->execution_date))
                                      : QString();
        const auto counts = profileCounts.find(run->test_profile_id);
        if (counts != profileCounts.end()) {
            run->totalAssignedTest = counts->second.first;
            run->totalAssignedAgents = counts->second.second;
        }
        const auto runExecutions = executionsByRun.find(run->ID);
        if (runExecutions == executionsByRun.end())
            continue;
        std::unordered_set<qint64> foundAgents;
        for (const std::shared_ptr<TestExecutionBean>& execution : runExecutions->second) {
            TestProfileExecutionBean::repairAverageSpeed(*execution);
            if (const std::shared_ptr<TestBean> test = execution->testBean())
                foundAgents.insert(test->agent_id);
        }
        run->actualFoundAgents = static_cast<qint64>(foundAgents.size());
        run->setAllExecutedTest(std::move(runExecutions->second));
        executed.push_back(run);
    }
    return executed;
}
