#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

namespace fnw::engine {

// This computer's Wi-Fi network: both values are empty without Wi-Fi or without association.
struct FNWWiFiDetails
{
    QString ssid;
    // The access point's address, upper case: "AA:BB:CC:DD:EE:FF".
    QString bssid;

    bool isEmpty() const { return ssid.isEmpty() && bssid.isEmpty(); }
    bool operator==(const FNWWiFiDetails&) const = default;
};

// Asks NetworkManager over the system bus when it runs, else the wireless-extensions ioctls of
// the wireless interfaces. Callable from any thread. Every bus call waits at most a second and the
// bus as a whole a few seconds, so a hung bus delays the caller but never stalls it.
FNWWiFiDetails currentWiFiDetails();

namespace wifi {

// "AA:BB:CC:DD:EE:FF"; empty unless given exactly six bytes.
QString formatMacAddress(const unsigned char* bytes, std::size_t length);
// "aa:bb:cc:dd:ee:ff" (or with '-') in the upper-case form above; empty when it is no MAC address.
QString normalizeMacAddress(const QString& text);
// The network name from its raw bytes: UTF-8 when valid, else one character per byte (Latin-1).
// Trailing NULs, which some drivers count in the length, are dropped.
QString decodeSsid(const QByteArray& bytes);
// ASCII text for the wire: every character outside printable ASCII (0x20..0x7E) becomes '?'.
QByteArray printableAscii(const QString& text);

} // namespace wifi

} // namespace fnw::engine
