#include "results/HistoryView.h"

#include "base/FNWAlerts.h"
#include "db/TestIntervalResultsDAO.h"
#include "db/TestQueueBeanDAO.h"
#include "engine/TestManager.h"
#include "model/TestExecutionBean.h"
#include "model/TestProfileExecutionBean.h"
#include "model/TestQueueBean.h"
#include "support/DDLog.h"
#include "support/FNWMainQueue.h"
#include "support/FNWSerialQueue.h"

#include <QPointer>

HistoryView::HistoryView(QObject* parent)
    : QObject(parent)
    , m_list(new IndividualTestHistoryView(this))
    , m_results(new ProfileResultsNavigationBaseView(this))
{
    m_list->setDelegate(this);
    m_results->setDelegate(this);
    // A run's interval results can be many; they are read off the application thread too.
    m_results->profileResultsDetailedListView()->setResultsLoader(
        [this](const FNWHistoryRun& run,
               std::function<void(std::vector<ProfileResultsDetailedListView::Results>)> done) {
            std::vector<std::shared_ptr<TestExecutionBean>> executions;
            for (const FNWTestRunParts& test : run.tests)
                executions.push_back(test.execution);
            auto read = [executions] {
                std::vector<ProfileResultsDetailedListView::Results> results;
                for (const auto& execution : executions)
                    results.push_back(execution
                                          ? TestIntervalResultsDAO().loadAllResultsForTestExectionID(execution->ID)
                                          : ProfileResultsDetailedListView::Results{});
                return results;
            };
            if (!m_background) {
                done(read());
                return;
            }
            QPointer<HistoryView> self(this);
            runInBackground([self, read, done = std::move(done)] {
                auto results = read();
                FNWMainQueue::async([self, done, results = std::move(results)]() mutable {
                    if (self)
                        done(std::move(results));
                });
            });
        });
}

HistoryView::~HistoryView()
{
    // Drains what is still being read; nothing of it reaches this view any more.
    m_loader.reset();
}

void HistoryView::setTestManager(std::shared_ptr<TestManager> manager)
{
    m_testManager = std::move(manager);
    m_list->setTestRunControl(m_testManager.get());
}

void HistoryView::runInBackground(std::function<void()> work)
{
    if (!m_loader)
        m_loader = std::make_unique<FNWSerialQueue>("fenwave.history.loader");
    m_loader->async(std::move(work));
}

void HistoryView::loadViewsDataFromDatabase()
{
    const quint64 generation = ++m_generation;
    if (!m_background) {
        apply(generation, true, FNWHistoryRun::loadAll());
        return;
    }
    m_pendingLoads += 2;
    emit loadingChanged(true);
    QPointer<HistoryView> self(this);
    runInBackground([self, generation] {
        auto firstScreen = FNWHistoryRun::loadAll(kFirstScreenRuns);
        FNWMainQueue::async([self, generation, runs = std::move(firstScreen)]() mutable {
            if (self)
                self->apply(generation, false, std::move(runs));
        });
        auto all = FNWHistoryRun::loadAll();
        FNWMainQueue::async([self, generation, runs = std::move(all)]() mutable {
            if (self)
                self->apply(generation, true, std::move(runs));
        });
    });
}

void HistoryView::apply(quint64 generation, bool complete, std::vector<FNWHistoryRun> runs)
{
    if (m_background && --m_pendingLoads == 0)
        emit loadingChanged(false);
    // A later load was asked for meanwhile: its rows are the ones to show.
    if (generation != m_generation)
        return;
    // The first screen is shown only while the list has not been filled by an earlier load: it
    // would otherwise shorten a full list for a moment.
    if (!complete && m_list->rowCount() > static_cast<int>(runs.size()))
        return;
    m_list->updateAdhocProfilesResultsTable(std::move(runs));
}

bool HistoryView::startProfileExecutionForProifleID(std::int64_t profileID)
{
    const std::shared_ptr<TestManager> manager = m_testManager ? m_testManager : TestManager::sharedTestManager();
    if (!manager->isFreeToUse()) {
        // The manager would reset the state the running tests still report into.
        DDLogInfo("HistoryView.startProfileExecutionForProifleID: a test is in progress, not starting profile %ld",
                  static_cast<qint64>(profileID));
        FNWAlerts::showCriticalAlertWithMessage(
            QStringLiteral("Test In Progress"),
            QStringLiteral("Please allow the running test to finish, or press Stop, before running a test again."));
        return false;
    }
    std::shared_ptr<TestQueueBean> profile;
    if (TestQueueBeanDAO().getRecordWithID(profileID)) {
        profile = std::make_shared<TestQueueBean>(profileID);
        profile->loadAllTestBeans();
        // A deleted profile's row stays for its runs' sake, but it is not to be run again.
        if (profile->isDeleted)
            profile = nullptr;
    }
    if (!profile || profile->testList.empty()) {
        DDLogError("HistoryView.startProfileExecutionForProifleID: testQueueBean Object Not Found");
        FNWAlerts::showCriticalAlertWithMessage(
            QStringLiteral("Unable to start test as corresponding test profile details are not found."), QString());
        return false;
    }
    manager->startProfileExecutionWithTestProfile(profile);
    return true;
}

void HistoryView::leftArrowButtonDidClickedForTestExecutionProfile(const FNWHistoryRun& run)
{
    m_page = Page::Results;
    emit pageChanged(m_page, true);
    m_results->userDidClickedToSeeDetailsForTestProfile(run);
}

void HistoryView::backButtonDidPressed()
{
    m_page = Page::Home;
    emit pageChanged(m_page, false);
}
