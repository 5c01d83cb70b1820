#pragma once

#include "db/FNWBaseModel.h"

#include <memory>
#include <vector>

class FNWPresetBean;

// The presets table: library presets (isAttachedToQueue 0) and the private copies saved with tests.
class FNWPresetDAO : public FNWBaseModel
{
public:
    FNWPresetDAO();

    QString className() const override;

    // Inserts a new row every time; the preset takes its id. The SQLite message of a failure is
    // handed out when asked.
    bool save(FNWPresetBean& preset, QString* error = nullptr);
    bool update(const FNWPresetBean& preset);
    bool remove(const FNWPresetBean& preset);
    bool updateViewPostion(const FNWPresetBean& preset);
    // Whether a library preset has exactly this name; the name is bound, never pasted into SQL.
    bool findPreset(const QString& name);
    // Library presets (false) or queue copies (true), in list order.
    std::vector<std::shared_ptr<FNWPresetBean>> getAllAttachedPresets(bool attached);
    // Every preset, in table order.
    std::vector<std::shared_ptr<FNWPresetBean>> getAllRecords();
    std::shared_ptr<FNWPresetBean> loadPresetWithID(qint64 presetID);
};
