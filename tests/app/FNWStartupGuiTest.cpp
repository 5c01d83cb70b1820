#include "app/FNWApplication.h"
#include "app/FNWMainWindow.h"
#include "base/FNWAlerts.h"
#include "base/FNWUtils.h"

#include "db/TestExecutionDAO.h"
#include "db/TestProfileExecutionDAO.h"
#include "engine/TestManager.h"
#include "model/TestBean.h"
#include "model/TestQueueBean.h"

#include "FNWEngineTestSupport.h"
#include "FNWLocalServers.h"
#include "FNWTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdlib>

class FNWStartupGuiTest final : public QObject
{
    Q_OBJECT

private slots:
    void closingTheMainWindowQuitsAfterCleaningUp();
    void quittingMidRunStopsTheRunAndKeepsNothingRunning();
    void theExecutableStartsOnAFreshHomeAndQuitsCleanly();
    void theExecutableExplainsWhatToDoWithoutADisplay();

private:
    static QString executable() { return QCoreApplication::applicationDirPath() + QLatin1String("/fenwave"); }
    static QProcessEnvironment environmentWithHome(const QString& home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), home);
        return env;
    }
};

void FNWStartupGuiTest::closingTheMainWindowQuitsAfterCleaningUp()
{
    // Without a prepared database among the resources nothing can be stored: one alert says so.
    QTemporaryDir resources;
    FNWUtils::setResourcesDirectory(resources.path());
    QStringList alerts;
    FNWAlerts::setTestResponder([&alerts](const FNWAlertRequest& request) {
        alerts.append(request.informativeText);
        return 0;
    });
    auto* qapp = qobject_cast<QApplication*>(QCoreApplication::instance());
    FNWApplication application(*qapp);
    application.launch();
    FNWMainWindow* window = application.mainWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    // The icon is drawn even where no icon theme has it.
    QVERIFY(!window->windowIcon().pixmap(QSize(32, 32)).isNull());
    QCOMPARE(FNWUtils::getUserSettingForKey(QStringLiteral("StartStopButtonVisibility")).toBool(), false);
    QCOMPARE(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 50);

    const QString leftover = FNWUtils::temporaryDirectory() + QLatin1String("export.csv");
    QFile file(leftover);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QTimer::singleShot(0, window, [window] { window->close(); });
    QCOMPARE(application.exec(), 0);
    QVERIFY(!QFileInfo::exists(leftover));
    QCOMPARE(alerts.size(), 1);
    QVERIFY2(alerts[0].contains(QLatin1String("/fnwe.db: ")), qPrintable(alerts[0]));
    FNWAlerts::setTestResponder({});
    FNWUtils::setResourcesDirectory(QString());
}

void FNWStartupGuiTest::quittingMidRunStopsTheRunAndKeepsNothingRunning()
{
    using namespace fnw::test;
    auto* qapp = qobject_cast<QApplication*>(QCoreApplication::instance());
    FNWApplication application(*qapp);
    application.launch();
    application.delegate().waitForExecutableInstall();
    const int port = freePort();
    ServerProcess server(QStringLiteral("iperf3"), loopbackIperf3Arguments(port));
    QVERIFY(waitUntilListening(port, Transport::Tcp));
    auto profile = std::make_shared<TestQueueBean>();
    profile->testList = {makeTest(timedPreset(30), QStringLiteral("127.0.0.1"), port)};
    QVERIFY(profile->save());
    const std::shared_ptr<TestManager> manager = TestManager::sharedTestManager();
    manager->setWiFiDetailsReader([] { return fnw::engine::FNWWiFiDetails{}; });
    manager->startProfileExecutionWithTestProfile(profile);
    QVERIFY(waitUntil([&] {
        return !manager->perfTestThoseAreRunning().empty() &&
               !manager->perfTestThoseAreRunning().front()->intervalResults().empty();
    }));

    // Closing the window mid-run asks first: "No" keeps both; "Yes" quits, and the run goes as a
    // stop would take it.
    QStringList asked;
    int answer = 0;
    FNWAlerts::setTestResponder([&](const FNWAlertRequest& request) {
        asked.append(request.message);
        return answer;
    });
    FNWMainWindow* window = application.mainWindow();
    QVERIFY(!window->close());
    QVERIFY(window->isVisible());
    QVERIFY(!manager->isFreeToUse());
    answer = 1;
    QTimer::singleShot(0, window, [window] { window->close(); });
    QCOMPARE(application.exec(), 0);
    FNWAlerts::setTestResponder({});
    QCOMPARE(asked, QStringList(2, QStringLiteral("Quit while tests are running?")));
    QVERIFY(manager->isFreeToUse());
    QVERIFY(TestExecutionDAO().getAllRecords().empty());
    QVERIFY(TestProfileExecutionDAO().getAllExecutedTestProfileRecords().empty());
    QVERIFY(waitUntilGone({QStringLiteral("iperf3"), QStringLiteral("-c"), QString::number(port)}));
}

void FNWStartupGuiTest::theExecutableStartsOnAFreshHomeAndQuitsCleanly()
{
    QTemporaryDir home;
    QProcess process;
    QProcessEnvironment env = environmentWithHome(home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(executable(), {});
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));

    const QString support = home.path() + QLatin1String("/.local/share/FenwaveEnterprise");
    auto logFiles = [&] { return QDir(support).entryList({QStringLiteral("log-*.txt")}, QDir::Files); };
    auto logText = [&] {
        const QStringList files = logFiles();
        if (files.isEmpty())
            return QString();
        QFile log(support + QLatin1Char('/') + files.front());
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    };
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(QLatin1String("OS Version ")), 20000);
    // Installing the executables runs in the background; wait until both are in place.
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(QLatin1String("iPerf2 executable")), 20000);

    process.terminate();
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    // The banner's lines are the delegate's own test; here the one log file and the stored settings.
    QCOMPARE(logFiles().size(), 1);
    QVERIFY(QFileInfo::exists(home.path() + QLatin1String("/.config/Fenwave/Fenwave.conf")));

    // The real wrappers were installed and run from the support folder.
    QVERIFY(!logText().contains(QLatin1String("can't copy")));
    for (const QString& wrapper : {QStringLiteral("native-iperf"), QStringLiteral("native-iPerf-2")}) {
        QProcess installed;
        installed.start(support + QLatin1Char('/') + wrapper, {QStringLiteral("./iperf3"), QStringLiteral("-c"),
                                                               QStringLiteral("127.0.0.1"), QStringLiteral("-tabc")});
        QVERIFY(installed.waitForFinished(10000));
        QCOMPARE(installed.exitCode(), 2);
        QVERIFY(installed.readAllStandardError().startsWith("error: invalid value 'abc' for -t"));
    }
}

void FNWStartupGuiTest::theExecutableExplainsWhatToDoWithoutADisplay()
{
    QTemporaryDir home;
    QProcess process;
    QProcessEnvironment env = environmentWithHome(home.path());
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(env);
    process.start(executable(), {});
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(QLatin1String("no display")), qPrintable(error));
    QVERIFY2(error.contains(QLatin1String("xvfb-run")), qPrintable(error));
}

int main(int argc, char** argv)
{
    // The in-process start-up writes settings and logs: keep them in a home of our own.
    const auto home = fnw::test::usePrivateHome();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    FNWStartupGuiTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FNWStartupGuiTest.moc"
