#include "results/IndividualTestHistoryView.h"

#include "base/FNWAlerts.h"
#include "base/FNWMainWindowPages.h"
#include "base/FNWNotifications.h"
#include "db/TestProfileExecutionDAO.h"
#include "engine/TestManager.h"
#include "model/TestProfileExecutionBean.h"
#include "support/DDLog.h"
#include "support/FNWFormat.h"

#include <QSet>
#include <QSize>

#include <algorithm>

namespace {

// The one edit mode of every history list.
bool s_isEditing = false;

QString key(const char* text)
{
    return QString::fromLatin1(text);
}

QVariantMap executionInfo(qint64 executionID)
{
    return {{key(kTestProfileExecutionIdKey), FNWStringWithFormat("%ld", executionID)}};
}

} // namespace

IndividualTestHistoryView::IndividualTestHistoryView(QObject* parent)
    : QAbstractTableModel(parent)
{
    m_deleteObserver = FNWNotificationCenter::defaultCenter().addObserver(
        key(didDeleteSingleTestProfileNotification), [this](const FNWNotification& notification) {
            didDeleteSingleExecutionResult(notification.userInfo.value(key(kTestProfileExecutionIdKey)).toLongLong());
        });
}

IndividualTestHistoryView::~IndividualTestHistoryView() = default;

QString IndividualTestHistoryView::columnIdentifier(int column)
{
    return FNWResultTexts::testLineColumn(column - Name);
}

QString IndividualTestHistoryView::columnTitle(int column)
{
    if (column == Run)
        return QStringLiteral("Date");
    return FNWResultTexts::testLineTitle(column - Name);
}

qreal IndividualTestHistoryView::rowHeight(int executedTests)
{
    if (executedTests > 1)
        return 26.0 * executedTests;
    return executedTests == 1 ? 30.0 : 0.1;
}

void IndividualTestHistoryView::updateAdhocProfilesResultsTable(std::vector<FNWHistoryRun> runs)
{
    const bool wasEnabled = isEditButtonEnabled();
    beginResetModel();
    m_executionRecords = std::move(runs);
    endResetModel();
    if (wasEnabled != isEditButtonEnabled())
        emit editButtonEnabledChanged(isEditButtonEnabled());
}

int IndividualTestHistoryView::rowOfExecution(qint64 executionID) const
{
    const auto at = std::find_if(m_executionRecords.begin(), m_executionRecords.end(),
                                 [executionID](const FNWHistoryRun& row) { return row.run->ID == executionID; });
    return at == m_executionRecords.end() ? -1 : static_cast<int>(at - m_executionRecords.begin());
}

const FNWHistoryRun* IndividualTestHistoryView::runWithID(qint64 executionID) const
{
    const int row = rowOfExecution(executionID);
    return row < 0 ? nullptr : &m_executionRecords[static_cast<size_t>(row)];
}

bool IndividualTestHistoryView::isEditing()
{
    return s_isEditing;
}

void IndividualTestHistoryView::editModeButtonDidClicked()
{
    if (m_executionRecords.empty())
        return;
    editModeDidChanged(!s_isEditing);
}

void IndividualTestHistoryView::editModeDidChanged(bool editing)
{
    s_isEditing = editing;
    if (!m_executionRecords.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {ButtonsRole});
    emit editModeChanged(editing);
}

void IndividualTestHistoryView::didClickonTableRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    detailsArrowButtonDidPressed(m_executionRecords[static_cast<size_t>(row)].run->ID);
}

void IndividualTestHistoryView::detailsArrowButtonDidPressed(qint64 executionID)
{
    const FNWHistoryRun* run = runWithID(executionID);
    if (m_delegate && run)
        m_delegate->leftArrowButtonDidClickedForTestExecutionProfile(*run);
}

void IndividualTestHistoryView::reRunTest(qint64 executionID)
{
    if (!FNWAlerts::showConfirmationAlertWithMessage(
            QStringLiteral("Are you sure you would like to run this test again?"), QString()))
        return;
    // Looked up after the answer: the list may have changed while the user chose.
    const FNWHistoryRun* run = runWithID(executionID);
    if (!run)
        return;
    post(RerunTestProfileNotification,
         {{key(kTestProfileIdKey), FNWStringWithFormat("%ld", run->run->test_profile_id)}});
}

void IndividualTestHistoryView::deleteButtonDidClicked(qint64 executionID)
{
    if (!FNWAlerts::showConfirmationAlertWithMessage(
            QStringLiteral("Are you sure you would like to delete this test execution?"), QString()))
        return;
    if (!runWithID(executionID))
        return;
    post(DeleteOneTestProfileNotification, {{key(kIdsToDeleteKey), QVariantList{executionInfo(executionID)}}});
}

void IndividualTestHistoryView::deleteAllIndividualtestButtondidclicked()
{
    if (isTestInProgress()) {
        FNWAlerts::present(
            {QStringLiteral("Cannot delete all results in History because a test is currently in progress."),
             QString(),
             FNWAlertStyle::Warning,
             {QStringLiteral("Ok")},
             0});
        return;
    }
    if (!FNWAlerts::showConfirmationAlertWithMessage(
            QStringLiteral("Are you sure you would like to delete all test results?"), QString()))
        return;
    // Every stored run goes, the listed ones in list order first, then those the list never shows
    // (runs in which no test finished).
    QVariantList ids;
    QSet<qint64> listed;
    for (const FNWHistoryRun& row : m_executionRecords) {
        ids.append(executionInfo(row.run->ID));
        listed.insert(row.run->ID);
    }
    for (const auto& stored : TestProfileExecutionDAO().getAllRecords()) {
        if (!listed.contains(stored->ID))
            ids.append(executionInfo(stored->ID));
    }
    post(DeleteOneTestProfileNotification, {{key(kIdsToDeleteKey), ids}});
    if (s_isEditing)
        editModeDidChanged(false);
    emit editButtonEnabledChanged(isEditButtonEnabled());
}

void IndividualTestHistoryView::emailAllButtonDidClicked()
{
    post(exportIndividualSummeryResultsNotification, {});
}

void IndividualTestHistoryView::emailButtonDidClicked(qint64 executionID)
{
    if (runWithID(executionID))
        post(exportIntervalResultsNotification, executionInfo(executionID));
}

void IndividualTestHistoryView::didDeleteSingleExecutionResult(qint64 executionID)
{
    const int row = rowOfExecution(executionID);
    if (row < 0)
        return;
    if (m_executionRecords.size() == 1 && s_isEditing)
        editModeDidChanged(false);
    beginRemoveRows(QModelIndex(), row, row);
    m_executionRecords.erase(m_executionRecords.begin() + row);
    endRemoveRows();
    if (m_executionRecords.empty())
        emit editButtonEnabledChanged(false);
}

bool IndividualTestHistoryView::isTestInProgress() const
{
    if (m_runControl)
        return !m_runControl->isFreeToUse();
    return !TestManager::sharedTestManager()->isFreeToUse();
}

void IndividualTestHistoryView::post(const char* name, const QVariantMap& userInfo)
{
    FNWNotificationCenter::defaultCenter().postNotificationName(key(name), this, userInfo);
}

int IndividualTestHistoryView::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_executionRecords.size());
}

int IndividualTestHistoryView::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant IndividualTestHistoryView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const FNWHistoryRun& row = m_executionRecords[static_cast<size_t>(index.row())];
    switch (role) {
    case ExecutionIDRole:
        return row.run->ID;
    case ButtonsRole:
        return index.column() == Actions
                   ? (s_isEditing ? int(DeleteButton) : int(RerunButton | EmailButton | DetailsButton))
                   : 0;
    case Qt::SizeHintRole:
        return QSize(-1, qRound(rowHeight(static_cast<int>(row.tests.size()))));
    case LinesRole:
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        if (index.column() >= Actions)
            return {};
        QStringList lines;
        if (index.column() == Run) {
            const QString name = row.run->profile_name.isEmpty() ? QStringLiteral("Ad-hoc run") : row.run->profile_name;
            if (role == Qt::ToolTipRole)
                return row.run->execution_date_str + QLatin1Char('\n') + name;
            lines << row.run->execution_date_str;
            if (row.tests.size() > 1)
                lines << name;
            // In the rows of the test lines beside it.
            while (lines.size() < static_cast<qsizetype>(row.tests.size()))
                lines << QString();
            return role == LinesRole ? QVariant(lines) : QVariant(lines.join(QLatin1Char('\n')));
        }
        for (const FNWTestRunParts& test : row.tests)
            lines << FNWResultTexts::testLine(test, columnIdentifier(index.column()),
                                              FNWResultTexts::TestLineTable::HistoryRow);
        if (role == LinesRole)
            return lines;
        return lines.join(QLatin1Char('\n'));
    }
    default:
        return {};
    }
}

QVariant IndividualTestHistoryView::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return columnTitle(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
