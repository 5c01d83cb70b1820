#pragma once

// What the engine benchmarks share: iperf3 servers on loopback, tests against them and a profile
// run waited out through the test manager.

#include "FNWLocalServers.h"

#include <memory>
#include <vector>

class TestBean;
class TestExecutionBean;
class TestManager;
class TestQueueBean;

namespace fnw::bench {

// A timed TCP test (1 s intervals) against 127.0.0.1:port; sendMegabits -1 sends as fast as it can.
std::shared_ptr<TestBean> loopbackTest(int port, qint64 order, int seconds, qint64 sendMegabits = -1);

// Saves the profile, runs it and waits for its end (at most timeoutMs); the run's executions.
std::vector<std::shared_ptr<TestExecutionBean>> runToTheEnd(TestManager& manager,
                                                            const std::shared_ptr<TestQueueBean>& profile,
                                                            int timeoutMs);

// iperf3 servers on free loopback ports, their ports in ports; false (said on standard error,
// prefixed with the program's name) when one did not start listening.
bool startIperf3Servers(int count, const char* program, std::vector<std::unique_ptr<fnw::test::LocalProcess>>& servers,
                        std::vector<int>& ports);

} // namespace fnw::bench
