#pragma once

#include <QDialog>
#include <QPointer>

class FNWCreateTestController;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class QueueListView;

// The new-test window of the My Tests tab: a name, the home tab's composition (lent by the main
// window while the window is open) and Save / Cancel. Enter saves, Escape and closing cancel;
// the composition goes back through contentReleased whenever the window closes.
class FNWCreateTestWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FNWCreateTestWindow)

public:
    explicit FNWCreateTestWindow(QWidget* parent = nullptr);
    ~FNWCreateTestWindow() override;

    // Shows the window around the composition; the queue is the one that stores the profile.
    void openWithContent(QWidget* content, QueueListView* queue);
    QWidget* content() const { return m_content; }

    FNWCreateTestController* controller() const { return m_controller; }
    QLineEdit* nameField() const { return m_name; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }
    // The transient error window while it is up.
    QWidget* transientError() const { return m_transientError; }

public slots:
    void reject() override;

signals:
    void contentReleased(QWidget* content);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showTransientError(const QString& message);
    void closeWindow();

    FNWCreateTestController* m_controller;
    QLineEdit* m_name;
    QPushButton* m_save;
    QPushButton* m_cancel;
    QVBoxLayout* m_contentLayout;
    QPointer<QWidget> m_content;
    QPointer<QWidget> m_transientError;
};
