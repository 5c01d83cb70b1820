#pragma once

#include <Qt>

// What the home tab's list models hand their row views beyond the row's text.
namespace FNWListRoles {
enum Role {
    // Second line of the row (empty: none).
    Subtitle = Qt::UserRole + 1,
    // The count drawn in the row's badge; 0 hides it.
    Badge,
    // The row carries its delete button (edit mode).
    ShowsDeleteButton,
    // The record's ID.
    RecordID,
    // The row is drawn as one block with the row above / below.
    LinkedToPrevious,
    LinkedToNext,
    // The row carries the controls that join it with its neighbours.
    ShowsLinkControls,
    // FNWExecutionStatus of a queued test; -1 hides the indicator.
    ExecutionStatus,
    // The list is in edit mode: selected rows are not highlighted.
    IsEditing,
    // The row's text is drawn in the italic face.
    IsItalic,
};
}
