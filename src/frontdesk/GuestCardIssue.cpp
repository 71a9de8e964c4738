#include "frontdesk/GuestCardIssue.h"

#include "card/TCard.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "datastore/DatabaseError.h"
#include "datastore/SqlValue.h"
#include "datastore/TDataM.h"
#include "platform/Clock.h"

namespace GuestCardIssue {
namespace {

int probeExcept(int result, Caller caller)
{
    switch (result) {
    case 0:
        return caller != Caller::Batch && cfg::sys().isfgfk == 0 ? 55 : 0;
    case 1:
        return 49;
    case 2:
        return 50;
    case 3:
        return 57;
    case 4:
        return caller == Caller::Screen ? 49 : 63;
    case 5:
        return 57;
    case 6:
        return 61;
    default:
        return 0;
    }
}

int writeExcept(int result)
{
    switch (result) {
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
    case 6:
        return 65;
    case 11:
        return 59;
    default:
        return 0;
    }
}

} // namespace

void probe(Caller caller, Probe& p)
{
    TCard& card = Card();
    p = Probe{};
    p.result = card.ReadCardOwnPort();
    p.image = card.contentHex;
    p.serial = card.serial;
    if (const int code = probeExcept(p.result, caller))
        throw Eic(code);
    if (p.result == 0)
        card.Decode();
    if (p.result != 7) {
        p.kindName = card.kindName;
        if (card.kind != 0) {
            p.state = 8;
            throw Eic(40);
        }
        p.state = 9;
    } else {
        p.state = 7;
    }
}

QDateTime startTime(const QString& room, const QDateTime& checkin, bool lostCard, int tqsjHours,
                    const QDateTime& now)
{
    if (lostCard)
        return std::max(now, checkin);
    const QDateTime early = checkin.addSecs(-3600LL * tqsjHours);
    DataSet& q = DataM().Q_select;
    if (checkin <= now.addSecs(3600LL * tqsjHours)) {
        q.setSql(QStringLiteral("select * from issue_card_log where room_no = ") + SqlValue::quoted(room) +
                 QStringLiteral(
                     " and card_type = 0 and checkin_datetime <=:tmp_date order by checkin_datetime DESC"));
        q.bindValue(QStringLiteral("tmp_date"), now);
        q.open();
        if (!q.isEmpty()) {
            const QDateTime previous = q.field(QStringLiteral("checkin_datetime")).toDateTime();
            if (previous.isValid() && early < previous)
                return previous;
        }
        return early;
    }
    q.setSql(
        QStringLiteral("select * from issue_card_log where room_no = ") + SqlValue::quoted(room) +
        QStringLiteral(" and card_type = 0 and checkin_datetime >:tmp_date and card_status_code = :tmp_avail "
                       "order by checkin_datetime DESC"));
    q.bindValue(QStringLiteral("tmp_date"), now);
    q.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
    q.open();
    if (!q.isEmpty()) {
        const QDateTime stayIn = q.field(QStringLiteral("checkin_datetime")).toDateTime();
        const QDateTime stayOut = q.field(QStringLiteral("checkout_datetime")).toDateTime();
        if (checkin >= stayIn && checkin <= stayOut)
            throw Eic(102);
    }
    return early;
}

quint8 doorByte(const std::array<bool, 8>& options)
{
    // Option 0 is the last character of the bit text, option 7 the first.
    QString bits(8, u'0');
    for (int k = 0; k < 8; ++k)
        if (options[static_cast<size_t>(k)])
            bits[7 - k] = u'1';
    return TCard::BitsToByte(bits);
}

void issue(const Request& request, const Probe& previous)
{
    TCard& card = Card();
    TDataM& dm = DataM();
    const QDateTime now = Clock::instance().now();
    card.Clear();
    card.loss = request.lostCard ? 1 : 0;
    card.kind = 0;
    card.roomNo = request.room;
    card.start = startTime(request.room, request.checkin, request.lostCard, cfg::sys().tqsj, now);
    card.end = request.checkout;
    card.operatorName = dm.currentOperatorTrueName();
    card.holderName = request.holderName;
    card.remark = request.remark;
    card.doorByte = request.doorByte;
    card.Encode();
    if (request.withAuxiliary || cfg::sys().ishdxk == 1)
        card.EncodeAux();
    if (card.roomCardCount >= cfg::sys().max_card)
        throw Eic(16);
    if (const int code = writeExcept(card.WriteCardVerified(1)))
        throw Eic(code);

    // The card is written and works from here on: record keeping never reports it as failed.
    try {
        dm.WriteLog(cfg::texts().log(13), 1);
    } catch (const DatabaseError&) {
    }
    dm.CancelCardRecord(previous.image, previous.serial);
    dm.InsertIssueLog(QString::number(previous.serial), card.operatorName, card.contentHex,
                      request.lostCard ? QStringLiteral("1") : QStringLiteral("0"), request.room,
                      card.kindName, QStringLiteral("0"), request.remark, request.holderId,
                      request.holderName, card.start, card.end);
}

int activeGuestCards(const QString& room)
{
    DataSet& q = DataM().Q_select;
    q.setSql(QStringLiteral(
        "select * from issue_card_log where room_no = :room_no and  card_status_code = :tmp_avail "
        "and  card_type = 0 "));
    q.bindValue(QStringLiteral("room_no"), room);
    q.bindValue(QStringLiteral("tmp_avail"), cfg::codes().GC_AVAILABLE);
    q.open();
    return q.recordCount();
}

} // namespace GuestCardIssue
