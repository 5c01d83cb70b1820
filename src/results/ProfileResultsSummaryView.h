#pragma once

#include "results/FNWResultTexts.h"

#include <QAbstractTableModel>

// Told which test of the summary the user opened.
class ProfileResultsSummaryViewDelegate
{
public:
    virtual ~ProfileResultsSummaryViewDelegate() = default;
    virtual void userDidClickedToViewDetailsOfTestAtIndex(int index) = 0;
};

// The summary table of one run without its table: one row per executed test, the test-line
// columns and a last column with the row's arrow to its details.
class ProfileResultsSummaryView final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfileResultsSummaryView)

public:
    // The test-line columns, then "tools".
    enum Column { Name, Average, Total, Interval, Duration, Type, SSID, Tools, ColumnCount };
    static constexpr int kRowHeight = 30;

    explicit ProfileResultsSummaryView(QObject* parent = nullptr);
    ~ProfileResultsSummaryView() override;

    void setDelegate(ProfileResultsSummaryViewDelegate* delegate) { m_delegate = delegate; }
    void showDetailsForProfileExecution(const FNWHistoryRun& run);
    const FNWHistoryRun& executedProfile() const { return m_executedProfile; }

    // A row click, or the row's arrow; ignored without a row.
    void didClickonTableRow(int row);
    void rowArrowButtonDidClicked(int row) { didClickonTableRow(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    ProfileResultsSummaryViewDelegate* m_delegate = nullptr;
    FNWHistoryRun m_executedProfile;
};
