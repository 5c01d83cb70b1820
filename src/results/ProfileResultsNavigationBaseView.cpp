#include "results/ProfileResultsNavigationBaseView.h"

#include "base/FNWAlerts.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "model/TestProfileExecutionBean.h"
#include "support/FNWFormat.h"

#include <QPointer>
#include <QTimer>

namespace {

QString key(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

ProfileResultsNavigationBaseView::ProfileResultsNavigationBaseView(QObject* parent)
    : QObject(parent)
    , m_summary(new ProfileResultsSummaryView(this))
    , m_details(new ProfileResultsDetailedListView(this))
{
    m_summary->setDelegate(this);
}

ProfileResultsNavigationBaseView::~ProfileResultsNavigationBaseView() = default;

void ProfileResultsNavigationBaseView::showContent(Content content, Transition transition)
{
    m_previous = m_visible;
    m_visible = content;
    emit contentChanged(content, transition);
}

void ProfileResultsNavigationBaseView::userDidClickedToSeeDetailsForTestProfile(const FNWHistoryRun& run)
{
    m_executedProfileInView = run;
    m_showingDetailsFromSummary = false;
    m_details->showDetailsForProfileExecution(run);
    // The summary lists the same run, ready for its button.
    m_summary->showDetailsForProfileExecution(run);
    m_visible = Content::None;
    showContent(Content::DetailTable, Transition::Fade);
}

void ProfileResultsNavigationBaseView::graphButtonDidPressed()
{
    if (m_visible == Content::Graph)
        return;
    showContent(Content::Graph, Transition::Fade);
    if (m_graph)
        m_graph->showGraphForProfileExecution(m_executedProfileInView);
}

void ProfileResultsNavigationBaseView::detailsButtonDidPressed()
{
    if (m_visible == Content::DetailTable)
        return;
    if (m_visible == Content::Graph && m_previous == Content::SummaryTable) {
        // Back to the table shown before the graph, as it was.
        showContent(Content::SummaryTable, Transition::Fade);
        return;
    }
    m_showingDetailsFromSummary = false;
    showContent(Content::DetailTable, Transition::Fade);
}

void ProfileResultsNavigationBaseView::summaryButtonDidPressed()
{
    if (m_visible == Content::SummaryTable)
        return;
    m_showingDetailsFromSummary = false;
    showContent(Content::SummaryTable, Transition::Fade);
}

void ProfileResultsNavigationBaseView::backButtonDidPressed()
{
    if (!m_delegate)
        return;
    if (!m_showingDetailsFromSummary) {
        m_delegate->backButtonDidPressed();
        if (m_graph)
            m_graph->removeCustomTrackingArea();
        return;
    }
    m_showingDetailsFromSummary = false;
    showContent(Content::SummaryTable, Transition::SlideFromRight);
}

void ProfileResultsNavigationBaseView::userDidClickedToViewDetailsOfTestAtIndex(int)
{
    // The detail table shows every test of the run; the row only leads there.
    m_showingDetailsFromSummary = true;
    showContent(Content::DetailTable, Transition::SlideFromLeft);
}

void ProfileResultsNavigationBaseView::emailTestButtonDidCliked()
{
    if (!m_executedProfileInView.run)
        return;
    const char* name = m_visible == Content::SummaryTable ? exportSummeryViewIndividualSummeryResultsNotification
                                                          : exportIntervalResultsNotification;
    FNWNotificationCenter::defaultCenter().postNotificationName(
        key(name), this,
        {{key(kTestProfileExecutionIdKey), FNWStringWithFormat("%ld", m_executedProfileInView.run->ID)}});
}

void ProfileResultsNavigationBaseView::reRunTestButton()
{
    if (!m_executedProfileInView.run)
        return;
    if (!FNWAlerts::showConfirmationAlertWithMessage(
            QStringLiteral("Are you sure you would like to run this test again?"), QString()))
        return;
    const bool fromSummary = m_showingDetailsFromSummary;
    const qint64 profileID = m_executedProfileInView.run->test_profile_id;
    backButtonDidPressed();
    if (fromSummary)
        backButtonDidPressed();
    QTimer::singleShot(kRerunDelayMs, this, [this, profileID] {
        FNWNotificationCenter::defaultCenter().postNotificationName(
            key(RerunTestProfileNotification), this, {{key(kTestProfileIdKey), FNWStringWithFormat("%ld", profileID)}});
    });
}
