#include "engine/FNWWiFiInfo.h"

#include <QList>
#include <QStringDecoder>
#include <QStringList>

#include <dbus/dbus.h>
#include <linux/wireless.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace fnw::engine {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kNetworkManager = "org.freedesktop.NetworkManager";
constexpr const char* kNetworkManagerPath = "/org/freedesktop/NetworkManager";
constexpr const char* kDeviceInterface = "org.freedesktop.NetworkManager.Device";
constexpr const char* kWirelessInterface = "org.freedesktop.NetworkManager.Device.Wireless";
constexpr const char* kAccessPointInterface = "org.freedesktop.NetworkManager.AccessPoint";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* kDefaultSystemBus = "unix:path=/var/run/dbus/system_bus_socket";
constexpr dbus_uint32_t kDeviceTypeWiFi = 2;
constexpr int kCallTimeoutMs = 1000;
// Steps of the authentication loop, so the deadline is checked often.
constexpr int kPollSlice = 100;
constexpr auto kBusBudget = 2500ms;

struct MessageUnref
{
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

struct ConnectionClose
{
    void operator()(DBusConnection* connection) const
    {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
};

class BusError final
{
public:
    BusError() { dbus_error_init(&m_error); }
    ~BusError() { dbus_error_free(&m_error); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;

    DBusError* get() { return &m_error; }
    bool is(const char* name) const { return dbus_error_has_name(&m_error, name); }

private:
    DBusError m_error;
};

// A private connection to the system bus with one deadline for all calls on it. A bus that missed
// one answer will not answer the next call soon either, so a time-out ends the conversation.
class SystemBus final
{
public:
    bool open()
    {
        static std::once_flag threadsOnce;
        std::call_once(threadsOnce, [] { dbus_threads_init_default(); });
        const char* configured = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        BusError error;
        DBusConnection* connection =
            dbus_connection_open_private(configured && *configured ? configured : kDefaultSystemBus, error.get());
        if (!connection)
            return false;
        m_connection.reset(connection);
        dbus_connection_set_exit_on_disconnect(connection, FALSE);
        // A blocking call waits for the authentication without any time-out, so the handshake is
        // driven here against the deadline first.
        const Clock::time_point handshakeEnd = Clock::now() + std::chrono::milliseconds(kCallTimeoutMs);
        while (!dbus_connection_get_is_authenticated(connection)) {
            const int remaining = std::min(remainingMilliseconds(), millisecondsUntil(handshakeEnd));
            if (remaining <= 0 || !dbus_connection_read_write(connection, std::min(remaining, kPollSlice)) ||
                !dbus_connection_get_is_connected(connection)) {
                m_failed = true;
                return false;
            }
        }
        // Greeting by hand: dbus_bus_register() would wait the library's default 25 s for the bus.
        return call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello") != nullptr;
    }

    // The reply, or null on an error reply, a time-out or a lost bus.
    Message call(const char* destination, const char* path, const char* interface, const char* method,
                 std::initializer_list<const char*> arguments = {})
    {
        const int remaining = remainingMilliseconds();
        if (!m_connection || m_failed || remaining <= 0) {
            m_failed = true;
            return {};
        }
        Message request(dbus_message_new_method_call(destination, path, interface, method));
        if (!request)
            return {};
        for (const char* argument : arguments) {
            if (!dbus_message_append_args(request.get(), DBUS_TYPE_STRING, &argument, DBUS_TYPE_INVALID))
                return {};
        }
        BusError error;
        Message reply(dbus_connection_send_with_reply_and_block(m_connection.get(), request.get(),
                                                                std::min(remaining, kCallTimeoutMs), error.get()));
        if (!reply && (error.is(DBUS_ERROR_NO_REPLY) || error.is(DBUS_ERROR_TIMEOUT) ||
                       !dbus_connection_get_is_connected(m_connection.get())))
            m_failed = true;
        return reply;
    }

    bool failed() const { return m_failed; }

private:
    static int millisecondsUntil(Clock::time_point end)
    {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
    }
    int remainingMilliseconds() const { return millisecondsUntil(m_deadline); }

    std::unique_ptr<DBusConnection, ConnectionClose> m_connection;
    const Clock::time_point m_deadline = Clock::now() + kBusBudget;
    bool m_failed = false;
};

// The value of an object's property, read with org.freedesktop.DBus.Properties.Get. The iterator
// points into the returned reply, which must outlive its use.
Message getProperty(SystemBus& bus, const std::string& path, const char* interface, const char* name,
                    DBusMessageIter* value)
{
    Message reply = bus.call(kNetworkManager, path.c_str(), kPropertiesInterface, "Get", {interface, name});
    DBusMessageIter iter;
    if (!reply || !dbus_message_iter_init(reply.get(), &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT)
        return {};
    dbus_message_iter_recurse(&iter, value);
    return reply;
}

std::optional<dbus_uint32_t> uintProperty(SystemBus& bus, const std::string& path, const char* interface,
                                          const char* name)
{
    DBusMessageIter value;
    const Message reply = getProperty(bus, path, interface, name, &value);
    if (!reply || dbus_message_iter_get_arg_type(&value) != DBUS_TYPE_UINT32)
        return std::nullopt;
    dbus_uint32_t number = 0;
    dbus_message_iter_get_basic(&value, &number);
    return number;
}

// A string or object-path property.
std::string textProperty(SystemBus& bus, const std::string& path, const char* interface, const char* name)
{
    DBusMessageIter value;
    const Message reply = getProperty(bus, path, interface, name, &value);
    const int type = reply ? dbus_message_iter_get_arg_type(&value) : DBUS_TYPE_INVALID;
    if (type != DBUS_TYPE_STRING && type != DBUS_TYPE_OBJECT_PATH)
        return {};
    const char* text = nullptr;
    dbus_message_iter_get_basic(&value, &text);
    return text ? text : "";
}

QByteArray bytesProperty(SystemBus& bus, const std::string& path, const char* interface, const char* name)
{
    DBusMessageIter value;
    const Message reply = getProperty(bus, path, interface, name, &value);
    if (!reply || dbus_message_iter_get_arg_type(&value) != DBUS_TYPE_ARRAY ||
        dbus_message_iter_get_element_type(&value) != DBUS_TYPE_BYTE)
        return {};
    DBusMessageIter array;
    dbus_message_iter_recurse(&value, &array);
    const char* bytes = nullptr;
    int length = 0;
    dbus_message_iter_get_fixed_array(&array, &bytes, &length);
    return QByteArray(bytes, length);
}

std::vector<std::string> objectPaths(DBusMessage* reply)
{
    std::vector<std::string> paths;
    DBusMessageIter iter;
    if (!dbus_message_iter_init(reply, &iter) || dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY)
        return paths;
    DBusMessageIter array;
    dbus_message_iter_recurse(&iter, &array);
    while (dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_OBJECT_PATH) {
        const char* path = nullptr;
        dbus_message_iter_get_basic(&array, &path);
        paths.emplace_back(path);
        dbus_message_iter_next(&array);
    }
    return paths;
}

// Empty when NetworkManager does not run or knows of no associated Wi-Fi device.
FNWWiFiDetails networkManagerDetails()
{
    SystemBus bus;
    if (!bus.open())
        return {};
    // NameHasOwner rather than a call to NetworkManager itself, which could start it by activation.
    const Message owner =
        bus.call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "NameHasOwner", {kNetworkManager});
    dbus_bool_t running = FALSE;
    if (!owner || !dbus_message_get_args(owner.get(), nullptr, DBUS_TYPE_BOOLEAN, &running, DBUS_TYPE_INVALID) ||
        !running)
        return {};
    const Message devices = bus.call(kNetworkManager, kNetworkManagerPath, kNetworkManager, "GetDevices");
    if (!devices)
        return {};
    for (const std::string& device : objectPaths(devices.get())) {
        if (bus.failed())
            break;
        if (uintProperty(bus, device, kDeviceInterface, "DeviceType") != kDeviceTypeWiFi)
            continue;
        const std::string accessPoint = textProperty(bus, device, kWirelessInterface, "ActiveAccessPoint");
        if (accessPoint.empty() || accessPoint == "/")
            continue;
        FNWWiFiDetails details;
        details.ssid = wifi::decodeSsid(bytesProperty(bus, accessPoint, kAccessPointInterface, "Ssid"));
        details.bssid = wifi::normalizeMacAddress(
            QString::fromStdString(textProperty(bus, accessPoint, kAccessPointInterface, "HwAddress")));
        if (!details.isEmpty())
            return details;
    }
    return {};
}

class ScopedFd final
{
public:
    explicit ScopedFd(int fd)
        : m_fd(fd)
    {
    }
    ~ScopedFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Drivers report these instead of an access point while not associated.
bool isAssociated(const unsigned char* address)
{
    const auto all = [address](unsigned char value) {
        return std::all_of(address, address + 6, [value](unsigned char byte) { return byte == value; });
    };
    return !all(0x00) && !all(0xFF) && !all(0x44);
}

// The first associated interface that has /sys/class/net/<name>/wireless, through SIOCGIWAP and
// SIOCGIWESSID. An interface that is not associated may still report the network it looks for, so
// the name only counts beside an access point.
FNWWiFiDetails wirelessExtensionsDetails()
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::directory_iterator entry(fs::path("/sys/class/net"), error);
    if (error)
        return {};
    const ScopedFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
        return {};
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        std::error_code ignored;
        if (name.size() >= IFNAMSIZ || !fs::exists(entry->path() / "wireless", ignored))
            continue;

        iwreq apRequest{};
        std::memcpy(apRequest.ifr_name, name.c_str(), name.size());
        if (::ioctl(socket.get(), SIOCGIWAP, &apRequest) != 0)
            continue;
        const auto* address = reinterpret_cast<const unsigned char*>(apRequest.u.ap_addr.sa_data);
        if (!isAssociated(address))
            continue;

        FNWWiFiDetails details;
        details.bssid = wifi::formatMacAddress(address, 6);
        char essid[IW_ESSID_MAX_SIZE + 1] = {};
        iwreq essidRequest{};
        std::memcpy(essidRequest.ifr_name, name.c_str(), name.size());
        essidRequest.u.essid.pointer = essid;
        essidRequest.u.essid.length = sizeof essid;
        if (::ioctl(socket.get(), SIOCGIWESSID, &essidRequest) == 0)
            details.ssid =
                wifi::decodeSsid(QByteArray(essid, std::min<int>(essidRequest.u.essid.length, IW_ESSID_MAX_SIZE)));
        return details;
    }
    return {};
}

} // namespace

FNWWiFiDetails currentWiFiDetails()
{
    FNWWiFiDetails details;
    {
        // libdbus is thread-safe, but its process-wide caches synchronise through atomics that
        // ThreadSanitizer cannot see. Calls are rare, so one bus conversation at a time costs nothing.
        static std::mutex busMutex;
        const std::lock_guard lock(busMutex);
        details = networkManagerDetails();
    }
    // NetworkManager first; Wi-Fi it does not manage is still seen through the driver.
    return details.isEmpty() ? wirelessExtensionsDetails() : details;
}

namespace wifi {

QString formatMacAddress(const unsigned char* bytes, std::size_t length)
{
    if (!bytes || length != 6)
        return {};
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(17);
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0)
            text.append(QLatin1Char(':'));
        text.append(QLatin1Char(kDigits[bytes[i] >> 4]));
        text.append(QLatin1Char(kDigits[bytes[i] & 0x0F]));
    }
    return text;
}

QString normalizeMacAddress(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QStringList parts = trimmed.split(trimmed.contains(QLatin1Char('-')) ? QLatin1Char('-') : QLatin1Char(':'));
    if (parts.size() != 6)
        return {};
    unsigned char bytes[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok, 16);
        if (!ok || parts[i].size() != 2)
            return {};
        bytes[i] = static_cast<unsigned char>(value);
    }
    return formatMacAddress(bytes, 6);
}

QString decodeSsid(const QByteArray& bytes)
{
    QByteArray trimmed = bytes;
    while (!trimmed.isEmpty() && trimmed.back() == '\0')
        trimmed.chop(1);
    // Stateless, so a sequence cut at the end counts as invalid instead of waiting for more bytes.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(trimmed);
    return decoder.hasError() ? QString::fromLatin1(trimmed) : text;
}

QByteArray printableAscii(const QString& text)
{
    QByteArray ascii;
    ascii.reserve(text.size());
    // By code point, so a character outside the basic plane becomes one '?', not two.
    for (const uint codePoint : text.toUcs4())
        ascii.append(codePoint >= 0x20 && codePoint <= 0x7E ? static_cast<char>(codePoint) : '?');
    return ascii;
}

} // namespace wifi

} // namespace fnw::engine
