// NetworkManager as FNWWiFiInfo sees it over the bus given as the argument: a wired device, then
// a Wi-Fi device with an access point. Prints "ready" once it owns the name, then serves until
// the bus goes away or the process is terminated.

#include <dbus/dbus.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const kAccessPoint = "/ap/1";

void answer(DBusConnection* connection, DBusMessage* call)
{
    if (dbus_message_get_type(call) != DBUS_MESSAGE_TYPE_METHOD_CALL)
        return;
    const std::string path = dbus_message_get_path(call);
    const std::string method = dbus_message_get_member(call);
    const char* interface = "";
    const char* name = "";
    dbus_message_get_args(call, nullptr, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
    const std::string property = std::string(interface) + "." + name;

    DBusMessage* reply = dbus_message_new_method_return(call);
    DBusMessageIter iter, variant, array;
    dbus_message_iter_init_append(reply, &iter);
    const auto variantOf = [&](int type, const char* signature, const void* value) {
        dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, signature, &variant);
        dbus_message_iter_append_basic(&variant, type, value);
        dbus_message_iter_close_container(&iter, &variant);
    };
    const dbus_uint32_t ethernet = 1, wifi = 2;
    const char* ssid = "Caf\xc3\xa9 $#$";
    const char* bssid = "0a:1b:2c:3d:4e:5f";
    if (method == "GetDevices") {
        const char* devices[] = {"/dev/eth", "/dev/wlan"};
        dbus_message_iter_open_container(&iter, DBUS_TYPE_ARRAY, "o", &array);
        for (const char*& device : devices)
            dbus_message_iter_append_basic(&array, DBUS_TYPE_OBJECT_PATH, &device);
        dbus_message_iter_close_container(&iter, &array);
    } else if (property == "org.freedesktop.NetworkManager.Device.DeviceType") {
        variantOf(DBUS_TYPE_UINT32, "u", path == "/dev/wlan" ? &wifi : &ethernet);
    } else if (path == "/dev/wlan" && property == "org.freedesktop.NetworkManager.Device.Wireless.ActiveAccessPoint") {
        variantOf(DBUS_TYPE_OBJECT_PATH, "o", &kAccessPoint);
    } else if (path == kAccessPoint && property == "org.freedesktop.NetworkManager.AccessPoint.HwAddress") {
        variantOf(DBUS_TYPE_STRING, "s", &bssid);
    } else if (path == kAccessPoint && property == "org.freedesktop.NetworkManager.AccessPoint.Ssid") {
        dbus_message_iter_open_container(&iter, DBUS_TYPE_VARIANT, "ay", &variant);
        dbus_message_iter_open_container(&variant, DBUS_TYPE_ARRAY, "y", &array);
        dbus_message_iter_append_fixed_array(&array, DBUS_TYPE_BYTE, &ssid, static_cast<int>(std::strlen(ssid)));
        dbus_message_iter_close_container(&variant, &array);
        dbus_message_iter_close_container(&iter, &variant);
    } else {
        dbus_message_unref(reply);
        reply = dbus_message_new_error(call, "org.freedesktop.DBus.Error.UnknownProperty", property.c_str());
    }
    dbus_connection_send(connection, reply, nullptr);
    dbus_message_unref(reply);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    DBusConnection* connection = dbus_connection_open_private(argv[1], nullptr);
    if (!connection || !dbus_bus_register(connection, nullptr) ||
        dbus_bus_request_name(connection, "org.freedesktop.NetworkManager", 0, nullptr) !=
            DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        std::fputs("cannot own org.freedesktop.NetworkManager\n", stderr);
        return 1;
    }
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    while (dbus_connection_read_write(connection, -1)) {
        while (DBusMessage* message = dbus_connection_pop_message(connection)) {
            answer(connection, message);
            dbus_message_unref(message);
        }
    }
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    return 0;
}
