#pragma once

#include "base/FNWMainWindowPages.h"
#include "compose/QueueListView.h"
#include "compose/TestProfilesListView.h"

#include <QObject>

#include <memory>

class TestManager;
class TestQueueBean;

// The My Tests tab without its widgets: the saved profiles beside the selected profile's tests
// (reordered in place and written at once), and running the selected profile.
class MyTestView final : public QObject,
                         public FNWMyTestsPage,
                         public TestProfileListViewDelegate,
                         public QueueListViewDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MyTestView)

public:
    explicit MyTestView(QObject* parent = nullptr);
    ~MyTestView() override;

    void setTestManager(std::shared_ptr<TestManager> manager);
    void setUpView();

    void prepareView() override;
    bool startProfileExecutionButtonDidPressed() override;
    void testProfileSelectionDidChanged(const std::shared_ptr<TestQueueBean>& profile) override;
    bool isProfileRunning(qint64 profileID) override;
    // The details queue holds still while its profile runs.
    bool isRunningTestFromHomeScreen() override;

    TestProfilesListView* testProfileListView() const { return m_list; }
    QueueListView* profileDetailsListView() const { return m_details; }
    std::shared_ptr<TestQueueBean> selectedTestProfile() const { return m_selectedTestProfile; }

private:
    TestProfilesListView* m_list;
    QueueListView* m_details;
    std::shared_ptr<TestQueueBean> m_selectedTestProfile;
    // The profile this tab started, while its run goes.
    qint64 m_runningProfileID = 0;
};
