#pragma once

#include "model/FNWBaseBean.h"

#include <memory>

// One iperf parameter set. It runs by time (number_of_byte -1) or by amount (duration -1); a
// fresh preset has both set and the preset editor picks the mode.
class FNWPresetBean : public FNWBaseBean
{
public:
    FNWPresetBean() = default;

    // Not stored: on a queue copy, the library preset it was copied from.
    qint64 originalID = 0;
    QString name;
    qint64 duration = 10;
    qint64 time_interval = 2;
    qint64 direction = 0;
    qint64 test_type = 0;
    // Megabytes.
    qint64 number_of_byte = 100;
    qint64 datagram_size = 8;
    // Megabits per second.
    qint64 send_bw = -1;
    qint64 data_format = 0;
    // Kilobytes.
    qint64 buffer_length = 128;
    // Kilobytes.
    qint64 tcp_window_size = -1;
    qint64 tcp_max_segment_size = 40;
    qint64 no_tcp_delay = 0;
    qint64 agent_id = 0;
    QString preset_type;
    bool isAttachedToQueue = false;
    qint64 viewPosition = -1;
    // Not stored: edited from the queue after it was copied there.
    bool isEdited = false;

    // The table's columns in store order, "id" first.
    static QStringList storedFieldNames();

    // A new preset with ID -1 and agent_id -1 carrying the parameters, the attachment flag and
    // the position; originalID, isEdited and preset_type keep their initial values.
    std::shared_ptr<FNWPresetBean> copy() const;

    // Field rules belong to the preset editor, so every value is accepted.
    bool validateValue(const QVariant& value, const QString& key, QString* error) const;

    // Validates name, time_interval and duration, then inserts a new row (the preset takes its
    // id). The validation messages, or the store's failure, are handed out through error.
    bool save(QString* error = nullptr);
    bool update();
    bool remove();
    bool updateViewPostion();
    // Whether a library preset has exactly this name.
    static bool findPreset(const QString& name);

    QVariant valueForKey(const QString& key) const override;
    bool setValueForKey(const QVariant& value, const QString& key) override;
    QString description() const override;
};
