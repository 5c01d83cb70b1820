#pragma once

#include "db/FNWBaseModel.h"

#include <memory>
#include <vector>

class TestProfileExecutionBean;

// The test_profile_execution table: one row per run of a profile. Rows are never updated.
class TestProfileExecutionDAO : public FNWBaseModel
{
public:
    TestProfileExecutionDAO();

    QString className() const override;

    // Inserts a new row; the execution takes its id only when the insert succeeded.
    bool save(TestProfileExecutionBean& execution);
    // The row alone; removeWithAllExecutions takes what belongs to it along.
    bool remove(const TestProfileExecutionBean& execution);
    // Deletes these runs with every test execution of theirs (finished, failed or left running)
    // and all of those executions' results, in one transaction: all of it goes, or nothing.
    bool removeWithAllExecutions(const std::vector<qint64>& executionIDs);
    // Every profile run, most recent first.
    std::vector<std::shared_ptr<TestProfileExecutionBean>> getAllRecords();
    std::shared_ptr<TestProfileExecutionBean> loadTestProfileExecutionWithID(qint64 executionID);
    static std::shared_ptr<TestProfileExecutionBean> getTestProfileExeuctionBean(const QVariantMap& row);
    // The history list: the profile runs with at least one finished test, most recent first,
    // each with its finished tests (test, preset and agent loaded), its date text and its
    // summary figures. With a limit above 0, only the newest that many profile runs are read (so
    // fewer may come back), for a first screen.
    std::vector<std::shared_ptr<TestProfileExecutionBean>> getAllExecutedTestProfileRecords(qint64 limit = 0);
};
