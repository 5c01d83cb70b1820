#include "FNWLocalServers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fnw::test {

int freePort(Transport transport)
{
    const int fd = ::socket(AF_INET, transport == Transport::Tcp ? SOCK_STREAM : SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

int listenOnLoopback(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

namespace {

bool isListening(int port, Transport transport)
{
    // Local addresses are "ADDR:PORT" in hex; listening TCP sockets are state 0A, bound UDP sockets 07.
    const QString suffix = QStringLiteral(":%1").arg(port, 4, 16, QLatin1Char('0')).toUpper();
    const QLatin1String state(transport == Transport::Tcp ? "0A" : "07");
    const char* tables[2][2] = {{"/proc/net/tcp", "/proc/net/tcp6"}, {"/proc/net/udp", "/proc/net/udp6"}};
    for (const char* table : tables[transport == Transport::Tcp ? 0 : 1]) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 3 && QString::fromLatin1(fields[1]).endsWith(suffix) && fields[3] == state)
                return true;
        }
    }
    return false;
}

} // namespace

bool waitUntilListening(int port, Transport transport, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!isListening(port, transport)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

QList<int> processesWith(const QStringList& words)
{
    QList<int> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric || pid == ::getpid())
            continue;
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> parts = file.readAll().split('\0');
        bool all = true;
        for (const QString& word : words)
            all = all && parts.contains(word.toUtf8());
        if (all)
            pids.append(pid);
    }
    return pids;
}

bool waitUntilGone(const QStringList& words, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!processesWith(words).isEmpty()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

QStringList descendantProcesses()
{
    // Parent of each process, from the field after the command name in /proc/<pid>/stat (the name
    // itself may hold blanks and parentheses, so it is read up to the last ')').
    QHash<int, int> parents;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!numeric || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = file.readAll();
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            parents.insert(pid, fields[1].toInt());
    }
    QStringList found;
    for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
        int ancestor = it.value();
        for (int depth = 0; ancestor > 1 && ancestor != ::getpid() && depth < 64; ++depth)
            ancestor = parents.value(ancestor, 0);
        if (ancestor != ::getpid())
            continue;
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(it.key()));
        QByteArray command = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        command.replace('\0', ' ');
        found << QStringLiteral("%1: %2").arg(it.key()).arg(QString::fromUtf8(command.trimmed()));
    }
    return found;
}

bool waitUntilNoChildren(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!descendantProcesses().isEmpty()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

bool runToEnd(const QStringList& command, const QString& workingDirectory)
{
    std::vector<std::string> words;
    for (const QString& word : command)
        words.push_back(word.toStdString());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string directory = workingDirectory.toStdString();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        if (directory.empty() || ::chdir(directory.c_str()) == 0)
            ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

LocalProcess::LocalProcess(const QString& program, const QStringList& arguments)
    : m_process(std::make_unique<QProcess>())
{
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    // A test process that dies takes its servers along.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process->start(program, arguments);
    m_process->waitForStarted();
}

LocalProcess::~LocalProcess()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

bool LocalProcess::waitForOutput(const QByteArray& text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (true) {
        m_output += m_process->readAllStandardOutput();
        if (m_output.contains(text))
            return true;
        if (deadline.hasExpired() || !m_process->waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
    }
    m_output += m_process->readAllStandardOutput();
    return m_output.contains(text);
}

} // namespace fnw::test
