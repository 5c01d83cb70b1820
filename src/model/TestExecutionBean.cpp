#include "model/TestExecutionBean.h"

#include "base/FNWEnums.h"
#include "db/TestBeanDAO.h"
#include "db/TestExecutionDAO.h"
#include "db/TestIntervalResultsDAO.h"
#include "model/FNWBeanFields.h"
#include "model/FNWCSVExport.h"
#include "model/TestBean.h"
#include "model/TestIntervalResults.h"

namespace {

using Fields = fnw::model::FNWBeanFields<TestExecutionBean>;

template <qint64 (TestExecutionBean::*Get)() const, void (TestExecutionBean::*Set)(qint64)>
Fields::Accessor integerAccessor()
{
    return {[](const TestExecutionBean& bean) { return fnw::model::integerValue((bean.*Get)()); },
            [](TestExecutionBean& bean, const QVariant& value) {
                qint64 number = 0;
                if (!fnw::model::assignInteger(number, value))
                    return false;
                (bean.*Set)(number);
                return true;
            }};
}

template <QString (TestExecutionBean::*Get)() const, void (TestExecutionBean::*Set)(const QString&)>
Fields::Accessor textAccessor()
{
    return {[](const TestExecutionBean& bean) { return fnw::model::textValue((bean.*Get)()); },
            [](TestExecutionBean& bean, const QVariant& value) {
                QString text;
                if (!fnw::model::assignText(text, value))
                    return false;
                (bean.*Set)(text);
                return true;
            }};
}

const Fields& executionFields()
{
    using B = TestExecutionBean;
    static const Fields fields{
        {"testBean_id", &B::testBean_id},
        {"testProfile_id", &B::testProfile_id},
        {"test_profile_execution_id", &B::test_profile_execution_id},
        {"ssid", &B::ssid},
        {"bssid", &B::bssid},
        {"execution_date", &B::execution_date},
        {"execution_duration", integerAccessor<&B::execution_duration, &B::setExecution_duration>()},
        {"averageSpeed", integerAccessor<&B::averageSpeed, &B::setAverageSpeed>()},
        {"dataTransfered", integerAccessor<&B::dataTransfered, &B::setDataTransfered>()},
        {"iperfVersion", integerAccessor<&B::iperfVersion, &B::setIperfVersion>()},
        {"executionStatus", integerAccessor<&B::executionStatus, &B::setExecutionStatus>()},
        {"targetSsid", textAccessor<&B::targetSsid, &B::setTargetSsid>()},
        {"targetBssid", textAccessor<&B::targetBssid, &B::setTargetBssid>()},
        {"message", textAccessor<&B::message, &B::setMessage>()},
    };
    return fields;
}

// Swapped in so that the previous text is released after the lock, not under it.
void setGuarded(std::mutex& mutex, QString& field, const QString& value)
{
    QString text = value;
    std::lock_guard lock(mutex);
    field.swap(text);
}

} // namespace

// The local network names start as empty text, not unset.
TestExecutionBean::TestExecutionBean()
    : ssid(QString::fromLatin1(""))
    , bssid(QString::fromLatin1(""))
{
}

TestExecutionBean::~TestExecutionBean() = default;

qint64 TestExecutionBean::execution_duration() const
{
    return m_execution_duration.load();
}

void TestExecutionBean::setExecution_duration(qint64 seconds)
{
    m_execution_duration.store(seconds);
}

qint64 TestExecutionBean::averageSpeed() const
{
    return m_averageSpeed.load();
}

void TestExecutionBean::setAverageSpeed(qint64 bitsPerSecond)
{
    m_averageSpeed.store(bitsPerSecond);
}

qint64 TestExecutionBean::dataTransfered() const
{
    return m_dataTransfered.load();
}

void TestExecutionBean::setDataTransfered(qint64 bytes)
{
    m_dataTransfered.store(bytes);
}

qint64 TestExecutionBean::iperfVersion() const
{
    return m_iperfVersion.load();
}

void TestExecutionBean::setIperfVersion(qint64 version)
{
    m_iperfVersion.store(version);
}

qint64 TestExecutionBean::executionStatus() const
{
    return m_executionStatus.load();
}

void TestExecutionBean::setExecutionStatus(qint64 status)
{
    m_executionStatus.store(status);
}

QString TestExecutionBean::targetSsid() const
{
    std::lock_guard lock(m_mutex);
    return m_targetSsid;
}

void TestExecutionBean::setTargetSsid(const QString& ssid)
{
    setGuarded(m_mutex, m_targetSsid, ssid);
}

QString TestExecutionBean::targetBssid() const
{
    std::lock_guard lock(m_mutex);
    return m_targetBssid;
}

void TestExecutionBean::setTargetBssid(const QString& bssid)
{
    setGuarded(m_mutex, m_targetBssid, bssid);
}

QString TestExecutionBean::message() const
{
    std::lock_guard lock(m_mutex);
    return m_message;
}

void TestExecutionBean::setMessage(const QString& message)
{
    setGuarded(m_mutex, m_message, fnw::model::withoutTrailingLineEnds(message));
}

QStringList TestExecutionBean::storedFieldNames()
{
    return {QStringLiteral("id"),
            QStringLiteral("testBean_id"),
            QStringLiteral("testProfile_id"),
            QStringLiteral("execution_date"),
            QStringLiteral("averageSpeed"),
            QStringLiteral("dataTransfered"),
            QStringLiteral("ssid"),
            QStringLiteral("bssid"),
            QStringLiteral("executionStatus"),
            QStringLiteral("test_profile_execution_id"),
            QStringLiteral("message"),
            QStringLiteral("targetSsid"),
            QStringLiteral("targetBssid"),
            QStringLiteral("iperfVersion"),
            QStringLiteral("execution_duration")};
}

std::vector<std::shared_ptr<TestIntervalResults>> TestExecutionBean::testResults()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_testResults.empty() || testBean_id == -1 || executionStatus() == FNWExecutionStatusFailed)
            return m_testResults;
    }
    // Loaded outside the lock so that the run's threads are not held up by the query.
    auto loaded = TestIntervalResultsDAO().loadAllResultsForTestExectionID(ID);
    std::lock_guard lock(m_mutex);
    if (m_testResults.empty())
        m_testResults = std::move(loaded);
    return m_testResults;
}

void TestExecutionBean::setTestResults(std::vector<std::shared_ptr<TestIntervalResults>> results)
{
    std::lock_guard lock(m_mutex);
    m_testResults.swap(results);
}

void TestExecutionBean::addIntervalResults(std::shared_ptr<TestIntervalResults> result)
{
    std::lock_guard lock(m_mutex);
    m_testResults.insert(m_testResults.begin(), std::move(result));
}

std::shared_ptr<TestBean> TestExecutionBean::testBean()
{
    return fnw::model::heldOrLoaded(m_mutex, m_testBean, testBean_id,
                                    [](qint64 id) { return TestBeanDAO().loadTestBeanWithID(id); });
}

void TestExecutionBean::setTestBean(std::shared_ptr<TestBean> test)
{
    std::lock_guard lock(m_mutex);
    m_testBean.swap(test);
}

bool TestExecutionBean::save()
{
    TestExecutionDAO().save(*this);
    return true;
}

bool TestExecutionBean::update()
{
    return TestExecutionDAO().update(*this);
}

bool TestExecutionBean::remove()
{
    return TestExecutionDAO().remove(*this);
}

QString TestExecutionBean::getCSVSummeryLine()
{
    const std::shared_ptr<TestBean> test = testBean();
    return FNWCSVExport::getCSVSummeryLine(*this, test ? test->preset().get() : nullptr,
                                           test ? test->agent().get() : nullptr);
}

QString TestExecutionBean::getCSVIntervalResults()
{
    const std::shared_ptr<TestBean> test = TestBeanDAO().loadTestBeanWithID(testBean_id);
    return FNWCSVExport::getCSVIntervalResults(*this, test.get(), test ? test->preset().get() : nullptr,
                                               test ? test->agent().get() : nullptr, testResults());
}

QVariant TestExecutionBean::valueForKey(const QString& key) const
{
    return executionFields().valueForKey(*this, key);
}

bool TestExecutionBean::setValueForKey(const QVariant& value, const QString& key)
{
    return executionFields().setValueForKey(*this, value, key);
}

QString TestExecutionBean::description() const
{
    return FNWStringWithFormat("TestExecutionBean: %ld,test=%ld,run=%ld,status=%ld,speed=%ld,data=%ld", ID, testBean_id,
                               test_profile_execution_id, executionStatus(), averageSpeed(), dataTransfered());
}
