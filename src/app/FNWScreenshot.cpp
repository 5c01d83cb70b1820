#include "app/FNWScreenshot.h"

#include "compose/FNWCreatePresetWindow.h"
#include "compose/FNWCreateTestWindow.h"
#include "compose/FNWHomeView.h"
#include "compose/FNWMyTestsTab.h"
#include "compose/MyTestView.h"
#include "compose/PresetsListView.h"
#include "compose/QueueListView.h"
#include "compose/SaveTestProfileWindow.h"
#include "compose/TestProfilesListView.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"
#include "results/FNWHistoryTab.h"
#include "results/FNWResultsGraphView.h"
#include "results/HistoryView.h"
#include "targets/AgentsListView.h"

#include "app/FNWMainWindow.h"
#include "app/FNWPreferencesWindow.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "ui/FNWSlideStackedWidget.h"
#include "ui/FNWStartStopButton.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <cstdio>
#include <deque>
#include <functional>

namespace {

constexpr int kPollMs = 50;
constexpr int kTimeoutMs = 30000;

bool isExposed(QWidget* widget)
{
    return widget && widget->isVisible() && widget->windowHandle() && widget->windowHandle()->isExposed();
}

// Runs each step once its condition holds, polling; gives up with exit status 2 on a timeout.
class StepRunner final : public QObject
{
    Q_DISABLE_COPY_MOVE(StepRunner)

public:
    struct Step
    {
        const char* waitingFor;
        std::function<bool()> ready;
        std::function<bool()> run;
    };

    StepRunner(std::deque<Step> steps, QObject* parent)
        : QObject(parent)
        , m_steps(std::move(steps))
    {
        connect(&m_timer, &QTimer::timeout, this, &StepRunner::tick);
        m_timer.start(kPollMs);
        m_waiting.start();
    }

private:
    void tick()
    {
        if (m_steps.empty()) {
            m_timer.stop();
            deleteLater();
            return;
        }
        Step& step = m_steps.front();
        if (!step.ready()) {
            if (m_waiting.elapsed() > kTimeoutMs)
                fail(QStringLiteral("timed out waiting for ") + QString::fromLatin1(step.waitingFor));
            return;
        }
        // One more round of the event loop after a condition holds, so the last paint is done.
        if (!m_settled) {
            m_settled = true;
            return;
        }
        m_settled = false;
        if (!step.run()) {
            fail(QStringLiteral("could not save a picture"));
            return;
        }
        m_steps.pop_front();
        m_waiting.restart();
    }

    void fail(const QString& why)
    {
        std::fprintf(stderr, "fenwave: screenshot: %s\n", qPrintable(why));
        m_timer.stop();
        m_steps.clear();
        QCoreApplication::exit(2);
    }

    std::deque<Step> m_steps;
    QTimer m_timer;
    QElapsedTimer m_waiting;
    bool m_settled = false;
};

// A dark palette for Fusion, to see the windows as a dark desktop shows them.
QPalette darkPalette()
{
    QPalette palette(QColor(0x3A, 0x3A, 0x3C), QColor(0x2A, 0x2A, 0x2C));
    palette.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x20));
    palette.setColor(QPalette::AlternateBase, QColor(0x2A, 0x2A, 0x2C));
    palette.setColor(QPalette::Highlight, QColor(0x3D, 0x8E, 0xE0));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0x9A, 0x9A, 0x9E));
    return palette;
}

// A few presets and target servers (documentation addresses; nothing is run) and a queue with
// one group, so the picture of the home tab shows what it is for.
void composeSampleQueue(FNWHomeView& home)
{
    PresetsListView& presets = *home.presetListView();
    AgentsListView& agents = *home.agentsListView();
    QueueListView& queue = *home.queueListView();
    const auto addPreset = [&](const QString& name, qint64 type, qint64 duration, qint64 megabytes) {
        auto preset = std::make_shared<FNWPresetBean>();
        preset->name = name;
        preset->test_type = type;
        preset->duration = duration;
        preset->number_of_byte = megabytes;
        if (type == 1) {
            preset->buffer_length = 8;
            preset->send_bw = 50;
        }
        if (preset->save())
            presets.didAddedNewPreset(preset);
    };
    addPreset(QStringLiteral("Quick TCP, 10 s"), 0, 10, -1);
    addPreset(QStringLiteral("UDP 50 Mbit/s, 30 s"), 1, 30, -1);
    addPreset(QStringLiteral("Bulk transfer, 500 MB"), 0, -1, 500);
    const std::pair<const char*, const char*> servers[] = {
        {"192.0.2.10", "Lab AP"}, {"192.0.2.20", "Office 2F"}, {"198.51.100.7", "Warehouse"}};
    for (const auto& [address, name] : servers) {
        auto agent = std::make_shared<FNWAgentBean>();
        agent->ip_address = QString::fromLatin1(address);
        agent->agent_name = QString::fromLatin1(name);
        agent->addedManually = true;
        agent->viewPosition = FNWAgentBean::getMaxViewPosition() + 1;
        agent->lastSeen = QDateTime::currentDateTime();
        agent->save();
    }
    agents.loadAllAgents();
    presets.selectRow(0);
    for (int row : {0, 1, 2, 1})
        agents.tableViewDidClickedRow(row);
    presets.selectRow(1);
    agents.tableViewDidClickedRow(2);
    queue.upperHalfCircleDidClicked(0);
    presets.selectRow(0);
}

// The sample queue saved as two test profiles, the second with its UDP test alone.
void saveSampleProfiles(FNWHomeView& home)
{
    QueueListView& queue = *home.queueListView();
    QueueListView* saved = queue.saveWindowQueue();
    if (!saved)
        return;
    queue.queueSaveButtonDidClicked();
    saved->saveTestQueueButtonDidClicked(QStringLiteral("Office survey, 2F"));
    queue.queueSaveButtonDidClicked();
    saved->deleteIndividualTestButtonDidClicked(0);
    saved->saveTestQueueButtonDidClicked(QStringLiteral("Nightly UDP check"));
    saved->setUpView();
}

// Three stored runs (the newest a named profile of three tests), so the history tab and a run's
// details show what they are for. Figures are plausible, nothing is run.
void storeSampleHistory()
{
    struct Sample
    {
        const char* preset;
        qint64 type;
        qint64 duration;
        qint64 megabytes;
        const char* address;
        const char* server;
        double mbps;
    };
    const auto storeRun = [](const QString& profileName, const std::vector<Sample>& samples, qint64 minutesAgo) {
        auto profile = std::make_shared<TestQueueBean>();
        profile->testProfileName = profileName;
        qint64 order = 1;
        for (const Sample& sample : samples) {
            auto preset = std::make_shared<FNWPresetBean>();
            preset->name = QString::fromLatin1(sample.preset);
            preset->test_type = sample.type;
            preset->duration = sample.duration;
            preset->number_of_byte = sample.megabytes;
            preset->time_interval = 1;
            preset->isAttachedToQueue = true;
            auto agent = std::make_shared<FNWAgentBean>();
            agent->ip_address = QString::fromLatin1(sample.address);
            agent->agent_name = QString::fromLatin1(sample.server);
            agent->isAttachedToQueue = true;
            auto test = std::make_shared<TestBean>();
            test->setPreset(preset);
            test->setAgent(agent);
            test->testOrder = order++;
            test->testName = agent->ip_address + QStringLiteral(" - ") + preset->name;
            test->sourceIPAddress = QStringLiteral("192.0.2.1");
            profile->testList.push_back(test);
        }
        if (!profile->save())
            return;
        const QDateTime start = QDateTime::currentDateTime().addSecs(-60 * minutesAgo);
        TestProfileExecutionBean run;
        run.profile_name = profileName;
        run.test_profile_id = profile->ID;
        run.execution_date = start;
        run.save();
        for (size_t index = 0; index < samples.size(); ++index) {
            const Sample& sample = samples[index];
            const qint64 seconds = sample.duration > 0 ? sample.duration : 13;
            TestExecutionBean execution;
            execution.testBean_id = profile->testList[index]->ID;
            execution.testProfile_id = profile->ID;
            execution.test_profile_execution_id = run.ID;
            execution.ssid = QStringLiteral("Survey-5G");
            execution.bssid = QStringLiteral("A4:2B:B0:12:7F:03");
            execution.setTargetSsid(QStringLiteral("Survey-5G"));
            execution.setTargetBssid(QStringLiteral("a4:2b:b0:12:7f:03"));
            execution.execution_date = start.addSecs(static_cast<qint64>(index) * 15);
            execution.setExecutionStatus(2);
            execution.setExecution_duration(seconds);
            const double bits = sample.mbps * 1e6;
            execution.setAverageSpeed(static_cast<qint64>(bits));
            execution.setDataTransfered(static_cast<qint64>(bits / 8 * seconds));
            execution.save();
            for (qint64 second = 0; second <= seconds; ++second) {
                const bool total = second == seconds;
                TestIntervalResults result;
                result.execution_id = execution.ID;
                result.start_time = QString::number(total ? 0 : second) + QStringLiteral(".00");
                result.end_time = QString::number(total ? seconds : second + 1) + QStringLiteral(".00");
                const double wobble = total ? 1.0 : 0.93 + 0.1 * ((second * 7) % 5) / 4.0;
                result.speed = bits * wobble;
                result.data_transfered = bits * wobble / 8 * (total ? seconds : 1);
                if (sample.type == 1) {
                    result.jitter = QStringLiteral("0.%1 ms").arg(40 + (second * 13) % 50);
                    result.datagrams = QStringLiteral("%1/%2").arg(second % 3).arg(total ? 4315 * seconds : 4315);
                }
                result.save();
            }
        }
    };
    storeRun(QString(), {{"Quick TCP, 10 s", 0, 10, -1, "192.0.2.10", "Lab AP", 612.4}}, 180);
    storeRun(QString(),
             {{"Quick TCP, 10 s", 0, 10, -1, "192.0.2.20", "Office 2F", 287.9},
              {"Quick TCP, 10 s", 0, 10, -1, "198.51.100.7", "Warehouse", 94.1}},
             95);
    storeRun(QStringLiteral("Office survey"),
             {{"Quick TCP, 10 s", 0, 10, -1, "192.0.2.10", "Lab AP", 598.2},
              {"UDP 50 Mbit/s, 30 s", 1, 30, -1, "192.0.2.20", "Office 2F", 49.8},
              {"Bulk transfer, 500 MB", 0, -1, 500, "198.51.100.7", "Warehouse", 311.5}},
             12);
}

bool save(QWidget* widget, const QString& path)
{
    const bool saved = widget && widget->grab().save(path, "PNG");
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    std::fflush(stdout);
    return saved;
}

} // namespace

bool FNWScreenshot::startIfRequested(FNWMainWindow* window)
{
    const QString target = qEnvironmentVariable(kEnvironmentVariable);
    if (target.isEmpty() || !window)
        return false;
    const QFileInfo info(target);
    QDir().mkpath(info.absolutePath());
    const QString base = info.absolutePath() + QLatin1Char('/') + info.completeBaseName();
    auto path = [base](const char* suffix) { return base + QString::fromLatin1(suffix) + QLatin1String(".png"); };

    if (qEnvironmentVariable(kPaletteVariable) == QLatin1String("dark"))
        QApplication::setPalette(darkPalette());

    QPointer<FNWMainWindow> main(window);
    FNWMainWindowCoordinator* coordinator = window->coordinator();
    auto settled = [main] { return isExposed(main) && !main->pageStack()->isAnimating(); };
    auto showTab = [main, coordinator](int tab) {
        return [main, coordinator, tab] {
            coordinator->topNativationViewButtonDidClicked(tab);
            return true;
        };
    };
    auto always = [] { return true; };

    std::deque<StepRunner::Step> steps;
    QPointer<FNWHomeView> home = qobject_cast<FNWHomeView*>(window->pageWidget(FNWMainWindowCoordinator::HomeTab));
    steps.push_back({"the home tab's lists", [home] { return !home || home->isSetUp(); },
                     [home] {
                         if (home)
                             composeSampleQueue(*home);
                         return true;
                     }});
    steps.push_back({"the main window", [main] { return isExposed(main); },
                     [] {
                         FNWUtils::setUserSetting(true, QString::fromLatin1(kStartStopButtonVisibilityKey));
                         return true;
                     }});
    steps.push_back({"the start/stop control", [main] { return main && main->startStopButton()->isVisible(); },
                     [main, target] { return save(main, target); }});
    steps.push_back({"the preset editor", always, [home] {
                         if (home)
                             home->presetListView()->createNewPresetButtonDidClicked();
                         return true;
                     }});
    steps.push_back({"the preset editor on screen", [home] { return home && isExposed(home->presetEditor()); },
                     [home, path] {
                         const bool saved = save(home->presetEditor(), path("-preset"));
                         home->presetEditor()->reject();
                         return saved;
                     }});
    steps.push_back({"the sample profiles", always, [home] {
                         if (home)
                             saveSampleProfiles(*home);
                         return true;
                     }});
    steps.push_back({"the tab switch", always, showTab(FNWMainWindowCoordinator::MyTestsTab)});
    QPointer<FNWMyTestsTab> myTests =
        qobject_cast<FNWMyTestsTab*>(window->pageWidget(FNWMainWindowCoordinator::MyTestsTab));
    steps.push_back({"a selected profile", always, [myTests] {
                         if (myTests)
                             myTests->myTestView()->testProfileListView()->didClickonTableRow(0);
                         return true;
                     }});
    steps.push_back({"the My Tests tab", settled, [main, path] { return save(main, path("-mytests")); }});
    if (myTests) {
        steps.push_back({"the update window", always, [myTests] {
                             TestProfilesListView* list = myTests->myTestView()->testProfileListView();
                             list->enableEditModeButtonDidClicked(true);
                             list->didClickonTableRow(1);
                             return true;
                         }});
        steps.push_back({"the update window on screen",
                         [myTests] {
                             return myTests && isExposed(myTests->updateWindow()) &&
                                    myTests->updateWindow()->windowOpacity() >= 1.0;
                         },
                         [myTests, path] { return save(myTests->updateWindow(), path("-mytests-update")); }});
        steps.push_back({"closing the update window", always, [myTests] {
                             myTests->updateWindow()->reject();
                             myTests->myTestView()->testProfileListView()->enableEditModeButtonDidClicked(false);
                             return true;
                         }});
        steps.push_back({"the new-test window", always, [myTests] {
                             myTests->myTestView()->testProfileListView()->addNewTestProfileButtonDidClicked();
                             return true;
                         }});
        steps.push_back({"the new-test window on screen",
                         [main] { return main && isExposed(main->findChild<FNWCreateTestWindow*>()); },
                         [main, path] {
                             auto* create = main->findChild<FNWCreateTestWindow*>();
                             const bool saved = save(create, path("-mytests-new"));
                             create->reject();
                             return saved;
                         }});
    }
    QPointer<FNWHistoryTab> history =
        qobject_cast<FNWHistoryTab*>(window->pageWidget(FNWMainWindowCoordinator::HistoryTab));
    steps.push_back({"the sample history", always, [history] {
                         storeSampleHistory();
                         if (history)
                             history->loadViewsDataFromDatabase();
                         return true;
                     }});
    steps.push_back({"the tab switch", always, showTab(FNWMainWindowCoordinator::HistoryTab)});
    steps.push_back({"the history tab",
                     [settled, history] { return settled() && (!history || !history->historyView()->isLoading()); },
                     [main, path] { return save(main, path("-history")); }});
    if (history) {
        steps.push_back({"a run's details", always, [history] {
                             history->historyView()->individualResultsView()->didClickonTableRow(0);
                             return true;
                         }});
        steps.push_back({"the details",
                         [settled, history] {
                             return settled() && !history->pages()->isAnimating() &&
                                    !history->historyView()
                                         ->resultsNavigationBaseView()
                                         ->profileResultsDetailedListView()
                                         ->isLoading() &&
                                    !history->detailTable()->graphicsEffect();
                         },
                         [main, path] { return save(main, path("-history-details")); }});
        steps.push_back({"the graph", always, [history] {
                             history->historyView()->resultsNavigationBaseView()->graphButtonDidPressed();
                             return true;
                         }});
        steps.push_back({"the graph's fade",
                         [settled, history] { return settled() && !history->graphView()->graphicsEffect(); },
                         [history] {
                             // The pointer beside the UDP test's sixth interval: its line highlighted, then its
                             // read-out.
                             FNWResultsGraphView* graph = history->graphView();
                             const QPointF point = graph->positionOf(1, 6);
                             graph->pointerMoved(point + QPointF(3, 3));
                             graph->pointerMoved(point + QPointF(3, 4));
                             return true;
                         }});
        steps.push_back({"the graph's read-out", always, [main, path] { return save(main, path("-history-graph")); }});
    }
    // The warning line after a stop, on the home tab: the control's own path, with nothing running.
    steps.push_back({"the tab switch", always, showTab(FNWMainWindowCoordinator::HomeTab)});
    steps.push_back({"a stopped run", settled, [coordinator] {
                         coordinator->testDidStarted();
                         coordinator->startStopButtonDidClicked();
                         return true;
                     }});
    steps.push_back({"the stop message", [main] { return main && !main->warningLabel()->text().isEmpty(); },
                     [main, path] { return save(main, path("-stopped")); }});
    steps.push_back({"the preferences", always, [main] {
                         main->openPreferences();
                         return true;
                     }});
    steps.push_back({"the preferences window", [main] { return main && isExposed(main->preferencesWindow()); },
                     [main, path] { return save(main->preferencesWindow(), path("-preferences")); }});
    steps.push_back({"closing", always, [main] { return main && main->close(); }});
    new StepRunner(std::move(steps), window);
    return true;
}
