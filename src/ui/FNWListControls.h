#pragma once

#include <QList>
#include <QString>

class FNWPresetsTableView;
class QAbstractItemModel;
class QFrame;
class QToolButton;
class QWidget;

// The buttons under the lists and the edit toggle's look, shared by the tabs and windows.
namespace fnw::ui {

QToolButton* toolButton(const QString& artwork, const QString& text, const QString& tip, QWidget* parent);
QToolButton* editToggle(QWidget* parent, const QString& tip);
// The toggle says "Done" while editing; the table selects several rows while editing, or always.
void reflectEditMode(QToolButton* button, FNWPresetsTableView* table, bool editing, bool multipleOutsideEditing);
qint64 recordIDAt(const QAbstractItemModel* model, int row);
// A list's panel: a bold title, the content, notes under it and the button bar at the bottom.
QFrame* listPanel(QWidget* parent, const QString& title, QWidget* content, QWidget* bar,
                  const QList<QWidget*>& notes = {});

} // namespace fnw::ui
