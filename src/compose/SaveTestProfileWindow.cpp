#include "compose/SaveTestProfileWindow.h"

#include "compose/FNWCreatePresetWindow.h"
#include "compose/FNWQueueTable.h"
#include "compose/FNWSaveTestProfileController.h"
#include "compose/QueueListView.h"
#include "ui/FNWListControls.h"
#include "ui/FNWPalette.h"
#include "ui/FNWPresetsTableView.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

SaveTestProfileWindow::SaveTestProfileWindow(QueueListView* saveQueue, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_queue(saveQueue)
{
    build(tr("Save Test Profile"), tr("Save"));
    connect(m_queue, &QueueListView::saveWindowRequested, this, [this] {
        m_name->clear();
        showError(QString());
        showMe();
    });
    connect(m_queue, &QueueListView::saveWindowCloseRequested, this, [this] {
        hide();
        m_queue->setSaveWindowVisible(false);
    });
    connect(m_queue, &QueueListView::errorTextChanged, this, &SaveTestProfileWindow::showError);
}

SaveTestProfileWindow::SaveTestProfileWindow(FNWSaveTestProfileController* controller, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_queue(controller->queueListView())
    , m_controller(controller)
{
    build(QString::fromLatin1(FNWSaveTestProfileController::kWindowTitle), tr("Update"));
    connect(controller, &FNWSaveTestProfileController::showWindowRequested, this,
            [this](const QString& title, const QString& name) {
                setWindowTitle(title);
                m_name->setText(name);
                showError(QString());
                showMe();
            });
    connect(controller, &FNWSaveTestProfileController::hideWindowRequested, this, &QWidget::hide);
    connect(controller, &FNWSaveTestProfileController::errorTextChanged, this, &SaveTestProfileWindow::showError);
}

SaveTestProfileWindow::~SaveTestProfileWindow()
{
    // The editor's window goes before the queue that keeps its controller.
    delete m_presetEditor;
}

void SaveTestProfileWindow::build(const QString& title, const QString& saveText)
{
    setWindowTitle(title);
    setModal(false);
    setObjectName(m_controller ? QStringLiteral("updateTestProfileWindow") : QStringLiteral("saveTestProfileWindow"));
    resize(420, 460);

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("testProfileName"));
    m_name->setPlaceholderText(tr("Test profile name"));
    m_name->setAccessibleName(tr("Test profile name"));
    m_name->setMaxLength(128);

    m_table = new FNWPresetsTableView(this);
    m_table->setObjectName(QStringLiteral("saveQueueTable"));
    m_table->setListModel(m_queue);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    fnw::compose::wireQueueTable(m_table, m_queue);

    m_edit = fnw::ui::editToggle(this, tr("Edit the tests' presets or remove tests"));
    m_edit->setObjectName(QStringLiteral("saveQueueEditButton"));
    connect(m_edit, &QToolButton::toggled, m_queue, &QueueListView::enableEditModeOnQueueButtonDidClicked);
    connect(m_queue, &QueueListView::editModeChanged, this,
            [this](bool editing) { fnw::ui::reflectEditMode(m_edit, m_table, editing, false); });
    connect(m_queue, &QueueListView::presetEditorCreated, this, [this](FNWCreatePresetWindowController* editor) {
        m_presetEditor = new FNWCreatePresetWindow(editor, this);
        m_presetEditor->setObjectName(QStringLiteral("saveQueuePresetEditor"));
    });

    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("saveErrorLabel"));
    m_error->setWordWrap(true);
    m_error->setAlignment(Qt::AlignCenter);
    m_error->setVisible(false);

    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setAutoDefault(false);
    m_save = new QPushButton(saveText, this);
    m_save->setObjectName(QStringLiteral("saveButton"));
    // Enter saves whatever had the focus last, a refused click included.
    m_save->setAutoDefault(false);
    m_save->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, &SaveTestProfileWindow::reject);
    connect(m_save, &QPushButton::clicked, this, &SaveTestProfileWindow::saveClicked);

    auto* form = new QFormLayout;
    form->addRow(tr("Name:"), m_name);
    auto* editBar = new QHBoxLayout;
    editBar->addWidget(new QLabel(tr("Tests"), this));
    editBar->addStretch();
    editBar->addWidget(m_edit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(editBar);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_error);
    layout->addLayout(buttons);
    m_name->setFocus();
}

void SaveTestProfileWindow::showMe()
{
    if (!isVisible()) {
        setWindowOpacity(0.0);
        show();
        auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(kFadeInMs);
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    }
    if (!m_controller)
        m_queue->setSaveWindowVisible(true);
    raise();
    activateWindow();
    m_name->setFocus();
}

void SaveTestProfileWindow::cancelSave()
{
    {
        const QSignalBlocker blocker(m_edit);
        m_edit->setChecked(false);
    }
    if (isVisible())
        hide();
    m_queue->setSaveWindowVisible(false);
    if (!m_queue->testList().empty())
        m_queue->setUpView();
}

void SaveTestProfileWindow::saveClicked()
{
    if (m_controller)
        m_controller->updateTestProfileButtonDidClicked(m_name->text());
    else
        m_queue->saveTestQueueButtonDidClicked(m_name->text());
}

void SaveTestProfileWindow::reject()
{
    if (m_presetEditor && m_presetEditor->isVisible())
        m_presetEditor->reject();
    if (m_controller) {
        {
            const QSignalBlocker blocker(m_edit);
            m_edit->setChecked(false);
        }
        m_controller->cancelButtonDidClicked();
        hide();
    } else {
        cancelSave();
    }
}

void SaveTestProfileWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    reject();
}

void SaveTestProfileWindow::showError(const QString& text)
{
    QPalette colors = m_error->palette();
    colors.setColor(QPalette::WindowText, FNWPalette::warningColor(palette()));
    m_error->setPalette(colors);
    m_error->setText(text);
    m_error->setVisible(!text.isEmpty());
}
