#pragma once

#include "base/FNWMainWindowPages.h"
#include "results/IndividualTestHistoryView.h"
#include "results/ProfileResultsNavigationBaseView.h"

#include <QObject>

#include <memory>

class FNWSerialQueue;
class TestManager;

// The history tab without its widgets: the list page and the results page of one run, and what
// the main window asks of the tab (reload the runs, run a stored profile again). The runs are read
// off the application thread and handed over with a queued call: the newest first, so that the
// list shows at once, then all of them.
class HistoryView final : public QObject,
                          public FNWHistoryPage,
                          public HistoryViewHomePageTablesDelegate,
                          public ProfileResultsNavigationDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryView)

public:
    enum class Page { Home, Results };
    // The runs of the first screen, read before the rest.
    static constexpr qint64 kFirstScreenRuns = 60;

    explicit HistoryView(QObject* parent = nullptr);
    ~HistoryView() override;

    // The shared test manager unless a test gives another.
    void setTestManager(std::shared_ptr<TestManager> manager);
    // Tests read the store on the calling thread.
    void setLoadsInBackground(bool background) { m_background = background; }

    IndividualTestHistoryView* individualResultsView() const { return m_list; }
    ProfileResultsNavigationBaseView* resultsNavigationBaseView() const { return m_results; }
    Page page() const { return m_page; }
    // A load has been asked for and has not arrived yet.
    bool isLoading() const { return m_pendingLoads > 0; }

    void prepareView() override {}
    void loadViewsDataFromDatabase() override;
    bool startProfileExecutionForProifleID(std::int64_t profileID) override;

    void leftArrowButtonDidClickedForTestExecutionProfile(const FNWHistoryRun& run) override;
    void backButtonDidPressed() override;

signals:
    // fromLeft: the new page comes in from the right side (into the results), else from the left.
    void pageChanged(HistoryView::Page page, bool slideFromLeft);
    void loadingChanged(bool loading);

private:
    void apply(quint64 generation, bool complete, std::vector<FNWHistoryRun> runs);
    void runInBackground(std::function<void()> work);

    IndividualTestHistoryView* m_list;
    ProfileResultsNavigationBaseView* m_results;
    Page m_page = Page::Home;
    std::shared_ptr<TestManager> m_testManager;
    bool m_background = true;
    quint64 m_generation = 0;
    int m_pendingLoads = 0;
    std::unique_ptr<FNWSerialQueue> m_loader;
};
