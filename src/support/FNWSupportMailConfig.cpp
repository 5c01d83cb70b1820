#include "support/FNWSupportMailConfig.h"

#include <QFileInfo>
#include <QSettings>
#include <QUrl>

#include <cstdlib>

#ifndef FENWAVE_SUPPORT_ENDPOINT
#define FENWAVE_SUPPORT_ENDPOINT ""
#endif
#ifndef FENWAVE_SUPPORT_API_USER
#define FENWAVE_SUPPORT_API_USER ""
#endif
#ifndef FENWAVE_SUPPORT_API_KEY
#define FENWAVE_SUPPORT_API_KEY ""
#endif
#ifndef FENWAVE_SUPPORT_TO
#define FENWAVE_SUPPORT_TO ""
#endif
#ifndef FENWAVE_SUPPORT_CC
#define FENWAVE_SUPPORT_CC ""
#endif
#ifndef FENWAVE_SUPPORT_FROM
#define FENWAVE_SUPPORT_FROM ""
#endif
#ifndef FENWAVE_SUPPORT_CA_FILE
#define FENWAVE_SUPPORT_CA_FILE ""
#endif

QString FNWSupportMailConfig::defaultPath()
{
    const char* configured = std::getenv("FENWAVE_SUPPORT_CONF");
    return configured && *configured ? QString::fromLocal8Bit(configured) : QString::fromLatin1(kSystemConfigPath);
}

FNWSupportMailConfig FNWSupportMailConfig::load(const QString& path)
{
    FNWSupportMailConfig config{QStringLiteral(FENWAVE_SUPPORT_ENDPOINT), QStringLiteral(FENWAVE_SUPPORT_API_USER),
                                QStringLiteral(FENWAVE_SUPPORT_API_KEY),  QStringLiteral(FENWAVE_SUPPORT_TO),
                                QStringLiteral(FENWAVE_SUPPORT_CC),       QStringLiteral(FENWAVE_SUPPORT_FROM),
                                QStringLiteral(FENWAVE_SUPPORT_CA_FILE)};
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return config;
    const QSettings file(path, QSettings::IniFormat);
    const auto take = [&](const char* key, QString* value) {
        const QString name = QString::fromLatin1(key);
        if (file.contains(name))
            *value = file.value(name).toString().trimmed();
    };
    take("endpoint", &config.endpoint);
    take("api_user", &config.apiUser);
    take("api_key", &config.apiKey);
    take("to", &config.to);
    take("cc", &config.cc);
    take("from", &config.from);
    take("ca_file", &config.caFile);
    return config;
}

bool FNWSupportMailConfig::isConfigured() const
{
    return !endpoint.isEmpty() && !apiUser.isEmpty() && !apiKey.isEmpty() && !to.isEmpty();
}

QString FNWSupportMailConfig::endpointProblem() const
{
    const QUrl url(endpoint, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return QStringLiteral("The support mail endpoint \"%1\" is not a valid URL.").arg(endpoint);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return {};
    const QString host = url.host().toLower();
    const bool loopback =
        host == QLatin1String("localhost") || host.startsWith(QLatin1String("127.")) || host == QLatin1String("::1");
    if (scheme == QLatin1String("http") && loopback)
        return {};
    return QStringLiteral("The support mail endpoint must use https:// (plain http:// only to this computer).");
}
