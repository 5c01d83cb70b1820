#pragma once

#include "db/FNWBaseModel.h"

#include <memory>
#include <vector>

class TestBean;
class TestQueueBean;

// The test_profiles table. Profiles are never deleted, only flagged, so that executions keep
// their profile.
class TestQueueBeanDAO : public FNWBaseModel
{
public:
    TestQueueBeanDAO();

    QString className() const override;

    // Inserts the profile row only (its tests are saved by the profile); the profile takes its id.
    bool save(TestQueueBean& profile, QString* error = nullptr);
    bool update(const TestQueueBean& profile);
    // Soft delete: sets isDeleted on the row and leaves the record as it is.
    bool remove(const TestQueueBean& profile);
    bool updateViewPostion(const TestQueueBean& profile);
    // The largest viewPosition over all profiles, 0 when there are none.
    qint64 getMaxViewPosition();
    // Whether a profile that is not deleted has exactly this name; the name is bound, never
    // pasted into SQL.
    bool findTestName(const QString& name);
    // Named, not deleted profiles in list order; the unnamed queues of ad-hoc runs are left out.
    std::vector<std::shared_ptr<TestQueueBean>> getAllNamedProfiles();
    // The tests of the profile, in row order.
    std::vector<std::shared_ptr<TestBean>> getAllAssociatedTestBeans(qint64 profileID);
};
