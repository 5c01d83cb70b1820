#include "FNWCliJson.h"

#include "base/FNWEnums.h"
#include "base/FNWUtils.h"
#include "db/TestIntervalResultsDAO.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "results/FNWResultTexts.h"

#include <QDateTime>
#include <QJsonArray>

#include <algorithm>

namespace fnw::cli {

namespace {

QJsonValue dateJson(const QDateTime& date)
{
    return date.isValid() ? QJsonValue(date.toUTC().toString(Qt::ISODate)) : QJsonValue();
}

// Every stored column of a record under its column name.
QJsonObject storedFields(const FNWBaseBean& bean, const QStringList& fields)
{
    QJsonObject object;
    for (const QString& field : fields) {
        const QVariant value = bean.valueForKey(field);
        if (value.metaType().id() == QMetaType::QDateTime)
            object.insert(field, dateJson(value.toDateTime()));
        else
            object.insert(field, QJsonValue::fromVariant(value));
    }
    return object;
}

QString testLine(const FNWTestRunParts& parts, const char* column)
{
    return FNWResultTexts::testLine(parts, QLatin1String(column), FNWResultTexts::TestLineTable::Summary);
}

} // namespace

QString dataFormatName(qint64 dataFormat)
{
    // The unit the rates of that format are printed with.
    return FNWUtils::formatBitsToSpeedFormat(dataFormat, 0).section(u' ', -1);
}

QString statusName(qint64 status)
{
    switch (status) {
    case FNWExecutionStatusRunning:
        return QStringLiteral("running");
    case FNWExecutionStatusFinished:
        return QStringLiteral("finished");
    case FNWExecutionStatusFailed:
        return QStringLiteral("failed");
    default:
        return QStringLiteral("not started");
    }
}

QJsonObject presetJson(const FNWPresetBean& preset)
{
    return storedFields(preset, FNWPresetBean::storedFieldNames());
}

QJsonObject agentJson(const FNWAgentBean& agent)
{
    return storedFields(agent, FNWAgentBean::storedFieldNames());
}

QJsonObject testJson(const TestBean& test)
{
    QJsonObject object = storedFields(test, TestBean::storedFieldNames());
    if (const std::shared_ptr<FNWPresetBean> preset = test.preset())
        object.insert(QStringLiteral("preset"), presetJson(*preset));
    if (const std::shared_ptr<FNWAgentBean> agent = test.agent())
        object.insert(QStringLiteral("agent"), agentJson(*agent));
    return object;
}

QJsonObject intervalJson(const TestIntervalResults& result, qint64 dataFormat)
{
    QJsonObject object{{QStringLiteral("start"), result.start_time},
                       {QStringLiteral("end"), result.end_time},
                       {QStringLiteral("bits_per_second"), result.speed},
                       {QStringLiteral("bytes"), result.data_transfered},
                       {QStringLiteral("throughput"),
                        FNWResultTexts::intervalColumn(result, QStringLiteral("throughput"), dataFormat)}};
    if (!result.jitter.isEmpty())
        object.insert(QStringLiteral("jitter"), result.jitter);
    if (!result.datagrams.isEmpty())
        object.insert(QStringLiteral("datagrams"), result.datagrams);
    return object;
}

QJsonObject testRunJson(const FNWTestRunParts& parts, bool withIntervals)
{
    QJsonObject object{{QStringLiteral("name"), testLine(parts, "name")}};
    if (const std::shared_ptr<TestExecutionBean> execution = parts.execution) {
        object.insert(QStringLiteral("execution_id"), execution->ID);
        object.insert(QStringLiteral("status"), statusName(execution->executionStatus()));
        object.insert(QStringLiteral("date"), dateJson(execution->execution_date));
        object.insert(QStringLiteral("iperf_version"), execution->iperfVersion() != 0 ? 2 : 3);
        object.insert(QStringLiteral("average_bits_per_second"), execution->averageSpeed());
        object.insert(QStringLiteral("bytes"), execution->dataTransfered());
        object.insert(QStringLiteral("duration"), execution->execution_duration());
        object.insert(QStringLiteral("average"), testLine(parts, "average"));
        object.insert(QStringLiteral("total"), testLine(parts, "total"));
        if (!execution->message().isEmpty())
            object.insert(QStringLiteral("message"), execution->message());
        object.insert(QStringLiteral("source"),
                      QJsonObject{{QStringLiteral("address"), parts.test ? parts.test->sourceIPAddress : QString()},
                                  {QStringLiteral("ssid"), execution->ssid},
                                  {QStringLiteral("bssid"), execution->bssid}});
        QJsonObject target{{QStringLiteral("ssid"), execution->targetSsid()},
                           {QStringLiteral("bssid"), execution->targetBssid()}};
        if (parts.agent) {
            target.insert(QStringLiteral("name"), parts.agent->agent_name);
            target.insert(QStringLiteral("address"), parts.agent->ip_address);
            target.insert(QStringLiteral("port"), parts.agent->port_number);
        }
        object.insert(QStringLiteral("target"), target);
        if (withIntervals) {
            QJsonArray intervals;
            const qint64 format = FNWResultTexts::dataFormatOf(parts);
            for (const std::shared_ptr<TestIntervalResults>& result : intervalsInTimeOrder(*execution))
                intervals.append(intervalJson(*result, format));
            object.insert(QStringLiteral("intervals"), intervals);
        }
    }
    if (parts.preset)
        object.insert(QStringLiteral("preset"), presetJson(*parts.preset));
    return object;
}

QJsonObject executionJson(const TestProfileExecutionBean& run, const std::vector<FNWTestRunParts>& tests,
                          bool withIntervals)
{
    QJsonArray testRuns;
    for (const FNWTestRunParts& parts : tests)
        testRuns.append(testRunJson(parts, withIntervals));
    return {{QStringLiteral("id"), run.ID},
            {QStringLiteral("date"), dateJson(run.execution_date)},
            {QStringLiteral("profile"), run.profile_name},
            {QStringLiteral("profile_id"), run.test_profile_id},
            {QStringLiteral("tests"), testRuns}};
}

std::vector<std::shared_ptr<TestIntervalResults>> intervalsInTimeOrder(const TestExecutionBean& execution)
{
    // The store hands them out most recent first.
    std::vector<std::shared_ptr<TestIntervalResults>> results =
        TestIntervalResultsDAO().loadAllResultsForTestExectionID(execution.ID);
    std::reverse(results.begin(), results.end());
    return results;
}

} // namespace fnw::cli
