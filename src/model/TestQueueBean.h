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
    // Sets ID only; loading the row with that id into the record comes with the store.
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

    QVariant valueForKey(const QString& key) const override;
    bool setValueForKey(const QVariant& value, const QString& key) override;
    QString description() const override;
};
