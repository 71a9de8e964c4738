#include "RoomPictures.h"

#include <QDir>
#include <QFont>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <functional>

namespace RoomPictures {
namespace {

// One colour family per room state: calm, told apart by lightness as well as hue, and backed
// by a distinct icon shape for readers who do not see the hue difference.
struct Palette
{
    QColor body;   // the tile
    QColor band;   // the light band behind the black room number
    QColor border; // outline, and the badge under the card count
};

const QColor kEmptyCell(0xe3, 0xea, 0xf0);
const QColor kEmptyCellLine(0xc6, 0xd2, 0xdc);
const QColor kIconOutline(0x1b, 0x27, 0x36);
const QColor kIconFill(Qt::white);

// Indexed by picture number 0..7 (picture 8 is the empty cell).
const std::array<Palette, 8> kTiles{{
    {QColor(0x9f, 0xd8, 0xa4), QColor(0xee, 0xf8, 0xef), QColor(0x5f, 0xa8, 0x68)}, // vacant
    {QColor(0x4a, 0x82, 0xc4), QColor(0xe2, 0xec, 0xf8), QColor(0x22, 0x4f, 0x8a)}, // one card
    {QColor(0x2a, 0x55, 0x94), QColor(0xd8, 0xe3, 0xf3), QColor(0x14, 0x32, 0x60)}, // several cards
    {QColor(0xea, 0xb6, 0x45), QColor(0xfb, 0xf1, 0xd6), QColor(0xa8, 0x7a, 0x1c)}, // dirty
    {QColor(0x9a, 0x7c, 0xcb), QColor(0xef, 0xe9, 0xf8), QColor(0x66, 0x4a, 0x9a)}, // reserved
    {QColor(0x36, 0xa2, 0x99), QColor(0xdf, 0xf2, 0xef), QColor(0x1f, 0x74, 0x6d)}, // own use
    {QColor(0xdb, 0x67, 0x3c), QColor(0xfb, 0xe4, 0xda), QColor(0x9e, 0x41, 0x22)}, // repair
    {QColor(0x8a, 0x93, 0x9b), QColor(0xec, 0xee, 0xf0), QColor(0x5a, 0x62, 0x69)}, // closed
}};

// Height of the band that holds the room number: a bold 10 pt line is about 16 pixels.
int bandHeight(int size)
{
    return std::min(17, size / 2);
}

bool isOccupiedPicture(int n)
{
    return n == 1 || n == 2;
}

void drawEmptyCell(QPainter& p, int size)
{
    p.fillRect(0, 0, size, size, kEmptyCell);
    QPen dashes(kEmptyCellLine, 1, Qt::DashLine);
    p.setPen(dashes);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3.5, 3.5, size - 7, size - 7), 4, 4);
}

void drawTile(QPainter& p, int n, int size)
{
    const Palette& c = kTiles[static_cast<size_t>(n)];
    p.fillRect(0, 0, size, size, kEmptyCell);
    const QRectF tile(1.5, 1.5, size - 3, size - 3);
    QPainterPath outline;
    outline.addRoundedRect(tile, 5, 5);

    p.setPen(Qt::NoPen);
    p.setBrush(c.body);
    p.drawPath(outline);
    p.save();
    p.setClipPath(outline);
    p.fillRect(QRectF(0, 0, size, bandHeight(size)), c.band);
    if (isOccupiedPicture(n)) {
        // Badge under the card count, which the map writes in the light system colour.
        const int top = size / 2 + 7;
        p.setBrush(c.border);
        p.drawRoundedRect(QRectF(1, top, 18, size - top - 2), 3, 3);
    }
    p.restore();

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c.border, 1));
    p.drawPath(outline);
    p.setPen(QPen(c.border.lighter(130), 1));
    p.drawLine(QPointF(2, bandHeight(size) + 0.5), QPointF(size - 2, bandHeight(size) + 0.5));
}

// Fills a shape white with a dark outline.
void drawShape(QPainter& p, const QPainterPath& shape)
{
    p.setPen(QPen(kIconOutline, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kIconFill);
    p.drawPath(shape);
}

// A thick white line with a dark edge (broom handle, lock shackle).
void drawBar(QPainter& p, const QPainterPath& line, qreal width)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kIconOutline, width + 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(line);
    p.setPen(QPen(kIconFill, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(line);
}

QPainterPath personPath(QPointF origin, qreal scale)
{
    QPainterPath path;
    const auto at = [&](qreal x, qreal y) { return origin + QPointF(x * scale, y * scale); };
    path.addEllipse(at(0, -9), 5.2 * scale, 5.2 * scale);
    QPainterPath body;
    body.moveTo(at(-9.5, 11));
    body.cubicTo(at(-9.5, 0), at(-5, -2.5), at(0, -2.5));
    body.cubicTo(at(5, -2.5), at(9.5, 0), at(9.5, 11));
    body.closeSubpath();
    return path.united(body);
}

void drawOneCard(QPainter& p)
{
    drawShape(p, personPath(QPointF(16, 16.5), 1.1));
}

void drawSeveralCards(QPainter& p)
{
    // Kept to the right so a two-digit card count beside it stays clear.
    drawShape(p, personPath(QPointF(22, 13.5), 0.85));
    drawShape(p, personPath(QPointF(14, 18.5), 0.95));
}

void drawDirty(QPainter& p)
{
    QPainterPath handle;
    handle.moveTo(27.5, 3);
    handle.lineTo(17, 15.5);
    drawBar(p, handle, 2.8);

    QPainterPath head;
    head.moveTo(11.5, 11.5);
    head.lineTo(22, 19.5);
    head.lineTo(14, 30);
    head.quadTo(6.5, 28.5, 2.5, 22);
    head.closeSubpath();
    drawShape(p, head);

    p.setPen(QPen(kIconOutline, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.5, 18.5), QPointF(6.5, 24.5));
    p.drawLine(QPointF(14.5, 20.5), QPointF(9.5, 27));
    p.drawLine(QPointF(17.5, 22.5), QPointF(13, 28.5));
}

void drawReserved(QPainter& p)
{
    QPainterPath sheet;
    sheet.addRoundedRect(QRectF(5, 7, 22, 21), 2.5, 2.5);
    drawShape(p, sheet);
    p.setPen(Qt::NoPen);
    p.setBrush(kIconOutline);
    p.drawRect(QRectF(5.5, 7.5, 21, 5));
    for (const qreal x : {11.0, 21.0}) {
        QPainterPath ring;
        ring.moveTo(x, 4);
        ring.lineTo(x, 9.5);
        drawBar(p, ring, 1.6);
    }
    p.setPen(QPen(kIconOutline, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(10.5, 19.5);
    tick.lineTo(14.5, 23.5);
    tick.lineTo(21.5, 15.5);
    p.drawPath(tick);
}

void drawOwnUse(QPainter& p)
{
    QPainterPath house;
    house.moveTo(16, 3.5);
    house.lineTo(29, 15);
    house.lineTo(25.5, 15);
    house.lineTo(25.5, 28);
    house.lineTo(6.5, 28);
    house.lineTo(6.5, 15);
    house.lineTo(3, 15);
    house.closeSubpath();
    drawShape(p, house);
    p.setPen(Qt::NoPen);
    p.setBrush(kIconOutline);
    p.drawRoundedRect(QRectF(13, 19, 6, 9), 1, 1);
}

void drawRepair(QPainter& p)
{
    // Built lying down with the jaw on the left, then turned so the jaw points up-left.
    QPainterPath head;
    head.addEllipse(QPointF(-7.5, 0), 7, 7);
    QPainterPath handle;
    handle.addRoundedRect(QRectF(-8, -3.2, 21, 6.4), 3.2, 3.2);
    QPainterPath jaw;
    jaw.addRect(QRectF(-16, -2.6, 8.5, 5.2));
    const QPainterPath wrench = head.united(handle).subtracted(jaw);

    QTransform turn;
    turn.translate(16, 16);
    turn.rotate(45);
    drawShape(p, turn.map(wrench));
}

void drawClosed(QPainter& p)
{
    QPainterPath shackle;
    shackle.moveTo(10.5, 15);
    shackle.lineTo(10.5, 10);
    shackle.arcTo(QRectF(10.5, 4.5, 11, 11), 180, -180);
    shackle.lineTo(21.5, 15);
    drawBar(p, shackle, 2.6);

    QPainterPath body;
    body.addRoundedRect(QRectF(6, 14, 20, 15), 2.5, 2.5);
    drawShape(p, body);
    p.setPen(Qt::NoPen);
    p.setBrush(kIconOutline);
    p.drawEllipse(QPointF(16, 20), 2.3, 2.3);
    p.drawRect(QRectF(15, 21, 2, 4.5));
}

const std::array<std::function<void(QPainter&)>, kIconCount> kIconPainters{
    drawOneCard, drawSeveralCards, drawDirty, drawReserved, drawOwnUse, drawRepair, drawClosed,
};

bool save(const QImage& image, const QString& path, const char* format)
{
    QImageWriter writer(path, format);
    return writer.write(image);
}

void drawText(QPainter& p, const QRect& box, const QString& text, const QFont& font, const QColor& colour)
{
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

QFont roomNumberFont()
{
    QFont font;
    font.setPointSize(10);
    font.setBold(true);
    return font;
}

QFont captionFont()
{
    QFont font;
    font.setPointSize(8);
    return font;
}

} // namespace

QImage picture(int n, int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (n == kEmptyCellPicture)
        drawEmptyCell(p, size);
    else
        drawTile(p, n, size);
    return image;
}

QImage icon(int s)
{
    QImage image(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        kIconPainters[static_cast<size_t>(s)](p);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

QString pictureFileName(int n)
{
    return QStringLiteral("bmp/%1.bmp").arg(n);
}

QString iconFileName(int s)
{
    return QStringLiteral("ico/%1.ico").arg(s);
}

QStringList writeAll(const QString& folder, int size)
{
    const QDir dir(folder);
    dir.mkpath(QStringLiteral("bmp"));
    dir.mkpath(QStringLiteral("ico"));
    QStringList failed;
    for (int n = 0; n < kPictureCount; ++n) {
        const QString path = dir.filePath(pictureFileName(n));
        if (!save(picture(n, size), path, "bmp"))
            failed.append(path);
    }
    for (int s = 0; s < kIconCount; ++s) {
        const QString path = dir.filePath(iconFileName(s));
        if (!save(icon(s), path, "ico"))
            failed.append(path);
    }
    return failed;
}

QImage composeCell(int statusIndex, const QString& roomNumber, int cardCount, int size,
                   const QColor& systemBackground)
{
    QImage cell(size, size, QImage::Format_RGB32);
    QPainter p(&cell);
    p.drawImage(0, 0, picture(kEmptyCellPicture, size));
    p.drawImage(0, 0, picture(statusIndex + 1, size));
    const QFont font = roomNumberFont();
    drawText(p, QRect(0, 0, size, size), roomNumber, font, Qt::black);
    if (statusIndex == 0 || statusIndex == 1)
        drawText(p, QRect(2, size / 2 + 8, size, size), QString::number(cardCount), font, systemBackground);
    if (statusIndex >= 0)
        p.drawImage(size / 2 - 9, size / 2 - 9, icon(statusIndex));
    return cell;
}

QImage previewSheet(int size)
{
    struct Sample
    {
        int status; // -2: no room in the cell
        const char* room;
        int cards;
        const char* caption;
    };
    static const Sample legend[] = {
        {-1, "101", 0, "vacant"}, {0, "102", 1, "1 card"},   {1, "103", 3, "3 cards"},
        {2, "104", 0, "dirty"},   {3, "105", 0, "reserved"}, {4, "106", 0, "own use"},
        {5, "107", 0, "repair"},  {6, "108", 0, "closed"},   {1, "10305", 10, "10 cards"},
        {-2, "", 0, "no room"},
    };
    static const Sample floors[] = {
        {0, "201", 1, ""},  {-1, "202", 0, ""}, {-1, "203", 0, ""}, {2, "204", 0, ""},  {1, "205", 2, ""},
        {-1, "206", 0, ""}, {3, "207", 0, ""},  {0, "208", 1, ""},  {-1, "209", 0, ""}, {-1, "210", 0, ""},
        {-1, "301", 0, ""}, {5, "302", 0, ""},  {0, "303", 1, ""},  {-1, "304", 0, ""}, {6, "305", 0, ""},
        {4, "306", 0, ""},  {-1, "307", 0, ""}, {-2, "", 0, ""},    {-2, "", 0, ""},    {-2, "", 0, ""},
    };
    constexpr int kColumns = 10;
    const int grid = 2; // the map's grid lines
    const int pitch = size + grid;
    const int captionHeight = 16;
    const int margin = 12;
    const QColor skyBlue(0xa6, 0xca, 0xf0);
    const QColor buttonFace(0xf0, 0xf0, 0xf0);

    const int width = margin * 2 + kColumns * pitch;
    const int height = margin * 5 + pitch * 3 + captionHeight * 2 + size + kIconSize * 2 + 4;
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);

    // The map as the console composes it: sky-blue ground, 2-pixel grid lines.
    const auto drawMapRow = [&](const Sample* samples, int count, int top) {
        const int rows = (count + kColumns - 1) / kColumns;
        p.fillRect(margin - grid, top - grid, kColumns * pitch + grid, rows * pitch + grid, skyBlue);
        for (int i = 0; i < count; ++i) {
            const Sample& c = samples[i];
            const QPoint at(margin + (i % kColumns) * pitch, top + (i / kColumns) * pitch);
            if (c.status < -1)
                p.drawImage(at, picture(kEmptyCellPicture, size));
            else
                p.drawImage(at, composeCell(c.status, QLatin1String(c.room), c.cards, size, buttonFace));
            drawText(p, QRect(at.x(), at.y() + pitch, pitch, captionHeight), QLatin1String(c.caption),
                     captionFont(), Qt::darkGray);
        }
        return top + rows * pitch;
    };

    int y = drawMapRow(legend, kColumns, margin) + captionHeight + margin;
    y = drawMapRow(floors, 2 * kColumns, y) + margin;

    // The nine pictures as stored, then the icons alone and on their own tiles.
    for (int n = 0; n < kPictureCount; ++n) {
        const int x = margin + n * pitch;
        p.drawImage(x, y, picture(n, size));
        drawText(p, QRect(x, y + size, pitch, captionHeight), QStringLiteral("%1.bmp").arg(n), captionFont(),
                 Qt::darkGray);
    }
    y += size + captionHeight + margin;
    for (int s = 0; s < kIconCount; ++s) {
        const int x = margin + s * pitch;
        p.drawImage(x, y, icon(s));
        QImage onTile = picture(s + 1, kIconSize);
        QPainter tile(&onTile);
        tile.drawImage(0, 0, icon(s));
        tile.end();
        p.drawImage(x, y + kIconSize + 4, onTile);
    }
    return sheet;
}

} // namespace RoomPictures
