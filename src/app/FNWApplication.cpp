#include "app/FNWApplication.h"

#include "app/FNWMainWindow.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "compose/FNWHomeView.h"
#include "compose/FNWMyTestsTab.h"
#include "engine/PerfTest.h"
#include "engine/TestManager.h"
#include "results/FNWHistoryTab.h"
#include "support/DDLog.h"
#include "support/FNWSignalWatcher.h"

#include <QApplication>
#include <QIcon>
#include <QProxyStyle>

#include <cstdlib>

namespace {

constexpr int kRunsEndWaitMs = 5000;

// Shows tool tips after the delay kept in the settings.
class ToolTipDelayStyle final : public QProxyStyle
{
public:
    explicit ToolTipDelayStyle(int delay)
        : m_delay(delay)
    {
    }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return m_delay;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    const int m_delay;
};

} // namespace

FNWApplication::FNWApplication(QApplication& app)
    : m_app(app)
{
    QApplication::setOrganizationName(QStringLiteral("Fenwave"));
    QApplication::setApplicationName(QStringLiteral("Fenwave"));
    QApplication::setApplicationDisplayName(QStringLiteral("Fenwave"));
    QApplication::setApplicationVersion(FNWAppDelegate::versionString());
    QApplication::setDesktopFileName(QStringLiteral("fenwave"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("fenwave"), QIcon(QStringLiteral(":/fenwave/fenwave.svg"))));

    // The application decides itself whether closing the last window quits.
    QApplication::setQuitOnLastWindowClosed(false);
    connect(&m_app, &QGuiApplication::lastWindowClosed, this, [this] {
        if (m_delegate.applicationShouldTerminateAfterLastWindowClosed())
            QCoreApplication::quit();
    });
    watchTerminationSignals();
}

FNWApplication::~FNWApplication() = default;

bool FNWApplication::haveDisplay()
{
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

void FNWApplication::launch()
{
    m_window = std::make_unique<FNWMainWindow>();
    auto* home = new FNWHomeView;
    m_window->setHomePage(home, home);
    auto* myTests = new FNWMyTestsTab;
    m_window->setMyTestsPage(myTests, myTests);
    auto* history = new FNWHistoryTab;
    m_window->setHistoryPage(history, history);
    // Runs started from any tab go through the one test manager; the window stops it.
    m_window->setTestRunControl(TestManager::sharedTestManager().get());
    m_delegate.applicationDidFinishLaunching(m_window.get());
    const QVariant delay = FNWUtils::getUserSettingForKey(QString::fromLatin1(kInitialToolTipDelayKey));
    if (delay.isValid())
        QApplication::setStyle(new ToolTipDelayStyle(delay.toInt()));
    m_window->show();
}

int FNWApplication::exec()
{
    const int status = QApplication::exec();
    stopRunningTests();
    m_delegate.applicationWillTerminate();
    return status;
}

void FNWApplication::stopRunningTests()
{
    // Quitting mid-run ends the run as the stop control does: its processes go and its partial
    // results with them, so the history never keeps a test that runs forever.
    const std::shared_ptr<TestManager> manager = TestManager::sharedTestManager();
    if (manager->isFreeToUse())
        return;
    DDLogInfo("FNWApplication: quitting while tests run, stopping them");
    manager->stopProfileExecution();
    if (!PerfTest::waitForAllRunsToEnd(kRunsEndWaitMs))
        DDLogError("FNWApplication: tests still running %d ms after the stop", kRunsEndWaitMs);
}

void FNWApplication::quitAfterCleanUp()
{
    m_delegate.applicationShouldTerminateAfterLastWindowClosed();
    QCoreApplication::quit();
}

void FNWApplication::watchTerminationSignals()
{
    // A logout or Ctrl+C quits through the event loop, so the clean-up still runs.
    m_signalWatcher = std::make_unique<FNWSignalWatcher>([this](int) { quitAfterCleanUp(); });
    QString error;
    if (!m_signalWatcher->install(&error))
        DDLogError("FNWApplication: %@", error);
}
