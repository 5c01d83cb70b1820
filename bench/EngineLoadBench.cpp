// The test manager's memory under load: sixteen tests at once against sixteen iperf3 servers on
// 127.0.0.1, then rounds of three orders of eight, each test 2 s at 20 Mbit/s. It prints the
// process's resident and peak memory after each round: flat figures mean nothing a run leaves
// behind (records, runs, threads, buffers) piles up.
//
//     bench_engine_load [rounds=5]

#include "FNWBenchRuns.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include "base/FNWExecutableInstall.h"
#include "engine/PerfTest.h"
#include "engine/TestManager.h"
#include "model/TestExecutionBean.h"
#include "model/TestQueueBean.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace fnw::test;

namespace {

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024 * 1024) : 0;
}

double peakMiB()
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

// Runs one profile of (order, port) tests; answers how many finished.
int runProfile(TestManager& manager, const std::vector<std::pair<qint64, int>>& tests)
{
    auto profile = std::make_shared<TestQueueBean>();
    for (const auto& [order, port] : tests)
        profile->testList.push_back(fnw::bench::loopbackTest(port, order, 2, 20));
    int finished = 0;
    for (const auto& execution : fnw::bench::runToTheEnd(manager, profile, 120000))
        finished += execution->executionStatus() == 2 ? 1 : 0;
    return finished;
}

} // namespace

int main(int argc, char** argv)
{
    const auto home = usePrivateHome();
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!useFreshDatabase()) {
        std::fprintf(stderr, "bench_engine_load: cannot make the database\n");
        return 1;
    }
    fnw::base::copyiPerfExecutableToAppSupportDir();

    std::vector<std::unique_ptr<LocalProcess>> servers;
    std::vector<int> ports;
    if (!fnw::bench::startIperf3Servers(16, "bench_engine_load", servers, ports))
        return 1;
    auto manager = std::make_shared<TestManager>();
    manager->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });

    std::printf("before any run: resident %.1f MiB, peak %.1f MiB\n", residentMiB(), peakMiB());
    std::vector<std::pair<qint64, int>> together;
    for (const int port : ports)
        together.emplace_back(1, port);
    const int first = runProfile(*manager, together);
    std::printf("16 at once: %d of 16 finished; resident %.1f MiB, peak %.1f MiB\n", first, residentMiB(), peakMiB());
    std::vector<std::pair<qint64, int>> ordered;
    for (qint64 order = 1; order <= 3; ++order)
        for (int i = 0; i < 8; ++i)
            ordered.emplace_back(order, ports[static_cast<std::size_t>((order - 1) * 8 + i) % ports.size()]);
    for (int round = 1; round <= rounds; ++round) {
        const int finished = runProfile(*manager, ordered);
        std::printf("round %d, 3 orders of 8: %d of 24 finished; resident %.1f MiB, peak %.1f MiB\n", round, finished,
                    residentMiB(), peakMiB());
        std::fflush(stdout);
    }
    PerfTest::waitForAllRunsToEnd(10000);
    return 0;
}
