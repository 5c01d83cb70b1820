#include "ui/FNWAlert.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace {

// The core's alerts become dialogs as soon as the application object exists.
void installPresenter()
{
    FNWAlerts::setPresenter([](const FNWAlertRequest& request) { return FNWAlert::run(request, nullptr); });
}
Q_COREAPP_STARTUP_FUNCTION(installPresenter)

QMessageBox::Icon iconFor(FNWAlertStyle style)
{
    switch (style) {
    case FNWAlertStyle::Informational:
        return QMessageBox::Information;
    case FNWAlertStyle::Critical:
        return QMessageBox::Critical;
    case FNWAlertStyle::Warning:
        break;
    }
    return QMessageBox::Warning;
}

QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

} // namespace

void FNWAlert::setTestResponder(Responder responder)
{
    FNWAlerts::setTestResponder(std::move(responder));
}

void FNWAlert::showAlertWithMessage(const QString& message, const QString& informativeText, FNWAlertStyle style,
                                    QWidget* parent)
{
    run({message, informativeText, style, {text("OK")}}, parent);
}

bool FNWAlert::showConfirmationAlertWithMessage(const QString& message, const QString& informativeText,
                                                FNWAlertStyle style, QWidget* parent)
{
    return run({message, informativeText, style, {text("No"), text("Yes")}}, parent) == 1;
}

bool FNWAlert::showOkAlertWithMessage(const QString& message, const QString& informativeText, FNWAlertStyle style,
                                      QWidget* parent)
{
    run({message, informativeText, style, {text("OK")}}, parent);
    return true;
}

void FNWAlert::showCriticalAlertWithMessage(const QString& message, const QString& informativeText, QWidget* parent)
{
    run({message, informativeText, FNWAlertStyle::Critical, {text("OK")}}, parent);
}

int FNWAlert::run(const FNWAlertRequest& request, QWidget* parent)
{
    if (FNWAlerts::hasTestResponder())
        return FNWAlerts::present(request);

    if (!parent)
        parent = QApplication::activeWindow();
    // Whatever the answer, the window and field the user was in get the keyboard back.
    const QPointer<QWidget> focused = QApplication::focusWidget();
    const QPointer<QWidget> owner = parent ? parent->window() : nullptr;
    QMessageBox box(iconFor(request.style), QApplication::applicationDisplayName(), request.message,
                    QMessageBox::NoButton, parent);
    box.setInformativeText(request.informativeText);
    // The cancel button (the first unless the request says otherwise) is the safe answer: what
    // Escape or closing chooses.
    QList<QPushButton*> buttons;
    for (const QString& title : request.buttons) {
        const bool safe = buttons.size() == request.cancelButton;
        const bool single = request.buttons.size() == 1;
        buttons.append(box.addButton(title, safe && !single ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (!buttons.isEmpty()) {
        const int cancel = request.cancelButton >= 0 && request.cancelButton < buttons.size() ? request.cancelButton : 0;
        box.setDefaultButton(buttons.front());
        box.setEscapeButton(buttons.at(cancel));
    }
    box.exec();
    if (owner && owner->isVisible()) {
        owner->activateWindow();
        if (focused && focused->window() == owner && focused->isVisible())
            focused->setFocus(Qt::OtherFocusReason);
    }
    const int chosen = static_cast<int>(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
    return chosen < 0 ? 0 : chosen;
}
