#include "ui/FNWListControls.h"

#include "base/FNWListRoles.h"
#include "ui/FNWArtwork.h"
#include "ui/FNWPresetsTableView.h"

#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

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

} // namespace fnw::ui
