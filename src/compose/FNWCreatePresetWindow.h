#pragma once

#include "compose/FNWCreatePresetWindowController.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

#include <memory>

class FNWCreatePresetWindowDelegate;
class FNWPresetBean;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The preset editor: a small floating window over FNWCreatePresetWindowController, which holds
// every rule. Created once by its owner, then only shown and hidden; closing it cancels. Enter
// saves, Escape cancels. Its controls carry object names ("presetName", "durationField",
// "saveButton", ...) so that tests can reach them.
class FNWCreatePresetWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWCreatePresetWindow)

public:
    explicit FNWCreatePresetWindow(QWidget* parent = nullptr);
    // A window over a controller its owner keeps (the queue's own editor); not owned.
    FNWCreatePresetWindow(FNWCreatePresetWindowController* controller, QWidget* parent);
    ~FNWCreatePresetWindow() override;

    FNWCreatePresetWindowController* controller() const { return m_controller.data(); }
    // Not owned.
    void setDelegate(FNWCreatePresetWindowDelegate* delegate);
    // Opens the form for a copy of the preset (none: a new preset), in queue mode when asked; a
    // window already on screen for another preset asks before it drops changes the user made.
    bool openWindowForPreset(std::shared_ptr<FNWPresetBean> preset, bool fromQueue);

public slots:
    // Escape.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QLineEdit* numberField(const QString& key, const QString& objectName);
    QWidget* buildForm();
    QWidget* buildAdditionalSettings();
    QWidget* buildButtons();
    void reloadForm();
    void updateEnabling();
    void showAdditionalSettings();
    void showError(const QString& text);
    void bringToFront();

    QPointer<FNWCreatePresetWindowController> m_controller;
    QLineEdit* m_name = nullptr;
    QButtonGroup* m_testTypes = nullptr;
    QButtonGroup* m_modes = nullptr;
    QHash<QString, QLineEdit*> m_numberFields;
    QLineEdit* m_sendBandwidth = nullptr;
    QComboBox* m_direction = nullptr;
    QComboBox* m_dataFormat = nullptr;
    QCheckBox* m_noTcpDelay = nullptr;
    QPushButton* m_additionalSettingsButton = nullptr;
    QWidget* m_additionalSettings = nullptr;
    QList<QWidget*> m_tcpOnlyControls;
    QLabel* m_error = nullptr;
};
