#include "FNWEngineTestSupport.h"

#include "FNWTestSupport.h"

#include "base/FNWExecutableInstall.h"
#include "base/FNWNotifications.h"
#include "base/FNWUtils.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace fnw::test {

std::shared_ptr<FNWPresetBean> timedPreset(qint64 seconds, qint64 interval)
{
    auto preset = std::make_shared<FNWPresetBean>();
    preset->name = QStringLiteral("preset");
    preset->duration = seconds;
    preset->number_of_byte = -1;
    preset->time_interval = interval;
    preset->send_bw = -1;
    preset->buffer_length = -1;
    preset->tcp_window_size = -1;
    preset->tcp_max_segment_size = -1;
    return preset;
}

std::shared_ptr<TestBean> makeTest(std::shared_ptr<FNWPresetBean> preset, const QString& address, int port,
                                   qint64 order)
{
    auto agent = std::make_shared<FNWAgentBean>();
    agent->agent_name = QStringLiteral("agent");
    agent->ip_address = address;
    agent->port_number = port;
    auto test = std::make_shared<TestBean>();
    test->testOrder = order;
    test->testName = QStringLiteral("test");
    test->setPreset(std::move(preset));
    test->setAgent(std::move(agent));
    return test;
}

QStringList loopbackIperf3Arguments(int port)
{
    return {QStringLiteral("-s"), QStringLiteral("-B"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
            QString::number(port)};
}

void installExecutable(const QString& path, const QByteArray& content)
{
    QFile::remove(path);
    writeFile(path, content);
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
}

bool installWrappers()
{
    fnw::base::copyiPerfExecutableToAppSupportDir();
    return QFileInfo(FNWUtils::getiPerfExecutablePath()).isExecutable() &&
           QFileInfo(FNWUtils::getiPerf_2_ExecutablePath()).isExecutable();
}

ServerProcess::ServerProcess(const QString& program, const QStringList& arguments)
{
    std::vector<std::string> words{program.toStdString()};
    for (const QString& argument : arguments)
        words.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    m_pid = ::fork();
    if (m_pid == 0) {
        // A test process that dies takes its servers along.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
}

void ServerProcess::sendSignal(int signal)
{
    if (m_pid > 0)
        ::kill(m_pid, signal);
}

ServerProcess::~ServerProcess()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}

void RecordingRunDelegate::testDidFinished(const std::shared_ptr<PerfTest>&, const std::shared_ptr<TestBean>&)
{
    std::lock_guard lock(m_mutex);
    m_outcomes.push_back({true, {}});
}

void RecordingRunDelegate::testDidFailed(const std::shared_ptr<PerfTest>&, const std::shared_ptr<TestBean>&,
                                         const QString& failuerReason)
{
    std::lock_guard lock(m_mutex);
    m_outcomes.push_back({false, failuerReason});
}

std::vector<RecordingRunDelegate::Outcome> RecordingRunDelegate::outcomes() const
{
    std::lock_guard lock(m_mutex);
    return m_outcomes;
}

void RecordingManagerDelegate::willExecuteTest(const std::shared_ptr<TestExecutionBean>& execution)
{
    calls << QStringLiteral("will:%1").arg(execution->testBean_id);
}

void RecordingManagerDelegate::iperfShallExecutionFinishedForTest(const std::shared_ptr<TestExecutionBean>& execution)
{
    calls << QStringLiteral("done:%1:%2").arg(execution->testBean_id).arg(execution->executionStatus());
}

NotificationRecorder::NotificationRecorder()
{
    for (const char* name : {ShowWarningOnMainWindowNotification, AllTestProfileExecutionDidFinishedNotification,
                             TestProfileExecutionDidFinishedNotification, TestProfileExecutionDidFailedNotification}) {
        m_tokens.push_back(FNWNotificationCenter::defaultCenter().addObserver(
            QLatin1String(name), [this](const FNWNotification& notification) {
                std::lock_guard lock(m_mutex);
                m_posted.emplace_back(notification.name, notification.userInfo);
            }));
    }
}

QStringList NotificationRecorder::names() const
{
    std::lock_guard lock(m_mutex);
    QStringList names;
    for (const auto& [name, userInfo] : m_posted)
        names << name;
    return names;
}

std::vector<QVariantMap> NotificationRecorder::userInfosOf(const QString& name) const
{
    std::lock_guard lock(m_mutex);
    std::vector<QVariantMap> found;
    for (const auto& [posted, userInfo] : m_posted)
        if (posted == name)
            found.push_back(userInfo);
    return found;
}

bool NotificationRecorder::hasEndNotification() const
{
    const QStringList posted = names();
    return posted.contains(QLatin1String(TestProfileExecutionDidFinishedNotification)) ||
           posted.contains(QLatin1String(TestProfileExecutionDidFailedNotification));
}

} // namespace fnw::test
