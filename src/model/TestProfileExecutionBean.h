#pragma once

#include "model/FNWBaseBean.h"

#include <QDateTime>

#include <memory>
#include <mutex>
#include <vector>

class TestExecutionBean;
class TestQueueBean;

// One run of a test profile, or of the unnamed queue of an ad-hoc run. Written once when the
// run starts; the summary figures exist only in memory and are computed by the history load.
class TestProfileExecutionBean : public FNWBaseBean
{
public:
    TestProfileExecutionBean();
    ~TestProfileExecutionBean() override;

    qint64 test_profile_id = 0;
    QDateTime execution_date;
    // The profile's name at the start; '' for an ad-hoc run.
    QString profile_name;
    // Not stored: execution_date as the history shows it.
    QString execution_date_str;
    // Not stored and not used; kept for the record's shape.
    std::shared_ptr<TestQueueBean> profileBean;
    // Not stored: summary figures of the history list.
    qint64 totalAssignedAgents = 0;
    qint64 totalAssignedTest = 0;
    qint64 actualFoundAgents = 0;

    // The table's columns in store order, "id" first.
    static QStringList storedFieldNames();

    // During a run every started test, after loadAllExecutedTest the finished ones, most
    // recent first. The test manager adds to it while the interface reads it.
    std::vector<std::shared_ptr<TestExecutionBean>> allExecutedTest() const;
    void setAllExecutedTest(std::vector<std::shared_ptr<TestExecutionBean>> executions);
    void addExecutedTest(std::shared_ptr<TestExecutionBean> execution);

    // Replaces allExecutedTest with the finished runs of this profile run, each with its test,
    // preset and agent loaded and a missing average recomputed from its results.
    void loadAllExecutedTest();
    // Repairs an execution whose average is 0 although data moved: the mean of its results'
    // speeds, also shown on its most recent result. In memory only.
    static void repairAverageSpeed(TestExecutionBean& execution);

    // Inserts a new row (the store sets ID). Always YES: a failure is logged by the store.
    bool save();
    // Removes this row with every test execution of the run and their results, in one
    // transaction; false (and nothing removed) when any of it fails.
    bool remove();

    // CSV documents: summary header and body, interval header and this run's interval body.
    static QString getCSVSummeryHeader();
    static QString getCSVSummeryResultsLinesFromTestProfileExecutions(
        const std::vector<std::shared_ptr<TestProfileExecutionBean>>& executions);
    static QString getIntervalResultHeader();
    QString getDetailedCSV();

    QVariant valueForKey(const QString& key) const override;
    bool setValueForKey(const QVariant& value, const QString& key) override;
    QString description() const override;

private:
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<TestExecutionBean>> m_allExecutedTest;
};
