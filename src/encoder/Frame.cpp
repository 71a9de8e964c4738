#include "encoder/Frame.h"

namespace Frame {

QByteArray build(quint8 command, const QByteArray& arguments)
{
    QByteArray frame;
    frame.reserve(arguments.size() + 2);
    frame.append(static_cast<char>(arguments.size() + 1));
    frame.append(static_cast<char>(command));
    frame.append(arguments);
    return frame;
}

QByteArray build(quint8 command, std::initializer_list<quint8> arguments)
{
    QByteArray args;
    for (quint8 b : arguments)
        args.append(static_cast<char>(b));
    return build(command, args);
}

QByteArray request()
{
    return build(Request, {0x52}); // request all cards in the field, halted ones too
}

QByteArray anticollision()
{
    return build(Anticollision);
}

QByteArray select()
{
    return build(Select);
}

QByteArray authenticate(quint8 keyType, quint8 sector)
{
    // The block argument is always the sector's first block as sector x 4 (in 8 bits).
    return build(Authenticate, {keyType, sector, static_cast<quint8>(sector * 4)});
}

QByteArray loadKey(quint8 keyType, quint8 sector, const QByteArray& key6)
{
    QByteArray args;
    args.append(static_cast<char>(keyType));
    args.append(static_cast<char>(sector));
    args.append(key6.left(6).leftJustified(6, '\0'));
    return build(LoadKey, args);
}

QByteArray readBlock(quint8 block)
{
    return build(ReadBlock, {block});
}

QByteArray writeBlock(quint8 block, const QByteArray& data16)
{
    QByteArray args;
    args.append(static_cast<char>(block));
    args.append(data16.left(16).leftJustified(16, '\0'));
    return build(WriteBlock, args);
}

QByteArray beep()
{
    return build(Beep, {0x0F});
}

QByteArray identification()
{
    return build(Identification);
}

} // namespace Frame
