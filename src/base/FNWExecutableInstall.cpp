#include "base/FNWExecutableInstall.h"

#include "base/FNWUtils.h"
#include "support/DDLog.h"

#include <QDir>

#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

// Copies the source beside the destination, modes included, and renames the copy over it: a
// program starting the executable meanwhile (another Fenwave process) finds the old file or the
// new one, never none or half of one.
bool replaceFile(const QString& source, const QString& destination, QString* error)
{
    namespace fs = std::filesystem;
    const fs::path target(destination.toStdString());
    fs::path staging = target;
    staging += ".new-" + std::to_string(::getpid());
    std::error_code ignored;
    fs::remove(staging, ignored);
    std::error_code code;
    fs::copy_file(fs::path(source.toStdString()), staging, code);
    if (!code)
        fs::rename(staging, target, code);
    if (code) {
        fs::remove(staging, ignored);
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
    if (!replaceFile(FNWUtils::pathForExecutable(QStringLiteral("native-iperf")), destinationA, &error))
        DDLogError("FNWAppDelegate: can't copy iPerf3 executable file at above path..%@.", error);
    else
        DDLogInfo("FNWAppDelegate: copied iperf3 executable...");

    const QString destinationB = FNWUtils::getiPerf_2_ExecutablePath();
    if (!replaceFile(FNWUtils::pathForExecutable(QStringLiteral("native-iPerf-2")), destinationB, &error))
        DDLogError("FNWAppDelegate: can't copy iPerf2 executable file at above path..%@.", error);
    else
        DDLogInfo("FNWAppDelegate: copied iPerf2 executable...");
}

} // namespace fnw::base
