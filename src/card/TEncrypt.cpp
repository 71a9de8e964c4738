#include "card/TEncrypt.h"

QString TEncrypt::PasswordCipher(const QString& text, const QString& key)
{
    const QString k = key.isEmpty() ? QString::fromLatin1(kDefaultKey) : key;
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const char16_t c = out[i].unicode();
        const char16_t kc = k[i % k.size()].unicode();
        out[i] = QChar(static_cast<char16_t>((c & 0xFFF0) | ((c ^ kc) & 0x0F)));
    }
    return out;
}
