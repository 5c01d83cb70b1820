#pragma once

#include <QString>

#include <cstddef>

// A small blocking TCP client. Every call answers with its outcome; nothing raises SIGPIPE.
class FastSocket final
{
public:
    FastSocket(const QString& host, const QString& port);
    ~FastSocket();
    FastSocket(const FastSocket&) = delete;
    FastSocket& operator=(const FastSocket&) = delete;

    // Resolves host and port and connects, giving up after the time-out. Once connected the
    // socket has TCP no-delay and a receive buffer of 362 pages.
    bool connect(int timeoutSeconds);
    // Every byte or false.
    bool sendBytes(const void* bytes, std::size_t count);
    // One receive call: the number of bytes read, 0 when the peer closed, negative on an error or
    // when the receive time-out passed.
    long receiveBytes(void* buffer, std::size_t limit);
    // 0 waits forever.
    bool setReceiveTimeout(int seconds);
    bool isConnected() const;
    void close();
    // The last failure, for the log.
    QString lastError() const { return m_lastError; }

private:
    const QString m_host;
    const QString m_port;
    int m_fd = -1;
    bool m_connected = false;
    QString m_lastError;
};
