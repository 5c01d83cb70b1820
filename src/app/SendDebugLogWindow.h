#pragma once

#include <QTimer>
#include <QWidget>

class FNWBusyIndicator;
class QLabel;
class QLineEdit;
class QPushButton;
class SendDebugLogWindowController;

// The send-log window over its controller: the address field and Send, the progress while the
// mail goes, then the thanks and OK; a failure shows for a few seconds under the field.
class SendDebugLogWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SendDebugLogWindow)

public:
    SendDebugLogWindow(SendDebugLogWindowController* controller, QWidget* parent = nullptr);
    ~SendDebugLogWindow() override;

    // Back to the form, shown above the main window and focused.
    void showWindow();

    QLineEdit* emailInputField() const { return m_emailInputField; }
    QPushButton* sendButton() const { return m_sendButton; }
    QPushButton* okButton() const { return m_okButton; }
    QLabel* statusTextField() const { return m_statusTextField; }
    QLabel* messageField() const { return m_messageField; }
    FNWBusyIndicator* progressIndicator() const { return m_progressIndicator; }

private:
    void update();
    void showMessage(const QString& message);

    SendDebugLogWindowController* m_controller;
    QWidget* m_wrapperView;
    QLineEdit* m_emailInputField;
    QPushButton* m_sendButton;
    QLabel* m_statusTextField;
    QLabel* m_messageField;
    QPushButton* m_okButton;
    FNWBusyIndicator* m_progressIndicator;
    QTimer m_messageTimer;
};
