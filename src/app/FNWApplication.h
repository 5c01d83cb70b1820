#pragma once

#include "app/FNWAppDelegate.h"

#include <QObject>

#include <memory>

class QApplication;
class FNWMainWindow;
class FNWSignalWatcher;

// The desktop application around one QApplication: start-up, the main window, quitting when
// the last window closes or on SIGTERM/SIGINT, and the clean-up before exit.
class FNWApplication final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWApplication)

public:
    explicit FNWApplication(QApplication& app);
    ~FNWApplication() override;

    // Runs the start-up sequence and shows the main window.
    void launch();
    // Runs the event loop, then the termination steps (a run still going is stopped as the stop
    // control does); returns the exit status.
    int exec();

    FNWAppDelegate& delegate() { return m_delegate; }
    FNWMainWindow* mainWindow() const { return m_window.get(); }

    // True when a window can be opened: a display, or a platform chosen explicitly.
    static bool haveDisplay();

private:
    void stopRunningTests();
    void watchTerminationSignals();
    void quitAfterCleanUp();

    QApplication& m_app;
    FNWAppDelegate m_delegate;
    std::unique_ptr<FNWMainWindow> m_window;
    std::unique_ptr<FNWSignalWatcher> m_signalWatcher;
};
