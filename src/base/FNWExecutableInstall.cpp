#include "base/FNWExecutableInstall.h"

#include "base/FNWUtils.h"
#include "support/DDLog.h"

#include <QDir>

#include <filesystem>

namespace {

// Removes what is at the destination and copies the source there, modes included.
bool replaceFile(const QString& source, const QString& destination, QString* error)
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::remove(fs::path(destination.toStdString()), ignored);
    std::error_code code;
    fs::copy_file(fs::path(source.toStdString()), fs::path(destination.toStdString()), code);
    if (code) {
        *error = QString::fromStdString(code.message()) + QLatin1String(" (") + source + QLatin1Char(')');
        return false;
    }
    return true;
}

} // namespace

namespace fnw::base {

void copyiPerfExecutableToAppSupportDir()
{
    QDir().mkpath(FNWUtils::applicationSupportDirectory());

    const QString destinationA = FNWUtils::getiPerfExecutablePath();
    DDLogInfo("FNWBaseModel: iPerf Executable Path is %@", destinationA);
    QString error;
    if (!replaceFile(FNWUtils::pathForResource(QStringLiteral("native-iperf")), destinationA, &error))
        DDLogError("FNWAppDelegate: can't copy iPerf3 executable file at above path..%@.", error);
    else
        DDLogInfo("FNWAppDelegate: copied iperf3 executable...");

    const QString destinationB = FNWUtils::getiPerf_2_ExecutablePath();
    if (!replaceFile(FNWUtils::pathForResource(QStringLiteral("native-iPerf-2")), destinationB, &error))
        DDLogError("FNWAppDelegate: can't copy iPerf2 executable file at above path..%@.", error);
    else
        DDLogInfo("FNWAppDelegate: copied iPerf2 executable...");
}

} // namespace fnw::base
