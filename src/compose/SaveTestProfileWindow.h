#pragma once

#include <QDialog>
#include <QPointer>

class FNWCreatePresetWindow;
class FNWCreatePresetWindowController;
class FNWPresetsTableView;
class FNWSaveTestProfileController;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QueueListView;

// The window that saves the home queue as a named test profile, and (over the update
// controller) the one that updates a stored profile: a name, the tests in a queue of the
// window's own, an error line, Cancel and Save / Update. Created once, then shown and hidden;
// Enter saves, Escape and closing cancel. Controls carry object names for tests.
class SaveTestProfileWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SaveTestProfileWindow)

public:
    static constexpr int kFadeInMs = 500;

    // Saving: the save window's queue, which the home queue fills.
    SaveTestProfileWindow(QueueListView* saveQueue, QWidget* parent);
    // Updating a stored profile.
    SaveTestProfileWindow(FNWSaveTestProfileController* controller, QWidget* parent);
    ~SaveTestProfileWindow() override;

    // Raises the window above the others and fades it in.
    void showMe();
    // Hides the window and empties its queue.
    void cancelSave();

    QueueListView* queueListView() const { return m_queue; }
    QLineEdit* nameField() const { return m_name; }
    FNWPresetsTableView* queueTable() const { return m_table; }
    QLabel* errorLabel() const { return m_error; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }
    QToolButton* editButton() const { return m_edit; }
    FNWCreatePresetWindow* presetEditor() const { return m_presetEditor; }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build(const QString& title, const QString& saveText);
    void saveClicked();
    void showError(const QString& text);

    QueueListView* m_queue;
    QPointer<FNWSaveTestProfileController> m_controller;
    QLineEdit* m_name = nullptr;
    FNWPresetsTableView* m_table = nullptr;
    QLabel* m_error = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
    QToolButton* m_edit = nullptr;
    FNWCreatePresetWindow* m_presetEditor = nullptr;
};
