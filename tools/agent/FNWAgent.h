#pragma once

#include "FNWAgentConfig.h"
#include "FNWAgentWiFiSource.h"

#include <QObject>

#include <chrono>
#include <memory>
#include <vector>

namespace fnw::agent {

class FNWAgentAnnouncer;
class FNWAgentIperfServer;
class FNWAgentWiFiServer;

// The companion server: three supervised iperf servers, the Wi-Fi query and the mDNS
// announcement, all on the calling thread's event loop.
class FNWAgent final : public QObject
{
public:
    // How long the servers get to end on SIGTERM before they are killed.
    static constexpr std::chrono::milliseconds kStopGrace{2000};

    explicit FNWAgent(FNWAgentConfig config, QObject* parent = nullptr);
    ~FNWAgent() override;

    // Finds the tools, listens for the Wi-Fi query and starts the servers. False, with the
    // reason logged, when the agent cannot run; nothing is left running then.
    bool start();
    // Ends every server (SIGTERM, SIGKILL after the grace time) and closes the sockets.
    void stop();

    const FNWAgentConfig& config() const { return m_config; }

private:
    FNWAgentConfig m_config;
    FNWAgentWiFiSource m_wifiSource;
    std::unique_ptr<FNWAgentWiFiServer> m_wifiServer;
    std::vector<std::unique_ptr<FNWAgentIperfServer>> m_iperfServers;
    std::unique_ptr<FNWAgentAnnouncer> m_announcer;
};

} // namespace fnw::agent
