#pragma once

#include "model/FNWBaseBean.h"

#include <QDateTime>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class TestBean;
class TestIntervalResults;

// One run of one test. The run's threads fill it while it runs: the output parser the summary
// figures, the Wi-Fi query the target's network, the test manager status and message, while
// the views read it; those fields are atomic or guarded.
class TestExecutionBean : public FNWBaseBean
{
public:
    TestExecutionBean();
    ~TestExecutionBean() override;

    // Set once when the run is created, before other threads see the record.
    qint64 testBean_id = 0;
    qint64 testProfile_id = 0;
    qint64 test_profile_execution_id = 0;
    // This computer's network when the test started; bssid in upper case.
    QString ssid;
    QString bssid;
    QDateTime execution_date;

    // The final totals line's end time rounded up to whole seconds.
    qint64 execution_duration() const;
    void setExecution_duration(qint64 seconds);
    // Bits per second, -1 until known.
    qint64 averageSpeed() const;
    void setAverageSpeed(qint64 bitsPerSecond);
    // Bytes, -1 until known.
    qint64 dataTransfered() const;
    void setDataTransfered(qint64 bytes);
    // FNWIperfVersion.
    qint64 iperfVersion() const;
    void setIperfVersion(qint64 version);
    // FNWExecutionStatus.
    qint64 executionStatus() const;
    void setExecutionStatus(qint64 status);
    QString targetSsid() const;
    void setTargetSsid(const QString& ssid);
    QString targetBssid() const;
    void setTargetBssid(const QString& bssid);
    // The failure reason.
    QString message() const;
    void setMessage(const QString& message);

    // The table's columns in store order, "id" first.
    static QStringList storedFieldNames();

    // Most recent first. An empty list is filled from the store on first read, unless the run
    // failed or has no test.
    std::vector<std::shared_ptr<TestIntervalResults>> testResults();
    void setTestResults(std::vector<std::shared_ptr<TestIntervalResults>> results);
    // Puts the result first, keeping the list most recent first.
    void addIntervalResults(std::shared_ptr<TestIntervalResults> result);

    // The test, loaded from the store by testBean_id on first read and kept.
    std::shared_ptr<TestBean> testBean();
    void setTestBean(std::shared_ptr<TestBean> test);

    // Inserts a new row (the store sets ID). Always YES: a failure is logged by the store.
    bool save();
    bool update();
    // Deletes the run's interval results, then its row.
    bool remove();

    // One summary line and one interval block of the CSV exports; the block shows the test
    // as stored now.
    QString getCSVSummeryLine();
    QString getCSVIntervalResults();

    QVariant valueForKey(const QString& key) const override;
    bool setValueForKey(const QVariant& value, const QString& key) override;
    QString description() const override;

private:
    std::atomic<qint64> m_execution_duration{0};
    std::atomic<qint64> m_averageSpeed{-1};
    std::atomic<qint64> m_dataTransfered{-1};
    std::atomic<qint64> m_iperfVersion{0};
    std::atomic<qint64> m_executionStatus{0};
    mutable std::mutex m_mutex;
    QString m_targetSsid;
    QString m_targetBssid;
    QString m_message;
    std::vector<std::shared_ptr<TestIntervalResults>> m_testResults;
    std::shared_ptr<TestBean> m_testBean;
};
