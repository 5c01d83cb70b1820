#include "results/FNWResultTexts.h"

#include "base/FNWEnums.h"
#include "base/FNWUtils.h"
#include "db/TestProfileExecutionDAO.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "support/FNWFormat.h"

#include <cmath>

namespace {

QString missing()
{
    return QString::fromLatin1(FNWResultTexts::kMissing);
}

bool isRunning(const TestExecutionBean& execution)
{
    return execution.executionStatus() == FNWExecutionStatusRunning;
}

// What the test ran to: its amount, unless the preset runs by time only.
QString amountText(const FNWPresetBean& preset)
{
    if (preset.number_of_byte != -1)
        return FNWStringWithFormat("%ld MB", preset.number_of_byte);
    return FNWStringWithFormat("%ld s", preset.duration);
}

} // namespace

FNWTestRunParts FNWTestRunParts::of(const std::shared_ptr<TestExecutionBean>& execution)
{
    FNWTestRunParts parts;
    parts.execution = execution;
    if (!execution)
        return parts;
    parts.test = execution->testBean();
    if (parts.test) {
        parts.preset = parts.test->preset();
        parts.agent = parts.test->agent();
    }
    return parts;
}

std::vector<FNWTestRunParts> FNWTestRunParts::ofRun(const TestProfileExecutionBean& run)
{
    std::vector<FNWTestRunParts> parts;
    for (const std::shared_ptr<TestExecutionBean>& execution : run.allExecutedTest())
        parts.push_back(of(execution));
    return parts;
}

std::vector<FNWHistoryRun> FNWHistoryRun::loadAll(qint64 limit)
{
    std::vector<FNWHistoryRun> rows;
    for (std::shared_ptr<TestProfileExecutionBean>& run :
         TestProfileExecutionDAO().getAllExecutedTestProfileRecords(limit)) {
        FNWHistoryRun row;
        row.tests = FNWTestRunParts::ofRun(*run);
        row.run = std::move(run);
        rows.push_back(std::move(row));
    }
    return rows;
}

namespace FNWResultTexts {

QString testLineColumn(int index)
{
    static const char* const identifiers[] = {"name", "average", "total", "interval", "duration", "type", "ssid"};
    return index >= 0 && index < kTestLineColumns ? QString::fromLatin1(identifiers[index]) : QString();
}

QString testLineTitle(int index)
{
    static const char* const titles[] = {"", "Average", "Total", "Interval", "Duration/# Of Bytes", "Type", "SSID"};
    return index >= 0 && index < kTestLineColumns ? QString::fromLatin1(titles[index]) : QString();
}

qint64 dataFormatOf(const FNWTestRunParts& run)
{
    return run.preset ? run.preset->data_format : FNWDataFormatMbps;
}

QString testLine(const FNWTestRunParts& run, const QString& column, TestLineTable table)
{
    const FNWPresetBean* preset = run.preset.get();
    if (column == QLatin1String("name"))
        return FNWStringWithFormat("%@ - %@", run.agent ? run.agent->ip_address : missing(),
                                   preset ? preset->name : missing());
    if (!run.execution)
        return QStringLiteral("N/A");
    const TestExecutionBean& execution = *run.execution;
    if (column == QLatin1String("average"))
        return isRunning(execution) ? QStringLiteral("Running...")
                                    : FNWUtils::formatBitsToSpeedFormat(dataFormatOf(run), execution.averageSpeed());
    if (column == QLatin1String("total"))
        return isRunning(execution)
                   ? QStringLiteral("Running...")
                   : FNWUtils::formatBytesToDataSizeFormat(dataFormatOf(run), execution.dataTransfered());
    if (column == QLatin1String("ssid"))
        return FNWStringWithFormat("%@", execution.ssid);
    if (!preset)
        return QStringLiteral("N/A");
    if (column == QLatin1String("interval"))
        return FNWStringWithFormat("%ld", table == TestLineTable::HistoryRow && preset->time_interval == -1
                                              ? qint64(1)
                                              : preset->time_interval);
    if (column == QLatin1String("duration"))
        return amountText(*preset);
    if (column == QLatin1String("type"))
        return FNWTestTypeName(preset->test_type);
    return QStringLiteral("N/A");
}

QString settingsLine(const FNWTestRunParts& run, int line, bool* isTitle)
{
    if (isTitle)
        *isTitle = line == 0 || line == 2 || line == 6 || line == 11;
    const TestExecutionBean* execution = run.execution.get();
    const FNWPresetBean* preset = run.preset.get();
    const FNWAgentBean* agent = run.agent.get();
    switch (line) {
    case 0:
        return testLine(run, QStringLiteral("name"), TestLineTable::Summary) +
               (execution && execution->iperfVersion() != 0 ? QStringLiteral(" (iPerf2)")
                                                            : QStringLiteral(" (iPerf3)"));
    case 1:
        return execution && execution->execution_date.isValid()
                   ? FNWUtils::getFormattedNSDate(execution->execution_date.toMSecsSinceEpoch() / 1000.0)
                   : QString();
    case 2:
        return QStringLiteral("Source");
    case 3:
        return run.test ? run.test->sourceIPAddress : missing();
    case 4:
        return execution ? execution->ssid : QString();
    case 5:
        return execution ? execution->bssid.toUpper() : QString();
    case 6:
        return QStringLiteral("Target Server");
    case 7:
        return agent ? agent->agent_name : missing();
    case 8:
        return agent ? agent->ip_address : missing();
    case 9:
        return execution ? execution->targetSsid() : QString();
    case 10:
        return execution ? execution->targetBssid().toUpper() : QString();
    case 11:
        return QStringLiteral("Settings");
    case 12:
        if (!preset)
            return missing();
        return preset->direction != 0 ? QStringLiteral("Target To Source Server")
                                      : QStringLiteral("Source To Target Server");
    case 13:
        return preset ? FNWTestTypeName(preset->test_type) : missing();
    case 14: {
        if (!preset)
            return missing();
        const QString interval =
            preset->time_interval == -1 ? QStringLiteral("1s") : FNWStringWithFormat("%lds", preset->time_interval);
        if (preset->duration != -1 && preset->number_of_byte == -1)
            return FNWStringWithFormat("%lds (%@)", preset->duration, interval);
        return FNWStringWithFormat("%ld MB (%@)", preset->number_of_byte, interval);
    }
    default:
        return QString();
    }
}

QString intervalColumn(const TestIntervalResults& result, const QString& column, qint64 dataFormat)
{
    if (column == QLatin1String("interval"))
        return FNWStringWithFormat("%@-%@ s", result.start_time, result.end_time);
    if (column == QLatin1String("size"))
        return FNWUtils::formatBytesToDataSizeFormat(dataFormat,
                                                     static_cast<qint64>(std::trunc(result.data_transfered)));
    if (column == QLatin1String("throughput"))
        return FNWUtils::formatBitsToSpeedFormat(dataFormat, static_cast<qint64>(std::trunc(result.speed)));
    if (column == QLatin1String("jitter"))
        return result.jitter;
    if (column == QLatin1String("datagrams"))
        return result.datagrams;
    return QString();
}

} // namespace FNWResultTexts
