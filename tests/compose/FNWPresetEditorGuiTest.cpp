#include "compose/FNWCreatePresetWindow.h"
#include "db/FNWPresetDAO.h"
#include "ui/FNWAlert.h"

#include "FNWRecordingPresetDelegate.h"
#include "FNWTestSupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QtTest>

#include <cstdlib>
#include <memory>

class FNWPresetEditorGuiTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void aRefusedSaveStaysOpenAndAFilledFormSavesAndHides();
    void additionalSettingsResizeAndUDPDisablesTheTCPControls();
    void queueModeHandsBackTheEditedPresetOnEnter();
    void escapeOnTheResetQuestionKeepsTheFormAndGivesTheFieldBack();

private:
    template <typename T> T* child(const char* name) const
    {
        T* widget = m_window->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    // Replaces the field's text as typed keys, through its validator.
    void retype(const char* name, const QString& text) const
    {
        auto* field = child<QLineEdit>(name);
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }

    std::unique_ptr<FNWCreatePresetWindow> m_window;
    FNWRecordingPresetDelegate m_delegate;
};

void FNWPresetEditorGuiTest::init()
{
    QVERIFY(fnw::test::useFreshDatabase());
    m_delegate = {};
    m_window = std::make_unique<FNWCreatePresetWindow>();
    m_window->setDelegate(&m_delegate);
    // Nothing is left on screen for the next case, whatever an alert would ask.
    FNWAlert::setTestResponder([](const FNWAlertRequest& request) { return request.cancelButton; });
}

void FNWPresetEditorGuiTest::cleanup()
{
    m_window.reset();
    FNWAlert::setTestResponder({});
}

void FNWPresetEditorGuiTest::aRefusedSaveStaysOpenAndAFilledFormSavesAndHides()
{
    m_window->openWindowForPreset(nullptr, false);
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTest::keyClicks(child<QLineEdit>("presetName"), QStringLiteral("Office"));
    QTest::mouseClick(child<QRadioButton>("numberOfBytesButton"), Qt::LeftButton);
    QVERIFY(!child<QLineEdit>("durationField")->isEnabled());
    retype("numberOfBytesField", QStringLiteral("0"));
    QTest::mouseClick(child<QPushButton>("saveButton"), Qt::LeftButton);
    QCOMPARE(child<QLabel>("errorLabel")->text(), QStringLiteral("Invalid Number of Bytes."));
    QVERIFY(m_window->isVisible());

    QTest::mouseClick(child<QRadioButton>("durationButton"), Qt::LeftButton);
    QVERIFY(!child<QLineEdit>("numberOfBytesField")->isEnabled());
    retype("durationField", QStringLiteral("3a0")); // the letter is refused
    QCOMPARE(child<QLineEdit>("durationField")->text(), QStringLiteral("30"));
    retype("sendBandwidthField", QStringLiteral("25"));
    // Enter saves from a field, also after Save had the focus for the refused click.
    QTest::keyClick(child<QLineEdit>("sendBandwidthField"), Qt::Key_Return);

    QTRY_VERIFY(!m_window->isVisible());
    const auto presets = FNWPresetDAO().getAllAttachedPresets(false);
    QCOMPARE(presets.size(), size_t(1));
    QCOMPARE(presets[0]->name, QStringLiteral("Office"));
    QCOMPARE(presets[0]->duration, 30);
    QCOMPARE(presets[0]->send_bw, 25);
    QCOMPARE(m_delegate.added.size(), size_t(1));

    // Opened again for that preset, the form shows it in its mode; Escape cancels.
    m_window->openWindowForPreset(presets[0], false);
    QCOMPARE(child<QLineEdit>("presetName")->text(), QStringLiteral("Office"));
    QVERIFY(child<QRadioButton>("durationButton")->isChecked());
    QCOMPARE(child<QLineEdit>("numberOfBytesField")->text(), QString());
    QCOMPARE(child<QLineEdit>("sendBandwidthField")->text(), QStringLiteral("25"));
    QTest::keyClick(child<QLineEdit>("presetName"), Qt::Key_Escape);
    QTRY_VERIFY(!m_window->isVisible());
    QCOMPARE(m_delegate.added.size(), size_t(1));
}

void FNWPresetEditorGuiTest::additionalSettingsResizeAndUDPDisablesTheTCPControls()
{
    m_window->openWindowForPreset(nullptr, false);
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto* toggle = child<QPushButton>("additionalSettingsButton");
    auto* area = child<QGroupBox>("additionalSettingsArea");
    QCOMPARE(m_window->size(), QSize(444, 250));
    QCOMPARE(toggle->text(), QStringLiteral("+ Additional Settings"));
    QVERIFY(!area->isVisible());

    QTest::mouseClick(toggle, Qt::LeftButton);
    QTRY_COMPARE(m_window->size(), QSize(444, 575));
    QCOMPARE(toggle->text(), QStringLiteral("- Additional Settings"));
    QVERIFY(area->isVisible());
    QVERIFY(child<QLineEdit>("tcpWindowSizeField")->isEnabled());

    QTest::mouseClick(child<QToolButton>("udpButton"), Qt::LeftButton);
    QVERIFY(!child<QLineEdit>("tcpWindowSizeField")->isEnabled());
    QVERIFY(!child<QLineEdit>("tcpMaxSegmentSizeField")->isEnabled());
    QVERIFY(!child<QWidget>("noTcpDelayCheckBox")->isEnabled());
    QVERIFY(child<QLineEdit>("bufferLengthField")->isEnabled());
    QCOMPARE(child<QLineEdit>("bufferLengthField")->text(), QStringLiteral("8"));

    QTest::mouseClick(toggle, Qt::LeftButton);
    QTRY_COMPARE(m_window->size(), QSize(444, 250));
    QVERIFY(!area->isVisible());
}

void FNWPresetEditorGuiTest::queueModeHandsBackTheEditedPresetOnEnter()
{
    auto queued = std::make_shared<FNWPresetBean>();
    queued->ID = 12;
    queued->originalID = 3;
    queued->name = QStringLiteral("Queued");
    queued->test_type = 1;
    queued->number_of_byte = -1;
    m_window->openWindowForPreset(queued, true);
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(!child<QLineEdit>("tcpWindowSizeField")->isEnabled());
    QVERIFY(child<QToolButton>("udpButton")->isChecked());
    retype("intervalField", QStringLiteral("5"));
    QTest::keyClick(child<QLineEdit>("intervalField"), Qt::Key_Return);

    // Which copy goes back and what is stored are the controller's own test; here Enter saves.
    QTRY_VERIFY(!m_window->isVisible());
    QCOMPARE(m_delegate.fromQueue.size(), size_t(1));
    QCOMPARE(m_delegate.fromQueue[0]->time_interval, 5);
}

void FNWPresetEditorGuiTest::escapeOnTheResetQuestionKeepsTheFormAndGivesTheFieldBack()
{
    auto stored = std::make_shared<FNWPresetBean>();
    stored->name = QStringLiteral("Stored");
    stored->time_interval = 3;
    QVERIFY(FNWPresetDAO().save(*stored));
    m_window->openWindowForPreset(stored, false);
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    auto* interval = child<QLineEdit>("intervalField");
    interval->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), interval);

    // The real question this time, answered with Escape once it is up.
    FNWAlert::setTestResponder({});
    QString asked;
    QTimer::singleShot(0, this, [&asked] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        asked = box ? box->text() : QString();
        QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape);
    });
    QMetaObject::invokeMethod(child<QPushButton>("resetButton"), "click", Qt::DirectConnection);

    QCOMPARE(asked, QStringLiteral("Reset Preset"));
    QCOMPARE(interval->text(), QStringLiteral("3"));
    QTRY_COMPARE(QApplication::activeWindow(), m_window.get());
    QTRY_COMPARE(QApplication::focusWidget(), interval);
}

int main(int argc, char** argv)
{
    // Settings, the database and logs go to a home of this run's own.
    const auto home = fnw::test::usePrivateHome();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    FNWPresetEditorGuiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FNWPresetEditorGuiTest.moc"
