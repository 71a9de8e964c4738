#include "frontdesk/RoomMapLayout.h"

#include "config/Settings.h"

#include <algorithm>

void RoomMapLayout::clear()
{
    m_cells.clear();
    m_rowCount = 0;
}

void RoomMapLayout::build(const std::vector<Position>& rooms, int columns)
{
    clear();
    m_columns = std::clamp(columns, 1, kMaxColumns);
    if (rooms.empty())
        return;
    int r = 0;
    int c = 0;
    Position previous = rooms.front();
    for (size_t i = 0; i < rooms.size(); ++i) {
        const Position& room = rooms[i];
        if (room.floor != previous.floor || room.building != previous.building) {
            previous = room;
            if (c != 0)
                ++r;
            c = 0;
        }
        if (r >= kMaxRows)
            break; // beyond the map's 256 rows nothing is shown
        if (static_cast<int>(m_cells.size()) <= r)
            m_cells.resize(static_cast<size_t>(r) + 1, std::array<quint16, kMaxColumns>{});
        m_cells[static_cast<size_t>(r)][static_cast<size_t>(c)] = static_cast<quint16>(i + 1);
        if (c == m_columns - 1) {
            ++r;
            c = 0;
        } else {
            ++c;
        }
    }
    // A row opened by a wrap after the last room holds nothing and is not shown.
    m_rowCount = std::min(c == 0 ? r : r + 1, kMaxRows);
}

int RoomMapLayout::roomAt(int row, int column) const
{
    if (row < 0 || column < 0 || column >= kMaxColumns || row >= static_cast<int>(m_cells.size()))
        return 0;
    return m_cells[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

std::optional<std::pair<int, int>> RoomMapLayout::cellOf(int resultRow) const
{
    for (size_t r = 0; r < m_cells.size(); ++r) {
        const auto& cols = m_cells[r];
        const auto it = std::find(cols.begin(), cols.end(), static_cast<quint16>(resultRow));
        if (resultRow > 0 && it != cols.end())
            return std::make_pair(static_cast<int>(r), static_cast<int>(it - cols.begin()));
    }
    return std::nullopt;
}

int roomStatusIndex(const QString& status, int cardCount, const StatusCodes& codes)
{
    if (status == codes.room_used)
        return cardCount <= 1 ? 0 : 1;
    if (status == codes.room_dirty)
        return 2;
    if (status == codes.room_reserve)
        return 3;
    if (status == codes.room_self)
        return 4;
    if (status == codes.room_repair)
        return 5;
    if (status == codes.room_closed)
        return 6;
    return -1;
}
