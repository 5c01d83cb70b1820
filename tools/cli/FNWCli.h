#pragma once

// fenwave-cli: the application's stores and test runs from a terminal.

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>

namespace fnw::cli {

enum ExitCode : int {
    kExitOk = 0,
    // A test failed, or something could not be read or written.
    kExitFailed = 1,
    kExitUsage = 2,
    kExitInterrupted = 3,
};

// What a command was asked, once the words are checked.
struct FNWCliRequest
{
    QString command;
    bool json = false;
    // history
    qint64 limit = 0;
    // show, export, delete
    qint64 executionID = 0;
    QString csvPath;
    QString summaryCsvPath;
    QString jsonPath;
    // run: a saved profile, or agent/preset pairs
    QString profileName;
    QStringList agents;
    QStringList presets;
    bool together = false;
    bool iperf2 = false;
};

// A parsed "ADDR[:PORT]"; port 0 when none was given.
struct FNWAgentAddress
{
    QString address;
    int port = 0;
};
// The address must pass the application's address check and the port lie in 1..65535; error
// says why not.
bool parseAgentAddress(const QString& text, FNWAgentAddress* agent, QString* error);
// A positive whole number, as execution IDs are.
bool parseExecutionID(const QString& text, qint64* id);

// Lines for standard output and one-line complaints for standard error, each flushed at once so
// that a pipe sees every line as it is written.
// Once standard output is closed (the reader of a pipe went away), the handler is called once.
void printLine(const QString& line);
void setOutputLostHandler(std::function<void()> handler);
void printJson(const QJsonObject& object);
void printError(const QString& message);

// The commands; each returns the process's exit code.
int listPresets(const FNWCliRequest& request);
int listAgents(const FNWCliRequest& request);
int listProfiles(const FNWCliRequest& request);
int listHistory(const FNWCliRequest& request);
int showExecution(const FNWCliRequest& request);
int exportExecution(const FNWCliRequest& request);
int deleteExecution(const FNWCliRequest& request);
// Runs until every test has ended or the process is told to stop (SIGINT, SIGTERM).
int runTests(const FNWCliRequest& request);

} // namespace fnw::cli
