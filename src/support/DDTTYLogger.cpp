#include "support/DDTTYLogger.h"

#include <QByteArray>

#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace {

QByteArray processName()
{
    return QByteArray(program_invocation_short_name);
}

} // namespace

std::shared_ptr<DDTTYLogger> DDTTYLogger::sharedInstance()
{
    static const std::shared_ptr<DDTTYLogger> instance = std::make_shared<DDTTYLogger>(stderr);
    return instance;
}

DDTTYLogger::DDTTYLogger(std::FILE* stream)
    : DDAbstractLogger("cocoa.lumberjack.ttyLogger")
    , m_stream(stream)
{
}

QString DDTTYLogger::loggerName() const
{
    return QStringLiteral("cocoa.lumberjack.ttyLogger");
}

QByteArray DDTTYLogger::lineForMessage(const DDLogMessage& message)
{
    int milliseconds = 0;
    const std::tm local = DDLogLocalTime(message, &milliseconds);

    char stamp[128] = {};
    std::snprintf(stamp, sizeof stamp, "%04ld-%02ld-%02ld %02ld:%02ld:%02ld:%03d", long(local.tm_year + 1900),
                  long(local.tm_mon + 1), long(local.tm_mday), long(local.tm_hour), long(local.tm_min),
                  long(local.tm_sec), milliseconds);
    char ids[64] = {};
    std::snprintf(ids, sizeof ids, "[%i:%llx] ", int(getpid()), static_cast<unsigned long long>(message.machThreadID));

    QByteArray line(stamp);
    line += ' ';
    line += processName();
    line += ids;
    line += message.logMsg.toUtf8();
    line += '\n';
    return line;
}

void DDTTYLogger::logMessage(const DDLogMessage& message)
{
    QByteArray line;
    if (logFormatter()) {
        const QString text = formattedText(message);
        if (text.isNull())
            return;
        line = text.toUtf8() + '\n';
    } else {
        line = lineForMessage(message);
    }
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), m_stream);
    std::fflush(m_stream);
}
