#include "FNWCli.h"

#include "base/FNWUtils.h"

#include <QJsonDocument>

namespace fnw::cli {

bool parseAgentAddress(const QString& text, FNWAgentAddress* agent, QString* error)
{
    QString address = text.trimmed();
    int port = 0;
    // An IPv4 address holds no colon, so the last one starts the port.
    if (const qsizetype colon = address.lastIndexOf(u':'); colon >= 0) {
        bool ok = false;
        const QString portText = address.mid(colon + 1);
        port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535 || portText.startsWith(u'+')) {
            *error = QStringLiteral("'%1': the port must be a number from 1 to 65535").arg(text);
            return false;
        }
        address.truncate(colon);
    }
    if (!FNWUtils::isIPAddressValid(address)) {
        *error = QStringLiteral("'%1' is not a valid IP address").arg(text);
        return false;
    }
    agent->address = address;
    agent->port = port;
    return true;
}

bool parseExecutionID(const QString& text, qint64* id)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    // Digits only: "+3", " 3" or "0x3" are not how the history prints an ID.
    for (const QChar c : text) {
        if (!c.isDigit() || c.unicode() > 0x7F)
            return false;
    }
    if (!ok || value <= 0)
        return false;
    *id = value;
    return true;
}

namespace {
std::function<void()> s_outputLost;
bool s_outputClosed = false;
} // namespace

void setOutputLostHandler(std::function<void()> handler)
{
    s_outputLost = std::move(handler);
}

void printLine(const QString& line)
{
    if (s_outputClosed)
        return;
    const QByteArray bytes = line.toUtf8() + '\n';
    const std::size_t written = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    if (std::fflush(stdout) == 0 && written == static_cast<std::size_t>(bytes.size()))
        return;
    s_outputClosed = true;
    if (s_outputLost)
        s_outputLost();
}

void printJson(const QJsonObject& object)
{
    printLine(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

void printError(const QString& message)
{
    const QByteArray bytes = "fenwave-cli: " + message.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace fnw::cli
