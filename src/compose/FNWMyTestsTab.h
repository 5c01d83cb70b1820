#pragma once

#include "base/FNWMainWindowPages.h"

#include <QWidget>

#include <memory>

class DraggEnabledViewWithTrashButton;
class FNWPresetsTableView;
class MyTestView;
class QLabel;
class QToolButton;
class SaveTestProfileWindow;
class TestManager;

// The My Tests tab: the saved test profiles beside the selected profile's tests. The rules live
// in MyTestView; this widget lays the tables out, passes clicks and keys on and hosts the update
// window.
class FNWMyTestsTab final : public QWidget, public FNWMyTestsPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWMyTestsTab)

public:
    static constexpr int kSetUpDelayMs = 500;

    explicit FNWMyTestsTab(QWidget* parent = nullptr);
    ~FNWMyTestsTab() override;

    void prepareView() override;
    bool startProfileExecutionButtonDidPressed() override;
    // At once when called; otherwise 0.5 s after the tab is made.
    void setUpViews();

    MyTestView* myTestView() const { return m_view; }
    FNWPresetsTableView* profilesTable() const { return m_profilesTable; }
    FNWPresetsTableView* detailsTable() const { return m_detailsTable; }
    QToolButton* addButton() const { return m_add; }
    QToolButton* editButton() const { return m_edit; }
    DraggEnabledViewWithTrashButton* trash() const { return m_trash; }
    // Created with the update controller, on first use.
    SaveTestProfileWindow* updateWindow() const { return m_updateWindow; }

private:
    void wireProfiles();
    void wireDetails();
    void updateHints();

    MyTestView* m_view;
    FNWPresetsTableView* m_profilesTable;
    FNWPresetsTableView* m_detailsTable;
    QToolButton* m_add = nullptr;
    QToolButton* m_edit = nullptr;
    DraggEnabledViewWithTrashButton* m_trash = nullptr;
    QLabel* m_profilesHint = nullptr;
    QLabel* m_detailsHint = nullptr;
    SaveTestProfileWindow* m_updateWindow = nullptr;
    bool m_isSetUp = false;
};
