#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

// A colour as plain components in 0..1.
struct FNWColor
{
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;
    bool operator==(const FNWColor&) const = default;
};

// Shared class-level helpers: settings, folders, formatting, addresses, the temporary directory.
class FNWUtils final
{
public:
    FNWUtils() = delete;

    // Settings. A write is synced to disk at once; a read returns the stored value, else the
    // registered default, else an invalid QVariant.
    static void setUserSetting(const QVariant& value, const QString& key);
    static QVariant getUserSettingForKey(const QString& key);
    // Registered defaults live in memory only and are never written to the store.
    static void registerDefaults(const QVariantMap& defaults);
    static QVariantMap registeredDefaults();
    static void clearRegisteredDefaults();
    // The resource "FenwaveDefaults" (JSON); an empty map when it is missing or unreadable.
    static QVariantMap loadDefaultsResource();

    // Folders. The support folder is the per-user data location + "FenwaveEnterprise".
    static QString applicationSupportDirectory();
    // Keeps this process's support folder at the directory instead (made absolute); "" goes back
    // to the default.
    static void setApplicationSupportDirectory(const QString& directory);
    // Creates the support folder when missing; empty when files can be made in it, else the
    // reason it cannot be used ("it is a file, not a folder", ...).
    static QString applicationSupportDirectoryProblem();
    static QString getiPerfExecutablePath();
    static QString getiPerf_2_ExecutablePath();
    // Where the application's resources are: ../share/fenwave beside the executable.
    static QString resourcesDirectory();
    static void setResourcesDirectory(const QString& directory);
    static QString pathForResource(const QString& name);
    // One of our own programs the application runs or installs (the iperf wrappers): installed in
    // ../libexec/fenwave beside the executable, as packages keep compiled programs out of share;
    // the build tree, or a resources folder set above, keeps them with the resources.
    static QString pathForExecutable(const QString& name);

    // The process's private temporary directory, ending with "/". Made on first use, removed
    // when the process ends; never the shared /tmp itself.
    static QString temporaryDirectory();
    // Removes every entry of the private temporary directory. Errors are ignored.
    static void clearTmpDirectory();

    // Formatting by display format index: speeds from bits per second, sizes from bytes.
    static QString formatBitsToSpeedFormat(qint64 format, qint64 speedBits);
    static QString formatBytesToDataSizeFormat(qint64 format, qint64 dataBytes);

    static bool hasValue(const QString& text);
    // A name or message as a row or label shows it: at most this many characters and "…" after
    // them, cut between characters rather than inside one; laying out a megabyte of text on every
    // paint would stall the window.
    static constexpr qsizetype kShownTextLimit = 1000;
    static QString shownText(const QString& text, qsizetype limit = kShownTextLimit);
    static bool isIPAddressValid(const QString& text);
    // The last IPv4 address of the computer's interfaces, or "error".
    static QString getSystemIPAddress();

    // "MM-dd-yy-HH-mm-ss", for export file names.
    static QString getCurrentDate();
    static QString getCurrentDate(const QDateTime& now);
    // "HH:mm:ss  MM/dd/yy" in local time for a number of seconds since 1970.
    static QString getFormattedNSDate(double secondsSince1970);

    // The preset keys that become iperf options, in the order the options are built.
    static QStringList allOptionsKeyNames();
    // One preset key and its value as one iperf argument for the version chosen by
    // "iPerf_Version", or "" when the option is not given.
    static QString getOptionValueFromPropName(const QString& key, qint64 value);
    static qint64 iPerfVersionSetting();
    // A version this process uses in place of the setting, which stays as stored; -1 for none.
    static void setiPerfVersionOverride(qint64 version);

    // The graph's line and title colours: standard gray.
    static FNWColor getGraphLineColors();
    static FNWColor getGraphTitleColors();
};
