#include "db/FNWPresetDAO.h"

#include "model/FNWPresetBean.h"
#include "support/DDLog.h"

FNWPresetDAO::FNWPresetDAO()
    : FNWBaseModel(QStringLiteral("presets"), FNWPresetBean::storedFieldNames())
{
}

QString FNWPresetDAO::className() const
{
    return QStringLiteral("FNWPresetDAO");
}

bool FNWPresetDAO::save(FNWPresetBean& preset, QString* error)
{
    return insertRecord(preset, "%d result of preset save is %@", error);
}

bool FNWPresetDAO::update(const FNWPresetBean& preset)
{
    return updateRecord(preset, "%d result of preset update is %@");
}

bool FNWPresetDAO::remove(const FNWPresetBean& preset)
{
    return removeRecordWithID(preset.ID);
}

bool FNWPresetDAO::updateViewPostion(const FNWPresetBean& preset)
{
    const QString sql = QStringLiteral("update ") + FNWStringWithFormat("%@ set viewPosition=%ld where id=%ld",
                                                                        tableName(), preset.viewPosition, preset.ID);
    return executeUpdate(sql, {}, "%d result of preset update is %@");
}

bool FNWPresetDAO::findPreset(const QString& name)
{
    const QString sql = QStringLiteral("SELECT name FROM  ") +
                        FNWStringWithFormat("%@ where name=? and isAttachedToQueue=0", tableName());
    // An unset name is stored as '', so it is looked up as ''.
    return hasRowForQuery(sql, {name.isNull() ? QString::fromLatin1("") : name}, "%d result of presetsName is %@");
}

std::vector<std::shared_ptr<FNWPresetBean>> FNWPresetDAO::getAllAttachedPresets(bool attached)
{
    return recordsFromRows<FNWPresetBean>(getRecordsWithMatchingWhereClause(
        FNWStringWithFormat(" where isAttachedToQueue = %d order by viewPosition asc", attached)));
}

std::vector<std::shared_ptr<FNWPresetBean>> FNWPresetDAO::getAllRecords()
{
    return recordsFromRows<FNWPresetBean>(FNWBaseModel::getAllRecords());
}

std::shared_ptr<FNWPresetBean> FNWPresetDAO::loadPresetWithID(qint64 presetID)
{
    const std::optional<QVariantMap> row = getRecordWithID(presetID);
    if (!row)
        return nullptr;
    auto preset = std::make_shared<FNWPresetBean>();
    setRecordFromRow(*preset, *row);
    return preset;
}
