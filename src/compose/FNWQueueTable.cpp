#include "compose/FNWQueueTable.h"

#include "compose/QueueListView.h"
#include "ui/FNWPresetsTableView.h"

namespace fnw::compose {

void wireQueueTable(FNWPresetsTableView* table, QueueListView* queue)
{
    table->didClickedRow = [queue](int row) { queue->tableViewDidClickedRow(row); };
    table->didClickedRowControl = [queue](int row, FNWPresetsTableView::RowControl control) {
        switch (control) {
        case FNWPresetsTableView::RowControl::Delete:
            queue->deleteIndividualTestButtonDidClicked(row);
            break;
        case FNWPresetsTableView::RowControl::LinkNext:
            queue->upperHalfCircleDidClicked(row);
            break;
        case FNWPresetsTableView::RowControl::LinkPrevious:
            queue->lowerHalfCircleDidClicked(row);
            break;
        case FNWPresetsTableView::RowControl::Status:
            queue->showFailuerResonOnProgressButtonClick(row);
            break;
        case FNWPresetsTableView::RowControl::None:
            break;
        }
    };
    table->deletePressed = [queue, table] { queue->deleteKeyPressedForRows(table->selectedRowNumbers()); };
    table->enterPressed = [queue](int row) {
        if (queue->isEditing())
            queue->showPresetSettingWindowForRow(row);
        else
            queue->showFailuerResonOnProgressButtonClick(row);
    };
}

} // namespace fnw::compose
