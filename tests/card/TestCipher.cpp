#include "card/DesString.h"
#include "card/TEncrypt.h"

#include <QRegularExpression>
#include <QTest>
#include <functional>

namespace {

const QByteArray kSignatureKey("qzx");

// Runs the call and returns the message of the CipherError it throws, or an empty string
// when it throws nothing.
QString cipherErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const CipherError& error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

QByteArray bytes(const char* text, qsizetype size)
{
    return QByteArray(text, size);
}

} // namespace

class TestCipher : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void encryptString_data();
    void encryptString();
    void encryptStringRefusesTrailingNul_data();
    void encryptStringRefusesTrailingNul();
    void encryptStringHexForm_data();
    void encryptStringHexForm();
    void decryptString_data();
    void decryptString();
    void decryptStringHex_data();
    void decryptStringHex();
    void decryptStringHexRejectsNonHex_data();
    void decryptStringHexRejectsNonHex();
    void hexToInt_data();
    void hexToInt();
    void hexToIntRejectsNonHex_data();
    void hexToIntRejectsNonHex();
    void passwordCipherIsItsOwnInverse_data();
    void passwordCipherIsItsOwnInverse();
    void passwordCipherKnownValues_data();
    void passwordCipherKnownValues();
};

void TestCipher::encryptString_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("cipherHex");

    // Key "qzx" is the DES key 71 7a 78 00 00 00 00 00.
    QTest::newRow("5 bytes pad to one block")
        << QByteArray("abcde") << kSignatureKey << QByteArray("2ea0084ffcc7f238");
    QTest::newRow("8 bytes need no extra block")
        << QByteArray("ROOM1204") << kSignatureKey << QByteArray("64b72aebcc7dc8e5");
    QTest::newRow("card serial and identification byte")
        << QByteArray::fromHex("1234567801") << kSignatureKey << QByteArray("53d0f4fbbf08c282");
    QTest::newRow("13 bytes pad to two blocks")
        << QByteArray("ROOM1204abcde") << kSignatureKey << QByteArray("64b72aebcc7dc8e52ea0084ffcc7f238");
    QTest::newRow("0 bytes inside the data") << bytes("abcde\0\0\0ROOM1204", 16) << kSignatureKey
                                             << QByteArray("2ea0084ffcc7f23864b72aebcc7dc8e5");
    QTest::newRow("empty data") << QByteArray() << kSignatureKey << QByteArray();
    QTest::newRow("8-byte key") << QByteArray("Tolvane!") << QByteArray("qzxABCDE")
                                << QByteArray("b1e3995b8293b0f8");
    QTest::newRow("9-byte key is cut to 8")
        << QByteArray("Tolvane!") << QByteArray("qzxABCDEF") << QByteArray("b1e3995b8293b0f8");
    QTest::newRow("long key is cut to 8")
        << QByteArray("Tolvane!") << QByteArray("qzxABCDEfront desk") << QByteArray("b1e3995b8293b0f8");
    QTest::newRow("empty key is all 0 bytes")
        << QByteArray("Tolvane!") << QByteArray() << QByteArray("9f71bc5f3094fd38");
}

void TestCipher::encryptString()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, cipherHex);

    const QByteArray cipher = EncryptString(data, key);
    QCOMPARE(cipher.toHex(), cipherHex);
    QCOMPARE(EncryptStringHex(data, key), cipherHex);
    QCOMPARE(DecryptString(cipher, key), data);
    QCOMPARE(DecryptStringHex(cipherHex, key), data);
}

void TestCipher::encryptStringRefusesTrailingNul_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("only a 0 byte") << bytes("\0", 1);
    QTest::newRow("short text") << bytes("abc\0", 4);
    QTest::newRow("signature with identification byte 0") << QByteArray::fromHex("1234567800");
    QTest::newRow("9th byte") << bytes("ROOM1204\0", 9);
}

void TestCipher::encryptStringRefusesTrailingNul()
{
    QFETCH(QByteArray, data);
    const QString expected = QStringLiteral("Error: the last char is NULL char.");
    QCOMPARE(cipherErrorOf([&] { EncryptString(data, kSignatureKey); }), expected);
    QCOMPARE(cipherErrorOf([&] { EncryptStringHex(data, kSignatureKey); }), expected);
}

void TestCipher::encryptStringHexForm_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("paddedLength");

    // Bytes from the whole range, so every hex digit and letter can come up.
    QByteArray sample;
    for (int i = 0; i < 17; ++i)
        sample.append(static_cast<char>(0x11 + i * 0x3B));
    for (const int length : {1, 7, 8, 9, 15, 16, 17})
        QTest::addRow("%d bytes", length) << sample.left(length) << (length + 7) / 8 * 8;
}

void TestCipher::encryptStringHexForm()
{
    QFETCH(QByteArray, data);
    QFETCH(int, paddedLength);

    const QByteArray hex = EncryptStringHex(data, kSignatureKey);
    QCOMPARE(hex.size(), 2 * paddedLength);
    static const QRegularExpression lowerHex(QStringLiteral("^[0-9a-f]*$"));
    QVERIFY2(lowerHex.match(QString::fromLatin1(hex)).hasMatch(), hex.constData());
}

void TestCipher::decryptString_data()
{
    QTest::addColumn<QByteArray>("cipherHex");
    QTest::addColumn<QByteArray>("plain");

    QTest::newRow("padding dropped") << QByteArray("2ea0084ffcc7f238") << QByteArray("abcde");
    QTest::newRow("trailing partial block ignored")
        << QByteArray("2ea0084ffcc7f23864b72a") << QByteArray("abcde");
    QTest::newRow("less than a block") << QByteArray("2ea0084ffcc7f2") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
    // The second block decrypts to eight 0 bytes; every 0 byte at the end goes, across
    // blocks, while the ones in the middle stay.
    QTest::newRow("0 bytes dropped across blocks")
        << QByteArray("2ea0084ffcc7f23869494ac6917f5ba3") << QByteArray("abcde");
    QTest::newRow("0 bytes inside kept")
        << QByteArray("2ea0084ffcc7f23864b72aebcc7dc8e5") << bytes("abcde\0\0\0ROOM1204", 16);
}

void TestCipher::decryptString()
{
    QFETCH(QByteArray, cipherHex);
    QFETCH(QByteArray, plain);
    QCOMPARE(DecryptString(QByteArray::fromHex(cipherHex), kSignatureKey), plain);
}

void TestCipher::decryptStringHex_data()
{
    QTest::addColumn<QByteArray>("hexText");
    QTest::addColumn<QByteArray>("plain");

    QTest::newRow("lower case") << QByteArray("2ea0084ffcc7f238") << QByteArray("abcde");
    QTest::newRow("upper case, as written from card bytes")
        << QByteArray("2EA0084FFCC7F238") << QByteArray("abcde");
    QTest::newRow("mixed case") << QByteArray("2Ea0084fFCc7f238") << QByteArray("abcde");
    QTest::newRow("17 characters use the first 16") << QByteArray("2EA0084FFCC7F2381") << QByteArray("abcde");
    QTest::newRow("odd last character is not read") << QByteArray("2EA0084FFCC7F238z") << QByteArray("abcde");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestCipher::decryptStringHex()
{
    QFETCH(QByteArray, hexText);
    QFETCH(QByteArray, plain);
    QCOMPARE(DecryptStringHex(hexText, kSignatureKey), plain);
}

void TestCipher::decryptStringHexRejectsNonHex_data()
{
    QTest::addColumn<QByteArray>("hexText");
    QTest::newRow("letter past f") << QByteArray("2ea0084ffcc7f23g");
    QTest::newRow("space between pairs") << QByteArray("2ea0 084ffcc7f238");
    QTest::newRow("0x prefix") << QByteArray("0x2ea0084ffcc7f238");
    QTest::newRow("in a trailing partial block") << QByteArray("2ea0084ffcc7f2382z");
}

void TestCipher::decryptStringHexRejectsNonHex()
{
    QFETCH(QByteArray, hexText);
    QCOMPARE(cipherErrorOf([&] { DecryptStringHex(hexText, kSignatureKey); }),
             QStringLiteral("Error: not a Hex String"));
}

void TestCipher::hexToInt_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");

    QTest::newRow("1f") << QByteArray("1f") << 31;
    QTest::newRow("1F") << QByteArray("1F") << 31;
    QTest::newRow("aB") << QByteArray("aB") << 0xAB;
    QTest::newRow("10") << QByteArray("10") << 16;
    QTest::newRow("09") << QByteArray("09") << 9;
    QTest::newRow("leading zeros") << QByteArray("000ff") << 255;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("largest positive") << QByteArray("7FFFFFFF") << 0x7FFFFFFF;
}

void TestCipher::hexToInt()
{
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(HexToInt(text), value);
}

void TestCipher::hexToIntRejectsNonHex_data()
{
    QTest::addColumn<QByteArray>("text");
    for (const char* text : {"1g", "g1", "G", " 1", "1 ", "-1", "+1", "0x1f", "1\xC3\xA9"})
        QTest::newRow(text) << QByteArray(text);
    QTest::newRow("0 byte") << bytes("1\0", 2);
}

void TestCipher::hexToIntRejectsNonHex()
{
    QFETCH(QByteArray, text);
    QCOMPARE(cipherErrorOf([&] { HexToInt(text); }), QStringLiteral("Error: not a Hex String"));
}

void TestCipher::passwordCipherIsItsOwnInverse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");

    QTest::newRow("ASCII, default key") << QStringLiteral("secret123") << QString();
    QTest::newRow("longer than the default key")
        << QStringLiteral("a password of more than nineteen characters") << QString();
    QTest::newRow("non-ASCII") << QStringLiteral(u"Müller-Größe 密码 \u00ff\u0100") << QString();
    QTest::newRow("all ASCII bytes") << [] {
        QString all;
        for (char16_t c = 1; c < 128; ++c)
            all.append(QChar(c));
        return all;
    }() << QString();
    QTest::newRow("explicit key") << QStringLiteral("hunter2") << QStringLiteral("k");
    QTest::newRow("empty text") << QString() << QString();
}

void TestCipher::passwordCipherIsItsOwnInverse()
{
    QFETCH(QString, text);
    QFETCH(QString, key);

    const QString stored = TEncrypt::PasswordCipher(text, key);
    QCOMPARE(stored.size(), text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        QCOMPARE(stored[i].unicode() & 0xFFF0, text[i].unicode() & 0xFFF0);
    QCOMPARE(TEncrypt::PasswordCipher(stored, key), text);
}

void TestCipher::passwordCipherKnownValues_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("cipher");

    // 'A' 0x41 with the default key's 'H' 0x48: low four bits 1 ^ 8 = 9, giving 'I' 0x49.
    QTest::newRow("one character") << QStringLiteral("A") << QString() << QStringLiteral("I");
    QTest::newRow("password") << QStringLiteral("password") << QString() << QStringLiteral("x`twzmun");
    QTest::newRow("default key spelled out")
        << QStringLiteral("password") << QString::fromLatin1(TEncrypt::kDefaultKey)
        << QStringLiteral("x`twzmun");
    // 21 characters: the last two use the key's first two again.
    QTest::newRow("key starts again")
        << QStringLiteral("Front Desk 2024 shift") << QString() << QStringLiteral("Nshjy\"Co{g+681=&qkgnu");
    QTest::newRow("one-character key")
        << QStringLiteral("abc") << QStringLiteral("k") << QStringLiteral("jih");
}

void TestCipher::passwordCipherKnownValues()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QString, cipher);
    QCOMPARE(TEncrypt::PasswordCipher(text, key), cipher);
}

QTEST_GUILESS_MAIN(TestCipher)
#include "TestCipher.moc"
