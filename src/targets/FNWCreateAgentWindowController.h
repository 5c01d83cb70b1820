#pragma once

#include "model/FNWAgentBean.h"

#include "base/FNWErrorLine.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

// Told when new agents have been stored; the agents list reloads.
class CreateAgentWindowDelegate
{
public:
    virtual ~CreateAgentWindowDelegate() = default;
    virtual void didAddedNewAgents() = 0;
};

// A cell of the create window's table: its row and its column identifier.
struct FNWAgentTableCell
{
    int row = -1;
    QString columnIdentifier;
    bool operator==(const FNWAgentTableCell&) const = default;
};

// The rules of the window that adds agents by hand, without a window: the rows being entered,
// what each cell accepts, the checks and the store writes of a save, and the error line that
// clears itself 5 s after the last message. The window mirrors the rows and the error line
// through the signals.
class FNWCreateAgentWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWCreateAgentWindowController)

public:
    static constexpr int kRemoveRowDelayMs = 10;
    static constexpr qint64 kLowestPort = 1024;
    static constexpr qint64 kHighestPort = 49151;

    static constexpr char kIPAddressColumn[] = "ip_address";
    static constexpr char kPortColumn[] = "port_number";
    static constexpr char kNameColumn[] = "agent_name";
    static constexpr char kRemoveButtonColumn[] = "removeButtonColoumn";
    // The table's column identifiers, left to right.
    static QStringList columnIdentifiers();

    explicit FNWCreateAgentWindowController(QObject* parent = nullptr);
    ~FNWCreateAgentWindowController() override;

    // Not owned.
    void setDelegate(CreateAgentWindowDelegate* delegate) { m_delegate = delegate; }
    CreateAgentWindowDelegate* delegate() const { return m_delegate; }

    const std::vector<std::shared_ptr<FNWAgentBean>>& agentArray() const { return m_agentArray; }
    // The most recently added row.
    std::shared_ptr<FNWAgentBean> agent() const { return m_agent; }

    // Empties the rows and adds one default row.
    void showWindow();
    void addRowButtonDidClicked();
    // Removes the row's agent 10 ms later; false (nothing happens) for row 0 or a row that is not there.
    bool removeRowButtonDidClicked(int row);

    // A cell's value: the address and name as text, the port as an integer. Invalid for an unknown cell.
    QVariant objectValue(const QString& columnIdentifier, int row) const;
    // What the user typed into a cell. The address is kept even when it is not valid (the message
    // says so); a port out of range is refused and the row keeps its port.
    void setObjectValue(const QString& text, const QString& columnIdentifier, int row);

    // Checks every row in table order and stores them all, or none when a check fails. Answers
    // the cell the user has to correct; none when the rows were stored (the window then closes)
    // or when the store refused one (the error line says so and the window stays open).
    std::optional<FNWAgentTableCell> saveAgentButtonDidClicked();
    void cancelButtonDidClicked();

    QString errorText() const { return m_errorLine->text(); }
    // Shows the message on the error line; it is emptied 5 s after the last message.
    void showErrorMessage(const QString& message);
    // Tests shorten the 5 s.
    void setErrorClearInterval(int milliseconds);

    // Both editors accept ports 1024 to 49151.
    static bool isPortInRange(qint64 port);
    // Removes spaces and tabs at both ends; other white space stays (and fails the address check).
    static QString trimSpacesAndTabs(const QString& text);

signals:
    // Rows were added or removed; the table reloads.
    void agentArrayChanged();
    // One row's values changed; the table redraws it.
    void rowChanged(int row);
    void errorTextChanged(const QString& text);
    void closeWindowRequested();

private:
    void appendDefaultRow();
    std::optional<FNWAgentTableCell> validateRow(int row);
    bool storeRows();

    std::vector<std::shared_ptr<FNWAgentBean>> m_agentArray;
    std::shared_ptr<FNWAgentBean> m_agent;
    CreateAgentWindowDelegate* m_delegate = nullptr;
    FNWErrorLine* m_errorLine;
};
