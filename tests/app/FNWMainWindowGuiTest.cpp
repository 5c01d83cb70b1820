#include "app/FNWMainWindow.h"
#include "app/FNWPreferencesWindow.h"
#include "app/SendDebugLogWindow.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "base/FNWSettingsKeys.h"
#include "base/FNWUtils.h"
#include "ui/FNWAlert.h"
#include "ui/FNWBusyIndicator.h"
#include "ui/FNWPalette.h"
#include "ui/FNWSavePanel.h"
#include "ui/FNWSlideStackedWidget.h"
#include "ui/FNWStartStopButton.h"
#include "ui/FNWWidgetInteraction.h"

#include "FNWTestSupport.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

QString key(const char* text)
{
    return QString::fromLatin1(text);
}

class FakeHomePage final : public QWidget, public FNWHomePage
{
public:
    bool startStopButtonDidClicked() override
    {
        ++starts;
        return true;
    }
    int starts = 0;
};

class FakeRunControl final : public FNWTestRunControl
{
public:
    bool isFreeToUse() const override { return true; }
    void stopProfileExecution() override { ++stops; }
    int stops = 0;
};

// Answers the next modal dialog of type T once it is up, from inside its event loop.
template <typename T> void answerNextDialog(std::function<void(T*)> answer)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start();
}

} // namespace

// Takes the URLs the desktop would open.
class UrlRecorder final : public QObject
{
    Q_OBJECT

public slots:
    void open(const QUrl& url) { urls.append(url); }

public:
    QList<QUrl> urls;
};

class FNWMainWindowGuiTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void toolbarClicksSlideToTheirPageAndCheckTheirButton();
    void theStartControlAlertsOnAPlaceholderAndShowsTheStopLookWhileARunGoes();
    void warningsShowInTheirColourAndClear();
    void preferencesWriteTheVersionAndRememberTheirPlace();
    void menuCommandsReachTheWindows();
    void alertsAskWithTheirButtonsAndAnswerOnlyYesAsConfirmation();
    void savePanelProposesTheNameAndLogsTheChoice();

private:
    std::unique_ptr<FNWMainWindow> m_window;
};

void FNWMainWindowGuiTest::init()
{
    QSettings(QStringLiteral("Fenwave"), QStringLiteral("Fenwave")).clear();
    m_window = std::make_unique<FNWMainWindow>();
    m_window->prepareMainWindow();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void FNWMainWindowGuiTest::cleanup()
{
    m_window.reset();
    FNWAlert::setTestResponder({});
    FNWSavePanel::setSavePanelHandlerForTesting({});
}

void FNWMainWindowGuiTest::toolbarClicksSlideToTheirPageAndCheckTheirButton()
{
    FNWMainWindow& window = *m_window;
    FNWSlideStackedWidget* stack = window.pageStack();
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(window.navigationButton(0)->isChecked());
    const QRect area = stack->currentWidget()->geometry();

    QTest::mouseClick(window.navigationButton(1), Qt::LeftButton);
    QCOMPARE(window.coordinator()->visibleView(), 1);
    QVERIFY(stack->isAnimating());
    // A higher tab comes in from the right while the old page is still on its way out.
    QVERIFY(window.pageWidget(1)->x() > 0);
    QVERIFY(window.pageWidget(0)->isVisible());
    QTRY_VERIFY(!stack->isAnimating());
    QCOMPARE(stack->currentWidget(), window.pageWidget(1));
    QCOMPARE(window.pageWidget(1)->geometry(), area);
    QVERIFY(!window.pageWidget(0)->isVisible());
    QVERIFY(window.navigationButton(1)->isChecked());
    QVERIFY(!window.navigationButton(0)->isChecked());

    // A lower tab comes in from the left.
    QTest::mouseClick(window.navigationButton(0), Qt::LeftButton);
    QVERIFY(window.pageWidget(0)->x() < 0);
    QTRY_VERIFY(!stack->isAnimating());
    QCOMPARE(stack->currentWidget(), window.pageWidget(0));
    QVERIFY(window.navigationButton(0)->isChecked());

    // A second click during a slide ends on the last page with nothing else left on screen.
    QTest::mouseClick(window.navigationButton(1), Qt::LeftButton);
    QTest::mouseClick(window.navigationButton(2), Qt::LeftButton);
    QCOMPARE(stack->currentIndex(), 2);
    QTRY_VERIFY(!stack->isAnimating());
    for (int tab = 0; tab < 3; ++tab)
        QCOMPARE(window.pageWidget(tab)->isVisible(), tab == 2);
    QCOMPARE(window.pageWidget(2)->geometry(), area);
    QVERIFY(window.navigationButton(2)->isChecked());
}

void FNWMainWindowGuiTest::theStartControlAlertsOnAPlaceholderAndShowsTheStopLookWhileARunGoes()
{
    FNWMainWindow& window = *m_window;
    FNWStartStopButton* button = window.startStopButton();
    FNWBusyIndicator* indicator = window.busyIndicator();
    // Hidden until the setting offers it.
    QVERIFY(!button->isVisible());
    FNWUtils::setUserSetting(true, key(kStartStopButtonVisibilityKey));
    QTRY_VERIFY(button->isVisible());

    // On the placeholder page a start alerts and keeps the start look.
    QList<FNWAlertRequest> alerts;
    FNWAlert::setTestResponder([&](const FNWAlertRequest& request) {
        alerts.append(request);
        return 0;
    });
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(alerts[0].buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(button->imageName(), QStringLiteral("start"));
    QCOMPARE(button->toolTip(), QStringLiteral("Start"));
    QVERIFY(!indicator->isVisible());

    QPointer<QWidget> placeholder = window.pageWidget(0);
    auto* home = new FakeHomePage;
    FakeRunControl run;
    window.setHomePage(home, home);
    window.setTestRunControl(&run);
    QCOMPARE(window.pageStack()->currentWidget(), home);
    QTRY_VERIFY(placeholder.isNull());

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(home->starts, 1);
    QCOMPARE(button->tag(), 1);
    QCOMPARE(button->imageName(), QStringLiteral("stop"));
    QCOMPARE(button->accessibleName(), QStringLiteral("Stop"));
    QVERIFY(indicator->isVisible());
    const int step = indicator->step();
    QTRY_VERIFY(indicator->step() != step);

    // Held down it shows its pressed look; let go outside it, it does nothing.
    const QImage up = button->grab().toImage();
    QTest::mousePress(button, Qt::LeftButton);
    QVERIFY(button->isDown());
    QVERIFY(button->grab().toImage() != up);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-10, -10));
    QCOMPARE(run.stops, 0);

    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(run.stops, 1);
    QCOMPARE(button->tag(), 0);
    QCOMPARE(button->imageName(), QStringLiteral("start"));
    QVERIFY(button->isVisible());
    QVERIFY(!indicator->isAnimating());
    QVERIFY(!indicator->isVisible());

    FNWUtils::setUserSetting(false, key(kStartStopButtonVisibilityKey));
    QTRY_VERIFY(!button->isVisible());
}

void FNWMainWindowGuiTest::warningsShowInTheirColourAndClear()
{
    FNWMainWindow& window = *m_window;
    window.coordinator()->setWarningClearInterval(300);
    QLabel* label = window.warningLabel();
    const int height = label->height();
    const QRect pages = window.pageStack()->geometry();
    auto post = [](const QVariantMap& userInfo) {
        FNWNotificationCenter::defaultCenter().postNotificationName(key(ShowWarningOnMainWindowNotification), nullptr,
                                                                    userInfo);
    };
    auto shownColor = [label] { return label->palette().color(QPalette::WindowText); };

    post({{key(kErrorKey), QStringLiteral("The agent does not answer")}});
    QTRY_COMPARE(label->text(), QStringLiteral("The agent does not answer"));
    QCOMPARE(shownColor(), FNWPalette::warningColor(window.palette()));

    post({{key(kErrorKey), QStringLiteral("Saved")}, {key(kTextColorKey), QColor(Qt::green)}});
    QTRY_COMPARE(label->text(), QStringLiteral("Saved"));
    QCOMPARE(shownColor(), QColor(Qt::green));

    post({{key(kErrorKey), QStringLiteral("Named")}, {key(kTextColorKey), QStringLiteral("blue")}});
    QTRY_COMPARE(label->text(), QStringLiteral("Named"));
    QCOMPARE(shownColor(), QColor(Qt::blue));

    QTRY_COMPARE(label->text(), QString());
    // Coming and going, the warning line never moves the pages.
    QCOMPARE(label->height(), height);
    QCOMPARE(window.pageStack()->geometry(), pages);
}

void FNWMainWindowGuiTest::preferencesWriteTheVersionAndRememberTheirPlace()
{
    int closes = 0;
    FNWObserverToken token = FNWNotificationCenter::defaultCenter().addObserver(
        key(MASPreferencesWindowControllerDidCloseNotification), [&](const FNWNotification&) { ++closes; });

    QAction* open = m_window->menuAction(QStringLiteral("Preferences…"));
    QVERIFY(open);
    open->trigger();
    FNWPreferencesWindow* preferences = m_window->preferencesWindow();
    QVERIFY(preferences);
    QVERIFY(QTest::qWaitForWindowExposed(preferences));
    QCOMPARE(FNWUtils::getUserSettingForKey(key(kPreferencesSelectedViewKey)).toString(),
             QStringLiteral("GeneralPreferences"));

    FNWGeneralPreferencesPane* pane = preferences->generalPane();
    QVERIFY(pane->iperf3Button()->isChecked());
    QVERIFY(!FNWUtils::getUserSettingForKey(key(kiPerfVersionKey)).isValid());
    // On the round indicator: the button may be wider than what it draws.
    auto clickRadio = [](QRadioButton* radio) {
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(radio->height() / 2, radio->height() / 2));
    };
    clickRadio(pane->iperf2Button());
    QCOMPARE(FNWUtils::getUserSettingForKey(key(kiPerfVersionKey)).toInt(), 1);
    QVERIFY(!pane->iperf3Button()->isChecked());
    clickRadio(pane->iperf3Button());
    QCOMPARE(FNWUtils::getUserSettingForKey(key(kiPerfVersionKey)).toString(), QStringLiteral("0"));

    preferences->move(140, 120);
    QTRY_COMPARE(FNWUtils::getUserSettingForKey(key(kPreferencesFrameTopLeftKey)).toString(),
                 QStringLiteral("{140, 120}"));
    preferences->resize(480, 260);
    QTRY_COMPARE(FNWUtils::getUserSettingForKey(QStringLiteral("MASPreferences GeneralPreferences Frame")).toString(),
                 QStringLiteral("{{140, 120}, {480, 260}}"));

    preferences->close();
    QCOMPARE(closes, 1);
    m_window->openPreferences();
    QCOMPARE(m_window->preferencesWindow(), preferences);
    QVERIFY(preferences->isVisible());
    preferences->close();
    QCOMPARE(closes, 2);

    // A new window comes back where the last one was; an unknown version shows neither choice
    // and stays as it was.
    FNWUtils::setUserSetting(7, key(kiPerfVersionKey));
    FNWPreferencesWindow reopened;
    reopened.show();
    QVERIFY(QTest::qWaitForWindowExposed(&reopened));
    QCOMPARE(reopened.pos(), QPoint(140, 120));
    QCOMPARE(reopened.size(), QSize(480, 260));
    QVERIFY(!reopened.generalPane()->iperf3Button()->isChecked());
    QVERIFY(!reopened.generalPane()->iperf2Button()->isChecked());
    QCOMPARE(FNWUtils::getUserSettingForKey(key(kiPerfVersionKey)).toInt(), 7);
}

void FNWMainWindowGuiTest::menuCommandsReachTheWindows()
{
    FNWMainWindow& window = *m_window;
    // Send Debug Log joins the logs and opens its window; this build has no support mail set up,
    // and the window says so instead of offering to send.
    QAction* debugLog = window.menuAction(QStringLiteral("Send Debug Log…"));
    QVERIFY(debugLog && debugLog->isEnabled());
    debugLog->trigger();
    auto* sendLog = window.findChild<SendDebugLogWindow*>();
    QVERIFY(sendLog);
    QVERIFY(QTest::qWaitForWindowExposed(sendLog));
    QVERIFY(QFileInfo::exists(FNWUtils::applicationSupportDirectory() + QStringLiteral("/fenwave_log.txt")));
    QVERIFY(sendLog->statusTextField()->isVisible());
    QVERIFY(sendLog->statusTextField()->text().startsWith(QStringLiteral("Support mail is not configured")));
    QVERIFY(!sendLog->sendButton()->isEnabled());
    if (const char* pictures = std::getenv("FENWAVE_TEST_PICTURES"))
        sendLog->grab().save(QString::fromLocal8Bit(pictures) + QStringLiteral("/send-debug-log.png"));
    sendLog->okButton()->click();
    QVERIFY(!sendLog->isVisible());
    debugLog->trigger();
    QCOMPARE(window.findChildren<SendDebugLogWindow*>().size(), 1);
    QVERIFY(sendLog->isVisible());
    sendLog->hide();
    // Help opens the guide that ships in the resources, a local page.
    UrlRecorder opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    window.menuAction(QStringLiteral("Fenwave Help"))->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(opened.urls.size(), 1);
    const QString guide = opened.urls[0].toLocalFile();
    QCOMPARE(QFileInfo(guide).fileName(), QStringLiteral("user-guide.html"));
    QFile page(guide);
    QVERIFY(page.open(QIODevice::ReadOnly));
    QVERIFY(page.readAll().contains("<h2>Quick start</h2>"));
    // Without a log file there is nothing to show, and nothing happens.
    window.menuAction(QStringLiteral("Show Log File"))->trigger();

    window.menuAction(QStringLiteral("Minimize"))->trigger();
    QTRY_VERIFY(window.isMinimized());
    window.showNormal();

    window.openPreferences();
    QVERIFY(QTest::qWaitForWindowExposed(window.preferencesWindow()));
    QAction* quit = window.menuAction(QStringLiteral("Quit"));
    QCOMPARE(quit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    quit->trigger();
    QVERIFY(!window.isVisible());
    QVERIFY(!window.preferencesWindow()->isVisible());
}

void FNWMainWindowGuiTest::alertsAskWithTheirButtonsAndAnswerOnlyYesAsConfirmation()
{
    QList<FNWAlertRequest> asked;
    int answer = 0;
    FNWAlert::setTestResponder([&](const FNWAlertRequest& request) {
        asked.append(request);
        return answer;
    });
    QVERIFY(!FNWAlert::showConfirmationAlertWithMessage(QStringLiteral("Delete?"), QStringLiteral("For good.")));
    answer = 1;
    QVERIFY(FNWAlert::showConfirmationAlertWithMessage(QStringLiteral("Delete?"), QStringLiteral("For good.")));
    FNWWidgetInteraction(m_window.get())
        .showOkAlert(QStringLiteral("Not saved"), QStringLiteral("Disk full"), FNWAlertStyle::Critical);
    QCOMPARE(asked.size(), 3);
    QCOMPARE(asked[0].buttons, (QStringList{QStringLiteral("No"), QStringLiteral("Yes")}));
    QCOMPARE(asked[0].informativeText, QStringLiteral("For good."));
    QCOMPARE(asked[2].buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(asked[2].message, QStringLiteral("Not saved"));
    QVERIFY(asked[2].style == FNWAlertStyle::Critical);

    // The real alert: "Yes" confirms, Escape answers "No".
    FNWAlert::setTestResponder({});
    QStringList shownButtons;
    QString shownText;
    answerNextDialog<QMessageBox>([&](QMessageBox* box) {
        shownText = box->text();
        for (QAbstractButton* button : box->buttons())
            shownButtons.append(button->text());
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == QLatin1String("Yes"))
                button->click();
        }
    });
    QVERIFY(FNWAlert::showConfirmationAlertWithMessage(QStringLiteral("Delete?"), QString()));
    QCOMPARE(shownText, QStringLiteral("Delete?"));
    shownButtons.sort();
    QCOMPARE(shownButtons, (QStringList{QStringLiteral("No"), QStringLiteral("Yes")}));
    answerNextDialog<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QVERIFY(!FNWAlert::showConfirmationAlertWithMessage(QStringLiteral("Delete?"), QString()));
}

void FNWMainWindowGuiTest::savePanelProposesTheNameAndLogsTheChoice()
{
    fnw::test::LogCapture log;
    auto logged = [&] { return log.messages(); };
    FNWWidgetInteraction interaction(m_window.get());

    QStringList proposed;
    FNWSavePanel::setSavePanelHandlerForTesting([&](const QString& name) {
        proposed.append(name);
        return proposed.size() == 1 ? QStringLiteral("/data/results.csv") : QString();
    });
    QCOMPARE(interaction.presentSavePanelForPath(QStringLiteral("fnw_results.csv")),
             QStringLiteral("/data/results.csv"));
    QCOMPARE(interaction.presentSavePanelForPath(QStringLiteral("fnw_results.csv")), QString());
    QCOMPARE(proposed, (QStringList{QStringLiteral("fnw_results.csv"), QStringLiteral("fnw_results.csv")}));
    QVERIFY(logged().contains(QStringLiteral("FNWUtils: user selected location is - /data/results.csv")));
    QVERIFY(logged().contains(QStringLiteral("FNWUtils: user cancelled save..")));

    // The real dialog proposes the name in Documents and answers the chosen path.
    FNWSavePanel::setSavePanelHandlerForTesting({});
    const QString documents = QDir::homePath() + QLatin1String("/Documents");
    QVERIFY(QDir().mkpath(documents));
    QString shownFolder;
    QStringList shownFiles;
    answerNextDialog<QFileDialog>([&](QFileDialog* dialog) {
        shownFolder = dialog->directory().absolutePath();
        shownFiles = dialog->selectedFiles();
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
    });
    const QString chosen = FNWSavePanel::presentSavePanelForPath(QStringLiteral("fnw_interval_results.csv"));
    QCOMPARE(shownFolder, documents);
    QCOMPARE(shownFiles, QStringList{documents + QLatin1String("/fnw_interval_results.csv")});
    QCOMPARE(chosen, documents + QLatin1String("/fnw_interval_results.csv"));
    answerNextDialog<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QCOMPARE(FNWSavePanel::presentSavePanelForPath(QStringLiteral("x.csv")), QString());
}

int main(int argc, char** argv)
{
    // Settings and logs go to a home of this run's own.
    const auto home = fnw::test::usePrivateHome();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Whatever this machine's support.conf says, the window is tested unconfigured.
    setenv("FENWAVE_SUPPORT_CONF", (home->path() + QStringLiteral("/no-support.conf")).toUtf8().constData(), 1);
    QApplication app(argc, argv);
    FNWMainWindowGuiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FNWMainWindowGuiTest.moc"
