#pragma once

#include "db/FNWBaseModel.h"

#include <memory>
#include <vector>

class TestExecutionBean;

// The test_execution_details table: one row per run of a test.
class TestExecutionDAO : public FNWBaseModel
{
public:
    TestExecutionDAO();

    QString className() const override;

    // Inserts a new row; the execution takes its id only when the insert succeeded.
    bool save(TestExecutionBean& execution);
    bool update(const TestExecutionBean& execution);
    // Marks every execution still "running" failed with the reason, in one transaction; their
    // results stay. The number marked, or -1 when the store refused.
    qint64 markRunningExecutionsFailed(const QString& reason);
    // Deletes the run's interval results, then its row whatever the first step gave; the row
    // deletion's result.
    bool remove(const TestExecutionBean& execution);
    // Every execution, in table order.
    std::vector<std::shared_ptr<TestExecutionBean>> getAllRecords();
    // The finished runs of one profile run, most recent first.
    std::vector<std::shared_ptr<TestExecutionBean>> loadAllExecutedTestForProfileExecutionID(qint64 profileExecutionID);

    // Every run of one profile run, whatever its outcome.
    std::vector<std::shared_ptr<TestExecutionBean>> getAllTestExecutionsForProfileExecutionID(qint64 profileExecutionID);
    static std::shared_ptr<TestExecutionBean> executionFromRow(const QVariantMap& row);
};
