#pragma once

// What "native-iperf" and "native-iPerf-2" do between the application and Debian's iperf3 and iperf:
// the application's argument list in, the real tool's argument vector out, and the tool's output
// turned into the application's "RESULT_" / "Finished_" lines. Plain C++ so the wrappers start fast.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fnw::wrapper {

enum class IperfFlavor { Iperf3, Iperf2 };

struct WrapperCommand
{
    // The tool's own arguments, without the program name.
    std::vector<std::string> toolArguments;
    // Things the wrapper chose not to pass on; printed on standard error, never with a failure word.
    std::vector<std::string> notes;
    std::string host;
    int port = -1;
    int duration = -1;
    int interval = -1;
    int parallel = 1;
    bool udp = false;
    bool reverse = false;
};

struct ParsedArguments
{
    std::optional<WrapperCommand> command;
    std::string error; // set when command is empty
};

// Accepts the list as the application's shell hands it over: a stray "./iperf3" or "./iperf2" operand,
// joined forms (-t10, -p5201, -n100M, -l128KB), and the segment size as "-M" "MSS-40".
ParsedArguments parseArguments(const std::vector<std::string>& arguments, IperfFlavor flavor);

// True when the text holds a word the application reads as a failure.
bool containsFailureWord(std::string_view text);

// A figure line of either tool, e.g. "[  5]   0.00-1.00   sec  2.73 GBytes  23471288 Kbits/sec ...".
struct DataLine
{
    std::string id; // "5", "SUM"
    std::string startText;
    std::string endText;
    double start = 0;
    double end = 0;
    double bytes = 0;
    double bitsPerSecond = 0;
    std::string jitter;   // "0.008 ms" where the line has one
    std::string datagrams; // "0/77"
    std::string role;     // "sender", "receiver" or empty
};

std::optional<DataLine> parseDataLine(std::string_view line);

// "RESULT_$#0.00-1.00 sec$#<bytes>$#<bits per second>[$#<jitter>$#<lost>/<total>]"
std::string formatLine(std::string_view marker, const DataLine& data, bool withUdpFields);

// Turns the tool's output, line by line, into what the wrapper prints.
// How far a summary may fall short of the test, or come after it, and still count. Measured on
// loopback and on a 10 Mbit/s link with a 400 ms queue: summaries end within 0.05 s of the duration,
// except iperf's TCP summary, which waits for the queue to drain (5.84-7.92 s for a 5-second test); a late
// summary is therefore refused only after intervals that carried nothing.
inline constexpr double kSummaryShortfallSeconds = 1.0;
inline constexpr double kSummaryShortfallShare = 0.05;
inline constexpr double kSummaryLateSeconds = 3.0;
// The share of the datagrams sent that the server must have seen.
inline constexpr double kServerConfirmedShare = 0.9;

class OutputTranslator
{
public:
    struct Output
    {
        std::vector<std::string> out; // lines for standard output
        std::vector<std::string> err; // lines for standard error
        bool stopTool = false;        // the tool failed for good; stop it rather than wait
    };

    OutputTranslator(IperfFlavor flavor, const WrapperCommand& command);

    Output standardOutputLine(std::string_view line);
    Output standardErrorLine(std::string_view line);
    // After the tool ended: what is left to print and the wrapper's exit status.
    Output finish(int toolExitStatus, int& exitStatus);

    bool hasFinished() const { return m_finished; }
    bool hasFailed() const { return m_failed; }
    // The tool's summary has been read; it is printed once the tool has ended well.
    bool hasSummary() const { return m_finished || m_summary.has_value(); }
    // The last interval carried nothing after earlier ones did: the server has stopped taking data.
    bool hasStalled() const { return m_sawBytes && m_lastIntervalEmpty; }

private:
    void dataLine(const DataLine& data, Output& output);
    void iperf2DataLine(const DataLine& data, Output& output);
    void emitFinished(const DataLine& data, Output& output);
    void flushPending(Output& output);
    void printInterval(const DataLine& data, Output& output);
    // An error text when the summary covers clearly less than the test, or came long after it.
    std::optional<std::string> summaryShortfall(const DataLine& summary) const;
    void fail(const std::string& reason, Output& output);

    IperfFlavor m_flavor;
    WrapperCommand m_command;
    bool m_connected = false;
    bool m_finished = false;
    bool m_failed = false;
    bool m_doneSeen = false;
    bool m_sawDataLine = false;
    int m_serverReportsDue = 0;
    std::vector<DataLine> m_serverReports;
    std::optional<DataLine> m_pending;
    std::optional<DataLine> m_summary;        // iperf3's receiver figures, held until the tool ends
    std::optional<DataLine> m_senderSummary;  // iperf2's own totals when sending UDP
    long long m_sentDatagrams = -1;
    std::string m_lastInterval;               // iperf3 repeats the last interval when a run is cut short
    bool m_sawBytes = false;
    bool m_lastIntervalEmpty = false;
    std::vector<std::string> m_notes; // tool lines with failure words, shown only if the run fails
};

} // namespace fnw::wrapper
