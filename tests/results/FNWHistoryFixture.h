#pragma once

#include "base/FNWAlerts.h"
#include "base/FNWEnums.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestIntervalResults.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

// One executed test of a stored run.
struct StoredTest
{
    QString preset = QStringLiteral("Quick");
    qint64 duration = 10;
    qint64 megabytes = -1;
    qint64 status = FNWExecutionStatusFinished;
    int results = 3;
};

// A fresh database per case; stored runs are made as the engine leaves them: the profile with its
// tests and their preset and agent copies, the run, its test executions and interval results
// (the final totals row stored last). Alerts are answered by `answer` and recorded.
class FNWHistoryFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fnw::test::useFreshDatabase());
        FNWAlerts::setTestResponder([this](const FNWAlertRequest& request) {
            alerts.push_back(request);
            if (duringAlert)
                duringAlert();
            return answer;
        });
    }
    void TearDown() override { FNWAlerts::setTestResponder({}); }

    // Returns the run's ID; its profile's ID goes to profileID.
    qint64 storeRun(const std::vector<StoredTest>& tests, const QString& name = QString(), qint64* profileID = nullptr)
    {
        TestQueueBean profile;
        profile.testProfileName = name;
        for (const StoredTest& stored : tests) {
            auto preset = std::make_shared<FNWPresetBean>();
            preset->name = stored.preset;
            preset->duration = stored.duration;
            preset->number_of_byte = stored.megabytes;
            preset->isAttachedToQueue = true;
            auto agent = std::make_shared<FNWAgentBean>();
            agent->ip_address = QStringLiteral("127.0.0.%1").arg(profile.testList.size() + 1);
            agent->isAttachedToQueue = true;
            auto test = std::make_shared<TestBean>();
            test->setPreset(preset);
            test->setAgent(agent);
            test->testOrder = 1;
            profile.testList.push_back(test);
        }
        EXPECT_TRUE(profile.save());
        if (profileID)
            *profileID = profile.ID;
        TestProfileExecutionBean run;
        run.profile_name = name;
        run.test_profile_id = profile.ID;
        run.execution_date = QDateTime::fromSecsSinceEpoch(1700000000 + 60 * ++m_runs);
        run.save();
        for (size_t index = 0; index < tests.size(); ++index) {
            TestExecutionBean execution;
            execution.testBean_id = profile.testList[index]->ID;
            execution.testProfile_id = profile.ID;
            execution.test_profile_execution_id = run.ID;
            execution.ssid = QStringLiteral("Lab");
            execution.setExecutionStatus(tests[index].status);
            execution.setAverageSpeed(12345678);
            execution.setDataTransfered(1048576);
            execution.save();
            for (int result = 0; result < tests[index].results; ++result) {
                TestIntervalResults row;
                row.execution_id = execution.ID;
                row.start_time = QString::number(result) + QStringLiteral(".00");
                row.end_time = QString::number(result + 1) + QStringLiteral(".00");
                row.speed = 1000.0F * (result + 1);
                row.data_transfered = 125.0F * (result + 1);
                row.save();
            }
        }
        return run.ID;
    }

    std::vector<FNWAlertRequest> alerts;
    // The button the next alerts choose; 1 is "Yes" of a confirmation.
    int answer = 1;
    std::function<void()> duringAlert;

private:
    int m_runs = 0;
};
