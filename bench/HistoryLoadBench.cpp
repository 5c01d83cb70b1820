// The history list over a large database: the store's getAllExecutedTestProfileRecords against
// the one aggregate query that yields the same rows and counts, which no loader can beat.
#include "db/DBUtils.h"
#include "db/FMDatabase.h"
#include "db/FNWBaseModel.h"
#include "db/TestProfileExecutionDAO.h"
#include "model/TestProfileExecutionBean.h"
#include "results/HistoryView.h"
#include "results/IndividualTestHistoryView.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QSize>
#include <QTemporaryDir>
#include <QTimer>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <map>
#include <tuple>

namespace {

constexpr int kProfileRuns = 10000;
constexpr int kTestsPerRun = 4;
constexpr int kResultsPerTest = 30;
// One run in a hundred has a zero average and goes through the repair.
constexpr int kRepairEvery = 100;

using Clock = std::chrono::steady_clock;
// Per profile run: total tests, total agents, agents found, finished tests.
using Counts = std::tuple<qint64, qint64, qint64, qint64>;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool populate(const QString& path)
{
    FMDatabase db(path);
    if (!db.open() || !db.beginTransaction())
        return false;
    const double start = 1700000000.0;
    qint64 testID = 0;
    for (int run = 1; run <= kProfileRuns; ++run) {
        bool ok =
            db.executeUpdate(QStringLiteral("insert into test_profiles (testProfileName, viewPosition, isDeleted) "
                                            "values ('', 0, 0)"));
        const qint64 profileID = db.lastInsertRowId();
        ok = ok && db.executeUpdate(QStringLiteral("insert into test_profile_execution (profile_name, execution_date, "
                                                   "test_profile_id) values ('', ?, ?)"),
                                    {start + run * 60.0, profileID});
        const qint64 runID = db.lastInsertRowId();
        for (int t = 0; t < kTestsPerRun && ok; ++t) {
            ok = db.executeUpdate(
                QStringLiteral("insert into presets (name, duration, test_type, number_of_byte, "
                               "datagram_size, send_bw, data_format, buffer_length, tcp_window_size, "
                               "tcp_max_segment_size, no_tcp_delay, preset_type, agent_id, "
                               "isAttachedToQueue, time_interval, viewPosition, direction) values "
                               "('TCP 30s', 30, 0, -1, -1, -1, 0, 128, -1, 40, 0, '', -1, 1, 1, -1, 0)"));
            const qint64 presetID = db.lastInsertRowId();
            ok = ok && db.executeUpdate(QStringLiteral("insert into agents (ip_address, port_number, agent_name, "
                                                       "addedManually, isAttachedToQueue, viewPosition, lastSeen) "
                                                       "values (?, 5201, 'agent', 1, 1, -1, '')"),
                                        {QStringLiteral("10.0.%1.%2").arg(t).arg(run % 250 + 1)});
            const qint64 agentID = db.lastInsertRowId();
            ok = ok && db.executeUpdate(QStringLiteral("insert into test (testName, preset_id, agent_id, testOrder, "
                                                       "testQueueID, created_date, sourceIPAddress) "
                                                       "values ('test', ?, ?, 1, ?, ?, '10.0.9.9')"),
                                        {presetID, agentID, profileID, start + run * 60.0});
            testID = db.lastInsertRowId();
            const qint64 average = run % kRepairEvery == 0 ? 0 : 94000000 + t;
            ok = ok &&
                 db.executeUpdate(QStringLiteral("insert into test_execution_details (testBean_id, testProfile_id, "
                                                 "execution_date, averageSpeed, dataTransfered, ssid, bssid, "
                                                 "executionStatus, test_profile_execution_id, message, targetSsid, "
                                                 "targetBssid, iperfVersion, execution_duration) values "
                                                 "(?, ?, ?, ?, 352321536, 'Office', 'A4:2B:B0:01:02:03', 2, ?, '', "
                                                 "'Lab', 'C0:FF:EE:00:00:01', 0, 30)"),
                                  {testID, profileID, start + run * 60.0 + t, average, runID});
            const qint64 executionID = db.lastInsertRowId();
            for (int r = 0; r < kResultsPerTest && ok; ++r) {
                ok = db.executeUpdate(QStringLiteral("insert into test_results (test_id, start_time, end_time, speed, "
                                                     "data_transfered, execution_id, jitter, datagrams) "
                                                     "values (?, ?, ?, ?, 11744051.0, ?, '', '')"),
                                      {testID, QStringLiteral("%1.00").arg(r), QStringLiteral("%1.00").arg(r + 1),
                                       93000000.0 + r * 10000.0, executionID});
            }
        }
        if (!ok)
            return false;
    }
    return db.commit() && db.close();
}

// The floor: the same rows and figures from one statement, read column by column.
std::map<qint64, Counts> aggregateQuery(const QString& path)
{
    static const char* const sql =
        "SELECT pe.id, "
        "(SELECT count(*) FROM test WHERE testQueueID = pe.test_profile_id), "
        "(SELECT count(DISTINCT agent_id) FROM test WHERE testQueueID = pe.test_profile_id), "
        "count(DISTINCT t.agent_id), count(e.id) "
        "FROM test_profile_execution pe "
        "JOIN test_execution_details e ON e.test_profile_execution_id = pe.id AND e.executionStatus = 2 "
        "LEFT JOIN test t ON t.id = e.testBean_id "
        "GROUP BY pe.id ORDER BY pe.id DESC";
    std::map<qint64, Counts> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return rows;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            rows[sqlite3_column_int64(statement, 0)] =
                Counts{sqlite3_column_int64(statement, 1), sqlite3_column_int64(statement, 2),
                       sqlite3_column_int64(statement, 3), sqlite3_column_int64(statement, 4)};
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

// The history tab's models as the window uses them: from the load request to the first rows on
// the application thread, to every row, and one pass over every row's cells as a full scroll
// asks for them. The event loop stays free all along (the runs are read on another thread); the
// longest stretch it was busy is printed too.
void historyTab()
{
    HistoryView history;
    IndividualTestHistoryView& list = *history.individualResultsView();
    double firstRows = -1.0;
    double allRows = -1.0;
    double longestBusy = 0.0;
    QEventLoop loop;
    const auto start = Clock::now();
    auto lastTurn = Clock::now();
    QTimer heartbeat;
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longestBusy = std::max(longestBusy, secondsSince(lastTurn));
        lastTurn = Clock::now();
    });
    QObject::connect(&list, &QAbstractItemModel::modelReset, [&] {
        if (firstRows < 0 && list.rowCount() > 0)
            firstRows = secondsSince(start);
    });
    QObject::connect(&history, &HistoryView::loadingChanged, [&](bool loading) {
        if (!loading) {
            allRows = secondsSince(start);
            loop.quit();
        }
    });
    heartbeat.start();
    history.loadViewsDataFromDatabase();
    loop.exec();
    heartbeat.stop();

    const auto scrollStart = Clock::now();
    qint64 characters = 0;
    for (int row = 0; row < list.rowCount(); ++row) {
        for (int column = 0; column < IndividualTestHistoryView::ColumnCount; ++column) {
            const QModelIndex index = list.index(row, column);
            characters += index.data(IndividualTestHistoryView::LinesRole).toStringList().join(QString()).size();
            characters += index.data(Qt::SizeHintRole).toSize().height() > 0 ? 1 : 0;
        }
    }
    const double scroll = secondsSince(scrollStart);
    std::printf("history tab: first rows after %.3f s, all %d rows after %.3f s; the event loop was busy at most "
                "%.3f s at a time\n",
                firstRows, list.rowCount(), allRows, longestBusy);
    std::printf("history tab: a full scroll's cells in %.3f s (%lld characters)\n", scroll,
                static_cast<long long>(characters));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // An optional database path keeps the generated file for later runs (e.g. under a profiler).
    QTemporaryDir directory;
    if (!directory.isValid())
        return 2;
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : directory.filePath(QStringLiteral("fnwe.db"));
    const bool reuse = argc > 1 && QFileInfo::exists(path);
    DBUtils::setAppDBPathForTesting(path);
    if (!DBUtils::performDBMigration()) {
        std::fprintf(stderr, "migration failed\n");
        return 1;
    }

    auto start = Clock::now();
    if (!reuse && !populate(path)) {
        std::fprintf(stderr, "populating the database failed\n");
        return 1;
    }
    std::printf("database: %d profile runs, %d test runs, %d results, %s in %.1f s\n", kProfileRuns,
                kProfileRuns * kTestsPerRun, kProfileRuns * kTestsPerRun * kResultsPerTest, reuse ? "reused" : "built",
                secondsSince(start));

    // Both sides read from a warm page cache.
    aggregateQuery(path);
    start = Clock::now();
    const std::map<qint64, Counts> floor = aggregateQuery(path);
    const double floorSeconds = secondsSince(start);
    const long rssBeforeLoad = peakKilobytes();

    start = Clock::now();
    const auto history = TestProfileExecutionDAO().getAllExecutedTestProfileRecords();
    const double storeSeconds = secondsSince(start);

    std::map<qint64, Counts> loaded;
    qint64 previousID = std::numeric_limits<qint64>::max();
    bool newestFirst = true;
    for (const auto& run : history) {
        newestFirst = newestFirst && run->ID < previousID;
        previousID = run->ID;
        loaded[run->ID] = Counts{run->totalAssignedTest, run->totalAssignedAgents, run->actualFoundAgents,
                                 static_cast<qint64>(run->allExecutedTest().size())};
    }

    std::printf("getAllExecutedTestProfileRecords: %.3f s (%zu runs)\n", storeSeconds, history.size());
    std::printf("aggregate query (floor):          %.3f s (%zu runs)\n", floorSeconds, floor.size());
    std::printf("ratio: %.2f\n", storeSeconds / floorSeconds);
    std::printf("same rows and counts: %s, newest first: %s\n", loaded == floor ? "yes" : "NO",
                newestFirst ? "yes" : "NO");
    std::printf("peak memory: %ld KiB before the load, %ld KiB after\n", rssBeforeLoad, peakKilobytes());
    historyTab();
    FNWBaseModel::closeFMDB();
    return loaded == floor && newestFirst ? 0 : 1;
}
