#pragma once

#include <QString>
#include <array>
#include <functional>

class IniFile;

// The installation's site code: four bytes in sys.ini [sys] sys_sqcode1..4. Bytes 1 to 3 make
// the card sector's Key A and the check bytes of every image; byte 1 is also the
// identification byte signed into every card at initialisation, so the encoder must carry it
// as its identification byte 1.
namespace SiteCode {

using Code = std::array<quint8, 4>;

// A new random code from the given byte source. Byte 1 is never 0 (a signature ending in 0
// cannot be made) nor 0xFF, so the code is never all zero.
Code choose(const std::function<quint8()>& randomByte);

// The code as sys.ini holds it; each value is kept in 8 bits as the card layer keeps it.
Code read(const IniFile& sysIni);
// True when sys.ini holds any non-zero site-code value.
bool isSet(const IniFile& sysIni);
// Writes the four values, keeping the rest of the file; throws std::runtime_error when the
// file cannot be written.
void write(IniFile& sysIni, const Code& code);

// "4D 71 2C 09"
QString text(const Code& code);
// The identification the encoder must report: site byte 1, then 00 ("4D00").
QString encoderIdentification(const Code& code);

} // namespace SiteCode
