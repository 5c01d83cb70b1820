#include "compose/FNWCreatePresetWindowController.h"

#include "base/FNWAlerts.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "base/FNWValueFormatters.h"
#include "db/FNWBaseModel.h"
#include "model/FNWPresetBean.h"
#include "support/DDLog.h"
#include "support/FNWFormat.h"

namespace {

constexpr qint64 kTCP = 0;
constexpr qint64 kUDP = 1;
constexpr qint64 kMinimumDuration = 10;
constexpr qint64 kMaximumDuration = 86400;
constexpr qint64 kMaximumInterval = 60;
constexpr qint64 kMaximumUDPBufferLength = 8;
constexpr qint64 kMaximumTCPBufferLength = 1024;
constexpr qint64 kUDPBufferLength = 8;
constexpr qint64 kTCPBufferLength = 128;
// What the kernel accepts as TCP_MAXSEG, as the iperf wrappers check it.
constexpr qint64 kMinimumSegmentSize = 88;
constexpr qint64 kMaximumSegmentSize = 32767;

QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

} // namespace

FNWCreatePresetWindowController::FNWCreatePresetWindowController(QObject* parent)
    : QObject(parent)
    , m_preset(std::make_shared<FNWPresetBean>())
    , m_errorLine(new FNWErrorLine(this))
{
    connect(m_errorLine, &FNWErrorLine::textChanged, this,
            &FNWCreatePresetWindowController::presetNameErrorTextChanged);
}

FNWCreatePresetWindowController::~FNWCreatePresetWindowController() = default;

bool FNWCreatePresetWindowController::openWindowForPreset(const std::shared_ptr<FNWPresetBean>& preset, bool fromQueue)
{
    if (m_windowVisible) {
        // The caller's record is never edited in place, and the form never edits one record while
        // it is meant for another: it stays with what the user typed, or turns to the new preset.
        if (preset == m_source) {
            emit windowShouldComeToFront();
            return true;
        }
        if (hasUnsavedChanges()) {
            const QString editing =
                m_preset->name.isEmpty() ? text("the new preset") : FNWStringWithFormat("'%@'", m_preset->name);
            const QString next = preset ? FNWStringWithFormat("'%@'", preset->name) : text("a new preset");
            if (!FNWAlerts::showConfirmationAlertWithMessage(
                    text("Discard Changes?"),
                    FNWStringWithFormat("The changes to %@ are not saved. Discard them and edit %@?", editing, next))) {
                emit windowShouldComeToFront();
                return false;
            }
        }
    }
    m_isFromQueueListView = fromQueue;
    showWindow(preset);
    return true;
}

bool FNWCreatePresetWindowController::hasUnsavedChanges() const
{
    return m_windowVisible && formState() != m_openedState;
}

QVariantMap FNWCreatePresetWindowController::formState() const
{
    QVariantMap state;
    for (const QString& key : FNWPresetBean::storedFieldNames())
        state.insert(key, m_preset->valueForKey(key));
    state.insert(text("mode"), m_mode);
    state.insert(text("sendBandwidthText"), m_sendBandwidthText);
    return state;
}

void FNWCreatePresetWindowController::showWindow(const std::shared_ptr<FNWPresetBean>& preset)
{
    m_errorLine->show(QString());
    m_windowVisible = true;
    m_source = preset;
    if (preset) {
        m_originalPresetName = preset->name;
        m_preset = preset->copy();
        m_preset->name = preset->name;
        m_preset->agent_id = preset->agent_id;
        m_preset->ID = preset->ID;
        // A queued test keeps pointing at the library preset it came from.
        m_preset->originalID = preset->originalID;
        m_mode = m_preset->number_of_byte != -1 ? NumberOfBytesMode : DurationMode;
        m_segmentSizeTyped = false;
        m_sendBandwidthText = m_preset->send_bw == -1 ? QString() : QString::number(m_preset->send_bw);
        DDLogInfo("PresetController: editing preset %@", m_preset->name);
    } else {
        m_preset = std::make_shared<FNWPresetBean>();
        m_originalPresetName.reset();
        m_segmentSizeTyped = false;
        m_mode = DurationMode;
        m_sendBandwidthText.clear();
        DDLogInfo("PresetController: creating a new preset");
    }
    // The TCP-only controls follow the opened preset's type, not the one shown last time.
    m_shouldEnableUIControl = m_preset->test_type != kUDP;
    m_openedState = formState();
    emit formShouldReload();
    updateTextFieldsEnability();
    emit windowShouldShow();
}

void FNWCreatePresetWindowController::windowDidHide()
{
    m_windowVisible = false;
}

void FNWCreatePresetWindowController::setName(const QString& name)
{
    m_preset->name = name;
}

QString FNWCreatePresetWindowController::fieldText(const QString& key) const
{
    return NegativeToEmptyTransformer::transformedValue(m_preset->valueForKey(key).toLongLong());
}

void FNWCreatePresetWindowController::setFieldText(const QString& key, const QString& text)
{
    if (key == QLatin1String("tcp_max_segment_size"))
        m_segmentSizeTyped = true;
    setFieldValue(key, NegativeToEmptyTransformer::reverseTransformedValue(text));
}

void FNWCreatePresetWindowController::setFieldValue(const QString& key, qint64 value)
{
    if (!m_preset->setValueForKey(value, key))
        DDLogWarn("PresetController: no preset field %@", key);
}

void FNWCreatePresetWindowController::testTypeDidChange(int tag)
{
    if (tag != kTCP && tag != kUDP)
        return;
    m_preset->test_type = tag;
    m_preset->buffer_length = tag == kUDP ? kUDPBufferLength : kTCPBufferLength;
    m_preset->send_bw = -1;
    m_shouldEnableUIControl = tag == kTCP;
    emit formShouldReload();
    emit fieldEnablingChanged();
}

void FNWCreatePresetWindowController::changeSelectionOfMatrix(int tag)
{
    if (tag != DurationMode && tag != NumberOfBytesMode)
        return;
    m_mode = tag;
    updateTextFieldsEnability();
}

void FNWCreatePresetWindowController::updateTextFieldsEnability()
{
    emit fieldEnablingChanged();
}

QString FNWCreatePresetWindowController::additionalSettingsButtonTitle() const
{
    return isAdditionalSettingsVisible() ? text("- Additional Settings") : text("+ Additional Settings");
}

void FNWCreatePresetWindowController::hideAdditionalSettingsButtonDidClicked()
{
    m_additionalSettingsTag = isAdditionalSettingsVisible() ? Collapsed : Expanded;
    emit additionalSettingsChanged();
}

void FNWCreatePresetWindowController::resetToDefaultsButtonDidClicked()
{
    if (m_preset->ID > 0 &&
        !FNWAlerts::showConfirmationAlertWithMessage(text("Reset Preset"), text("Do you really want to reset?")))
        return;
    const FNWPresetBean defaults;
    m_preset->duration = defaults.duration;
    m_preset->time_interval = defaults.time_interval;
    m_preset->direction = defaults.direction;
    m_preset->number_of_byte = defaults.number_of_byte;
    m_preset->data_format = defaults.data_format;
    m_preset->tcp_window_size = defaults.tcp_window_size;
    m_preset->tcp_max_segment_size = defaults.tcp_max_segment_size;
    m_preset->no_tcp_delay = defaults.no_tcp_delay;
    m_sendBandwidthText.clear();
    if (m_preset->test_type == kUDP) {
        m_preset->send_bw = 1;
        m_preset->buffer_length = kUDPBufferLength;
    } else {
        m_preset->send_bw = -1;
        m_preset->buffer_length = kTCPBufferLength;
    }
    DDLogInfo("PresetController: preset reset to defaults");
    emit formShouldReload();
}

std::optional<QString> FNWCreatePresetWindowController::validationError(qint64& duration, qint64& numberOfBytes,
                                                                        qint64& sendBandwidth) const
{
    const FNWPresetBean& preset = *m_preset;
    if (preset.name.isEmpty())
        return text("Preset name is required.");

    duration = preset.duration;
    numberOfBytes = preset.number_of_byte;
    if (m_mode == NumberOfBytesMode) {
        duration = -1;
        if (numberOfBytes < 1)
            return text("Invalid Number of Bytes.");
    } else {
        numberOfBytes = -1;
        if (duration < kMinimumDuration)
            return text("Test Duration must be at least 10s.");
        if (duration > kMaximumDuration)
            return text("Maximum allowed Test Duration is 86400 seconds.");
    }

    if (duration != -1) {
        if (preset.time_interval >= duration)
            return text("Test interval must be less than Test Duration.");
        if (preset.time_interval > kMaximumInterval)
            return text("Maximum allowed Test interval is 60 seconds.");
    }

    sendBandwidth = OnlyIntegerValueFormatter::integerValue(m_sendBandwidthText).value_or(-1);

    if (preset.test_type == kUDP && preset.buffer_length > kMaximumUDPBufferLength)
        return text("Maximum allowed Buffer Length is 8KB for UDP.");
    if (preset.test_type == kTCP && preset.buffer_length > kMaximumTCPBufferLength)
        return text("Maximum allowed Buffer Length is 1024KB for TCP.");

    // The wrappers pass only a segment size the kernel takes; anything else would quietly run
    // with the system's.
    if (m_segmentSizeTyped && preset.test_type == kTCP && preset.tcp_max_segment_size > 0 &&
        (preset.tcp_max_segment_size < kMinimumSegmentSize || preset.tcp_max_segment_size > kMaximumSegmentSize))
        return text("TCP Max Segment Size must be between 88 and 32767 bytes.");

    if ((!m_originalPresetName || *m_originalPresetName != preset.name) && FNWPresetBean::findPreset(preset.name))
        return text("Preset name already used, please use different name.");
    return std::nullopt;
}

void FNWCreatePresetWindowController::saveButtonDidClicked()
{
    if (m_isFromQueueListView) {
        // Nothing is checked or stored here; the queue keeps the copy. The bandwidth the user
        // typed still goes with it.
        m_preset->send_bw = OnlyIntegerValueFormatter::integerValue(m_sendBandwidthText).value_or(-1);
        DDLogInfo("PresetController: windows opened from queue list view so not saving..%@", m_preset->name);
        if (m_delegate)
            m_delegate->didEditedPresetFromQueueView(m_preset);
        closeWindow();
        return;
    }

    qint64 duration = -1;
    qint64 numberOfBytes = -1;
    qint64 sendBandwidth = -1;
    if (const std::optional<QString> error = validationError(duration, numberOfBytes, sendBandwidth)) {
        DDLogInfo("PresetController: preset not saved: %@", *error);
        m_errorLine->show(*error);
        return;
    }
    // The record takes the mode's values only once every check passed, so a refused save keeps
    // both entries for the user.
    m_preset->duration = duration;
    m_preset->number_of_byte = numberOfBytes;
    m_preset->send_bw = sendBandwidth;
    m_preset->datagram_size = -1;

    if (m_preset->ID > 0)
        updateExistingPreset();
    else
        saveNewPreset();
}

void FNWCreatePresetWindowController::updateExistingPreset()
{
    const QString question = text("Are you sure you would like to replace ") +
                             FNWStringWithFormat("'%@'?", m_originalPresetName.value_or(QString()));
    if (!FNWAlerts::showOkCancelAlertWithMessage(text("Preset Update"), question))
        return;
    if (!m_preset->update()) {
        DDLogError("UpdatePreset: Can't update preset..");
        return;
    }
    if (m_delegate)
        m_delegate->didAddedNewPreset(m_preset);
    postNotice(text("Preset Updated Successfully."));
    closeWindow();
}

void FNWCreatePresetWindowController::saveNewPreset()
{
    QString errors;
    FNWBaseModel::clearMetLock();
    if (!m_preset->save(&errors)) {
        // The window stays open so that the user's entries are not lost. A database another
        // program holds has an alert of its own, which says why; there is nothing to correct.
        if (!FNWBaseModel::metLockSinceClear())
            FNWAlerts::showCriticalAlertWithMessage(text("Please correct below errors before saving:"), errors);
        return;
    }
    if (m_delegate)
        m_delegate->didAddedNewPreset(m_preset);
    postNotice(text("Preset Saved Successfully."));
    closeWindow();
}

void FNWCreatePresetWindowController::cancelButtonDidClicked()
{
    closeWindow();
}

void FNWCreatePresetWindowController::setErrorClearInterval(int milliseconds)
{
    m_errorLine->setClearInterval(milliseconds);
}

void FNWCreatePresetWindowController::closeWindow()
{
    m_windowVisible = false;
    emit windowShouldClose();
}

void FNWCreatePresetWindowController::postNotice(const QString& notice)
{
    FNWNotificationCenter::defaultCenter().postNotificationName(
        text(ShowWarningOnMainWindowNotification), nullptr,
        {{text(kErrorKey), notice}, {text(kTextColorKey), text("green")}});
}
