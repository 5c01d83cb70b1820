#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class FNWAgentBean;
class FNWPresetBean;
class TestBean;
class TestExecutionBean;
class TestIntervalResults;

// The texts of the CSV exports, built from records already in hand; nothing here reads the
// store. A test, preset or agent may be missing (the test was removed from its profile after
// the run): its cells are then left empty and numbers use the first display format.
class FNWCSVExport final
{
public:
    FNWCSVExport() = delete;

    // A document's bytes as written to its file: ASCII, or UTF-8 when a network name holds a
    // character outside ASCII (an ASCII document is then impossible, and none at all is worse).
    static QByteArray documentBytes(const QString& text);
    static QString getCSVSummeryHeader();
    static QString getIntervalResultHeader();
    // One line of the summary document, ending with a line feed.
    static QString getCSVSummeryLine(const TestExecutionBean& execution, const FNWPresetBean* preset,
                                     const FNWAgentBean* agent);
    // The five interval cells of one result, ending with a comma and a line feed.
    static QString getCSVIntervalResultsFromDataFormat(const TestIntervalResults& result, qint64 dataFormat);
    // One run's block: the test's settings beside its results (most recent first), paired by
    // position.
    static QString getCSVIntervalResults(const TestExecutionBean& execution, const TestBean* test,
                                         const FNWPresetBean* preset, const FNWAgentBean* agent,
                                         const std::vector<std::shared_ptr<TestIntervalResults>>& results);
};
