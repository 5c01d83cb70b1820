#include "compose/PresetsListView.h"

#include "base/FNWAlerts.h"
#include "base/FNWListRoles.h"
#include "compose/FNWListRows.h"
#include "db/FNWPresetDAO.h"
#include "model/FNWPresetBean.h"
#include "support/DDLog.h"

#include <algorithm>

using namespace fnw::compose;

PresetsListView::PresetsListView(QObject* parent)
    : FNWRowListModel(kRowsMimeType, Dragging::OnlyWhileEditing, parent)
{
}

PresetsListView::~PresetsListView() = default;

void PresetsListView::setUpView()
{
    setEditing(false);
    loadAllPresets();
    if (!m_presetsArray.empty())
        selectRow(0);
}

void PresetsListView::loadAllPresets()
{
    m_presetsArray = FNWPresetDAO().getAllAttachedPresets(false);
    if (m_selectedRow >= static_cast<int>(m_presetsArray.size()))
        m_selectedRow = -1;
    if (m_delegate && m_selectedRow >= 0)
        m_delegate->presetSelectionDidChanged(m_presetsArray[static_cast<size_t>(m_selectedRow)]);
    reloadPreservingSelection();
}

bool PresetsListView::findPreset(const QString& name) const
{
    return FNWPresetBean::findPreset(name);
}

void PresetsListView::openPresetEditorWindowForPreset(const std::shared_ptr<FNWPresetBean>& preset)
{
    emit openEditorRequested(preset);
}

void PresetsListView::createNewPresetButtonDidClicked()
{
    openPresetEditorWindowForPreset(nullptr);
}

void PresetsListView::editButtonOfRowDidClicked(int row)
{
    if (row < 0 || row >= static_cast<int>(m_presetsArray.size()))
        return;
    openPresetEditorWindowForPreset(m_presetsArray[static_cast<size_t>(row)]);
}

void PresetsListView::deleteIndividualPresetButtonDidClicked(qint64 presetID)
{
    const int row = rowOfPresetWithID(presetID);
    if (row >= 0)
        removePresetAtIndexes({row});
}

void PresetsListView::deleteKeyPressedForRows(const QList<int>& rows)
{
    if (!m_isEditing || membersAtRows(m_presetsArray, rows).empty())
        return;
    if (FNWAlerts::showConfirmationAlertWithMessage(
            QString(), rows.size() == 1 ? QStringLiteral("Are you sure you want to delete the selected preset?")
                                        : QStringLiteral("Are you sure you want to delete the selected presets?")))
        removePresetAtIndexes(rows);
}

void PresetsListView::removePresetAtIndexes(const QList<int>& rows)
{
    // Every row is resolved to its preset first; the list is read afresh only once all are gone,
    // since a reload replaces the records the later rows were resolved to.
    const std::vector<std::shared_ptr<FNWPresetBean>> removing = membersAtRows(m_presetsArray, rows);
    if (removing.empty() || !mayRemove(removing))
        return;
    for (const std::shared_ptr<FNWPresetBean>& preset : removing) {
        const auto at = std::find(m_presetsArray.begin(), m_presetsArray.end(), preset);
        if (at == m_presetsArray.end() || !preset->remove())
            continue;
        const int row = static_cast<int>(at - m_presetsArray.begin());
        beginRemoveRows(QModelIndex(), row, row);
        m_presetsArray.erase(at);
        endRemoveRows();
        if (m_selectedRow == row)
            m_selectedRow = -1;
        else if (m_selectedRow > row)
            --m_selectedRow;
        if (m_selectedPresetBeforeEditing == row)
            m_selectedPresetBeforeEditing = -1;
        else if (m_selectedPresetBeforeEditing > row)
            --m_selectedPresetBeforeEditing;
        if (m_delegate)
            m_delegate->presetDidRemoved(preset);
    }
    loadAllPresets();
    if (m_presetsArray.empty())
        setEditing(false);
}

bool PresetsListView::mayRemove(const std::vector<std::shared_ptr<FNWPresetBean>>& presets) const
{
    const bool inUse = m_delegate && std::any_of(presets.begin(), presets.end(), [this](const auto& preset) {
                           return m_delegate->presetIsInUseByRun(*preset);
                       });
    if (inUse)
        FNWAlerts::showCriticalAlertWithMessage(
            QStringLiteral("Please wait..."),
            QStringLiteral("Tests currently in progress. Please allow all tests in the Queue to finish before "
                           "proceeding or press Stop."));
    return !inUse;
}

void PresetsListView::didReceivedDraggedItems(const QStringList& items)
{
    if (items.isEmpty())
        return;
    removePresetAtIndexes(rowsFromPasteboardString(items.first()));
}

void PresetsListView::trashButtonDidClicked()
{
    if (!m_presetsArray.empty() && !mayRemove(m_presetsArray))
        return;
    if (!m_presetsArray.empty() && FNWAlerts::showConfirmationAlertWithMessage(
                                       QString(), QStringLiteral("Are you sure you want to delete all presets?"))) {
        const std::vector<std::shared_ptr<FNWPresetBean>> presets = m_presetsArray;
        for (const std::shared_ptr<FNWPresetBean>& preset : presets) {
            if (!preset->remove())
                DDLogError("PresetsListView: unable to delete preset %@", preset->name);
            if (m_delegate)
                m_delegate->presetDidRemoved(preset);
        }
        m_selectedRow = -1;
        m_selectedPresetBeforeEditing = -1;
        loadAllPresets();
    }
    // The edit button is clicked: edit mode toggles (and stays off for an empty list).
    enableEditModeButtonDidClicked(!m_isEditing);
}

void PresetsListView::enableEditModeButtonDidClicked(bool checked)
{
    if (m_presetsArray.empty()) {
        setEditing(false);
        return;
    }
    if (checked == m_isEditing) {
        emit editModeChanged(m_isEditing);
        return;
    }
    if (checked) {
        m_selectedPresetBeforeEditing = m_selectedRow;
        setEditing(true);
        reloadPreservingSelection();
    } else {
        setEditing(false);
        const int remembered = m_selectedPresetBeforeEditing;
        m_selectedPresetBeforeEditing = -1;
        selectRow(remembered < static_cast<int>(m_presetsArray.size()) ? remembered : -1);
        reloadPreservingSelection();
    }
    emit repaintRequested();
}

void PresetsListView::didAddedNewPreset(const std::shared_ptr<FNWPresetBean>& preset)
{
    if (!preset)
        return;
    if (preset->viewPosition == -1) {
        qint64 largest = -1;
        for (const std::shared_ptr<FNWPresetBean>& shown : m_presetsArray)
            largest = std::max(largest, shown->viewPosition);
        preset->viewPosition = (m_presetsArray.empty() || largest == -1) ? 1 : largest + 1;
        if (!preset->update())
            DDLogError("PresetsListView: unable to place preset %@ in the list", preset->name);
    }
    loadAllPresets();
}

void PresetsListView::tableViewDidClickedRow(int row)
{
    if (!m_isEditing)
        return;
    if (m_isDragging) {
        m_isDragging = false;
        return;
    }
    editButtonOfRowDidClicked(row);
}

void PresetsListView::tableViewDidDoubleClickRow(int row)
{
    if (m_isEditing)
        editButtonOfRowDidClicked(row);
}

void PresetsListView::tableViewSelectionDidChange(const QList<int>& rows)
{
    emit repaintRequested();
    if (m_isEditing)
        return;
    const int row = rows.isEmpty() ? -1 : *std::min_element(rows.begin(), rows.end());
    m_selectedRow = row < static_cast<int>(m_presetsArray.size()) ? row : -1;
    if (m_delegate && m_selectedRow >= 0)
        m_delegate->presetSelectionDidChanged(m_presetsArray[static_cast<size_t>(m_selectedRow)]);
}

void PresetsListView::selectRow(int row)
{
    tableViewSelectionDidChange(row >= 0 ? QList<int>{row} : QList<int>{});
    emit selectionChanged(m_selectedRow >= 0 ? QList<int>{m_selectedRow} : QList<int>{});
}

std::shared_ptr<FNWPresetBean> PresetsListView::selectedPreset() const
{
    if (m_selectedRow < 0 || m_selectedRow >= static_cast<int>(m_presetsArray.size()))
        return nullptr;
    return m_presetsArray[static_cast<size_t>(m_selectedRow)];
}

bool PresetsListView::acceptDropOfRows(const QString& pasteboard, int dropRow)
{
    if (!canAcceptDropOfRows(pasteboard, dropRow))
        return false;
    const int from = rowsFromPasteboardString(pasteboard).first();
    const std::shared_ptr<FNWPresetBean> selected = selectedPreset();
    const std::shared_ptr<FNWPresetBean> remembered =
        m_selectedPresetBeforeEditing >= 0 && m_selectedPresetBeforeEditing < static_cast<int>(m_presetsArray.size())
            ? m_presetsArray[static_cast<size_t>(m_selectedPresetBeforeEditing)]
            : nullptr;

    const std::shared_ptr<FNWPresetBean>& dragged = m_presetsArray[static_cast<size_t>(from)];
    std::shared_ptr<FNWPresetBean> moved = dragged->copy();
    moved->ID = dragged->ID;
    moved->agent_id = dragged->agent_id;
    moved->name = dragged->name;
    moved->viewPosition = dragged->viewPosition;
    // The selection follows its preset.
    const auto follow = [&](const std::shared_ptr<FNWPresetBean>& preset) {
        return preset == dragged ? moved : preset;
    };
    const std::shared_ptr<FNWPresetBean> selectedAfter = follow(selected);
    const std::shared_ptr<FNWPresetBean> rememberedAfter = follow(remembered);

    beginResetModel();
    moveIntoGap(m_presetsArray, from, dropRow, moved);
    storeViewPositions(m_presetsArray, [](const FNWPresetBean& preset) {
        DDLogError("PresetsListView: unable to store the position of preset %@", preset.name);
    });
    const auto rowOf = [this](const std::shared_ptr<FNWPresetBean>& preset) {
        const auto at = std::find(m_presetsArray.begin(), m_presetsArray.end(), preset);
        return preset && at != m_presetsArray.end() ? static_cast<int>(at - m_presetsArray.begin()) : -1;
    };
    m_selectedRow = rowOf(selectedAfter);
    m_selectedPresetBeforeEditing = rowOf(rememberedAfter);
    endResetModel();
    emit selectionChanged(m_selectedRow >= 0 && !m_isEditing ? QList<int>{m_selectedRow} : QList<int>{});
    return true;
}

QVariant PresetsListView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_presetsArray.size()))
        return {};
    const FNWPresetBean& preset = *m_presetsArray[static_cast<size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return preset.name;
    case FNWListRoles::RecordID:
        return preset.ID;
    case FNWListRoles::ShowsDeleteButton:
    case FNWListRoles::IsEditing:
        return m_isEditing;
    default:
        return {};
    }
}

void PresetsListView::reloadPreservingSelection()
{
    beginResetModel();
    endResetModel();
    emit selectionChanged(m_selectedRow >= 0 && !m_isEditing ? QList<int>{m_selectedRow} : QList<int>{});
}

int PresetsListView::rowOfPresetWithID(qint64 presetID) const
{
    for (size_t row = 0; row < m_presetsArray.size(); ++row) {
        if (m_presetsArray[row]->ID == presetID)
            return static_cast<int>(row);
    }
    return -1;
}

int PresetsListView::count() const
{
    return static_cast<int>(m_presetsArray.size());
}
