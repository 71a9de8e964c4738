#pragma once

#include <QByteArray>

#include <initializer_list>

// Command frames of the encoder: [L, command, arguments...], L counting the bytes after it.
// No start byte, no checksum.
namespace Frame {

enum Command : quint8 {
    Request = 0x02,
    Anticollision = 0x03,
    Select = 0x04,
    Authenticate = 0x05,
    LoadKey = 0x06,
    ReadBlock = 0x08,
    WriteBlock = 0x09,
    Beep = 0x0B,
    Identification = 0x0E,
};

enum KeyType : quint8 { KeyA = 0x60, KeyB = 0x61 };

QByteArray build(quint8 command, const QByteArray& arguments = {});
QByteArray build(quint8 command, std::initializer_list<quint8> arguments);

QByteArray request();                                      // 02 02 52
QByteArray anticollision();                                // 01 03
QByteArray select();                                       // 01 04
QByteArray authenticate(quint8 keyType, quint8 sector);    // 04 05 kt s s*4
QByteArray loadKey(quint8 keyType, quint8 sector, const QByteArray& key6); // 09 06 kt s k1..k6
QByteArray readBlock(quint8 block);                        // 02 08 b
QByteArray writeBlock(quint8 block, const QByteArray& data16); // 12 09 b d1..d16
QByteArray beep();                                         // 02 0B 0F
QByteArray identification();                               // 01 0E

} // namespace Frame
