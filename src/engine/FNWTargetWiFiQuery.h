#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace fnw::engine {

// The agent answers "EP_WiFi_Info\r\n" on this port with its own Wi-Fi network.
inline constexpr int kTargetWiFiPort = 5208;
inline constexpr int kTargetWiFiConnectTimeoutSeconds = 5;
// A silent agent must not hold the query's thread forever.
inline constexpr int kTargetWiFiReceiveTimeoutSeconds = 5;

struct FNWTargetWiFiReply
{
    QString ssid;
    // Upper case; nothing is trimmed, so a trailing line end stays part of it.
    QString bssid;
    bool operator==(const FNWTargetWiFiReply&) const = default;
};

// "<5-character prefix><name>$#$<6-character prefix><bssid>[$#$...]". Nothing to store for an
// empty reply or one without the separator; a part shorter than its prefix gives empty text.
std::optional<FNWTargetWiFiReply> parseTargetWiFiReply(const QByteArray& reply);

// Connects (at most connectTimeout), sends the request once, reads one reply of at most 1024
// bytes (waiting at most receiveTimeout) and parses it. Logs what happened; never throws.
std::optional<FNWTargetWiFiReply> queryTargetWiFiDetails(const QString& address, int port = kTargetWiFiPort,
                                                         int connectTimeoutSeconds = kTargetWiFiConnectTimeoutSeconds,
                                                         int receiveTimeoutSeconds = kTargetWiFiReceiveTimeoutSeconds);

} // namespace fnw::engine
