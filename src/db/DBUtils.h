#pragma once

#include <QString>

// The reason stored with a test that was running when its Fenwave process ended.
inline constexpr char kInterruptedReason[] = "Interrupted: Fenwave stopped during this test";

// The database file's location and the two start-up steps that ready it.
class DBUtils final
{
public:
    DBUtils() = delete;

    // The support folder + "/fnwe.db", computed once per process.
    static QString appDBPath();
    // Replaces the path; an empty one makes the next appDBPath compute (and log) it afresh.
    static void setAppDBPathForTesting(const QString& path);

    // Copies the prepared "fnwe.db" of the resources when no database file exists yet. True when
    // a file is there afterwards; else the reason goes to `failure` when given.
    static bool copyDBFileIfNeeded(QString* failure = nullptr);
    // Applies the pending migrations of the resources folder; true when all of them succeeded,
    // else the reason goes to `failure` when given. A file that is no database is left as it is.
    static bool performDBMigration(QString* failure = nullptr);
    // Makes the support folder when missing, copies and migrates the database, and checks that it
    // can be written (opened to ask; nothing is written or truncated). Empty when all of it works,
    // else "<path>: <reason>". A damaged file (not a database, truncated, garbled) is never
    // replaced: it is renamed "fnwe.db.damaged-<date>" (its new path goes to movedAside) and a
    // fresh copy is used. A database of a newer version is refused and left as it is.
    static QString prepareDatabase(QString* movedAside = nullptr);
    // Every Fenwave process that opens the database holds a shared lock on "fnwe.db.running"
    // beside it for as long as it lives; this takes it. A process that finds itself alone marks
    // the executions left "running" (by a process killed mid-run) failed, their results kept, and
    // answers how many; with another Fenwave process alive, whose runs they may be, it marks
    // nothing and answers -1.
    static qint64 repairInterruptedRuns();
};
