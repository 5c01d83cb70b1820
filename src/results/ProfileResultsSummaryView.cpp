#include "results/ProfileResultsSummaryView.h"

#include <QSize>

ProfileResultsSummaryView::ProfileResultsSummaryView(QObject* parent)
    : QAbstractTableModel(parent)
{
}

ProfileResultsSummaryView::~ProfileResultsSummaryView() = default;

void ProfileResultsSummaryView::showDetailsForProfileExecution(const FNWHistoryRun& run)
{
    beginResetModel();
    m_executedProfile = run;
    endResetModel();
}

void ProfileResultsSummaryView::didClickonTableRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (m_delegate)
        m_delegate->userDidClickedToViewDetailsOfTestAtIndex(row);
}

int ProfileResultsSummaryView::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_executedProfile.tests.size());
}

int ProfileResultsSummaryView::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProfileResultsSummaryView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::SizeHintRole)
        return QSize(-1, kRowHeight);
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || index.column() >= Tools)
        return {};
    return FNWResultTexts::testLine(m_executedProfile.tests[static_cast<size_t>(index.row())],
                                    FNWResultTexts::testLineColumn(index.column()),
                                    FNWResultTexts::TestLineTable::Summary);
}

QVariant ProfileResultsSummaryView::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return section == Name ? QStringLiteral("Test") : FNWResultTexts::testLineTitle(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
