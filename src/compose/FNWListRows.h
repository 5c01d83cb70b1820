#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <memory>
#include <vector>

// Row arithmetic shared by the home tab's lists.
namespace fnw::compose {

// The row numbers a drag carries, as one text: "2,0,5".
inline QString rowsToPasteboardString(QList<int> rows)
{
    QStringList parts;
    for (int row : rows)
        parts.append(QString::number(row));
    return parts.join(QLatin1Char(','));
}

// Every part that reads as a whole number; anything else is dropped.
inline QList<int> rowsFromPasteboardString(const QString& text)
{
    QList<int> rows;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int row = part.trimmed().toInt(&ok);
        if (ok)
            rows.append(row);
    }
    return rows;
}

// Moves the member at `from` into the gap above `to` (0..size): a member dragged downwards lands
// just above the row it was dropped on. `moved` replaces the member (the drag inserts a copy).
template <typename T>
void moveIntoGap(std::vector<std::shared_ptr<T>>& list, int from, int to, std::shared_ptr<T> moved)
{
    const auto size = static_cast<int>(list.size());
    if (from < 0 || from >= size || to < 0 || to > size)
        return;
    list.insert(list.begin() + to, std::move(moved));
    list.erase(list.begin() + (from < to ? from : from + 1));
}

// The members at the given rows, in the rows' order; rows outside the list are skipped. Resolved
// before removing, since each removal shifts the rows below it.
template <typename T>
std::vector<std::shared_ptr<T>> membersAtRows(const std::vector<std::shared_ptr<T>>& list, const QList<int>& rows)
{
    std::vector<std::shared_ptr<T>> members;
    for (int row : rows) {
        if (row >= 0 && row < static_cast<int>(list.size()))
            members.push_back(list[static_cast<size_t>(row)]);
    }
    return members;
}

// Numbers the members 1..n in list order and stores each position; `failed` hears of each member
// whose position could not be stored.
template <typename T, typename Failed>
void storeViewPositions(const std::vector<std::shared_ptr<T>>& list, Failed failed)
{
    qint64 position = 1;
    for (const std::shared_ptr<T>& member : list) {
        member->viewPosition = position++;
        if (!member->updateViewPostion())
            failed(*member);
    }
}

// The gap a drop lands in: a drop on a row goes above it; past the end, after the last row.
inline int dropGap(int row, int parentRow, int count)
{
    if (row >= 0)
        return std::min(row, count);
    if (parentRow >= 0)
        return std::min(parentRow, count);
    return count;
}

} // namespace fnw::compose
