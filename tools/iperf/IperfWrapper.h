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

private:
    void dataLine(const DataLine& data, Output& output);
    void iperf2DataLine(const DataLine& data, Output& output);
    void emitFinished(const DataLine& data, Output& output);
    void flushPending(Output& output);

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
    std::vector<std::string> m_notes; // tool lines with failure words, shown only if the run fails
};

} // namespace fnw::wrapper
