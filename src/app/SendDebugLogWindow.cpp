#include "app/SendDebugLogWindow.h"

#include "app/SendDebugLogWindowController.h"
#include "ui/FNWBusyIndicator.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SendDebugLogWindow::SendDebugLogWindow(SendDebugLogWindowController* controller, QWidget* parent)
    : QWidget(parent, Qt::Dialog)
    , m_controller(controller)
    , m_wrapperView(new QWidget(this))
    , m_emailInputField(new QLineEdit(m_wrapperView))
    , m_sendButton(new QPushButton(QStringLiteral("Send"), m_wrapperView))
    , m_statusTextField(new QLabel(this))
    , m_messageField(new QLabel(this))
    , m_okButton(new QPushButton(QStringLiteral("OK"), this))
    , m_progressIndicator(new FNWBusyIndicator(this))
{
    setWindowTitle(QStringLiteral("Send Debug Log"));
    auto* intro = new QLabel(QStringLiteral("Fenwave sends its newest log files to support. Your e-mail address "
                                            "(optional) lets support answer you."),
                             m_wrapperView);
    intro->setWordWrap(true);
    m_emailInputField->setPlaceholderText(QStringLiteral("name@example.com"));
    m_emailInputField->setMinimumWidth(260);
    m_sendButton->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addWidget(m_emailInputField, 1);
    row->addWidget(m_progressIndicator);
    row->addWidget(m_sendButton);
    auto* input = new QVBoxLayout(m_wrapperView);
    input->setContentsMargins(0, 0, 0, 0);
    input->addWidget(intro);
    input->addLayout(row);

    m_statusTextField->setWordWrap(true);
    m_messageField->setWordWrap(true);
    m_messageField->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* done = new QHBoxLayout;
    done->addStretch(1);
    done->addWidget(m_okButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_wrapperView);
    layout->addWidget(m_messageField);
    layout->addWidget(m_statusTextField);
    layout->addLayout(done);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    setMaximumWidth(520);

    m_messageTimer.setSingleShot(true);
    m_messageTimer.setInterval(SendDebugLogWindowController::kFailureShownMs);
    connect(&m_messageTimer, &QTimer::timeout, this, &SendDebugLogWindow::update);
    connect(m_sendButton, &QPushButton::clicked, this,
            [this] { m_controller->sendDebugLog(m_emailInputField->text().trimmed()); });
    connect(m_emailInputField, &QLineEdit::returnPressed, m_sendButton, &QPushButton::click);
    connect(m_okButton, &QPushButton::clicked, m_controller, &SendDebugLogWindowController::closeWindow);
    connect(m_controller, &SendDebugLogWindowController::closeRequested, this, &QWidget::hide);
    connect(m_controller, &SendDebugLogWindowController::stateChanged, this, &SendDebugLogWindow::update);
    connect(m_controller, &SendDebugLogWindowController::failureShown, this, &SendDebugLogWindow::showMessage);
    update();
}

SendDebugLogWindow::~SendDebugLogWindow() = default;

void SendDebugLogWindow::showWindow()
{
    m_messageTimer.stop();
    m_controller->showWindow();
    show();
    raise();
    activateWindow();
    m_emailInputField->setFocus();
}

void SendDebugLogWindow::showMessage(const QString& message)
{
    m_messageField->setText(message);
    m_messageTimer.start();
    update();
}

void SendDebugLogWindow::update()
{
    using State = SendDebugLogWindowController::State;
    const State state = m_controller->state();
    const QString problem = m_controller->configurationProblem();
    m_wrapperView->setVisible(state != State::Sent);
    m_emailInputField->setEnabled(state == State::Input && problem.isEmpty());
    m_sendButton->setEnabled(state == State::Input && problem.isEmpty());
    if (state == State::Sending)
        m_progressIndicator->startAnimation();
    else
        m_progressIndicator->stopAnimation();
    m_progressIndicator->setVisible(state == State::Sending);
    m_statusTextField->setText(state == State::Sent ? m_controller->statusText() : problem);
    m_statusTextField->setVisible(state == State::Sent || !problem.isEmpty());
    m_okButton->setVisible(state == State::Sent || !problem.isEmpty());
    const bool messageShown = m_messageTimer.isActive() && state == State::Input;
    m_messageField->setVisible(messageShown);
    m_messageField->setStyleSheet(QStringLiteral("color: #c0392b;"));
}
