#pragma once

#include "compose/QueueListView.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class FNWErrorLine;
class TestBean;
class TestQueueBean;

// Who hears that the update window closed, after an update or a cancel.
class FNWSaveTestProfileControllerWindowDelegate
{
public:
    virtual ~FNWSaveTestProfileControllerWindowDelegate() = default;
    virtual void userClickedToAddUpdatedTestProfileInfo(const std::shared_ptr<TestQueueBean>& profile) = 0;
};

// The rules of the update window: a stored profile's tests in the window's own queue, which may
// be reordered, regrouped, edited and removed there; nothing is written until Update, which
// checks the name and the queue, asks before removing tests, and stores everything in one go.
class FNWSaveTestProfileController final : public QObject, public QueueListViewDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWSaveTestProfileController)

public:
    static constexpr char kWindowTitle[] = "Update Test Profile";

    explicit FNWSaveTestProfileController(QObject* parent = nullptr);
    ~FNWSaveTestProfileController() override;

    void setDelegate(FNWSaveTestProfileControllerWindowDelegate* delegate) { m_delegate = delegate; }

    // Hands the profile over and shows its tests (nothing for a profile without tests).
    void setTestQueueBean(std::shared_ptr<TestQueueBean> profile) { testQueueBean = std::move(profile); }
    void showUpdateTestWindow();
    // True when the profile was written and the window closes.
    bool updateTestProfileButtonDidClicked(const QString& name);
    void cancelButtonDidClicked();
    void showErrorMessage(const QString& message);
    QString errorText() const;
    void setErrorClearInterval(int milliseconds);

    QueueListView* queueListView() const { return m_queue; }
    bool isWindowVisible() const { return m_isWindowVisible; }
    void setWindowVisible(bool visible) { m_isWindowVisible = visible; }

    // The window's queue reports each removed test.
    void userDidRemoveTest(const std::shared_ptr<TestBean>& test) override;

    std::shared_ptr<TestQueueBean> testQueueBean;
    QString oldObjOftestProfileName;
    std::vector<std::shared_ptr<TestBean>> deletedTestList;

signals:
    void showWindowRequested(const QString& title, const QString& name);
    void hideWindowRequested();
    void errorTextChanged(const QString& text);

private:
    void closeWindow();
    // The list's record as stored, dropping whatever the window changed in memory.
    void reloadProfileFromStore();

    FNWSaveTestProfileControllerWindowDelegate* m_delegate = nullptr;
    QueueListView* m_queue;
    FNWErrorLine* m_errorLine;
    bool m_isWindowVisible = false;
};
