#pragma once

#include "compose/FNWCreatePresetWindowController.h"

#include "compose/FNWRowListModel.h"
#include <QList>
#include <QStringList>

#include <memory>
#include <vector>

class FNWPresetBean;

// The home-tab coordinator hears about the selected and the removed presets.
class PresetViewDelegate
{
public:
    virtual ~PresetViewDelegate() = default;
    virtual void presetSelectionDidChanged(const std::shared_ptr<FNWPresetBean>& preset) = 0;
    virtual void presetDidRemoved(const std::shared_ptr<FNWPresetBean>& preset) = 0;
    // Whether tests made from the preset are part of a run that goes on now.
    virtual bool presetIsInUseByRun(const FNWPresetBean& preset)
    {
        (void)preset;
        return false;
    }
};

// The presets list of the home tab, without its table: the library presets in list order, the
// selected one, edit mode, reordering by drag, deleting, and placing a preset the editor saved.
// It is the table's model; the table shows what it says and reports clicks back.
class PresetsListView : public FNWRowListModel, public FNWCreatePresetWindowDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PresetsListView)

public:
    // The drag's own format, so that no other table or list can drop here.
    static constexpr char kRowsMimeType[] = "application/x-fenwave-preset-rows";

    explicit PresetsListView(QObject* parent = nullptr);
    ~PresetsListView() override;

    void setDelegate(PresetViewDelegate* delegate) { m_delegate = delegate; }

    // Deferred set-up: edit mode off, the presets loaded and the first one selected.
    void setUpView();
    // The home tab shows again: nothing to do.
    void prepareView() {}
    void loadAllPresets();
    bool findPreset(const QString& name) const;

    void openPresetEditorWindowForPreset(const std::shared_ptr<FNWPresetBean>& preset);
    void createNewPresetButtonDidClicked();
    void editButtonOfRowDidClicked(int row);

    void deleteIndividualPresetButtonDidClicked(qint64 presetID);
    void removePresetAtIndexes(const QList<int>& rows);
    // Delete pressed in edit mode: the selected rows go after asking.
    void deleteKeyPressedForRows(const QList<int>& rows);
    // Rows dragged onto the trash: the first text holds the row numbers.
    void didReceivedDraggedItems(const QStringList& items);
    void trashButtonDidClicked();
    void enableEditModeButtonDidClicked(bool checked);

    // From the preset editor.
    void didAddedNewPreset(const std::shared_ptr<FNWPresetBean>& preset) override;
    void didUpdatedPreset(const std::shared_ptr<FNWPresetBean>&) override {}

    // From the table.
    void tableViewDidClickedRow(int row);
    void tableViewDidDoubleClickRow(int row);
    void tableViewSelectionDidChange(const QList<int>& rows);

    // Moves the first dragged row into the gap above dropRow and renumbers every preset 1..n;
    // false when refused (the same row, or a list of one).
    bool acceptDropOfRows(const QString& pasteboard, int dropRow) override;

    const std::vector<std::shared_ptr<FNWPresetBean>>& presetsArray() const { return m_presetsArray; }
    int selectedRow() const { return m_selectedRow; }
    std::shared_ptr<FNWPresetBean> selectedPreset() const;
    // Selects a row as a user click would (-1: none).
    void selectRow(int row);

    // The model.
    QVariant data(const QModelIndex& index, int role) const override;

protected:
    int count() const override;

signals:
    // The table selects exactly these rows (without reporting them back).
    void selectionChanged(const QList<int>& rows);
    // The editor opens for the preset, or for a new one.
    void openEditorRequested(const std::shared_ptr<FNWPresetBean>& preset);
    void repaintRequested();

private:
    void reloadPreservingSelection();
    int rowOfPresetWithID(qint64 presetID) const;
    // False, after telling the user, when one of them is in use by the run going on.
    bool mayRemove(const std::vector<std::shared_ptr<FNWPresetBean>>& presets) const;

    PresetViewDelegate* m_delegate = nullptr;
    std::vector<std::shared_ptr<FNWPresetBean>> m_presetsArray;
    int m_selectedRow = -1;
    int m_selectedPresetBeforeEditing = -1;
};
