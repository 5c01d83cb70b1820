#include "base/FNWEnums.h"
#include "base/FNWUtils.h"
#include "db/FNWAgentDAO.h"
#include "db/FNWBaseModel.h"
#include "db/FNWPresetDAO.h"
#include "db/TestBeanDAO.h"
#include "db/TestExecutionDAO.h"
#include "db/TestIntervalResultsDAO.h"
#include "db/TestProfileExecutionDAO.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"

#include "db/FNWStoreTestSupport.h"

#include <gtest/gtest.h>

namespace {

class FNWExecutionStoresTest : public FNWStoreTest
{
protected:
    // A saved test of the profile on the given agent, with a saved preset of its own.
    static std::shared_ptr<TestBean> saveTest(qint64 profileID, const std::shared_ptr<FNWAgentBean>& agent)
    {
        auto preset = std::make_shared<FNWPresetBean>();
        preset->name = QStringLiteral("Quick");
        EXPECT_TRUE(FNWPresetDAO().save(*preset));
        auto test = std::make_shared<TestBean>();
        test->testQueueID = profileID;
        test->preset_id = preset->ID;
        test->agent_id = agent->ID;
        EXPECT_TRUE(TestBeanDAO().save(*test));
        return test;
    }

    static std::shared_ptr<FNWAgentBean> saveAgent(const QString& address)
    {
        auto agent = std::make_shared<FNWAgentBean>();
        agent->ip_address = address;
        EXPECT_TRUE(FNWAgentDAO().save(*agent));
        return agent;
    }

    static std::shared_ptr<TestProfileExecutionBean> saveProfileExecution(qint64 profileID)
    {
        auto execution = std::make_shared<TestProfileExecutionBean>();
        execution->test_profile_id = profileID;
        execution->execution_date = QDateTime::fromMSecsSinceEpoch(1700000000250, Qt::UTC);
        execution->save();
        EXPECT_GT(execution->ID, 0);
        return execution;
    }

    static std::shared_ptr<TestExecutionBean> saveExecution(const TestProfileExecutionBean& run, qint64 testID,
                                                            qint64 status, qint64 averageSpeed = 1000,
                                                            qint64 dataTransfered = 500)
    {
        auto execution = std::make_shared<TestExecutionBean>();
        execution->test_profile_execution_id = run.ID;
        execution->testProfile_id = run.test_profile_id;
        execution->testBean_id = testID;
        execution->setExecutionStatus(status);
        execution->setAverageSpeed(averageSpeed);
        execution->setDataTransfered(dataTransfered);
        execution->save();
        EXPECT_GT(execution->ID, 0);
        return execution;
    }

    static std::shared_ptr<TestIntervalResults> saveResult(const TestExecutionBean& execution, double speed)
    {
        auto result = std::make_shared<TestIntervalResults>();
        result->execution_id = execution.ID;
        result->test_id = execution.testBean_id;
        result->start_time = QStringLiteral("0.00");
        result->end_time = QStringLiteral("1.00");
        result->speed = speed;
        result->save();
        EXPECT_GT(result->ID, 0);
        return result;
    }
};

std::vector<qint64> ids(const std::vector<std::shared_ptr<TestIntervalResults>>& results)
{
    std::vector<qint64> list;
    for (const auto& result : results)
        list.push_back(result->ID);
    return list;
}

} // namespace

TEST_F(FNWExecutionStoresTest, RecordsStoreDatesAndFiguresAsRealsAndReadThemBack)
{
    const auto run = saveProfileExecution(4);
    TestExecutionBean fresh;
    fresh.execution_date = QDateTime::fromMSecsSinceEpoch(1700000100500, Qt::UTC);
    fresh.save();
    saveResult(fresh, 1234.5F);

    const QString types = QStringLiteral("select typeof(p.execution_date) || typeof(e.execution_date) || "
                                         "typeof(r.speed) as t from test_profile_execution p, "
                                         "test_execution_details e, test_results r");
    EXPECT_EQ(rows(types).value(0).value("t").toString(), QStringLiteral("realrealreal"));
    EXPECT_EQ(TestProfileExecutionDAO().loadTestProfileExecutionWithID(run->ID)->execution_date, run->execution_date);
    const auto executions = TestExecutionDAO().getAllRecords();
    ASSERT_EQ(executions.size(), 1U);
    EXPECT_EQ(executions[0]->execution_date, fresh.execution_date);
    // A fresh run's figures are "not known yet", not 0.
    EXPECT_EQ(executions[0]->averageSpeed(), -1);
    EXPECT_EQ(executions[0]->dataTransfered(), -1);
    EXPECT_FLOAT_EQ(TestIntervalResultsDAO().loadAllResultsForTestExectionID(fresh.ID).at(0)->speed, 1234.5F);

    // Figures a 32-bit float would round (to 45678899200 and 1234567936) come back exact.
    auto big = saveResult(fresh, 45678901234.0);
    big->data_transfered = 1234567891.0;
    big->save();
    EXPECT_EQ(count("test_results", "speed = 45678901234 and data_transfered = 1234567891"), 1);
    const auto loaded = TestIntervalResultsDAO().loadAllResultsForTestExectionID(fresh.ID).at(0);
    EXPECT_EQ(loaded->speed, 45678901234.0);
    EXPECT_EQ(loaded->data_transfered, 1234567891.0);
}

TEST_F(FNWExecutionStoresTest, ResultsLoadMostRecentFirstAndNotForFailedRuns)
{
    const auto run = saveProfileExecution(1);
    const auto execution = saveExecution(*run, 3, FNWExecutionStatusFinished);
    const auto other = saveExecution(*run, 3, FNWExecutionStatusFinished);
    const qint64 first = saveResult(*execution, 100)->ID;
    saveResult(*other, 999);
    const qint64 second = saveResult(*execution, 200)->ID;
    const qint64 last = saveResult(*execution, 300)->ID;

    EXPECT_EQ(ids(TestIntervalResultsDAO().loadAllResultsForTestExectionID(execution->ID)),
              (std::vector<qint64>{last, second, first}));
    TestExecutionBean loaded;
    loaded.ID = execution->ID;
    loaded.testBean_id = 3;
    EXPECT_EQ(ids(loaded.testResults()), (std::vector<qint64>{last, second, first}));

    // A newly arriving line goes first; the loaded list is not read again.
    auto next = std::make_shared<TestIntervalResults>();
    loaded.addIntervalResults(next);
    EXPECT_EQ(loaded.testResults().front(), next);
    EXPECT_EQ(loaded.testResults().size(), 4U);

    TestExecutionBean failed;
    failed.ID = execution->ID;
    failed.testBean_id = 3;
    failed.setExecutionStatus(FNWExecutionStatusFailed);
    EXPECT_TRUE(failed.testResults().empty());
}

TEST_F(FNWExecutionStoresTest, RemovalDeletesResultsThenRows)
{
    const auto run = saveProfileExecution(1);
    const auto doomed = saveExecution(*run, 3, FNWExecutionStatusFinished);
    const auto kept = saveExecution(*run, 3, FNWExecutionStatusFinished);
    saveResult(*doomed, 1);
    saveResult(*doomed, 2);
    saveResult(*kept, 3);

    fnw::test::LogCapture log;
    EXPECT_TRUE(doomed->remove());
    EXPECT_TRUE(log.messages().contains(
        QStringLiteral("TestExecutionDAO: deleted all results associated with this exeuction...")));
    EXPECT_EQ(count("test_results", QStringLiteral("execution_id = %1").arg(doomed->ID)), 0);
    EXPECT_EQ(count("test_execution_details", QStringLiteral("id = %1").arg(doomed->ID)), 0);
    EXPECT_EQ(count("test_results", QStringLiteral("execution_id = %1").arg(kept->ID)), 1);

    // A profile run goes whole: every execution, failed ones too, and all their results; other
    // runs stay.
    const auto failed = saveExecution(*run, 3, FNWExecutionStatusFailed);
    saveResult(*failed, 4);
    const auto other = saveProfileExecution(2);
    const auto otherExecution = saveExecution(*other, 3, FNWExecutionStatusFinished);
    saveResult(*otherExecution, 5);
    run->loadAllExecutedTest();
    EXPECT_TRUE(run->remove());
    EXPECT_EQ(count("test_profile_execution"), 1);
    EXPECT_EQ(count("test_execution_details", QStringLiteral("test_profile_execution_id = %1").arg(run->ID)), 0);
    EXPECT_EQ(count("test_results"), 1);

    // One that cannot be deleted entirely is not deleted at all.
    execute(QStringLiteral("CREATE TRIGGER keep_results BEFORE DELETE ON test_results "
                           "BEGIN SELECT RAISE(ABORT, 'results are locked'); END"));
    EXPECT_FALSE(TestProfileExecutionDAO().removeWithAllExecutions({other->ID}));
    EXPECT_EQ(count("test_profile_execution"), 1);
    EXPECT_EQ(count("test_execution_details"), 1);

    // A single execution whose results cannot be deleted still goes, its results stay.
    EXPECT_TRUE(otherExecution->remove());
    EXPECT_TRUE(log.messages().contains(QStringLiteral(
        "TestExecutionDAO: can't delete results assosiated with this execution ... results are locked")));
    EXPECT_EQ(count("test_execution_details"), 0);
    EXPECT_EQ(count("test_results", QStringLiteral("execution_id = %1").arg(otherExecution->ID)), 1);
}

TEST_F(FNWExecutionStoresTest, HistoryListsRunsWithFinishedTestsNewestFirstAndCountsTestsAndAgents)
{
    const auto agentA = saveAgent(QStringLiteral("10.0.0.5"));
    const auto agentB = saveAgent(QStringLiteral("10.0.0.8"));
    const auto onA = saveTest(1, agentA);
    const auto onB = saveTest(1, agentB);
    const auto alsoOnB = saveTest(1, agentB);
    saveTest(6, agentA);
    const auto oldest = saveProfileExecution(1);
    const auto allFailed = saveProfileExecution(1);
    const auto newest = saveProfileExecution(1);
    saveExecution(*oldest, onA->ID, FNWExecutionStatusFinished);
    saveExecution(*allFailed, onA->ID, FNWExecutionStatusFailed);
    saveExecution(*allFailed, onB->ID, FNWExecutionStatusRunning);
    const auto earlier = saveExecution(*newest, onB->ID, FNWExecutionStatusFinished);
    saveExecution(*newest, onA->ID, FNWExecutionStatusFailed);
    const auto later = saveExecution(*newest, alsoOnB->ID, FNWExecutionStatusFinished);

    const auto all = TestProfileExecutionDAO().getAllRecords();
    ASSERT_EQ(all.size(), 3U);
    EXPECT_EQ(all[0]->ID, newest->ID);
    EXPECT_EQ(all[2]->ID, oldest->ID);

    const auto history = TestProfileExecutionDAO().getAllExecutedTestProfileRecords();
    ASSERT_EQ(history.size(), 2U);
    EXPECT_EQ(history[0]->ID, newest->ID);
    EXPECT_EQ(history[1]->ID, oldest->ID);
    EXPECT_EQ(history[0]->execution_date_str, FNWUtils::getFormattedNSDate(1700000000.25));
    // The profile's tests and their agents; of the agents only those of finished runs count: both ran on B.
    EXPECT_EQ(history[0]->totalAssignedTest, 3);
    EXPECT_EQ(history[0]->totalAssignedAgents, 2);
    EXPECT_EQ(history[0]->actualFoundAgents, 1);
    const auto runs = history[0]->allExecutedTest();
    ASSERT_EQ(runs.size(), 2U);
    EXPECT_EQ(runs[0]->ID, later->ID);
    EXPECT_EQ(runs[1]->ID, earlier->ID);
    // Test, preset and agent come loaded.
    ASSERT_TRUE(runs[0]->testBean());
    ASSERT_TRUE(runs[0]->testBean()->preset());
    EXPECT_EQ(runs[0]->testBean()->preset()->name, QStringLiteral("Quick"));
    ASSERT_TRUE(runs[0]->testBean()->agent());
    EXPECT_EQ(runs[0]->testBean()->agent()->ip_address, QStringLiteral("10.0.0.8"));
}

TEST_F(FNWExecutionStoresTest, HistoryRepairsAMissingAverageInMemoryOnly)
{
    const auto agent = saveAgent(QStringLiteral("10.0.0.5"));
    const auto test = saveTest(1, agent);
    const auto run = saveProfileExecution(1);
    const auto noResults = saveExecution(*run, test->ID, FNWExecutionStatusFinished, 0, 500);
    const auto nothingMoved = saveExecution(*run, test->ID, FNWExecutionStatusFinished, 0, 0);
    saveResult(*nothingMoved, 700);
    const auto broken = saveExecution(*run, test->ID, FNWExecutionStatusFinished, 0, 500);
    saveResult(*broken, 900);
    saveResult(*broken, 1101);
    // The final totals line is stored last and takes part in the mean: 3004 / 3 = 1001.33.
    saveResult(*broken, 1003);

    fnw::test::LogCapture log;
    const auto history = TestProfileExecutionDAO().getAllExecutedTestProfileRecords();
    ASSERT_EQ(history.size(), 1U);
    const auto runs = history[0]->allExecutedTest();
    ASSERT_EQ(runs.size(), 3U);
    EXPECT_EQ(runs[0]->ID, broken->ID);
    EXPECT_EQ(runs[0]->averageSpeed(), 1001);
    EXPECT_FLOAT_EQ(runs[0]->testResults().front()->speed, 1001.0F);
    EXPECT_FLOAT_EQ(runs[0]->testResults().back()->speed, 900.0F);
    EXPECT_EQ(runs[1]->averageSpeed(), 0);
    // Nothing to average from: the run keeps its 0 rather than failing.
    EXPECT_EQ(runs[2]->averageSpeed(), 0);
    EXPECT_EQ(log.messages().count(QStringLiteral(
                  "***********Average Speed is 0, that's an issue, let's for now recalculate**************")),
              2);

    EXPECT_EQ(count("test_execution_details", QStringLiteral("averageSpeed = 0")), 3);
    EXPECT_EQ(count("test_results", QStringLiteral("speed = 1003")), 1);
}

TEST_F(FNWExecutionStoresTest, FailuresAreLoggedWithTheStoresTexts)
{
    TestExecutionBean execution;
    execution.save();
    execute(QStringLiteral("DROP TABLE test_execution_details; DROP TABLE test_profile_execution"));

    fnw::test::LogCapture log;
    execution.setAverageSpeed(5);
    EXPECT_FALSE(execution.update());
    TestProfileExecutionBean run;
    run.ID = 41;
    // The caller goes on: save answers YES and the id stays as it was.
    EXPECT_TRUE(run.save());
    EXPECT_EQ(run.ID, 41);
    const QStringList messages = log.messages();
    EXPECT_TRUE(messages.contains(
        QStringLiteral("TestExecutionDAO: unable to update DAO in DB.. no such table: test_execution_details")));
    EXPECT_TRUE(messages.contains(
        QStringLiteral("0 result of TestProfileExecutionDAO save is no such table: test_profile_execution")));
}

TEST_F(FNWExecutionStoresTest, DetailedExportShowsTheTestAsStoredNow)
{
    const auto agent = saveAgent(QStringLiteral("10.0.0.5"));
    const auto test = saveTest(1, agent);
    const auto run = saveProfileExecution(1);
    const auto finished = saveExecution(*run, test->ID, FNWExecutionStatusFinished);
    saveResult(*finished, 8000000);
    saveExecution(*run, test->ID, FNWExecutionStatusFailed);
    ASSERT_TRUE(run->getDetailedCSV().contains(QStringLiteral("Direction,  -> 10.0.0.5, ")));

    test->sourceIPAddress = QStringLiteral("10.0.0.9");
    ASSERT_TRUE(TestBeanDAO().update(*test));
    const QString body = run->getDetailedCSV();
    EXPECT_TRUE(body.endsWith(QStringLiteral(", \n\n \n")));
    EXPECT_EQ(body.count(QStringLiteral("\n \n")), 1);
    EXPECT_TRUE(body.startsWith(QStringLiteral("10.0.0.5 - Quick, , 0.00-1.00 s, ")));
    EXPECT_TRUE(body.contains(QStringLiteral("Direction, 10.0.0.9 -> 10.0.0.5, ")));

    TestProfileExecutionBean empty;
    EXPECT_TRUE(empty.getDetailedCSV().isEmpty());
}
