#pragma once

#include "model/FNWBaseBean.h"

#include <QDateTime>

#include <atomic>
#include <memory>
#include <mutex>

class FNWAgentBean;
class FNWPresetBean;

// One queued test: a preset run against an agent. Tests with equal testOrder run together;
// orders run in ascending order.
class TestBean : public FNWBaseBean
{
public:
    TestBean();
    ~TestBean() override;

    qint64 testQueueID = -1;
    qint64 testOrder = -1;
    qint64 preset_id = -1;
    // 0 until an agent is set: no agent row has that id, so a fresh test points at nothing.
    qint64 agent_id = 0;
    QString testName;
    // Not stored: display flags computed by the queue view.
    bool haveSameOrderAsLastRow = false;
    bool haveSameOrderAsNextRow = false;
    // Invalid until the test is saved.
    QDateTime created_date;
    // This computer's address during the last run.
    QString sourceIPAddress;

    // The table's columns in store order, "id" first.
    static QStringList storedFieldNames();

    // The held preset and agent, which the test manager reads from several threads. With none
    // held and a row id (greater than 0), the record stored under preset_id / agent_id is loaded and
    // kept. Setting them leaves the ids alone.
    std::shared_ptr<FNWPresetBean> preset() const;
    void setPreset(std::shared_ptr<FNWPresetBean> preset);
    std::shared_ptr<FNWAgentBean> agent() const;
    void setAgent(std::shared_ptr<FNWAgentBean> agent);

    // Not stored: the state in the current run (FNWExecutionStatus), written by the test
    // manager's threads and read by the queue view.
    qint64 executionStatus() const;
    void setExecutionStatus(qint64 status);
    // Not stored: the failure reason of the last run.
    QString message() const;
    void setMessage(const QString& message);

    // A new test with ID 0 carrying name, profile, ids, order, created_date and the same
    // preset and agent objects; flags, status, message and sourceIPAddress start afresh.
    std::shared_ptr<TestBean> copy() const;
    // A copy holding copies of the preset and the agent (same originals, same edited flag), so
    // that saving it writes rows of its own and later edits of either test leave the other alone.
    std::shared_ptr<TestBean> copyWithOwnSettings() const;

    // Stamps created_date, saves the preset and the agent as new rows (taking their ids), then
    // inserts the test row, all in one transaction. Stops at the first failure, handing its
    // message out through error; nothing is then stored and the ids are as they were.
    bool save(QString* error = nullptr);

    // What a save sets on the test and on its preset and agent, to be put back when the save's
    // transaction is rolled back.
    struct FNWSavedIDs
    {
        qint64 ID = 0;
        qint64 testQueueID = -1;
        qint64 preset_id = -1;
        qint64 agent_id = 0;
        QDateTime created_date;
        qint64 presetID = 0;
        qint64 agentID = 0;
    };
    FNWSavedIDs savedIDs() const;
    void restoreIDs(const FNWSavedIDs& saved);
    bool update();
    // Writes testOrder only.
    bool updateOrder();
    bool remove();

    QVariant valueForKey(const QString& key) const override;
    bool setValueForKey(const QVariant& value, const QString& key) override;
    QString description() const override;

private:
    std::atomic<qint64> m_executionStatus{0};
    mutable std::mutex m_mutex;
    // Filled on first read from the stores, hence mutable.
    mutable std::shared_ptr<FNWPresetBean> m_preset;
    mutable std::shared_ptr<FNWAgentBean> m_agent;
    QString m_message;
};
