#include "db/FMDatabase.h"
#include "db/FMDatabaseQueue.h"

#include "FNWTestSupport.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

class FMDatabaseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(db.executeStatements(
            "create table t (id INTEGER PRIMARY KEY, i INTEGER, r REAL, s TEXT, b BLOB, d REAL);"
            "create table agents (id INTEGER PRIMARY KEY, ip_address TEXT, viewPosition INTEGER)"));
    }

    QVariantMap onlyRow(const QString& sql, const QVariantList& arguments = {})
    {
        auto rs = db.executeQuery(sql, arguments);
        if (!rs || !rs->next())
            return {};
        QVariantMap row = rs->resultDictionary();
        EXPECT_FALSE(rs->next());
        return row;
    }

    QTemporaryDir directory;
    FMDatabase db{directory.path() + "/fnwe.db"};
};

TEST_F(FMDatabaseTest, ValuesBindAndReadBackByStorageClass)
{
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(1614711909500, Qt::UTC);
    ASSERT_TRUE(db.executeUpdate("insert into t (i, r, s, b, d) values (?, ?, ?, ?, ?)",
                                 QVariantList{true, 2.5f, QStringLiteral("Zürich"), QByteArray(), when}));
    ASSERT_TRUE(db.executeUpdate("insert into t (i, r, s, b, d) values (?, ?, ?, ?, ?)",
                                 QVariantList{qint64(1) << 40, 0.1, 42, QByteArray("\0x", 2), QVariant()}));

    const QVariantMap first = onlyRow("select * from t where id = 1");
    EXPECT_EQ(first.value("i").typeId(), QMetaType::LongLong);
    EXPECT_EQ(first.value("i").toLongLong(), 1);
    EXPECT_EQ(first.value("r").typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(first.value("r").toDouble(), 2.5);
    EXPECT_EQ(first.value("s").toString(), QStringLiteral("Zürich"));
    // Empty data is an empty blob, not NULL; a date is stored as seconds and read as a number.
    EXPECT_EQ(onlyRow("select typeof(b) as kind from t where id = 1").value("kind").toString(), "blob");
    EXPECT_EQ(first.value("d").typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(first.value("d").toDouble(), 1614711909.5);

    const QVariantMap second = onlyRow("select * from t where id = ?", {2});
    EXPECT_EQ(second.value("i").toLongLong(), qint64(1) << 40);
    // Anything else is bound as its text.
    EXPECT_EQ(onlyRow("select typeof(s) as kind from t where id = 2").value("kind").toString(), "text");
    EXPECT_EQ(second.value("b").toByteArray(), QByteArray("\0x", 2));
    EXPECT_TRUE(second.contains("d"));
    EXPECT_FALSE(second.value("d").isValid());
    EXPECT_EQ(db.lastInsertRowId(), 2);
}

TEST_F(FMDatabaseTest, NamedParametersIgnoreExtraKeysButEveryParameterNeedsAValue)
{
    fnw::test::LogCapture log;
    // The update shape passes an "id" entry that no parameter names.
    EXPECT_TRUE(db.executeUpdate("insert into agents (ip_address, viewPosition) values (:ip_address, :viewPosition)",
                                 QVariantMap{{"ip_address", "10.0.0.1"}, {"viewPosition", 3}, {"id", 99}}));
    EXPECT_TRUE(log.messages().contains("Could not find index for id"));
    EXPECT_EQ(onlyRow("select count(*) as cn from agents").value("cn").toInt(), 1);

    EXPECT_FALSE(db.executeUpdate("update agents set viewPosition = :viewPosition where ip_address = :ip_address",
                                  QVariantMap{{"viewPosition", 4}}));
    EXPECT_TRUE(log.messages().contains(
        "Error: the bind count (1) is not correct for the # of variables in the query (2) (update agents set "
        "viewPosition = :viewPosition where ip_address = :ip_address) (executeUpdate)"));
    EXPECT_EQ(db.executeQuery("select * from agents where id = ? and ip_address = ?", QVariantList{1}), nullptr);
    EXPECT_TRUE(log.messages().contains("Error: the bind count is not correct for the # of variables (executeQuery)"));
    EXPECT_EQ(onlyRow("select viewPosition from agents").value("viewPosition").toInt(), 3);
}

TEST_F(FMDatabaseTest, FailuresAreValuesWithTheConnectionsError)
{
    fnw::test::LogCapture log;
    EXPECT_EQ(db.executeQuery("select * from no_such_table"), nullptr);
    EXPECT_TRUE(db.hadError());
    EXPECT_EQ(db.lastErrorMessage(), "no such table: no_such_table");
    EXPECT_EQ(db.lastError().domain, "FMDatabase");
    EXPECT_TRUE(log.messages().contains("DB Error: 1 \"no such table: no_such_table\""));
    EXPECT_TRUE(log.messages().contains("DB Query: select * from no_such_table"));

    EXPECT_FALSE(db.executeStatements("insert into agents (ip_address) values ('a'); insert into nowhere values (1)"));
    EXPECT_TRUE(log.messages().contains("Error inserting batch: no such table: nowhere"));
    // Statements of a batch before the failing one stay done; the connection stays usable.
    EXPECT_EQ(onlyRow("select count(*) as cn from agents").value("cn").toInt(), 1);
    EXPECT_FALSE(db.hadError());

    // A statement that yields a row is no update.
    EXPECT_FALSE(db.executeUpdate("select 1"));
    FMDatabase closed(directory.path() + "/other.db");
    EXPECT_FALSE(closed.executeUpdate("select 1"));
    EXPECT_TRUE(log.messages().contains("The FMDatabase " + directory.path() + "/other.db is not open."));
}

TEST_F(FMDatabaseTest, CursorsCloseThemselvesAtTheEndAndWithTheirConnection)
{
    ASSERT_TRUE(db.executeStatements("insert into agents (ip_address) values ('a'), ('b'), ('c')"));
    auto rs = db.executeQuery("select ip_address as address from agents order by id");
    ASSERT_TRUE(rs);
    EXPECT_TRUE(db.hasOpenResultSets());
    QStringList seen;
    while (rs->next())
        seen << rs->resultDictionary().value("address").toString();
    EXPECT_EQ(seen, (QStringList{"a", "b", "c"}));
    EXPECT_FALSE(db.hasOpenResultSets());
    EXPECT_FALSE(rs->next());

    auto left = db.executeQuery("select * from agents");
    ASSERT_TRUE(left && left->next());
    EXPECT_TRUE(db.goodConnection());
    EXPECT_TRUE(db.close());
    EXPECT_FALSE(db.isOpen());
    EXPECT_FALSE(left->next());
    left.reset();
    EXPECT_TRUE(db.open());
    EXPECT_EQ(onlyRow("select count(*) as cn from agents").value("cn").toInt(), 3);
}

TEST_F(FMDatabaseTest, ABusyDatabaseIsRetriedUntilFreeOrForTheIntervalAtMost)
{
    FMDatabase other(db.databasePath());
    ASSERT_TRUE(other.open());
    ASSERT_TRUE(db.beginTransaction());
    ASSERT_TRUE(db.executeUpdate("insert into agents (ip_address) values ('held')"));

    // Gives up once the interval has passed since the first busy answer.
    other.setMaxBusyRetryTimeInterval(0.3);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(other.executeUpdate("insert into agents (ip_address) values ('late')"));
    EXPECT_EQ(other.lastErrorCode(), 5);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));

    // Succeeds when the holder lets go within the interval.
    other.setMaxBusyRetryTimeInterval(2.0);
    std::promise<void> waiting;
    std::thread holder([&] {
        waiting.get_future().wait();
        // The other connection is inside its busy wait by now.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_TRUE(db.commit());
    });
    waiting.set_value();
    EXPECT_TRUE(other.executeUpdate("insert into agents (ip_address) values ('after')"));
    holder.join();
    EXPECT_EQ(onlyRow("select count(*) as cn from agents").value("cn").toInt(), 2);
}

TEST(FMDatabaseQueue, RunsBlocksOneAtATimeReopensAfterCloseAndRefusesNesting)
{
    fnw::test::LogCapture log;
    EXPECT_EQ(FMDatabaseQueue::databaseQueueWithPath("/proc/no/such/dir/fnwe.db"), nullptr);
    EXPECT_TRUE(log.messages().contains("Could not create database queue for path /proc/no/such/dir/fnwe.db"));

    QTemporaryDir directory;
    auto queue = FMDatabaseQueue::databaseQueueWithPath(directory.path() + "/fnwe.db");
    ASSERT_TRUE(queue);
    queue->inDatabase([](FMDatabase* db) { ASSERT_TRUE(db->executeUpdate("create table c (n INTEGER)")); });

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                queue->inDatabase([](FMDatabase* db) {
                    // Read, then write: overlapping blocks would lose increments.
                    auto rs = db->executeQuery("select count(*) from c");
                    ASSERT_TRUE(rs && rs->next());
                    const int count = rs->intForColumnIndex(0);
                    rs->close();
                    EXPECT_TRUE(db->executeUpdate("insert into c (n) values (?)", QVariantList{count}));
                });
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    queue->close();
    int count = 0;
    int distinct = 0;
    bool nested = true;
    queue->inDatabase([&](FMDatabase* db) {
        ASSERT_NE(db, nullptr);
        auto rs = db->executeQuery("select count(*), count(distinct n) from c");
        ASSERT_TRUE(rs && rs->next());
        count = rs->intForColumnIndex(0);
        distinct = rs->intForColumnIndex(1);
        rs->close();
        nested = queue->inDatabase([](FMDatabase*) { FAIL() << "a nested block must not run"; });
    });
    EXPECT_EQ(count, 100);
    EXPECT_EQ(distinct, 100);
    EXPECT_FALSE(nested);
    EXPECT_TRUE(log.messages().contains(
        "inDatabase: was called reentrantly on the same queue, which would lead to a deadlock"));
}

} // namespace
