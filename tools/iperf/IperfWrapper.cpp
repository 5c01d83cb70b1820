#include "IperfWrapper.h"

#include <algorithm>
#include <limits>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cmath>
#include <cstdio>

namespace fnw::wrapper {

namespace {

// The kernel refuses TCP_MAXSEG outside this range.
constexpr long long kMinSegmentSize = 88;
constexpr long long kMaxSegmentSize = 32767;
// The largest UDP payload over IPv4, and iperf3's largest TCP block.
constexpr long long kMaxUdpBlock = 65507;
constexpr long long kMaxIperf3TcpBlock = 1024 * 1024;

std::optional<long long> parseInteger(std::string_view text, long long min, long long max)
{
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.front() == '+' || text.front() == '-')
        return std::nullopt;
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

struct Quantity
{
    long long number = 0;
    char unit = 0; // 0, 'K', 'M' or 'G'
};

// "128", "128K", "128KB", "50M", "1g"...
std::optional<Quantity> parseQuantity(std::string_view text, long long min)
{
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    auto number = parseInteger(text.substr(0, digits), min, 999999999);
    if (!number)
        return std::nullopt;
    std::string_view suffix = text.substr(digits);
    Quantity quantity{*number, 0};
    if (suffix.empty())
        return quantity;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(suffix.front())));
    if (letter != 'K' && letter != 'M' && letter != 'G')
        return std::nullopt;
    suffix.remove_prefix(1);
    if (!suffix.empty() && !(suffix == "B" || suffix == "b"))
        return std::nullopt;
    quantity.unit = letter;
    return quantity;
}

long long unitBytes(char unit)
{
    switch (unit) {
    case 'K':
        return 1024;
    case 'M':
        return 1024 * 1024;
    case 'G':
        return 1024LL * 1024 * 1024;
    default:
        return 1;
    }
}

std::string quantityText(const Quantity& quantity, bool lowerCase = false)
{
    std::string text = std::to_string(quantity.number);
    if (quantity.unit)
        text += lowerCase ? static_cast<char>(std::tolower(quantity.unit)) : quantity.unit;
    return text;
}

bool isStrayOperand(std::string_view argument)
{
    const size_t slash = argument.rfind('/');
    const std::string_view base = slash == std::string_view::npos ? argument : argument.substr(slash + 1);
    return base.rfind("iperf", 0) == 0;
}

ParsedArguments failure(std::string text)
{
    return ParsedArguments{std::nullopt, "error: " + std::move(text)};
}

std::string trim(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t' || text[begin] == '\r' || text[begin] == '\n'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r' || text[end - 1] == '\n'))
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::vector<std::string_view> tokens(std::string_view text)
{
    std::vector<std::string_view> result;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const size_t begin = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > begin)
            result.push_back(text.substr(begin, i - begin));
    }
    return result;
}

struct Figure
{
    double value = 0;
    int decimals = 0;
};

std::optional<Figure> parseFigure(std::string_view text)
{
    if (text.empty() || !(text.front() >= '0' && text.front() <= '9'))
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    const size_t dot = text.find('.');
    return Figure{value, dot == std::string_view::npos ? 0 : static_cast<int>(text.size() - dot - 1)};
}

std::optional<double> byteUnit(std::string_view unit)
{
    if (unit == "Bytes")
        return 1.0;
    if (unit == "KBytes")
        return 1024.0;
    if (unit == "MBytes")
        return 1024.0 * 1024;
    if (unit == "GBytes")
        return 1024.0 * 1024 * 1024;
    if (unit == "TBytes")
        return 1024.0 * 1024 * 1024 * 1024;
    return std::nullopt;
}

std::optional<double> bitUnit(std::string_view unit)
{
    if (unit == "bits/sec")
        return 1.0;
    if (unit == "Kbits/sec")
        return 1e3;
    if (unit == "Mbits/sec")
        return 1e6;
    if (unit == "Gbits/sec")
        return 1e9;
    if (unit == "Tbits/sec")
        return 1e12;
    return std::nullopt;
}

// Notes from the tool that are harmless once the run has its summary, reworded so that the application
// does not read them as a failure.
std::string softened(std::string_view line)
{
    std::string text(line);
    const std::pair<std::string_view, std::string_view> words[] = {
        {"WARNING", "note"}, {"failed", "did not succeed"}, {"error", "problem"}};
    for (const auto& [word, replacement] : words) {
        for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + replacement.size()))
            text.replace(at, word.size(), replacement);
    }
    return text;
}

std::string toolName(IperfFlavor flavor)
{
    return flavor == IperfFlavor::Iperf3 ? "iperf3" : "iperf";
}

} // namespace

bool containsFailureWord(std::string_view text)
{
    return text.find("error") != std::string_view::npos || text.find("WARNING") != std::string_view::npos
        || text.find("failed") != std::string_view::npos;
}

ParsedArguments parseArguments(const std::vector<std::string>& arguments, IperfFlavor flavor)
{
    WrapperCommand command;
    std::optional<Quantity> amount;
    std::optional<Quantity> bandwidth;
    std::optional<Quantity> buffer;
    std::optional<Quantity> window;
    std::optional<long long> segmentSize;
    std::string segmentText;
    bool noDelay = false;
    bool sawOption = false;

    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.empty())
            continue;
        if (argument.front() != '-' || argument.size() < 2) {
            if (!sawOption && isStrayOperand(argument))
                continue;
            return failure("unexpected argument '" + argument + "'");
        }
        sawOption = true;
        const char flag = argument[1];
        const std::string joined = argument.substr(2);
        auto value = [&]() -> std::optional<std::string> {
            if (!joined.empty())
                return joined;
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        auto invalid = [&](const std::string& text, const char* expected) {
            return failure("invalid value '" + text + "' for -" + std::string(1, flag) + " (" + expected + ")");
        };

        switch (flag) {
        case 'u':
        case 'R':
        case 'N':
            if (!joined.empty())
                return failure("unknown option '" + argument + "'");
            (flag == 'u' ? command.udp : flag == 'R' ? command.reverse : noDelay) = true;
            continue;
        default:
            break;
        }

        const auto text = value();
        if (!text)
            return failure("option -" + std::string(1, flag) + " needs a value");
        switch (flag) {
        case 'c':
            if (text->empty() || text->front() == '-' || text->size() > 253)
                return invalid(*text, "a server address");
            command.host = *text;
            break;
        case 't': {
            const auto number = parseInteger(*text, 1, 86400);
            if (!number)
                return invalid(*text, "whole seconds from 1 to 86400");
            command.duration = static_cast<int>(*number);
            break;
        }
        case 'i': {
            const auto number = parseInteger(*text, 1, 60);
            if (!number)
                return invalid(*text, "whole seconds from 1 to 60");
            command.interval = static_cast<int>(*number);
            break;
        }
        case 'p': {
            const auto number = parseInteger(*text, 1, 65535);
            if (!number)
                return invalid(*text, "a port from 1 to 65535");
            command.port = static_cast<int>(*number);
            break;
        }
        case 'P': {
            const auto number = parseInteger(*text, 1, 128);
            if (!number)
                return invalid(*text, "parallel streams from 1 to 128");
            command.parallel = static_cast<int>(*number);
            break;
        }
        case 'n':
            amount = parseQuantity(*text, 1);
            if (!amount)
                return invalid(*text, "an amount such as 100M");
            break;
        case 'b':
            bandwidth = parseQuantity(*text, 0);
            if (!bandwidth)
                return invalid(*text, "a rate such as 50M");
            break;
        case 'l':
            buffer = parseQuantity(*text, 1);
            if (!buffer)
                return invalid(*text, "a length such as 128KB");
            break;
        case 'w':
            window = parseQuantity(*text, 1);
            if (!window)
                return invalid(*text, "a size such as 64KB");
            break;
        case 'f':
            // The wrapper always reports bytes and bits per second; the requested unit is not needed.
            if (text->size() != 1)
                return invalid(*text, "a format letter");
            break;
        case 'M': {
            segmentText = *text;
            const std::string_view digits = std::string_view(*text).substr(text->rfind("MSS-", 0) == 0 ? 4 : 0);
            segmentSize = parseInteger(digits, 0, 999999);
            if (!segmentSize)
                return invalid(*text, "a segment size such as MSS-1460");
            break;
        }
        default:
            return failure("unknown option '" + argument + "'");
        }
    }
    if (command.host.empty())
        return failure("no server address given (-c)");

    auto& args = command.toolArguments;
    args = {"-c", command.host};
    if (command.port > 0)
        args.insert(args.end(), {"-p", std::to_string(command.port)});
    if (flavor == IperfFlavor::Iperf3)
        args.insert(args.end(), {"-f", "k", "--forceflush"});
    else
        args.insert(args.end(), {"-f", "b"});
    if (command.duration > 0)
        args.insert(args.end(), {"-t", std::to_string(command.duration)});
    if (command.interval > 0)
        args.insert(args.end(), {"-i", std::to_string(command.interval)});
    if (amount)
        args.insert(args.end(), {"-n", quantityText(*amount)});
    if (bandwidth) {
        if (flavor == IperfFlavor::Iperf3) {
            args.insert(args.end(), {"-b", quantityText(*bandwidth)});
        } else if (bandwidth->number > 0) {
            // iperf's rate suffixes are decimal only in lower case.
            args.insert(args.end(), {"-b", quantityText(*bandwidth, true)});
        } else if (command.udp) {
            // iperf refuses 0; unlimited UDP means as fast as this computer can send.
            args.insert(args.end(), {"-b", "100g"});
        }
        // TCP without a rate is unlimited already.
    }
    if (buffer) {
        const long long bytes = buffer->number * unitBytes(buffer->unit);
        const long long limit = command.udp ? kMaxUdpBlock
            : flavor == IperfFlavor::Iperf3 ? kMaxIperf3TcpBlock
                                            : 0;
        if (limit > 0 && bytes > limit) {
            command.notes.push_back("buffer length " + quantityText(*buffer) + " is above the " + std::to_string(limit)
                + " bytes " + toolName(flavor) + " sends in one " + (command.udp ? "datagram" : "block")
                + "; using " + std::to_string(limit));
            args.insert(args.end(), {"-l", std::to_string(limit)});
        } else {
            args.insert(args.end(), {"-l", quantityText(*buffer)});
        }
    }
    if (window)
        args.insert(args.end(), {"-w", quantityText(*window)});
    if (segmentSize) {
        if (command.udp) {
            command.notes.push_back("segment size " + segmentText + " applies to TCP only; not used for this UDP test");
        } else if (*segmentSize < kMinSegmentSize || *segmentSize > kMaxSegmentSize) {
            command.notes.push_back("segment size " + std::to_string(*segmentSize) + " is outside the "
                + std::to_string(kMinSegmentSize) + "-" + std::to_string(kMaxSegmentSize)
                + " bytes the kernel accepts; running with the system's segment size");
        } else {
            args.insert(args.end(), {"-M", std::to_string(*segmentSize)});
        }
    }
    if (noDelay && !command.udp)
        args.push_back("-N");
    if (command.udp)
        args.push_back("-u");
    if (command.reverse)
        args.push_back("-R");
    if (command.parallel > 1)
        args.insert(args.end(), {"-P", std::to_string(command.parallel)});
    return ParsedArguments{std::move(command), {}};
}

std::optional<DataLine> parseDataLine(std::string_view line)
{
    const std::string trimmed = trim(line);
    if (trimmed.size() < 3 || trimmed.front() != '[')
        return std::nullopt;
    const size_t close = trimmed.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    DataLine data;
    data.id = trim(std::string_view(trimmed).substr(1, close - 1));
    if (!data.id.empty() && data.id.front() == '*') // iperf marks reverse streams "*1"
        data.id.erase(0, 1);

    auto fields = tokens(std::string_view(trimmed).substr(close + 1));
    // "0.00- 1.00": older layouts put a blank after the dash.
    if (fields.empty())
        return std::nullopt;
    std::string interval(fields[0]);
    if (fields.size() > 1 && interval.size() > 1 && interval.back() == '-') {
        interval += fields[1];
        fields.erase(fields.begin() + 1);
    }
    if (fields.size() < 6 || fields[1] != "sec")
        return std::nullopt;
    const size_t dash = interval.find('-');
    if (dash == std::string::npos)
        return std::nullopt;
    const std::string_view intervalView(interval);
    const auto start = parseFigure(intervalView.substr(0, dash));
    const auto end = parseFigure(intervalView.substr(dash + 1));
    const auto transfer = parseFigure(fields[2]);
    const auto transferUnit = byteUnit(fields[3]);
    const auto rate = parseFigure(fields[4]);
    const auto rateUnit = bitUnit(fields[5]);
    if (!start || !end || !transfer || !transferUnit || !rate || !rateUnit)
        return std::nullopt;

    data.startText = interval.substr(0, dash);
    data.endText = interval.substr(dash + 1);
    data.start = start->value;
    data.end = end->value;
    data.bitsPerSecond = rate->value * *rateUnit;
    data.bytes = transfer->value * *transferUnit;

    // iperf3 prints transfers with three significant digits; the rate times the interval may be closer.
    // Take whichever figure is known to the smaller margin.
    const double length = data.end - data.start;
    if (length > 0 && rate->value > 0) {
        const double timeMargin = 0.5 * std::pow(10.0, -end->decimals) * (data.start > 0 ? 2 : 1);
        const double rateMargin = 0.5 * std::pow(10.0, -rate->decimals) * *rateUnit;
        const double derived = data.bitsPerSecond * length / 8;
        const double derivedMargin = (rateMargin * length + data.bitsPerSecond * timeMargin) / 8;
        const double textMargin = 0.5 * std::pow(10.0, -transfer->decimals) * *transferUnit;
        if (derivedMargin < textMargin)
            data.bytes = derived;
    }

    for (size_t i = 6; i < fields.size(); ++i) {
        if (fields[i] == "ms" && i >= 7 && data.jitter.empty()) {
            data.jitter = std::string(fields[i - 1]) + " ms";
            if (i + 1 < fields.size()) {
                std::string datagrams(fields[i + 1]);
                if (datagrams.back() == '/' && i + 2 < fields.size()) // iperf's "0/ 8505"
                    datagrams += std::string(fields[i + 2]);
                if (datagrams.find('/') != std::string::npos)
                    data.datagrams = datagrams;
            }
        }
    }
    if (fields.back() == "sender" || fields.back() == "receiver")
        data.role = std::string(fields.back());
    return data;
}

std::string formatLine(std::string_view marker, const DataLine& data, bool withUdpFields)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "$#%lld$#%lld", std::llround(data.bytes), std::llround(data.bitsPerSecond));
    std::string line(marker);
    line += "$#" + data.startText + "-" + data.endText + " sec" + numbers;
    if (withUdpFields)
        line += "$#" + data.jitter + "$#" + data.datagrams;
    return line;
}

OutputTranslator::OutputTranslator(IperfFlavor flavor, const WrapperCommand& command)
    : m_flavor(flavor)
    , m_command(command)
{
}

OutputTranslator::Output OutputTranslator::standardOutputLine(std::string_view rawLine)
{
    Output output;
    if (m_failed)
        return output;
    std::string_view line = rawLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);

    if (!m_connected && line.rfind("[", 0) == 0
        && (line.find(" connected to ") != std::string_view::npos
            || line.find(" connected with ") != std::string_view::npos)) {
        m_connected = true;
        const size_t close = line.find(']');
        output.out.push_back("Connected:" + softened(line.substr(close + 1)));
        return output;
    }
    if (line.find("Server Report:") != std::string_view::npos) {
        ++m_serverReportsDue;
        return output;
    }
    if (const auto data = parseDataLine(line)) {
        if (m_flavor == IperfFlavor::Iperf3)
            dataLine(*data, output);
        else
            iperf2DataLine(*data, output);
        return output;
    }
    if (const size_t sent = line.find("] Sent "); sent != std::string_view::npos && line.find("[SUM]") == std::string_view::npos) {
        // iperf's count of the datagrams it sent, one line per stream.
        // strtoll holds a figure past the range at its end; the sum is held there too.
        const long long count = std::max(0LL, std::strtoll(std::string(line.substr(sent + 7)).c_str(), nullptr, 10));
        const long long before = std::max(0LL, m_sentDatagrams);
        m_sentDatagrams = count > std::numeric_limits<long long>::max() - before ? std::numeric_limits<long long>::max()
                                                                                  : before + count;
        return output;
    }
    if (line.rfind("iperf Done", 0) == 0) {
        if (m_finished && !m_doneSeen)
            output.out.push_back("iperf Done.");
        m_doneSeen = true;
        return output;
    }
    if (containsFailureWord(line))
        m_notes.push_back(trim(line));
    return output;
}

OutputTranslator::Output OutputTranslator::standardErrorLine(std::string_view rawLine)
{
    Output output;
    const std::string line = trim(rawLine);
    if (line.empty())
        return output;
    if (!containsFailureWord(line)) {
        output.err.push_back(line);
        return output;
    }
    if (m_finished) {
        output.err.push_back(softened(line));
        return output;
    }
    // iperf's "WARNING" lines are settled at the end: harmless notes, or the reason a run has no summary.
    if (m_flavor == IperfFlavor::Iperf2 && line.find("error") == std::string::npos
        && line.find("failed") == std::string::npos) {
        m_notes.push_back(line);
        return output;
    }
    if (!m_failed) {
        m_failed = true;
        output.err.push_back(line);
        // iperf goes on retrying for the whole duration after a refused connection; iperf3 ends by itself.
        output.stopTool = m_flavor == IperfFlavor::Iperf2;
    }
    return output;
}

void OutputTranslator::dataLine(const DataLine& data, Output& output)
{
    if ((m_command.parallel > 1) != (data.id == "SUM") || m_finished || m_summary)
        return;
    if (data.role == "receiver") {
        // Printed only once the tool has ended well: a server that goes away still gets a summary of
        // what was done, followed by the tool's error.
        m_summary = data;
        return;
    }
    if (data.role.empty())
        printInterval(data, output);
}

void OutputTranslator::printInterval(const DataLine& data, Output& output)
{
    std::string key = data.id + " " + data.startText + "-" + data.endText;
    if (key == m_lastInterval)
        return;
    m_lastInterval = std::move(key);
    m_lastIntervalEmpty = data.bytes <= 0;
    m_sawBytes = m_sawBytes || data.bytes > 0;
    output.out.push_back(formatLine("RESULT_", data, !data.jitter.empty()));
}

std::optional<std::string> OutputTranslator::summaryShortfall(const DataLine& summary) const
{
    char text[256];
    const bool tcpSending = !m_command.udp && !m_command.reverse;
    const bool udpSending = m_command.udp && !m_command.reverse;
    const double duration = m_command.duration;
    if (m_flavor == IperfFlavor::Iperf2 && tcpSending && duration > 0 && summary.end > duration + kSummaryLateSeconds
        && hasStalled()) {
        // The tool's writes went on into the kernel's buffers after the server had stopped taking them.
        std::snprintf(text, sizeof text,
            "error: the server stopped receiving; the %d-second test took %.1f seconds to end", m_command.duration,
            summary.end);
        return std::string(text);
    }
    const bool shortInTime = duration > 0
        && summary.end < duration - std::max(kSummaryShortfallSeconds, kSummaryShortfallShare * duration);
    long long seen = -1;
    if (const size_t slash = summary.datagrams.find('/'); slash != std::string::npos)
        seen = std::atoll(summary.datagrams.c_str() + slash + 1);
    const bool shortInDatagrams = m_flavor == IperfFlavor::Iperf2 && udpSending && m_sentDatagrams > 0 && seen >= 0
        && static_cast<double>(seen) < kServerConfirmedShare * static_cast<double>(m_sentDatagrams);
    if (!shortInTime && !shortInDatagrams)
        return std::nullopt;
    if (m_flavor == IperfFlavor::Iperf2 && udpSending) {
        const double sentBytes = m_senderSummary ? m_senderSummary->bytes : 0;
        if (duration > 0)
            std::snprintf(text, sizeof text,
                "error: the server confirmed only %.2f of %d seconds (%.0f of %.0f bytes sent, %lld of %lld datagrams)",
                summary.end, m_command.duration, summary.bytes, sentBytes, seen, m_sentDatagrams);
        else
            std::snprintf(text, sizeof text,
                "error: the server confirmed only %.0f of %.0f bytes sent (%lld of %lld datagrams)", summary.bytes,
                sentBytes, seen, m_sentDatagrams);
        return std::string(text);
    }
    std::snprintf(text, sizeof text, "error: the summary covers only %.2f of %d seconds", summary.end,
        m_command.duration);
    return std::string(text);
}

void OutputTranslator::fail(const std::string& reason, Output& output)
{
    if (m_failed)
        return;
    m_failed = true;
    output.err.push_back(reason);
    output.stopTool = true;
}

void OutputTranslator::iperf2DataLine(const DataLine& data, Output& output)
{
    if (m_finished)
        return;
    // Each stream's "Server Report:" is followed by the receiving side's figures for that stream.
    if (m_serverReportsDue > 0 && data.id != "SUM") {
        --m_serverReportsDue;
        if (m_pending) // whatever was held was this side's own summary
            m_senderSummary = m_pending;
        m_pending.reset();
        m_serverReports.push_back(data);
        if (static_cast<int>(m_serverReports.size()) >= m_command.parallel)
            flushPending(output);
        return;
    }
    if ((m_command.parallel > 1) != (data.id == "SUM"))
        return;

    const bool udpSending = m_command.udp && !m_command.reverse;
    if (data.start == 0 && !m_sawDataLine) {
        m_sawDataLine = true;
        // The first line from zero is either the first interval or, for a short run, the summary.
        const bool plainlyInterval = m_command.interval > 0 && std::fabs(data.end - m_command.interval) < 5e-5
            && (m_command.duration <= 0 || data.end < m_command.duration - 5e-5);
        if (plainlyInterval)
            printInterval(data, output);
        else
            m_pending = data;
        return;
    }
    m_sawDataLine = true;
    if (m_pending) {
        printInterval(*m_pending, output);
        m_pending.reset();
    }
    if (data.start == 0) {
        // A second line from zero is the summary. When sending UDP, the server's report is the one to keep.
        if (!udpSending)
            emitFinished(data, output);
        else
            m_senderSummary = data;
        return;
    }
    printInterval(data, output);
}

void OutputTranslator::flushPending(Output& output)
{
    if (m_finished || m_serverReports.empty())
        return;
    DataLine total = m_serverReports.front();
    if (m_serverReports.size() > 1) {
        long long lost = 0;
        long long sent = 0;
        double jitter = 0;
        total.bytes = 0;
        total.bitsPerSecond = 0;
        for (const DataLine& report : m_serverReports) {
            total.bytes += report.bytes;
            total.bitsPerSecond += report.bitsPerSecond;
            if (report.end > total.end) {
                total.end = report.end;
                total.endText = report.endText;
            }
            jitter = std::max(jitter, std::atof(report.jitter.c_str()));
            const size_t slash = report.datagrams.find('/');
            if (slash != std::string::npos) {
                lost += std::atoll(report.datagrams.c_str());
                sent += std::atoll(report.datagrams.c_str() + slash + 1);
            }
        }
        char text[32];
        std::snprintf(text, sizeof text, "%.3f ms", jitter);
        total.jitter = text;
        total.datagrams = std::to_string(lost) + "/" + std::to_string(sent);
    }
    emitFinished(total, output);
}

void OutputTranslator::emitFinished(const DataLine& data, Output& output)
{
    if (m_finished || m_failed)
        return;
    if (const auto shortfall = summaryShortfall(data)) {
        fail(*shortfall, output);
        return;
    }
    m_finished = true;
    output.out.push_back(formatLine("Finished_", data, !data.jitter.empty()));
    if (m_doneSeen)
        output.out.push_back("iperf Done.");
}

OutputTranslator::Output OutputTranslator::finish(int toolExitStatus, int& exitStatus)
{
    Output output;
    if (!m_finished && !m_failed) {
        if (m_summary) {
            // iperf3 reports a failure after its summary when the server went away during the run.
            if (toolExitStatus == 0)
                emitFinished(*m_summary, output);
        } else if (!m_serverReports.empty()) {
            flushPending(output);
        } else if (m_pending && !(m_command.udp && !m_command.reverse)) {
            emitFinished(*m_pending, output);
        }
    }
    if (m_finished) {
        if (!m_doneSeen)
            output.out.push_back("iperf Done.");
        m_doneSeen = true;
        for (const std::string& note : m_notes)
            output.err.push_back(softened(note));
        exitStatus = 0;
        return output;
    }
    // The tool's own status where it reported a failure.
    exitStatus = toolExitStatus != 0 ? toolExitStatus : 1;
    if (!m_failed) {
        m_failed = true;
        for (const std::string& note : m_notes)
            output.err.push_back(containsFailureWord(note) ? note : "error: " + note);
        std::string ending = "error: " + toolName(m_flavor)
            + (m_summary ? std::string(" reported a failure after its summary") : std::string(" ended without a summary"));
        if (toolExitStatus != 0)
            ending += " (exit status " + std::to_string(toolExitStatus) + ")";
        output.err.push_back(ending);
    }
    return output;
}

} // namespace fnw::wrapper
