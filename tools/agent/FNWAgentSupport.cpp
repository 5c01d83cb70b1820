#include "FNWAgentSupport.h"

#include <unistd.h>

#include <cerrno>

namespace fnw::agent {

void agentLog(const QString& message)
{
    const QByteArray line = "fenwave-agent: " + message.toUtf8() + '\n';
    const char* data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        left -= written;
    }
}

void FNWUniqueFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

} // namespace fnw::agent
