#include "db/FNWAgentDAO.h"
#include "targets/FNWCreateAgentWindow.h"
#include "targets/FNWEditAgentWindow.h"

#include "FNWAgentEditorTestSupport.h"
#include "FNWTestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <cstdlib>

namespace {

// Makes the cell current, which opens its editor, types the text over its content and, unless
// told to leave it open, ends the entry with Tab.
QLineEdit* typeIntoCell(QTableView* table, int row, int column, const QString& text, bool commit = true)
{
    const QModelIndex index = table->model()->index(row, column);
    table->setCurrentIndex(index);
    if (!table->indexWidget(index))
        table->edit(index);
    auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(index));
    if (!editor)
        return nullptr;
    editor->selectAll();
    QTest::keyClicks(editor, text);
    if (commit)
        QTest::keyClick(editor, Qt::Key_Tab);
    return editor;
}

} // namespace

class FNWAgentEditorGuiTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void createWindowStoresTheTypedRowsAndHides();
    void createWindowKeepsARefusedSaveOpenWithTheFailingCellInEdit();
    void editWindowRefocusesARefusedPortAndUpdatesThroughTheDelegate();
};

void FNWAgentEditorGuiTest::init()
{
    QVERIFY(fnw::test::useFreshDatabase());
}

void FNWAgentEditorGuiTest::createWindowStoresTheTypedRowsAndHides()
{
    FNWRecordingAgentDelegate delegate;
    FNWCreateAgentWindow window;
    window.setDelegate(&delegate);
    window.openWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* table = window.tableView();
    QCOMPARE(table->model()->rowCount(), 1);
    QCOMPARE(table->editTriggers() & QAbstractItemView::CurrentChanged, QAbstractItemView::CurrentChanged);

    QVERIFY(typeIntoCell(table, 0, 0, QStringLiteral("10.0.0.1")));
    QVERIFY(typeIntoCell(table, 0, 1, QStringLiteral("5300")));
    QVERIFY(typeIntoCell(table, 0, 2, QStringLiteral("Lab A")));
    QTest::mouseClick(window.addRowButton(), Qt::LeftButton);
    QTest::mouseClick(window.addRowButton(), Qt::LeftButton);
    QCOMPARE(table->model()->rowCount(), 3);
    QVERIFY(!window.removeButton(0));
    QVERIFY(window.removeButton(2));
    QTest::mouseClick(window.removeButton(2), Qt::LeftButton);
    QTRY_COMPARE(table->model()->rowCount(), 2);

    QVERIFY(typeIntoCell(table, 1, 0, QStringLiteral("10.0.0.2 ")));
    // Enter ends the cell's entry; Enter again saves.
    QLineEdit* editor = typeIntoCell(table, 1, 2, QStringLiteral("Lab B"), false);
    QVERIFY(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!table->indexWidget(table->model()->index(1, 2)));
    QVERIFY(window.isVisible());
    QTest::keyClick(table, Qt::Key_Return);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(delegate.added, 1);
    const auto stored = FNWAgentDAO().getAllAttachedAgents(false);
    QCOMPARE(stored.size(), size_t(2));
    // Trimming and the default port are the controller's own test.
    QCOMPARE(stored[0]->ip_address, QStringLiteral("10.0.0.1"));
    QCOMPARE(stored[0]->port_number, 5300);
    QCOMPARE(stored[0]->agent_name, QStringLiteral("Lab A"));
    QCOMPARE(stored[1]->agent_name, QStringLiteral("Lab B"));
}

void FNWAgentEditorGuiTest::createWindowKeepsARefusedSaveOpenWithTheFailingCellInEdit()
{
    storeAgent(QStringLiteral("10.0.0.9"));
    FNWCreateAgentWindow window;
    window.openWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTableView* table = window.tableView();
    QVERIFY(typeIntoCell(table, 0, 0, QStringLiteral("10.0.0.5")));
    QTest::mouseClick(window.addRowButton(), Qt::LeftButton);
    QVERIFY(typeIntoCell(table, 1, 0, QStringLiteral("10.0.0.9")));
    QVERIFY(typeIntoCell(table, 1, 1, QStringLiteral("80")));
    QCOMPARE(window.errorLabel()->text(), QStringLiteral("Server port should be between 1024 and 49151."));
    QTest::mouseClick(window.saveButton(), Qt::LeftButton);

    QVERIFY(window.isVisible());
    QCOMPARE(window.errorLabel()->text(), QStringLiteral("Server with IP Address '10.0.0.9' already exist."));
    QCOMPARE(table->currentIndex(), table->model()->index(1, 0));
    auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(table->currentIndex()));
    QVERIFY(editor);
    QCOMPARE(editor->selectedText(), QStringLiteral("10.0.0.9"));
    QCOMPARE(FNWAgentDAO().getAllAttachedAgents(false).size(), size_t(1));

    // Escape leaves the cell first, then closes the window without storing.
    QTest::keyClick(editor, Qt::Key_Escape);
    QTRY_VERIFY(!table->indexWidget(table->model()->index(1, 0)));
    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(FNWAgentDAO().getAllAttachedAgents(false).size(), size_t(1));

    // Opened again: one empty row, no message, the cursor in its address; the port takes digits.
    window.openWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(table->model()->rowCount(), 1);
    QVERIFY(window.errorLabel()->text().isEmpty());
    auto* address = qobject_cast<QLineEdit*>(table->indexWidget(table->model()->index(0, 0)));
    QVERIFY(address);
    QTRY_COMPARE(window.focusWidget(), static_cast<QWidget*>(address));
    QVERIFY(address->text().isEmpty());
    QTest::keyClick(address, Qt::Key_Tab);
    auto* port = qobject_cast<QLineEdit*>(table->indexWidget(table->model()->index(0, 1)));
    QVERIFY(port);
    port->selectAll();
    QTest::keyClicks(port, QStringLiteral("5x2-01"));
    QCOMPARE(port->text(), QStringLiteral("5201"));
}

void FNWAgentEditorGuiTest::editWindowRefocusesARefusedPortAndUpdatesThroughTheDelegate()
{
    FNWRecordingAgentDelegate delegate;
    const auto agent = storeAgent(QStringLiteral("10.0.0.1"));
    FNWEditAgentWindow window;
    window.setDelegate(&delegate);
    window.openWindowForAgent(agent);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.ipAddressField()->text(), QStringLiteral("10.0.0.1"));
    QCOMPARE(window.portField()->text(), QStringLiteral("5201"));

    QLineEdit* port = window.portField();
    port->setFocus();
    QTRY_VERIFY(port->hasFocus());
    port->selectAll();
    QTest::keyClicks(port, QStringLiteral("8x0")); // digits only
    QCOMPARE(port->text(), QStringLiteral("80"));
    window.nameField()->setFocus();
    QCOMPARE(window.errorLabel()->text(), QStringLiteral("Server port should be between 1024 and 49151."));
    QTRY_VERIFY(port->hasFocus());
    // Leaving it again unchanged is refused again.
    window.nameField()->setFocus();
    QVERIFY(window.nameField()->hasFocus());
    QTRY_VERIFY(port->hasFocus());

    port->selectAll();
    QTest::keyClicks(port, QStringLiteral("6000"));

    // The address is checked on leaving too.
    QLineEdit* address = window.ipAddressField();
    address->setFocus();
    QTRY_VERIFY(address->hasFocus());
    address->selectAll();
    QTest::keyClicks(address, QStringLiteral("10.0.0"));
    window.nameField()->setFocus();
    QCOMPARE(window.errorLabel()->text(), QStringLiteral("Invalid IP Address."));
    QTRY_VERIFY(address->hasFocus());
    QCOMPARE(address->selectedText(), QStringLiteral("10.0.0")); // selected for retyping
    QTest::keyClicks(address, QStringLiteral("10.0.0.1"));
    window.nameField()->setText(QString());
    QTest::keyClicks(window.nameField(), QStringLiteral("Renamed"));
    QTest::mouseClick(window.updateButton(), Qt::LeftButton);

    QVERIFY(!window.isVisible());
    QCOMPARE(delegate.updated.size(), size_t(1));
    QCOMPARE(delegate.updated[0], agent);
    const auto reloaded = FNWAgentDAO().loadAgentWithID(agent->ID);
    QVERIFY(reloaded);
    QCOMPARE(reloaded->port_number, 6000);
    QCOMPARE(reloaded->agent_name, QStringLiteral("Renamed"));
    QCOMPARE(reloaded->ip_address, QStringLiteral("10.0.0.1"));
}

int main(int argc, char** argv)
{
    // Settings, the database and logs go to a home of this run's own.
    const auto home = fnw::test::usePrivateHome();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    FNWAgentEditorGuiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FNWAgentEditorGuiTest.moc"
