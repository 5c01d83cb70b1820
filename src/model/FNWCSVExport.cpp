#include "model/FNWCSVExport.h"

#include "base/FNWEnums.h"
#include "base/FNWUtils.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "support/FNWFormat.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int kSettingsRows = 11;

// iperf's figures are whole bits and bytes once truncated; a value no integer holds shows as 0.
qint64 truncated(float value)
{
    const double real = std::trunc(static_cast<double>(value));
    return std::isfinite(real) && std::fabs(real) < 9.2e18 ? static_cast<qint64>(real) : 0;
}

QString dateText(const QDateTime& date)
{
    return date.isValid() ? FNWUtils::getFormattedNSDate(static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0)
                          : QString();
}

QString quoted(const QString& text)
{
    return FNWStringWithFormat("\"%@\"", text);
}

QString testName(const FNWPresetBean* preset, const FNWAgentBean* agent)
{
    return FNWStringWithFormat("%@ - %@", agent ? agent->ip_address : QString(), preset ? preset->name : QString());
}

// A preset runs either by amount (duration -1) or by time.
QString durationOrAmount(const FNWPresetBean* preset)
{
    if (!preset)
        return QString();
    return preset->duration == -1 ? FNWStringWithFormat("%ld MB", preset->number_of_byte)
                                  : FNWStringWithFormat("%ld s", preset->duration);
}

} // namespace

QString FNWCSVExport::getCSVSummeryHeader()
{
    return QStringLiteral("Test Name, Bandwidth, Total, Duration/# of Bytes, SSID ,Execution_Date\n");
}

QString FNWCSVExport::getIntervalResultHeader()
{
    return QStringLiteral("Settings, , Interval, Transfer, Bandwidth, Jitter, Lost/Total Datagrams \n");
}

QString FNWCSVExport::getCSVSummeryLine(const TestExecutionBean& execution, const FNWPresetBean* preset,
                                        const FNWAgentBean* agent)
{
    const qint64 dataFormat = preset ? preset->data_format : FNWDataFormatMbps;
    const bool running = execution.executionStatus() == FNWExecutionStatusRunning;
    const QString runningText = QStringLiteral("Running...");
    return FNWStringWithFormat(
        "%@, %@, %@, %@, %@, %@\n", testName(preset, agent),
        running ? runningText : FNWUtils::formatBitsToSpeedFormat(dataFormat, execution.averageSpeed()),
        running ? runningText : FNWUtils::formatBytesToDataSizeFormat(dataFormat, execution.dataTransfered()),
        durationOrAmount(preset), execution.ssid, dateText(execution.execution_date));
}

QString FNWCSVExport::getCSVIntervalResultsFromDataFormat(const TestIntervalResults& result, qint64 dataFormat)
{
    return FNWStringWithFormat(
        "%@, %@, %@, %@, %@,\n", FNWStringWithFormat("%@-%@ s", result.start_time, result.end_time),
        FNWUtils::formatBytesToDataSizeFormat(dataFormat, truncated(result.data_transfered)),
        FNWUtils::formatBitsToSpeedFormat(dataFormat, truncated(result.speed)), result.jitter, result.datagrams);
}

QString FNWCSVExport::getCSVIntervalResults(const TestExecutionBean& execution, const TestBean* test,
                                            const FNWPresetBean* preset, const FNWAgentBean* agent,
                                            const std::vector<std::shared_ptr<TestIntervalResults>>& results)
{
    const QString agentAddress = agent ? agent->ip_address : QString();
    const QString sourceAddress = test ? test->sourceIPAddress : QString();
    const bool reverse = preset && preset->direction != FNWDirectionNormal;
    QString interval = QStringLiteral("1 sec");
    if (preset && preset->time_interval != -1)
        interval = FNWStringWithFormat("%ld s", preset->time_interval);

    const std::array<QString, kSettingsRows> labels{
        testName(preset, agent),        QStringLiteral("Target Server Name"),
        QStringLiteral("SSID"),         QStringLiteral("BSSID"),
        QStringLiteral("Direction"),    QStringLiteral("Target SSID"),
        QStringLiteral("Target BSSID"), QStringLiteral("Type"),
        QStringLiteral("Duration"),     QStringLiteral("Interval"),
        QStringLiteral("Time"),
    };
    const std::array<QString, kSettingsRows> values{
        QString::fromLatin1(""),
        agent ? agent->agent_name : QString(),
        quoted(execution.ssid),
        quoted(execution.bssid.toUpper()),
        reverse ? FNWStringWithFormat("%@ -> %@", agentAddress, sourceAddress)
                : FNWStringWithFormat("%@ -> %@", sourceAddress, agentAddress),
        quoted(execution.targetSsid()),
        quoted(execution.targetBssid().toUpper()),
        preset ? FNWTestTypeName(preset->test_type) : QString(),
        durationOrAmount(preset),
        interval,
        dateText(execution.execution_date),
    };

    const qint64 dataFormat = preset ? preset->data_format : FNWDataFormatMbps;
    const size_t rows = std::max(results.size(), static_cast<size_t>(kSettingsRows));
    QString block;
    for (size_t i = 0; i < rows; ++i) {
        if (i < kSettingsRows)
            block += FNWStringWithFormat("%@, %@, ", labels[i], values[i]);
        else
            block += QStringLiteral(" , , ");
        block +=
            i < results.size() ? getCSVIntervalResultsFromDataFormat(*results[i], dataFormat) : QStringLiteral("\n");
    }
    return block;
}
