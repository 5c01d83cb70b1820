#pragma once

#include "db/FNWBaseModel.h"

#include <memory>
#include <vector>

class TestIntervalResults;

// The test_results table: one row per iperf line of a run.
class TestIntervalResultsDAO : public FNWBaseModel
{
public:
    TestIntervalResultsDAO();

    QString className() const override;

    // Inserts a new row; the result takes its id only when the insert succeeded.
    bool save(TestIntervalResults& result);
    // Results are never changed once stored.
    bool update(const TestIntervalResults&) { return true; }
    bool remove(const TestIntervalResults& result);
    // The run's results, most recent first, so the final totals line comes first.
    std::vector<std::shared_ptr<TestIntervalResults>> loadAllResultsForTestExectionID(qint64 executionID);
    bool removeAllResultsForTestExecutionID(qint64 executionID);
};
