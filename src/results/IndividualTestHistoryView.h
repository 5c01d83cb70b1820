#pragma once

#include "base/FNWNotificationCenter.h"
#include "results/FNWResultTexts.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

class FNWTestRunControl;

// Hears which run the user opened.
class HistoryViewHomePageTablesDelegate
{
public:
    virtual ~HistoryViewHomePageTablesDelegate() = default;
    virtual void leftArrowButtonDidClickedForTestExecutionProfile(const FNWHistoryRun& run) = 0;
};

// The history list without its table: one row per stored profile run, newest first, one line per
// executed test in each column; edit mode (one flag for every list), and the requests a row's
// buttons make of the main window by notification: rerun, delete, e-mail (a CSV export), details.
// Every request names its run by ID, so a list that changed in the meantime (a run that ended
// while a confirmation was open) acts on the run the user chose. A row leaves the list only once
// the main window reports it deleted.
class IndividualTestHistoryView final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(IndividualTestHistoryView)

public:
    // The run (its date, and its profile's name on a second line), the test-line columns, the
    // row's buttons.
    enum Column { Run, Name, Average, Total, Interval, Duration, Type, SSID, Actions, ColumnCount };
    enum Role {
        // The column's text, one line per executed test.
        LinesRole = Qt::UserRole + 1,
        ExecutionIDRole,
        // The buttons the row shows now (Buttons flags).
        ButtonsRole,
    };
    enum Button { RerunButton = 1, EmailButton = 2, DetailsButton = 4, DeleteButton = 8 };

    explicit IndividualTestHistoryView(QObject* parent = nullptr);
    ~IndividualTestHistoryView() override;

    // Not owned. The run control answers whether a test is in progress (the shared test manager
    // when none is set).
    void setDelegate(HistoryViewHomePageTablesDelegate* delegate) { m_delegate = delegate; }
    void setTestRunControl(FNWTestRunControl* control) { m_runControl = control; }

    // The test-line identifier of a column ("name", "average", ...; empty for the others) and its
    // title.
    static QString columnIdentifier(int column);
    static QString columnTitle(int column);
    // 26 per test when a run has several, 30 for one, 0.1 for none.
    static qreal rowHeight(int executedTests);

    void updateAdhocProfilesResultsTable(std::vector<FNWHistoryRun> runs);
    const std::vector<FNWHistoryRun>& executionRecords() const { return m_executionRecords; }
    // The row of the run with this ID, or -1.
    int rowOfExecution(qint64 executionID) const;

    // Edit mode is one flag for every list; its button is enabled exactly while the list has runs.
    static bool isEditing();
    bool isEditButtonEnabled() const { return !m_executionRecords.empty(); }
    bool isEmailAllVisible() const { return !isEditing(); }
    bool isDeleteAllVisible() const { return isEditing(); }
    void editModeButtonDidClicked();

    void didClickonTableRow(int row);
    void detailsArrowButtonDidPressed(qint64 executionID);
    void reRunTest(qint64 executionID);
    void reStartTestButton(qint64 executionID) { reRunTest(executionID); }
    void deleteButtonDidClicked(qint64 executionID);
    void deleteAllIndividualtestButtondidclicked();
    void emailAllButtonDidClicked();
    void emailButtonDidClicked(qint64 executionID);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void editModeChanged(bool editing);
    void editButtonEnabledChanged(bool enabled);

private:
    void editModeDidChanged(bool editing);
    void didDeleteSingleExecutionResult(qint64 executionID);
    const FNWHistoryRun* runWithID(qint64 executionID) const;
    bool isTestInProgress() const;
    void post(const char* name, const QVariantMap& userInfo);

    HistoryViewHomePageTablesDelegate* m_delegate = nullptr;
    FNWTestRunControl* m_runControl = nullptr;
    std::vector<FNWHistoryRun> m_executionRecords;
    FNWObserverToken m_deleteObserver;
};
