#pragma once

// What the main window drives. The pages (home, My Tests, history) and the test manager implement
// these; until they exist the window shows placeholders and a run control that is always free.

#include <QString>

#include <cstdint>

class FNWTestRunControl
{
public:
    virtual ~FNWTestRunControl() = default;
    virtual bool isFreeToUse() const = 0;
    virtual void stopProfileExecution() = 0;
};

// The home tab: presets, agents and the test queue.
class FNWHomePage
{
public:
    virtual ~FNWHomePage() = default;
    virtual void prepareView() {}
    // Starts an ad-hoc run of the queue; false when there is nothing to run.
    virtual bool startStopButtonDidClicked() = 0;
    virtual void setIsCreateNewMyTestProfile(bool isCreateNew) { (void)isCreateNew; }
    // The Test menu's New Preset and New Agent open their editors.
    virtual void createNewPreset() {}
    virtual void createNewAgent() {}
};

// The My Tests tab: saved test profiles.
class FNWMyTestsPage
{
public:
    virtual ~FNWMyTestsPage() = default;
    virtual void prepareView() {}
    // Runs the selected profile; false when none is selected or a run is going.
    virtual bool startProfileExecutionButtonDidPressed() = 0;
};

// The history tab.
class FNWHistoryPage
{
public:
    virtual ~FNWHistoryPage() = default;
    virtual void prepareView() {}
    virtual void loadViewsDataFromDatabase() = 0;
    // Runs the stored profile again; false when nothing was started (no such profile, no tests).
    virtual bool startProfileExecutionForProifleID(std::int64_t profileID) = 0;
};

enum class FNWAlertStyle { Warning, Informational, Critical };

// Alerts and the save panel as the main window's rules need them; the window layer answers with
// real dialogs, tests with recorded answers.
class FNWUserInteraction
{
public:
    virtual ~FNWUserInteraction() = default;
    // The chosen path, or an empty text when the user cancelled.
    virtual QString presentSavePanelForPath(const QString& proposedName) = 0;
    // A modal alert with one OK button.
    virtual void showOkAlert(const QString& message, const QString& informationText, FNWAlertStyle style) = 0;
};
