#pragma once

#include "db/FNWBaseModel.h"

#include <memory>
#include <vector>

class FNWAgentBean;

// The agents table: library agents (isAttachedToQueue 0) and the private copies saved with tests.
class FNWAgentDAO : public FNWBaseModel
{
public:
    FNWAgentDAO();

    QString className() const override;

    // Inserts a new row every time; the agent takes its id. The SQLite message of a failure is
    // handed out when asked.
    bool save(FNWAgentBean& agent, QString* error = nullptr);
    bool update(const FNWAgentBean& agent);
    bool remove(const FNWAgentBean& agent);
    bool updateViewPostion(const FNWAgentBean& agent);
    // The largest viewPosition over all agents, 0 when there are none.
    qint64 getMaxViewPosition();
    // Whether a library agent has exactly this address; the address is bound, never pasted into SQL.
    bool findAgent(const QString& ipAddress);
    // Library agents (false) or queue copies (true), in list order.
    std::vector<std::shared_ptr<FNWAgentBean>> getAllAttachedAgents(bool attached);
    // Every agent, in table order.
    std::vector<std::shared_ptr<FNWAgentBean>> getAllRecords();
    std::shared_ptr<FNWAgentBean> loadAgentWithID(qint64 agentID);
};
