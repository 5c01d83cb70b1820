#include "results/FNWHistoryTab.h"

#include "base/FNWUtils.h"
#include "model/TestProfileExecutionBean.h"
#include "results/FNWGraphRules.h"
#include "results/FNWHistoryDelegates.h"
#include "results/FNWResultsGraphView.h"
#include "results/HistoryView.h"
#include "ui/FNWArtwork.h"
#include "ui/FNWSlideStackedWidget.h"

#include <QButtonGroup>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

using Content = ProfileResultsNavigationBaseView::Content;
using Transition = ProfileResultsNavigationBaseView::Transition;

enum ContentPage { SummaryPage, DetailPage, GraphPage };

QToolButton* barButton(const QString& artwork, const QString& text, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    if (!artwork.isEmpty())
        button->setIcon(FNWArtwork::icon(artwork));
    button->setText(text);
    button->setToolTip(tip);
    button->setAccessibleName(text);
    button->setToolButtonStyle(artwork.isEmpty() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setIconSize(QSize(16, 16));
    return button;
}

QWidget* bar(QWidget* parent, QHBoxLayout** layout)
{
    auto* widget = new QWidget(parent);
    *layout = new QHBoxLayout(widget);
    (*layout)->setContentsMargins(8, 4, 8, 4);
    (*layout)->setSpacing(6);
    return widget;
}

int pageOf(Content content)
{
    switch (content) {
    case Content::SummaryTable:
        return SummaryPage;
    case Content::Graph:
        return GraphPage;
    default:
        return DetailPage;
    }
}

} // namespace

FNWHistoryTab::FNWHistoryTab(QWidget* parent)
    : QWidget(parent)
    , m_history(new HistoryView(this))
{
    setObjectName(QStringLiteral("FNWHistoryTab"));
    m_pages = new FNWSlideStackedWidget(this);
    m_pages->addWidget(buildHomePage());
    m_pages->addWidget(buildResultsPage());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(m_pages);

    connect(m_history, &HistoryView::pageChanged, this, [this](HistoryView::Page page, bool fromLeft) {
        const int index = page == HistoryView::Page::Home ? 0 : 1;
        if (fromLeft)
            m_pages->slideAnimationFromLeft(index);
        else
            m_pages->slideAnimationFromRight(index);
        (index == 0 ? static_cast<QWidget*>(m_executions) : m_details)->setFocus(Qt::OtherFocusReason);
    });
    QTimer::singleShot(kSetUpDelayMs, this, &FNWHistoryTab::setUpView);
}

FNWHistoryTab::~FNWHistoryTab() = default;

void FNWHistoryTab::setTestManager(std::shared_ptr<TestManager> manager)
{
    m_history->setTestManager(std::move(manager));
}

QTreeView* FNWHistoryTab::makeTable(QWidget* parent)
{
    auto* table = new QTreeView(parent);
    table->setRootIsDecorated(false);
    table->setItemsExpandable(false);
    table->setUniformRowHeights(false);
    table->setAllColumnsShowFocus(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTextElideMode(Qt::ElideRight);
    table->header()->setSectionsMovable(false);
    table->header()->setHighlightSections(false);
    table->header()->setMinimumHeight(30);
    table->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->viewport()->installEventFilter(this);
    table->installEventFilter(this);
    return table;
}

QWidget* FNWHistoryTab::buildHomePage()
{
    auto* page = new QWidget(this);
    QHBoxLayout* barLayout = nullptr;
    QWidget* controls = bar(page, &barLayout);
    m_edit = barButton(QStringLiteral("edit"), tr("Edit"), tr("Delete test runs"), controls);
    m_edit->setCheckable(true);
    m_emailAll = barButton(QStringLiteral("email"), tr("Export All…"),
                           tr("Save the summaries of every ad-hoc run as one CSV file"), controls);
    m_deleteAll = barButton(QStringLiteral("trashcan"), tr("Delete All"), tr("Delete every test run"), controls);
    barLayout->addWidget(m_edit);
    barLayout->addStretch();
    barLayout->addWidget(m_emailAll);
    barLayout->addWidget(m_deleteAll);

    IndividualTestHistoryView* list = m_history->individualResultsView();
    m_executions = makeTable(page);
    m_executions->setObjectName(QStringLiteral("individualTestSummaryTable"));
    m_executions->setModel(list);
    m_executions->setItemDelegate(new FNWHistoryRowDelegate(m_executions));
    m_executions->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    QHeaderView* header = m_executions->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(IndividualTestHistoryView::Name, QHeaderView::Stretch);
    const int widths[] = {130, 0, 110, 100, 64, 140, 54, 130};
    for (int column = IndividualTestHistoryView::Run; column < IndividualTestHistoryView::Actions; ++column) {
        if (column == IndividualTestHistoryView::Name)
            continue;
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, widths[column]);
    }
    header->setSectionResizeMode(IndividualTestHistoryView::Actions, QHeaderView::Fixed);
    header->resizeSection(IndividualTestHistoryView::Actions, FNWHistoryRowDelegate::kActionsWidth);
    header->setMinimumSectionSize(40);

    m_empty = new QLabel(tr("No test runs yet. Runs started from the Home or My Tests tab are listed here, newest "
                            "first."),
                         page);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    m_empty->setForegroundRole(QPalette::PlaceholderText);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(controls);
    layout->addWidget(m_executions, 1);
    layout->addWidget(m_empty, 1);

    connect(m_edit, &QToolButton::clicked, list, [this, list] {
        list->editModeButtonDidClicked();
        updateListControls();
    });
    connect(m_emailAll, &QToolButton::clicked, list, &IndividualTestHistoryView::emailAllButtonDidClicked);
    connect(m_deleteAll, &QToolButton::clicked, list,
            &IndividualTestHistoryView::deleteAllIndividualtestButtondidclicked);
    connect(list, &IndividualTestHistoryView::editModeChanged, this, &FNWHistoryTab::updateListControls);
    connect(list, &IndividualTestHistoryView::editButtonEnabledChanged, this, &FNWHistoryTab::updateListControls);
    connect(list, &QAbstractItemModel::modelReset, this, &FNWHistoryTab::updateListControls);
    connect(list, &QAbstractItemModel::rowsRemoved, this, &FNWHistoryTab::updateListControls);
    updateListControls();
    return page;
}

QWidget* FNWHistoryTab::buildResultsPage()
{
    auto* page = new QWidget(this);
    QHBoxLayout* barLayout = nullptr;
    QWidget* controls = bar(page, &barLayout);
    m_back = barButton(QStringLiteral("back"), tr("History"), tr("Back to the list of test runs (Esc)"), controls);
    m_runTitle = new QLabel(controls);
    m_runTitle->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont titleFont = m_runTitle->font();
    titleFont.setBold(true);
    m_runTitle->setFont(titleFont);
    m_summaryButton = barButton(QString(), tr("Summary"), tr("One line per test"), controls);
    m_detailsButton = barButton(QString(), tr("Details"), tr("Each test's settings and interval results"), controls);
    m_graphButton = barButton(QString(), tr("Graph"), tr("Throughput over time"), controls);
    auto* toggle = new QButtonGroup(controls);
    for (QToolButton* button : {m_summaryButton, m_detailsButton, m_graphButton}) {
        button->setCheckable(true);
        toggle->addButton(button);
    }
    m_email = barButton(QStringLiteral("email"), tr("Export…"), tr("Save what is shown as CSV"), controls);
    m_rerun = barButton(QStringLiteral("rerun"), tr("Run Again"), tr("Run this test profile again"), controls);
    barLayout->addWidget(m_back);
    barLayout->addSpacing(8);
    barLayout->addWidget(m_runTitle, 1);
    barLayout->addWidget(m_summaryButton);
    barLayout->addWidget(m_detailsButton);
    barLayout->addWidget(m_graphButton);
    barLayout->addSpacing(12);
    barLayout->addWidget(m_email);
    barLayout->addWidget(m_rerun);

    ProfileResultsNavigationBaseView* results = m_history->resultsNavigationBaseView();
    m_content = new FNWSlideStackedWidget(page);
    m_summary = makeTable(m_content);
    m_summary->setObjectName(QStringLiteral("summaryTable"));
    m_summary->setModel(results->profileResultsSummaryView());
    m_summary->header()->setSectionResizeMode(ProfileResultsSummaryView::Name, QHeaderView::Stretch);
    m_summary->header()->setStretchLastSection(false);
    m_summary->header()->resizeSection(ProfileResultsSummaryView::Tools, 40);
    m_details = makeTable(m_content);
    m_details->setObjectName(QStringLiteral("executionDetailsTable"));
    m_details->setModel(results->profileResultsDetailedListView());
    m_details->setItemDelegate(new FNWResultDetailsDelegate(m_details));
    m_details->setSelectionMode(QAbstractItemView::NoSelection);
    m_details->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_details->header()->setDefaultSectionSize(120);
    m_details->header()->resizeSection(ProfileResultsDetailedListView::Settings, 320);
    m_graph = new FNWResultsGraphView(results->profileResultsDetailedListView(), m_content);
    results->setGraphView(m_graph);
    m_content->addWidget(m_summary);
    m_content->addWidget(m_details);
    m_content->addWidget(m_graph);
    m_content->setCurrentIndexWithoutAnimation(DetailPage);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(controls);
    layout->addWidget(m_content, 1);

    connect(m_back, &QToolButton::clicked, results, &ProfileResultsNavigationBaseView::backButtonDidPressed);
    connect(m_summaryButton, &QToolButton::clicked, results,
            &ProfileResultsNavigationBaseView::summaryButtonDidPressed);
    connect(m_detailsButton, &QToolButton::clicked, results,
            &ProfileResultsNavigationBaseView::detailsButtonDidPressed);
    connect(m_graphButton, &QToolButton::clicked, results, &ProfileResultsNavigationBaseView::graphButtonDidPressed);
    connect(m_email, &QToolButton::clicked, this, &FNWHistoryTab::exportButtonClicked);
    connect(m_rerun, &QToolButton::clicked, results, &ProfileResultsNavigationBaseView::reRunTestButton);
    connect(results, &ProfileResultsNavigationBaseView::contentChanged, this,
            [this](Content content, Transition transition) {
                showContent(static_cast<int>(content), static_cast<int>(transition));
            });
    return page;
}

void FNWHistoryTab::showContent(int contentValue, int transitionValue)
{
    const auto content = static_cast<Content>(contentValue);
    const auto transition = static_cast<Transition>(transitionValue);
    const int index = pageOf(content);
    const std::pair<QToolButton*, Content> toggle[] = {{m_summaryButton, Content::SummaryTable},
                                                       {m_detailsButton, Content::DetailTable},
                                                       {m_graphButton, Content::Graph}};
    for (const auto& [button, shows] : toggle) {
        button->setChecked(content == shows);
        QFont font = button->font();
        font.setBold(content == shows);
        button->setFont(font);
    }
    const FNWHistoryRun& run = m_history->resultsNavigationBaseView()->executedProfileInView();
    if (run.run) {
        const QString name = run.run->profile_name.isEmpty() ? tr("Ad-hoc run") : run.run->profile_name;
        m_runTitle->setText(FNWUtils::shownText(name, FNWGraphRules::kPopupTextLimit) + QStringLiteral("  ·  ") +
                            run.run->execution_date_str);
    }
    switch (transition) {
    case Transition::SlideFromLeft:
        m_content->slideAnimationFromLeft(index);
        return;
    case Transition::SlideFromRight:
        m_content->slideAnimationFromRight(index);
        return;
    case Transition::Fade:
        break;
    }
    m_content->setCurrentIndexWithoutAnimation(index);
    // A one-second fade-in of the new content.
    QWidget* shown = m_content->widget(index);
    auto* effect = new QGraphicsOpacityEffect(shown);
    effect->setOpacity(0.0);
    shown->setGraphicsEffect(effect);
    auto* fade = new QPropertyAnimation(effect, "opacity", effect);
    fade->setDuration(ProfileResultsNavigationBaseView::kFadeMs);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    connect(fade, &QPropertyAnimation::finished, shown, [shown] { shown->setGraphicsEffect(nullptr); });
    fade->start();
}

void FNWHistoryTab::exportButtonClicked()
{
    ProfileResultsNavigationBaseView* results = m_history->resultsNavigationBaseView();
    if (results->visibleContent() != Content::Graph) {
        results->emailTestButtonDidCliked();
        return;
    }
    // The graph's page saves its interval results, or its picture.
    QMenu menu(this);
    QAction* csv = menu.addAction(tr("Save Interval Results as CSV…"));
    QAction* png = menu.addAction(tr("Save Graph as PNG…"));
    const QAction* chosen = menu.exec(m_email->mapToGlobal(QPoint(0, m_email->height())));
    if (chosen == csv)
        results->emailTestButtonDidCliked();
    else if (chosen == png)
        m_graph->saveGraphAsPNG();
}

void FNWHistoryTab::updateListControls()
{
    IndividualTestHistoryView* list = m_history->individualResultsView();
    const bool editing = IndividualTestHistoryView::isEditing();
    m_edit->setEnabled(list->isEditButtonEnabled());
    m_edit->setChecked(editing);
    m_edit->setText(editing ? tr("Done") : tr("Edit"));
    m_emailAll->setVisible(list->isEmailAllVisible());
    m_deleteAll->setVisible(list->isDeleteAllVisible());
    const bool empty = list->rowCount() == 0;
    m_executions->setVisible(!empty);
    m_empty->setVisible(empty);
}

void FNWHistoryTab::prepareView()
{
    m_history->prepareView();
}

void FNWHistoryTab::loadViewsDataFromDatabase()
{
    m_isSetUp = true;
    m_history->loadViewsDataFromDatabase();
}

bool FNWHistoryTab::startProfileExecutionForProifleID(std::int64_t profileID)
{
    return m_history->startProfileExecutionForProifleID(profileID);
}

void FNWHistoryTab::setUpView()
{
    if (m_isSetUp)
        return;
    loadViewsDataFromDatabase();
}

void FNWHistoryTab::executionTableClicked(const QModelIndex& index, const QPoint& point)
{
    IndividualTestHistoryView* list = m_history->individualResultsView();
    if (!index.isValid())
        return;
    const qint64 executionID = index.data(IndividualTestHistoryView::ExecutionIDRole).toLongLong();
    if (index.column() != IndividualTestHistoryView::Actions) {
        if (!IndividualTestHistoryView::isEditing())
            list->didClickonTableRow(index.row());
        return;
    }
    const QRect cell = m_executions->visualRect(index);
    switch (FNWHistoryRowDelegate::buttonAt(cell, index.data(IndividualTestHistoryView::ButtonsRole).toInt(), point)) {
    case IndividualTestHistoryView::RerunButton:
        list->reRunTest(executionID);
        break;
    case IndividualTestHistoryView::EmailButton:
        list->emailButtonDidClicked(executionID);
        break;
    case IndividualTestHistoryView::DetailsButton:
        list->detailsArrowButtonDidPressed(executionID);
        break;
    case IndividualTestHistoryView::DeleteButton:
        list->deleteButtonDidClicked(executionID);
        break;
    default:
        break;
    }
}

bool FNWHistoryTab::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (watched == m_executions->viewport())
                executionTableClicked(m_executions->indexAt(mouse->position().toPoint()), mouse->position().toPoint());
            else if (watched == m_summary->viewport()) {
                const QModelIndex index = m_summary->indexAt(mouse->position().toPoint());
                if (index.isValid())
                    m_history->resultsNavigationBaseView()->profileResultsSummaryView()->didClickonTableRow(
                        index.row());
            }
        }
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        IndividualTestHistoryView* list = m_history->individualResultsView();
        if (watched == m_executions) {
            const QModelIndex current = m_executions->currentIndex();
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && current.isValid()) {
                list->didClickonTableRow(current.row());
                return true;
            }
            if ((key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) && current.isValid() &&
                IndividualTestHistoryView::isEditing()) {
                list->deleteButtonDidClicked(current.data(IndividualTestHistoryView::ExecutionIDRole).toLongLong());
                return true;
            }
        } else if (watched == m_summary && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            if (m_summary->currentIndex().isValid()) {
                m_history->resultsNavigationBaseView()->profileResultsSummaryView()->didClickonTableRow(
                    m_summary->currentIndex().row());
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FNWHistoryTab::keyPressEvent(QKeyEvent* event)
{
    if (m_history->page() == HistoryView::Page::Results &&
        (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Backspace)) {
        m_history->resultsNavigationBaseView()->backButtonDidPressed();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
