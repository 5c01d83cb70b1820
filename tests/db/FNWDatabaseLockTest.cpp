// Another program holding the database's write lock (a second window, the command line, a
// backup): a real child process in an immediate transaction on the real file.

#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "db/DBUtils.h"
#include "db/FNWBaseModel.h"
#include "db/FNWDeferredWrites.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"

#include "db/FNWStoreTestSupport.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace fnw::test;

namespace {

class FNWDatabaseLockTest : public FNWStoreTest
{
protected:
    void SetUp() override
    {
        FNWStoreTest::SetUp();
        FNWDeferredWrites::shared().setRetryIntervalForTesting(std::chrono::milliseconds(50));
        for (const char* name : {FNWDatabaseWriteFailedNotification, FNWDatabaseWritesWaitingNotification,
                                 FNWDatabaseWritesSavedNotification})
            m_tokens.push_back(FNWNotificationCenter::defaultCenter().addObserver(
                QLatin1String(name), [this](const FNWNotification& notification) {
                    m_posted.append(notification.name + QLatin1Char(' ') +
                                    notification.userInfo.value(QStringLiteral("path")).toString());
                }));
    }

    static std::shared_ptr<FNWPresetBean> preset(const QString& name)
    {
        auto preset = std::make_shared<FNWPresetBean>();
        preset->name = name;
        return preset;
    }

    static QStringList presetNamesInOrder()
    {
        QStringList names;
        for (const QVariantMap& row : rows(QStringLiteral("select name from presets order by id")))
            names << row.value(QStringLiteral("name")).toString();
        return names;
    }

    QStringList posted(const char* name) const { return m_posted.filter(QLatin1String(name)); }

    QStringList m_posted; // only ever touched on this thread
    std::vector<FNWObserverToken> m_tokens;
};

} // namespace

TEST_F(FNWDatabaseLockTest, TheWindowsChangesFailWithinAFrameAndSayWhyWhileReadsGoOn)
{
    const QString path = DBUtils::appDBPath();
    EXPECT_EQ(rows(QStringLiteral("PRAGMA journal_mode")).value(0).value(QStringLiteral("journal_mode")).toString(),
              QStringLiteral("wal"));
    ASSERT_TRUE(preset(QStringLiteral("Before"))->save());

    DatabaseLockHolder other(path, 10000);
    ASSERT_TRUE(other.locked());
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(preset(QStringLiteral("Refused"))->save());
    auto agent = std::make_shared<FNWAgentBean>();
    agent->ip_address = QStringLiteral("127.0.0.1");
    EXPECT_FALSE(agent->save());
    // Two writes that each waited the old two seconds would be four; a frame each is far below.
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(FNWPresetBean::findPreset(QStringLiteral("Before"))) << "reads do not wait for the writer";
    EXPECT_EQ(posted(FNWDatabaseWriteFailedNotification).size(), 2);
    EXPECT_TRUE(posted(FNWDatabaseWriteFailedNotification).value(0).endsWith(path));

    other.release();
    ASSERT_TRUE(other.waitUntilReleased());
    EXPECT_TRUE(preset(QStringLiteral("Refused"))->save());
    EXPECT_EQ(presetNamesInOrder(), (QStringList{QStringLiteral("Before"), QStringLiteral("Refused")}));
}

TEST_F(FNWDatabaseLockTest, KeptWritesGoInInTheirOrderOnceTheLockGoes)
{
    auto& writes = FNWDeferredWrites::shared();
    {
        DatabaseLockHolder other(DBUtils::appDBPath(), 3000);
        ASSERT_TRUE(other.locked());
        // A run's thread and the window's thread keep theirs alike, without an alert.
        std::thread run([&writes] {
            for (int i = 0; i < 3; ++i) {
                auto row = preset(QStringLiteral("row %1").arg(i));
                EXPECT_TRUE(writes.writeOrKeep(QStringLiteral("row"), [row] { return row->save(); }));
            }
        });
        run.join();
        auto last = preset(QStringLiteral("row 3"));
        EXPECT_TRUE(writes.writeOrKeep(QStringLiteral("row"), [last] { return last->save(); }));
        EXPECT_EQ(writes.count(), 4u);
        EXPECT_TRUE(presetNamesInOrder().isEmpty());
        ASSERT_TRUE(other.waitUntilReleased());
        ASSERT_TRUE(waitUntil([this] { return !posted(FNWDatabaseWritesSavedNotification).isEmpty(); }));
    }
    EXPECT_EQ(writes.count(), 0u);
    EXPECT_EQ(presetNamesInOrder(), (QStringList{QStringLiteral("row 0"), QStringLiteral("row 1"),
                                                 QStringLiteral("row 2"), QStringLiteral("row 3")}));
    EXPECT_EQ(posted(FNWDatabaseWritesWaitingNotification).size(), 1);
    EXPECT_TRUE(posted(FNWDatabaseWriteFailedNotification).isEmpty());

    // Failing for another reason is the caller's to handle; nothing is kept for it.
    EXPECT_FALSE(writes.writeOrKeep(QStringLiteral("refused"), [] { return false; }));
    EXPECT_EQ(writes.count(), 0u);
    EXPECT_TRUE(writes.flush(std::chrono::milliseconds(100)));
}
