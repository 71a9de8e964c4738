#pragma once

// The card work of the desk's reading screens, without windows: reading a guest card with its
// issue record, room change, stay change and cancellation on the encoder; cancellation of a
// guest card the guest kept; reading and resetting a card of any kind; the clock card.
//
// Every operation works on the global card object (Card()) and the data module (DataM()), and
// raises Eic with the "except" entry the screen shows. The encoder port must be open (the
// screens open it when they are shown). Database errors of the direct record edits pass through
// as DatabaseError; the data module's own record keeping swallows its errors.

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

class TCard;

namespace CardReading {

// --- result codes to "except" entries (0: no failure) -----------------------------------------
// Reads of a guest or clock card: 1 no card, 2 foreign signature, 4 port, 5 site byte, 7 blank.
// Other codes (3, 6) are not judged here: the image is decoded and checked further.
int readFailure(int result);
// Reads on the staff-card screen: as readFailure, but 4 → 60 and anything above 7 → 61.
int staffReadFailure(int result);
// Writes and erasures. A code the table does not name (11 from the auxiliary sector, 6) is still a
// failed write: it becomes 65 rather than passing for a written card.
int writeFailure(int result);

// Date-times as the reading screens show them.
QString dateTimeText(const QDateTime& when);
// "label" 115 + k when exactly bit k of the door byte is set; empty otherwise.
QString doorOptionText(quint8 doorByte);

// --- guest cards ------------------------------------------------------------------------------

enum class Mode { Read, RoomChange, StayChange, Cancel };
// The reading screen's mode from its caption ("label" 27, "label" 28, "form" 5; anything else reads).
Mode modeForCaption(const QString& caption);

// A guest card on the encoder together with its active issue record.
struct GuestCard
{
    qint64 serial = 0;
    QString imageHex;
    QDateTime start;
    QDateTime end;
    qint64 nights = 0; // whole days between the dates of start and end
    QString roomNo;
    QString holderName;
    QString remark;
    QString ownId;
    bool lostCardReplacement = false;
    QString publishTime;
    QString publishOperator;

    // Status panel 0: "Guest Card", or "No Card " when the record names no room.
    QString kindText() const;
    // Status panel 2: "label" 26 + " : " + the serial.
    QString serialText() const;
};

// Reads the card (port open), decodes it and refuses what is not a guest card of this hotel:
// Eic 49/50/63/57/54 by result, 40 for another kind (Card().kindName names it).
void readGuestImage();
// readGuestImage, then the active issue record (Eic 8 when there is none); the record's room and
// holder go into the card record.
GuestCard ReadGuestCard();

// Each of these re-reads the card on the encoder first (so they act on the card lying there and
// its own record), checks the operator's right (Eic 81) and writes the card before any record.
// Erases the card and cancels its record ("GC_ISCANCEL", room recounted); log type 3.
void CancelGuestCard();
// Moves the card to another room: rewritten for the room, record and both rooms' counts follow;
// log type 2. Eic 13/17 for an empty or unknown room, 16 when the room is full. Runs in the
// process-wide critical section.
void ChangeRoom(const QString& newRoomNo);
// New check-out: the card's start becomes now minus 5 minutes, its end newEnd; the record's
// check-out follows (its check-in stays). Log type 2. Runs in the process-wide critical section.
void ChangeStay(const QDateTime& newEnd);

// --- cancellation without the card ------------------------------------------------------------

struct IssuedCard
{
    QString imageHex;
    qint64 serial = 0;
};
// Cancels the record of a card the guest kept ("GC_NOCARDCANCEL"; nothing when selected is empty),
// writes log type 3 and rewrites the room's count from its active guest cards: the room keeps its
// status while cards remain and becomes "room_empty" when none do.
void CancelWithoutCard(const QString& roomNo, const std::optional<IssuedCard>& selected);

// --- cards of any kind ------------------------------------------------------------------------

// What the staff-card screen shows of a card, field by field.
struct CardView
{
    QString cardType;
    QString cardNo;
    QString building;
    QString floor;
    QString room;
    QString area;
    QString inTime;
    QString outTime;
    QString publishOperator;
    QString publishTime;
    QString holderName;
    QString remark;
    QString ownId;
    bool loss = false;
    QString label1; // door option, whole floor or whole building
};

// The active issue record of a card, as far as the staff-card screen shows it.
struct IssueRecord
{
    QString holderName;
    QString ownId;
    QString remark;
    QString publishTime;
    QString publishOperator;
    bool loss = false;
};

// Where the staff-card display looks things up (the database, or a test's tables).
struct Lookups
{
    std::function<QString(quint8 building, quint8 floor, quint8 roomIndex)> roomAt;
    std::function<std::optional<IssueRecord>(const QString& imageHex, qint64 serial)> activeRecord;
    std::function<QString(quint8 workArea)> workAreaName;
};
Lookups databaseLookups();

// The display rules per kind for a decoded card.
CardView describeCard(const TCard& card, const Lookups& lookups);
// Reads the card on the encoder and describes it. Results 3 and 6 are no error: the card is not
// decoded and only its serial is shown. Eic by staffReadFailure otherwise.
CardView ReadAnyCard(const Lookups& lookups);
// Re-reads the card on the encoder, resets it (every image byte 0xFF, factory Key A) and cancels
// its record of whatever kind ("GC_ISCANCEL"); then switches rooms between vacant and occupied.
void ResetAnyCard();

// --- clock card -------------------------------------------------------------------------------

// The end a clock card carries: 1 January of 2000 + the ISO weekday of its start (Monday 2001 …
// Sunday 2007), which is how the locks learn the day of the week.
QDateTime clockCardEnd(const QDateTime& start);

struct ClockCardReading
{
    bool isClockCard = false;
    qint64 serial = 0;
    QDateTime carried; // the time the card carries
    QString kindName;
};
// Reads the card on the encoder (Eic by readFailure).
ClockCardReading ReadClockCard();
// Re-reads the card (Eic 40 when it is not a clock card) and writes it with the new time and the
// weekday end; Eic by writeFailure. Nothing is recorded.
void UpdateClockCard(const QDateTime& newTime);

} // namespace CardReading
