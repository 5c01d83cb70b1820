// What a run through the test manager measures against what iperf3 measures on its own.
//
// On 127.0.0.1, in one process, it alternates a raw "iperf3 -c 127.0.0.1 -t 5" with the same test
// run through TestManager (one preset, one agent, the stored averageSpeed), then does the same for
// four simultaneous tests against four servers (the sum of the stored averages against the sum of
// the raw receiver rates). It prints each pair, both medians and their ratio.
//
//     bench_engine [rounds=5] [seconds=5]

#include "FNWBenchRuns.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include "base/FNWExecutableInstall.h"
#include "base/FNWUtils.h"
#include "engine/PerfTest.h"
#include "engine/TestManager.h"
#include "model/TestExecutionBean.h"
#include "model/TestQueueBean.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace fnw::test;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Receiver rates of raw iperf3 clients started together, summed; 0 when one failed.
double rawRun(const std::vector<int>& ports, int seconds)
{
    std::vector<std::unique_ptr<QProcess>> clients;
    for (const int port : ports) {
        auto client = std::make_unique<QProcess>();
        client->start(QStringLiteral("iperf3"),
                      {QStringLiteral("-c"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                       QStringLiteral("-t"), QString::number(seconds), QStringLiteral("-J")});
        clients.push_back(std::move(client));
    }
    double sum = 0;
    for (const auto& client : clients) {
        client->waitForFinished((seconds + 30) * 1000);
        const QJsonObject end =
            QJsonDocument::fromJson(client->readAllStandardOutput()).object().value(QStringLiteral("end")).toObject();
        const double rate =
            end.value(QStringLiteral("sum_received")).toObject().value(QStringLiteral("bits_per_second")).toDouble();
        if (rate <= 0)
            return 0;
        sum += rate;
    }
    return sum;
}

// The stored averages of one profile run with a test per port, summed; 0 when one failed.
double managedRun(TestManager& manager, const std::vector<int>& ports, int seconds)
{
    auto profile = std::make_shared<TestQueueBean>();
    for (const int port : ports)
        profile->testList.push_back(fnw::bench::loopbackTest(port, 1, seconds));
    double sum = 0;
    for (const auto& execution : fnw::bench::runToTheEnd(manager, profile, (seconds + 60) * 1000)) {
        if (execution->executionStatus() != 2)
            return 0;
        sum += static_cast<double>(execution->averageSpeed());
    }
    return sum;
}

void compare(const char* title, TestManager& manager, const std::vector<int>& ports, int rounds, int seconds)
{
    std::vector<double> raw;
    std::vector<double> managed;
    std::printf("%s (%d s each)\n", title, seconds);
    for (int round = 1; round <= rounds; ++round) {
        raw.push_back(rawRun(ports, seconds));
        managed.push_back(managedRun(manager, ports, seconds));
        std::printf("  round %d: raw iperf3 %10.1f Mbit/s   through TestManager %10.1f Mbit/s\n", round,
                    raw.back() / 1e6, managed.back() / 1e6);
        std::fflush(stdout);
    }
    const double rawMedian = median(raw);
    const double managedMedian = median(managed);
    std::printf("  median: raw %.1f Mbit/s, TestManager %.1f Mbit/s, ratio %.4f\n\n", rawMedian / 1e6,
                managedMedian / 1e6, rawMedian > 0 ? managedMedian / rawMedian : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    const auto home = usePrivateHome();
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int seconds = argc > 2 ? std::max(2, std::atoi(argv[2])) : 5;

    if (!useFreshDatabase()) {
        std::fprintf(stderr, "bench_engine: cannot make the database\n");
        return 1;
    }
    fnw::base::copyiPerfExecutableToAppSupportDir();

    std::vector<std::unique_ptr<LocalProcess>> servers;
    std::vector<int> ports;
    if (!fnw::bench::startIperf3Servers(4, "bench_engine", servers, ports))
        return 1;

    auto manager = std::make_shared<TestManager>();
    manager->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });
    compare("One test", *manager, {ports[0]}, rounds, seconds);
    compare("Four simultaneous tests", *manager, ports, rounds, seconds);
    PerfTest::waitForAllRunsToEnd(10000);
    return 0;
}
