#pragma once

#include "MifareClassic.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <utility>

// The card encoder: a Mifare Classic reader/writer on a 9600 8N1 serial line, with a key
// memory and a field that holds at most one card. This class is the reference for the
// frames the program speaks; it owns neither time nor I/O, so the same engine answers an
// in-process stream under virtual time and a pseudo-terminal under real time.
//
// Frames carry no start byte and no checksum.
//   command: [L, command, arguments...]   L counts the bytes after it
//   reply:   [L, status, data...]         L counts status and data; status 0 ok, 1 failure
//
//   2  request (WUPA)  02 02 52                  -> 03 00 ATQA(lo hi)   | 01 01 no card
//   3  anticollision   01 03                     -> 05 00 uid0..uid3    | 01 01
//   4  select          01 04                     -> 02 00 SAK           | 01 01
//   5  authenticate    04 05 keytype sector blk  -> 01 00               | 01 01
//   6  load key        09 06 keytype sector k1..k6 -> 01 00
//   8  read block      02 08 block               -> 11 00 d1..d16       | 01 01
//   9  write block     12 09 block d1..d16       -> 01 00               | 01 01
//   11 beep            02 0B 0F                  -> 01 00
//   14 identification  01 0E                     -> 03 00 id1 id2
// Key type 0x60 is Key A, 0x61 Key B. Unknown commands and frames of the wrong length
// answer 01 01.
//
// Card states follow a reader/card pair: request wakes the card (dropping any selection),
// anticollision reads its UID, select activates it (dropping any authentication), and only
// an active card authenticates. Authentication uses the key loaded with command 6 for that
// key type and the sector named in the frame (the block byte is not used); no such key, a
// wrong key or a refusal by the card answers 01 01 and leaves the card active but
// unauthenticated. A card leaving the field loses everything.
//
// Other sectors after an authentication: a read or write of a block outside the sector
// authenticated last makes the encoder first authenticate that block's sector by itself,
// with the key type and key value that succeeded last. If that fails the read or write
// answers 01 01 (and the card is no longer authenticated). Record collection relies on
// this: it authenticates the card sector with the factory Key A and then reads every other
// sector of a data card whose sectors all carry factory keys.
//
// Timing: a reply is delivered replyFloorMs(command bytes, reply bytes, latency) after the
// frame's last byte was written (rounded up to whole milliseconds): both frames cross the
// line at 10 bits per byte, and commands that talk to the card add the card latency.
// Replies never overtake each other. Bytes of an unfinished frame are dropped when the next
// byte comes more than kInterByteTimeoutMs after the previous one.
class EncoderEngine
{
public:
    // Hands reply bytes to the line, to arrive delayMs from now.
    using Deliver = std::function<void(int delayMs, const QByteArray& bytes)>;

    static constexpr double kByteTimeMs = 10'000.0 / 9600.0; // 8N1: start + 8 data + stop bits
    static constexpr int kInterByteTimeoutMs = 50;
    static constexpr int kDefaultCardLatencyMs = 3;
    static constexpr int kSplitGapMs = 20;
    static constexpr int kSplitAfterBytes = 2;
    static constexpr int kGarbageLeadMs = 1;
    static constexpr quint8 kGarbageByte = 0xEE;

    static constexpr quint8 kStatusOk = 0;
    static constexpr quint8 kStatusFailed = 1;
    static constexpr quint8 kStatusCardReport = 3;
    static constexpr quint8 kKeyTypeA = 0x60;
    static constexpr quint8 kKeyTypeB = 0x61;

    enum Command : quint8 {
        Request = 2,
        Anticollision = 3,
        Select = 4,
        Authenticate = 5,
        LoadKey = 6,
        ReadBlock = 8,
        WriteBlock = 9,
        Beep = 11,
        Identify = 14,
    };

    // The earliest a reply can arrive after the command's last byte was written.
    static double replyFloorMs(int commandBytes, int replyBytes, int cardLatencyMs);
    static bool touchesCard(quint8 command);

    // One-shot disturbances of the next frame; pull-after counts frames down to the pull.
    struct Fault
    {
        enum class Kind { None, Drop, Split, Garbage, PullAfter, Status };
        Kind kind = Kind::None;
        int value = 0;
    };

    explicit EncoderEngine(Deliver deliver = {});
    void setDeliver(Deliver deliver) { m_deliver = std::move(deliver); }

    // Bytes written to the encoder by the program, at time nowMs (any monotonic origin).
    void receive(const QByteArray& bytes, qint64 nowMs);

    // The control language, one line in and one line out ("ok ..." or "error ...").
    QString control(const QString& line);

    void placeCard(MifareClassic card);
    void removeCard();
    const MifareClassic* card() const { return m_card ? &*m_card : nullptr; }
    MifareClassic* card() { return m_card ? &*m_card : nullptr; }

    void setIdentification(quint8 first, quint8 second) { m_identification = {first, second}; }
    std::array<quint8, 2> identification() const { return m_identification; }
    void setCardLatencyMs(int ms) { m_cardLatencyMs = ms; }
    int cardLatencyMs() const { return m_cardLatencyMs; }
    void armFault(Fault fault);
    Fault fault() const { return m_fault; }
    // Bytes the encoder sends on its own, delivered at once.
    void sendUnsolicited(const QByteArray& bytes);
    // The encoder's own card report: 22 03 + 32 image bytes + 00.
    void sendCardReport(const QByteArray& thirtyTwoBytes);
    // The report that no card could be taken: 03 03 01 01.
    void sendNoCardReport();

private:
    enum class CardState { Idle, Ready, Identified, Active };
    struct UsedKey
    {
        MifareClassic::KeyType type;
        MifareClassic::Key key;
    };

    void handleFrame(const QByteArray& frame, qint64 nowMs);
    QByteArray execute(const QByteArray& frame);
    QByteArray request(const QByteArray& args);
    QByteArray anticollision(const QByteArray& args);
    QByteArray select(const QByteArray& args);
    QByteArray authenticate(const QByteArray& args);
    QByteArray loadKey(const QByteArray& args);
    QByteArray readBlock(const QByteArray& args);
    QByteArray writeBlock(const QByteArray& args);
    QByteArray beep(const QByteArray& args);
    QByteArray identify(const QByteArray& args);
    bool reachBlock(int block);
    void deliverReply(QByteArray reply, int delayMs, qint64 nowMs);
    void countFrameTowardsPull();

    QString controlPlace(const QStringList& args);
    QString placeBlankCard(std::optional<MifareClassic::Uid> uid, int sector);
    QString controlSave(const QStringList& args);
    QString controlFault(const QStringList& args);
    QString controlReport(const QStringList& args);
    QString controlStatus() const;

    Deliver m_deliver;
    std::optional<MifareClassic> m_card;
    CardState m_state = CardState::Idle;
    std::map<std::pair<quint8, quint8>, MifareClassic::Key> m_keyMemory; // (key type, sector)
    std::optional<UsedKey> m_lastKeyUsed;
    std::array<quint8, 2> m_identification{0x00, 0x00};
    int m_cardLatencyMs = kDefaultCardLatencyMs;
    Fault m_fault;
    QByteArray m_partialFrame;
    qint64 m_lastByteAtMs = 0;
    qint64 m_lineFreeAtMs = 0;
};

// Replies built the way the encoder frames them: [L, status, data...].
QByteArray encoderReply(quint8 status, const QByteArray& data = {});
