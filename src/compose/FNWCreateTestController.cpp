#include "compose/FNWCreateTestController.h"

#include "base/FNWNotifications.h"
#include "compose/QueueListView.h"
#include "support/DDLog.h"

FNWCreateTestController::FNWCreateTestController(QObject* parent)
    : QObject(parent)
{
    m_createdObserver = FNWNotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(DidCreatedNewTestProfileFromNewWindow), [this](const FNWNotification&) {
            QMetaObject::invokeMethod(this, &FNWCreateTestController::closeRequested, Qt::QueuedConnection);
        });
}

FNWCreateTestController::~FNWCreateTestController() = default;

void FNWCreateTestController::saveButtonDidClicked(const QString& name)
{
    DDLogInfo("saveButtonDidClicked for save new test and name is------%@", name);
    if (name.trimmed().isEmpty()) {
        emit transientErrorRequested(QStringLiteral("Please provide your test name."));
        return;
    }
    if (m_delegate)
        m_delegate->userClickedToAddNewTestProfileWithName(name);
}

void FNWCreateTestController::cancelButtonDidClicked()
{
    emit closeRequested();
}
