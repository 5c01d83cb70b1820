#pragma once

#include "app/FNWMainWindowPages.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// What an alert asks: its texts, its style and its buttons in the order they were added.
struct FNWAlertRequest
{
    QString message;
    QString informativeText;
    FNWAlertStyle style = FNWAlertStyle::Warning;
    QStringList buttons;
};

// Every alert of the application passes here. Each runs modally over the given window, else over
// the active window.
class FNWAlert final
{
public:
    FNWAlert() = delete;

    // Answers with the index of the chosen button, without showing anything.
    using Responder = std::function<int(const FNWAlertRequest&)>;

    // One "OK" button.
    static void showAlertWithMessage(const QString& message, const QString& informativeText,
                                     FNWAlertStyle style = FNWAlertStyle::Warning, QWidget* parent = nullptr);
    // Buttons "No" then "Yes"; true only for "Yes".
    static bool showConfirmationAlertWithMessage(const QString& message, const QString& informativeText,
                                                 FNWAlertStyle style = FNWAlertStyle::Warning,
                                                 QWidget* parent = nullptr);
    // One "OK" button; always true.
    static bool showOkAlertWithMessage(const QString& message, const QString& informativeText,
                                       FNWAlertStyle style = FNWAlertStyle::Warning, QWidget* parent = nullptr);
    static void showCriticalAlertWithMessage(const QString& message, const QString& informativeText,
                                             QWidget* parent = nullptr);

    // Tests answer alerts through this; an empty responder shows real alerts again.
    static void setTestResponder(Responder responder);

private:
    static int run(const FNWAlertRequest& request, QWidget* parent);
};
