#include "engine/FastSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Waits for the non-blocking connect of fd to complete; 0 on success, else the error number.
int waitForConnect(int fd, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return ETIMEDOUT;
        pollfd entry{fd, POLLIN | POLLOUT, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return errno;
        if (ready == 0)
            return ETIMEDOUT;
        int pending = 0;
        socklen_t length = sizeof pending;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &length) != 0)
            return errno;
        return pending;
    }
}

} // namespace

FastSocket::FastSocket(const QString& host, const QString& port)
    : m_host(host)
    , m_port(port)
{
}

FastSocket::~FastSocket()
{
    close();
}

bool FastSocket::connect(int timeoutSeconds)
{
    close();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* addresses = nullptr;
    const int resolved = ::getaddrinfo(m_host.toUtf8().constData(), m_port.toUtf8().constData(), &hints, &addresses);
    if (resolved != 0) {
        m_lastError = QString::fromLocal8Bit(::gai_strerror(resolved));
        return false;
    }

    for (const addrinfo* address = addresses; address != nullptr && !m_connected; address = address->ai_next) {
        const int fd =
            ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, address->ai_protocol);
        if (fd < 0) {
            m_lastError = systemError(errno);
            continue;
        }
        int error = 0;
        if (::connect(fd, address->ai_addr, address->ai_addrlen) != 0)
            error = errno == EINPROGRESS ? waitForConnect(fd, deadline) : errno;
        if (error != 0) {
            m_lastError = systemError(error);
            ::close(fd);
            continue;
        }
        // Back to blocking for the exchange.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const int receiveBuffer = 362 * static_cast<int>(::sysconf(_SC_PAGESIZE));
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        m_fd = fd;
        m_connected = true;
    }
    ::freeaddrinfo(addresses);
    return m_connected;
}

bool FastSocket::sendBytes(const void* bytes, std::size_t count)
{
    const auto* cursor = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t sent = ::send(m_fd, cursor, count, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0) {
            m_lastError = systemError(errno);
            return false;
        }
        cursor += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return true;
}

long FastSocket::receiveBytes(void* buffer, std::size_t limit)
{
    for (;;) {
        const ssize_t received = ::recv(m_fd, buffer, limit, 0);
        if (received < 0 && errno == EINTR)
            continue;
        if (received < 0)
            m_lastError = systemError(errno);
        return static_cast<long>(received);
    }
}

bool FastSocket::setReceiveTimeout(int seconds)
{
    timeval timeout{seconds, 0};
    return m_fd >= 0 && ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) == 0;
}

bool FastSocket::isConnected() const
{
    return m_connected;
}

void FastSocket::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_connected = false;
}
