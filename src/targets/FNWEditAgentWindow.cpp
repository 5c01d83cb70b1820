#include "targets/FNWEditAgentWindow.h"

#include "ui/FNWPalette.h"

#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

FNWEditAgentWindow::FNWEditAgentWindow(QWidget* parent)
    : QDialog(parent)
    , m_controller(new FNWEditAgentWindowController(this))
    , m_ipAddress(new QLineEdit(this))
    , m_port(new QLineEdit(this))
    , m_name(new QLineEdit(this))
    , m_error(new QLabel(this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
    , m_update(new QPushButton(QStringLiteral("Update"), this))
{
    setWindowTitle(QStringLiteral("Edit Target Server"));
    setModal(false);
    setSizeGripEnabled(false);

    m_ipAddress->setObjectName(QString::fromLatin1(FNWEditAgentWindowController::kIPAddressField));
    m_port->setObjectName(QString::fromLatin1(FNWEditAgentWindowController::kPortField));
    m_name->setObjectName(QStringLiteral("name"));
    m_ipAddress->setPlaceholderText(QStringLiteral("192.168.1.10"));
    m_port->setPlaceholderText(QStringLiteral("5201"));
    m_port->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_port));
    m_ipAddress->setMinimumWidth(220);

    m_error->setObjectName(QStringLiteral("errorTextField"));
    m_error->setWordWrap(true);
    m_error->setMinimumHeight(m_error->fontMetrics().lineSpacing());
    updateErrorColour();

    // Clicking a button leaves the field being edited as it is; Tab still reaches the buttons.
    m_cancel->setFocusPolicy(Qt::TabFocus);
    m_update->setFocusPolicy(Qt::TabFocus);
    m_cancel->setAutoDefault(false);
    m_update->setAutoDefault(false); // stays the default after it had the focus
    m_update->setDefault(true);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("IP Address:"), m_ipAddress);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("Name:"), m_name);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_update);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 14);
    layout->setSpacing(8);
    layout->addLayout(form);
    layout->addWidget(m_error);
    layout->addLayout(buttons);
    // Not resizable.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_ipAddress, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_ipAddressEdited = true;
        m_controller->setAgentIP(text);
    });
    connect(m_port, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_portEdited = true;
        m_controller->setAgentPortText(text);
    });
    connect(m_name, &QLineEdit::textEdited, m_controller, &FNWEditAgentWindowController::setAgentName);
    m_ipAddress->installEventFilter(this);
    m_port->installEventFilter(this);
    connect(m_ipAddress, &QLineEdit::returnPressed, this,
            [this] { fieldDidEndEditing(m_ipAddress, &m_ipAddressEdited, &m_ipAddressRefused); });
    connect(m_port, &QLineEdit::returnPressed, this,
            [this] { fieldDidEndEditing(m_port, &m_portEdited, &m_portRefused); });

    connect(m_controller, &FNWEditAgentWindowController::formValuesChanged, this, &FNWEditAgentWindow::showFormValues);
    connect(m_controller, &FNWEditAgentWindowController::errorTextChanged, m_error, &QLabel::setText);
    connect(m_controller, &FNWEditAgentWindowController::closeWindowRequested, this, &FNWEditAgentWindow::closeWindow);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_controller->cancelButtonDidClicked(); });
    connect(m_update, &QPushButton::clicked, this, [this] { m_controller->updateAgentButtonDidClicked(); });
}

FNWEditAgentWindow::~FNWEditAgentWindow() = default;

void FNWEditAgentWindow::setDelegate(EditAgentWindowDelegate* delegate)
{
    m_controller->setDelegate(delegate);
}

void FNWEditAgentWindow::openWindowForAgent(std::shared_ptr<FNWAgentBean> agent)
{
    m_controller->setAgentBean(std::move(agent));
    m_ipAddressEdited = false;
    m_portEdited = false;
    m_ipAddressRefused = false;
    m_portRefused = false;
    if (!isVisible())
        show();
    raise();
    activateWindow();
}

void FNWEditAgentWindow::reject()
{
    m_controller->cancelButtonDidClicked();
}

void FNWEditAgentWindow::showFormValues()
{
    m_ipAddress->setText(m_controller->agentIP());
    m_port->setText(QString::number(m_controller->agentPort()));
    m_name->setText(m_controller->agentName());
}

bool FNWEditAgentWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == m_ipAddress)
            fieldDidEndEditing(m_ipAddress, &m_ipAddressEdited, &m_ipAddressRefused);
        else if (watched == m_port)
            fieldDidEndEditing(m_port, &m_portEdited, &m_portRefused);
    }
    return QDialog::eventFilter(watched, event);
}

void FNWEditAgentWindow::fieldDidEndEditing(QLineEdit* field, bool* edited, bool* refused)
{
    // A field is checked when it was edited and on every exit while its value stays refused. A field
    // that loses the focus because it is put back into a refused one is not, so two refused fields
    // never pull the focus back and forth.
    if ((!*edited && !*refused) || m_refocusing || m_closing || !isVisible())
        return;
    *edited = false;
    *refused = m_controller->controlTextDidEndEditing(field->objectName());
    if (!*refused)
        return;
    // Not from within the focus change that ended the editing.
    m_refocusing = true;
    QTimer::singleShot(0, field, [this, field] {
        if (!m_closing && isVisible()) {
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
        }
        m_refocusing = false;
    });
}

void FNWEditAgentWindow::closeWindow()
{
    m_closing = true;
    hide();
}

void FNWEditAgentWindow::showEvent(QShowEvent* event)
{
    m_closing = false;
    QDialog::showEvent(event);
    m_ipAddress->setFocus(Qt::OtherFocusReason);
}

void FNWEditAgentWindow::updateErrorColour()
{
    QPalette colors = m_error->palette();
    colors.setColor(QPalette::WindowText, FNWPalette::warningColor(palette()));
    m_error->setPalette(colors);
}

void FNWEditAgentWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The red depends on whether the window is light or dark.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        updateErrorColour();
}
