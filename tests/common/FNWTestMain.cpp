#include "FNWTestSupport.h"

#include "base/FNWUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

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
    const auto home = fnw::test::usePrivateHome();
    if (!home)
        return 2;
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new SettingsReset);
    return RUN_ALL_TESTS();
}
