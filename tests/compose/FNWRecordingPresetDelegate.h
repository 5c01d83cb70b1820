#pragma once

#include "compose/FNWCreatePresetWindowController.h"
#include "model/FNWPresetBean.h"

#include <memory>
#include <vector>

// Keeps what the preset editor hands back: presets saved to the library, and queue copies edited.
class FNWRecordingPresetDelegate final : public FNWCreatePresetWindowDelegate
{
public:
    void didAddedNewPreset(const std::shared_ptr<FNWPresetBean>& preset) override { added.push_back(preset); }
    void didEditedPresetFromQueueView(const std::shared_ptr<FNWPresetBean>& preset) override
    {
        fromQueue.push_back(preset);
    }
    std::vector<std::shared_ptr<FNWPresetBean>> added;
    std::vector<std::shared_ptr<FNWPresetBean>> fromQueue;
};
