#pragma once

#include "results/FNWResultTexts.h"

#include <QAbstractTableModel>

#include <functional>
#include <memory>
#include <vector>

// The detail table of one run without its table: one row per executed test. Each row holds that
// test's settings panel beside its interval results, newest stored first: the run's final totals
// row, then the intervals from the last to the first. A row has at least the settings' 15 inner
// rows. The results are read when the run is shown, by a loader that may work off the
// application thread.
class ProfileResultsDetailedListView final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfileResultsDetailedListView)

public:
    enum Column { Settings, Interval, Size, Throughput, Jitter, Datagrams, ColumnCount };
    using Results = std::vector<std::shared_ptr<TestIntervalResults>>;
    // Reads each test's results and hands them to done, on the application thread.
    using ResultsLoader = std::function<void(const FNWHistoryRun& run, std::function<void(std::vector<Results>)> done)>;

    explicit ProfileResultsDetailedListView(QObject* parent = nullptr);
    ~ProfileResultsDetailedListView() override;

    static QString columnIdentifier(int column);
    // 25 per interval result, at least 355 (the settings panel), also without results.
    static qreal rowHeight(int intervalResults);

    // The store is read at once unless a loader is set.
    void setResultsLoader(ResultsLoader loader) { m_loader = std::move(loader); }
    void showDetailsForProfileExecution(const FNWHistoryRun& run);
    const FNWHistoryRun& testProfileToShowDetails() const { return m_run; }
    bool isLoading() const { return m_loading; }

    // One test's inner table: its number of inner rows and the text of an inner cell (empty past
    // the last result, or past the settings' last line).
    int innerRowCount(int row) const;
    QString innerText(int row, int column, int innerRow, bool* isTitle = nullptr) const;
    int resultCount(int row) const;
    // The interval results read for a test, newest stored first (empty while loading).
    const Results& resultsOf(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void loadingChanged(bool loading);

private:
    FNWHistoryRun m_run;
    std::vector<Results> m_results;
    ResultsLoader m_loader;
    bool m_loading = false;
    quint64 m_generation = 0;
};
