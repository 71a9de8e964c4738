#include "frontdesk/CardReading.h"

#include "card/TCard.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/DataSet.h"
#include "datastore/TDataM.h"
#include "platform/Clock.h"

#include <QMutexLocker>

namespace CardReading {

namespace {

const QString kAllRooms = QStringLiteral("select * from room order by building_id,floor,room_no_id");

const TextTables& T()
{
    return cfg::texts();
}

QDateTime now()
{
    return Clock::instance().now();
}

void requireRight(const char* code)
{
    if ((DataM().CheckRight(QLatin1String(code)) & 0xFF) == 0)
        throw Eic(81);
}

void requireWritten(int result)
{
    if (const int failure = writeFailure(result))
        throw Eic(failure);
}

// Text of a field that may be NULL (empty then).
QString text(const DataSet& set, const char* field)
{
    const QVariant v = set.field(QLatin1String(field));
    return v.isNull() ? QString() : v.toString();
}

QString dateTimeField(const DataSet& set, const char* field)
{
    return dateTimeText(set.field(QLatin1String(field)).toDateTime());
}

// A byte of the room address that means something: 0 and 255 are "none".
QString addressByte(quint8 b)
{
    return b == 0 || b == 255 ? QString() : QString::number(b);
}

QString twoHex(quint8 b)
{
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

// The record found by the last FindActiveCard gets the new image and the operator who wrote it.
void editFoundRecord(const QString& newImageHex, const std::function<void(DataSet&)>& more)
{
    TDataM& dm = DataM();
    DataSet& record = dm.Q_curr_issue_card;
    record.edit();
    record.setField(QStringLiteral("publish_datetime"), now());
    record.setField(QStringLiteral("publish_operator"), dm.currentOperatorTrueName());
    record.setField(QStringLiteral("card_date_hex"), newImageHex);
    more(record);
    record.post();
}

void addCardToRoom(const QString& roomNo)
{
    DataSet& room = DataM().Q_curr_room;
    DataM().OpenCurrentRoom(roomNo);
    if (!room.isOpen() || room.isEmpty())
        return;
    room.edit();
    room.setField(QStringLiteral("card_num"), room.field(QStringLiteral("card_num")).toInt() + 1);
    room.setField(QStringLiteral("room_status_code"), cfg::codes().room_used);
    room.post();
}

void takeCardFromRoom(const QString& roomNo)
{
    DataSet& room = DataM().Q_curr_room;
    DataM().OpenCurrentRoom(roomNo);
    if (!room.isOpen() || room.isEmpty())
        return;
    const int cards = room.field(QStringLiteral("card_num")).toInt();
    room.edit();
    if (cards > 0)
        room.setField(QStringLiteral("card_num"), cards - 1);
    if (cards == 1)
        room.setField(QStringLiteral("room_status_code"), cfg::codes().room_empty);
    room.post();
}

std::optional<IssueRecord> activeRecordInDatabase(const QString& imageHex, qint64 serial)
{
    TDataM& dm = DataM();
    if (!dm.FindActiveCard(imageHex, serial))
        return std::nullopt;
    const DataSet& r = dm.Q_curr_issue_card;
    IssueRecord record;
    record.holderName = text(r, "own_name");
    record.ownId = text(r, "own_id");
    record.remark = text(r, "remark");
    record.publishTime = dateTimeField(r, "publish_datetime");
    record.publishOperator = text(r, "publish_operator");
    record.loss = r.field(QStringLiteral("yn_loss")).toInt() == 1;
    return record;
}

QString roomAtInDatabase(quint8 building, quint8 floor, quint8 roomIndex)
{
    // Q_room is the room list the reading screens reopen when they are shown.
    const DataSet& rooms = DataM().Q_room;
    const int b = rooms.fieldIndex(QStringLiteral("building_id"));
    const int f = rooms.fieldIndex(QStringLiteral("floor"));
    const int i = rooms.fieldIndex(QStringLiteral("room_no_id"));
    const int n = rooms.fieldIndex(QStringLiteral("room_no"));
    if (!rooms.isOpen() || b < 0 || f < 0 || i < 0 || n < 0)
        return {};
    for (int row = 0; row < rooms.recordCount(); ++row) {
        if (rooms.value(row, b).toInt() == building && rooms.value(row, f).toInt() == floor &&
            rooms.value(row, i).toInt() == roomIndex) {
            const QVariant roomNo = rooms.value(row, n);
            return roomNo.isNull() ? QString() : roomNo.toString();
        }
    }
    return {};
}

QString workAreaNameInDatabase(quint8 workArea)
{
    // A list of its own: Q_workarea may be on the work-area screen's grid.
    DataSet areas;
    areas.setConnection(&DataM().Conn);
    areas.setSql(QStringLiteral("select descript from workarea where workarea_id = :area"));
    areas.bindValue(QStringLiteral("area"), workArea);
    areas.open();
    return areas.isEmpty() ? QString() : text(areas, "descript");
}

} // namespace

// --- result codes ---------------------------------------------------------------------------------

int readFailure(int result)
{
    switch (result) {
    case 1:
        return 49;
    case 2:
        return 50;
    case 4:
        return 63;
    case 5:
        return 57;
    case 7:
        return 54;
    default:
        return 0;
    }
}

int staffReadFailure(int result)
{
    if (result > 7)
        return 61;
    if (result == 4)
        return 60;
    return readFailure(result);
}

int writeFailure(int result)
{
    switch (result) {
    case 0:
        return 0;
    case 1:
        return 49;
    case 2:
        return 50;
    case 3:
        return 53;
    case 4:
        return 63;
    case 5:
        return 57;
    default:
        return 65;
    }
}

QString dateTimeText(const QDateTime& when)
{
    return when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

QString doorOptionText(quint8 doorByte)
{
    for (int k = 0; k < 8; ++k) {
        if (doorByte == (1 << k))
            return T().label(115 + k);
    }
    return {};
}

// --- guest cards ----------------------------------------------------------------------------------

Mode modeForCaption(const QString& caption)
{
    if (caption == T().label(27))
        return Mode::RoomChange;
    if (caption == T().label(28))
        return Mode::StayChange;
    if (caption == T().form(5))
        return Mode::Cancel;
    return Mode::Read;
}

QString GuestCard::kindText() const
{
    return roomNo.isEmpty() ? QStringLiteral("No Card ") : QStringLiteral("Guest Card");
}

QString GuestCard::serialText() const
{
    return T().label(26) + QStringLiteral(" : ") + QString::number(serial);
}

void readGuestImage()
{
    TCard& card = Card();
    if (const int failure = readFailure(card.ReadCard()))
        throw Eic(failure);
    card.Decode();
    if (card.kind != 0)
        throw Eic(40);
}

GuestCard ReadGuestCard()
{
    readGuestImage();
    TCard& card = Card();
    GuestCard shown;
    shown.serial = card.serial;
    // The image as read this time: the content text of a read that stopped early is an older card's.
    shown.imageHex = TCard::hexOf(card.image);
    shown.start = card.start;
    shown.end = card.end;
    shown.nights = card.start.date().daysTo(card.end.date());

    TDataM& dm = DataM();
    if (!dm.FindActiveCard(shown.imageHex, shown.serial))
        throw Eic(8);
    const DataSet& record = dm.Q_curr_issue_card;
    shown.roomNo = text(record, "room_no");
    shown.holderName = text(record, "own_name");
    shown.remark = text(record, "remark");
    shown.lostCardReplacement = record.field(QStringLiteral("yn_loss")).toInt() == 1;
    shown.publishTime = dateTimeField(record, "publish_datetime");
    shown.publishOperator = text(record, "publish_operator");
    shown.ownId = text(record, "own_id");
    card.roomNo = shown.roomNo;
    card.holderName = shown.holderName;
    return shown;
}

void CancelGuestCard()
{
    requireRight("010601");
    const GuestCard onEncoder = ReadGuestCard();
    Delay(300);
    requireWritten(Card().EraseCard());
    TDataM& dm = DataM();
    dm.CancelCardRecord(onEncoder.imageHex, onEncoder.serial);
    dm.WriteLog(T().log(14), 3);
}

void ChangeRoom(const QString& newRoomNo)
{
    const QMutexLocker<QRecursiveMutex> section(&cfg::criticalSection());
    requireRight("010401");
    // The card lying on the encoder and its own record decide the old room, so a card swapped
    // after it was shown cannot move another guest's record.
    const GuestCard onEncoder = ReadGuestCard();
    Delay(300);

    TCard& card = Card();
    card.roomNo = newRoomNo;
    card.EncodeRoom(); // start, end, door byte and the rest of the image stay as read
    if (card.roomCardCount >= cfg::sys().max_card)
        throw Eic(16);
    requireWritten(card.WriteCard(1));

    TDataM& dm = DataM();
    if (dm.FindActiveCard(onEncoder.imageHex, onEncoder.serial)) {
        editFoundRecord(card.contentHex,
                        [&](DataSet& record) { record.setField(QStringLiteral("room_no"), newRoomNo); });
    }
    addCardToRoom(newRoomNo);
    takeCardFromRoom(onEncoder.roomNo);
    dm.WriteLog(T().log(18), 2);
    // The two edits above are the quick picture; the recount is the truth.
    dm.RecountRoomCards();
    dm.RefreshRoomStatus();
}

void ChangeStay(const QDateTime& newEnd)
{
    const QMutexLocker<QRecursiveMutex> section(&cfg::criticalSection());
    requireRight("010501");
    const GuestCard onEncoder = ReadGuestCard();
    Delay(300);

    TCard& card = Card();
    card.start = now().addSecs(-5 * 60);
    card.end = newEnd;
    card.EncodeTimes(); // the room address and the rest of the image stay as read
    requireWritten(card.WriteCard(1));

    TDataM& dm = DataM();
    if (dm.FindActiveCard(onEncoder.imageHex, onEncoder.serial)) {
        // checkin_datetime keeps the check-in of the first issue.
        editFoundRecord(card.contentHex, [&](DataSet& record) {
            record.setField(QStringLiteral("checkout_datetime"), newEnd);
        });
    }
    dm.WriteLog(T().log(18), 2);
}

// --- cancellation without the card ----------------------------------------------------------------

void CancelWithoutCard(const QString& roomNo, const std::optional<IssuedCard>& selected)
{
    TDataM& dm = DataM();
    if (selected)
        dm.CancelCardRecordNoCard(selected->imageHex, selected->serial);
    dm.WriteLog(T().log(14), 3);

    DataSet& cards = dm.Q_Exec;
    cards.setSql(
        QStringLiteral("select id,room_no from issue_card_log where card_status_code = :tmp_avail and "
                       "card_type = 0 and room_no=:room"));
    cards.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
    cards.bindValue(QStringLiteral("room"), roomNo);
    cards.open();
    const int cardsLeft = cards.recordCount();

    // The room's status as it is now (a repair or reserve stays while cards remain).
    QVariant status = cfg::codes().room_empty;
    if (cardsLeft > 0) {
        dm.OpenCurrentRoom(roomNo);
        if (dm.Q_curr_room.isOpen() && !dm.Q_curr_room.isEmpty())
            status = dm.Q_curr_room.field(QStringLiteral("room_status_code"));
    }
    DataSet& update = dm.Q_update;
    update.setSql(QStringLiteral(
        "update room set card_num = :tmpnum, room_status_code = :roomstatus where room_no = :roomid "));
    update.bindValue(QStringLiteral("tmpnum"), cardsLeft);
    update.bindValue(QStringLiteral("roomstatus"), status);
    update.bindValue(QStringLiteral("roomid"), roomNo);
    update.execSql();
}

// --- cards of any kind ----------------------------------------------------------------------------

Lookups databaseLookups()
{
    return {roomAtInDatabase, activeRecordInDatabase, workAreaNameInDatabase};
}

CardView describeCard(const TCard& card, const Lookups& lookups)
{
    CardView v;
    const int kind = card.kind;
    const bool bit3 = (card.flags & 0x08) != 0;
    const bool bit4 = (card.flags & 0x10) != 0;
    const bool timeWindowSetting = kind == 8 && card.flags == 16;
    const QString kindName = kind < 112 ? cfg::cardTypes()[static_cast<size_t>(kind)].card_name : QString();

    v.cardType = kindName;
    if (!timeWindowSetting) {
        v.building = addressByte(card.building);
        v.floor = addressByte(card.floor);
        v.area = addressByte(card.workArea);
    }
    const QString roomNo = lookups.roomAt(card.building, card.floor, card.roomIndex);
    if (const auto record = lookups.activeRecord(TCard::hexOf(card.image), card.serial)) {
        v.holderName = record->holderName;
        v.ownId = record->ownId;
        v.remark = record->remark;
        v.publishTime = record->publishTime;
        v.publishOperator = record->publishOperator;
        v.loss = record->loss;
    }
    v.cardNo = QString::number(card.serial);
    v.room = roomNo;
    v.inTime = dateTimeText(card.start);
    v.outTime = dateTimeText(card.end);

    switch (kind) {
    case 0:
        v.label1 = doorOptionText(card.doorByte);
        if (v.loss)
            v.cardType = T().label(252);
        break;
    case 4:
        v.room.clear();
        v.area = lookups.workAreaName(card.workArea);
        break;
    case 8:
        if (bit3) {
            // The last that applies wins.
            if (card.roomIndex == 0)
                v.label1 = T().label(113);
            if (card.floor == 0)
                v.label1 = T().label(114);
            if (card.doorByte != 0 && !doorOptionText(card.doorByte).isEmpty())
                v.label1 = doorOptionText(card.doorByte);
        }
        if (!bit3 && !bit4)
            v.area = lookups.workAreaName(card.workArea);
        if (bit4)
            v.label1.clear();
        v.inTime.clear();
        v.outTime.clear();
        break;
    case 10:
        v.outTime.clear();
        break;
    case 12:
        v.inTime.clear();
        v.outTime.clear();
        break;
    case 14:
        // A gate card carries a range of floors: first in the floor byte, last in the room byte.
        v.room.clear();
        v.floor = v.floor + QStringLiteral("~") + QString::number(card.roomIndex);
        break;
    case 21:
        v.room.clear();
        if (card.D(3) != 0) {
            v.inTime.clear();
            v.outTime.clear();
            v.cardType = T().label(251);
        } else {
            v.inTime = twoHex(card.D(4)) + QStringLiteral(":") + twoHex(card.D(5));
            v.outTime = twoHex(card.D(6)) + QStringLiteral(":") + twoHex(card.D(7));
            v.cardType = T().label(250);
        }
        break;
    case 113:
        v.inTime.clear();
        v.outTime.clear();
        v.cardType = QStringLiteral("Guest Power ");
        break;
    case 114:
    case 115:
        v.inTime.clear();
        v.outTime.clear();
        v.room.clear();
        v.cardType = kind == 114 ? QStringLiteral("Floor Power") : QStringLiteral("Build Power");
        break;
    default:
        break;
    }
    return v;
}

CardView ReadAnyCard(const Lookups& lookups)
{
    TCard& card = Card();
    const int result = card.ReadCard();
    if (const int failure = staffReadFailure(result))
        throw Eic(failure);
    if (result != 0) {
        // Results 3 and 6: a card is there, but its image is not read or not ours to decode.
        CardView serialOnly;
        serialOnly.cardNo = QString::number(card.serial);
        return serialOnly;
    }
    card.Decode();
    return describeCard(card, lookups);
}

void ResetAnyCard()
{
    TCard& card = Card();
    // Whatever lies on the encoder now is what gets reset, so its record is the one cancelled.
    const int result = card.ReadCard();
    if (const int failure = staffReadFailure(result))
        throw Eic(failure);
    // After results 3 and 6 the image is not this card's: no record can match it.
    const IssuedCard onEncoder{result == 0 ? TCard::hexOf(card.image) : QString(), card.serial};
    requireWritten(card.ResetCard());
    TDataM& dm = DataM();
    dm.CancelCardRecord(onEncoder.imageHex, onEncoder.serial);
    dm.RefreshRoomStatus();
}

// --- clock card -----------------------------------------------------------------------------------

QDateTime clockCardEnd(const QDateTime& start)
{
    return QDateTime(QDate(2000 + start.date().dayOfWeek(), 1, 1), QTime(0, 0));
}

ClockCardReading ReadClockCard()
{
    TCard& card = Card();
    if (const int failure = readFailure(card.ReadCard()))
        throw Eic(failure);
    card.Decode();
    ClockCardReading reading;
    reading.isClockCard = card.kind == 10;
    reading.serial = card.serial;
    reading.carried = card.start;
    reading.kindName = card.kindName;
    return reading;
}

void UpdateClockCard(const QDateTime& newTime)
{
    Delay(1000);
    // A card laid on the encoder since the last poll is only written when it is a clock card.
    if (!ReadClockCard().isClockCard)
        throw Eic(40);
    TCard& card = Card();
    card.start = newTime;
    card.end = clockCardEnd(newTime);
    card.kind = 10;
    card.EncodeKind();
    card.EncodeTimes(); // the rest of the image is the card's own
    Delay(100);
    requireWritten(card.WriteCard(1));
}

} // namespace CardReading
