#include "ui/FNWListControls.h"

#include "base/FNWListRoles.h"
#include "ui/FNWArtwork.h"
#include "ui/FNWPresetsTableView.h"

#include <QFrame>
#include <QLabel>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace fnw::ui {

QToolButton* toolButton(const QString& artwork, const QString& text, const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(FNWArtwork::icon(artwork));
    button->setText(text);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setIconSize(QSize(16, 16));
    return button;
}

QToolButton* editToggle(QWidget* parent, const QString& tip)
{
    QToolButton* button = toolButton(QStringLiteral("edit"), QObject::tr("Edit"), tip, parent);
    button->setCheckable(true);
    return button;
}

void reflectEditMode(QToolButton* button, FNWPresetsTableView* table, bool editing, bool multipleOutsideEditing)
{
    const QSignalBlocker blocker(button);
    button->setChecked(editing);
    button->setText(editing ? QObject::tr("Done") : QObject::tr("Edit"));
    table->setSelectionMode(editing || multipleOutsideEditing ? QAbstractItemView::ExtendedSelection
                                                              : QAbstractItemView::SingleSelection);
    QTimer::singleShot(100, table, &FNWPresetsTableView::repaintTableCells);
}

qint64 recordIDAt(const QAbstractItemModel* model, int row)
{
    return model->index(row, 0).data(FNWListRoles::RecordID).toLongLong();
}

namespace {

void addLine(QFrame* panel, QVBoxLayout* layout)
{
    auto* line = new QFrame(panel);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
}

} // namespace

QFrame* listPanel(QWidget* parent, const QString& title, QWidget* content, QWidget* bar, const QList<QWidget*>& notes)
{
    auto* panel = new QFrame(parent);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setBackgroundRole(QPalette::Base);
    panel->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* heading = new QLabel(title, panel);
    QFont font = heading->font();
    font.setBold(true);
    heading->setFont(font);
    heading->setContentsMargins(10, 8, 10, 6);
    layout->addWidget(heading);
    addLine(panel, layout);
    content->setParent(panel);
    layout->addWidget(content, 1);
    for (QWidget* note : notes) {
        note->setParent(panel);
        note->setContentsMargins(16, 8, 16, 8);
        layout->addWidget(note);
    }
    addLine(panel, layout);
    bar->setParent(panel);
    layout->addWidget(bar);
    return panel;
}

} // namespace fnw::ui
