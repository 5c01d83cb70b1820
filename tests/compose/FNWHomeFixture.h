#pragma once

#include "base/FNWAlerts.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "compose/FNWPresetAgentQueueView.h"
#include "compose/PresetsListView.h"
#include "compose/QueueListView.h"
#include "db/FNWAgentDAO.h"
#include "db/FNWPresetDAO.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "targets/AgentsListView.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// The three lists of the home tab and their coordinator over a fresh database; alerts are
// answered and recorded, main-window warnings recorded.
class FNWHomeFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fnw::test::useFreshDatabase());
        FNWAlerts::setTestResponder([this](const FNWAlertRequest& request) {
            alerts.push_back(request);
            return answer;
        });
        m_warnings = FNWNotificationCenter::defaultCenter().addObserver(
            QString::fromLatin1(ShowWarningOnMainWindowNotification), [this](const FNWNotification& notification) {
                warnings.push_back(notification.userInfo.value(QString::fromLatin1(kErrorKey)).toString());
            });
        coordinator = std::make_unique<FNWPresetAgentQueueView>(presets, agents, queue);
    }

    void TearDown() override
    {
        coordinator.reset();
        FNWAlerts::setTestResponder({});
    }

    // A library preset placed at the end of the list, as the editor's save does.
    std::shared_ptr<FNWPresetBean> addPreset(const QString& name)
    {
        auto preset = std::make_shared<FNWPresetBean>();
        preset->name = name;
        EXPECT_TRUE(preset->save());
        presets.didAddedNewPreset(preset);
        return preset;
    }

    std::shared_ptr<FNWAgentBean> addAgent(const QString& address, const QString& name = QString())
    {
        auto agent = std::make_shared<FNWAgentBean>();
        agent->ip_address = address;
        agent->agent_name = name;
        agent->addedManually = true;
        agent->viewPosition = FNWAgentBean::getMaxViewPosition() + 1;
        agent->lastSeen = QDateTime::currentDateTime();
        EXPECT_TRUE(agent->save());
        agents.loadAllAgents();
        return agent;
    }

    // The lists most cases start from: the preset "Quick", selected, and agents at 127.0.0.1 to .3.
    std::shared_ptr<FNWPresetBean> addQuickPresetAndThreeAgents()
    {
        std::shared_ptr<FNWPresetBean> quick = addPreset(QStringLiteral("Quick"));
        for (const char* address : {"127.0.0.1", "127.0.0.2", "127.0.0.3"})
            addAgent(QString::fromLatin1(address));
        presets.selectRow(0);
        return quick;
    }

    std::vector<qint64> orders() const
    {
        std::vector<qint64> result;
        for (const auto& test : queue.testList())
            result.push_back(test->testOrder);
        return result;
    }

    PresetsListView presets;
    AgentsListView agents;
    QueueListView queue;
    std::unique_ptr<FNWPresetAgentQueueView> coordinator;
    std::vector<FNWAlertRequest> alerts;
    std::vector<QString> warnings;
    // The button the next alerts choose.
    int answer = 1;

private:
    FNWObserverToken m_warnings;
};
