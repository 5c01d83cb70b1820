#pragma once

#include "model/FNWAgentBean.h"
#include "targets/FNWCreateAgentWindowController.h"
#include "targets/FNWEditAgentWindowController.h"

#include <memory>
#include <vector>

// Counts the create window's saves and keeps the agents the edit window hands back, storing them
// as the agents list does.
struct FNWRecordingAgentDelegate final : CreateAgentWindowDelegate, EditAgentWindowDelegate
{
    void didAddedNewAgents() override { ++added; }
    void userClickedToAddUpdatedAgentsInfo(const std::shared_ptr<FNWAgentBean>& agent) override
    {
        updated.push_back(agent);
        agent->update();
    }
    int added = 0;
    std::vector<std::shared_ptr<FNWAgentBean>> updated;
};

// A library agent (or, attached, a queue's copy) named after its address.
inline std::shared_ptr<FNWAgentBean> storeAgent(const QString& address, bool attached = false, qint64 position = -1)
{
    auto agent = std::make_shared<FNWAgentBean>();
    agent->ip_address = address;
    agent->agent_name = QStringLiteral("stored ") + address;
    agent->isAttachedToQueue = attached;
    agent->viewPosition = position;
    agent->save();
    return agent;
}
