// Logging costs as callers see them: a queued info message, a synchronous error message, and
// the formatting of a message, against a real file logger in a temporary folder.
#include "support/DDFileLogger.h"
#include "support/DDLog.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct FileLogging
{
    FileLogging()
    {
        auto manager = std::make_shared<DDLogFileManagerDefault>(directory.path());
        manager->setMaximumNumberOfLogFiles(7);
        logger = std::make_shared<DDFileLogger>(manager);
        DDLog::sharedInstance().addLogger(logger);
    }
    ~FileLogging()
    {
        DDLog::sharedInstance().flushLog();
        DDLog::sharedInstance().removeLogger(logger);
    }
    QTemporaryDir directory;
    std::shared_ptr<DDFileLogger> logger;
};

void BM_InfoMessage(benchmark::State& state)
{
    FileLogging logging;
    qint64 i = 0;
    for (auto _ : state)
        DDLogInfo("PerfTest: Interval %ld of test %@ stored", ++i, QStringLiteral("10.0.0.2 - TCP 10s"));
    DDLog::sharedInstance().flushLog();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InfoMessage);

void BM_ErrorMessage(benchmark::State& state)
{
    FileLogging logging;
    qint64 i = 0;
    for (auto _ : state)
        DDLogError("TestManager: test %ld failed with reason %@", ++i, QStringLiteral("Connection refused"));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ErrorMessage);

void BM_FormatOnly(benchmark::State& state)
{
    qint64 i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(FNWStringWithFormat("address:%@ port %ld speed %f", "10.1.2.3", ++i, 12.5));
}
BENCHMARK(BM_FormatOnly);

} // namespace

BENCHMARK_MAIN();
