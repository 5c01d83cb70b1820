#pragma once

class FNWPresetsTableView;
class QueueListView;

namespace fnw::compose {

// A queue's table reports clicks, row controls, Delete (selected rows, in edit mode) and Enter
// (the preset in edit mode, else the failure reason) to the queue.
void wireQueueTable(FNWPresetsTableView* table, QueueListView* queue);

} // namespace fnw::compose
