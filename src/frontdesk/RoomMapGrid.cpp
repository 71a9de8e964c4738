#include "frontdesk/RoomMapGrid.h"

#include "config/Settings.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

RoomMapGrid::RoomMapGrid(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DrawGrid1"));
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0x87, 0xCE, 0xEB)); // sky blue between the cells
    setPalette(p);
    setFocusPolicy(Qt::StrongFocus);
}

void RoomMapGrid::setPictures(std::vector<QPixmap> pictures, std::vector<QPixmap> icons)
{
    m_pictures = std::move(pictures);
    m_icons = std::move(icons);
    update();
}

void RoomMapGrid::setCellSize(int pixels)
{
    m_cell = std::max(8, pixels);
    updateGeometryForRooms();
}

void RoomMapGrid::setRooms(std::vector<MapRoom> rooms, int columns)
{
    m_rooms = std::move(rooms);
    std::vector<RoomMapLayout::Position> positions;
    positions.reserve(m_rooms.size());
    for (const MapRoom& r : m_rooms)
        positions.push_back({r.building, r.floor});
    m_layout.build(positions, columns);
    updateGeometryForRooms();
    update();
}

void RoomMapGrid::updateGeometryForRooms()
{
    const QSize s = sizeHint();
    setMinimumSize(s);
    resize(std::max(width(), s.width()), std::max(height(), s.height()));
}

QSize RoomMapGrid::sizeHint() const
{
    const int rows = std::max(1, m_layout.rowCount());
    const int cols = std::max(1, m_layout.columnCount());
    return {cols * (m_cell + kLineWidth), rows * (m_cell + kLineWidth)};
}

const MapRoom* RoomMapGrid::roomAt(int row, int column) const
{
    const int n = m_layout.roomAt(row, column);
    if (n <= 0 || n > static_cast<int>(m_rooms.size()))
        return nullptr;
    return &m_rooms[static_cast<size_t>(n - 1)];
}

QRect RoomMapGrid::cellRect(int row, int column) const
{
    return {column * (m_cell + kLineWidth), row * (m_cell + kLineWidth), m_cell, m_cell};
}

std::pair<int, int> RoomMapGrid::cellAtPoint(const QPoint& p) const
{
    const int step = m_cell + kLineWidth;
    return {p.y() / step, p.x() / step};
}

void RoomMapGrid::selectCell(int row, int column)
{
    const QRect old = cellRect(m_selectedRow, m_selectedColumn);
    m_selectedRow = row;
    m_selectedColumn = column;
    update(old.adjusted(-2, -2, 2, 2));
    update(cellRect(row, column).adjusted(-2, -2, 2, 2));
}

bool RoomMapGrid::selectRoom(const QString& roomNo)
{
    for (size_t i = 0; i < m_rooms.size(); ++i) {
        if (m_rooms[i].roomNo == roomNo) {
            if (const auto cell = m_layout.cellOf(static_cast<int>(i + 1))) {
                selectCell(cell->first, cell->second);
                return true;
            }
        }
    }
    return false;
}

void RoomMapGrid::drawCell(QPainter& painter, const QPoint& topLeft, int row, int column) const
{
    auto picture = [this](int n) -> const QPixmap* {
        return n >= 0 && n < static_cast<int>(m_pictures.size()) ? &m_pictures[static_cast<size_t>(n)]
                                                                 : nullptr;
    };
    if (const QPixmap* background = picture(8))
        painter.drawPixmap(topLeft, *background);
    const MapRoom* room = roomAt(row, column);
    if (!room)
        return;
    const StatusCodes& codes = cfg::codes();
    const int s = roomStatusIndex(room->status, room->cardNum, codes);
    if (const QPixmap* p = picture(s + 1))
        painter.drawPixmap(topLeft, *p);
    QFont bold = painter.font();
    bold.setBold(true);
    bold.setPointSize(10);
    painter.setFont(bold);
    painter.setPen(Qt::black);
    const QFontMetrics fm(bold);
    painter.drawText(topLeft + QPoint(1, fm.ascent()), room->roomNo);
    const int half = m_cell / 2;
    if (room->status == codes.room_used) {
        painter.setPen(QApplication::palette().color(QPalette::Window)); // the system background colour
        painter.drawText(topLeft + QPoint(2, half + 8 + fm.ascent()), QString::number(room->cardNum));
    }
    if (s >= 0 && s < static_cast<int>(m_icons.size()))
        painter.drawPixmap(topLeft + QPoint(half - 9, half - 9), m_icons[static_cast<size_t>(s)]);
}

void RoomMapGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const int step = m_cell + kLineWidth;
    const QRect area = event->rect();
    const int firstRow = std::max(0, area.top() / step);
    const int lastRow = std::min(std::max(0, m_layout.rowCount() - 1), area.bottom() / step);
    const int firstCol = std::max(0, area.left() / step);
    const int lastCol = std::min(std::max(0, m_layout.columnCount() - 1), area.right() / step);
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstCol; c <= lastCol; ++c)
            drawCell(painter, cellRect(r, c).topLeft(), r, c);
    }
    if (m_selectedRow >= 0 && m_selectedColumn >= 0) {
        painter.setPen(QPen(QColor(0x1F, 0x3A, 0x93), kLineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(cellRect(m_selectedRow, m_selectedColumn).adjusted(-1, -1, 0, 0));
    }
}

void RoomMapGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const auto [row, column] = cellAtPoint(event->position().toPoint());
    if (event->modifiers() & Qt::ControlModifier)
        Q_EMIT cellCtrlClicked(row, column);
    else
        Q_EMIT cellClicked(row, column);
}

void RoomMapGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const auto [row, column] = cellAtPoint(event->position().toPoint());
    Q_EMIT cellDoubleClicked(row, column);
}

void RoomMapGrid::contextMenuEvent(QContextMenuEvent* event)
{
    const auto [row, column] = cellAtPoint(event->pos());
    Q_EMIT contextMenuAt(row, column, event->globalPos());
}
