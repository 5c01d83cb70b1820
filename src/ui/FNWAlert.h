#pragma once

#include "base/FNWAlerts.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Every alert of the application passes here. Each runs modally over the given window, else over
// the active window. The alerts the core rules ask for (FNWAlerts) are shown here too.
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

    // Tests answer alerts through this (the core's alerts too); an empty responder shows real
    // alerts again.
    static void setTestResponder(Responder responder);

    static int run(const FNWAlertRequest& request, QWidget* parent = nullptr);
};
