#pragma once

#include <QString>

// The cipher of the operator passwords stored in the database. Each character keeps its
// high four bits; the low four are XORed with the low four bits of the key's characters,
// taken in turn and from the start again. Applying it twice gives the input back, so the
// same call stores and recovers a password. Characters are UTF-16 code units, so ASCII
// text ciphers exactly as bytes would, and any text keeps its length.
class TEncrypt
{
public:
    static constexpr const char* kDefaultKey = "Hq7Tm2Wz8Lk4Xc9Vb3N";

    // An empty key means the default key.
    static QString PasswordCipher(const QString& text, const QString& key = QString());
};
