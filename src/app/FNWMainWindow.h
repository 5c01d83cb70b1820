#pragma once

#include "app/FNWAppDelegate.h"

#include <QMainWindow>

// The application's main window: the home, My Tests and history pages live here.
class FNWMainWindow final : public QMainWindow, public FNWMainWindowHost
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWMainWindow)

public:
    explicit FNWMainWindow(QWidget* parent = nullptr);
    ~FNWMainWindow() override;

    void prepareMainWindow() override;
};
