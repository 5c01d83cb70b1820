#include "model/FNWPresetBean.h"

#include "base/FNWEnums.h"
#include "db/FNWPresetDAO.h"
#include "model/FNWBeanFields.h"
#include "support/DDLog.h"

namespace {

using Fields = fnw::model::FNWBeanFields<FNWPresetBean>;

const Fields& presetFields()
{
    static const Fields fields{
        {"originalID", &FNWPresetBean::originalID},
        {"name", &FNWPresetBean::name},
        {"duration", &FNWPresetBean::duration},
        {"time_interval", &FNWPresetBean::time_interval},
        {"direction", &FNWPresetBean::direction},
        {"test_type", &FNWPresetBean::test_type},
        {"number_of_byte", &FNWPresetBean::number_of_byte},
        {"datagram_size", &FNWPresetBean::datagram_size},
        {"send_bw", &FNWPresetBean::send_bw},
        {"data_format", &FNWPresetBean::data_format},
        {"buffer_length", &FNWPresetBean::buffer_length},
        {"tcp_window_size", &FNWPresetBean::tcp_window_size},
        {"tcp_max_segment_size", &FNWPresetBean::tcp_max_segment_size},
        {"no_tcp_delay", &FNWPresetBean::no_tcp_delay},
        {"agent_id", &FNWPresetBean::agent_id},
        {"preset_type", &FNWPresetBean::preset_type},
        {"isAttachedToQueue", &FNWPresetBean::isAttachedToQueue},
        {"viewPosition", &FNWPresetBean::viewPosition},
        {"isEdited", &FNWPresetBean::isEdited},
    };
    return fields;
}

} // namespace

QStringList FNWPresetBean::storedFieldNames()
{
    return {QStringLiteral("id"),
            QStringLiteral("name"),
            QStringLiteral("duration"),
            QStringLiteral("test_type"),
            QStringLiteral("number_of_byte"),
            QStringLiteral("datagram_size"),
            QStringLiteral("send_bw"),
            QStringLiteral("data_format"),
            QStringLiteral("buffer_length"),
            QStringLiteral("tcp_window_size"),
            QStringLiteral("tcp_max_segment_size"),
            QStringLiteral("no_tcp_delay"),
            QStringLiteral("preset_type"),
            QStringLiteral("agent_id"),
            QStringLiteral("isAttachedToQueue"),
            QStringLiteral("time_interval"),
            QStringLiteral("viewPosition"),
            QStringLiteral("direction")};
}

std::shared_ptr<FNWPresetBean> FNWPresetBean::copy() const
{
    auto preset = std::make_shared<FNWPresetBean>();
    preset->ID = -1;
    preset->agent_id = -1;
    preset->name = name;
    preset->duration = duration;
    preset->time_interval = time_interval;
    preset->direction = direction;
    preset->test_type = test_type;
    preset->number_of_byte = number_of_byte;
    preset->datagram_size = datagram_size;
    preset->send_bw = send_bw;
    preset->data_format = data_format;
    preset->buffer_length = buffer_length;
    preset->tcp_window_size = tcp_window_size;
    preset->tcp_max_segment_size = tcp_max_segment_size;
    preset->no_tcp_delay = no_tcp_delay;
    preset->isAttachedToQueue = isAttachedToQueue;
    preset->viewPosition = viewPosition;
    return preset;
}

bool FNWPresetBean::validateValue(const QVariant&, const QString&, QString*) const
{
    return true;
}

bool FNWPresetBean::save(QString* error)
{
    QString errors = QString::fromLatin1("");
    for (const QString& key : {QStringLiteral("name"), QStringLiteral("time_interval"), QStringLiteral("duration")}) {
        QString validationError;
        if (!validateValue(valueForKey(key), key, &validationError)) {
            DDLogError("Validation Error: %@", validationError);
            errors += validationError + QLatin1Char('\n');
        }
    }
    DDLogInfo("errros are %@", errors);
    if (!errors.isEmpty()) {
        if (error)
            *error = errors;
        return false;
    }
    return FNWPresetDAO().save(*this, error);
}

bool FNWPresetBean::update()
{
    return FNWPresetDAO().update(*this);
}

bool FNWPresetBean::remove()
{
    return FNWPresetDAO().remove(*this);
}

bool FNWPresetBean::updateViewPostion()
{
    return FNWPresetDAO().updateViewPostion(*this);
}

bool FNWPresetBean::findPreset(const QString& name)
{
    return FNWPresetDAO().findPreset(name);
}

QVariant FNWPresetBean::valueForKey(const QString& key) const
{
    return presetFields().valueForKey(*this, key);
}

bool FNWPresetBean::setValueForKey(const QVariant& value, const QString& key)
{
    return presetFields().setValueForKey(*this, value, key);
}

QString FNWPresetBean::description() const
{
    return FNWStringWithFormat("FNWPresetBean: %ld,%@,%@,duration=%ld,bytes=%ld,interval=%ld,direction=%ld", ID,
                               fnw::model::textArg(name), FNWTestTypeName(test_type), duration, number_of_byte,
                               time_interval, direction);
}
