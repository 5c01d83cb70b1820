#pragma once

#include "base/FNWNotificationCenter.h"

#include <QObject>
#include <QString>

class QueueListView;

// The new-test window's rules: it hosts the home tab's composition while open; Save hands the
// name to the home queue, which stores itself as a new My Tests profile.
class FNWCreateTestController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWCreateTestController)

public:
    static constexpr int kTransientErrorMs = 4000;

    explicit FNWCreateTestController(QObject* parent = nullptr);
    ~FNWCreateTestController() override;

    void setDelegate(QueueListView* queue) { m_delegate = queue; }
    void saveButtonDidClicked(const QString& name);
    void cancelButtonDidClicked();

signals:
    // "Please provide your test name." in a window of its own that closes after 4 s.
    void transientErrorRequested(const QString& message);
    void closeRequested();

private:
    QueueListView* m_delegate = nullptr;
    FNWObserverToken m_createdObserver;
};
