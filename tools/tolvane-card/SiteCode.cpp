#include "SiteCode.h"

#include "card/CardKeys.h"
#include "platform/IniFile.h"

namespace SiteCode {
namespace {

constexpr int kBytes = 4;

QString section()
{
    return QStringLiteral("sys");
}

QString key(int index)
{
    return QStringLiteral("sys_sqcode%1").arg(index + 1);
}

QString hexByte(quint8 byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

Code choose(const std::function<quint8()>& randomByte)
{
    Code code{};
    do {
        code[0] = randomByte();
    } while (code[0] == 0x00 || code[0] == 0xFF);
    // Bytes 2 and 3 are the image's check bytes; the service marker there would make this
    // site's cards look like service cards.
    do {
        for (size_t i = 1; i < code.size(); ++i)
            code[i] = randomByte();
    } while (code[1] == CardKeys::kServiceMarker[0] && code[2] == CardKeys::kServiceMarker[1]);
    return code;
}

Code read(const IniFile& sysIni)
{
    Code code{};
    for (int i = 0; i < kBytes; ++i)
        code[static_cast<size_t>(i)] = static_cast<quint8>(sysIni.readInteger(section(), key(i), 0) & 0xFF);
    return code;
}

bool isSet(const IniFile& sysIni)
{
    for (int i = 0; i < kBytes; ++i) {
        if (sysIni.readInteger(section(), key(i), 0) != 0)
            return true;
    }
    return false;
}

void write(IniFile& sysIni, const Code& code)
{
    for (int i = 0; i < kBytes; ++i)
        sysIni.writeInteger(section(), key(i), code[static_cast<size_t>(i)]);
}

QString text(const Code& code)
{
    QStringList bytes;
    for (quint8 b : code)
        bytes.append(hexByte(b));
    return bytes.join(u' ');
}

QString encoderIdentification(const Code& code)
{
    return hexByte(code[0]) + QStringLiteral("00");
}

} // namespace SiteCode
