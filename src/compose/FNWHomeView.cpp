#include "compose/FNWHomeView.h"

#include "ui/FNWPalette.h"

#include "base/FNWListRoles.h"
#include "compose/FNWCreatePresetWindow.h"
#include "compose/FNWCreatePresetWindowController.h"
#include "compose/FNWPresetAgentQueueView.h"
#include "compose/FNWQueueTable.h"
#include "compose/PresetsListView.h"
#include "compose/QueueListView.h"
#include "compose/SaveTestProfileWindow.h"
#include "model/FNWAgentBean.h"
#include "model/FNWPresetBean.h"
#include "targets/AgentsListView.h"
#include "targets/FNWCreateAgentWindow.h"
#include "targets/FNWCreateAgentWindowController.h"
#include "targets/FNWEditAgentWindow.h"
#include "targets/FNWEditAgentWindowController.h"
#include "ui/FNWArtwork.h"
#include "ui/FNWDropAreas.h"
#include "ui/FNWListControls.h"
#include "ui/FNWPresetsTableView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace fnw::ui;

FNWHomeView::FNWHomeView(QWidget* parent)
    : QWidget(parent)
    , m_presets(new PresetsListView(this))
    , m_agents(new AgentsListView(this))
    , m_queue(new QueueListView(this))
    , m_coordinator(std::make_unique<FNWPresetAgentQueueView>(*m_presets, *m_agents, *m_queue))
    , m_presetsTable(new FNWPresetsTableView(this))
    , m_agentsTable(new FNWPresetsTableView(this))
    , m_queueTable(new FNWPresetsTableView(this))
{
    setObjectName(QStringLiteral("FNWHomeView"));
    m_saveQueueList = new QueueListView(this);
    m_saveQueueList->drivesStartStopButton = false;

    auto* presetsBar = new QWidget(this);
    auto* presetsBarLayout = new QHBoxLayout(presetsBar);
    presetsBarLayout->setContentsMargins(4, 2, 4, 2);
    m_addPreset = toolButton(QStringLiteral("add"), tr("New"), tr("Create a new preset"), presetsBar);
    m_presetsEdit = editToggle(presetsBar, tr("Edit, reorder or delete presets"));
    m_presetsTrash = new DraggEnabledViewWithTrashButton(QString::fromLatin1(PresetsListView::kRowsMimeType),
                                                         QStringLiteral("PresetsListViewTrashButton"), presetsBar);
    presetsBarLayout->addWidget(m_addPreset);
    presetsBarLayout->addWidget(m_presetsEdit);
    presetsBarLayout->addStretch();
    presetsBarLayout->addWidget(m_presetsTrash);

    auto* agentsBar = new QWidget(this);
    auto* agentsBarLayout = new QHBoxLayout(agentsBar);
    agentsBarLayout->setContentsMargins(4, 2, 4, 2);
    m_addAgent = toolButton(QStringLiteral("add"), tr("New"), tr("Add target servers"), agentsBar);
    m_agentsEdit = editToggle(agentsBar, tr("Edit, reorder or delete target servers"));
    m_agentsTrash = new DraggEnabledViewWithTrashButton(QString::fromLatin1(AgentsListView::kRowsMimeType),
                                                        QStringLiteral("AgentsListViewTrashButton"), agentsBar);
    agentsBarLayout->addWidget(m_addAgent);
    agentsBarLayout->addWidget(m_agentsEdit);
    agentsBarLayout->addStretch();
    agentsBarLayout->addWidget(m_agentsTrash);

    auto* queueBar = new QWidget(this);
    auto* queueBarLayout = new QHBoxLayout(queueBar);
    queueBarLayout->setContentsMargins(4, 2, 4, 2);
    m_queueEdit = editToggle(queueBar, tr("Edit the tests' presets or delete tests"));
    m_clearQueue = toolButton(QStringLiteral("trashcan"), tr("Clear"), tr("Remove all tests from the queue"), queueBar);
    m_queueTrash = new DraggEnabledViewWithTrashButton(QString::fromLatin1(QueueListView::kRowsMimeType),
                                                       QStringLiteral("QueueListViewTrashButton"), queueBar);
    m_saveQueue = toolButton(QStringLiteral("add"), tr("Save"), tr("Save the queue as a test profile"), queueBar);
    m_saveQueue->setObjectName(QStringLiteral("queueSaveButton"));
    queueBarLayout->addWidget(m_queueEdit);
    queueBarLayout->addWidget(m_clearQueue);
    queueBarLayout->addWidget(m_saveQueue);
    queueBarLayout->addStretch();
    queueBarLayout->addWidget(m_queueTrash);

    m_queueHint = new QLabel(tr("Select a preset, then click target servers to add tests. Link neighbouring tests to "
                                "run them at the same time."),
                             this);
    m_queueHint->setWordWrap(true);
    m_queueHint->setAlignment(Qt::AlignCenter);
    m_queueHint->setForegroundRole(QPalette::PlaceholderText);
    m_queueError = new QLabel(this);
    m_queueError->setObjectName(QStringLiteral("queueErrorLabel"));
    m_queueError->setWordWrap(true);
    m_queueError->setAlignment(Qt::AlignCenter);
    m_queueError->setVisible(false);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addWidget(listPanel(this, tr("Presets"), m_presetsTable, presetsBar), 1);
    layout->addWidget(listPanel(this, tr("Target Servers"), m_agentsTable, agentsBar), 1);
    layout->addWidget(listPanel(this, tr("Test Queue"), m_queueTable, queueBar, {m_queueHint, m_queueError}), 1);

    m_presetsTable->setObjectName(QStringLiteral("presetsTable"));
    m_agentsTable->setObjectName(QStringLiteral("agentsTable"));
    m_queueTable->setObjectName(QStringLiteral("testQueueTable"));
    m_presetsTable->setListModel(m_presets);
    m_agentsTable->setListModel(m_agents);
    m_queueTable->setListModel(m_queue);
    m_presetsTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_queueTable->setSelectionMode(QAbstractItemView::SingleSelection);

    wirePresets();
    wireAgents();
    wireQueue();
    // Tab goes list by list, each list followed by its buttons.
    QWidget* previous = nullptr;
    for (QWidget* next : std::initializer_list<QWidget*>{
             m_presetsTable, m_addPreset, m_presetsEdit, m_presetsTrash->trashButton(), m_agentsTable, m_addAgent,
             m_agentsEdit, m_agentsTrash->trashButton(), m_queueTable, m_queueEdit, m_clearQueue, m_saveQueue,
             m_queueTrash->trashButton()}) {
        next->setFocusPolicy(next->focusPolicy() == Qt::NoFocus ? Qt::TabFocus : next->focusPolicy());
        if (previous)
            setTabOrder(previous, next);
        previous = next;
    }
    updateQueueHint();

    QTimer::singleShot(kSetUpDelayMs, this, &FNWHomeView::setUpViews);
}

FNWHomeView::~FNWHomeView()
{
    // The queues' windows go before the queues that keep their controllers.
    delete m_queuePresetEditor;
    delete m_saveWindow;
    // The coordinator lets go of the lists before they go.
    m_coordinator.reset();
}

void FNWHomeView::setUpViews()
{
    if (m_isSetUp)
        return;
    m_isSetUp = true;
    m_coordinator->setUpViews();
}

void FNWHomeView::prepareView()
{
    m_coordinator->prepareView();
}

bool FNWHomeView::startStopButtonDidClicked()
{
    return m_coordinator->startStopButtonDidClicked();
}

void FNWHomeView::setIsCreateNewMyTestProfile(bool isCreateNew)
{
    m_coordinator->setIsCreateNewMyTestProfile(isCreateNew);
}

void FNWHomeView::createNewPreset()
{
    m_presets->createNewPresetButtonDidClicked();
}

void FNWHomeView::createNewAgent()
{
    m_agents->createNewAgentButtonDidClicked();
}

void FNWHomeView::wirePresets()
{
    FNWPresetsTableView* table = m_presetsTable;
    PresetsListView* list = m_presets;
    table->didClickedRow = [list](int row) { list->tableViewDidClickedRow(row); };
    table->didDoubleClickRow = [list](int row) { list->tableViewDidDoubleClickRow(row); };
    table->selectionDidChange = [list](const QList<int>& rows) { list->tableViewSelectionDidChange(rows); };
    table->didClickedRowControl = [list](int row, FNWPresetsTableView::RowControl control) {
        if (control == FNWPresetsTableView::RowControl::Delete)
            list->deleteIndividualPresetButtonDidClicked(recordIDAt(list, row));
    };
    table->deletePressed = [list, table] { list->deleteKeyPressedForRows(table->selectedRowNumbers()); };
    table->enterPressed = [list](int row) { list->editButtonOfRowDidClicked(row); };
    table->dragDidEnd = [list] { list->setDragging(false); };
    connect(list, &PresetsListView::selectionChanged, table, &FNWPresetsTableView::applySelection);
    connect(list, &PresetsListView::repaintRequested, table, &FNWPresetsTableView::repaintTableCells);
    connect(list, &PresetsListView::editModeChanged, this,
            [this](bool editing) { reflectEditMode(m_presetsEdit, m_presetsTable, editing, false); });
    connect(m_presetsEdit, &QToolButton::toggled, list, &PresetsListView::enableEditModeButtonDidClicked);
    connect(m_addPreset, &QToolButton::clicked, list, &PresetsListView::createNewPresetButtonDidClicked);
    m_presetsTrash->didReceivedDraggedItems = [list](const QStringList& items) {
        list->didReceivedDraggedItems(items);
    };
    m_presetsTrash->trashButtonDidClicked = [list] { list->trashButtonDidClicked(); };
    connect(list, &PresetsListView::openEditorRequested, this, [this](const std::shared_ptr<FNWPresetBean>& preset) {
        if (!m_presetEditor) {
            m_presetEditor = new FNWCreatePresetWindow(this);
            m_presetEditor->controller()->setDelegate(m_presets);
        }
        m_presetEditor->openWindowForPreset(preset, false);
    });
}

void FNWHomeView::wireAgents()
{
    FNWPresetsTableView* table = m_agentsTable;
    AgentsListView* list = m_agents;
    table->didClickedRow = [list](int row) { list->tableViewDidClickedRow(row); };
    table->shouldSelectRow = [list](int row) { return list->tableViewShouldSelectRow(row); };
    table->selectionDidChange = [list](const QList<int>& rows) { list->tableViewSelectionDidChange(rows); };
    table->didClickedRowControl = [list](int row, FNWPresetsTableView::RowControl control) {
        if (control == FNWPresetsTableView::RowControl::Delete)
            list->deleteIndividualAgentButtonDidClicked(recordIDAt(list, row));
    };
    table->deletePressed = [list, table] { list->deleteKeyPressedForRows(table->selectedRowNumbers()); };
    table->enterPressed = [list](int row) { list->tableViewDidClickedRow(row); };
    table->spacePressed = [list](int row) { list->tableViewDidClickedRow(row); };
    table->dragDidEnd = [list] { list->setDragging(false); };
    connect(list, &AgentsListView::selectionChanged, table, &FNWPresetsTableView::applySelection);
    connect(list, &AgentsListView::repaintRequested, table, &FNWPresetsTableView::repaintTableCells);
    connect(list, &AgentsListView::editModeChanged, this,
            [this](bool editing) { reflectEditMode(m_agentsEdit, m_agentsTable, editing, true); });
    connect(m_agentsEdit, &QToolButton::toggled, list, &AgentsListView::enableAgentEditModeButtonDidClicked);
    connect(m_addAgent, &QToolButton::clicked, list, &AgentsListView::createNewAgentButtonDidClicked);
    m_agentsTrash->didReceivedDraggedItems = [list](const QStringList& items) { list->didReceivedDraggedItems(items); };
    m_agentsTrash->trashButtonDidClicked = [list] { list->trashButtonDidClicked(); };
    connect(list, &AgentsListView::openCreateAgentWindowRequested, this, [this] {
        if (!m_createAgentWindow) {
            m_createAgentWindow = new FNWCreateAgentWindow(this);
            m_createAgentWindow->controller()->setDelegate(m_agents);
        }
        m_createAgentWindow->openWindow();
    });
    connect(list, &AgentsListView::openEditAgentWindowRequested, this,
            [this](const std::shared_ptr<FNWAgentBean>& agent) {
                if (!m_editAgentWindow) {
                    m_editAgentWindow = new FNWEditAgentWindow(this);
                    m_editAgentWindow->controller()->setDelegate(m_agents);
                }
                m_editAgentWindow->openWindowForAgent(agent);
            });
}

void FNWHomeView::wireQueue()
{
    FNWPresetsTableView* table = m_queueTable;
    QueueListView* queue = m_queue;
    fnw::compose::wireQueueTable(table, queue);
    connect(queue, &QueueListView::editModeChanged, this,
            [this](bool editing) { reflectEditMode(m_queueEdit, m_queueTable, editing, false); });
    connect(m_queueEdit, &QToolButton::toggled, queue, &QueueListView::enableEditModeOnQueueButtonDidClicked);
    connect(m_clearQueue, &QToolButton::clicked, queue, &QueueListView::clearAllTestFromQueueButtonDidClicked);
    m_queueTrash->didReceivedDraggedItems = [queue](const QStringList& items) {
        queue->didReceivedDraggedItems(items);
    };
    m_queueTrash->trashButtonDidClicked = [queue] { queue->trashButtonDidClicked(); };
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(queue, signal, this, &FNWHomeView::updateQueueHint);
    connect(queue, &QAbstractItemModel::modelReset, this, &FNWHomeView::updateQueueHint);
    connect(queue, &QueueListView::presetEditorCreated, this, [this](FNWCreatePresetWindowController* editor) {
        m_queuePresetEditor = new FNWCreatePresetWindow(editor, this);
        m_queuePresetEditor->setObjectName(QStringLiteral("queuePresetEditor"));
    });
    connect(queue, &QueueListView::errorTextChanged, this, [this](const QString& text) {
        QPalette colors = m_queueError->palette();
        colors.setColor(QPalette::WindowText, FNWPalette::warningColor(palette()));
        m_queueError->setPalette(colors);
        m_queueError->setText(text);
        m_queueError->setVisible(!text.isEmpty());
    });
    connect(queue, &QueueListView::saveButtonVisibilityChanged, m_saveQueue, &QToolButton::setVisible);
    m_saveQueue->setVisible(queue->isSaveButtonVisible());
    queue->setSaveWindowQueue(m_saveQueueList);
    connect(m_saveQueue, &QToolButton::clicked, this, [this] {
        if (!m_saveWindow)
            m_saveWindow = new SaveTestProfileWindow(m_saveQueueList, this);
        m_queue->queueSaveButtonDidClicked();
    });
}

void FNWHomeView::updateQueueHint()
{
    m_queueHint->setVisible(m_queue->rowCount() == 0);
}
