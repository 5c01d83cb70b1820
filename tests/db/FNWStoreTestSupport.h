#pragma once

#include "db/FNWBaseModel.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

// The record stores' cases: each starts from a freshly migrated, empty database behind a fresh
// shared queue, and reads the tables back with plain SQL.
class FNWStoreTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(fnw::test::useFreshDatabase()); }
    void TearDown() override { FNWBaseModel::resetSharedQueueForTesting(); }

    static QList<QVariantMap> rows(const QString& sql)
    {
        return FNWBaseModel(QStringLiteral("presets"), {}).getRecordsWithSQLQuery(sql);
    }

    // -1 when the query itself fails, so a broken statement never passes for "no rows".
    static qint64 count(const QString& table, const QString& where = QStringLiteral("1"))
    {
        return rows(QStringLiteral("select count(*) as cn from %1 where %2").arg(table, where))
            .value(0)
            .value(QStringLiteral("cn"), -1)
            .toLongLong();
    }

    static void execute(const QString& sql) { ASSERT_TRUE(fnw::test::executeSQL(sql)); }
};
