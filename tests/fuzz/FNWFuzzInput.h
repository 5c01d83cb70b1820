#pragma once

// Reads a fuzzer's bytes as the values a target needs; past the end every read gives zero or empty.

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <algorithm>

namespace fnw::fuzz {

class FuzzInput final
{
public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    bool empty() const { return m_offset >= m_size; }

    std::uint8_t byte() { return empty() ? 0 : m_data[m_offset++]; }

    template <typename T>
    T integer()
    {
        T value{};
        const std::size_t count = std::min(sizeof(T), m_size - std::min(m_offset, m_size));
        std::memcpy(&value, m_data + m_offset, count);
        m_offset += count;
        return value;
    }

    double real()
    {
        double value = 0;
        const std::size_t count = std::min(sizeof(double), m_size - std::min(m_offset, m_size));
        std::memcpy(&value, m_data + m_offset, count);
        m_offset += count;
        return value;
    }

    // Up to the next NUL byte (consumed) or the end.
    QByteArray bytes()
    {
        const std::size_t start = std::min(m_offset, m_size);
        std::size_t end = start;
        while (end < m_size && m_data[end] != 0)
            ++end;
        m_offset = end + 1;
        return QByteArray(reinterpret_cast<const char*>(m_data + start), static_cast<qsizetype>(end - start));
    }

    QString text() { return QString::fromUtf8(bytes()); }

    // Everything not read yet.
    QByteArray rest()
    {
        const std::size_t start = std::min(m_offset, m_size);
        m_offset = m_size;
        return QByteArray(reinterpret_cast<const char*>(m_data + start), static_cast<qsizetype>(m_size - start));
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
};

// A finding the sanitizers would not see: the fuzzer stops on it and keeps the input.
#define FNW_FUZZ_CHECK(condition)                                                                          \
    do {                                                                                                   \
        if (!(condition)) {                                                                                \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);       \
            std::abort();                                                                                  \
        }                                                                                                  \
    } while (false)

} // namespace fnw::fuzz
