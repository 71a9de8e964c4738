// The room map: where rooms sit (floors wrap, a new floor starts a new row), what a cell shows
// for each room state, and the building selector of the console.

#include "ConsoleDesk.h"
#include "frontdesk/RoomMapGrid.h"
#include "frontdesk/RoomMapLayout.h"

#include <QComboBox>
#include <QPainter>
#include <set>

namespace {

// One map row per line of text, a letter per room: the n-th group of rooms (a floor) is the
// n-th letter, an empty cell is '.', trailing empty cells are left out.
QString picture(const RoomMapLayout& layout, const std::vector<int>& groupOfRoom)
{
    QStringList rows;
    for (int r = 0; r < layout.rowCount(); ++r) {
        QString row;
        for (int c = 0; c < layout.columnCount(); ++c) {
            const int n = layout.roomAt(r, c);
            row += n == 0 ? QChar(u'.') : QChar(u'A' + groupOfRoom[static_cast<size_t>(n - 1)]);
        }
        while (row.endsWith(u'.'))
            row.chop(1);
        rows << row;
    }
    return rows.join(u'/');
}

// "1.1x25,1.2x12": 25 rooms on floor 1 of building 1, then 12 on floor 2.
std::vector<RoomMapLayout::Position> rooms(const QString& layout, std::vector<int>* groupOfRoom)
{
    std::vector<RoomMapLayout::Position> list;
    int group = 0;
    for (const QString& part : layout.split(u',')) {
        const QStringList where = part.section(u'x', 0, 0).split(u'.');
        const int count = part.section(u'x', 1, 1).toInt();
        for (int i = 0; i < count; ++i) {
            list.push_back({where[0].toInt(), where[1].toInt()});
            groupOfRoom->push_back(group);
        }
        ++group;
    }
    return list;
}

QString row(char letter, int count)
{
    return QString(count, QLatin1Char(letter));
}

// Distinct flat colours for the nine pictures and seven icons, so a pixel tells which was drawn.
QRgb pictureColour(int n)
{
    return QColor::fromHsv(n * 40, 200, 160).rgb();
}
QRgb iconColour(int s)
{
    return QColor::fromHsv(20 + s * 40, 255, 255).rgb();
}

std::vector<QPixmap> flatPixmaps(int count, int size, QRgb (*colour)(int))
{
    std::vector<QPixmap> list;
    for (int i = 0; i < count; ++i) {
        QPixmap p(size, size);
        p.fill(QColor(colour(i)));
        list.push_back(p);
    }
    return list;
}

struct StatusCodesGuard
{
    StatusCodes saved = cfg::codes();
    ~StatusCodesGuard() { cfg::codes() = saved; }
};

} // namespace

class TestRoomMap : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void layout_data();
    void layout();
    void layoutStopsAt256Rows();
    void cellDrawing_data();
    void cellDrawing();
    void cardCountFollowsTheRoom();
    void consoleMapFollowsColumns_data();
    void consoleMapFollowsColumns();
    void buildingSelector();
};

void TestRoomMap::layout_data()
{
    QTest::addColumn<QString>("floors");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("expected");
    QTest::newRow("floor longer than the columns wraps")
        << "1.1x25,1.2x12" << 20 << row('A', 20) + "/" + row('A', 5) + "/" + row('B', 12);
    QTest::newRow("floor of exactly the columns leaves no empty row")
        << "1.1x20,1.2x12" << 20 << row('A', 20) + "/" + row('B', 12);
    QTest::newRow("last floor exactly full adds no row") << "1.1x4,1.2x4" << 4 << "AAAA/BBBB";
    QTest::newRow("floor of twice the columns") << "1.1x6,1.2x1" << 3 << "AAA/AAA/B";
    QTest::newRow("new building on the same floor number") << "1.1x3,2.1x2" << 20 << "AAA/BB";
    QTest::newRow("floors of one room") << "1.1x1,1.2x1,1.3x1" << 20 << "A/B/C";
    QTest::newRow("no columns counts as one") << "1.1x2,1.2x1" << 0 << "A/A/B";
    QTest::newRow("no rooms") << "" << 20 << "";
}

void TestRoomMap::layout()
{
    QFETCH(QString, floors);
    QFETCH(int, columns);
    QFETCH(QString, expected);
    std::vector<int> groups;
    RoomMapLayout map;
    map.build(floors.isEmpty() ? std::vector<RoomMapLayout::Position>{} : rooms(floors, &groups), columns);
    QCOMPARE(picture(map, groups), expected);
    // Every room can be found again from its number in the result set.
    for (size_t n = 1; n <= groups.size(); ++n) {
        const auto cell = map.cellOf(static_cast<int>(n));
        QVERIFY(cell);
        QCOMPARE(map.roomAt(cell->first, cell->second), static_cast<int>(n));
    }
}

void TestRoomMap::layoutStopsAt256Rows()
{
    std::vector<RoomMapLayout::Position> list;
    for (int floor = 0; floor < 300; ++floor)
        list.push_back({1, floor});
    RoomMapLayout map;
    map.build(list, 20);
    QCOMPARE(map.rowCount(), RoomMapLayout::kMaxRows);
    QCOMPARE(map.roomAt(255, 0), 256);
    QCOMPARE(map.roomAt(256, 0), 0);
    QVERIFY(!map.cellOf(257));
}

void TestRoomMap::cellDrawing_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("cards");
    QTest::addColumn<QString>("usedCode"); // the configured code of an occupied room
    QTest::addColumn<int>("picture");
    QTest::addColumn<int>("icon"); // -1: none
    QTest::addColumn<bool>("countShown");
    const QString used = QStringLiteral("room_used");
    QTest::newRow("vacant") << "room_empty" << 0 << used << 0 << -1 << false;
    QTest::newRow("unknown code drawn as vacant") << "room_unknown" << 2 << used << 0 << -1 << false;
    QTest::newRow("occupied, one card") << "room_used" << 1 << used << 1 << 0 << true;
    QTest::newRow("occupied, no card yet") << "room_used" << 0 << used << 1 << 0 << true;
    QTest::newRow("occupied, three cards") << "room_used" << 3 << used << 2 << 1 << true;
    QTest::newRow("dirty") << "room_dirty" << 0 << used << 3 << 2 << false;
    QTest::newRow("reserved") << "room_reserve" << 0 << used << 4 << 3 << false;
    QTest::newRow("own use") << "room_self" << 0 << used << 5 << 4 << false;
    QTest::newRow("under repair") << "room_repair" << 0 << used << 6 << 5 << false;
    QTest::newRow("closed") << "room_closed" << 0 << used << 7 << 6 << false;
    QTest::newRow("configured code") << "occupied" << 2 << "occupied" << 2 << 1 << true;
    QTest::newRow("key name when another code is configured")
        << "room_used" << 2 << "occupied" << 0 << -1 << false;
}

void TestRoomMap::cellDrawing()
{
    QFETCH(QString, status);
    QFETCH(int, cards);
    QFETCH(QString, usedCode);
    QFETCH(int, picture);
    QFETCH(int, icon);
    QFETCH(bool, countShown);
    const StatusCodesGuard restore;
    cfg::codes().room_used = usedCode;
    constexpr int kCell = 48;
    RoomMapGrid grid;
    grid.setPictures(flatPixmaps(9, kCell, pictureColour), flatPixmaps(7, 32, iconColour));
    grid.setCellSize(kCell);
    grid.setRooms({{1, 1, QStringLiteral("7"), status, cards}}, 20);
    QImage cell(kCell, kCell, QImage::Format_RGB32);
    cell.fill(Qt::white);
    QPainter painter(&cell);
    grid.drawCell(painter, {0, 0}, 0, 0);
    painter.end();

    // Right of the short room number, above the icon: the room's picture.
    QCOMPARE(cell.pixel(44, 4), pictureColour(picture));
    // The icon sits at (bgkd/2 - 9, bgkd/2 - 9).
    QCOMPARE(cell.pixel(30, 30), icon < 0 ? pictureColour(picture) : iconColour(icon));
    QCOMPARE(cell.pixel(14, 14), pictureColour(picture));
    // The card count, in the system background colour, at (2, bgkd/2 + 8).
    const QRgb countColour = QApplication::palette().color(QPalette::Window).rgb();
    bool countFound = false;
    for (int y = kCell / 2 + 8; y < kCell && !countFound; ++y)
        for (int x = 1; x < 14 && !countFound; ++x)
            countFound = cell.pixel(x, y) == countColour;
    QCOMPARE(countFound, countShown);
    // The room number in black at the top left.
    bool numberFound = false;
    for (int y = 0; y < 16 && !numberFound; ++y)
        for (int x = 0; x < 12 && !numberFound; ++x)
            numberFound = cell.pixel(x, y) == qRgb(0, 0, 0);
    QVERIFY(numberFound);
}

void TestRoomMap::cardCountFollowsTheRoom()
{
    ConsoleDesk desk; // the sample hotel: 10105 occupied with three cards, 10102 with one
    const RoomMapGrid& grid = *desk.console.DrawGrid1;
    auto shown = [&](const QString& roomNo) -> const MapRoom* {
        for (const MapRoom& r : grid.rooms())
            if (r.roomNo == roomNo)
                return &r;
        return nullptr;
    };
    QVERIFY(shown(QStringLiteral("10105")));
    QCOMPARE(shown(QStringLiteral("10105"))->cardNum, 3);
    QCOMPARE(shown(QStringLiteral("10102"))->cardNum, 1);
    QCOMPARE(shown(QStringLiteral("10309"))->status, cfg::codes().room_repair);

    // Three cards and four cards differ only in the count written on the cell.
    RoomMapGrid probe;
    probe.setPictures(flatPixmaps(9, 48, pictureColour), flatPixmaps(7, 32, iconColour));
    auto render = [&](int cards) {
        probe.setRooms({{1, 1, QStringLiteral("7"), cfg::codes().room_used, cards}}, 20);
        QImage image(48, 48, QImage::Format_RGB32);
        QPainter painter(&image);
        probe.drawCell(painter, {0, 0}, 0, 0);
        return image.copy(0, 32, 14, 16);
    };
    QVERIFY(render(3) != render(4));
}

void TestRoomMap::consoleMapFollowsColumns_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");       // building 1: 4 floors of 12 rooms
    QTest::addColumn<QString>("second"); // the room at the start of map row 1
    QTest::newRow("5 columns: 3 rows a floor") << 5 << 12 << "10106";
    QTest::newRow("7 columns: 2 rows a floor") << 7 << 8 << "10108";
    QTest::newRow("12 columns: floors fill rows exactly") << 12 << 4 << "10201";
    QTest::newRow("20 columns") << 20 << 4 << "10201";
}

void TestRoomMap::consoleMapFollowsColumns()
{
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(QString, second);
    ConsoleDesk desk;
    cfg::sys().cols_num = static_cast<quint8>(columns);
    desk.console.BuildRoomMap();
    const RoomMapGrid& grid = *desk.console.DrawGrid1;
    QCOMPARE(grid.layout().rowCount(), rows);
    QCOMPARE(grid.layout().columnCount(), columns);
    QVERIFY(grid.roomAt(1, 0));
    QCOMPARE(grid.roomAt(1, 0)->roomNo, second);
    QCOMPARE(grid.sizeHint().width(), columns * (cfg::sys().bgkd + 2));
}

void TestRoomMap::buildingSelector()
{
    ConsoleDesk desk;
    QComboBox& box = *desk.console.SetBuild;
    const QString all = cfg::texts().label(196);
    QCOMPARE(box.count(), 3);
    QCOMPARE(box.itemText(0), QStringLiteral("1"));
    QCOMPARE(box.itemText(1), QStringLiteral("2"));
    QCOMPARE(box.itemText(2), all);
    auto buildingsShown = [&] {
        std::set<int> buildings;
        for (const MapRoom& r : desk.console.DrawGrid1->rooms())
            buildings.insert(r.building);
        return buildings;
    };
    auto choose = [&](int index) {
        box.setCurrentIndex(index);
        Q_EMIT box.textActivated(box.itemText(index));
    };
    QCOMPARE(buildingsShown(), std::set<int>{1});
    QCOMPARE(desk.console.DrawGrid1->rooms().size(), size_t(48));
    choose(1);
    QCOMPARE(buildingsShown(), std::set<int>{2});
    choose(2);
    QCOMPARE(buildingsShown(), (std::set<int>{1, 2}));
    QCOMPARE(desk.console.DrawGrid1->rooms().size(), size_t(96));

    // Typed: digits only; an emptied box goes back to its first entry.
    QLineEdit& edit = *box.lineEdit();
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("2"));
    QCOMPARE(buildingsShown(), std::set<int>{2});
    edit.selectAll();
    QTest::keyClicks(&edit, QStringLiteral("b"));
    QCOMPARE(box.currentText(), QStringLiteral("1"));
    QCOMPARE(buildingsShown(), std::set<int>{1});
    edit.selectAll();
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(box.currentText(), QStringLiteral("1"));
    QCOMPARE(buildingsShown(), std::set<int>{1});
}

QTEST_MAIN(TestRoomMap)
#include "TestRoomMap.moc"
