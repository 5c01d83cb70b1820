#include "FNWAgentWiFiSource.h"

#include "FNWAgentSupport.h"

namespace fnw::agent {

QByteArray composeWiFiReply(const engine::FNWWiFiDetails& details)
{
    QByteArray ssid = engine::wifi::printableAscii(details.ssid);
    // A '#' right after a '$' becomes '?'. Then "$#$" can neither occur inside the name nor run
    // across its end into the separator (a name ending in "$#"), and readers split at the first one.
    for (qsizetype i = 1; i < ssid.size(); ++i) {
        if (ssid[i] == '#' && ssid[i - 1] == '$')
            ssid[i] = '?';
    }
    return "SSID:" + ssid + "$#$BSSID:" + engine::wifi::printableAscii(details.bssid);
}

FNWAgentWiFiSource::FNWAgentWiFiSource(Reader reader, std::chrono::milliseconds interval)
    : m_reader(std::move(reader))
    , m_interval(interval)
    , m_reply(composeWiFiReply({}))
{
}

FNWAgentWiFiSource::~FNWAgentWiFiSource()
{
    stop();
}

void FNWAgentWiFiSource::start()
{
    if (m_thread.joinable())
        return;
    refresh();
    m_thread = std::thread([this] {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, m_interval, [this] { return m_stopping; })) {
            lock.unlock();
            refresh();
            lock.lock();
        }
    });
}

void FNWAgentWiFiSource::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

QByteArray FNWAgentWiFiSource::reply() const
{
    std::lock_guard lock(m_mutex);
    return m_reply;
}

void FNWAgentWiFiSource::refresh()
{
    const engine::FNWWiFiDetails details = m_reader();
    const QByteArray reply = composeWiFiReply(details);
    {
        std::lock_guard lock(m_mutex);
        if (m_known && details == m_details)
            return;
        m_known = true;
        m_details = details;
        m_reply = reply;
    }
    agentLog(details.isEmpty() ? QStringLiteral("Wi-Fi: not associated")
                               : QStringLiteral("Wi-Fi: SSID \"%1\", BSSID %2").arg(details.ssid, details.bssid));
}

} // namespace fnw::agent
