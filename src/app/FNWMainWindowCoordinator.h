#pragma once

#include "base/FNWMainWindowPages.h"
#include "base/FNWNotificationCenter.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <vector>

class QTimer;

// The main window's rules without a window: which tab shows, the start/stop control's look and
// visibility, the busy indicator, the warning line, and the work the tabs ask for by notification
// (reruns, deletions, CSV exports). The window mirrors its state through the signals.
class FNWMainWindowCoordinator final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWMainWindowCoordinator)

public:
    enum Tab { HomeTab = 0, MyTestsTab = 1, HistoryTab = 2 };
    enum StartStopTag { OffersStart = 0, OffersStop = 1 };
    static constexpr int kWarningClearMs = 5000;

    explicit FNWMainWindowCoordinator(FNWUserInteraction& interaction, QObject* parent = nullptr);
    ~FNWMainWindowCoordinator() override;

    // None of these is owned. A missing run control counts as always free.
    void setTestRunControl(FNWTestRunControl* control) { m_runControl = control; }
    void setHomePage(FNWHomePage* page) { m_homePage = page; }
    void setMyTestsPage(FNWMyTestsPage* page) { m_myTestsPage = page; }
    void setHistoryPage(FNWHistoryPage* page) { m_historyPage = page; }

    // Registers the observers (once), forgets any earlier start, stops the indicator.
    void awakeFromNib();

    int visibleView() const { return m_visibleView; }
    int startStopTag() const { return m_startStopTag; }
    bool isStartStopVisible() const { return m_startStopVisible; }
    bool isIndicatorRunning() const { return m_indicatorRunning; }
    int lastExecutedTestFrom() const { return m_lastExecutedTestFrom; }
    QString warningText() const { return m_warningText; }
    // The colour given with the warning, or an invalid value for the default red.
    QVariant warningColor() const { return m_warningColor; }

    void topNativationViewButtonDidClicked(int tab);
    void startStopButtonDidClicked();
    // Closing the window while a run goes asks first; true when the window may close (the run is
    // then stopped on the way out).
    bool windowShouldClose();
    // The Test menu: Start only while the control offers it, Stop only while a run goes.
    void startMenuItemDidClicked();
    void stopMenuItemDidClicked();
    void newPresetMenuItemDidClicked();
    void newAgentMenuItemDidClicked();
    void testDidStarted();
    void testDidFinished();
    void showWarnings(const QVariantMap& userInfo);

    void rerunTestProfileNotificationDidReceived(const FNWNotification& notification);
    void deleteTestProfileExecutionNotificationDidReceived(const FNWNotification& notification);
    void exportIntervalResultsNotificationDidRecieved(const FNWNotification& notification);
    void exportSummeryViewIndividualSummeryResultsNotificationDidReceived(const FNWNotification& notification);
    void exportIndividualSummeryResultsNotificationDidReceived();

    // Tests shorten the 5-second warning line.
    void setWarningClearInterval(int milliseconds);

signals:
    void visibleViewChanged(int tab, int previousTab);
    void startStopChanged();
    void indicatorChanged(bool running);
    void warningChanged(const QString& text, const QVariant& color);
    // Tab 0 closes the create-test window; the create-test notification opens it.
    void closeCreateTestWindowRequested();
    void createTestWindowRequested();

private:
    void testProfileExecutionDidFinishedNotification();
    void allTestProfileExecutionDidFinishedNotification();
    void allTestProfileExexutionDidFailed();
    void startStopVisibilitySettingChanged();
    void setStartStopVisible(bool visible);
    bool startFrom(int tab);
    void clearWarning();
    // Another program held the database: the change the user just made was not saved.
    void databaseWriteFailed(const QString& path);
    void databaseWritesWaiting();
    // Writes ASCII text as it is, anything else as UTF-8; a failure is logged and shown.
    void writeCSV(const QString& path, const QString& text, const char* failureLog);

    FNWUserInteraction& m_interaction;
    FNWTestRunControl* m_runControl = nullptr;
    FNWHomePage* m_homePage = nullptr;
    FNWMyTestsPage* m_myTestsPage = nullptr;
    FNWHistoryPage* m_historyPage = nullptr;

    int m_visibleView = HomeTab;
    int m_startStopTag = OffersStart;
    bool m_startStopVisible = false;
    bool m_indicatorRunning = false;
    int m_lastExecutedTestFrom = -1;
    QString m_warningText;
    QVariant m_warningColor;
    QTimer* m_warningTimer;
    std::vector<FNWObserverToken> m_observers;
    // Changes refused by a locked database so far, and whether their alert is on its way.
    int m_databaseWriteFailures = 0;
    bool m_databaseAlertPending = false;
};
