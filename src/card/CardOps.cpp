// Sector access, signature check and the card operations of TCard.
//
// Each exchange is: clear the reply buffer, send one frame, then wait for the reply: the
// documented "wait 50, poll 20 x 50" is at most 1050 ms and ends as soon as the reply is
// complete. Pauses between steps (Delay, Sleep) are kept as they are.

#include "card/CardKeys.h"
#include "card/DesString.h"
#include "card/TCard.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "encoder/Frame.h"
#include "encoder/TForm_Com.h"
#include "platform/Clock.h"

#include <algorithm>
#include <exception>

namespace {

constexpr int kReplyWait = 50 + 20 * 50; // wait 50, then up to 20 polls of 50 ms
constexpr int kKeyReplyWait = 50 + 20 * 20;

QByteArray toBytes(const std::array<quint8, 32>& a, int from, int n)
{
    return QByteArray(reinterpret_cast<const char*>(a.data() + from), n);
}

// Closes the port on leaving when the operation opened it itself.
class PortOwnership
{
public:
    explicit PortOwnership(TForm_Com& com) : m_com(com) {}
    ~PortOwnership() { m_com.close(); }
    PortOwnership(const PortOwnership&) = delete;
    PortOwnership& operator=(const PortOwnership&) = delete;

private:
    TForm_Com& m_com;
};

} // namespace

quint8 TCard::sector() const
{
    return cfg::sys().sector;
}

quint8 TCard::auxSector() const
{
    return cfg::sys().hdsq;
}

QByteArray TCard::siteKeyA(const std::array<quint8, 4>& siteCode)
{
    QByteArray key;
    for (int i = 0; i < 6; ++i)
        key.append(static_cast<char>(siteCode[static_cast<size_t>(i % 3)]));
    return key;
}

QByteArray TCard::trailerBytes(int mode, const std::array<quint8, 4>& siteCode)
{
    QByteArray keyA;
    QByteArray keyB = CardKeys::cardKeyB();
    switch (mode) {
    case 1:
        keyA = siteKeyA(siteCode);
        break;
    case 2:
        keyA = CardKeys::factoryKey();
        break;
    case 3: {
        keyA = CardKeys::auxKeyA();
        std::reverse(keyA.begin(), keyA.end());
        keyB = CardKeys::auxKeyB();
        break;
    }
    default:
        return {};
    }
    return keyA + CardKeys::accessBytes() + char(CardKeys::kGeneralPurposeByte) + keyB;
}

// --- sector access ---

int TCard::SelectCard()
{
    m_com.send(Frame::request());
    if (!m_com.waitReply(kReplyWait) || m_com.reply().isShortReply(1))
        return CardResult::NoCard;
    m_com.send(Frame::anticollision());
    if (m_com.waitReply(kReplyWait) && m_com.reply().length() == 5 && m_com.reply().status() == 0) {
        const ReplyBuffer& r = m_com.reply();
        serialText = r.bytes(3, 4);
        serial = (qint64(r.at(3)) << 24) | (qint64(r.at(4)) << 16) | (qint64(r.at(5)) << 8) | qint64(r.at(6));
    }
    m_com.send(Frame::select());
    // An unanswered selection counts as "no card": the encoder did not confirm one.
    if (!m_com.waitReply(kReplyWait) || m_com.reply().isShortReply(1))
        return CardResult::NoCard;
    return CardResult::Done;
}

int TCard::Authenticate(quint8 keyType)
{
    m_com.send(Frame::authenticate(keyType, sector()));
    return m_com.waitReply(kReplyWait) && !m_com.reply().isShortReply(1) ? 0 : 1;
}

int TCard::LoadCardKeys()
{
    m_com.send(Frame::loadKey(Frame::KeyA, sector(), CardKeys::factoryKey()));
    m_com.waitReply(kKeyReplyWait);
    Sleep(50);
    m_com.send(Frame::loadKey(Frame::KeyB, sector(), CardKeys::cardKeyB()));
    m_com.waitReply(kKeyReplyWait);
    Delay(25);
    return 0;
}

int TCard::LoadAuxKeys()
{
    m_com.send(Frame::loadKey(Frame::KeyA, auxSector(), CardKeys::auxKeyA()));
    m_com.waitReply(kKeyReplyWait);
    Sleep(50);
    m_com.send(Frame::loadKey(Frame::KeyB, auxSector(), CardKeys::auxKeyB()));
    m_com.waitReply(kKeyReplyWait);
    Delay(25);
    return 0;
}

int TCard::WriteTrailer(int mode)
{
    const quint8 block = static_cast<quint8>((mode == 3 ? auxSector() : sector()) * 4 + 3);
    m_com.send(Frame::writeBlock(block, trailerBytes(mode, m_com.siteCode())));
    if (!m_com.waitReply(kReplyWait))
        return CardResult::PortOrException;
    return m_com.reply().isShortReply(0) ? 0 : 1;
}

bool TCard::Beep()
{
    m_com.send(Frame::beep());
    return m_com.waitReply(kReplyWait);
}

int TCard::writeBlock(quint8 block, const QByteArray& data16)
{
    m_com.send(Frame::writeBlock(block, data16));
    if (!m_com.waitReply(kReplyWait))
        return CardResult::PortOrException;
    return m_com.reply().isShortReply(0) ? 0 : 1;
}

bool TCard::readBlock(quint8 block, quint8* into)
{
    m_com.send(Frame::readBlock(block));
    if (!m_com.waitReply(kReplyWait) || m_com.reply().length() != 17)
        return false;
    for (int i = 0; i < 16; ++i)
        into[i] = m_com.reply().at(3 + i);
    return true;
}

// --- writes ---

void TCard::prepareImage()
{
    if (D(1) != 0xFF) {
        D(30) = m_com.siteCode()[1];
        D(31) = m_com.siteCode()[2];
    }
    quint8 x = 0;
    for (int i = 1; i <= 31; ++i)
        x ^= D(i);
    D(32) = x;
    contentHex = comparisonHex = hexOf(image);
    auxHex = auxComparisonHex = hexOf(aux);
}

int TCard::runAuxiliaryPart()
{
    LoadAuxKeys();
    Delay(500);
    WriteTrailer(3);
    Delay(500);
    int r = SelectCard();
    if (r == 0 && Authenticate(Frame::KeyB) != 0)
        r = CardResult::KeyBRefused;
    Delay(50);
    const quint8 a = auxSector();
    if (r == 0) {
        writeBlock(static_cast<quint8>(a * 4), toBytes(aux, 0, 16));
        writeBlock(static_cast<quint8>(a * 4 + 1), toBytes(aux, 16, 16));
    }
    Delay(50);
    readBlock(static_cast<quint8>(a * 4), readBack.data() + 32);
    if (readBlock(static_cast<quint8>(a * 4 + 1), readBack.data() + 48))
        auxReadBackHex = hexOf(readBack.data() + 32, 32);
    if (auxReadBackHex != auxComparisonHex)
        r = CardResult::ReadBackDiffers;
    Delay(500);
    WriteTrailer(1);
    Delay(500);
    LoadCardKeys();
    return r;
}

int TCard::writeSequence(int trailerMode)
{
    int r = CardResult::PortOrException;
    Delay(100);
    prepareImage();
    if (cfg::sys().ishdxk == 1) {
        r = runAuxiliaryPart();
        if (r == 0)
            r = SelectCard();
    } else {
        r = SelectCard();
    }
    if (r == 0 && Authenticate(Frame::KeyB) != 0)
        r = CardResult::KeyBRefused;
    if (r == 0) {
        const quint8 s = sector();
        // The image writes' replies are not evaluated: the trailer write (or the read-back
        // of the verified write) reports a failed write.
        writeBlock(static_cast<quint8>(s * 4 + 1), toBytes(image, 0, 16));
        writeBlock(static_cast<quint8>(s * 4 + 2), toBytes(image, 16, 16));
        int mode = trailerMode;
        if (kind == 12 && mode == 1)
            mode = 2;
        else if (kind == 12 && mode == 2)
            mode = 1;
        if (mode != 0)
            r = WriteTrailer(mode);
    }
    return r;
}

int TCard::WriteCard(int trailerMode)
{
    const int r = writeSequence(trailerMode);
    if (r == 0)
        Beep();
    return r;
}

int TCard::WriteCardVerified(int trailerMode)
{
    // A read-back left over from an earlier card must never vouch for this write.
    readBackHex.clear();
    auxReadBackHex.clear();
    readBack.fill(0);
    try {
        if (!m_com.isOpen())
            m_com.open();
        PortOwnership closeAtEnd(m_com);
        int r = writeSequence(trailerMode);
        Delay(50);
        const quint8 s = sector();
        readBlock(static_cast<quint8>(s * 4 + 1), readBack.data());
        if (readBlock(static_cast<quint8>(s * 4 + 2), readBack.data() + 16))
            readBackHex = hexOf(readBack.data(), 32);
        if (readBackHex != comparisonHex)
            r = CardResult::ReadBackDiffers;
        if (r == 0)
            Beep();
        return r;
    } catch (const std::exception&) {
        m_com.close();
        return CardResult::PortOrException;
    }
}

// The erased image: byte 1 FF (blank), bytes 4..16 and 21..32 FF, bytes 2, 3 and 17..20 left 0;
// the auxiliary image all FF.
void TCard::prepareErasedImage()
{
    Clear();
    D(1) = 0xFF;
    for (int i = 4; i <= 16; ++i)
        D(i) = 0xFF;
    for (int i = 21; i <= 32; ++i)
        D(i) = 0xFF;
    aux.fill(0xFF);
}

int TCard::EraseCard()
{
    prepareErasedImage();
    return WriteCard(1);
}

int TCard::EraseCardVerified()
{
    prepareErasedImage();
    return WriteCardVerified(1);
}

int TCard::ResetCard()
{
    Clear();
    image.fill(0xFF);
    return WriteCard(2);
}

// --- reads ---

int TCard::checkSignatureBlock()
{
    quint8 block[16];
    if (!readBlock(static_cast<quint8>(sector() * 4), block))
        return 0; // an unreadable signature block is not judged here; the image reads follow
    const QByteArray cipherHex = QByteArray(reinterpret_cast<const char*>(block), 8).toHex().toUpper();
    const QByteArray plain = DecryptStringHex(cipherHex, CardKeys::signatureKey());
    if (plain.size() < 4 || plain.left(4) != serialText)
        return CardResult::ForeignSignature;
    if (plain.size() < 5 || static_cast<quint8>(plain[4]) != m_com.identification()[0])
        return CardResult::SiteByte30;
    return 0;
}

int TCard::readSequence(bool acceptServiceMarker)
{
    int r = SelectCard();
    const qint64 selectedSerial = serial;
    Clear();
    if (r == 0)
        serial = selectedSerial;
    if (r == 0 && Authenticate(Frame::KeyB) != 0)
        r = CardResult::KeyBRefused;
    if (r == 0)
        r = checkSignatureBlock();
    if (r != 0)
        return r;
    const quint8 s = sector();
    readBlock(static_cast<quint8>(s * 4 + 1), image.data());
    const bool lastRead = readBlock(static_cast<quint8>(s * 4 + 2), image.data() + 16);
    if (!lastRead)
        return CardResult::NoCard; // the card left the field between the reads
    contentHex = hexOf(image);
    r = D(1) == 0xFF ? CardResult::Blank : CardResult::Done;
    if (r == 0 && D(30) != m_com.siteCode()[1])
        r = CardResult::SiteByte30;
    if (r == 0 && D(31) != m_com.siteCode()[2])
        r = CardResult::SiteByte31;
    if (acceptServiceMarker && (r == CardResult::SiteByte30 || r == CardResult::SiteByte31) &&
        D(30) == CardKeys::kServiceMarker[0] && D(31) == CardKeys::kServiceMarker[1])
        r = CardResult::Done;
    return r;
}

int TCard::ReadCard()
{
    try {
        if (!m_com.isOpen())
            throw Eic(48);
        return readSequence(true);
    } catch (...) {
        return CardResult::PortOrException;
    }
}

int TCard::ReadCardOwnPort()
{
    try {
        if (!m_com.isOpen())
            m_com.open();
        PortOwnership closeAtEnd(m_com);
        return readSequence(false);
    } catch (...) {
        m_com.close();
        return CardResult::PortOrException;
    }
}

int TCard::ParseCardReport()
{
    const ReplyBuffer& r = m_com.reply();
    if (!r.complete() || r.status() != 3)
        return 1;
    if (r.length() != 34)
        return r.length() == 3 && r.at(3) == 1 && r.at(4) == 1 ? 2 : 1;
    for (int i = 1; i <= 32; ++i)
        D(i) = r.at(2 + i);
    serial = qint64(D(2)) * 256 + D(3);
    serialHex = QStringLiteral("%1%2").arg(D(2), 2, 16, QLatin1Char('0')).arg(D(3), 2, 16, QLatin1Char('0')).toUpper();
    contentHex = hexOf(image);
    return D(1) == 0xFF ? CardResult::Blank : CardResult::Done;
}
