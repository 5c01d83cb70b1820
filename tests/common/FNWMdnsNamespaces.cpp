#include "FNWMdnsNamespaces.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

extern char** environ;

namespace fnw::test {

namespace {

// Namespaces are "fnwm<pid>-<serial>a" and "...b", temporary folders "fnwm-<pid>-XXXXXX".
const QLatin1String Prefix("fnwm");

// ip and avahi-daemon live in sbin, which a test's PATH may lack.
QString findProgram(const QString& name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return !found.isEmpty()
               ? found
               : QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}

// Starts a command with fork and exec, not QProcess: under ThreadSanitizer a QProcess started while
// the test has threads makes the test die at its next new thread. Output goes to the descriptor, the
// bus (if any) is its system bus. Given a namespace file, it runs in that network namespace and in a
// mount namespace of its own where /run is an empty tmpfs, so that its pid file and socket stay out
// of the host's /run, and so is /etc/avahi/services, so that it publishes nothing of the host's.
int spawn(const QStringList& command, int output, const QString& busAddress = {}, const QString& netnsFile = {})
{
    std::vector<std::string> words, environment;
    for (const QString& word : command)
        words.push_back(word.toStdString());
    for (char** entry = environ; *entry; ++entry)
        if (!QByteArray(*entry).startsWith("DBUS_SYSTEM_BUS_ADDRESS="))
            environment.emplace_back(*entry);
    if (!busAddress.isEmpty())
        environment.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + busAddress.toStdString());
    std::vector<char*> argv, envp;
    for (std::string& word : words)
        argv.push_back(word.data());
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int netns = netnsFile.isEmpty() ? -1 : ::open(QFile::encodeName(netnsFile).constData(), O_RDONLY | O_CLOEXEC);
    const pid_t parent = ::getpid();
    const pid_t pid = (null < 0 || output < 0 || (!netnsFile.isEmpty() && netns < 0)) ? -1 : ::fork();
    if (pid == 0) {
        // A test process that dies takes its daemons along.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(126);
        ::dup2(null, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
        ::dup2(output, STDERR_FILENO);
        if (netns >= 0) {
            if (::setns(netns, CLONE_NEWNET) != 0 || ::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", "/run", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0) {
                const char message[] = "could not enter the namespaces\n";
                (void)!::write(STDERR_FILENO, message, sizeof message - 1);
                ::_exit(126);
            }
            ::mount("tmpfs", "/etc/avahi/services", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755");
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    for (int fd : {null, netns})
        if (fd >= 0)
            ::close(fd);
    return pid;
}

// A daemon whose output is appended to the log.
int startDaemon(const QStringList& command, const QString& logPath, const QString& busAddress = {},
                const QString& netnsFile = {})
{
    const int log = ::open(QFile::encodeName(logPath).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int pid = spawn(command, log, busAddress, netnsFile);
    if (log >= 0)
        ::close(log);
    return pid;
}

// Runs a command to its end: its exit code, -1 if it could not run or took more than 5 s.
int run(const QStringList& command, QByteArray* output = nullptr)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return -1;
    const int pid = spawn(QStringList{findProgram(command.first())} + command.mid(1), pipe[1]);
    ::close(pipe[1]);
    QByteArray text;
    QDeadlineTimer deadline(5000);
    while (pid > 0) {
        pollfd readable{pipe[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR)
            continue;
        char buffer[4096];
        const ssize_t length = ready > 0 ? ::read(pipe[0], buffer, sizeof buffer) : 0;
        if (length <= 0)
            break;
        text.append(buffer, length);
    }
    ::close(pipe[0]);
    int status = 0;
    if (pid > 0 && deadline.hasExpired())
        ::kill(pid, SIGKILL);
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reaps the child if it has ended: true then, and pid is -1.
bool reaped(int& pid)
{
    if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0)
        return false;
    pid = -1;
    return true;
}

// SIGTERM, then SIGKILL after the grace; reaped either way.
void stopProcess(int& pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    QDeadlineTimer grace(3000);
    while (!reaped(pid)) {
        if (grace.hasExpired()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
        QThread::msleep(10);
    }
}

// Calls the method on the bus's object "/" until its reply holds the text; false after the deadline,
// or as soon as the daemon (if given) has ended.
bool waitForReply(const QString& busAddress, const QString& destination, const QString& method, const QByteArray& text,
                  int* pid = nullptr, const QStringList& arguments = {})
{
    QStringList command{QStringLiteral("dbus-send"),
                        QStringLiteral("--bus=%1").arg(busAddress),
                        QStringLiteral("--print-reply"),
                        QStringLiteral("--reply-timeout=1000"),
                        QStringLiteral("--dest=%1").arg(destination),
                        QStringLiteral("/"),
                        method};
    command += arguments;
    QDeadlineTimer deadline(10000);
    for (QByteArray reply; run(command, &reply) != 0 || !reply.contains(text);) {
        if (deadline.hasExpired() || (pid && reaped(*pid)))
            return false;
        QThread::msleep(20);
    }
    return true;
}

// Unchecked: a daemon without its configuration does not start, and its log says why.
void writeText(const QString& path, const QString& text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8());
}

QString logTail(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll().right(600)).trimmed() : QString();
}

} // namespace

MdnsNamespaces::MdnsNamespaces() = default;

std::unique_ptr<MdnsNamespaces> MdnsNamespaces::create(QString* whyNot)
{
    QString reason;
    std::unique_ptr<MdnsNamespaces> network(new MdnsNamespaces);
    if (::geteuid() != 0)
        reason = QStringLiteral("network namespaces need root");
    for (const char* name : {"ip", "dbus-daemon", "dbus-send", "avahi-daemon"})
        if (reason.isEmpty() && findProgram(QLatin1String(name)).isEmpty())
            reason = QStringLiteral("%1 is not installed").arg(QLatin1String(name));
    if (reason.isEmpty() && run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("list")}) != 0)
        reason = QStringLiteral("`ip netns` does not work here");
    if (reason.isEmpty()) {
        removeLeftovers();
        if (network->build())
            return network;
        reason = network->m_whyNot;
    }
    if (whyNot)
        *whyNot = reason;
    return nullptr;
}

bool MdnsNamespaces::build()
{
    static std::atomic<int> serial{0};
    const int number = serial++;
    m_dir = std::make_unique<QTemporaryDir>(
        QStringLiteral("%1/%2-%3-XXXXXX").arg(QDir::tempPath(), Prefix).arg(::getpid()));
    if (!m_dir->isValid()) {
        m_whyNot = QStringLiteral("no temporary folder: ") + m_dir->errorString();
        return false;
    }
    // The two hosts see nothing but each other, so the subnet only has to tell instances apart to a person.
    const int subnet = (::getpid() * 2 + number) % 256;
    for (int index = 0; index < 2; ++index) {
        const QChar letter = QLatin1Char("ab"[index]);
        Host& host = m_hosts[index];
        host.netns = QStringLiteral("%1%2-%3").arg(Prefix).arg(::getpid()).arg(number) + letter;
        host.interfaceName = host.netns;
        host.address = QStringLiteral("10.208.%1.%2").arg(subnet).arg(index + 1);
        m_folders[index] = m_dir->filePath(QString(letter));
        host.busAddress = QStringLiteral("unix:path=") + m_folders[index] + QStringLiteral("/bus");
        QDir().mkpath(m_folders[index]);
    }

    auto step = [this](const QString& command) {
        QByteArray output;
        if (run(command.split(QLatin1Char(' ')), &output) == 0)
            return true;
        m_whyNot = QStringLiteral("`%1` failed: %2").arg(command, QString::fromUtf8(output).trimmed());
        return false;
    };
    for (int index = 0; index < 2; ++index) {
        if (!step(QStringLiteral("ip netns add ") + m_hosts[index].netns))
            return false;
        m_madeNetns[index] = true;
    }
    // Each veth end is made right inside its namespace, so neither shows up in the host's.
    if (!step(QStringLiteral("ip link add %1 netns %1 type veth peer name %2 netns %2")
                  .arg(m_hosts[0].netns, m_hosts[1].netns)))
        return false;
    for (const Host& host : m_hosts) {
        const QString ip = QStringLiteral("ip -n ") + host.netns;
        if (!step(ip + QStringLiteral(" addr add %1/24 dev %2").arg(host.address, host.interfaceName)) ||
            !step(ip + QStringLiteral(" link set %1 multicast on up").arg(host.interfaceName)) ||
            !step(ip + QStringLiteral(" link set lo up")))
            return false;
    }
    // The daemons probe their host names at the same time: that takes most of a second.
    return startBus(0) && startBus(1) && launchAvahi(0) && launchAvahi(1) && awaitAvahi(0) && awaitAvahi(1);
}

bool MdnsNamespaces::startBus(int index)
{
    // Anyone may own any name and send anything to anyone: this bus serves one test only.
    const QString config = m_folders[index] + QStringLiteral("/bus.conf");
    const QString log = m_folders[index] + QStringLiteral("/dbus-daemon.log");
    writeText(config, QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>custom</type>
  <listen>unix:path=%1/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)")
                          .arg(m_folders[index].toHtmlEscaped()));
    m_busPids[index] = startDaemon({findProgram(QStringLiteral("dbus-daemon")), QStringLiteral("--nofork"),
                                    QStringLiteral("--nopidfile"), QStringLiteral("--config-file=") + config},
                                   log);
    if (waitForReply(m_hosts[index].busAddress, QStringLiteral("org.freedesktop.DBus"),
                     QStringLiteral("org.freedesktop.DBus.GetId"), "string", &m_busPids[index]))
        return true;
    m_whyNot = QStringLiteral("dbus-daemon did not answer: ") + logTail(log);
    return false;
}

bool MdnsNamespaces::startAvahi(int index)
{
    return launchAvahi(index) && awaitAvahi(index);
}

bool MdnsNamespaces::launchAvahi(int index)
{
    const Host& host = m_hosts[index];
    const QString config = m_folders[index] + QStringLiteral("/avahi-daemon.conf");
    if (m_avahiPids[index] > 0 || m_busPids[index] <= 0) {
        m_whyNot = QStringLiteral("avahi-daemon is running already, or its bus is not");
        return false;
    }
    writeText(config, QStringLiteral("[server]\nhost-name=%1\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=%2\n"
                                     "enable-dbus=yes\nratelimit-interval-usec=1000000\nratelimit-burst=1000\n"
                                     "[wide-area]\nenable-wide-area=no\n"
                                     "[publish]\npublish-hinfo=no\npublish-workstation=no\n"
                                     "[reflector]\nenable-reflector=no\n[rlimits]\n")
                          .arg(host.netns, host.interfaceName));
    m_avahiPids[index] = startDaemon({findProgram(QStringLiteral("avahi-daemon")), QStringLiteral("--no-drop-root"),
                                      QStringLiteral("--no-chroot"), QStringLiteral("--no-proc-title"),
                                      QStringLiteral("--no-rlimits"), QStringLiteral("-f"), config},
                                     m_folders[index] + QStringLiteral("/avahi-daemon.log"), host.busAddress,
                                     QStringLiteral("/run/netns/") + host.netns);
    if (m_avahiPids[index] > 0)
        return true;
    m_whyNot = QStringLiteral("could not start avahi-daemon");
    return false;
}

bool MdnsNamespaces::awaitAvahi(int index)
{
    // State 2 is AVAHI_SERVER_RUNNING: the host name is established and services can be browsed.
    if (waitForReply(m_hosts[index].busAddress, QStringLiteral("org.freedesktop.Avahi"),
                     QStringLiteral("org.freedesktop.Avahi.Server.GetState"), "int32 2", &m_avahiPids[index]))
        return true;
    m_whyNot = QStringLiteral("avahi-daemon did not come up: ") +
               logTail(m_folders[index] + QStringLiteral("/avahi-daemon.log"));
    stopProcess(m_avahiPids[index]);
    return false;
}

bool MdnsNamespaces::stopAvahi(int index)
{
    if (m_avahiPids[index] <= 0)
        return false;
    stopProcess(m_avahiPids[index]);
    return waitForReply(m_hosts[index].busAddress, QStringLiteral("org.freedesktop.DBus"),
                        QStringLiteral("org.freedesktop.DBus.NameHasOwner"), "boolean false", nullptr,
                        {QStringLiteral("string:org.freedesktop.Avahi")});
}

MdnsNamespaces::~MdnsNamespaces()
{
    for (int& pid : m_avahiPids)
        stopProcess(pid);
    for (int& pid : m_busPids)
        stopProcess(pid);
    // Deleting a namespace removes its veth end, and with it the other.
    for (int index = 0; index < 2; ++index)
        if (m_madeNetns[index])
            run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("del"), m_hosts[index].netns});
}

void MdnsNamespaces::removeLeftovers()
{
    // Names hold the pid of the test process that made them.
    const QRegularExpression netnsName(QStringLiteral("^%1(\\d+)-\\d+[ab]$").arg(Prefix));
    const QRegularExpression folderName(QStringLiteral("^%1-(\\d+)-\\w+$").arg(Prefix));
    auto isStale = [](const QRegularExpression& pattern, const QString& name) {
        const QRegularExpressionMatch match = pattern.match(name);
        return match.hasMatch() && !QFileInfo::exists(QStringLiteral("/proc/") + match.captured(1));
    };
    QByteArray list;
    run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("list")}, &list);
    for (const QByteArray& line : list.split('\n')) {
        const QString netns = QString::fromUtf8(line).section(QLatin1Char(' '), 0, 0);
        if (isStale(netnsName, netns))
            run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("del"), netns});
    }
    for (const QString& folder : QDir::temp().entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (isStale(folderName, folder))
            QDir(QDir::temp().filePath(folder)).removeRecursively();
}

const MdnsNamespaces::Host& MdnsNamespaces::host(int index) const
{
    Q_ASSERT(index == 0 || index == 1);
    return m_hosts[index];
}

QStringList MdnsNamespaces::commandIn(int index, const QString& program, const QStringList& arguments) const
{
    QStringList command{findProgram(QStringLiteral("ip")),
                        QStringLiteral("netns"),
                        QStringLiteral("exec"),
                        host(index).netns,
                        QStringLiteral("env"),
                        QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS=%1").arg(host(index).busAddress),
                        program};
    return command + arguments;
}

} // namespace fnw::test
