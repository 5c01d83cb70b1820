#include "ui/FNWWidgetInteraction.h"

#include "ui/FNWAlert.h"
#include "ui/FNWSavePanel.h"

QString FNWWidgetInteraction::presentSavePanelForPath(const QString& proposedName)
{
    return FNWSavePanel::presentSavePanelForPath(proposedName, m_window);
}

void FNWWidgetInteraction::showOkAlert(const QString& message, const QString& informationText, FNWAlertStyle style)
{
    FNWAlert::showOkAlertWithMessage(message, informationText, style, m_window);
}
