#pragma once

#include <QString>

#include <utility>

namespace fnw::agent {

// Writes "fenwave-agent: <message>" as one line on standard error. Callable from any thread; a
// line is written with one call, so lines of different threads never mix.
void agentLog(const QString& message);

// Owns a file descriptor and closes it.
class FNWUniqueFd final
{
public:
    FNWUniqueFd() = default;
    explicit FNWUniqueFd(int fd)
        : m_fd(fd)
    {
    }
    ~FNWUniqueFd() { reset(); }
    FNWUniqueFd(FNWUniqueFd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    FNWUniqueFd& operator=(FNWUniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_fd, -1));
        return *this;
    }
    FNWUniqueFd(const FNWUniqueFd&) = delete;
    FNWUniqueFd& operator=(const FNWUniqueFd&) = delete;

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

} // namespace fnw::agent
