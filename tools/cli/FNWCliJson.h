#pragma once

// The JSON forms of the stored records, for --json output and JSON exports.

#include <QJsonObject>
#include <QString>

#include <memory>
#include <vector>

class FNWAgentBean;
class FNWPresetBean;
class TestBean;
class TestExecutionBean;
class TestIntervalResults;
class TestProfileExecutionBean;
struct FNWTestRunParts;

namespace fnw::cli {

// "Mbps", "Kbps", "MBps" or "KBps".
QString dataFormatName(qint64 dataFormat);
// "not started", "running", "finished" or "failed".
QString statusName(qint64 status);

QJsonObject presetJson(const FNWPresetBean& preset);
QJsonObject agentJson(const FNWAgentBean& agent);
QJsonObject testJson(const TestBean& test);
// One interval or final line: its times, figures as stored, and the throughput as the window shows
// it in the unit given.
QJsonObject intervalJson(const TestIntervalResults& result, qint64 dataFormat);
// One executed test: outcome, figures, source and target, settings; with its intervals in time
// order when asked.
QJsonObject testRunJson(const FNWTestRunParts& parts, bool withIntervals);
QJsonObject executionJson(const TestProfileExecutionBean& run, const std::vector<FNWTestRunParts>& tests,
                          bool withIntervals);

// The execution's stored interval and final lines, earliest first.
std::vector<std::shared_ptr<TestIntervalResults>> intervalsInTimeOrder(const TestExecutionBean& execution);

} // namespace fnw::cli
