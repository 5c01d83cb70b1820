#include "FNWBenchRuns.h"

#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "db/TestExecutionDAO.h"
#include "engine/TestManager.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace fnw::bench {

std::shared_ptr<TestBean> loopbackTest(int port, qint64 order, int seconds, qint64 sendMegabits)
{
    auto preset = std::make_shared<FNWPresetBean>();
    preset->name = QStringLiteral("bench");
    preset->duration = seconds;
    preset->number_of_byte = -1;
    preset->time_interval = 1;
    preset->send_bw = sendMegabits;
    preset->buffer_length = -1;
    preset->tcp_window_size = -1;
    preset->tcp_max_segment_size = -1;
    auto agent = std::make_shared<FNWAgentBean>();
    agent->ip_address = QStringLiteral("127.0.0.1");
    agent->port_number = port;
    auto test = std::make_shared<TestBean>();
    test->testOrder = order;
    test->setPreset(preset);
    test->setAgent(agent);
    return test;
}

std::vector<std::shared_ptr<TestExecutionBean>> runToTheEnd(TestManager& manager,
                                                            const std::shared_ptr<TestQueueBean>& profile,
                                                            int timeoutMs)
{
    profile->save();
    QEventLoop loop;
    std::vector<FNWObserverToken> tokens;
    for (const char* name : {TestProfileExecutionDidFinishedNotification, TestProfileExecutionDidFailedNotification})
        tokens.push_back(
            FNWNotificationCenter::defaultCenter().addObserver(QLatin1String(name), [&loop](const FNWNotification&) {
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            }));
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    manager.startProfileExecutionWithTestProfile(profile);
    loop.exec();
    return TestExecutionDAO().getAllTestExecutionsForProfileExecutionID(manager.executingProfile()->ID);
}

bool startIperf3Servers(int count, const char* program, std::vector<std::unique_ptr<fnw::test::LocalProcess>>& servers,
                        std::vector<int>& ports)
{
    for (int i = 0; i < count; ++i) {
        const int port = fnw::test::freePort();
        servers.push_back(std::make_unique<fnw::test::LocalProcess>(
            QStringLiteral("iperf3"), QStringList{QStringLiteral("-s"), QStringLiteral("-B"), QStringLiteral("127.0.0.1"),
                                                  QStringLiteral("-p"), QString::number(port)}));
        if (!fnw::test::waitUntilListening(port, fnw::test::Transport::Tcp)) {
            std::fprintf(stderr, "%s: iperf3 server on %d did not start\n", program, port);
            return false;
        }
        ports.push_back(port);
    }
    return true;
}

} // namespace fnw::bench
