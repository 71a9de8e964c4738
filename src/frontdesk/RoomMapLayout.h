#pragma once

#include <QString>
#include <array>
#include <optional>
#include <vector>

// Where each room of the map result set sits on the room map.
//
// Rooms come in canonical order (building, floor, room index). A new floor or building
// always starts a new map row; a floor longer than the column count continues on the next
// row. The cell index holds the 1-based row number of the room in the result set, 0 for
// an empty cell; the map has at most 256 rows and 256 columns.
class RoomMapLayout
{
public:
    static constexpr int kMaxRows = 256;
    static constexpr int kMaxColumns = 256;

    struct Position
    {
        int building = 0;
        int floor = 0;
    };

    // columns: sys.ini cols_num (0 is treated as 1; more than 256 are cut to 256).
    void build(const std::vector<Position>& rooms, int columns);
    void clear();

    // 1-based result-set row of the room in cell (row, column), 0 when empty or outside.
    int roomAt(int row, int column) const;
    // Map cell of a result-set row (1-based).
    std::optional<std::pair<int, int>> cellOf(int resultRow) const;
    int rowCount() const { return m_rowCount; }
    int columnCount() const { return m_columns; }

private:
    std::vector<std::array<quint16, kMaxColumns>> m_cells; // grows with the rows in use
    int m_rowCount = 0;
    int m_columns = 0;
};

// Picture and icon index of a room on the map: -1 vacant (or an unknown code), 0 occupied
// by one card, 1 by several, 2 dirty, 3 reserved, 4 own use, 5 repair, 6 closed. The map
// draws picture index + 1 and, from 0 on, icon index.
struct StatusCodes;
int roomStatusIndex(const QString& status, int cardCount, const StatusCodes& codes);
