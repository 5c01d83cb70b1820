#include "app/FNWMainWindowCoordinator.h"

#include "base/FNWAlerts.h"
#include "base/FNWNotifications.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "db/TestProfileExecutionDAO.h"
#include "model/FNWCSVExport.h"
#include "model/TestExecutionBean.h"
#include "model/TestProfileExecutionBean.h"
#include "support/DDLog.h"

#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <QTimer>

namespace {

QString name(const char* text)
{
    return QString::fromLatin1(text);
}

qint64 executionID(const FNWNotification& notification)
{
    return notification.userInfo.value(name(kTestProfileExecutionIdKey)).toLongLong();
}

// The warning line holds one line: a failure reason that arrives with line ends (iperf's error
// output ends with one, and the agent's address is appended after it) is joined into one, with
// a single blank where the pieces meet without one.
QString oneLine(const QString& text)
{
    QString line;
    for (const QString& piece : text.split(QRegularExpression(QStringLiteral("[\\r\\n]+")), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && !line.back().isSpace() && !piece.front().isSpace())
            line += u' ';
        line += piece;
    }
    return line;
}

} // namespace

FNWMainWindowCoordinator::FNWMainWindowCoordinator(FNWUserInteraction& interaction, QObject* parent)
    : QObject(parent)
    , m_interaction(interaction)
    , m_warningTimer(new QTimer(this))
{
    m_warningTimer->setSingleShot(true);
    m_warningTimer->setInterval(kWarningClearMs);
    connect(m_warningTimer, &QTimer::timeout, this, &FNWMainWindowCoordinator::clearWarning);
}

FNWMainWindowCoordinator::~FNWMainWindowCoordinator()
{
    // Handlers may be running on a run's thread; once the tokens are gone none is.
    m_observers.clear();
}

void FNWMainWindowCoordinator::awakeFromNib()
{
    if (m_observers.empty()) {
        auto& center = FNWNotificationCenter::defaultCenter();
        // Handlers that touch the window move to its thread; the others run where they are posted.
        auto onOwnThread = [this](auto member) {
            return [this, member](const FNWNotification&) {
                QMetaObject::invokeMethod(this, member, Qt::QueuedConnection);
            };
        };
        m_observers.push_back(
            center.addObserver(name(ShowWarningOnMainWindowNotification), [this](const FNWNotification& notification) {
                if (QThread::currentThread() == thread()) {
                    showWarnings(notification.userInfo);
                    return;
                }
                const QVariantMap userInfo = notification.userInfo;
                QMetaObject::invokeMethod(
                    this, [this, userInfo] { showWarnings(userInfo); }, Qt::QueuedConnection);
            }));
        m_observers.push_back(
            center.addObserver(name(AllTestProfileExecutionDidFinishedNotification),
                               onOwnThread(&FNWMainWindowCoordinator::testProfileExecutionDidFinishedNotification)));
        m_observers.push_back(
            center.addObserver(name(TestProfileExecutionDidFinishedNotification), [this](const FNWNotification&) {
                DDLogInfo("FNWMainWindow: recieved notification that all TestProfile executions are finished...");
                QMetaObject::invokeMethod(this,
                                          &FNWMainWindowCoordinator::allTestProfileExecutionDidFinishedNotification,
                                          Qt::QueuedConnection);
            }));
        m_observers.push_back(
            center.addObserver(name(TestProfileExecutionDidFailedNotification),
                               onOwnThread(&FNWMainWindowCoordinator::allTestProfileExexutionDidFailed)));
        m_observers.push_back(center.addObserver(name(ShowWindowToCreateNewTestProfileNotification),
                                                 onOwnThread(&FNWMainWindowCoordinator::createTestWindowRequested)));
        m_observers.push_back(
            center.addObserver(name(RerunTestProfileNotification), [this](const FNWNotification& notification) {
                rerunTestProfileNotificationDidReceived(notification);
            }));
        m_observers.push_back(
            center.addObserver(name(DeleteOneTestProfileNotification), [this](const FNWNotification& notification) {
                deleteTestProfileExecutionNotificationDidReceived(notification);
            }));
        m_observers.push_back(
            center.addObserver(name(exportIntervalResultsNotification), [this](const FNWNotification& notification) {
                exportIntervalResultsNotificationDidRecieved(notification);
            }));
        m_observers.push_back(center.addObserver(
            name(exportSummeryViewIndividualSummeryResultsNotification), [this](const FNWNotification& notification) {
                exportSummeryViewIndividualSummeryResultsNotificationDidReceived(notification);
            }));
        m_observers.push_back(
            center.addObserver(name(exportIndividualSummeryResultsNotification), [this](const FNWNotification&) {
                exportIndividualSummeryResultsNotificationDidReceived();
            }));
        m_observers.push_back(
            center.addObserver(name(FNWDatabaseWriteFailedNotification), [this](const FNWNotification& notification) {
                const QString path = notification.userInfo.value(QStringLiteral("path")).toString();
                if (QThread::currentThread() == thread())
                    databaseWriteFailed(path);
                else
                    QMetaObject::invokeMethod(
                        this, [this, path] { databaseWriteFailed(path); }, Qt::QueuedConnection);
            }));
        m_observers.push_back(center.addObserver(name(FNWDatabaseWritesWaitingNotification),
                                                 onOwnThread(&FNWMainWindowCoordinator::databaseWritesWaiting)));
        m_observers.push_back(
            center.addObserver(name(FNWDatabaseWritesSavedNotification),
                               onOwnThread(&FNWMainWindowCoordinator::testProfileExecutionDidFinishedNotification)));
        m_observers.push_back(
            center.addObserver(name(FNWUserSettingDidChangeNotification), [this](const FNWNotification& notification) {
                if (notification.userInfo.value(name(kSettingKeyKey)).toString() == name(kStartStopButtonVisibilityKey))
                    QMetaObject::invokeMethod(this, &FNWMainWindowCoordinator::startStopVisibilitySettingChanged,
                                              Qt::QueuedConnection);
            }));
    }
    m_lastExecutedTestFrom = -1;
    m_indicatorRunning = false;
    emit indicatorChanged(false);
    startStopVisibilitySettingChanged();
}

void FNWMainWindowCoordinator::topNativationViewButtonDidClicked(int tab)
{
    const int previous = m_visibleView;
    switch (tab) {
    case HomeTab:
        emit closeCreateTestWindowRequested();
        if (m_homePage) {
            m_homePage->prepareView();
            m_homePage->setIsCreateNewMyTestProfile(false);
        }
        m_visibleView = HomeTab;
        break;
    case MyTestsTab:
        if (m_myTestsPage)
            m_myTestsPage->prepareView();
        m_visibleView = MyTestsTab;
        break;
    case HistoryTab:
        m_visibleView = HistoryTab;
        if (m_historyPage) {
            m_historyPage->prepareView();
            // Runs that another Fenwave program (fenwave-cli) recorded meanwhile are shown too.
            if (previous != HistoryTab)
                m_historyPage->loadViewsDataFromDatabase();
        }
        break;
    case 3:
        DDLogInfo("Ideally for now should not be here..");
        return;
    default:
        return;
    }
    emit visibleViewChanged(m_visibleView, previous);
}

bool FNWMainWindowCoordinator::windowShouldClose()
{
    if (!m_runControl || m_runControl->isFreeToUse())
        return true;
    return FNWAlerts::showConfirmationAlertWithMessage(
        QStringLiteral("Quit while tests are running?"),
        QStringLiteral("Quitting stops the tests that are running now; their partial results are not kept."));
}

void FNWMainWindowCoordinator::startMenuItemDidClicked()
{
    if (m_startStopTag == OffersStart && m_startStopVisible)
        startStopButtonDidClicked();
}

void FNWMainWindowCoordinator::stopMenuItemDidClicked()
{
    if (m_startStopTag == OffersStop)
        startStopButtonDidClicked();
}

void FNWMainWindowCoordinator::newPresetMenuItemDidClicked()
{
    if (m_homePage)
        m_homePage->createNewPreset();
}

void FNWMainWindowCoordinator::newAgentMenuItemDidClicked()
{
    if (m_homePage)
        m_homePage->createNewAgent();
}

void FNWMainWindowCoordinator::startStopButtonDidClicked()
{
    if (m_startStopTag == OffersStop) {
        if (m_runControl)
            m_runControl->stopProfileExecution();
        testDidFinished();
        showWarnings({{name(kErrorKey), QStringLiteral("Tests stopped: the results of the tests that were running "
                                                       "were not kept.")}});
        return;
    }
    if (m_runControl && !m_runControl->isFreeToUse()) {
        DDLogInfo("MainWindow: can't start test as alreay in progress");
        return;
    }
    testDidStarted();
    bool started = false;
    const int failuresBefore = m_databaseWriteFailures;
    switch (m_visibleView) {
    case HomeTab:
    case MyTestsTab:
        m_lastExecutedTestFrom = m_visibleView;
        started = startFrom(m_visibleView);
        break;
    case HistoryTab:
        setStartStopVisible(true);
        started = startFrom(m_lastExecutedTestFrom);
        break;
    default:
        break;
    }
    if (started)
        return;
    m_indicatorRunning = false;
    emit indicatorChanged(false);
    testDidFinished();
    // A queue the database refused to record has its own alert, which says why.
    if (m_databaseWriteFailures != failuresBefore || m_databaseAlertPending)
        return;
    m_interaction.showOkAlert(QStringLiteral("Error Running Test"),
                              QStringLiteral("Please make sure there are test in queue to run."),
                              FNWAlertStyle::Warning);
    DDLogInfo("MainWindow: Can't start test, may be there are no test in queue to run...");
}

bool FNWMainWindowCoordinator::startFrom(int tab)
{
    if (tab == HomeTab)
        return m_homePage && m_homePage->startStopButtonDidClicked();
    if (tab == MyTestsTab)
        return m_myTestsPage && m_myTestsPage->startProfileExecutionButtonDidPressed();
    return false;
}

void FNWMainWindowCoordinator::testDidStarted()
{
    m_startStopVisible = true;
    m_startStopTag = OffersStop;
    m_indicatorRunning = true;
    emit startStopChanged();
    emit indicatorChanged(true);
}

void FNWMainWindowCoordinator::testDidFinished()
{
    m_startStopTag = OffersStart;
    m_indicatorRunning = false;
    if (m_visibleView == HomeTab)
        m_startStopVisible = true;
    emit startStopChanged();
    emit indicatorChanged(false);
}

void FNWMainWindowCoordinator::startStopVisibilitySettingChanged()
{
    setStartStopVisible(FNWUtils::getUserSettingForKey(name(kStartStopButtonVisibilityKey)).toBool());
}

void FNWMainWindowCoordinator::setStartStopVisible(bool visible)
{
    if (m_startStopVisible == visible)
        return;
    m_startStopVisible = visible;
    emit startStopChanged();
}

void FNWMainWindowCoordinator::showWarnings(const QVariantMap& userInfo)
{
    const QString text = oneLine(userInfo.value(name(kErrorKey)).toString());
    if (!FNWUtils::hasValue(text))
        return;
    m_warningText = text;
    m_warningColor = userInfo.value(name(kTextColorKey));
    m_warningTimer->start(); // a pending clearing starts over
    emit warningChanged(m_warningText, m_warningColor);
}

void FNWMainWindowCoordinator::databaseWriteFailed(const QString& path)
{
    // Counted at once (the start control asks), shown once the action that failed has returned,
    // and only once for a burst of refused changes.
    ++m_databaseWriteFailures;
    if (m_databaseAlertPending)
        return;
    m_databaseAlertPending = true;
    QMetaObject::invokeMethod(
        this,
        [this, path] {
            m_interaction.showOkAlert(
                QStringLiteral("Your Change Was Not Saved"),
                QStringLiteral("Another program is writing to Fenwave's database (%1), so your last change could "
                               "not be saved. Try again when that program has finished.")
                    .arg(path),
                FNWAlertStyle::Warning);
            m_databaseAlertPending = false;
        },
        Qt::QueuedConnection);
}

void FNWMainWindowCoordinator::databaseWritesWaiting()
{
    showWarnings({{name(kErrorKey), QStringLiteral("Another program is writing to the database: Fenwave keeps the "
                                                   "latest results and saves them as soon as it can.")}});
}

void FNWMainWindowCoordinator::clearWarning()
{
    m_warningText.clear();
    emit warningChanged(m_warningText, m_warningColor);
}

void FNWMainWindowCoordinator::setWarningClearInterval(int milliseconds)
{
    m_warningTimer->setInterval(milliseconds);
}

void FNWMainWindowCoordinator::testProfileExecutionDidFinishedNotification()
{
    if (m_historyPage)
        m_historyPage->loadViewsDataFromDatabase();
}

void FNWMainWindowCoordinator::allTestProfileExecutionDidFinishedNotification()
{
    // Showing the history loads it afresh; it is loaded here only when it already shows.
    if (m_historyPage && m_visibleView == HistoryTab)
        m_historyPage->loadViewsDataFromDatabase();
    testDidFinished();
    topNativationViewButtonDidClicked(HistoryTab);
}

void FNWMainWindowCoordinator::allTestProfileExexutionDidFailed()
{
    if (m_historyPage)
        m_historyPage->loadViewsDataFromDatabase();
    testDidFinished();
}

void FNWMainWindowCoordinator::rerunTestProfileNotificationDidReceived(const FNWNotification& notification)
{
    // As the start control: a run that goes keeps going, and keeps its stop control.
    if (m_runControl && !m_runControl->isFreeToUse()) {
        DDLogInfo("MainWindow: can't start test as alreay in progress");
        m_interaction.showOkAlert(
            QStringLiteral("Test In Progress"),
            QStringLiteral("Please allow the running test to finish, or press Stop, before running a test again."),
            FNWAlertStyle::Warning);
        return;
    }
    testDidStarted();
    const qint64 profileID = notification.userInfo.value(name(kTestProfileIdKey)).toLongLong();
    if (m_historyPage && m_historyPage->startProfileExecutionForProifleID(profileID))
        return;
    // Nothing runs: the control goes back to its start look rather than spin for nothing.
    DDLogError("FNWMainWindow: test profile %ld was not run again", profileID);
    testDidFinished();
}

void FNWMainWindowCoordinator::deleteTestProfileExecutionNotificationDidReceived(const FNWNotification& notification)
{
    const QVariantList entries = notification.userInfo.value(name(kIdsToDeleteKey)).toList();
    std::vector<qint64> ids;
    for (const QVariant& entry : entries) {
        const qint64 id = entry.toMap().value(name(kTestProfileExecutionIdKey)).toLongLong();
        if (TestProfileExecutionDAO().loadTestProfileExecutionWithID(id))
            ids.push_back(id);
    }
    // Each run goes with every test execution and interval result it holds, or stays whole; only
    // runs whose rows are gone are announced, so no list drops a run that is still stored.
    for (const qint64 id : ids) {
        if (!TestProfileExecutionDAO().removeWithAllExecutions({id})) {
            DDLogError("FNWMainWindow: could not delete test profile execution %ld, it stays in the history", id);
            continue;
        }
        FNWNotificationCenter::defaultCenter().postNotificationName(
            name(didDeleteSingleTestProfileNotification), parent() ? parent() : this,
            {{name(kTestProfileExecutionIdKey), FNWStringWithFormat("%ld", id)}});
    }
}

void FNWMainWindowCoordinator::exportIntervalResultsNotificationDidRecieved(const FNWNotification& notification)
{
    const auto execution = TestProfileExecutionDAO().loadTestProfileExecutionWithID(executionID(notification));
    if (!execution)
        return;
    const QString path = m_interaction.presentSavePanelForPath(
        FNWStringWithFormat("fnw_interval_results_%@.csv", FNWUtils::getCurrentDate()));
    if (path.isEmpty())
        return;
    const QString lines = execution->getDetailedCSV();
    if (!FNWUtils::hasValue(lines))
        return;
    writeCSV(path, TestProfileExecutionBean::getIntervalResultHeader() + lines,
             "FNWMainWindow:exportIntervalResultsNotificationDidRecieved: csv file not saved at path-%@");
}

void FNWMainWindowCoordinator::exportSummeryViewIndividualSummeryResultsNotificationDidReceived(
    const FNWNotification& notification)
{
    const auto execution = TestProfileExecutionDAO().loadTestProfileExecutionWithID(executionID(notification));
    if (!execution)
        return;
    execution->loadAllExecutedTest();
    const QString path = m_interaction.presentSavePanelForPath(
        FNWStringWithFormat("fnw_result_summary_%@.csv", FNWUtils::getCurrentDate()));
    if (path.isEmpty())
        return;
    const QString lines = TestProfileExecutionBean::getCSVSummeryResultsLinesFromTestProfileExecutions({execution});
    if (!FNWUtils::hasValue(lines))
        return;
    writeCSV(path, TestProfileExecutionBean::getCSVSummeryHeader() + lines,
             "FNWMainWindow:exportSummeryViewIndividualSummeryResultsNotificationDidReceived: csv file not saved at "
             "path-%@");
}

void FNWMainWindowCoordinator::exportIndividualSummeryResultsNotificationDidReceived()
{
    std::vector<std::shared_ptr<TestProfileExecutionBean>> adHoc;
    for (auto& execution : TestProfileExecutionDAO().getAllExecutedTestProfileRecords()) {
        if (execution->profile_name.isEmpty())
            adHoc.push_back(std::move(execution));
    }
    if (adHoc.empty()) {
        DDLogInfo("FNWMainWindow: exportIndividualSummeryResultsNotificationDidReceived: tests are not found.");
        return;
    }
    const QString path = m_interaction.presentSavePanelForPath(
        FNWStringWithFormat("fnw_result_details_%@.csv", FNWUtils::getCurrentDate()));
    if (path.isEmpty())
        return;
    const QString lines = TestProfileExecutionBean::getCSVSummeryResultsLinesFromTestProfileExecutions(adHoc);
    if (!FNWUtils::hasValue(lines))
        return;
    writeCSV(path, TestProfileExecutionBean::getCSVSummeryHeader() + lines,
             "FNWMainWindow:exportIndividualSummeryResultsNotificationDidReceived: csv file not saved at path-%@");
}

void FNWMainWindowCoordinator::writeCSV(const QString& path, const QString& text, const char* failureLog)
{
    const QByteArray bytes = FNWCSVExport::documentBytes(text);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return;
    DDLogError(failureLog, path);
    m_interaction.showOkAlert(QStringLiteral("The CSV File Was Not Saved"),
                              QStringLiteral("It could not be written at %1: %2.").arg(path, file.errorString()),
                              FNWAlertStyle::Critical);
}
