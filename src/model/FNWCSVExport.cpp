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
qint64 truncated(double value)
{
    const double real = std::trunc(value);
    return std::isfinite(real) && std::fabs(real) < 9.2e18 ? static_cast<qint64>(real) : 0;
}

QString dateText(const QDateTime& date)
{
    return date.isValid() ? FNWUtils::getFormattedNSDate(static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0)
                          : QString();
}

// RFC 4180: a cell holding a comma, a double quote or a line break goes in double quotes, with
// its inner quotes doubled; any other cell is written as it is, so documents whose names need no
// quoting read exactly as they always have.
bool needsQuoting(const QString& text)
{
    return text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r');
}

QString quotedCell(const QString& text)
{
    QString inner = text;
    inner.replace(QLatin1String("\""), QLatin1String("\"\""));
    return FNWStringWithFormat("\"%@\"", inner);
}

// The first cell of a line.
QString firstCell(const QString& text)
{
    return needsQuoting(text) ? quotedCell(text) : text;
}

// A cell after its comma: the documents' blank, then the cell. A quoted cell comes right after
// the comma instead, since readers open a quoted cell only there.
QString nextCell(const QString& text)
{
    return needsQuoting(text) ? quotedCell(text) : QLatin1Char(' ') + text;
}

// The Wi-Fi cells of a block, which have always stood in quotes.
QString nextQuotedCell(const QString& text)
{
    return needsQuoting(text) ? quotedCell(text) : FNWStringWithFormat(" \"%@\"", text);
}

QString intervalText(const TestIntervalResults& result)
{
    return FNWStringWithFormat("%@-%@ s", result.start_time, result.end_time);
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

QByteArray FNWCSVExport::documentBytes(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7F)
            return text.toUtf8();
    }
    return text.toLatin1();
}

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
    return firstCell(testName(preset, agent)) + u',' +
           nextCell(running ? runningText : FNWUtils::formatBitsToSpeedFormat(dataFormat, execution.averageSpeed())) +
           u',' +
           nextCell(running ? runningText
                            : FNWUtils::formatBytesToDataSizeFormat(dataFormat, execution.dataTransfered())) +
           u',' + nextCell(durationOrAmount(preset)) + u',' + nextCell(execution.ssid) + u',' +
           nextCell(dateText(execution.execution_date)) + u'\n';
}

QString FNWCSVExport::getCSVIntervalResultsFromDataFormat(const TestIntervalResults& result, qint64 dataFormat)
{
    return firstCell(intervalText(result)) + u',' +
           nextCell(FNWUtils::formatBytesToDataSizeFormat(dataFormat, truncated(result.data_transfered))) + u',' +
           nextCell(FNWUtils::formatBitsToSpeedFormat(dataFormat, truncated(result.speed))) + u',' +
           nextCell(result.jitter) + u',' + nextCell(result.datagrams) + QStringLiteral(",\n");
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
    // Each value with the comma's blank, or quoted right after the comma.
    const std::array<QString, kSettingsRows> values{
        nextCell(QString::fromLatin1("")),
        nextCell(agent ? agent->agent_name : QString()),
        nextQuotedCell(execution.ssid),
        nextQuotedCell(execution.bssid.toUpper()),
        nextCell(reverse ? FNWStringWithFormat("%@ -> %@", agentAddress, sourceAddress)
                         : FNWStringWithFormat("%@ -> %@", sourceAddress, agentAddress)),
        nextQuotedCell(execution.targetSsid()),
        nextQuotedCell(execution.targetBssid().toUpper()),
        nextCell(preset ? FNWTestTypeName(preset->test_type) : QString()),
        nextCell(durationOrAmount(preset)),
        nextCell(interval),
        nextCell(dateText(execution.execution_date)),
    };

    const qint64 dataFormat = preset ? preset->data_format : FNWDataFormatMbps;
    const size_t rows = std::max(results.size(), static_cast<size_t>(kSettingsRows));
    QString block;
    for (size_t i = 0; i < rows; ++i) {
        if (i < kSettingsRows)
            block += firstCell(labels[i]) + u',' + values[i] + u',';
        else
            block += QStringLiteral(" , ,");
        if (i >= results.size())
            block += QStringLiteral(" \n");
        else if (needsQuoting(intervalText(*results[i])))
            block += getCSVIntervalResultsFromDataFormat(*results[i], dataFormat);
        else
            block += u' ' + getCSVIntervalResultsFromDataFormat(*results[i], dataFormat);
    }
    return block;
}
