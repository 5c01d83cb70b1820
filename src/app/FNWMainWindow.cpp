#include "app/FNWMainWindow.h"

#include "app/FNWSupportMailTransport.h"
#include "app/SendDebugLogWindow.h"
#include "app/SendDebugLogWindowController.h"
#include "ui/FNWPalette.h"

#include "app/FNWPlaceholderPage.h"
#include "app/FNWPreferencesWindow.h"
#include "base/FNWAlerts.h"
#include "base/FNWUtils.h"
#include "compose/FNWCreateTestWindow.h"
#include "compose/FNWHomeView.h"
#include "support/DDFileLogger.h"
#include "support/DDLog.h"
#include "ui/FNWArtwork.h"
#include "ui/FNWBusyIndicator.h"
#include "ui/FNWSlideStackedWidget.h"
#include "ui/FNWStartStopButton.h"

#include <QActionGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

struct NavigationItem
{
    int tab;
    const char* title;
    const char* image;
};

constexpr NavigationItem kNavigationItems[] = {
    {FNWMainWindowCoordinator::HomeTab, "Home", "home"},
    {FNWMainWindowCoordinator::MyTestsTab, "My Tests", "mytests"},
    {FNWMainWindowCoordinator::HistoryTab, "History", "history"},
};

QString latin1(const char* text)
{
    return QString::fromLatin1(text);
}

QString withoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

FNWMainWindow::FNWMainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_interaction(this)
    , m_coordinator(std::make_unique<FNWMainWindowCoordinator>(m_interaction))
{
    setWindowTitle(QStringLiteral("Fenwave"));
    setObjectName(QStringLiteral("FNWMainWindow"));
    resize(1100, 700);
    setMinimumSize(800, 500);

    buildToolbar();
    buildCentralArea();
    buildMenus();

    FNWMainWindowCoordinator* coordinator = m_coordinator.get();
    connect(coordinator, &FNWMainWindowCoordinator::visibleViewChanged, this, &FNWMainWindow::visibleViewDidChange);
    connect(coordinator, &FNWMainWindowCoordinator::startStopChanged, this, &FNWMainWindow::startStopDidChange);
    connect(coordinator, &FNWMainWindowCoordinator::indicatorChanged, this, &FNWMainWindow::indicatorDidChange);
    connect(coordinator, &FNWMainWindowCoordinator::warningChanged, this, &FNWMainWindow::warningDidChange);
    connect(coordinator, &FNWMainWindowCoordinator::createTestWindowRequested, this,
            &FNWMainWindow::createTestWindowRequested);
    connect(coordinator, &FNWMainWindowCoordinator::closeCreateTestWindowRequested, this,
            &FNWMainWindow::closeCreateTestWindowRequested);
    connect(m_startStop, &QAbstractButton::clicked, coordinator, &FNWMainWindowCoordinator::startStopButtonDidClicked);

    coordinator->awakeFromNib();

    // Start from whatever the coordinator holds now; the signals keep it so.
    m_pages->setCurrentIndexWithoutAnimation(coordinator->visibleView());
    showNavigationState();
    startStopDidChange();
    indicatorDidChange(coordinator->isIndicatorRunning());
    warningDidChange(coordinator->warningText(), coordinator->warningColor());
}

FNWMainWindow::~FNWMainWindow() = default;

void FNWMainWindow::buildToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Navigation"));
    m_toolbar->setObjectName(QStringLiteral("mainToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(24, 24));

    m_navigation = new QActionGroup(this);
    m_navigation->setExclusive(true);
    for (const NavigationItem& item : kNavigationItems) {
        QAction* action = m_toolbar->addAction(FNWArtwork::icon(latin1(item.image)), latin1(item.title));
        action->setCheckable(true);
        action->setData(item.tab);
        action->setToolTip(latin1(item.title));
        m_navigation->addAction(action);
        m_navigationActions.append(action);
        if (QWidget* button = m_toolbar->widgetForAction(action)) {
            button->setObjectName(latin1(item.image) + QLatin1String("Button"));
            button->setMinimumWidth(72);
        }
        const int tab = item.tab;
        connect(action, &QAction::triggered, this, [this, tab] {
            m_coordinator->topNativationViewButtonDidClicked(tab);
            // The check mark shows the coordinator's tab, whatever the click did.
            showNavigationState();
        });
    }

    auto* spacer = new QWidget(m_toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spacer);

    auto* controls = new QWidget(m_toolbar);
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 10, 0);
    row->setSpacing(12);
    m_indicator = new FNWBusyIndicator(controls);
    m_startStop = new FNWStartStopButton(controls);
    row->addWidget(m_indicator, 0, Qt::AlignVCenter);
    row->addWidget(m_startStop, 0, Qt::AlignVCenter);
    m_toolbar->addWidget(controls);
}

void FNWMainWindow::buildCentralArea()
{
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_warning = new QLabel(central);
    m_warning->setObjectName(QStringLiteral("warningLabel"));
    m_warning->setAlignment(Qt::AlignCenter);
    m_warning->setContentsMargins(12, 3, 12, 3);
    // One line tall even when empty, so the pages do not jump when a warning comes and goes.
    m_warning->setFixedHeight(m_warning->fontMetrics().height() + 6);
    m_warning->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    column->addWidget(m_warning);

    m_pages = new FNWSlideStackedWidget(central);
    m_pages->setObjectName(QStringLiteral("pageStack"));
    auto* home = new FNWPlaceholderPage(QStringLiteral("Presets, agents and the test queue appear here"));
    auto* myTests = new FNWPlaceholderPage(QStringLiteral("Your saved test profiles appear here"));
    auto* history = new FNWPlaceholderPage(QStringLiteral("Past test runs and their results appear here"));
    m_pages->addWidget(home);
    m_pages->addWidget(myTests);
    m_pages->addWidget(history);
    m_coordinator->setHomePage(home);
    m_coordinator->setMyTestsPage(myTests);
    m_coordinator->setHistoryPage(history);
    column->addWidget(m_pages, 1);

    setCentralWidget(central);
}

void FNWMainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setToolTipsVisible(true);
    QAction* preferences = file->addAction(QStringLiteral("Preferences…"), this, &FNWMainWindow::openPreferences);
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);
    QAction* debugLog = file->addAction(QStringLiteral("Send Debug Log…"), this, &FNWMainWindow::sendDebugLog);
    debugLog->setToolTip(QStringLiteral("Mail the newest log files to support"));
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);

    QMenu* test = menuBar()->addMenu(QStringLiteral("&Test"));
    QAction* newPreset = test->addAction(QStringLiteral("New Preset…"), m_coordinator.get(),
                                         &FNWMainWindowCoordinator::newPresetMenuItemDidClicked);
    newPreset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    QAction* newAgent = test->addAction(QStringLiteral("New Agent…"), m_coordinator.get(),
                                        &FNWMainWindowCoordinator::newAgentMenuItemDidClicked);
    newAgent->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    test->addSeparator();
    m_startAction = test->addAction(QStringLiteral("Start"), m_coordinator.get(),
                                    &FNWMainWindowCoordinator::startMenuItemDidClicked);
    m_startAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    m_stopAction =
        test->addAction(QStringLiteral("Stop"), m_coordinator.get(), &FNWMainWindowCoordinator::stopMenuItemDidClicked);
    m_stopAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period));

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    QAction* minimize = window->addAction(QStringLiteral("Minimize"), this, &FNWMainWindow::minimizeAction);
    minimize->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("Fenwave Help"), this, &FNWMainWindow::helpAction);
    help->addAction(QStringLiteral("Show Log File"), this, &FNWMainWindow::showLogFileMenuItemDidClicked);
}

QWidget* FNWMainWindow::pageWidget(int tab) const
{
    return m_pages->widget(tab);
}

QToolButton* FNWMainWindow::navigationButton(int tab) const
{
    if (tab < 0 || tab >= m_navigationActions.size())
        return nullptr;
    return qobject_cast<QToolButton*>(m_toolbar->widgetForAction(m_navigationActions.at(tab)));
}

FNWPreferencesWindow* FNWMainWindow::preferencesWindow() const
{
    return m_preferences;
}

QAction* FNWMainWindow::menuAction(const QString& text) const
{
    for (QAction* menu : menuBar()->actions()) {
        if (!menu->menu())
            continue;
        for (QAction* action : menu->menu()->actions()) {
            if (withoutMnemonic(action->text()) == text)
                return action;
        }
    }
    return nullptr;
}

void FNWMainWindow::prepareMainWindow()
{
    m_animateTabChanges = false;
    m_coordinator->topNativationViewButtonDidClicked(FNWMainWindowCoordinator::HomeTab);
    m_animateTabChanges = true;
    m_pages->setCurrentIndexWithoutAnimation(m_coordinator->visibleView());
    showNavigationState();
}

void FNWMainWindow::setHomePage(QWidget* widget, FNWHomePage* page)
{
    replacePage(FNWMainWindowCoordinator::HomeTab, widget);
    m_coordinator->setHomePage(page);
    m_pages->setCurrentIndexWithoutAnimation(m_coordinator->visibleView());
}

void FNWMainWindow::setMyTestsPage(QWidget* widget, FNWMyTestsPage* page)
{
    replacePage(FNWMainWindowCoordinator::MyTestsTab, widget);
    m_coordinator->setMyTestsPage(page);
    m_pages->setCurrentIndexWithoutAnimation(m_coordinator->visibleView());
}

void FNWMainWindow::setHistoryPage(QWidget* widget, FNWHistoryPage* page)
{
    replacePage(FNWMainWindowCoordinator::HistoryTab, widget);
    m_coordinator->setHistoryPage(page);
    m_pages->setCurrentIndexWithoutAnimation(m_coordinator->visibleView());
}

void FNWMainWindow::setTestRunControl(FNWTestRunControl* control)
{
    m_coordinator->setTestRunControl(control);
}

void FNWMainWindow::replacePage(int tab, QWidget* widget)
{
    QWidget* old = m_pages->widget(tab);
    if (!widget || widget == old)
        return;
    m_pages->finishAnimation();
    m_pages->insertWidget(tab, widget);
    if (old) {
        m_pages->removeWidget(old);
        // The coordinator may still point at it until the caller hands over the new interface.
        old->deleteLater();
    }
}

void FNWMainWindow::visibleViewDidChange(int tab, int previousTab)
{
    showNavigationState();
    if (tab < 0 || tab >= m_pages->count())
        return;
    if (!m_animateTabChanges || tab == previousTab)
        m_pages->setCurrentIndexWithoutAnimation(tab);
    else if (tab > previousTab)
        m_pages->slideAnimationFromLeft(tab);
    else
        m_pages->slideAnimationFromRight(tab);
}

void FNWMainWindow::showNavigationState()
{
    const int tab = m_coordinator->visibleView();
    for (QAction* action : std::as_const(m_navigationActions))
        action->setChecked(action->data().toInt() == tab);
}

void FNWMainWindow::startStopDidChange()
{
    m_startStop->setTag(m_coordinator->startStopTag());
    m_startStop->setVisible(m_coordinator->isStartStopVisible());
    const bool offersStop = m_coordinator->startStopTag() == FNWMainWindowCoordinator::OffersStop;
    if (m_startAction)
        m_startAction->setEnabled(!offersStop && m_coordinator->isStartStopVisible());
    if (m_stopAction)
        m_stopAction->setEnabled(offersStop);
}

void FNWMainWindow::indicatorDidChange(bool running)
{
    if (running)
        m_indicator->startAnimation();
    else
        m_indicator->stopAnimation();
}

void FNWMainWindow::warningDidChange(const QString& text, const QVariant& color)
{
    const QString shownText = FNWUtils::shownText(text);
    m_warning->setText(shownText);
    m_warning->setToolTip(shownText);
    QColor shown;
    if (color.typeId() == QMetaType::QColor)
        shown = color.value<QColor>();
    else if (color.canConvert<QString>())
        shown = QColor::fromString(color.toString());
    if (!shown.isValid())
        shown = FNWPalette::warningColor(palette());
    QPalette colors = m_warning->palette();
    colors.setColor(QPalette::WindowText, shown);
    m_warning->setPalette(colors);
}

void FNWMainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // The default red depends on whether the window is light or dark.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        warningDidChange(m_coordinator->warningText(), m_coordinator->warningColor());
}

void FNWMainWindow::createTestWindowRequested()
{
    if (m_createTestWindow && m_createTestWindow->isVisible()) {
        m_createTestWindow->raise();
        m_createTestWindow->activateWindow();
        return;
    }
    auto* home = qobject_cast<FNWHomeView*>(m_pages->widget(FNWMainWindowCoordinator::HomeTab));
    if (!home)
        return;
    if (!m_createTestWindow) {
        m_createTestWindow = new FNWCreateTestWindow(this);
        connect(m_createTestWindow, &FNWCreateTestWindow::contentReleased, this, &FNWMainWindow::homeContentReleased);
    }
    // The composition moves into the window; the Home tab holds a note until it comes back.
    m_pages->finishAnimation();
    m_pages->insertWidget(FNWMainWindowCoordinator::HomeTab,
                          new FNWPlaceholderPage(tr("The Home tab is open in the New Test Profile window")));
    m_pages->removeWidget(home);
    m_pages->setCurrentIndexWithoutAnimation(m_coordinator->visibleView());
    home->setIsCreateNewMyTestProfile(true);
    m_createTestWindow->openWithContent(home, home->queueListView());
}

void FNWMainWindow::closeCreateTestWindowRequested()
{
    if (m_createTestWindow && m_createTestWindow->content())
        m_createTestWindow->reject();
}

void FNWMainWindow::homeContentReleased(QWidget* home)
{
    QWidget* note = m_pages->widget(FNWMainWindowCoordinator::HomeTab);
    m_pages->finishAnimation();
    m_pages->insertWidget(FNWMainWindowCoordinator::HomeTab, home);
    if (note && note != home) {
        m_pages->removeWidget(note);
        note->deleteLater();
    }
    m_pages->setCurrentIndexWithoutAnimation(m_coordinator->visibleView());
    if (auto* page = qobject_cast<FNWHomeView*>(home))
        page->setIsCreateNewMyTestProfile(false);
}

void FNWMainWindow::openPreferences()
{
    if (!m_preferences)
        m_preferences = new FNWPreferencesWindow(this);
    m_preferences->show();
    m_preferences->raise();
    m_preferences->activateWindow();
}

void FNWMainWindow::sendDebugLog()
{
    const QString joined = FNWAppDelegate::sendDebugLog();
    if (!m_sendLogWindow) {
        m_mailTransport = new FNWSupportMailTransport(this);
        m_sendLogController = new SendDebugLogWindowController(m_mailTransport, FNWSupportMailConfig::load(), this);
        m_sendLogWindow = new SendDebugLogWindow(m_sendLogController, this);
    }
    m_sendLogController->setLogFilePath(joined);
    m_sendLogWindow->showWindow();
}

void FNWMainWindow::minimizeAction()
{
    showMinimized();
}

void FNWMainWindow::helpAction()
{
    const QString path = FNWUtils::resourcesDirectory() + QLatin1Char('/') + latin1(kUserGuideFile);
    if (!QFileInfo::exists(path)) {
        DDLogError("FNWMainWindow: the user guide is missing at %@", path);
        FNWAlerts::showCriticalAlertWithMessage(QStringLiteral("The user guide is missing."),
                                                QStringLiteral("Fenwave expected it at %1.").arg(path));
        return;
    }
    openLocally(QUrl::fromLocalFile(path), path, QStringLiteral("the user guide"));
}

void FNWMainWindow::showLogFileMenuItemDidClicked()
{
    const std::shared_ptr<DDFileLogger> logger = FNWAppDelegate::fileLogger();
    const QStringList paths = logger ? logger->logFileManager()->sortedLogFilePaths() : QStringList();
    if (paths.isEmpty()) {
        DDLogInfo("FNWMainWindow: there is no log file to show.");
        return;
    }
    revealInFileManager(paths.constFirst());
}

void FNWMainWindow::revealInFileManager(const QString& path)
{
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openLocally(folder, path, QStringLiteral("the log file"));
        return;
    }
    // The file manager selects the file in its folder; without one on the bus, the folder opens.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, folder, path](QDBusPendingCallWatcher* finished) {
        if (finished->isError()) {
            DDLogInfo("FNWMainWindow: no file manager to show the log file (%@); opening its folder.",
                      finished->error().message());
            openLocally(folder, path, QStringLiteral("the log file"));
        }
        finished->deleteLater();
    });
}

void FNWMainWindow::openLocally(const QUrl& url, const QString& path, const QString& what)
{
    if (QDesktopServices::openUrl(url))
        return;
    DDLogInfo("FNWMainWindow: nothing could open %@ (%@)", what, path);
    const int chosen =
        FNWAlerts::present({QStringLiteral("Fenwave could not open %1.").arg(what),
                            QStringLiteral("No browser or file manager could be started. It is at:\n%1").arg(path),
                            FNWAlertStyle::Informational,
                            {QStringLiteral("OK"), QStringLiteral("Copy Path")},
                            0});
    if (chosen == 1)
        QGuiApplication::clipboard()->setText(path);
}

void FNWMainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_coordinator->windowShouldClose()) {
        event->ignore();
        return;
    }
    // Quitting closes every window, so the application's last-window rule applies.
    if (m_preferences)
        m_preferences->close();
    QMainWindow::closeEvent(event);
}
