#pragma once

#include <QByteArray>

#include <array>

// Fixed key material shared by every installation and by the locks. The locks carry the same
// constants, so changing any of them makes every issued card unreadable at the doors.
namespace CardKeys {

// Key B of the card sector of every issued or initialised card.
inline const QByteArray cardKeyB()
{
    return QByteArray::fromHex("5A3C961E7BD2");
}
// Keys of the auxiliary sector (loaded in this order; the trailer holds Key A reversed).
inline const QByteArray auxKeyA()
{
    return QByteArray::fromHex("A4712EC9580B");
}
inline const QByteArray auxKeyB()
{
    return QByteArray::fromHex("3FE68419B762");
}
// Mifare Classic delivery key.
inline const QByteArray factoryKey()
{
    return QByteArray(6, static_cast<char>(0xFF));
}
// Access bytes of every trailer the program writes: data blocks readable with Key A or B and
// writable only with Key B; in the trailer Key A and the access bits are writable only with
// Key B, the access bits readable with either key, and Key A itself is never readable.
inline const QByteArray accessBytes()
{
    return QByteArray::fromHex("787788");
}
constexpr quint8 kGeneralPurposeByte = 0x69;

// Image bytes 30 and 31 of cards made by the service tools: accepted by ReadCard whatever the
// installation's site code (the desk's own probe, ReadCardOwnPort, still refuses them).
constexpr std::array<quint8, 2> kServiceMarker{0xA5, 0x5A};

// The DES key of the card signature.
inline const QByteArray signatureKey()
{
    return QByteArrayLiteral("qzx");
}

} // namespace CardKeys
