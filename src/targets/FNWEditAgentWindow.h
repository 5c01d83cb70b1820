#pragma once

#include "targets/FNWEditAgentWindowController.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

// The window that changes one target server's address, port and name. Created once by the agents
// list, then only shown and hidden; every rule is the controller's.
class FNWEditAgentWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWEditAgentWindow)

public:
    explicit FNWEditAgentWindow(QWidget* parent = nullptr);
    ~FNWEditAgentWindow() override;

    FNWEditAgentWindowController* controller() const { return m_controller; }
    // Not owned.
    void setDelegate(EditAgentWindowDelegate* delegate);

    // Hands the agent to the form, then shows the window or brings it to the front.
    void openWindowForAgent(std::shared_ptr<FNWAgentBean> agent);

    QLineEdit* ipAddressField() const { return m_ipAddress; }
    QLineEdit* portField() const { return m_port; }
    QLineEdit* nameField() const { return m_name; }
    QLabel* errorLabel() const { return m_error; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* updateButton() const { return m_update; }

public slots:
    // Escape and the close button cancel.
    void reject() override;

protected:
    // A checked field's exit: every loss of focus (a line edit reports editingFinished only after
    // a change).
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void showFormValues();
    void fieldDidEndEditing(QLineEdit* field, bool* edited, bool* refused);
    void closeWindow();
    void updateErrorColour();

    FNWEditAgentWindowController* m_controller;
    QLineEdit* m_ipAddress;
    QLineEdit* m_port;
    QLineEdit* m_name;
    QLabel* m_error;
    QPushButton* m_cancel;
    QPushButton* m_update;
    // A field is checked when it is left after an edit, as long as the window is not closing.
    bool m_ipAddressEdited = false;
    bool m_portEdited = false;
    // The fields whose value the last check refused; they are checked on every exit until fixed.
    bool m_ipAddressRefused = false;
    bool m_portRefused = false;
    // The focus is being put back into a refused field.
    bool m_refocusing = false;
    bool m_closing = false;
};
