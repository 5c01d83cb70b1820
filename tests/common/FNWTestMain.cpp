#include "FNWTestSupport.h"

#include "app/FNWUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace fnw::test {
extern QString g_testHome;
}

namespace {

// Each test starts from empty settings, also when a whole suite runs in one process.
class SettingsReset final : public ::testing::EmptyTestEventListener
{
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        QSettings settings(QStringLiteral("Fenwave"), QStringLiteral("Fenwave"));
        settings.clear();
        settings.sync();
        FNWUtils::clearRegisteredDefaults();
    }
};

} // namespace

int main(int argc, char** argv)
{
    // Settings, data and logs of a test never touch the real home, nor another test's.
    QTemporaryDir home(QDir::tempPath() + QLatin1String("/fenwave-test-home-XXXXXX"));
    if (!home.isValid())
        return 2;
    fnw::test::g_testHome = home.path();
    const QByteArray path = home.path().toUtf8();
    setenv("HOME", path.constData(), 1);
    setenv("XDG_DATA_HOME", (path + "/.local/share").constData(), 1);
    setenv("XDG_CONFIG_HOME", (path + "/.config").constData(), 1);
    setenv("XDG_CACHE_HOME", (path + "/.cache").constData(), 1);
    setenv("XDG_RUNTIME_DIR", (path + "/run").constData(), 1);
    QDir().mkpath(home.path() + QLatin1String("/run"));
    QFile::setPermissions(home.path() + QLatin1String("/run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new SettingsReset);
    return RUN_ALL_TESTS();
}
