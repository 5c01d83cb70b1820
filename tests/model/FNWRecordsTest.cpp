#include "base/FNWEnums.h"
#include "model/FNWAgentBean.h"
#include "model/FNWCSVExport.h"
#include "model/FNWPresetBean.h"
#include "model/TestBean.h"
#include "model/TestExecutionBean.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"

#include <QDateTime>

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <thread>
#include <vector>

// Readable failure output for the Qt values compared below.
void PrintTo(const QVariant& value, std::ostream* os)
{
    *os << (value.isValid() ? value.typeName() : "invalid") << ' ' << value.toString().toStdString();
}

void PrintTo(const QDateTime& date, std::ostream* os)
{
    *os << date.toString(Qt::ISODateWithMs).toStdString();
}

namespace {

const QString kEmpty = QString::fromLatin1("");

// A preset whose every field differs from its initial value, so a field that a copy or a load
// forgets shows up.
std::shared_ptr<FNWPresetBean> makeFilledPreset()
{
    auto preset = std::make_shared<FNWPresetBean>();
    preset->ID = 17;
    preset->originalID = 3;
    preset->name = QStringLiteral("Long UDP");
    preset->duration = -1;
    preset->time_interval = 5;
    preset->direction = FNWDirectionReverse;
    preset->test_type = FNWTestTypeUDP;
    preset->number_of_byte = 250;
    preset->datagram_size = -1;
    preset->send_bw = 30;
    preset->data_format = FNWDataFormatKBps;
    preset->buffer_length = 8;
    preset->tcp_window_size = 64;
    preset->tcp_max_segment_size = 1400;
    preset->no_tcp_delay = 1;
    preset->agent_id = 9;
    preset->preset_type = QStringLiteral("custom");
    preset->isAttachedToQueue = true;
    preset->viewPosition = 4;
    preset->isEdited = true;
    return preset;
}

std::shared_ptr<FNWAgentBean> makeFilledAgent()
{
    auto agent = std::make_shared<FNWAgentBean>();
    agent->ID = 8;
    agent->ip_address = QStringLiteral("192.168.1.20");
    agent->port_number = 5301;
    agent->agent_name = QStringLiteral("Lab");
    agent->addedManually = true;
    agent->isAttachedToQueue = true;
    agent->viewPosition = 7;
    agent->lastSeen = QDateTime::fromMSecsSinceEpoch(1700000000250, Qt::UTC);
    return agent;
}

QStringList withoutNames(QStringList names, const QStringList& dropped)
{
    for (const QString& name : dropped)
        names.removeAll(name);
    return names;
}

// Loads a row the way the store does: every column on the field of the same name.
void loadRow(FNWBaseBean& bean, const QVariantMap& row)
{
    for (auto it = row.cbegin(); it != row.cend(); ++it)
        EXPECT_TRUE(bean.setValueForKey(it.value(), it.key())) << it.key().toStdString();
}

} // namespace

TEST(FNWRecordsTest, FreshRecordsHaveTheirInitialValues)
{
    // Stored fields, as an insert of the fresh record would bind them.
    // clang-format off
    EXPECT_EQ(FNWPresetBean().getDictionaryOfObject(FNWPresetBean::storedFieldNames()),
              (QVariantMap{{"id", 0}, {"name", ""}, {"duration", 10}, {"test_type", 0}, {"number_of_byte", 100},
                           {"datagram_size", 8}, {"send_bw", -1}, {"data_format", 0}, {"buffer_length", 128},
                           {"tcp_window_size", -1}, {"tcp_max_segment_size", 40}, {"no_tcp_delay", 0},
                           {"preset_type", ""}, {"agent_id", 0}, {"isAttachedToQueue", 0}, {"time_interval", 2},
                           {"viewPosition", -1}, {"direction", 0}}));
    EXPECT_EQ(FNWAgentBean().getDictionaryOfObject(FNWAgentBean::storedFieldNames()),
              (QVariantMap{{"id", 0}, {"ip_address", ""}, {"port_number", 5201}, {"agent_name", ""},
                           {"addedManually", 0}, {"isAttachedToQueue", 0}, {"viewPosition", -1}, {"lastSeen", ""}}));
    EXPECT_EQ(TestQueueBean().getDictionaryOfObject(TestQueueBean::storedFieldNames()),
              (QVariantMap{{"id", 0}, {"testProfileName", ""}, {"viewPosition", 0}, {"isDeleted", 0}}));
    EXPECT_EQ(TestBean().getDictionaryOfObject(TestBean::storedFieldNames()),
              (QVariantMap{{"id", 0}, {"testName", ""}, {"preset_id", -1}, {"agent_id", 0}, {"testOrder", -1},
                           {"testQueueID", -1}, {"created_date", ""}, {"sourceIPAddress", ""}}));
    // clang-format on

    // Unset texts are nil, except a test's name, which starts as an empty text.
    EXPECT_TRUE(FNWPresetBean().name.isNull());
    EXPECT_FALSE(TestBean().testName.isNull());
    EXPECT_EQ(TestBean().executionStatus(), FNWExecutionStatusNotStarted);

    // A failure reason keeps one line wherever it is stored or shown.
    TestBean test;
    test.setMessage(QStringLiteral("connect failed: Connection refused\r\n"));
    EXPECT_EQ(test.message(), QStringLiteral("connect failed: Connection refused"));
    TestExecutionBean execution;
    execution.setMessage(QStringLiteral("bad\n"));
    EXPECT_EQ(execution.message(), QStringLiteral("bad"));
}

TEST(FNWRecordsTest, CopiesCarryParametersOnlyAndStartAfresh)
{
    const auto preset = makeFilledPreset();
    const auto presetCopy = preset->copy();
    ASSERT_NE(presetCopy, preset);
    EXPECT_EQ(presetCopy->ID, -1);
    EXPECT_EQ(presetCopy->agent_id, -1);
    EXPECT_EQ(presetCopy->originalID, 0);
    EXPECT_FALSE(presetCopy->isEdited);
    EXPECT_TRUE(presetCopy->preset_type.isNull());
    QStringList carried = withoutNames(FNWPresetBean::storedFieldNames(), {"id", "agent_id", "preset_type"});
    EXPECT_EQ(carried.size(), 15);
    EXPECT_EQ(presetCopy->getDictionaryOfObject(carried), preset->getDictionaryOfObject(carried));

    const auto agent = makeFilledAgent();
    const auto agentCopy = agent->copy();
    EXPECT_EQ(agentCopy->ID, -1);
    EXPECT_EQ(agentCopy->viewPosition, -1);
    carried = withoutNames(FNWAgentBean::storedFieldNames(), {"id", "viewPosition"});
    EXPECT_EQ(agentCopy->getDictionaryOfObject(carried), agent->getDictionaryOfObject(carried));
    EXPECT_EQ(agentCopy->lastSeen, agent->lastSeen);

    TestQueueBean profile(31);
    profile.testProfileName = QStringLiteral("Nightly");
    profile.testList.push_back(std::make_shared<TestBean>());
    const auto profileCopy = profile.copy();
    EXPECT_EQ(profileCopy->ID, 0);
    EXPECT_TRUE(profileCopy->testList.empty());
    EXPECT_EQ(profileCopy->testProfileName, QStringLiteral("Nightly"));

    // A test's copy shares the preset and agent it holds.
    TestBean test;
    test.ID = 12;
    test.testName = QStringLiteral("10.0.0.2 - Quick");
    test.testQueueID = 5;
    test.testOrder = 3;
    test.preset_id = 40;
    test.agent_id = 41;
    test.created_date = QDateTime::fromMSecsSinceEpoch(1600000000000, Qt::UTC);
    test.sourceIPAddress = QStringLiteral("10.0.0.9");
    test.haveSameOrderAsLastRow = true;
    test.haveSameOrderAsNextRow = true;
    test.setExecutionStatus(FNWExecutionStatusFailed);
    test.setMessage(QStringLiteral("Connection refused"));
    test.setPreset(preset);
    test.setAgent(agent);
    // Holding the objects is independent of the stored ids.
    EXPECT_EQ(test.preset_id, 40);
    EXPECT_EQ(test.agent_id, 41);

    const auto copy = test.copy();
    EXPECT_EQ(copy->preset(), preset);
    EXPECT_EQ(copy->agent(), agent);
    EXPECT_EQ(copy->ID, 0);
    carried = withoutNames(TestBean::storedFieldNames(), {"id", "sourceIPAddress"});
    EXPECT_EQ(copy->getDictionaryOfObject(carried), test.getDictionaryOfObject(carried));
    EXPECT_FALSE(copy->haveSameOrderAsLastRow || copy->haveSameOrderAsNextRow);
    EXPECT_EQ(copy->executionStatus(), FNWExecutionStatusNotStarted);
    EXPECT_TRUE(copy->message().isEmpty());
    EXPECT_TRUE(copy->sourceIPAddress.isEmpty());
}

TEST(FNWRecordsTest, ValuesConvertToColumnsWithoutNullAndBack)
{
    FNWAgentBean agent;
    agent.ID = 23;
    agent.addedManually = true;
    QVariantMap row = agent.getDictionaryOfObject({"id", "agent_name", "addedManually", "lastSeen", "no_such"});
    EXPECT_EQ(row.value("id").toLongLong(), 23);
    EXPECT_EQ(agent.getMyIDAsNumber().toLongLong(), 23);
    // Unset values are non-null empty texts: a null QString would be bound as NULL.
    for (const char* name : {"agent_name", "lastSeen", "no_such"}) {
        EXPECT_EQ(row.value(name).typeId(), QMetaType::QString) << name;
        EXPECT_FALSE(row.value(name).toString().isNull()) << name;
        EXPECT_TRUE(row.value(name).toString().isEmpty()) << name;
    }
    // Booleans go to the INTEGER columns as 0 and 1, dates to the REAL ones as seconds.
    EXPECT_EQ(row.value("addedManually").typeId(), QMetaType::LongLong);
    EXPECT_EQ(row.value("addedManually").toLongLong(), 1);
    agent.lastSeen = QDateTime::fromMSecsSinceEpoch(1700000000250, Qt::UTC);
    row = agent.getDictionaryOfObject({"lastSeen"});
    EXPECT_EQ(row.value("lastSeen").typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(row.value("lastSeen").toDouble(), 1700000000.25);

    // Back from the columns: setValueForKey converts what the store hands out.
    FNWPresetBean preset;
    // Numbers: '' and NULL read as 0, text and reals are read as numbers.
    EXPECT_TRUE(preset.setValueForKey(kEmpty, "viewPosition"));
    EXPECT_EQ(preset.viewPosition, 0);
    EXPECT_TRUE(preset.setValueForKey(QVariant(), "send_bw"));
    EXPECT_EQ(preset.send_bw, 0);
    EXPECT_TRUE(preset.setValueForKey(QStringLiteral(" 12 "), "duration"));
    EXPECT_EQ(preset.duration, 12);
    EXPECT_TRUE(preset.setValueForKey(kEmpty, "isAttachedToQueue"));
    EXPECT_FALSE(preset.isAttachedToQueue);
    EXPECT_TRUE(preset.setValueForKey(qint64(44), "id"));
    EXPECT_EQ(preset.ID, 44);

    // Refused values and unknown keys leave the record as it was.
    EXPECT_FALSE(preset.setValueForKey(QStringLiteral("ten"), "duration"));
    EXPECT_EQ(preset.duration, 12);
    EXPECT_FALSE(preset.setValueForKey(1e300, "number_of_byte"));
    EXPECT_EQ(preset.number_of_byte, 100);
    EXPECT_FALSE(preset.setValueForKey(5, "no_such_field"));
    EXPECT_FALSE(preset.valueForKey("no_such_field").isValid());

    // Texts: NULL clears, numbers read as their text.
    EXPECT_TRUE(preset.setValueForKey(QStringLiteral("Quick"), "name"));
    EXPECT_EQ(preset.valueForKey("name").toString(), QStringLiteral("Quick"));
    EXPECT_TRUE(preset.setValueForKey(QVariant(), "name"));
    EXPECT_TRUE(preset.name.isNull());

    // Dates: a REAL or numeric text of seconds since 1970; '' and NULL clear.
    EXPECT_TRUE(agent.setValueForKey(1700000000.5, "lastSeen"));
    EXPECT_EQ(agent.lastSeen.toMSecsSinceEpoch(), 1700000000500);
    EXPECT_DOUBLE_EQ(agent.valueForKey("lastSeen").toDouble(), 1700000000.5);
    EXPECT_TRUE(agent.setValueForKey(kEmpty, "lastSeen"));
    EXPECT_FALSE(agent.lastSeen.isValid());
    EXPECT_TRUE(agent.setValueForKey(QStringLiteral("86400.25"), "lastSeen"));
    EXPECT_EQ(agent.lastSeen, QDateTime(QDate(1970, 1, 2), QTime(0, 0, 0, 250), Qt::UTC));
    EXPECT_FALSE(agent.setValueForKey(QStringLiteral("yesterday"), "lastSeen"));
}

TEST(FNWRecordsTest, RowsLoadBackIntoEqualRecords)
{
    auto profile = std::make_shared<TestQueueBean>(3);
    profile->testProfileName = QStringLiteral("Office");
    profile->isDeleted = true;
    // A test saved without a date or address comes back with '' in both columns.
    auto test = std::make_shared<TestBean>();
    test->testOrder = 2;

    struct Case
    {
        std::shared_ptr<FNWBaseBean> saved;
        std::shared_ptr<FNWBaseBean> loaded;
        QStringList columns;
    };
    const std::vector<Case> cases{
        {makeFilledPreset(), std::make_shared<FNWPresetBean>(), FNWPresetBean::storedFieldNames()},
        {makeFilledAgent(), std::make_shared<FNWAgentBean>(), FNWAgentBean::storedFieldNames()},
        {profile, std::make_shared<TestQueueBean>(), TestQueueBean::storedFieldNames()},
        {test, std::make_shared<TestBean>(), TestBean::storedFieldNames()},
    };
    for (const Case& c : cases) {
        loadRow(*c.loaded, c.saved->getDictionaryOfObject(c.columns));
        EXPECT_EQ(c.loaded->ID, c.saved->ID);
        EXPECT_EQ(c.loaded->getDictionaryOfObject(c.columns), c.saved->getDictionaryOfObject(c.columns));
        EXPECT_EQ(c.loaded->description(), c.saved->description());
    }
    EXPECT_EQ(makeFilledAgent()->description(), QStringLiteral("Lab,192.168.1.20,5301"));
    EXPECT_EQ(FNWAgentBean().description(), QStringLiteral("(null),(null),5201"));
    FNWAgentBean loaded;
    loaded.setValueForKey(kEmpty, "agent_name");
    EXPECT_EQ(loaded.description(), QStringLiteral(",(null),5201"));
}

// The test manager's threads write status, message and the held objects, and a run's figures and
// list, while the view reads them; every message is a new text, so an unguarded field frees texts
// under a reader's feet and ThreadSanitizer (or AddressSanitizer) reports it here.
TEST(FNWRecordsTest, RunStateIsSafeAcrossThreads)
{
    TestBean test;
    TestProfileExecutionBean run;
    const auto execution = std::make_shared<TestExecutionBean>();
    const QString prefix = QStringLiteral("iperf failed: ");
    const auto presetA = std::make_shared<FNWPresetBean>();
    const auto presetB = std::make_shared<FNWPresetBean>();
    constexpr int kRounds = 5000;
    constexpr size_t kListed = 1000;
    std::atomic<bool> unexpected{false};

    std::vector<std::thread> threads;
    for (int writer = 0; writer < 2; ++writer) {
        threads.emplace_back([&, writer] {
            for (int i = 0; i < kRounds; ++i) {
                test.setExecutionStatus(writer == 0 ? FNWExecutionStatusRunning : FNWExecutionStatusFailed);
                test.setMessage(prefix + QString::number(writer * kRounds + i));
                test.setPreset(writer == 0 ? presetA : presetB);
                if (writer == 0) {
                    execution->setTargetSsid(QStringLiteral("Lab %1").arg(i));
                    execution->setAverageSpeed(i);
                    if (size_t(i) < kListed)
                        run.addExecutedTest(execution);
                }
            }
        });
    }
    for (int reader = 0; reader < 2; ++reader) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                const qint64 status = test.executionStatus();
                const QString message = test.message();
                const auto preset = test.preset();
                const QString ssid = execution->targetSsid();
                if ((status != FNWExecutionStatusNotStarted && status != FNWExecutionStatusRunning &&
                     status != FNWExecutionStatusFailed) ||
                    (!message.isEmpty() && !message.startsWith(prefix)) ||
                    (preset && preset != presetA && preset != presetB) ||
                    (!ssid.isEmpty() && !ssid.startsWith(QStringLiteral("Lab "))) ||
                    FNWCSVExport::getCSVSummeryLine(*execution, nullptr, nullptr).isEmpty() ||
                    run.allExecutedTest().size() > kListed)
                    unexpected = true;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_FALSE(unexpected);
    EXPECT_TRUE(test.message().startsWith(prefix));
    EXPECT_TRUE(test.executionStatus() == FNWExecutionStatusRunning ||
                test.executionStatus() == FNWExecutionStatusFailed);
    EXPECT_EQ(run.allExecutedTest().size(), kListed);
}
