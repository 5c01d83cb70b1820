// The CSV documents built from records with any names, figures and texts: every summary line is
// one record of six cells as RFC 4180 reads it, and the document's bytes read back as its text.

#include "FNWFuzzInput.h"

#include "model/FNWAgentBean.h"
#include "model/FNWCSVExport.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"

#include <QStringList>

namespace {

// The cells of a document, one list per record.
QList<QStringList> readCSV(const QString& text)
{
    QList<QStringList> records;
    QStringList cells;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                cell += c, ++i;
            else if (c == u'"')
                quoted = false;
            else
                cell += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            cells << cell;
            cell.clear();
        } else if (c == u'\n') {
            cells << cell;
            records << cells;
            cells.clear();
            cell.clear();
        } else {
            cell += c;
        }
    }
    FNW_FUZZ_CHECK(!quoted);
    if (!cell.isEmpty() || !cells.isEmpty())
        records << (cells << cell);
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fnw::fuzz::FuzzInput input(data, size);
    FNWPresetBean preset;
    preset.name = input.text();
    preset.data_format = input.byte() % 8;
    preset.duration = input.integer<qint32>();
    preset.number_of_byte = input.integer<qint32>();
    preset.test_type = input.byte() % 3;
    preset.direction = input.byte() % 3;
    FNWAgentBean agent;
    agent.agent_name = input.text();
    agent.ip_address = input.text();
    TestBean test;
    test.testName = input.text();
    TestExecutionBean execution;
    execution.ssid = input.text();
    execution.bssid = input.text();
    execution.setTargetSsid(input.text());
    execution.setMessage(input.text());
    execution.setAverageSpeed(input.integer<qint64>());
    execution.setDataTransfered(input.integer<qint64>());
    execution.setExecution_duration(input.integer<qint32>());
    execution.setExecutionStatus(input.byte() % 4);
    std::vector<std::shared_ptr<TestIntervalResults>> results;
    while (!input.empty() && results.size() < 8) {
        auto result = std::make_shared<TestIntervalResults>();
        result->start_time = input.text();
        result->end_time = input.text();
        result->speed = input.real();
        result->data_transfered = input.real();
        result->jitter = input.text();
        result->datagrams = input.text();
        results.push_back(result);
    }

    const bool withRecords = size % 2 == 0;
    const QString summary = FNWCSVExport::getCSVSummeryLine(execution, withRecords ? &preset : nullptr,
                                                            withRecords ? &agent : nullptr);
    const QList<QStringList> records = readCSV(summary);
    FNW_FUZZ_CHECK(records.size() == 1);
    FNW_FUZZ_CHECK(records[0].size() == readCSV(FNWCSVExport::getCSVSummeryHeader())[0].size());

    const QString block = FNWCSVExport::getCSVIntervalResults(execution, withRecords ? &test : nullptr,
                                                              withRecords ? &preset : nullptr,
                                                              withRecords ? &agent : nullptr, results);
    readCSV(block);
    for (const auto& result : results)
        FNW_FUZZ_CHECK(readCSV(FNWCSVExport::getCSVIntervalResultsFromDataFormat(*result, preset.data_format)).size() == 1);
    const QString document = FNWCSVExport::getCSVSummeryHeader() + summary + block;
    FNW_FUZZ_CHECK(QString::fromUtf8(FNWCSVExport::documentBytes(document)) == document);
    return 0;
}
