#pragma once

#include "base/FNWMainWindowPages.h"

#include <QPointer>
#include <QWidget>

// The main window's alerts and save panel as real dialogs over its window.
class FNWWidgetInteraction final : public FNWUserInteraction
{
public:
    explicit FNWWidgetInteraction(QWidget* window = nullptr)
        : m_window(window)
    {
    }
    FNWWidgetInteraction(const FNWWidgetInteraction&) = delete;
    FNWWidgetInteraction& operator=(const FNWWidgetInteraction&) = delete;

    QString presentSavePanelForPath(const QString& proposedName) override;
    void showOkAlert(const QString& message, const QString& informationText, FNWAlertStyle style) override;

private:
    QPointer<QWidget> m_window;
};
