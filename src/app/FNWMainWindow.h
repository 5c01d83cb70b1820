#pragma once

#include "app/FNWAppDelegate.h"
#include "app/FNWMainWindowCoordinator.h"
#include "base/FNWMainWindowPages.h"
#include "ui/FNWWidgetInteraction.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QToolBar;
class QToolButton;
class FNWBusyIndicator;
class FNWCreateTestWindow;
class FNWPlaceholderPage;
class FNWPreferencesWindow;
class FNWSupportMailTransport;
class SendDebugLogWindow;
class SendDebugLogWindowController;
class FNWSlideStackedWidget;
class FNWStartStopButton;

// The application's main window: a toolbar with the three tabs, the busy indicator and the
// start/stop control; the warning line; the tab pages. It only shows the coordinator's state and
// passes clicks on; every decision is the coordinator's.
class FNWMainWindow final : public QMainWindow, public FNWMainWindowHost
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWMainWindow)

public:
    // The user guide in the resources folder.
    static constexpr char kUserGuideFile[] = "user-guide.html";

    explicit FNWMainWindow(QWidget* parent = nullptr);
    ~FNWMainWindow() override;

    // Selects the home tab, without a slide.
    void prepareMainWindow() override;

    // Puts a tab's real page in place of what is in its slot (deleting a placeholder) and gives
    // the coordinator the page's interface. Neither is owned by the coordinator; the widget
    // becomes the window's.
    void setHomePage(QWidget* widget, FNWHomePage* page);
    void setMyTestsPage(QWidget* widget, FNWMyTestsPage* page);
    void setHistoryPage(QWidget* widget, FNWHistoryPage* page);
    // Not owned; none counts as always free.
    void setTestRunControl(FNWTestRunControl* control);

    FNWMainWindowCoordinator* coordinator() const { return m_coordinator.get(); }
    FNWSlideStackedWidget* pageStack() const { return m_pages; }
    QWidget* pageWidget(int tab) const;
    QToolButton* navigationButton(int tab) const;
    FNWStartStopButton* startStopButton() const { return m_startStop; }
    FNWBusyIndicator* busyIndicator() const { return m_indicator; }
    QLabel* warningLabel() const { return m_warning; }
    // Created by the first openPreferences().
    FNWPreferencesWindow* preferencesWindow() const;
    QAction* menuAction(const QString& text) const;

public slots:
    void openPreferences();
    void sendDebugLog();
    void minimizeAction();
    void helpAction();
    void showLogFileMenuItemDidClicked();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildToolbar();
    void buildMenus();
    void buildCentralArea();
    void replacePage(int tab, QWidget* widget);

    void visibleViewDidChange(int tab, int previousTab);
    void startStopDidChange();
    void indicatorDidChange(bool running);
    void warningDidChange(const QString& text, const QVariant& color);
    void showNavigationState();
    void createTestWindowRequested();
    void closeCreateTestWindowRequested();
    // The home tab's composition comes back from the new-test window.
    void homeContentReleased(QWidget* home);
    void revealInFileManager(const QString& path);
    // Opens a local file or folder; when nothing can, an alert gives the path to copy.
    void openLocally(const QUrl& url, const QString& path, const QString& what);

    // Declared first: the coordinator keeps a reference to it.
    FNWWidgetInteraction m_interaction;
    std::unique_ptr<FNWMainWindowCoordinator> m_coordinator;

    QToolBar* m_toolbar = nullptr;
    QActionGroup* m_navigation = nullptr;
    QList<QAction*> m_navigationActions;
    FNWBusyIndicator* m_indicator = nullptr;
    FNWStartStopButton* m_startStop = nullptr;
    QLabel* m_warning = nullptr;
    FNWSlideStackedWidget* m_pages = nullptr;
    QPointer<FNWPreferencesWindow> m_preferences;
    // The send-log window, made on first use and reused.
    FNWSupportMailTransport* m_mailTransport = nullptr;
    SendDebugLogWindowController* m_sendLogController = nullptr;
    QPointer<SendDebugLogWindow> m_sendLogWindow;
    FNWCreateTestWindow* m_createTestWindow = nullptr;
    QAction* m_startAction = nullptr;
    QAction* m_stopAction = nullptr;
    bool m_animateTabChanges = true;
};
