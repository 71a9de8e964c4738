#pragma once

#include <QDateTime>
#include <QString>
#include <array>

// The steps of issuing a guest card (check-in), shared by the console's check-in panel, its
// batch queue and the guest-card issue screen. Each step raises Eic with the "except" entry
// the operator reads; nothing here touches a window.
namespace GuestCardIssue {

// Where a probe happens: the result codes mean slightly different things to each.
enum class Caller { Panel, Batch, Screen };

// What the probe found on the encoder. state: 7 blank card, 9 guest card of this
// installation, 8 another kind (refused).
struct Probe
{
    int result = -1;
    int state = 0;
    QString image; // the card's image before this issue (64 hex digits)
    qint64 serial = 0;
    QString kindName;
};

// ReadCardOwnPort and the refusals: result 0 with isfgfk 0 -> 55 (not for the batch);
// 1 -> 49; 2 -> 50; 3 -> 57; 4 -> 63 (the screen: 49); 5 -> 57; 6 -> 61; a card that is not
// a guest card -> 40. The probe is filled before a refusal, so a caller can show the kind.
void probe(Caller caller, Probe& into);

// The card's start: a lost-card replacement starts at the later of now and check-in; a
// check-in within tqsj hours starts tqsj hours early but not before the room's latest guest
// check-in up to now; a reservation (further ahead) starts tqsj hours early and is refused
// with 102 when it falls inside the room's latest active future stay.
QDateTime startTime(const QString& room, const QDateTime& checkin, bool lostCard, int tqsjHours,
                    const QDateTime& now);

// Door options k = 0..7 as a byte: option k sets bit k.
quint8 doorByte(const std::array<bool, 8>& options);

struct Request
{
    QString room;
    QDateTime checkin;
    QDateTime checkout;
    bool lostCard = false;
    quint8 doorByte = 0;
    QString holderName = QStringLiteral("guest");
    QString holderId;
    QString remark;
    bool withAuxiliary = false; // the issue screen always encodes the auxiliary image too
};

// Fills the global card, encodes it (refusing an empty or unknown room: 13, 17), refuses a
// room at max_card (16), writes the card with read-back (1 -> 49, 2 -> 50, 3 -> 53, 4 -> 63,
// 5 -> 57, 6 -> 65, 11 -> 59), then records it: log type 1, the card's previous guest record
// cancelled, the new issue record inserted and counted in its room. The records are kept
// even when the database fails: the card is written and works.
void issue(const Request& request, const Probe& previous);

// The rooms' active guest cards as the "drts" question counts them.
int activeGuestCards(const QString& room);

} // namespace GuestCardIssue
