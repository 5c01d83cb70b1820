#pragma once

#include "model/FNWBaseBean.h"

#include <memory>
#include <vector>

class TestBean;

// A test profile: a named queue of tests, or the unnamed queue of an ad-hoc run.
class TestQueueBean : public FNWBaseBean
{
public:
    TestQueueBean() = default;
    // The profile stored under identifier; its tests stay unloaded until loadAllTestBeans. Without
    // such a row only ID is set (and the failure logged).
    explicit TestQueueBean(qint64 identifier);
    ~TestQueueBean() override;

    // "" for an unnamed queue; only named profiles are listed as saved profiles.
    QString testProfileName;
    qint64 viewPosition = 0;
    // Not stored: the profile's tests in list order.
    std::vector<std::shared_ptr<TestBean>> testList;
    // Soft delete: removed profiles keep their row so that their executions still find it.
    bool isDeleted = false;

    // The table's columns in store order, "id" first.
    static QStringList storedFieldNames();

    // A new profile with ID 0 and no tests, carrying name, position and isDeleted.
    std::shared_ptr<TestQueueBean> copy() const;

    // Inserts the profile row, then saves every test with testQueueID set to the new id, all in
    // one transaction. The first failure ends it: nothing is stored, the ids of the profile, its
    // tests and their copies are as they were, and error holds the reason.
    bool save(QString* error = nullptr);
    // Updates the profile row and every test; false when any of them failed.
    bool update();
    // Writes what the update window changed, in one transaction: the name, and tests as the
    // profile's whole list in the order shown (each test's testOrder as it stands). A test whose
    // preset was edited is stored afresh (new preset, agent and test rows) and a removed test is
    // taken out, so that earlier runs keep the test and settings they ran with. On failure
    // nothing is stored, the records are as they were and error holds the reason.
    bool updateWithTests(const std::vector<std::shared_ptr<TestBean>>& tests,
                         const std::vector<std::shared_ptr<TestBean>>& removedTests, QString* error = nullptr);
    // Soft delete: flags the row; the record's isDeleted is left as it is.
    bool remove();
    bool updateViewPostion();
    // Replaces testList with the profile's stored tests.
    void loadAllTestBeans();
    // The largest viewPosition over all profiles, 0 when there are none.
    static qint64 getMaxViewPosition();
    // Whether a profile that is not deleted has exactly this name.
    static bool findTestName(const QString& name);

    QVariant valueForKey(const QString& key) const override;
    bool setValueForKey(const QVariant& value, const QString& key) override;
    QString description() const override;
};
