#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"

#include <QObject>

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(FNWNotificationCenter, DeliversNameObjectAndUserInfoSynchronouslyOnThePostersThread)
{
    FNWNotificationCenter center;
    QObject sender;
    std::vector<FNWNotification> received;
    std::thread::id deliveredOn;
    auto token = center.addObserver(QString::fromLatin1(RerunTestProfileNotification), [&](const FNWNotification& n) {
        received.push_back(n);
        deliveredOn = std::this_thread::get_id();
    });

    center.postNotificationName(QString::fromLatin1(RerunTestProfileNotification), &sender,
                                {{QString::fromLatin1(kTestProfileIdKey), QStringLiteral("12")}});
    center.postNotificationName(QString::fromLatin1(DeleteOneTestProfileNotification), &sender);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].name, "RerunTestProfileNotification");
    EXPECT_EQ(received[0].object, &sender);
    EXPECT_EQ(received[0].userInfo.value("test_profile_id").toString(), "12");
    EXPECT_EQ(deliveredOn, std::this_thread::get_id());

    std::thread::id workerId;
    std::thread worker([&] {
        workerId = std::this_thread::get_id();
        center.postNotificationName(QString::fromLatin1(RerunTestProfileNotification));
    });
    worker.join();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].object, nullptr);
    EXPECT_TRUE(received[1].userInfo.isEmpty());
    EXPECT_EQ(deliveredOn, workerId);
}

TEST(FNWNotificationCenter, ObserversRunInRegistrationOrderUntilTheirTokenGoesAndMayChangeTheList)
{
    FNWNotificationCenter center;
    QStringList calls;
    auto first = center.addObserver("N", [&](const FNWNotification&) { calls << "first"; });
    auto all = center.addObserver(QString(), [&](const FNWNotification& n) { calls << "all:" + n.name; });
    {
        auto scoped = center.addObserver("N", [&](const FNWNotification&) { calls << "scoped"; });
        center.postNotificationName("N");
    }
    center.postNotificationName("N");
    first.reset();
    center.postNotificationName("Other");
    EXPECT_EQ(calls, (QStringList{"first", "all:N", "scoped", "first", "all:N", "all:Other"}));

    // Handlers may post, register and remove themselves.
    int outer = 0;
    int inner = 0;
    FNWObserverToken late;
    FNWObserverToken self;
    self = center.addObserver("outer", [&](const FNWNotification&) {
        ++outer;
        late = center.addObserver("inner", [&](const FNWNotification&) { ++inner; });
        center.postNotificationName("inner");
        self.reset();
    });
    center.postNotificationName("outer");
    center.postNotificationName("outer");
    EXPECT_EQ(outer, 1);
    EXPECT_EQ(inner, 1);
}

TEST(FNWNotificationCenter, ConcurrentPostsAndRegistrationsLoseNothing)
{
    FNWNotificationCenter center;
    std::atomic<int> delivered{0};
    auto counter = center.addObserver(QString::fromLatin1(AllTestProfileExecutionDidFinishedNotification),
                                      [&](const FNWNotification&) { ++delivered; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i) {
                auto churn = center.addObserver("churn", [](const FNWNotification&) {});
                center.postNotificationName(QString::fromLatin1(AllTestProfileExecutionDidFinishedNotification));
                center.postNotificationName("churn");
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(delivered, 1000);
}

} // namespace
