// "native-iperf" (iperf3) and "native-iPerf-2" (iperf): runs the real tool with an argument vector and
// prints each interval as soon as the tool reports it, in the lines the application reads.

#include "IperfWrapper.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace fnw::wrapper;
using Clock = std::chrono::steady_clock;

namespace {

#if FNW_IPERF_FLAVOR == 2
constexpr IperfFlavor kFlavor = IperfFlavor::Iperf2;
constexpr const char* kTool = "iperf";
#else
constexpr IperfFlavor kFlavor = IperfFlavor::Iperf3;
constexpr const char* kTool = "iperf3";
#endif

// A server that accepts and never answers leaves iperf3 waiting for good; nobody waits that long.
constexpr auto kConnectLimit = std::chrono::seconds(10);
constexpr auto kEndingGrace = std::chrono::seconds(30);
// iperf sending TCP to a server that stopped reading goes on filling the kernel's buffers long past the
// test's end; a summary that has not come this long after the duration will not be a measurement.
constexpr auto kIperf2EndingGrace = std::chrono::seconds(4);
constexpr auto kKillGrace = std::chrono::seconds(1);

void writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the reader went away; nothing useful left to do with the text
        done += static_cast<size_t>(n);
    }
}

void writeLines(int fd, const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + '\n';
    if (!text.empty())
        writeAll(fd, text);
}

std::optional<std::string> findOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string_view rest = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const size_t colon = rest.find(':');
        const std::string_view part = rest.substr(0, colon);
        const std::string dir = part.empty() ? std::string(1, '.') : std::string(part);
        const std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos)
            return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

// Splits a pipe's bytes into lines; a line cut across two reads is joined first.
struct LineReader
{
    int fd = -1;
    std::string partial;

    // False at the end of the stream.
    bool read(std::vector<std::string>& lines)
    {
        char buffer[8192];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            return true;
        if (n <= 0) {
            if (!partial.empty())
                lines.push_back(std::move(partial));
            partial.clear();
            ::close(fd);
            fd = -1;
            return false;
        }
        partial.append(buffer, static_cast<size_t>(n));
        size_t start = 0;
        for (size_t end = partial.find('\n'); end != std::string::npos; end = partial.find('\n', start)) {
            lines.push_back(partial.substr(start, end - start));
            start = end + 1;
        }
        partial.erase(0, start);
        return true;
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Whoever started us (the application's shell) may be stopped at any time: follow it, and take the
    // tool along, rather than run on as an orphan.
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        return 128 + SIGTERM;

    sigset_t handled;
    sigemptyset(&handled);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&handled, signal);
    sigprocmask(SIG_BLOCK, &handled, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signals = ::signalfd(-1, &handled, SFD_CLOEXEC);

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedArguments parsed = parseArguments(arguments, kFlavor);
    if (!parsed.command) {
        writeLines(STDERR_FILENO, {parsed.error});
        return 2;
    }
    const WrapperCommand& command = *parsed.command;
    writeLines(STDERR_FILENO, command.notes);

    const auto tool = findOnPath(kTool);
    if (!tool) {
        writeLines(STDERR_FILENO, {std::string("error: ") + kTool + " is not installed (not found on PATH)"});
        return 127;
    }
    // iperf buffers its output when it goes to a pipe; stdbuf makes it line by line.
    std::vector<std::string> childArguments;
    if (const auto stdbuf = findOnPath("stdbuf"))
        childArguments = {*stdbuf, "-oL", "-eL"};
    childArguments.push_back(*tool);
    childArguments.insert(childArguments.end(), command.toolArguments.begin(), command.toolArguments.end());

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        writeLines(STDERR_FILENO, {std::string("error: cannot create pipes: ") + std::strerror(errno)});
        return 1;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        writeLines(STDERR_FILENO, {std::string("error: cannot start ") + kTool + ": " + std::strerror(errno)});
        return 1;
    }
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        sigprocmask(SIG_UNBLOCK, &handled, nullptr);
        std::signal(SIGPIPE, SIG_DFL);
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        std::vector<char*> childArgv;
        for (std::string& argument : childArguments)
            childArgv.push_back(argument.data());
        childArgv.push_back(nullptr);
        ::execv(childArgv[0], childArgv.data());
        const std::string message = std::string("error: cannot start ") + kTool + ": " + std::strerror(errno) + "\n";
        writeAll(STDERR_FILENO, message);
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);

    OutputTranslator translator(kFlavor, command);
    LineReader out{outPipe[0], {}};
    LineReader err{errPipe[0], {}};
    const auto started = Clock::now();
    const bool iperf2TcpSending = kFlavor == IperfFlavor::Iperf2 && !command.udp && !command.reverse;
    std::optional<Clock::time_point> endLimit = command.duration > 0
        ? std::optional(started + std::chrono::seconds(command.duration) + kEndingGrace)
        : std::nullopt;
    std::optional<Clock::time_point> killAt;
    bool connected = false;
    bool reaped = false;
    int toolStatus = 0;
    int stopSignal = 0;       // set when we were told to stop
    bool gaveUp = false;      // set when we stopped the tool ourselves
    bool toolStopped = false; // its exit status is then ours, not its own
    bool endLimitExtended = false;

    auto stopTool = [&] {
        if (!killAt && !reaped) {
            toolStopped = true;
            ::kill(child, SIGTERM);
            killAt = Clock::now() + kKillGrace;
        }
    };
    auto handle = [&](const OutputTranslator::Output& output) {
        if (stopSignal)
            return; // a stopped run prints no figures
        writeLines(STDOUT_FILENO, output.out);
        writeLines(STDERR_FILENO, output.err);
        if (!output.out.empty() && !connected) {
            connected = true;
            // iperf counts the duration from the connection.
            if (iperf2TcpSending && command.duration > 0)
                endLimit = Clock::now() + std::chrono::seconds(command.duration) + kIperf2EndingGrace;
        }
        if (output.stopTool)
            stopTool();
    };

    while (out.fd >= 0 || err.fd >= 0 || !reaped) {
        pollfd fds[3] = {{signals, POLLIN, 0}, {out.fd, POLLIN, 0}, {err.fd, POLLIN, 0}};
        auto next = std::optional<Clock::time_point>();
        if (killAt)
            next = killAt;
        else if (!connected && !translator.hasFailed())
            next = started + kConnectLimit;
        else if (endLimit && !translator.hasSummary() && !translator.hasFailed())
            next = endLimit;
        int timeout = -1;
        if (next)
            timeout = static_cast<int>(std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(*next - Clock::now()).count() + 1));
        const int ready = ::poll(fds, 3, timeout);
        if (ready < 0 && errno != EINTR)
            break;

        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info;
            while (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo == SIGCHLD) {
                    int status = 0;
                    if (!reaped && ::waitpid(child, &status, WNOHANG) == child) {
                        reaped = true;
                        toolStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                    }
                } else if (!stopSignal) {
                    stopSignal = static_cast<int>(info.ssi_signo);
                    stopTool();
                }
                break;
            }
        }
        for (auto* reader : {&out, &err}) {
            const short events = reader == &out ? fds[1].revents : fds[2].revents;
            if (reader->fd < 0 || !(events & (POLLIN | POLLHUP | POLLERR)))
                continue;
            std::vector<std::string> lines;
            reader->read(lines);
            for (const std::string& line : lines)
                handle(reader == &out ? translator.standardOutputLine(line) : translator.standardErrorLine(line));
        }

        const auto now = Clock::now();
        if (killAt && now >= *killAt && !reaped) {
            ::kill(child, SIGKILL);
            killAt = now + std::chrono::hours(1);
        } else if (!killAt && !connected && !translator.hasFailed() && now >= started + kConnectLimit) {
            handle({{}, {"error: no response from " + command.host + " within 10 seconds"}, true});
            gaveUp = true;
            stopTool();
        } else if (!killAt && endLimit && !translator.hasSummary() && !translator.hasFailed() && now >= *endLimit) {
            if (iperf2TcpSending && !translator.hasStalled() && !endLimitExtended) {
                // Data still went out at the end: the summary waits for a slow link to drain.
                endLimitExtended = true;
                endLimit = started + std::chrono::seconds(command.duration) + kEndingGrace;
                continue;
            }
            const std::string reason = iperf2TcpSending && translator.hasStalled()
                ? "error: the server stopped receiving; no summary " + std::to_string(kIperf2EndingGrace.count())
                    + " seconds after the end of the " + std::to_string(command.duration) + "-second test"
                : std::string("error: the test did not end in time");
            handle({{}, {reason}, true});
            gaveUp = true;
            stopTool();
        }
    }

    if (stopSignal)
        return 128 + stopSignal;
    int exitStatus = 1;
    const auto ending = translator.finish(toolStopped ? 0 : toolStatus, exitStatus);
    if (!gaveUp)
        handle(ending);
    return gaveUp ? 1 : exitStatus;
}
