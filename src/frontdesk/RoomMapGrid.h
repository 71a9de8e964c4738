#pragma once

#include "frontdesk/RoomMapLayout.h"

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <vector>

// One room as the map shows it (a row of the room-map result set).
struct MapRoom
{
    int building = 0;
    int floor = 0;
    QString roomNo;
    QString status;
    int cardNum = 0;
};

// The room map: a grid of bgkd x bgkd cells, one per room, drawn from the room pictures
// (ImageList2: 0..8) and state icons (ImageList3: 0..6). Only the cells in view are painted,
// so a hotel of thousands of rooms repaints as fast as a small one.
class RoomMapGrid : public QWidget
{
    Q_OBJECT
public:
    explicit RoomMapGrid(QWidget* parent = nullptr);

    void setPictures(std::vector<QPixmap> pictures, std::vector<QPixmap> icons);
    void setCellSize(int pixels);
    int cellSize() const { return m_cell; }
    // Replaces the rooms and lays them out in the given number of columns.
    void setRooms(std::vector<MapRoom> rooms, int columns);
    const RoomMapLayout& layout() const { return m_layout; }
    const std::vector<MapRoom>& rooms() const { return m_rooms; }
    // The room of a cell, or nullptr for an empty one.
    const MapRoom* roomAt(int row, int column) const;

    int selectedRow() const { return m_selectedRow; }
    int selectedColumn() const { return m_selectedColumn; }
    void selectCell(int row, int column);
    // Selects the cell that shows the given room number; false when it is not on the map.
    bool selectRoom(const QString& roomNo);
    QRect cellRect(int row, int column) const;

    // Renders cell (row, column) into a painter at the given top-left corner.
    void drawCell(QPainter& painter, const QPoint& topLeft, int row, int column) const;

    QSize sizeHint() const override;

Q_SIGNALS:
    void cellClicked(int row, int column);
    void cellCtrlClicked(int row, int column);
    void cellDoubleClicked(int row, int column);
    void contextMenuAt(int row, int column, const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    static constexpr int kLineWidth = 2;
    std::pair<int, int> cellAtPoint(const QPoint& p) const;
    void updateGeometryForRooms();

    std::vector<QPixmap> m_pictures;
    std::vector<QPixmap> m_icons;
    std::vector<MapRoom> m_rooms;
    RoomMapLayout m_layout;
    int m_cell = 48;
    int m_selectedRow = -1;
    int m_selectedColumn = -1;
};
