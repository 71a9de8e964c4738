#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

// The pictures of the room map. The map draws, for every cell:
//   picture 8 (the empty cell), then picture s + 1 for the room's status index s
//   (-1 vacant, 0 occupied with one card, 1 occupied with several, 2 dirty, 3 reserved,
//   4 own use, 5 repair, 6 closed), the room number in bold black 10 pt at the top-left,
//   the card count at (2, size/2 + 8) in the system background colour when occupied,
//   and icon s (32 x 32) at (size/2 - 9, size/2 - 9).
// The tiles keep the number on a light band at the top and, on occupied rooms, put a dark
// badge under the count; the icons are white shapes with a dark outline on a transparent
// ground, so they read on every tile colour.
namespace RoomPictures {

constexpr int kPictureCount = 9;
constexpr int kIconCount = 7;
constexpr int kIconSize = 32;
constexpr int kDefaultSize = 48;
constexpr int kMinSize = 32; // below 48 the fixed 32 x 32 icon starts to cover the room number
constexpr int kMaxSize = 256;
constexpr int kEmptyCellPicture = 8;

// Picture n (0..8) as size x size pixels without alpha, as the map's bitmaps are.
QImage picture(int n, int size);
// Icon s (0..6): 32 x 32 with alpha.
QImage icon(int s);

QString pictureFileName(int n); // "bmp/<n>.bmp"
QString iconFileName(int s);    // "ico/<s>.ico"

// Writes every picture and icon below folder; returns the files that could not be written.
QStringList writeAll(const QString& folder, int size);

// One cell composed the way the room map draws it (status index -1..6).
QImage composeCell(int statusIndex, const QString& roomNumber, int cardCount, int size,
                   const QColor& systemBackground);
// A sheet with every state composed as on the map, the raw pictures and the icons.
QImage previewSheet(int size);

} // namespace RoomPictures
