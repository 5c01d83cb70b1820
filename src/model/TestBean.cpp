#include "model/TestBean.h"

#include "db/FNWAgentDAO.h"
#include "db/FNWPresetDAO.h"
#include "db/TestBeanDAO.h"
#include "model/FNWAgentBean.h"
#include "model/FNWBeanFields.h"
#include "model/FNWPresetBean.h"
#include "support/FNWClock.h"

namespace {

using Fields = fnw::model::FNWBeanFields<TestBean>;

const Fields& testFields()
{
    static const Fields fields{
        {"testQueueID", &TestBean::testQueueID},
        {"testOrder", &TestBean::testOrder},
        {"preset_id", &TestBean::preset_id},
        {"agent_id", &TestBean::agent_id},
        {"testName", &TestBean::testName},
        {"haveSameOrderAsLastRow", &TestBean::haveSameOrderAsLastRow},
        {"haveSameOrderAsNextRow", &TestBean::haveSameOrderAsNextRow},
        {"created_date", &TestBean::created_date},
        {"sourceIPAddress", &TestBean::sourceIPAddress},
        {"executionStatus",
         Fields::Accessor{[](const TestBean& test) { return fnw::model::integerValue(test.executionStatus()); },
                          [](TestBean& test, const QVariant& value) {
                              qint64 status = 0;
                              if (!fnw::model::assignInteger(status, value))
                                  return false;
                              test.setExecutionStatus(status);
                              return true;
                          }}},
        {"message", Fields::Accessor{[](const TestBean& test) { return fnw::model::textValue(test.message()); },
                                     [](TestBean& test, const QVariant& value) {
                                         QString message;
                                         if (!fnw::model::assignText(message, value))
                                             return false;
                                         test.setMessage(message);
                                         return true;
                                     }}},
    };
    return fields;
}

} // namespace

// A fresh test's name is an empty text rather than an unset one.
TestBean::TestBean()
    : testName(QString::fromLatin1(""))
{
}

TestBean::~TestBean() = default;

QStringList TestBean::storedFieldNames()
{
    return {QStringLiteral("id"),           QStringLiteral("testName"),       QStringLiteral("preset_id"),
            QStringLiteral("agent_id"),     QStringLiteral("testOrder"),      QStringLiteral("testQueueID"),
            QStringLiteral("created_date"), QStringLiteral("sourceIPAddress")};
}

std::shared_ptr<FNWPresetBean> TestBean::preset() const
{
    return fnw::model::heldOrLoaded(m_mutex, m_preset, preset_id,
                                    [](qint64 id) { return FNWPresetDAO().loadPresetWithID(id); });
}

void TestBean::setPreset(std::shared_ptr<FNWPresetBean> preset)
{
    std::lock_guard lock(m_mutex);
    m_preset = std::move(preset);
}

std::shared_ptr<FNWAgentBean> TestBean::agent() const
{
    return fnw::model::heldOrLoaded(m_mutex, m_agent, agent_id,
                                    [](qint64 id) { return FNWAgentDAO().loadAgentWithID(id); });
}

void TestBean::setAgent(std::shared_ptr<FNWAgentBean> agent)
{
    std::lock_guard lock(m_mutex);
    m_agent = std::move(agent);
}

qint64 TestBean::executionStatus() const
{
    return m_executionStatus.load();
}

void TestBean::setExecutionStatus(qint64 status)
{
    m_executionStatus.store(status);
}

QString TestBean::message() const
{
    std::lock_guard lock(m_mutex);
    return m_message;
}

void TestBean::setMessage(const QString& message)
{
    // Swapped in so that the previous text is released after the lock, not under it.
    QString text = fnw::model::withoutTrailingLineEnds(message);
    {
        std::lock_guard lock(m_mutex);
        m_message.swap(text);
    }
}

std::shared_ptr<TestBean> TestBean::copy() const
{
    auto test = std::make_shared<TestBean>();
    test->testName = testName;
    test->testQueueID = testQueueID;
    test->preset_id = preset_id;
    test->agent_id = agent_id;
    test->created_date = created_date;
    test->testOrder = testOrder;
    test->setPreset(preset());
    test->setAgent(agent());
    return test;
}

std::shared_ptr<TestBean> TestBean::copyWithOwnSettings() const
{
    std::shared_ptr<TestBean> test = copy();
    if (const std::shared_ptr<FNWPresetBean> held = preset()) {
        std::shared_ptr<FNWPresetBean> own = held->copy();
        own->originalID = held->originalID;
        own->isEdited = held->isEdited;
        own->preset_type = held->preset_type;
        test->setPreset(std::move(own));
    }
    if (const std::shared_ptr<FNWAgentBean> held = agent()) {
        std::shared_ptr<FNWAgentBean> own = held->copy();
        own->originalID = held->originalID;
        test->setAgent(std::move(own));
    }
    return test;
}

bool TestBean::save(QString* error)
{
    // Every save stores fresh copies of the preset and the agent for this test alone.
    const std::shared_ptr<FNWPresetBean> testPreset = preset();
    const std::shared_ptr<FNWAgentBean> testAgent = agent();
    if (!testPreset || !testAgent) {
        if (error)
            *error = QStringLiteral("TestBean: the test has no preset or agent to save");
        return false;
    }
    const FNWSavedIDs before = savedIDs();
    created_date = FNWClock::systemClock()->now();
    // Without the transaction a failing test insert would leave its preset and agent copies behind.
    const bool saved = FNWBaseModel::inTransaction([&] {
        if (!testPreset->save(error))
            return false;
        preset_id = testPreset->ID;
        if (!testAgent->save(error))
            return false;
        agent_id = testAgent->ID;
        return TestBeanDAO().save(*this, error);
    });
    if (!saved)
        restoreIDs(before);
    return saved;
}

TestBean::FNWSavedIDs TestBean::savedIDs() const
{
    const std::shared_ptr<FNWPresetBean> testPreset = preset();
    const std::shared_ptr<FNWAgentBean> testAgent = agent();
    return {ID,
            testQueueID,
            preset_id,
            agent_id,
            created_date,
            testPreset ? testPreset->ID : 0,
            testAgent ? testAgent->ID : 0};
}

void TestBean::restoreIDs(const FNWSavedIDs& saved)
{
    ID = saved.ID;
    testQueueID = saved.testQueueID;
    preset_id = saved.preset_id;
    agent_id = saved.agent_id;
    created_date = saved.created_date;
    if (const std::shared_ptr<FNWPresetBean> testPreset = preset())
        testPreset->ID = saved.presetID;
    if (const std::shared_ptr<FNWAgentBean> testAgent = agent())
        testAgent->ID = saved.agentID;
}

bool TestBean::update()
{
    return TestBeanDAO().update(*this);
}

bool TestBean::updateOrder()
{
    return TestBeanDAO().updateOrder(*this);
}

bool TestBean::remove()
{
    return TestBeanDAO().remove(*this);
}

QVariant TestBean::valueForKey(const QString& key) const
{
    return testFields().valueForKey(*this, key);
}

bool TestBean::setValueForKey(const QVariant& value, const QString& key)
{
    return testFields().setValueForKey(*this, value, key);
}

QString TestBean::description() const
{
    return FNWStringWithFormat("TestBean: %ld,%@,order=%ld,profile=%ld,status=%ld", ID, fnw::model::textArg(testName),
                               testOrder, testQueueID, executionStatus());
}
