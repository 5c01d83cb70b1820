#include "results/ProfileResultsDetailedListView.h"

#include "db/TestIntervalResultsDAO.h"
#include "model/TestExecutionBean.h"

#include <QSize>

#include <algorithm>
#include <cmath>

ProfileResultsDetailedListView::ProfileResultsDetailedListView(QObject* parent)
    : QAbstractTableModel(parent)
{
}

ProfileResultsDetailedListView::~ProfileResultsDetailedListView() = default;

QString ProfileResultsDetailedListView::columnIdentifier(int column)
{
    static const char* const identifiers[] = {"name", "interval", "size", "throughput", "jitter", "datagrams"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(identifiers[column]) : QString();
}

qreal ProfileResultsDetailedListView::rowHeight(int intervalResults)
{
    // A test without results still shows its settings panel.
    return std::max(25.0 * intervalResults, 355.0);
}

void ProfileResultsDetailedListView::showDetailsForProfileExecution(const FNWHistoryRun& run)
{
    const quint64 generation = ++m_generation;
    beginResetModel();
    m_run = run;
    m_results.assign(run.tests.size(), {});
    m_loading = true;
    endResetModel();
    emit loadingChanged(true);
    auto done = [this, generation](std::vector<Results> results) {
        // A later run shown meanwhile wins.
        if (generation != m_generation)
            return;
        results.resize(m_run.tests.size());
        beginResetModel();
        m_results = std::move(results);
        m_loading = false;
        endResetModel();
        emit loadingChanged(false);
    };
    if (m_loader) {
        m_loader(run, std::move(done));
        return;
    }
    std::vector<Results> results;
    for (const FNWTestRunParts& test : run.tests)
        results.push_back(test.execution ? TestIntervalResultsDAO().loadAllResultsForTestExectionID(test.execution->ID)
                                         : Results{});
    done(std::move(results));
}

int ProfileResultsDetailedListView::resultCount(int row) const
{
    return row >= 0 && row < static_cast<int>(m_results.size())
               ? static_cast<int>(m_results[static_cast<size_t>(row)].size())
               : 0;
}

const ProfileResultsDetailedListView::Results& ProfileResultsDetailedListView::resultsOf(int row) const
{
    static const Results none;
    return row >= 0 && row < static_cast<int>(m_results.size()) ? m_results[static_cast<size_t>(row)] : none;
}

int ProfileResultsDetailedListView::innerRowCount(int row) const
{
    return std::max(resultCount(row), FNWResultTexts::kSettingsLines);
}

QString ProfileResultsDetailedListView::innerText(int row, int column, int innerRow, bool* isTitle) const
{
    if (isTitle)
        *isTitle = false;
    if (row < 0 || row >= rowCount() || innerRow < 0)
        return {};
    const FNWTestRunParts& test = m_run.tests[static_cast<size_t>(row)];
    if (column == Settings)
        return innerRow < FNWResultTexts::kSettingsLines ? FNWResultTexts::settingsLine(test, innerRow, isTitle)
                                                         : QString();
    const Results& results = m_results[static_cast<size_t>(row)];
    if (innerRow >= static_cast<int>(results.size()))
        return {};
    return FNWResultTexts::intervalColumn(*results[static_cast<size_t>(innerRow)], columnIdentifier(column),
                                          FNWResultTexts::dataFormatOf(test));
}

int ProfileResultsDetailedListView::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_run.tests.size());
}

int ProfileResultsDetailedListView::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProfileResultsDetailedListView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::SizeHintRole) {
        // A test still loading keeps the room of its settings.
        const int results = m_loading ? FNWResultTexts::kSettingsLines : resultCount(index.row());
        return QSize(-1, static_cast<int>(std::ceil(rowHeight(results))));
    }
    if (role == Qt::ToolTipRole && index.column() == Settings)
        return innerText(index.row(), Settings, 0);
    return {};
}

QVariant ProfileResultsDetailedListView::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Settings", "Interval", "Transfer", "Throughput", "Jitter", "Datagrams"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(titles[section]);
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole && section == Settings)
        return int(Qt::AlignCenter);
    return QAbstractTableModel::headerData(section, orientation, role);
}
