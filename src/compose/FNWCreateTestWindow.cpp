#include "compose/FNWCreateTestWindow.h"

#include "compose/FNWCreateTestController.h"
#include "ui/FNWArtwork.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

FNWCreateTestWindow::FNWCreateTestWindow(QWidget* parent)
    : QDialog(parent, Qt::Window)
    , m_controller(new FNWCreateTestController(this))
    , m_name(new QLineEdit(this))
    , m_save(new QPushButton(tr("Save"), this))
    , m_cancel(new QPushButton(tr("Cancel"), this))
    , m_contentLayout(new QVBoxLayout)
{
    setObjectName(QStringLiteral("createTestWindow"));
    setWindowTitle(tr("New Test Profile"));
    setModal(false);
    resize(1000, 600);
    m_name->setObjectName(QStringLiteral("newTestProfileName"));
    m_name->setPlaceholderText(tr("Test profile name"));
    m_name->setAccessibleName(tr("Test profile name"));
    m_name->setMaxLength(128);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setAutoDefault(false);
    m_save->setAutoDefault(false);
    m_save->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Name:"), this));
    top->addWidget(m_name, 1);
    top->addWidget(m_cancel);
    top->addWidget(m_save);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(m_contentLayout, 1);

    connect(m_save, &QPushButton::clicked, this, [this] { m_controller->saveButtonDidClicked(m_name->text()); });
    connect(m_cancel, &QPushButton::clicked, this, &FNWCreateTestWindow::reject);
    connect(m_controller, &FNWCreateTestController::transientErrorRequested, this,
            &FNWCreateTestWindow::showTransientError);
    connect(m_controller, &FNWCreateTestController::closeRequested, this, &FNWCreateTestWindow::closeWindow);
}

FNWCreateTestWindow::~FNWCreateTestWindow() = default;

void FNWCreateTestWindow::openWithContent(QWidget* content, QueueListView* queue)
{
    m_controller->setDelegate(queue);
    if (content && content != m_content) {
        m_content = content;
        m_contentLayout->addWidget(content);
        content->show();
    }
    m_name->clear();
    show();
    raise();
    activateWindow();
    m_name->setFocus();
}

void FNWCreateTestWindow::reject()
{
    m_controller->cancelButtonDidClicked();
}

void FNWCreateTestWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    reject();
}

void FNWCreateTestWindow::closeWindow()
{
    hide();
    if (m_transientError)
        m_transientError->close();
    QWidget* content = m_content;
    m_content = nullptr;
    m_controller->setDelegate(nullptr);
    if (content) {
        m_contentLayout->removeWidget(content);
        content->setParent(nullptr);
        emit contentReleased(content);
    }
}

void FNWCreateTestWindow::showTransientError(const QString& message)
{
    if (m_transientError)
        m_transientError->close();
    auto* popup = new QFrame(this, Qt::ToolTip | Qt::FramelessWindowHint);
    popup->setObjectName(QStringLiteral("transientErrorWindow"));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QHBoxLayout(popup);
    auto* image = new QLabel(popup);
    image->setPixmap(FNWArtwork::icon(QStringLiteral("test-failed")).pixmap(24, 24));
    auto* text = new QLabel(message, popup);
    text->setObjectName(QStringLiteral("transientErrorText"));
    layout->addWidget(image);
    layout->addWidget(text);
    popup->adjustSize();
    const QPoint below = m_name->mapToGlobal(QPoint(0, m_name->height() + 4));
    popup->move(below);
    popup->show();
    m_transientError = popup;
    QTimer::singleShot(FNWCreateTestController::kTransientErrorMs, popup, &QWidget::close);
}
