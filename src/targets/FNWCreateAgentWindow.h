#pragma once

#include "targets/FNWCreateAgentWindowController.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;
class QToolButton;

// The window that adds target servers by hand: a table of address, port and name with a remove
// button per row, the error line, and Add, Cancel and Save. Created once by the agents list, then
// only shown and hidden; every rule is the controller's.
class FNWCreateAgentWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWCreateAgentWindow)

public:
    static constexpr int kRowHeight = 30;

    explicit FNWCreateAgentWindow(QWidget* parent = nullptr);
    ~FNWCreateAgentWindow() override;

    FNWCreateAgentWindowController* controller() const { return m_controller; }
    // Not owned.
    void setDelegate(CreateAgentWindowDelegate* delegate);

    // Brings the window to the front when it is showing; otherwise starts over with one empty row
    // and shows it.
    void openWindow();

    QTableView* tableView() const;
    QLabel* errorLabel() const { return m_error; }
    QPushButton* addRowButton() const { return m_addRow; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* saveButton() const { return m_save; }
    // The row's remove button; none for row 0, which cannot be removed.
    QToolButton* removeButton(int row) const;

public slots:
    // Escape and the close button cancel.
    void reject() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    class AgentTableModel;
    class AgentTableView;

    void reloadTable();
    void saveClicked();
    void startEditingCell(const FNWAgentTableCell& cell);
    void errorTextDidChange(const QString& text);
    void updateErrorColour();

    FNWCreateAgentWindowController* m_controller;
    AgentTableModel* m_model;
    AgentTableView* m_table;
    QLabel* m_error;
    QPushButton* m_addRow;
    QPushButton* m_cancel;
    QPushButton* m_save;
};
