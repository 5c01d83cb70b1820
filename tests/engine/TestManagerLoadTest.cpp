// Many tests at once through the test manager: sixteen in one order against sixteen iperf3
// servers on 127.0.0.1, then three orders of eight. Each test is held to a modest rate, so that
// the load is the number of runs and not the loopback's bandwidth.

#include "FNWEngineTestSupport.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include "base/FNWNotifications.h"
#include "db/TestExecutionDAO.h"
#include "db/TestIntervalResultsDAO.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"

#include <gtest/gtest.h>

#include <map>

using namespace fnw::test;

namespace {

constexpr int kServers = 16;

class TestManagerLoad : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(useFreshDatabase());
        ASSERT_TRUE(installWrappers());
        manager->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });
        for (int i = 0; i < kServers; ++i) {
            const int port = freePort();
            servers.push_back(std::make_unique<ServerProcess>(QStringLiteral("iperf3"), loopbackIperf3Arguments(port)));
            ports.push_back(port);
        }
        for (const int port : ports)
            ASSERT_TRUE(waitUntilListening(port, Transport::Tcp)) << port;
    }
    void TearDown() override
    {
        if (!manager->isFreeToUse())
            manager->stopProfileExecution();
        EXPECT_TRUE(PerfTest::waitForAllRunsToEnd(15000));
    }

    // Runs the profile: one test per (order, port) pair, 2 s at 20 Mbit/s each.
    std::shared_ptr<TestProfileExecutionBean> run(const std::vector<std::pair<qint64, int>>& tests)
    {
        auto profile = std::make_shared<TestQueueBean>();
        for (const auto& [order, port] : tests) {
            auto preset = timedPreset(2);
            preset->send_bw = 20;
            profile->testList.push_back(makeTest(preset, QStringLiteral("127.0.0.1"), port, order));
        }
        EXPECT_TRUE(profile->save());
        NotificationRecorder notifications;
        manager->startProfileExecutionWithTestProfile(profile);
        EXPECT_TRUE(waitUntil([&] { return notifications.hasEndNotification() && manager->isFreeToUse(); }, 120000));
        return manager->executingProfile();
    }

    // Every test finished, and each stored its wrapper's interval lines and its final line.
    void expectEveryOutcomeAndRow(const std::shared_ptr<TestProfileExecutionBean>& profileRun, std::size_t tests)
    {
        ASSERT_TRUE(profileRun);
        std::map<qint64, int> printed;
        for (const QString& message : log.messages()) {
            if (!message.startsWith(QLatin1String("[TID=")))
                continue;
            const qint64 testID = message.mid(5, message.indexOf(u']') - 5).toLongLong();
            printed[testID] += static_cast<int>(message.count(QLatin1String("RESULT_")) +
                                                message.count(QLatin1String("Finished_")));
        }
        const auto executions = TestExecutionDAO().getAllTestExecutionsForProfileExecutionID(profileRun->ID);
        ASSERT_EQ(executions.size(), tests);
        for (const auto& execution : executions) {
            EXPECT_EQ(execution->executionStatus(), 2) << execution->message().toStdString();
            const auto rows = TestIntervalResultsDAO().loadAllResultsForTestExectionID(execution->ID);
            EXPECT_GE(rows.size(), 3U);
            EXPECT_EQ(static_cast<int>(rows.size()), printed[execution->testBean_id]) << execution->testBean_id;
        }
    }

    std::shared_ptr<TestManager> manager = std::make_shared<TestManager>();
    std::vector<std::unique_ptr<ServerProcess>> servers;
    std::vector<int> ports;
    LogCapture log;
};

TEST_F(TestManagerLoad, SixteenAtOnceThenThreeOrdersOfEightKeepEveryOutcomeAndRow)
{
    std::vector<std::pair<qint64, int>> together;
    for (const int port : ports)
        together.emplace_back(1, port);
    expectEveryOutcomeAndRow(run(together), kServers);

    std::vector<std::pair<qint64, int>> ordered;
    for (qint64 order = 1; order <= 3; ++order)
        for (int i = 0; i < 8; ++i)
            ordered.emplace_back(order, ports[static_cast<std::size_t>((order - 1) * 8 + i) % kServers]);
    const auto profileRun = run(ordered);
    expectEveryOutcomeAndRow(profileRun, 24);
    // The orders ran one after another: each started once the one before had ended.
    auto executions = TestExecutionDAO().getAllTestExecutionsForProfileExecutionID(profileRun->ID);
    std::sort(executions.begin(), executions.end(), [](const auto& a, const auto& b) { return a->ID < b->ID; });
    EXPECT_LE(executions[0]->execution_date.addSecs(2), executions[8]->execution_date);
    EXPECT_LE(executions[8]->execution_date.addSecs(2), executions[16]->execution_date);
}

} // namespace
