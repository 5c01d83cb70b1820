#include "engine/FNWTargetWiFiQuery.h"

#include "engine/FastSocket.h"
#include "support/DDLog.h"

#include <QStringList>

namespace fnw::engine {

namespace {

constexpr char kRequest[] = "EP_WiFi_Info\r\n";
constexpr int kReplyLimit = 1024;

QString partAfterPrefix(const QString& part, int prefixLength)
{
    return part.size() > prefixLength ? part.mid(prefixLength) : QString(QLatin1String(""));
}

} // namespace

std::optional<FNWTargetWiFiReply> parseTargetWiFiReply(const QByteArray& reply)
{
    // The agents answer in ASCII; any other byte is taken one character per byte.
    const QString text = QString::fromLatin1(reply);
    if (text.isEmpty())
        return std::nullopt;
    const QStringList parts = text.split(QStringLiteral("$#$"));
    if (parts.size() < 2)
        return std::nullopt;
    return FNWTargetWiFiReply{partAfterPrefix(parts[0], 5), partAfterPrefix(parts[1], 6).toUpper()};
}

std::optional<FNWTargetWiFiReply> queryTargetWiFiDetails(const QString& address, int port, int connectTimeoutSeconds,
                                                         int receiveTimeoutSeconds)
{
    FastSocket socket(address, QString::number(port));
    if (!socket.connect(connectTimeoutSeconds)) {
        DDLogError("unable to connect to server...");
        return std::nullopt;
    }
    std::optional<FNWTargetWiFiReply> result;
    socket.setReceiveTimeout(receiveTimeoutSeconds);
    if (socket.sendBytes(kRequest, sizeof kRequest - 1)) {
        QByteArray reply(kReplyLimit, Qt::Uninitialized);
        const long received = socket.receiveBytes(reply.data(), static_cast<std::size_t>(reply.size()));
        if (received >= 0) {
            reply.truncate(static_cast<qsizetype>(received));
            result = parseTargetWiFiReply(reply);
            DDLogInfo("Response is:%@", QString::fromLatin1(reply));
        } else {
            DDLogWarn("PerfTest: no Wi-Fi details from %@: %@", address, socket.lastError());
        }
    } else {
        DDLogWarn("PerfTest: can't ask %@ for its Wi-Fi details: %@", address, socket.lastError());
    }
    if (socket.isConnected())
        socket.close();
    return result;
}

} // namespace fnw::engine
