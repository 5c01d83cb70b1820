#include "compose/FNWMyTestsTab.h"

#include "compose/FNWSaveTestProfileController.h"
#include "compose/MyTestView.h"
#include "compose/QueueListView.h"
#include "compose/SaveTestProfileWindow.h"
#include "compose/TestProfilesListView.h"
#include "ui/FNWDropAreas.h"
#include "ui/FNWListControls.h"
#include "ui/FNWPresetsTableView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace fnw::ui;

FNWMyTestsTab::FNWMyTestsTab(QWidget* parent)
    : QWidget(parent)
    , m_view(new MyTestView(this))
    , m_profilesTable(new FNWPresetsTableView(this))
    , m_detailsTable(new FNWPresetsTableView(this))
{
    setObjectName(QStringLiteral("myTestsTab"));
    auto* profilesBar = new QWidget(this);
    auto* profilesBarLayout = new QHBoxLayout(profilesBar);
    profilesBarLayout->setContentsMargins(4, 2, 4, 2);
    m_add = toolButton(QStringLiteral("add"), tr("New"), tr("Compose a new test profile"), profilesBar);
    m_add->setObjectName(QStringLiteral("addTestProfileButton"));
    m_edit = editToggle(profilesBar, tr("Update, reorder or delete test profiles"));
    m_edit->setObjectName(QStringLiteral("testProfilesEditButton"));
    m_trash = new DraggEnabledViewWithTrashButton(QString::fromLatin1(TestProfilesListView::kRowsMimeType),
                                                  QStringLiteral("TestProfilesListViewTrashButton"), profilesBar);
    profilesBarLayout->addWidget(m_add);
    profilesBarLayout->addWidget(m_edit);
    profilesBarLayout->addStretch();
    profilesBarLayout->addWidget(m_trash);

    m_profilesHint = new QLabel(tr("Save a queue from the Home tab, or click New, to make a test profile."), this);
    m_detailsHint =
        new QLabel(tr("Select a test profile to see its tests. Click Edit, then a profile, to update it."), this);
    for (QLabel* hint : {m_profilesHint, m_detailsHint}) {
        hint->setWordWrap(true);
        hint->setAlignment(Qt::AlignCenter);
        hint->setForegroundRole(QPalette::PlaceholderText);
    }
    // The details hold no buttons of their own; the bar keeps both panels the same height.
    auto* detailsBar = new QWidget(this);
    auto* detailsBarLayout = new QHBoxLayout(detailsBar);
    detailsBarLayout->setContentsMargins(4, 2, 4, 2);
    auto* detailsNote = new QLabel(tr("Drag or link tests to change their run order."), detailsBar);
    detailsNote->setForegroundRole(QPalette::PlaceholderText);
    detailsBarLayout->addWidget(detailsNote);
    detailsBarLayout->addStretch();
    detailsBar->setMinimumHeight(profilesBar->sizeHint().height());

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addWidget(listPanel(this, tr("Test Profiles"), m_profilesTable, profilesBar, {m_profilesHint}), 1);
    layout->addWidget(listPanel(this, tr("Tests"), m_detailsTable, detailsBar, {m_detailsHint}), 2);

    m_profilesTable->setObjectName(QStringLiteral("testProfilesTable"));
    m_detailsTable->setObjectName(QStringLiteral("profileDetailsTable"));
    m_profilesTable->setListModel(m_view->testProfileListView());
    m_detailsTable->setListModel(m_view->profileDetailsListView());
    m_profilesTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_detailsTable->setSelectionMode(QAbstractItemView::SingleSelection);

    wireProfiles();
    wireDetails();
    updateHints();
    QTimer::singleShot(kSetUpDelayMs, this, &FNWMyTestsTab::setUpViews);
}

FNWMyTestsTab::~FNWMyTestsTab()
{
    delete m_updateWindow;
}

void FNWMyTestsTab::setUpViews()
{
    if (m_isSetUp)
        return;
    m_isSetUp = true;
    m_view->setUpView();
}

void FNWMyTestsTab::prepareView()
{
    setUpViews();
    m_view->prepareView();
}

bool FNWMyTestsTab::startProfileExecutionButtonDidPressed()
{
    return m_view->startProfileExecutionButtonDidPressed();
}

void FNWMyTestsTab::wireProfiles()
{
    FNWPresetsTableView* table = m_profilesTable;
    TestProfilesListView* list = m_view->testProfileListView();
    table->didClickedRow = [list](int row) { list->didClickonTableRow(row); };
    table->didDoubleClickRow = [list](int row) { list->doubleClickDidReceivedOnProfileTableRow(row); };
    table->didClickedRowControl = [list](int row, FNWPresetsTableView::RowControl control) {
        if (control == FNWPresetsTableView::RowControl::Delete)
            list->deleteIndividualTestButtonDidClicked(recordIDAt(list, row));
    };
    table->deletePressed = [list, table] {
        if (list->isEditing())
            list->removeProfilesAtRows(table->selectedRowNumbers());
    };
    table->enterPressed = [list](int row) { list->didClickonTableRow(row); };
    table->dragDidEnd = [list] { list->setDragging(false); };
    connect(list, &TestProfilesListView::selectionChanged, table, &FNWPresetsTableView::applySelection);
    connect(list, &TestProfilesListView::repaintRequested, table, &FNWPresetsTableView::repaintTableCells);
    connect(list, &TestProfilesListView::editModeChanged, this,
            [this](bool editing) { reflectEditMode(m_edit, m_profilesTable, editing, false); });
    connect(m_edit, &QToolButton::toggled, list, &TestProfilesListView::enableEditModeButtonDidClicked);
    connect(m_add, &QToolButton::clicked, list, &TestProfilesListView::addNewTestProfileButtonDidClicked);
    m_trash->didReceivedDraggedItems = [list](const QStringList& items) { list->didReceivedDraggedItems(items); };
    m_trash->trashButtonDidClicked = [list] { list->trashButtonDidClicked(); };
    connect(list, &TestProfilesListView::updateControllerCreated, this,
            [this](FNWSaveTestProfileController* controller) {
                m_updateWindow = new SaveTestProfileWindow(controller, this);
            });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(list, signal, this, &FNWMyTestsTab::updateHints);
    connect(list, &QAbstractItemModel::modelReset, this, &FNWMyTestsTab::updateHints);
}

void FNWMyTestsTab::wireDetails()
{
    FNWPresetsTableView* table = m_detailsTable;
    QueueListView* details = m_view->profileDetailsListView();
    table->didClickedRowControl = [details](int row, FNWPresetsTableView::RowControl control) {
        switch (control) {
        case FNWPresetsTableView::RowControl::LinkNext:
            details->upperHalfCircleDidClicked(row);
            break;
        case FNWPresetsTableView::RowControl::LinkPrevious:
            details->lowerHalfCircleDidClicked(row);
            break;
        case FNWPresetsTableView::RowControl::Status:
            details->showFailuerResonOnProgressButtonClick(row);
            break;
        default:
            break;
        }
    };
    table->enterPressed = [details](int row) { details->showFailuerResonOnProgressButtonClick(row); };
    table->dragDidEnd = [details] { details->setDragging(false); };
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(details, signal, this, &FNWMyTestsTab::updateHints);
    connect(details, &QAbstractItemModel::modelReset, this, &FNWMyTestsTab::updateHints);
}

void FNWMyTestsTab::updateHints()
{
    m_profilesHint->setVisible(m_view->testProfileListView()->rowCount() == 0);
    m_detailsHint->setVisible(m_view->profileDetailsListView()->rowCount() == 0);
}
