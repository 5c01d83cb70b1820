#pragma once

#include "base/FNWMainWindowPages.h"

#include <QWidget>

#include <memory>

class FNWResultsGraphView;
class FNWSlideStackedWidget;
class HistoryView;
class QLabel;
class QModelIndex;
class QStackedWidget;
class QToolButton;
class QTreeView;
class TestManager;

// The history tab: the list of runs, and the results page of one run with its summary table,
// detail table and graph. A thin shell over HistoryView, which holds every rule; the tables are
// item views over the rules' models.
class FNWHistoryTab final : public QWidget, public FNWHistoryPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWHistoryTab)

public:
    static constexpr int kSetUpDelayMs = 1000;

    explicit FNWHistoryTab(QWidget* parent = nullptr);
    ~FNWHistoryTab() override;

    HistoryView* historyView() const { return m_history; }
    void setTestManager(std::shared_ptr<TestManager> manager);

    void prepareView() override;
    void loadViewsDataFromDatabase() override;
    bool startProfileExecutionForProifleID(std::int64_t profileID) override;
    // The list's first load, 1 s after the tab is made (at once when called).
    void setUpView();
    FNWResultsGraphView* graphView() const { return m_graph; }

    FNWSlideStackedWidget* pages() const { return m_pages; }
    QTreeView* executionTable() const { return m_executions; }
    QTreeView* summaryTable() const { return m_summary; }
    QTreeView* detailTable() const { return m_details; }
    QToolButton* editButton() const { return m_edit; }
    QToolButton* deleteAllButton() const { return m_deleteAll; }
    QToolButton* emailAllButton() const { return m_emailAll; }
    QToolButton* backButton() const { return m_back; }
    QToolButton* summaryButton() const { return m_summaryButton; }
    QToolButton* detailsButton() const { return m_detailsButton; }
    QToolButton* graphButton() const { return m_graphButton; }
    QToolButton* rerunButton() const { return m_rerun; }
    QToolButton* emailButton() const { return m_email; }
    QLabel* emptyLabel() const { return m_empty; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildHomePage();
    QWidget* buildResultsPage();
    QTreeView* makeTable(QWidget* parent);
    void showContent(int content, int transition);
    void updateListControls();
    void executionTableClicked(const QModelIndex& index, const QPoint& point);
    void exportButtonClicked();

    HistoryView* m_history;
    FNWSlideStackedWidget* m_pages = nullptr;
    QTreeView* m_executions = nullptr;
    QLabel* m_empty = nullptr;
    QToolButton* m_edit = nullptr;
    QToolButton* m_deleteAll = nullptr;
    QToolButton* m_emailAll = nullptr;
    QToolButton* m_back = nullptr;
    QLabel* m_runTitle = nullptr;
    QToolButton* m_summaryButton = nullptr;
    QToolButton* m_detailsButton = nullptr;
    QToolButton* m_graphButton = nullptr;
    QToolButton* m_rerun = nullptr;
    QToolButton* m_email = nullptr;
    FNWSlideStackedWidget* m_content = nullptr;
    QTreeView* m_summary = nullptr;
    QTreeView* m_details = nullptr;
    FNWResultsGraphView* m_graph = nullptr;
    bool m_isSetUp = false;
};
