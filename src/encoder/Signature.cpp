// The card signature: block 0 of the card sector holds DES("serial bytes + identification
// byte") under the key "qzx", followed by eight zero bytes. It ties a card to the
// installation that initialised it.

#include "card/CardKeys.h"
#include "card/DesString.h"
#include "encoder/Frame.h"
#include "encoder/TForm_Com.h"

#include "config/Settings.h"

namespace {
constexpr int kReplyWait = 20 * 50;
}

int TForm_Com::WriteSignature(quint8 identificationByte, quint8 keyType)
{
    int result = SelectCardSerial();
    if (result != 0)
        return 1;
    if (AuthenticateSector(keyType) != 0)
        return 3;
    // Throws CipherError for an identification byte of 0: the plaintext would end in a zero
    // byte that decryption could not tell from padding.
    const QByteArray cipher = EncryptString(m_serialText + char(identificationByte), CardKeys::signatureKey());
    const quint8 s = configuredSector();
    const QByteArray trailer = CardKeys::factoryKey() + CardKeys::accessBytes() +
                               char(CardKeys::kGeneralPurposeByte) + CardKeys::cardKeyB();
    const QByteArray writes[3][2] = {
        {QByteArray(1, char(s * 4)), cipher.left(8) + QByteArray(8, '\0')},
        {QByteArray(1, char(s * 4 + 1)), QByteArray(16, char(0xFF))},
        {QByteArray(1, char(s * 4 + 3)), trailer},
    };
    // All three writes are sent; the result reports the last one that was answered.
    for (const auto& w : writes) {
        send(Frame::writeBlock(static_cast<quint8>(w[0][0]), w[1]));
        if (poll(20, 50))
            result = m_reply.isShortReply(0) ? 0 : 2;
    }
    return result;
}

int TForm_Com::CheckSignature(quint8 keyType)
{
    if (SelectCardSerial() != 0)
        return 1;
    if (AuthenticateSector(keyType) != 0)
        return 3;
    const quint8 s = configuredSector();
    send(Frame::readBlock(static_cast<quint8>(s * 4)));
    if (!waitReply(kReplyWait) || m_reply.length() == 1)
        return 1;
    const QByteArray cipherHex = m_reply.bytes(3, 8).toHex().toUpper();
    const QByteArray plain = DecryptStringHex(cipherHex, CardKeys::signatureKey());
    if (plain.size() < 4 || plain.left(4) != m_serialText)
        return 2;
    send(Frame::readBlock(static_cast<quint8>(s * 4 + 1)));
    if (waitReply(kReplyWait) && m_reply.length() == 17)
        return m_reply.at(3) == 0xFF ? 7 : 0;
    return 0;
}
