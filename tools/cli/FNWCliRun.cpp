#include "FNWCli.h"
#include "FNWCliJson.h"

#include "base/FNWEnums.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "base/FNWUtils.h"
#include "db/FNWAgentDAO.h"
#include "db/FNWPresetDAO.h"
#include "db/TestQueueBeanDAO.h"
#include "engine/PerfTest.h"
#include "engine/TestManager.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"
#include "results/FNWResultTexts.h"
#include "support/DDLog.h"
#include "support/FNWFormat.h"
#include "support/FNWSignalWatcher.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <utility>

#include <unistd.h>

namespace fnw::cli {

namespace {

constexpr int kRunsEndWaitMs = 5000;
// A failed test's outcome reaches the view a moment after the run's end is announced.
constexpr int kLastOutcomeWaitMs = 2000;

// The library preset with exactly this name (trimmed).
std::shared_ptr<FNWPresetBean> presetNamed(const QString& name)
{
    for (std::shared_ptr<FNWPresetBean>& preset : FNWPresetDAO().getAllAttachedPresets(false)) {
        if (preset->name == name.trimmed())
            return preset;
    }
    return nullptr;
}

// The queue's copy of the agent at the address: the library agent's name and port when one has
// that address, else a target known only by its address.
std::shared_ptr<FNWAgentBean> agentCopyFor(const FNWAgentAddress& address)
{
    std::shared_ptr<FNWAgentBean> copy;
    for (const std::shared_ptr<FNWAgentBean>& agent : FNWAgentDAO().getAllAttachedAgents(false)) {
        if (agent->ip_address == address.address && (address.port == 0 || agent->port_number == address.port)) {
            copy = agent->copy();
            copy->originalID = agent->ID;
            break;
        }
    }
    if (!copy) {
        copy = std::make_shared<FNWAgentBean>();
        copy->ip_address = address.address;
        copy->agent_name = address.address;
        copy->addedManually = true;
    }
    if (address.port != 0)
        copy->port_number = address.port;
    copy->isAttachedToQueue = true;
    return copy;
}

// The queue the request names: a saved profile's tests, or one test per agent and preset pair.
// Nothing is written; a complaint and none when any word names nothing.
std::shared_ptr<TestQueueBean> composeQueue(const FNWCliRequest& request)
{
    if (!request.profileName.isEmpty()) {
        for (const std::shared_ptr<TestQueueBean>& profile : TestQueueBeanDAO().getAllNamedProfiles()) {
            if (profile->testProfileName != request.profileName.trimmed())
                continue;
            profile->loadAllTestBeans();
            if (profile->testList.empty()) {
                printError(FNWStringWithFormat("the profile '%@' has no tests to run", profile->testProfileName));
                return nullptr;
            }
            return profile;
        }
        printError(FNWStringWithFormat("no saved profile is called '%@' (see 'fenwave-cli profiles')",
                                       request.profileName));
        return nullptr;
    }
    auto profile = std::make_shared<TestQueueBean>();
    for (qsizetype i = 0; i < request.agents.size(); ++i) {
        FNWAgentAddress address;
        QString error;
        parseAgentAddress(request.agents.at(i), &address, &error);
        const std::shared_ptr<FNWPresetBean> preset = presetNamed(request.presets.at(i));
        if (!preset) {
            printError(FNWStringWithFormat("no preset is called '%@' (see 'fenwave-cli presets')",
                                           request.presets.at(i)));
            return nullptr;
        }
        std::shared_ptr<FNWPresetBean> presetCopy = preset->copy();
        presetCopy->originalID = preset->ID;
        presetCopy->agent_id = -1;
        presetCopy->isAttachedToQueue = true;
        const std::shared_ptr<FNWAgentBean> agent = agentCopyFor(address);
        auto test = std::make_shared<TestBean>();
        test->setAgent(agent);
        test->setPreset(presetCopy);
        test->testOrder = request.together ? 1 : i + 1;
        test->testName = agent->ip_address + FNWStringWithFormat(" - %@", presetCopy->name);
        profile->testList.push_back(test);
    }
    return profile;
}

// Follows the run for the terminal or a pipe, and decides the exit code.
class RunReporter final : public TestManagerDelegate
{
public:
    RunReporter(bool json, bool terminal, qint64 testCount)
        : m_json(json)
        , m_terminal(terminal && !json)
        , m_testCount(testCount)
    {
    }

    void willExecuteTest(const std::shared_ptr<TestExecutionBean>& execution) override
    {
        const FNWTestRunParts parts = FNWTestRunParts::of(execution);
        Running running{execution->ID, nameOf(parts), FNWResultTexts::dataFormatOf(parts), QStringLiteral("starting")};
        ++m_started;
        if (m_json) {
            printJson({{QStringLiteral("type"), QStringLiteral("started")},
                       {QStringLiteral("run_id"), execution->test_profile_execution_id},
                       {QStringLiteral("execution_id"), execution->ID},
                       {QStringLiteral("test"), running.name}});
        } else {
            print(FNWStringWithFormat("Started  %@", running.name));
        }
        m_running.push_back(running);
        m_runID = execution->test_profile_execution_id;
        drawStatus();
    }

    void didReceiveIntervalResult(const std::shared_ptr<TestExecutionBean>& execution,
                                  const std::shared_ptr<TestIntervalResults>& result, bool isFinal) override
    {
        const auto running = findRunning(execution->ID);
        if (running == m_running.end())
            return;
        // The final totals come with the test's outcome, over the span they measured.
        if (isFinal) {
            running->finalSpan = FNWResultTexts::intervalColumn(*result, QStringLiteral("interval"), 0);
            return;
        }
        const QString throughput =
            FNWResultTexts::intervalColumn(*result, QStringLiteral("throughput"), running->dataFormat);
        const QString interval = FNWResultTexts::intervalColumn(*result, QStringLiteral("interval"), 0);
        if (m_json) {
            QJsonObject line = intervalJson(*result, running->dataFormat);
            line.insert(QStringLiteral("type"), QStringLiteral("interval"));
            line.insert(QStringLiteral("execution_id"), execution->ID);
            line.insert(QStringLiteral("test"), running->name);
            printJson(line);
            return;
        }
        running->status = FNWStringWithFormat("%@  at %@", throughput, interval);
        print(FNWStringWithFormat("%-18@ %-36@ %@", interval, running->name, throughput));
    }

    void iperfShallExecutionFinishedForTest(const std::shared_ptr<TestExecutionBean>& execution) override
    {
        const auto running = findRunning(execution->ID);
        QString span;
        if (running != m_running.end()) {
            span = running->finalSpan;
            m_running.erase(running);
        }
        const FNWTestRunParts parts = FNWTestRunParts::of(execution);
        const bool finished = execution->executionStatus() == FNWExecutionStatusFinished;
        finished ? ++m_finished : ++m_failed;
        // What the window's warning line says of a failed test.
        const QString warning =
            execution->message() + FNWStringWithFormat(" (%@)", parts.agent ? parts.agent->ip_address : QString());
        if (m_json) {
            QJsonObject line = testRunJson(parts, false);
            line.insert(QStringLiteral("type"), QStringLiteral("outcome"));
            line.insert(QStringLiteral("test"), nameOf(parts));
            if (!finished)
                line.insert(QStringLiteral("warning"), warning);
            printJson(line);
        } else if (finished) {
            const auto text = [&](const char* column) {
                return FNWResultTexts::testLine(parts, QLatin1String(column), FNWResultTexts::TestLineTable::Summary);
            };
            print(FNWStringWithFormat("Finished %@: average %@, total %@ over %@", nameOf(parts), text("average"),
                                      text("total"),
                                      span.isEmpty() ? FNWStringWithFormat("%ld s", execution->execution_duration())
                                                     : span));
        } else {
            print(FNWStringWithFormat("Failed   %@: %@", nameOf(parts), warning));
        }
        drawStatus();
        quitWhenDone();
    }

    void runDidEnd()
    {
        m_ended = true;
        quitWhenDone();
        // Should an outcome never come, the run still ends.
        QTimer::singleShot(kLastOutcomeWaitMs, QCoreApplication::instance(), [] { QCoreApplication::quit(); });
    }

    void runWasStopped()
    {
        m_stopped = true;
        clearStatus();
        m_running.clear();
    }

    int exitCode() const
    {
        if (m_stopped)
            return kExitInterrupted;
        return m_finished == m_testCount && m_failed == 0 ? kExitOk : kExitFailed;
    }

    void printEnd()
    {
        clearStatus();
        const int code = exitCode();
        const QString status = code == kExitOk ? QStringLiteral("finished")
                               : code == kExitInterrupted ? QStringLiteral("interrupted")
                                                          : QStringLiteral("failed");
        // Said on standard error also when standard output is for a program.
        if (code == kExitInterrupted)
            printError(QStringLiteral("Tests stopped: the results of the tests that were running were not kept."));
        if (m_json) {
            printJson({{QStringLiteral("type"), QStringLiteral("end")},
                       {QStringLiteral("run_id"), m_runID},
                       {QStringLiteral("status"), status},
                       {QStringLiteral("finished"), m_finished},
                       {QStringLiteral("failed"), m_failed},
                       {QStringLiteral("exit_code"), code}});
        } else if (code != kExitInterrupted) {
            printLine(FNWStringWithFormat("Execution %ld: %ld of %ld tests finished", m_runID, m_finished, m_testCount));
        }
    }

private:
    struct Running
    {
        qint64 executionID = 0;
        QString name;
        qint64 dataFormat = 0;
        QString status;
        // The final line's span, as "0.00-10.00 s".
        QString finalSpan;
    };

    static QString nameOf(const FNWTestRunParts& parts)
    {
        return FNWResultTexts::testLine(parts, QStringLiteral("name"), FNWResultTexts::TestLineTable::Summary);
    }

    std::vector<Running>::iterator findRunning(qint64 executionID)
    {
        return std::find_if(m_running.begin(), m_running.end(),
                            [executionID](const Running& running) { return running.executionID == executionID; });
    }

    void quitWhenDone()
    {
        if (m_ended && m_finished + m_failed >= m_started)
            QCoreApplication::quit();
    }

    // A plain line above the status lines, which are drawn again below it.
    void print(const QString& line)
    {
        clearStatus();
        printLine(line);
        drawStatus();
    }

    // On a terminal, one line per running test below the results, redrawn in place.
    void drawStatus()
    {
        if (!m_terminal || m_statusShown > 0)
            return;
        QByteArray text;
        for (const Running& running : m_running)
            text += FNWStringWithFormat("  ... %@  %@\n", running.name, running.status).toUtf8();
        std::fputs(text.constData(), stdout);
        std::fflush(stdout);
        m_statusShown = static_cast<int>(m_running.size());
    }

    void clearStatus()
    {
        if (!m_terminal || m_statusShown == 0)
            return;
        std::fprintf(stdout, "\033[%dF\033[J", m_statusShown);
        std::fflush(stdout);
        m_statusShown = 0;
    }

    const bool m_json;
    const bool m_terminal;
    const qint64 m_testCount;
    std::vector<Running> m_running;
    int m_statusShown = 0;
    qint64 m_runID = 0;
    qint64 m_started = 0;
    qint64 m_finished = 0;
    qint64 m_failed = 0;
    bool m_ended = false;
    bool m_stopped = false;
};

} // namespace

int runTests(const FNWCliRequest& request)
{
    const std::shared_ptr<TestQueueBean> profile = composeQueue(request);
    if (!profile)
        return kExitUsage;
    if (request.iperf2)
        FNWUtils::setiPerfVersionOverride(FNWIperfVersion2);
    if (profile->ID <= 0) {
        QString error;
        if (!profile->save(&error)) {
            printError(FNWStringWithFormat("the run could not be recorded: %@", error));
            return kExitFailed;
        }
    }

    const auto reporter = std::make_shared<RunReporter>(request.json, ::isatty(STDOUT_FILENO) == 1,
                                                        static_cast<qint64>(profile->testList.size()));
    const std::shared_ptr<TestManager> manager = TestManager::sharedTestManager();
    manager->setDelegate(reporter);

    FNWNotificationCenter& center = FNWNotificationCenter::defaultCenter();
    const auto ended = [reporter](const FNWNotification&) { reporter->runDidEnd(); };
    FNWObserverToken finishedToken =
        center.addObserver(QLatin1String(TestProfileExecutionDidFinishedNotification), ended);
    FNWObserverToken failedToken = center.addObserver(QLatin1String(TestProfileExecutionDidFailedNotification), ended);

    // Ctrl-C stops the run as the window's stop control does.
    bool stopping = false;
    FNWSignalWatcher signalWatcher([&](int) {
        if (std::exchange(stopping, true))
            return;
        DDLogInfo("fenwave-cli: stopping the run on request");
        reporter->runWasStopped();
        manager->stopProfileExecution();
        QCoreApplication::quit();
    });
    QString error;
    if (!signalWatcher.install(&error)) {
        printError(QStringLiteral("the stop signal cannot be watched"));
        return kExitFailed;
    }
    // With no one left to read the results the run is stopped as by Ctrl-C.
    setOutputLostHandler([] { FNWSignalWatcher::post(SIGPIPE); });

    manager->addTestProfileToQeue(profile);
    QCoreApplication::exec();

    if (!manager->isFreeToUse())
        manager->stopProfileExecution();
    if (!PerfTest::waitForAllRunsToEnd(kRunsEndWaitMs))
        DDLogError("fenwave-cli: tests still running %d ms after the stop", kRunsEndWaitMs);
    manager->setDelegate(nullptr);
    setOutputLostHandler({});
    reporter->printEnd();
    return reporter->exitCode();
}

} // namespace fnw::cli
