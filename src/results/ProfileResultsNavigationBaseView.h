#pragma once

#include "results/FNWResultTexts.h"
#include "results/ProfileResultsDetailedListView.h"
#include "results/ProfileResultsSummaryView.h"

#include <QObject>

// Where a run's graph is drawn; until it exists the page shows a plain placeholder.
class ProfileResultsGraphPage
{
public:
    virtual ~ProfileResultsGraphPage() = default;
    virtual void showGraphForProfileExecution(const FNWHistoryRun& run) = 0;
    virtual void removeCustomTrackingArea() {}
};

// Told when the user goes back from the results to the list.
class ProfileResultsNavigationDelegate
{
public:
    virtual ~ProfileResultsNavigationDelegate() = default;
    virtual void backButtonDidPressed() = 0;
};

// The results page of one run without its widgets: which content shows (the summary table, the
// detail table or the graph), the toggle's selected button, Back, and the run's e-mail and rerun
// requests. Details after Graph return to the table shown before the graph, as it was; the
// detail table reached from a summary row goes back to the summary.
class ProfileResultsNavigationBaseView final : public QObject, public ProfileResultsSummaryViewDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfileResultsNavigationBaseView)

public:
    enum class Content { None, SummaryTable, DetailTable, Graph };
    // How a content change is shown.
    enum class Transition { Fade, SlideFromLeft, SlideFromRight };
    static constexpr int kFadeMs = 1000;
    static constexpr int kRerunDelayMs = 20;

    explicit ProfileResultsNavigationBaseView(QObject* parent = nullptr);
    ~ProfileResultsNavigationBaseView() override;

    void setDelegate(ProfileResultsNavigationDelegate* delegate) { m_delegate = delegate; }
    // Not owned; none until the graph exists.
    void setGraphView(ProfileResultsGraphPage* graph) { m_graph = graph; }
    ProfileResultsSummaryView* profileResultsSummaryView() const { return m_summary; }
    ProfileResultsDetailedListView* profileResultsDetailedListView() const { return m_details; }

    const FNWHistoryRun& executedProfileInView() const { return m_executedProfileInView; }
    Content visibleContent() const { return m_visible; }
    Content previousVisibleContent() const { return m_previous; }
    bool showingDetailedListViewForManagedTestProfile() const { return m_showingDetailsFromSummary; }
    // The toggle: the table button stands for whichever table shows.
    int graphButtonTag() const { return m_visible == Content::Graph ? 1 : 0; }
    int tableButtonTag() const { return m_visible == Content::Graph ? 0 : 1; }

    void userDidClickedToSeeDetailsForTestProfile(const FNWHistoryRun& run);
    void graphButtonDidPressed();
    void detailsButtonDidPressed();
    // The per-test summary of the shown run.
    void summaryButtonDidPressed();
    void backButtonDidPressed();
    void userDidClickedToViewDetailsOfTestAtIndex(int index) override;
    // The summary's CSV when the summary shows, else the interval results'.
    void emailTestButtonDidCliked();
    // Asks, goes back to the list (twice from a detail reached through the summary), then posts
    // the rerun 20 ms later.
    void reRunTestButton();

signals:
    void contentChanged(Content content, Transition transition);

private:
    void showContent(Content content, Transition transition);

    ProfileResultsNavigationDelegate* m_delegate = nullptr;
    ProfileResultsGraphPage* m_graph = nullptr;
    ProfileResultsSummaryView* m_summary;
    ProfileResultsDetailedListView* m_details;
    FNWHistoryRun m_executedProfileInView;
    Content m_visible = Content::None;
    Content m_previous = Content::None;
    bool m_showingDetailsFromSummary = false;
};
