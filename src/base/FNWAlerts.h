#pragma once

#include "base/FNWMainWindowPages.h"

#include <QString>
#include <QStringList>

#include <functional>

// What an alert asks: its texts, its style and its buttons in the order they were added.
struct FNWAlertRequest
{
    QString message;
    QString informativeText;
    FNWAlertStyle style = FNWAlertStyle::Warning;
    QStringList buttons;
    // The button that Escape or closing the alert chooses.
    int cancelButton = 0;
};

// The alerts the rules behind the views ask for. The widget layer presents them as modal dialogs;
// tests answer them through a responder; with neither, the alert is logged and its cancel button
// chosen.
class FNWAlerts final
{
public:
    FNWAlerts() = delete;

    // Answers with the index of the chosen button.
    using Presenter = std::function<int(const FNWAlertRequest&)>;

    static void setPresenter(Presenter presenter);
    // Answers before any presenter; an empty responder hands alerts back to the presenter.
    static void setTestResponder(Presenter responder);
    static bool hasTestResponder();
    static int present(const FNWAlertRequest& request);

    // One "OK" button.
    static void showCriticalAlertWithMessage(const QString& message, const QString& informativeText);
    // Buttons "No" then "Yes"; true only for "Yes".
    static bool showConfirmationAlertWithMessage(const QString& message, const QString& informativeText,
                                                 FNWAlertStyle style = FNWAlertStyle::Warning);
    // Buttons "OK" then "Cancel"; true only for "OK".
    static bool showOkCancelAlertWithMessage(const QString& message, const QString& informativeText);
};
