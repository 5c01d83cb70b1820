#include "model/TestProfileExecutionBean.h"

#include "db/TestExecutionDAO.h"
#include "db/TestProfileExecutionDAO.h"
#include "model/FNWBeanFields.h"
#include "model/FNWCSVExport.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestQueueBean.h"
#include "support/DDLog.h"

#include <cmath>

namespace {

using Fields = fnw::model::FNWBeanFields<TestProfileExecutionBean>;

const Fields& profileExecutionFields()
{
    static const Fields fields{
        {"test_profile_id", &TestProfileExecutionBean::test_profile_id},
        {"execution_date", &TestProfileExecutionBean::execution_date},
        {"profile_name", &TestProfileExecutionBean::profile_name},
        {"execution_date_str", &TestProfileExecutionBean::execution_date_str},
        {"totalAssignedAgents", &TestProfileExecutionBean::totalAssignedAgents},
        {"totalAssignedTest", &TestProfileExecutionBean::totalAssignedTest},
        {"actualFoundAgents", &TestProfileExecutionBean::actualFoundAgents},
    };
    return fields;
}

} // namespace

TestProfileExecutionBean::TestProfileExecutionBean() = default;

TestProfileExecutionBean::~TestProfileExecutionBean() = default;

QStringList TestProfileExecutionBean::storedFieldNames()
{
    return {QStringLiteral("id"), QStringLiteral("profile_name"), QStringLiteral("execution_date"),
            QStringLiteral("test_profile_id")};
}

std::vector<std::shared_ptr<TestExecutionBean>> TestProfileExecutionBean::allExecutedTest() const
{
    std::lock_guard lock(m_mutex);
    return m_allExecutedTest;
}

void TestProfileExecutionBean::setAllExecutedTest(std::vector<std::shared_ptr<TestExecutionBean>> executions)
{
    std::lock_guard lock(m_mutex);
    m_allExecutedTest.swap(executions);
}

void TestProfileExecutionBean::addExecutedTest(std::shared_ptr<TestExecutionBean> execution)
{
    std::lock_guard lock(m_mutex);
    m_allExecutedTest.push_back(std::move(execution));
}

void TestProfileExecutionBean::loadAllExecutedTest()
{
    setAllExecutedTest({});
    std::vector<std::shared_ptr<TestExecutionBean>> executions =
        TestExecutionDAO().loadAllExecutedTestForProfileExecutionID(ID);
    for (const std::shared_ptr<TestExecutionBean>& execution : executions) {
        if (const std::shared_ptr<TestBean> test = execution->testBean()) {
            test->preset();
            test->agent();
        }
        repairAverageSpeed(*execution);
    }
    setAllExecutedTest(std::move(executions));
}

void TestProfileExecutionBean::repairAverageSpeed(TestExecutionBean& execution)
{
    if (execution.averageSpeed() != 0 || execution.dataTransfered() <= 0)
        return;
    DDLogInfo("***********Average Speed is 0, that's an issue, let's for now recalculate**************");
    const std::vector<std::shared_ptr<TestIntervalResults>> results = execution.testResults();
    // Without a stored result there is nothing to average; the run keeps its 0.
    if (results.empty())
        return;
    double sum = 0.0;
    for (const std::shared_ptr<TestIntervalResults>& result : results)
        sum += result->speed;
    const double mean = std::trunc(sum / static_cast<double>(results.size()));
    if (!std::isfinite(mean) || std::fabs(mean) >= 9.2e18)
        return;
    execution.setAverageSpeed(static_cast<qint64>(mean));
    results.front()->speed = static_cast<double>(execution.averageSpeed());
}

bool TestProfileExecutionBean::save()
{
    TestProfileExecutionDAO().save(*this);
    return true;
}

bool TestProfileExecutionBean::remove()
{
    // Every execution of the run goes, not only those held: a failed one would be left without
    // a run, its results without an execution.
    return TestProfileExecutionDAO().removeWithAllExecutions({ID});
}

QString TestProfileExecutionBean::getCSVSummeryHeader()
{
    return FNWCSVExport::getCSVSummeryHeader();
}

QString TestProfileExecutionBean::getCSVSummeryResultsLinesFromTestProfileExecutions(
    const std::vector<std::shared_ptr<TestProfileExecutionBean>>& executions)
{
    QString lines;
    for (const std::shared_ptr<TestProfileExecutionBean>& profileExecution : executions) {
        for (const std::shared_ptr<TestExecutionBean>& execution : profileExecution->allExecutedTest())
            lines += execution->getCSVSummeryLine();
    }
    return lines;
}

QString TestProfileExecutionBean::getIntervalResultHeader()
{
    return FNWCSVExport::getIntervalResultHeader();
}

QString TestProfileExecutionBean::getDetailedCSV()
{
    loadAllExecutedTest();
    QString body;
    for (const std::shared_ptr<TestExecutionBean>& execution : allExecutedTest())
        body += FNWStringWithFormat("%@\n \n", execution->getCSVIntervalResults());
    return body;
}

QVariant TestProfileExecutionBean::valueForKey(const QString& key) const
{
    return profileExecutionFields().valueForKey(*this, key);
}

bool TestProfileExecutionBean::setValueForKey(const QVariant& value, const QString& key)
{
    return profileExecutionFields().setValueForKey(*this, value, key);
}

QString TestProfileExecutionBean::description() const
{
    return FNWStringWithFormat("TestProfileExecutionBean: %ld,%@,profile=%ld", ID, fnw::model::textArg(profile_name),
                               test_profile_id);
}
