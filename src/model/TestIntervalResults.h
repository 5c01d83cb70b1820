#pragma once

#include "model/FNWBaseBean.h"

// One iperf reporting line of a run, or its final totals line. Numbers are stored as iperf
// printed them: speed in bits per second, data_transfered in bytes.
class TestIntervalResults : public FNWBaseBean
{
public:
    TestIntervalResults();

    double speed = 0.0;
    double data_transfered = 0.0;
    qint64 test_id = 0;
    qint64 execution_id = 0;
    // Seconds as printed, e.g. "0.00".
    QString start_time;
    QString end_time;
    // Not stored.
    qint64 data_Format = 0;
    // UDP only; empty text otherwise.
    QString jitter;
    QString datagrams;

    // The table's columns in store order, "id" first.
    static QStringList storedFieldNames();

    // Inserts a new row; ID is set only when the insert succeeded. Always YES: a failure is
    // logged by the store and the run goes on.
    bool save();
    // Results are never changed once stored.
    bool update() { return true; }
    bool remove();

    QVariant valueForKey(const QString& key) const override;
    bool setValueForKey(const QVariant& value, const QString& key) override;
    QString description() const override;
};
