#pragma once

#include "ui/FNWPresetsTableView.h"

#include <QtTest>

// Clicks as a user makes them on the lists' tables.
namespace fnw::test {

// A click on the row's text, clear of its controls.
inline void clickRow(FNWPresetsTableView* table, int row)
{
    const QRect rect = table->visualRect(table->model()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center() - QPoint(rect.width() / 4, 0));
}

// A click on one of the row's controls, placed by the row delegate's geometry.
inline void clickControl(FNWPresetsTableView* table, int row, QRect (*where)(const QRect&))
{
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      where(table->visualRect(table->model()->index(row, 0))).center());
}

} // namespace fnw::test
