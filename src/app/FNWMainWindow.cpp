#include "app/FNWMainWindow.h"

#include <QLabel>

FNWMainWindow::FNWMainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Fenwave"));
    setObjectName(QStringLiteral("FNWMainWindow"));
    resize(1100, 700);
    setMinimumSize(800, 500);
}

FNWMainWindow::~FNWMainWindow() = default;

void FNWMainWindow::prepareMainWindow()
{
    if (!centralWidget()) {
        auto* placeholder = new QLabel(this);
        placeholder->setAlignment(Qt::AlignCenter);
        setCentralWidget(placeholder);
    }
}
