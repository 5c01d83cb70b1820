#include "FNWCli.h"
#include "FNWCliJson.h"

#include "base/FNWEnums.h"
#include "base/FNWUtils.h"
#include "db/FNWAgentDAO.h"
#include "db/FNWPresetDAO.h"
#include "db/TestIntervalResultsDAO.h"
#include "db/TestProfileExecutionDAO.h"
#include "db/TestQueueBeanDAO.h"
#include "model/FNWAgentBean.h"
#include "model/FNWCSVExport.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"
#include "results/FNWResultTexts.h"
#include "support/FNWFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <algorithm>

namespace fnw::cli {

namespace {

QString profileTitle(const TestProfileExecutionBean& run)
{
    return run.profile_name.isEmpty() ? QStringLiteral("Ad-Hoc") : run.profile_name;
}

QString runDate(const TestProfileExecutionBean& run)
{
    return run.execution_date.isValid() ? FNWUtils::getFormattedNSDate(run.execution_date.toMSecsSinceEpoch() / 1000.0)
                                        : QString();
}

// "Label: value" lines of a test's settings panel, the section titles as headings.
void printSettings(const FNWTestRunParts& parts)
{
    static const char* const labels[FNWResultTexts::kSettingsLines] = {
        "",        "Date",    "Source", "Address", "SSID",  "BSSID",     "Target", "Name",
        "Address", "SSID",    "BSSID",  "Settings", "Direction", "Type", "Length"};
    for (int line = 1; line < FNWResultTexts::kSettingsLines; ++line) {
        bool isTitle = false;
        const QString text = FNWResultTexts::settingsLine(parts, line, &isTitle);
        if (isTitle)
            printLine(FNWStringWithFormat("  %@", text));
        else
            printLine(FNWStringWithFormat("    %-10@ %@", QString::fromLatin1(labels[line]) + QLatin1Char(':'), text));
    }
}

// The execution the ID names, its finished tests loaded; a complaint and none when no run has it.
std::shared_ptr<TestProfileExecutionBean> loadExecution(qint64 id)
{
    std::shared_ptr<TestProfileExecutionBean> run = TestProfileExecutionDAO().loadTestProfileExecutionWithID(id);
    if (!run)
        printError(FNWStringWithFormat("no execution has the ID %ld (see 'fenwave-cli history')", id));
    else
        run->loadAllExecutedTest();
    return run;
}

bool writeDocument(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    printError(FNWStringWithFormat("%@ was not written: %@", path, file.errorString()));
    return false;
}

} // namespace

int listPresets(const FNWCliRequest& request)
{
    QJsonArray all;
    for (const std::shared_ptr<FNWPresetBean>& preset : FNWPresetDAO().getAllAttachedPresets(false)) {
        if (request.json) {
            all.append(presetJson(*preset));
            continue;
        }
        FNWTestRunParts parts;
        parts.preset = preset;
        printLine(FNWStringWithFormat("%-24@ %-4@ %-12@ %-26@ %@", preset->name,
                                      FNWResultTexts::settingsLine(parts, 13),
                                      FNWResultTexts::settingsLine(parts, 14),
                                      FNWResultTexts::settingsLine(parts, 12), dataFormatName(preset->data_format)));
    }
    if (request.json)
        printJson({{QStringLiteral("presets"), all}});
    return kExitOk;
}

int listAgents(const FNWCliRequest& request)
{
    QJsonArray all;
    for (const std::shared_ptr<FNWAgentBean>& agent : FNWAgentDAO().getAllAttachedAgents(false)) {
        if (request.json) {
            all.append(agentJson(*agent));
            continue;
        }
        printLine(FNWStringWithFormat("%-24@ %@:%ld  %@", agent->agent_name, agent->ip_address, agent->port_number,
                                      agent->addedManually ? QStringLiteral("added by hand")
                                                           : QStringLiteral("discovered")));
    }
    if (request.json)
        printJson({{QStringLiteral("agents"), all}});
    return kExitOk;
}

int listProfiles(const FNWCliRequest& request)
{
    QJsonArray all;
    for (const std::shared_ptr<TestQueueBean>& profile : TestQueueBeanDAO().getAllNamedProfiles()) {
        profile->loadAllTestBeans();
        QJsonArray tests;
        if (!request.json)
            printLine(FNWStringWithFormat("%@ (%ld tests)", profile->testProfileName,
                                          static_cast<qint64>(profile->testList.size())));
        for (const std::shared_ptr<TestBean>& test : profile->testList) {
            if (request.json) {
                tests.append(testJson(*test));
                continue;
            }
            FNWTestRunParts parts;
            parts.test = test;
            parts.preset = test->preset();
            parts.agent = test->agent();
            printLine(FNWStringWithFormat("  order %ld  %@", test->testOrder,
                                          FNWResultTexts::testLine(parts, QStringLiteral("name"),
                                                                   FNWResultTexts::TestLineTable::Summary)));
        }
        if (request.json)
            all.append(QJsonObject{{QStringLiteral("id"), profile->ID},
                                   {QStringLiteral("name"), profile->testProfileName},
                                   {QStringLiteral("tests"), tests}});
    }
    if (request.json)
        printJson({{QStringLiteral("profiles"), all}});
    return kExitOk;
}

int listHistory(const FNWCliRequest& request)
{
    QJsonArray all;
    // The store's limit counts runs without a finished test too, which the history leaves out.
    std::vector<FNWHistoryRun> rows = FNWHistoryRun::loadAll();
    if (request.limit > 0 && static_cast<qint64>(rows.size()) > request.limit)
        rows.resize(static_cast<std::size_t>(request.limit));
    for (const FNWHistoryRun& row : rows) {
        if (request.json) {
            all.append(executionJson(*row.run, row.tests, false));
            continue;
        }
        printLine(FNWStringWithFormat("%-6ld %@  %@", row.run->ID, runDate(*row.run), profileTitle(*row.run)));
        for (const FNWTestRunParts& test : row.tests) {
            const auto text = [&](const char* column) {
                return FNWResultTexts::testLine(test, QLatin1String(column), FNWResultTexts::TestLineTable::HistoryRow);
            };
            printLine(FNWStringWithFormat("       %-36@ %14@ %12@ %8@ %-4@ %@", text("name"), text("average"),
                                          text("total"), text("duration"), text("type"), text("ssid")));
        }
    }
    if (request.json)
        printJson({{QStringLiteral("executions"), all}});
    return kExitOk;
}

int showExecution(const FNWCliRequest& request)
{
    const std::shared_ptr<TestProfileExecutionBean> run = loadExecution(request.executionID);
    if (!run)
        return kExitUsage;
    const std::vector<FNWTestRunParts> tests = FNWTestRunParts::ofRun(*run);
    if (request.json) {
        printJson(executionJson(*run, tests, true));
        return kExitOk;
    }
    printLine(FNWStringWithFormat("Execution %ld  %@  %@", run->ID, runDate(*run), profileTitle(*run)));
    for (const FNWTestRunParts& test : tests) {
        printLine(QString());
        printLine(FNWResultTexts::settingsLine(test, 0));
        const auto text = [&](const char* column) {
            return FNWResultTexts::testLine(test, QLatin1String(column), FNWResultTexts::TestLineTable::Summary);
        };
        printLine(FNWStringWithFormat("  Average %@, total %@", text("average"), text("total")));
        printSettings(test);
        const qint64 format = FNWResultTexts::dataFormatOf(test);
        const bool udp = test.preset && test.preset->test_type == FNWTestTypeUDP;
        printLine(udp ? QStringLiteral("  Interval         Size          Throughput       Jitter      Datagrams")
                      : QStringLiteral("  Interval         Size          Throughput"));
        for (const std::shared_ptr<TestIntervalResults>& result : intervalsInTimeOrder(*test.execution)) {
            const auto cell = [&](const char* column) {
                return FNWResultTexts::intervalColumn(*result, QLatin1String(column), format);
            };
            QString line = FNWStringWithFormat("  %-16@ %-13@ %-16@", cell("interval"), cell("size"), cell("throughput"));
            if (udp)
                line += FNWStringWithFormat(" %-11@ %@", cell("jitter"), cell("datagrams"));
            printLine(line.trimmed().prepend(QStringLiteral("  ")));
        }
    }
    return kExitOk;
}

int exportExecution(const FNWCliRequest& request)
{
    const std::shared_ptr<TestProfileExecutionBean> run = loadExecution(request.executionID);
    if (!run)
        return kExitUsage;
    if (!request.csvPath.isEmpty()) {
        const QString lines = run->getDetailedCSV();
        if (!FNWUtils::hasValue(lines)) {
            printError(FNWStringWithFormat("execution %ld has no interval results to export", run->ID));
            return kExitFailed;
        }
        if (!writeDocument(request.csvPath,
                           FNWCSVExport::documentBytes(TestProfileExecutionBean::getIntervalResultHeader() + lines)))
            return kExitFailed;
    }
    if (!request.summaryCsvPath.isEmpty()) {
        const QString lines = TestProfileExecutionBean::getCSVSummeryResultsLinesFromTestProfileExecutions({run});
        if (!FNWUtils::hasValue(lines)) {
            printError(FNWStringWithFormat("execution %ld has no finished tests to export", run->ID));
            return kExitFailed;
        }
        if (!writeDocument(request.summaryCsvPath,
                           FNWCSVExport::documentBytes(TestProfileExecutionBean::getCSVSummeryHeader() + lines)))
            return kExitFailed;
    }
    if (!request.jsonPath.isEmpty() &&
        !writeDocument(request.jsonPath,
                       QJsonDocument(executionJson(*run, FNWTestRunParts::ofRun(*run), true)).toJson()))
        return kExitFailed;
    return kExitOk;
}

int deleteExecution(const FNWCliRequest& request)
{
    if (!TestProfileExecutionDAO().loadTestProfileExecutionWithID(request.executionID)) {
        printError(FNWStringWithFormat("no execution has the ID %ld (see 'fenwave-cli history')", request.executionID));
        return kExitUsage;
    }
    if (!TestProfileExecutionDAO().removeWithAllExecutions({request.executionID})) {
        printError(FNWStringWithFormat("execution %ld could not be deleted; it stays in the history",
                                       request.executionID));
        return kExitFailed;
    }
    if (!request.json)
        printLine(FNWStringWithFormat("Deleted execution %ld", request.executionID));
    else
        printJson({{QStringLiteral("deleted"), request.executionID}});
    return kExitOk;
}

} // namespace fnw::cli
