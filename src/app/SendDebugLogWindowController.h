#pragma once

#include "support/FNWSupportMailConfig.h"

#include <QObject>
#include <QString>

#include <memory>

class SendGrid;
class SendGridTransport;

// The send-log window without its widgets: Input (address field and send button), Sending
// (progress running) and Sent (thanks and OK); a failure goes back to Input with its message
// shown for kFailureShownMs. The request goes out asynchronously; one at a time.
class SendDebugLogWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SendDebugLogWindowController)

public:
    enum class State { Input, Sending, Sent };

    static constexpr char kSubject[] = "Fenwave Support Log File ";
    static constexpr char kThanks[] = "Thanks, your log file has been sent. ";
    static constexpr int kFailureShownMs = 3000;

    SendDebugLogWindowController(SendGridTransport* transport, const FNWSupportMailConfig& config,
                                 QObject* parent = nullptr);
    ~SendDebugLogWindowController() override;

    void setLogFilePath(const QString& path) { m_logFilePath = path; }
    QString logFilePath() const { return m_logFilePath; }

    // Back to Input, whatever came before.
    void showWindow();
    void closeWindow();
    // Sends the log with the user's address as reply-to (empty is allowed). False, without
    // sending, while a send is going, without configuration, or for an address that is not one.
    bool sendDebugLog(const QString& address);

    State state() const { return m_state; }
    QString statusText() const { return m_statusText; }
    // Empty when mail can go; else what the window says instead of the form.
    QString configurationProblem() const;
    // Why the text is refused as the user's address, or empty: one plain address or nothing.
    static QString addressProblem(const QString& address);

signals:
    void stateChanged(SendDebugLogWindowController::State state);
    // A failure to show for kFailureShownMs.
    void failureShown(const QString& message);
    void closeRequested();

private:
    void setState(State state);

    SendGridTransport* m_transport;
    FNWSupportMailConfig m_config;
    std::shared_ptr<SendGrid> m_sendGrid;
    QString m_logFilePath;
    QString m_statusText;
    State m_state = State::Input;
    // Tells a reply that comes after the window was shown again to keep quiet.
    int m_generation = 0;
};
