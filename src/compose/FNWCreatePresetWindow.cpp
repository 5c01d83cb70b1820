#include "compose/FNWCreatePresetWindow.h"

#include "base/FNWValueFormatters.h"
#include "compose/FNWCreatePresetWindowController.h"
#include "model/FNWPresetBean.h"
#include "ui/FNWPalette.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>
#include <functional>

namespace {

// A field's formatter as a validator: a refused edit is undone with the system beep.
class FormatterValidator final : public QValidator
{
public:
    FormatterValidator(std::function<bool(const QString&)> accepts, QObject* parent)
        : QValidator(parent)
        , m_accepts(std::move(accepts))
    {
    }

    State validate(QString& input, int&) const override
    {
        if (m_accepts(input))
            return Acceptable;
        QApplication::beep();
        return Invalid;
    }

private:
    std::function<bool(const QString&)> m_accepts;
};

QString key(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

// A quiet explanation under a control, in the palette's secondary text colour.
QLabel* hint(const QString& text)
{
    auto* label = new QLabel(text);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setWordWrap(true);
    // Wraps to the column's width rather than widening it.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    return label;
}

// A field with its unit after it.
QWidget* withUnit(QWidget* field, const QString& unit)
{
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(field, 1);
    auto* label = new QLabel(unit);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("Mbps")));
    layout->addWidget(label);
    return box;
}

} // namespace

FNWCreatePresetWindow::FNWCreatePresetWindow(QWidget* parent)
    : FNWCreatePresetWindow(nullptr, parent)
{
}

FNWCreatePresetWindow::FNWCreatePresetWindow(FNWCreatePresetWindowController* controller, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_controller(controller ? controller : new FNWCreatePresetWindowController(this))
{
    setObjectName(QStringLiteral("createPresetWindow"));
    setWindowTitle(tr("Preset"));
    setModal(false);
    setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(6);
    layout->addWidget(buildForm());
    m_additionalSettings = buildAdditionalSettings();
    layout->addWidget(m_additionalSettings);
    layout->addStretch();
    m_error = new QLabel;
    m_error->setObjectName(QStringLiteral("errorLabel"));
    m_error->setMinimumHeight(m_error->fontMetrics().height());
    m_error->setWordWrap(false);
    layout->addWidget(m_error);
    layout->addWidget(buildButtons());
    showError(QString());

    connect(m_controller, &FNWCreatePresetWindowController::formShouldReload, this, &FNWCreatePresetWindow::reloadForm);
    connect(m_controller, &FNWCreatePresetWindowController::fieldEnablingChanged, this,
            &FNWCreatePresetWindow::updateEnabling);
    connect(m_controller, &FNWCreatePresetWindowController::presetNameErrorTextChanged, this,
            &FNWCreatePresetWindow::showError);
    connect(m_controller, &FNWCreatePresetWindowController::additionalSettingsChanged, this,
            &FNWCreatePresetWindow::showAdditionalSettings);
    connect(m_controller, &FNWCreatePresetWindowController::windowShouldShow, this,
            &FNWCreatePresetWindow::bringToFront);
    connect(m_controller, &FNWCreatePresetWindowController::windowShouldComeToFront, this,
            &FNWCreatePresetWindow::bringToFront);
    connect(m_controller, &FNWCreatePresetWindowController::windowShouldClose, this, &QWidget::hide);

    showAdditionalSettings();
    reloadForm();
    updateEnabling();
}

FNWCreatePresetWindow::~FNWCreatePresetWindow() = default;

void FNWCreatePresetWindow::setDelegate(FNWCreatePresetWindowDelegate* delegate)
{
    m_controller->setDelegate(delegate);
}

bool FNWCreatePresetWindow::openWindowForPreset(std::shared_ptr<FNWPresetBean> preset, bool fromQueue)
{
    return m_controller->openWindowForPreset(preset, fromQueue);
}

QLineEdit* FNWCreatePresetWindow::numberField(const QString& fieldKey, const QString& objectName)
{
    // What each field takes, shown before anything is typed.
    static const QHash<QString, QString> ranges = {
        {QStringLiteral("duration"), tr("10 to 86400")},
        {QStringLiteral("time_interval"), tr("1 to 60, below the duration")},
        {QStringLiteral("number_of_byte"), tr("1 or more")},
        {QStringLiteral("buffer_length"), tr("up to 1024 (TCP), 8 (UDP)")},
        {QStringLiteral("tcp_window_size"), tr("system default")},
        {QStringLiteral("tcp_max_segment_size"), tr("88 to 32767 bytes")},
    };
    auto* field = new QLineEdit;
    field->setObjectName(objectName);
    if (const auto range = ranges.constFind(fieldKey); range != ranges.cend()) {
        field->setPlaceholderText(*range);
        field->setToolTip(*range);
    }
    field->setValidator(new FormatterValidator(&OnlyNumbersNSNumberFormatter::isPartialStringValid, field));
    field->setAlignment(Qt::AlignRight);
    connect(field, &QLineEdit::textEdited, this,
            [this, fieldKey](const QString& text) { m_controller->setFieldText(fieldKey, text); });
    m_numberFields.insert(fieldKey, field);
    return field;
}

QWidget* FNWCreatePresetWindow::buildForm()
{
    auto* form = new QWidget;
    auto* grid = new QGridLayout(form);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("presetName"));
    m_name->setPlaceholderText(tr("Required"));
    connect(m_name, &QLineEdit::textEdited, m_controller, &FNWCreatePresetWindowController::setName);
    grid->addWidget(new QLabel(tr("Preset Name:")), 0, 0);
    grid->addWidget(m_name, 0, 1, 1, 3);

    // TCP and UDP as one segmented control; each segment's id is its test type.
    auto* segments = new QWidget;
    auto* segmentLayout = new QHBoxLayout(segments);
    segmentLayout->setContentsMargins(0, 0, 0, 0);
    segmentLayout->setSpacing(0);
    m_testTypes = new QButtonGroup(this);
    const char* const typeNames[] = {"TCP", "UDP"};
    for (int type = 0; type < 2; ++type) {
        auto* segment = new QToolButton;
        segment->setObjectName(type == 0 ? QStringLiteral("tcpButton") : QStringLiteral("udpButton"));
        segment->setText(key(typeNames[type]));
        segment->setCheckable(true);
        segment->setToolButtonStyle(Qt::ToolButtonTextOnly);
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_testTypes->addButton(segment, type);
        segmentLayout->addWidget(segment);
    }
    connect(m_testTypes, &QButtonGroup::idClicked, m_controller, &FNWCreatePresetWindowController::testTypeDidChange);
    grid->addWidget(new QLabel(tr("Test Type:")), 1, 0);
    grid->addWidget(segments, 1, 1);

    m_direction = new QComboBox;
    m_direction->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_direction->setMinimumContentsLength(5);
    m_direction->setObjectName(QStringLiteral("directionPopUp"));
    m_direction->addItem(tr("To Agent"), 0);
    m_direction->addItem(tr("From Agent"), 1);
    m_direction->setToolTip(tr("To Agent: this computer sends. From Agent: the agent sends to this computer."));
    connect(m_direction, &QComboBox::activated, this, [this](int index) {
        m_controller->setFieldValue(key("direction"), m_direction->itemData(index).toLongLong());
    });
    grid->addWidget(new QLabel(tr("Direction:")), 1, 2);
    grid->addWidget(m_direction, 1, 3);

    // Each way of running sits on its own row, with the setting that goes along with it.
    m_modes = new QButtonGroup(this);
    auto* duration = new QRadioButton(tr("Duration"));
    duration->setObjectName(QStringLiteral("durationButton"));
    auto* numberOfBytes = new QRadioButton(tr("Number of Bytes"));
    numberOfBytes->setObjectName(QStringLiteral("numberOfBytesButton"));
    m_modes->addButton(duration, FNWCreatePresetWindowController::DurationMode);
    m_modes->addButton(numberOfBytes, FNWCreatePresetWindowController::NumberOfBytesMode);
    connect(m_modes, &QButtonGroup::idClicked, m_controller, &FNWCreatePresetWindowController::changeSelectionOfMatrix);
    grid->addWidget(duration, 2, 0);
    grid->addWidget(withUnit(numberField(key("duration"), QStringLiteral("durationField")), tr("sec")), 2, 1);
    grid->addWidget(new QLabel(tr("Interval:")), 2, 2);
    grid->addWidget(withUnit(numberField(key("time_interval"), QStringLiteral("intervalField")), tr("sec")), 2, 3);

    grid->addWidget(numberOfBytes, 3, 0);
    // The radio buttons' titles stay whole; the fields give way.
    grid->setColumnMinimumWidth(0, numberOfBytes->sizeHint().width());
    grid->addWidget(withUnit(numberField(key("number_of_byte"), QStringLiteral("numberOfBytesField")), tr("MB")), 3, 1);
    m_sendBandwidth = new QLineEdit;
    m_sendBandwidth->setObjectName(QStringLiteral("sendBandwidthField"));
    m_sendBandwidth->setAlignment(Qt::AlignRight);
    // Empty means iperf's own default, shown in grey before the unit: 1 Mbps.
    m_sendBandwidth->setPlaceholderText(tr("1"));
    m_sendBandwidth->setToolTip(tr("Empty: iperf's default of 1 Mbit/s for UDP"));
    m_sendBandwidth->setValidator(
        new FormatterValidator(&OnlyIntegerValueFormatter::isPartialStringValid, m_sendBandwidth));
    connect(m_sendBandwidth, &QLineEdit::textEdited, m_controller,
            &FNWCreatePresetWindowController::setSendBandwidthText);
    grid->addWidget(new QLabel(tr("Bandwidth:")), 3, 2);
    grid->addWidget(withUnit(m_sendBandwidth, tr("Mbps")), 3, 3);

    m_dataFormat = new QComboBox;
    m_dataFormat->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_dataFormat->setMinimumContentsLength(5);
    m_dataFormat->setObjectName(QStringLiteral("dataFormatPopUp"));
    const char* const formats[] = {"Mbps / MB", "Kbps / KB", "MBps / MB", "KBps / KB"};
    for (int format = 0; format < 4; ++format)
        m_dataFormat->addItem(key(formats[format]), format);
    connect(m_dataFormat, &QComboBox::activated, this, [this](int index) {
        m_controller->setFieldValue(key("data_format"), m_dataFormat->itemData(index).toLongLong());
    });
    grid->addWidget(new QLabel(tr("Data Format:")), 4, 0);
    grid->addWidget(m_dataFormat, 4, 1);

    m_additionalSettingsButton = new QPushButton;
    m_additionalSettingsButton->setObjectName(QStringLiteral("additionalSettingsButton"));
    m_additionalSettingsButton->setFlat(true);
    m_additionalSettingsButton->setAutoDefault(false);
    m_additionalSettingsButton->setCursor(Qt::PointingHandCursor);
    connect(m_additionalSettingsButton, &QPushButton::clicked, m_controller,
            &FNWCreatePresetWindowController::hideAdditionalSettingsButtonDidClicked);
    grid->addWidget(m_additionalSettingsButton, 4, 2, 1, 2, Qt::AlignRight);
    return form;
}

QWidget* FNWCreatePresetWindow::buildAdditionalSettings()
{
    auto* area = new QGroupBox(tr("Additional Settings"));
    area->setObjectName(QStringLiteral("additionalSettingsArea"));
    auto* grid = new QGridLayout(area);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);

    auto addRow = [grid](int row, const QString& label, QWidget* control, const QString& explanation) {
        auto* title = new QLabel(label);
        grid->addWidget(title, row * 2, 0);
        grid->addWidget(control, row * 2, 1);
        QLabel* explained = hint(explanation);
        grid->addWidget(explained, row * 2 + 1, 1);
        return QList<QWidget*>{title, control, explained};
    };
    addRow(0, tr("Buffer Length:"),
           withUnit(numberField(key("buffer_length"), QStringLiteral("bufferLengthField")), tr("KB")),
           tr("Length of each read and write buffer; at most 1024 KB for TCP and 8 KB for UDP."));
    m_tcpOnlyControls =
        addRow(1, tr("TCP Window Size:"),
               withUnit(numberField(key("tcp_window_size"), QStringLiteral("tcpWindowSizeField")), tr("KB")),
               tr("Socket buffer size; empty leaves the system's choice."));
    m_tcpOnlyControls +=
        addRow(2, tr("TCP Max Segment Size:"),
               withUnit(numberField(key("tcp_max_segment_size"), QStringLiteral("tcpMaxSegmentSizeField")), QString()),
               tr("Maximum segment size (MSS) asked of the connection."));
    m_noTcpDelay = new QCheckBox(tr("TCP No Delay"));
    m_noTcpDelay->setObjectName(QStringLiteral("noTcpDelayCheckBox"));
    connect(m_noTcpDelay, &QCheckBox::clicked, this,
            [this](bool checked) { m_controller->setFieldValue(key("no_tcp_delay"), checked ? 1 : 0); });
    m_tcpOnlyControls +=
        addRow(3, QString(), m_noTcpDelay, tr("Sends small packets at once (disables Nagle's algorithm)."));
    return area;
}

QWidget* FNWCreatePresetWindow::buildButtons()
{
    auto* buttons = new QWidget;
    auto* layout = new QHBoxLayout(buttons);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* reset = new QPushButton(tr("Reset to Defaults"));
    reset->setObjectName(QStringLiteral("resetButton"));
    reset->setAutoDefault(false);
    connect(reset, &QPushButton::clicked, m_controller,
            &FNWCreatePresetWindowController::resetToDefaultsButtonDidClicked);
    auto* cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, m_controller, &FNWCreatePresetWindowController::cancelButtonDidClicked);
    auto* save = new QPushButton(tr("Save"));
    save->setObjectName(QStringLiteral("saveButton"));
    // Enter saves from every field. An auto-default button would hand the default role away
    // once it has had the focus, e.g. after a click on Save that the form refused.
    save->setAutoDefault(false);
    save->setDefault(true);
    connect(save, &QPushButton::clicked, m_controller, &FNWCreatePresetWindowController::saveButtonDidClicked);
    layout->addWidget(reset);
    layout->addStretch();
    layout->addWidget(cancel);
    layout->addWidget(save);
    return buttons;
}

void FNWCreatePresetWindow::reloadForm()
{
    const std::shared_ptr<FNWPresetBean> preset = m_controller->preset();
    m_name->setText(preset->name);
    if (QAbstractButton* segment = m_testTypes->button(static_cast<int>(preset->test_type)))
        segment->setChecked(true);
    if (QAbstractButton* mode = m_modes->button(m_controller->getDurationOrNumberOfBytes()))
        mode->setChecked(true);
    for (auto field = m_numberFields.cbegin(); field != m_numberFields.cend(); ++field)
        field.value()->setText(m_controller->fieldText(field.key()));
    m_sendBandwidth->setText(m_controller->sendBandwidthText());
    m_direction->setCurrentIndex(preset->direction == 1 ? 1 : 0);
    m_dataFormat->setCurrentIndex(static_cast<int>(std::clamp<qint64>(preset->data_format, 0, 3)));
    m_noTcpDelay->setChecked(preset->no_tcp_delay == 1);
}

void FNWCreatePresetWindow::updateEnabling()
{
    m_numberFields.value(key("duration"))->setEnabled(m_controller->isDurationFieldEnabled());
    m_numberFields.value(key("number_of_byte"))->setEnabled(m_controller->isNumberOfBytesFieldEnabled());
    for (QWidget* control : std::as_const(m_tcpOnlyControls))
        control->setEnabled(m_controller->shouldEnableUIControl());
}

void FNWCreatePresetWindow::showAdditionalSettings()
{
    m_additionalSettingsButton->setText(m_controller->additionalSettingsButtonTitle());
    m_additionalSettings->setVisible(m_controller->isAdditionalSettingsVisible());
    setFixedSize(m_controller->windowSize());
}

void FNWCreatePresetWindow::showError(const QString& text)
{
    m_error->setText(text);
    m_error->setToolTip(text);
    QPalette colors = m_error->palette();
    colors.setColor(QPalette::WindowText, FNWPalette::warningColor(palette()));
    m_error->setPalette(colors);
}

void FNWCreatePresetWindow::bringToFront()
{
    show();
    raise();
    activateWindow();
}

void FNWCreatePresetWindow::reject()
{
    if (m_controller)
        m_controller->cancelButtonDidClicked();
}

void FNWCreatePresetWindow::closeEvent(QCloseEvent* event)
{
    if (m_controller)
        m_controller->cancelButtonDidClicked();
    event->accept();
}

void FNWCreatePresetWindow::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // The controller may be gone already when its owner goes before the window.
    if (!event->spontaneous() && m_controller)
        m_controller->windowDidHide();
}

void FNWCreatePresetWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // The red of the error line depends on whether the window is light or dark.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        showError(m_error->text());
}
