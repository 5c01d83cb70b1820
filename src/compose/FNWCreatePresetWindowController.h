#pragma once

#include "base/FNWErrorLine.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <memory>
#include <optional>

class FNWPresetBean;

// Told about the presets the editor saved or handed back. Every operation is optional.
class FNWCreatePresetWindowDelegate
{
public:
    virtual ~FNWCreatePresetWindowDelegate() = default;
    // A new preset was saved, or an existing one updated.
    virtual void didAddedNewPreset(const std::shared_ptr<FNWPresetBean>& preset) { (void)preset; }
    virtual void didUpdatedPreset(const std::shared_ptr<FNWPresetBean>& preset) { (void)preset; }
    // Queue mode: the edited working copy, nothing stored.
    virtual void didEditedPresetFromQueueView(const std::shared_ptr<FNWPresetBean>& preset) { (void)preset; }
};

// The preset editor's rules without a window: the working record the form edits, the mode, the
// send-bandwidth text, the additional-settings state, the checks and the saving. The window
// mirrors it through the signals and hands every edit back through the setters.
class FNWCreatePresetWindowController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWCreatePresetWindowController)

public:
    enum Mode { DurationMode = 0, NumberOfBytesMode = 1 };
    enum AdditionalSettingsTag { Collapsed = 0, Expanded = 1 };
    static constexpr QSize kCollapsedSize{444, 250};
    static constexpr QSize kExpandedSize{444, 575};

    explicit FNWCreatePresetWindowController(QObject* parent = nullptr);
    ~FNWCreatePresetWindowController() override;

    FNWCreatePresetWindowDelegate* delegate() const { return m_delegate; }
    // Not owned.
    void setDelegate(FNWCreatePresetWindowDelegate* delegate) { m_delegate = delegate; }

    std::shared_ptr<FNWPresetBean> preset() const { return m_preset; }
    std::optional<QString> originalPresetName() const { return m_originalPresetName; }
    bool isFromQueueListView() const { return m_isFromQueueListView; }
    void setIsFromQueueListView(bool fromQueue) { m_isFromQueueListView = fromQueue; }
    bool shouldEnableUIControl() const { return m_shouldEnableUIControl; }
    QString presetNameErrorText() const { return m_errorLine->text(); }
    bool isWindowVisible() const { return m_windowVisible; }

    // Opens the window for a copy of the preset (none: a new preset). A window on screen for that
    // same preset only comes to the front, keeping what the user typed; one on screen for another
    // preset turns to this one, after asking when the form holds changes. False when the user chose
    // to keep editing the other preset.
    bool openWindowForPreset(const std::shared_ptr<FNWPresetBean>& preset, bool fromQueue);
    // The form differs from what it showed when it was opened.
    bool hasUnsavedChanges() const;
    // The opening steps: a fresh working record, mode and fields from it, the error line emptied.
    void showWindow(const std::shared_ptr<FNWPresetBean>& preset);
    // The window went away by other means than the editor's own buttons.
    void windowDidHide();

    // The form's edits. Numeric fields show -1 as empty and read anything but a positive number
    // back as -1.
    void setName(const QString& name);
    QString fieldText(const QString& key) const;
    void setFieldText(const QString& key, const QString& text);
    // direction, data_format, no_tcp_delay.
    void setFieldValue(const QString& key, qint64 value);
    QString sendBandwidthText() const { return m_sendBandwidthText; }
    void setSendBandwidthText(const QString& text) { m_sendBandwidthText = text; }

    // The segmented control: 0 TCP, 1 UDP; other tags change nothing.
    void testTypeDidChange(int tag);
    // The radio buttons: Duration (0) or Number of Bytes (1).
    void changeSelectionOfMatrix(int tag);
    int getDurationOrNumberOfBytes() const { return m_mode; }
    bool isDurationFieldEnabled() const { return m_mode == DurationMode; }
    bool isNumberOfBytesFieldEnabled() const { return m_mode == NumberOfBytesMode; }
    void updateTextFieldsEnability();

    void hideAdditionalSettingsButtonDidClicked();
    int additionalSettingsTag() const { return m_additionalSettingsTag; }
    bool isAdditionalSettingsVisible() const { return m_additionalSettingsTag == Expanded; }
    QString additionalSettingsButtonTitle() const;
    QSize windowSize() const { return isAdditionalSettingsVisible() ? kExpandedSize : kCollapsedSize; }

    void resetToDefaultsButtonDidClicked();
    void saveButtonDidClicked();
    void cancelButtonDidClicked();

    // Tests shorten the 5-second error line.
    void setErrorClearInterval(int milliseconds);

signals:
    // The record, the mode or the send-bandwidth text changed: every field shows them anew.
    void formShouldReload();
    void fieldEnablingChanged();
    void presetNameErrorTextChanged(const QString& text);
    void additionalSettingsChanged();
    void windowShouldShow();
    void windowShouldComeToFront();
    void windowShouldClose();

private:
    void closeWindow();
    // The checks of a save in order; the first failing message, or none.
    std::optional<QString> validationError(qint64& duration, qint64& numberOfBytes, qint64& sendBandwidth) const;
    void saveNewPreset();
    void updateExistingPreset();
    void postNotice(const QString& text);
    // Everything the form shows, to tell whether the user changed it.
    QVariantMap formState() const;

    FNWCreatePresetWindowDelegate* m_delegate = nullptr;
    std::shared_ptr<FNWPresetBean> m_preset;
    // The record the form was opened for (none for a new preset), and the form as it was then.
    std::shared_ptr<FNWPresetBean> m_source;
    QVariantMap m_openedState;
    std::optional<QString> m_originalPresetName;
    bool m_isFromQueueListView = false;
    bool m_shouldEnableUIControl = true;
    bool m_windowVisible = false;
    QString m_sendBandwidthText;
    // The segment size is checked once the user typed one (stored presets may hold the old
    // default, which iperf never got).
    bool m_segmentSizeTyped = false;
    int m_mode = DurationMode;
    int m_additionalSettingsTag = Collapsed;
    FNWErrorLine* m_errorLine;
};
