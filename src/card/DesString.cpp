#include "card/DesString.h"

#include "card/Des.h"

#include <algorithm>

namespace {

constexpr qsizetype kBlockSize = 8;

Des::Key keyOf(const QByteArray& key)
{
    Des::Key desKey{};
    std::copy_n(key.cbegin(), std::min(key.size(), kBlockSize), desKey.begin());
    return desKey;
}

Des::Block blockAt(const QByteArray& data, qsizetype offset)
{
    Des::Block block{};
    std::copy_n(data.cbegin() + offset, kBlockSize, block.begin());
    return block;
}

void append(QByteArray& out, const Des::Block& block)
{
    out.append(reinterpret_cast<const char*>(block.data()), kBlockSize);
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    throw CipherError("Error: not a Hex String");
}

} // namespace

QByteArray EncryptString(const QByteArray& data, const QByteArray& key)
{
    if (!data.isEmpty() && data.back() == '\0')
        throw CipherError("Error: the last char is NULL char.");

    QByteArray padded = data;
    const qsizetype remainder = padded.size() % kBlockSize;
    if (remainder != 0)
        padded.append(kBlockSize - remainder, '\0');

    const Des des(keyOf(key));
    QByteArray cipher;
    cipher.reserve(padded.size());
    for (qsizetype offset = 0; offset < padded.size(); offset += kBlockSize)
        append(cipher, des.encrypt(blockAt(padded, offset)));
    return cipher;
}

QByteArray DecryptString(const QByteArray& data, const QByteArray& key)
{
    const Des des(keyOf(key));
    QByteArray plain;
    plain.reserve(data.size());
    for (qsizetype offset = 0; offset + kBlockSize <= data.size(); offset += kBlockSize)
        append(plain, des.decrypt(blockAt(data, offset)));
    while (!plain.isEmpty() && plain.back() == '\0')
        plain.chop(1);
    return plain;
}

QByteArray EncryptStringHex(const QByteArray& data, const QByteArray& key)
{
    return EncryptString(data, key).toHex();
}

QByteArray DecryptStringHex(const QByteArray& hexText, const QByteArray& key)
{
    QByteArray bytes;
    bytes.reserve(hexText.size() / 2);
    for (qsizetype i = 0; i + 2 <= hexText.size(); i += 2)
        bytes.append(static_cast<char>(HexToInt(QByteArrayView(hexText).sliced(i, 2))));
    return DecryptString(bytes, key);
}

int HexToInt(QByteArrayView text)
{
    std::uint32_t value = 0;
    for (const char c : text)
        value = value * 16 + static_cast<std::uint32_t>(hexDigitValue(c));
    return static_cast<int>(value);
}
