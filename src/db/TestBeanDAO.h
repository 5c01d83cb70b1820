#pragma once

#include "db/FNWBaseModel.h"

#include <memory>

class TestBean;

// The test table: one row per queued test of a saved profile.
class TestBeanDAO : public FNWBaseModel
{
public:
    TestBeanDAO();

    QString className() const override;

    // Inserts a new row; the test takes its id. The SQLite message of a failure is handed out
    // when asked.
    bool save(TestBean& test, QString* error = nullptr);
    bool update(const TestBean& test);
    // Writes testOrder only.
    bool updateOrder(const TestBean& test);
    bool remove(const TestBean& test);
    // Takes the test out of its profile: the row goes when no run refers to it, and otherwise
    // stays, detached (testQueueID -1), so that the runs keep their test, preset and agent.
    bool detachFromProfile(const TestBean& test);
    std::shared_ptr<TestBean> loadTestBeanWithID(qint64 testID);
};
