#pragma once

#include "model/FNWAgentBean.h"

#include "base/FNWErrorLine.h"

#include <QObject>
#include <QString>

#include <memory>

// Handed the edited agent once its new values passed the checks; it writes the agent to the store.
class EditAgentWindowDelegate
{
public:
    virtual ~EditAgentWindowDelegate() = default;
    virtual void userClickedToAddUpdatedAgentsInfo(const std::shared_ptr<FNWAgentBean>& agent) = 0;
};

// The rules of the window that changes one agent's address, port and name, without a window: the
// form values, their checks, what an update writes into the agent and the error line that clears
// itself 5 s after the last message.
class FNWEditAgentWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWEditAgentWindowController)

public:
    // The fields' identifiers, as controlTextDidEndEditing() takes them.
    static constexpr char kIPAddressField[] = "ipAddress";
    static constexpr char kPortField[] = "port";

    explicit FNWEditAgentWindowController(QObject* parent = nullptr);
    ~FNWEditAgentWindowController() override;

    // Not owned.
    void setDelegate(EditAgentWindowDelegate* delegate) { m_delegate = delegate; }
    EditAgentWindowDelegate* delegate() const { return m_delegate; }

    // The agents list's own record (not a copy); the form takes its address, name and port.
    void setAgentBean(std::shared_ptr<FNWAgentBean> agent);
    std::shared_ptr<FNWAgentBean> agentBean() const { return m_agentBean; }

    QString agentIP() const { return m_agentIP; }
    void setAgentIP(const QString& address) { m_agentIP = address; }
    QString agentName() const { return m_agentName; }
    void setAgentName(const QString& name) { m_agentName = name; }
    qint64 agentPort() const { return m_agentPort; }
    void setAgentPort(qint64 port) { m_agentPort = port; }
    // The port field's text: empty is 0, anything else that is not a number too.
    void setAgentPortText(const QString& text);

    // Trims the address; false with its message when it is not valid or another library agent has it.
    bool validateAgentIPAddress();
    bool validateAgentPort();
    // Runs the check of the field being left; true when the focus must go back into that field.
    bool controlTextDidEndEditing(const QString& fieldIdentifier);

    // Writes the form into the agent and hands it to the delegate when the checks pass; false
    // (with the message shown, the window open) when one fails.
    bool updateAgentButtonDidClicked();
    // Leaves the agent unchanged.
    void cancelButtonDidClicked();

    QString errorText() const { return m_errorLine->text(); }
    // Shows the message on the error line; it is emptied 5 s after the last message.
    void showErrorMessage(const QString& message);
    // Tests shorten the 5 s.
    void setErrorClearInterval(int milliseconds);

signals:
    // The form values were replaced (a new agent, or the trimmed address); the fields redraw.
    void formValuesChanged();
    void errorTextChanged(const QString& text);
    void closeWindowRequested();

private:
    void trimAgentIP();

    std::shared_ptr<FNWAgentBean> m_agentBean;
    EditAgentWindowDelegate* m_delegate = nullptr;
    QString m_agentIP;
    QString m_agentName;
    qint64 m_agentPort = 0;
    FNWErrorLine* m_errorLine;
};
