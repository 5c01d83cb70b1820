#pragma once

#include "engine/FNWWiFiInfo.h"

#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace fnw::agent {

// "SSID:<name>$#$BSSID:<address>", ASCII only, in which the first "$#$" is always the separator.
QByteArray composeWiFiReply(const engine::FNWWiFiDetails& details);

// The reply to the Wi-Fi query, refreshed on a thread of its own: reading the details may wait on
// a slow system bus, which must not hold up the connections being served.
class FNWAgentWiFiSource final
{
public:
    using Reader = std::function<engine::FNWWiFiDetails()>;
    static constexpr std::chrono::milliseconds kRefreshInterval{5000};

    explicit FNWAgentWiFiSource(Reader reader = engine::currentWiFiDetails,
                                std::chrono::milliseconds interval = kRefreshInterval);
    ~FNWAgentWiFiSource();
    FNWAgentWiFiSource(const FNWAgentWiFiSource&) = delete;
    FNWAgentWiFiSource& operator=(const FNWAgentWiFiSource&) = delete;

    // Reads the details once, so the first reply is already right, then refreshes them.
    void start();
    void stop();
    QByteArray reply() const;

private:
    void refresh();

    const Reader m_reader;
    const std::chrono::milliseconds m_interval;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    // The first reading is logged even when it is empty.
    bool m_known = false;
    engine::FNWWiFiDetails m_details;
    QByteArray m_reply;
    std::thread m_thread;
};

} // namespace fnw::agent
