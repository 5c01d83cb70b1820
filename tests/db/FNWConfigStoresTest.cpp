#include "db/DBUtils.h"
#include "db/FMDatabase.h"
#include "db/FMDatabaseQueue.h"
#include "db/FNWAgentDAO.h"
#include "db/FNWBaseModel.h"
#include "db/FNWPresetDAO.h"
#include "db/TestBeanDAO.h"
#include "db/TestQueueBeanDAO.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestQueueBean.h"

#include "db/FNWStoreTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

class FNWConfigStoresTest : public FNWStoreTest
{
protected:
    static std::shared_ptr<FNWPresetBean> preset(const QString& name, bool attached, qint64 position = -1)
    {
        auto preset = std::make_shared<FNWPresetBean>();
        preset->name = name;
        preset->isAttachedToQueue = attached;
        preset->viewPosition = position;
        return preset;
    }

    static std::shared_ptr<FNWAgentBean> agent(const QString& address, bool attached, qint64 position = -1)
    {
        auto agent = std::make_shared<FNWAgentBean>();
        agent->ip_address = address;
        agent->agent_name = QStringLiteral("agent ") + address;
        agent->isAttachedToQueue = attached;
        agent->viewPosition = position;
        return agent;
    }

    static std::shared_ptr<TestQueueBean> profile(const QString& name, qint64 position = 0)
    {
        auto profile = std::make_shared<TestQueueBean>();
        profile->testProfileName = name;
        profile->viewPosition = position;
        return profile;
    }
};

template <class Bean> QStringList names(const std::vector<std::shared_ptr<Bean>>& records, QString Bean::*field)
{
    QStringList result;
    for (const auto& record : records)
        result.append((*record).*field);
    return result;
}

TEST_F(FNWConfigStoresTest, SavingInsertsANewRowEveryTimeAndReadsBackEqual)
{
    fnw::test::LogCapture log;
    auto quick = preset(QStringLiteral("Quick"), false, 1);
    quick->duration = -1;
    quick->send_bw = 300;
    ASSERT_TRUE(quick->save());
    const qint64 firstID = quick->ID;
    ASSERT_TRUE(quick->save());
    EXPECT_NE(quick->ID, firstID);
    EXPECT_EQ(count("presets"), 2);
    EXPECT_TRUE(log.messages().contains(QStringLiteral("errros are ")));

    const auto loaded = FNWPresetDAO().loadPresetWithID(quick->ID);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->getDictionaryOfObject(FNWPresetBean::storedFieldNames()),
              quick->getDictionaryOfObject(FNWPresetBean::storedFieldNames()));
    EXPECT_EQ(FNWPresetDAO().getAllRecords().size(), 2u);

    // Unset texts and dates go in as '' (never NULL), on insert and on update, and come back empty.
    auto lab = agent(QStringLiteral("10.0.0.5"), false);
    lab->agent_name = QString();
    ASSERT_TRUE(lab->save());
    auto office = profile(QStringLiteral("Office"));
    ASSERT_TRUE(office->save());
    office->testProfileName = QString();
    ASSERT_TRUE(office->update());
    EXPECT_EQ(count("agents", "agent_name = '' and lastSeen = '' and typeof(agent_name) = 'text'"), 1);
    EXPECT_EQ(count("test_profiles", "testProfileName = '' and typeof(testProfileName) = 'text'"), 1);
    const auto loadedAgent = FNWAgentDAO().loadAgentWithID(lab->ID);
    ASSERT_TRUE(loadedAgent);
    EXPECT_TRUE(loadedAgent->agent_name.isEmpty());
    EXPECT_FALSE(loadedAgent->lastSeen.isValid());
}

// The looked-up text is bound, not pasted into the statement: a quote is an ordinary character and
// text shaped as SQL matches nothing (pasted, each of these probes would answer YES or break the query).
TEST_F(FNWConfigStoresTest, LookupsAndListsShowLibraryItemsOnlyAndTreatSQLAsText)
{
    for (const auto& p : {preset("Long", false, 2), preset("Short", false, 1), preset("Copy only", true, 0),
                          preset("O'Brien's run", false, 3)})
        ASSERT_TRUE(p->save());
    for (const auto& a : {agent("10.0.0.2", false, 5), agent("10.0.0.1", false, 3), agent("10.0.0.9", true, 0)})
        ASSERT_TRUE(a->save());
    const auto gone = profile("Gone", 3);
    for (const auto& p : {profile("Office", 2), profile("Lab", 1), profile("", 0), gone, profile("Bob's lab", 4)})
        ASSERT_TRUE(p->save());
    // A removed profile is marked, not deleted, and is neither found nor listed; unnamed ones are not listed.
    ASSERT_TRUE(gone->remove());
    EXPECT_FALSE(gone->isDeleted);
    EXPECT_EQ(count("test_profiles", QStringLiteral("isDeleted = 1 and id = %1").arg(gone->ID)), 1);
    EXPECT_FALSE(TestQueueBean::findTestName(QStringLiteral("Gone")));
    EXPECT_TRUE(TestQueueBean::findTestName(QStringLiteral("Office")));
    EXPECT_EQ(names(TestQueueBeanDAO().getAllNamedProfiles(), &TestQueueBean::testProfileName),
              QStringList({"Lab", "Office", "Bob's lab"}));
    // It still loads by id, for the executions that point at it.
    const TestQueueBean reloaded(gone->ID);
    EXPECT_EQ(reloaded.testProfileName, QStringLiteral("Gone"));
    EXPECT_TRUE(reloaded.isDeleted);
    EXPECT_EQ(reloaded.viewPosition, 3);

    EXPECT_TRUE(FNWPresetBean::findPreset(QStringLiteral("Long")));
    EXPECT_FALSE(FNWPresetBean::findPreset(QStringLiteral("long")));
    EXPECT_FALSE(FNWPresetBean::findPreset(QStringLiteral("Copy only")));
    EXPECT_TRUE(FNWPresetBean::findPreset(QStringLiteral("O'Brien's run")));
    EXPECT_TRUE(FNWAgentBean::findAgent(QStringLiteral("10.0.0.1")));
    EXPECT_FALSE(FNWAgentBean::findAgent(QStringLiteral("10.0.0.9")));
    EXPECT_TRUE(TestQueueBean::findTestName(QStringLiteral("Bob's lab")));

    // Library lists come in list order, copies only when asked for.
    EXPECT_EQ(names(FNWPresetDAO().getAllAttachedPresets(false), &FNWPresetBean::name),
              QStringList({"Short", "Long", "O'Brien's run"}));
    EXPECT_EQ(names(FNWPresetDAO().getAllAttachedPresets(true), &FNWPresetBean::name), QStringList({"Copy only"}));
    EXPECT_EQ(names(FNWAgentDAO().getAllAttachedAgents(false), &FNWAgentBean::ip_address),
              QStringList({"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(names(FNWAgentDAO().getAllAttachedAgents(true), &FNWAgentBean::ip_address), QStringList({"10.0.0.9"}));

    const QString alwaysTrue = QStringLiteral("x' or '1'='1");
    const QString destructive = QStringLiteral("x'; delete from presets; delete from test_profiles; --");
    for (const QString& probe : {alwaysTrue, destructive}) {
        EXPECT_FALSE(FNWPresetBean::findPreset(probe)) << probe.toStdString();
        EXPECT_FALSE(FNWAgentBean::findAgent(probe)) << probe.toStdString();
        EXPECT_FALSE(TestQueueBean::findTestName(probe)) << probe.toStdString();
    }
    EXPECT_EQ(count("presets"), 4);
    EXPECT_EQ(count("agents"), 3);
    EXPECT_EQ(count("test_profiles"), 5);

    // Such a name is stored and found as itself.
    ASSERT_TRUE(preset(alwaysTrue, false)->save());
    ASSERT_TRUE(profile(destructive)->save());
    EXPECT_TRUE(FNWPresetBean::findPreset(alwaysTrue));
    EXPECT_TRUE(TestQueueBean::findTestName(destructive));
    EXPECT_EQ(count("presets"), 5);
}

TEST_F(FNWConfigStoresTest, PositionsAndOrdersAreWrittenAlone)
{
    EXPECT_EQ(FNWAgentBean::getMaxViewPosition(), 0);
    EXPECT_EQ(TestQueueBean::getMaxViewPosition(), 0);

    const auto first = agent("10.0.0.1", false, 4);
    const auto second = agent("10.0.0.2", false, 7);
    ASSERT_TRUE(first->save());
    ASSERT_TRUE(second->save());
    EXPECT_EQ(FNWAgentBean::getMaxViewPosition(), 7);
    first->viewPosition = 9;
    first->agent_name = QStringLiteral("not written");
    ASSERT_TRUE(first->updateViewPostion());
    EXPECT_EQ(FNWAgentBean::getMaxViewPosition(), 9);
    EXPECT_EQ(names(FNWAgentDAO().getAllAttachedAgents(false), &FNWAgentBean::ip_address),
              QStringList({"10.0.0.2", "10.0.0.1"}));
    EXPECT_EQ(FNWAgentDAO().loadAgentWithID(first->ID)->agent_name, QStringLiteral("agent 10.0.0.1"));

    const auto up = preset("Up", false, 1);
    const auto down = preset("Down", false, 2);
    ASSERT_TRUE(up->save());
    ASSERT_TRUE(down->save());
    up->viewPosition = 3;
    ASSERT_TRUE(up->updateViewPostion());
    EXPECT_EQ(names(FNWPresetDAO().getAllAttachedPresets(false), &FNWPresetBean::name), QStringList({"Down", "Up"}));

    const auto office = profile("Office", 5);
    ASSERT_TRUE(office->save());
    office->viewPosition = 6;
    ASSERT_TRUE(office->updateViewPostion());
    EXPECT_EQ(TestQueueBean::getMaxViewPosition(), 6);

    TestBean test;
    test.testName = QStringLiteral("stored");
    test.testOrder = 1;
    ASSERT_TRUE(TestBeanDAO().save(test));
    test.testOrder = 4;
    test.testName = QStringLiteral("not written");
    ASSERT_TRUE(test.updateOrder());
    const auto loaded = TestBeanDAO().loadTestBeanWithID(test.ID);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->testOrder, 4);
    EXPECT_EQ(loaded->testName, QStringLiteral("stored"));
}

TEST_F(FNWConfigStoresTest, ProfileSavesItsTestsWithFreshCopiesAndLoadsThemBack)
{
    const auto office = profile("Office", 1);
    for (int i = 1; i <= 3; ++i) {
        auto test = std::make_shared<TestBean>();
        test->testName = QStringLiteral("test %1").arg(i);
        test->testOrder = i;
        auto presetCopy = preset(QStringLiteral("preset %1").arg(i), false)->copy();
        presetCopy->isAttachedToQueue = true;
        auto agentCopy = agent(QStringLiteral("10.0.0.%1").arg(i), false)->copy();
        agentCopy->isAttachedToQueue = true;
        test->setPreset(presetCopy);
        test->setAgent(agentCopy);
        office->testList.push_back(test);
    }
    ASSERT_TRUE(office->save());

    EXPECT_EQ(count("test_profiles"), 1);
    EXPECT_EQ(count("presets", "isAttachedToQueue = 1"), 3);
    EXPECT_EQ(count("agents", "isAttachedToQueue = 1"), 3);
    EXPECT_EQ(count("test", QStringLiteral("testQueueID = %1 and typeof(created_date) = 'real'").arg(office->ID)), 3);
    for (const auto& test : office->testList) {
        EXPECT_EQ(test->testQueueID, office->ID);
        EXPECT_EQ(test->preset_id, test->preset()->ID);
        EXPECT_EQ(test->agent_id, test->agent()->ID);
    }

    // A profile built from its id has no tests until asked; they then load their own copies.
    TestQueueBean reloaded(office->ID);
    EXPECT_EQ(reloaded.testProfileName, QStringLiteral("Office"));
    EXPECT_TRUE(reloaded.testList.empty());
    reloaded.loadAllTestBeans();
    ASSERT_EQ(reloaded.testList.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const auto& test = reloaded.testList[i];
        EXPECT_EQ(test->testName, office->testList[i]->testName);
        ASSERT_TRUE(test->preset());
        EXPECT_EQ(test->preset()->name, QStringLiteral("preset %1").arg(i + 1));
        ASSERT_TRUE(test->agent());
        EXPECT_EQ(test->agent()->ip_address, QStringLiteral("10.0.0.%1").arg(i + 1));
    }

    // Saving it again stores a second, independent set.
    reloaded.testList.front()->testName = QStringLiteral("renamed");
    const auto again = reloaded.copy();
    again->testList = reloaded.testList;
    ASSERT_TRUE(again->save());
    EXPECT_EQ(count("presets"), 6);
    EXPECT_EQ(count("test"), 6);
    EXPECT_EQ(count("test", "testName = 'renamed'"), 1);
}

// Store failures reach the caller instead of being reported as success, and nothing half-made is
// left pointing at rows that were never written.
TEST_F(FNWConfigStoresTest, StoreFailuresAreReportedToTheCaller)
{
    fnw::test::LogCapture log;
    const auto office = profile("Office");
    auto test = std::make_shared<TestBean>();
    test->setPreset(preset("Quick", true));
    test->setAgent(agent("10.0.0.1", true));
    office->testList.push_back(test);
    ASSERT_TRUE(office->save());
    office->testProfileName = QStringLiteral("Office 2");

    execute(QStringLiteral("drop table agents"));
    QString error;
    const auto failing = test->copy();
    failing->setPreset(preset("Slow", true));
    EXPECT_FALSE(failing->save(&error));
    EXPECT_EQ(error, QStringLiteral("no such table: agents"));
    EXPECT_EQ(failing->ID, 0);
    EXPECT_EQ(count("test"), 1);
    EXPECT_TRUE(log.messages().contains(QStringLiteral("0 result of agent save is no such table: agents")));

    execute(QStringLiteral("drop table test"));
    EXPECT_FALSE(office->update());
    EXPECT_TRUE(
        log.messages().contains(QStringLiteral("TestQueueBean: Can't update individual test while updating..")));
    EXPECT_EQ(count("test_profiles", "testProfileName = 'Office 2'"), 1);

    // A profile whose second test cannot be stored leaves no row behind and its ids as they were.
    const qint64 rowsBefore = count("presets") + count("agents") + count("test_profiles");
    const auto broken = profile("Broken");
    auto good = std::make_shared<TestBean>();
    good->setPreset(preset("Quick", true));
    good->setAgent(agent("10.0.0.2", true));
    auto bad = std::make_shared<TestBean>();
    bad->setPreset(preset("Slow", true));
    broken->testList = {good, bad};
    error.clear();
    EXPECT_FALSE(broken->save(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(count("presets") + count("agents") + count("test_profiles"), rowsBefore);
    EXPECT_EQ(broken->ID, 0);
    EXPECT_EQ(good->ID, 0);
    EXPECT_EQ(good->preset()->ID, 0);
    EXPECT_EQ(good->testQueueID, -1);

    const qint64 savedID = office->ID;
    execute(QStringLiteral("drop table test_profiles"));
    error.clear();
    EXPECT_FALSE(office->save(&error));
    EXPECT_EQ(error, QStringLiteral("no such table: test_profiles"));
    EXPECT_EQ(office->ID, savedID);
}

TEST_F(FNWConfigStoresTest, MissingRowsLeaveTheRecordAsItWas)
{
    fnw::test::LogCapture log;
    TestQueueBeanDAO store;
    EXPECT_FALSE(store.getRecordWithID(999).has_value());
    EXPECT_TRUE(store.getAllRecords().isEmpty());

    auto profile = std::make_shared<TestQueueBean>();
    profile->testProfileName = QStringLiteral("Kept");
    profile->viewPosition = 4;
    EXPECT_FALSE(store.loadWithID(999, *profile));
    EXPECT_EQ(profile->testProfileName, QStringLiteral("Kept"));
    EXPECT_EQ(profile->viewPosition, 4);
    EXPECT_EQ(profile->ID, 0);
    EXPECT_TRUE(log.messages().contains(
        QStringLiteral("FNWBaseModel: Can't load record with id from table test_profiles (null result set)")));

    EXPECT_FALSE(FNWPresetDAO().loadPresetWithID(999));
    // A test whose preset row is gone has no preset rather than an empty one.
    TestBean orphan;
    orphan.preset_id = 999;
    EXPECT_FALSE(orphan.preset());
}

TEST_F(FNWConfigStoresTest, SharedQueueIsCreatedOnceAndReopensAfterClose)
{
    FNWBaseModel::resetSharedQueueForTesting();
    std::vector<std::thread> threads;
    std::vector<FMDatabaseQueue*> queues(8, nullptr);
    for (size_t i = 0; i < queues.size(); ++i)
        threads.emplace_back([&queues, i] { queues[i] = FNWBaseModel::fmdbQueue(); });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(std::set<FMDatabaseQueue*>(queues.begin(), queues.end()).size(), 1u);
    ASSERT_NE(queues.front(), nullptr);

    ASSERT_TRUE(preset("Before", false)->save());
    FNWBaseModel::closeFMDB();
    EXPECT_EQ(FNWBaseModel::fmdbQueue(), queues.front());
    EXPECT_TRUE(FNWPresetBean::findPreset(QStringLiteral("Before")));
    ASSERT_TRUE(preset("After", false)->save());
    EXPECT_EQ(count("presets"), 2);
}

} // namespace
