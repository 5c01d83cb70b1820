#include "base/FNWUtils.h"

#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"

#include "support/DDLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <mutex>

namespace {

std::mutex s_defaultsMutex;
QVariantMap s_registeredDefaults;

std::mutex s_resourcesMutex;
QString s_resourcesDirectory;
// Set by a program told to keep its data elsewhere; guarded by s_resourcesMutex.
QString s_supportDirectory;

QString executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

} // namespace

void FNWUtils::setUserSetting(const QVariant& value, const QString& key)
{
    QSettings settings(QStringLiteral("Fenwave"), QStringLiteral("Fenwave"));
    settings.setValue(key, value);
    settings.sync();
    // Views that follow a setting (the start/stop control) hear of every change.
    FNWNotificationCenter::defaultCenter().postNotificationName(
        QString::fromLatin1(FNWUserSettingDidChangeNotification), nullptr,
        {{QString::fromLatin1(kSettingKeyKey), key}});
}

QVariant FNWUtils::getUserSettingForKey(const QString& key)
{
    QSettings settings(QStringLiteral("Fenwave"), QStringLiteral("Fenwave"));
    settings.sync();
    if (settings.contains(key))
        return settings.value(key);
    std::lock_guard lock(s_defaultsMutex);
    return s_registeredDefaults.value(key);
}

void FNWUtils::registerDefaults(const QVariantMap& defaults)
{
    std::lock_guard lock(s_defaultsMutex);
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        s_registeredDefaults.insert(it.key(), it.value());
}

QVariantMap FNWUtils::registeredDefaults()
{
    std::lock_guard lock(s_defaultsMutex);
    return s_registeredDefaults;
}

void FNWUtils::clearRegisteredDefaults()
{
    std::lock_guard lock(s_defaultsMutex);
    s_registeredDefaults.clear();
}

QVariantMap FNWUtils::loadDefaultsResource()
{
    QFile file(pathForResource(QStringLiteral("FenwaveDefaults.json")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    return document.isObject() ? document.object().toVariantMap() : QVariantMap();
}

QString FNWUtils::applicationSupportDirectory()
{
    {
        std::lock_guard lock(s_resourcesMutex);
        if (!s_supportDirectory.isEmpty())
            return s_supportDirectory;
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1String("/FenwaveEnterprise");
}

void FNWUtils::setApplicationSupportDirectory(const QString& directory)
{
    std::lock_guard lock(s_resourcesMutex);
    s_supportDirectory = directory.isEmpty() ? QString() : QDir::cleanPath(QDir(directory).absolutePath());
}

QString FNWUtils::applicationSupportDirectoryProblem()
{
    const QString directory = applicationSupportDirectory();
    const QFileInfo info(directory);
    if (info.exists() && !info.isDir())
        return QStringLiteral("it is a file, not a folder");
    if (!info.exists() && !QDir().mkpath(directory))
        return QStringLiteral("it cannot be created");
    // Permissions alone do not tell (a read-only mount, root's folder): try to make a file.
    QTemporaryFile probe(directory + QLatin1String("/.write-check-XXXXXX"));
    if (!probe.open())
        return FNWStringWithFormat("no file can be written in it (%@)", probe.errorString());
    return QString();
}

QString FNWUtils::getiPerfExecutablePath()
{
    return applicationSupportDirectory() + QLatin1String("/native-iperf");
}

QString FNWUtils::getiPerf_2_ExecutablePath()
{
    return applicationSupportDirectory() + QLatin1String("/native-iPerf-2");
}

QString FNWUtils::resourcesDirectory()
{
    {
        std::lock_guard lock(s_resourcesMutex);
        if (!s_resourcesDirectory.isEmpty())
            return s_resourcesDirectory;
    }
    return QDir::cleanPath(executableDirectory() + QLatin1String("/../share/fenwave"));
}

void FNWUtils::setResourcesDirectory(const QString& directory)
{
    std::lock_guard lock(s_resourcesMutex);
    s_resourcesDirectory = directory;
}

QString FNWUtils::pathForResource(const QString& name)
{
    return resourcesDirectory() + QLatin1Char('/') + name;
}

QString FNWUtils::pathForExecutable(const QString& name)
{
    {
        std::lock_guard lock(s_resourcesMutex);
        if (!s_resourcesDirectory.isEmpty())
            return s_resourcesDirectory + QLatin1Char('/') + name;
    }
    const QString installed = QDir::cleanPath(executableDirectory() + QLatin1String("/../libexec/fenwave/") + name);
    return QFileInfo::exists(installed) ? installed : pathForResource(name);
}

QString FNWUtils::temporaryDirectory()
{
    // Removed with everything in it when the process ends.
    static const QTemporaryDir directory(QDir::tempPath() + QLatin1String("/fenwave-XXXXXX"));
    if (!directory.isValid()) {
        static std::once_flag reported;
        std::call_once(reported,
                       [] { DDLogError("FNWUtils: can't create temporary directory..%@.", directory.errorString()); });
        return {};
    }
    return directory.path() + QLatin1Char('/');
}

void FNWUtils::clearTmpDirectory()
{
    const QString directory = temporaryDirectory();
    // Without a private directory there is nothing of ours to clear, and the shared one is not ours.
    if (directory.isEmpty())
        return;
    const QStringList entries =
        QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        const QString path = directory + entry;
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
}
