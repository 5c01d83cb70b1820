#pragma once

#include <QString>

#include <memory>
#include <vector>

class FNWAgentBean;
class FNWPresetBean;
class TestBean;
class TestExecutionBean;
class TestIntervalResults;
class TestProfileExecutionBean;

// One executed test with what its texts come from. The test, its preset and its agent are read
// once, when the run is loaded; any of them may be missing (a profile changed or deleted since),
// and every text then shows a stand-in rather than nothing.
struct FNWTestRunParts
{
    std::shared_ptr<TestExecutionBean> execution;
    std::shared_ptr<TestBean> test;
    std::shared_ptr<FNWPresetBean> preset;
    std::shared_ptr<FNWAgentBean> agent;

    // Reads the test, preset and agent the execution refers to (from the store when not held).
    static FNWTestRunParts of(const std::shared_ptr<TestExecutionBean>& execution);
    static std::vector<FNWTestRunParts> ofRun(const TestProfileExecutionBean& run);
};

// One history row: a profile run with its executed tests, newest first.
struct FNWHistoryRun
{
    std::shared_ptr<TestProfileExecutionBean> run;
    std::vector<FNWTestRunParts> tests;

    // The stored runs with at least one finished test, newest first, their tests' records read;
    // with a limit, only that many of the newest runs.
    static std::vector<FNWHistoryRun> loadAll(qint64 limit = 0);
};

// The texts of the result tables, by column identifier. Pure: they read the records and never
// write.
namespace FNWResultTexts {

// What stands in for a test, preset or agent that is no longer stored.
inline constexpr char kMissing[] = "(deleted)";
// The settings panel beside a test's interval results has this many lines.
inline constexpr int kSettingsLines = 15;

// The two tables that show one line per executed test differ only in the interval of a preset
// without one: the history row shows "1", the summary table "-1".
enum class TestLineTable { HistoryRow, Summary };

// The test-line columns in table order, and their header titles ("" for "name").
inline constexpr int kTestLineColumns = 7;
QString testLineColumn(int index);
QString testLineTitle(int index);

// "name", "average", "total", "interval", "duration", "type", "ssid"; any other "N/A".
QString testLine(const FNWTestRunParts& run, const QString& column, TestLineTable table);

// Line 0..14 of the settings panel (empty past 14); isTitle tells the section titles and line 0.
QString settingsLine(const FNWTestRunParts& run, int line, bool* isTitle = nullptr);

// "interval", "size", "throughput", "jitter", "datagrams" of one interval result.
QString intervalColumn(const TestIntervalResults& result, const QString& column, qint64 dataFormat);

// The display unit of the run: its preset's data_format, Mbps and MB without a preset.
qint64 dataFormatOf(const FNWTestRunParts& run);

} // namespace FNWResultTexts
