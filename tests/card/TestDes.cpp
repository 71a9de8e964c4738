#include "card/Des.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <array>

// OpenSSL 3 deprecates its low-level single-DES calls; here they only serve as the reference
// implementation for the cross-check.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

namespace {

using Block = Des::Block;

Block blockFromHex(const QByteArray& hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    Block block{};
    std::copy_n(bytes.cbegin(), std::min<qsizetype>(bytes.size(), 8), block.begin());
    return block;
}

Block blockFromWord(quint64 word)
{
    Block block{};
    for (int i = 7; i >= 0; --i, word >>= 8)
        block[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(word);
    return block;
}

QByteArray hexOf(const Block& block)
{
    return QByteArray(reinterpret_cast<const char*>(block.data()), 8).toHex();
}

Block withParityBitsFlipped(Block key)
{
    for (auto& byte : key)
        byte ^= 0x01;
    return key;
}

// The key 01..01 with one bit set, counted from 1 at the most significant bit.
QByteArray weakKeyWithBit(int bitNumber)
{
    return hexOf(blockFromWord(0x0101010101010101ull | (1ull << (64 - bitNumber))));
}

// Variable-plaintext known answers (NBS SP 500-20, repeated in NIST SP 800-17 table B.1):
// key 01..01, plaintext with only bit i set, for i = 1..64.
constexpr std::array<const char*, 64> kVariablePlaintextCiphers = {
    "95f8a5e5dd31d900", "dd7f121ca5015619", "2e8653104f3834ea", "4bd388ff6cd81d4f", "20b9e767b2fb1456",
    "55579380d77138ef", "6cc5defaaf04512f", "0d9f279ba5d87260", "d9031b0271bd5a0a", "424250b37c3dd951",
    "b8061b7ecd9a21e5", "f15d0f286b65bd28", "add0cc8d6e5deba1", "e6d5f82752ad63d1", "ecbfe3bd3f591a5e",
    "f356834379d165cd", "2b9f982f20037fa9", "889de068a16f0be6", "e19e275d846a1298", "329a8ed523d71aec",
    "e7fce22557d23c97", "12a9f5817ff2d65d", "a484c3ad38dc9c19", "fbe00a8a1ef8ad72", "750d079407521363",
    "64feed9c724c2faf", "f02b263b328e2b60", "9d64555a9a10b852", "d106ff0bed5255d7", "e1652c6b138c64a5",
    "e428581186ec8f46", "aeb5f5ede22d1a36", "e943d7568aec0c5c", "df98c8276f54b04b", "b160e4680f6c696f",
    "fa0752b07d9c4ab8", "ca3a2b036dbc8502", "5e0905517bb59bcf", "814eeb3b91d90726", "4d49db1532919c9f",
    "25eb5fc3f8cf0621", "ab6a20c0620d1c6f", "79e90dbc98f92cca", "866ecedd8072bb0e", "8b54536f2f3e64a8",
    "ea51d3975595b86b", "caffc6ac4542de31", "8dd45a2ddf90796c", "1029d55e880ec2d0", "5d86cb23639dbea9",
    "1d1ca853ae7c0c5f", "ce332329248f3228", "8405d1abe24fb942", "e643d78090ca4207", "48221b9937748a23",
    "dd7c0bbd61fafd54", "2fbc291a570db5c4", "e07c30d7e4e26e12", "0953e2258e8e90a1", "5b711bc4ceebf2ee",
    "cc083f1e6d9e85f6", "d2fd8867d50d2dfe", "06e7ea22ce92708f", "166b40b44aba4bd6",
};

// Variable-key known answers (table B.2): plaintext 0, key 01..01 with one of the 56 key
// bits set, in order (the parity bits 8, 16, ..., 64 are skipped).
constexpr std::array<const char*, 56> kVariableKeyCiphers = {
    "95a8d72813daa94d", "0eec1487dd8c26d5", "7ad16ffb79c45926", "d3746294ca6a6cf3", "809f5f873c1fd761",
    "c02faffec989d1fc", "4615aa1d33e72f10", "2055123350c00858", "df3b99d6577397c8", "31fe17369b5288c9",
    "dfdd3cc64dae1642", "178c83ce2b399d94", "50f636324a9b7f80", "a8468ee3bc18f06d", "a2dc9e92fd3cde92",
    "cac09f797d031287", "90ba680b22aeb525", "ce7a24f350e280b6", "882bff0aa01a0b87", "25610288924511c2",
    "c71516c29c75d170", "5199c29a52c9f059", "c22f0a294a71f29f", "ee371483714c02ea", "a81fbd448f9e522f",
    "4f644c92e192dfed", "1afa9a66a6df92ae", "b3c1cc715cb879d8", "19d032e64ab0bd8b", "3cfaa7a7dc8720dc",
    "b7265f7f447ac6f3", "9db73b3c0d163f54", "8181b65babf4a975", "93c9b64042eaa240", "5570530829705592",
    "8638809e878787a0", "41b9a79af79ac208", "7a9be42f2009a892", "29038d56ba6d2745", "5495c6abf1e5df51",
    "ae13dbd561488933", "024d1ffa8904e389", "d1399712f99bf02e", "14c1d7c1cffec79e", "1de5279dae3bed6f",
    "e941a33f85501303", "da99dbbc9a03f379", "b7fc92f91d8e92e9", "ae8e5caa3ca04e85", "9cc62df43b6eed74",
    "d863dbb5c59a91a0", "a1ab2190545b91d7", "0875041e64c570f7", "5a594528bebef1cc", "fcdb3291de21f0c0",
    "869efd7f9f265a09",
};

struct KeyCipher
{
    const char* key;
    const char* cipher;
};

// Permutation-operation known answers (table B.3): plaintext 0; the keys drive every
// input of the P permutation.
constexpr std::array<KeyCipher, 32> kPermutationOperation = {{
    {"1046913489980131", "88d55e54f54c97b4"}, {"1007103489988020", "0c0cc00c83ea48fd"},
    {"10071034c8980120", "83bc8ef3a6570183"}, {"1046103489988020", "df725dcad94ea2e9"},
    {"1086911519190101", "e652b53b550be8b0"}, {"1086911519580101", "af527120c485cbb0"},
    {"5107b01519580101", "0f04ce393db926d5"}, {"1007b01519190101", "c9f00ffc74079067"},
    {"3107915498080101", "7cfd82a593252b4e"}, {"3107919498080101", "cb49a2f9e91363e3"},
    {"10079115b9080140", "00b588be70d23f56"}, {"3107911598080140", "406a9a6ab43399ae"},
    {"1007d01589980101", "6cb773611dca9ada"}, {"9107911589980101", "67fd21c17dbb5d70"},
    {"9107d01589190101", "9592cb4110430787"}, {"1007d01598980120", "a6b7ff68a318ddd3"},
    {"1007940498190101", "4d102196c914ca16"}, {"0107910491190401", "2dfa9f4573594965"},
    {"0107910491190101", "b46604816c0e0774"}, {"0107940491190401", "6e7e6221a4f34e87"},
    {"19079210981a0101", "aa85e74643233199"}, {"1007911998190801", "2e5a19db4d1962d6"},
    {"10079119981a0801", "23a866a809d30894"}, {"1007921098190101", "d812d961f017d320"},
    {"100791159819010b", "055605816e58608f"}, {"1004801598190101", "abd88e8b1b7716f1"},
    {"1004801598190102", "537ac95be69da1e1"}, {"1004801598190108", "aed0f6ae3c25cdd8"},
    {"1002911598100104", "b3e35a5ee53e7b8d"}, {"1002911598190104", "61c79c71921a2ef8"},
    {"1002911598100201", "e2f5728f0995013c"}, {"1002911698100101", "1aeac39a61f0a464"},
}};

struct KnownAnswer
{
    const char* key;
    const char* plain;
    const char* cipher;
};

// Substitution-table known answers (table B.4): together they reach every S-box entry.
constexpr std::array<KnownAnswer, 19> kSubstitutionTable = {{
    {"7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
    {"0131d9619dc1376e", "5cd54ca83def57da", "7a389d10354bd271"},
    {"07a1133e4a0b2686", "0248d43806f67172", "868ebb51cab4599a"},
    {"3849674c2602319e", "51454b582ddf440a", "7178876e01f19b2a"},
    {"04b915ba43feb5b6", "42fd443059577fa2", "af37fb421f8c4095"},
    {"0113b970fd34f2ce", "059b5e0851cf143a", "86a560f10ec6d85b"},
    {"0170f175468fb5e6", "0756d8e0774761d2", "0cd3da020021dc09"},
    {"43297fad38e373fe", "762514b829bf486a", "ea676b2cb7db2b7a"},
    {"07a7137045da2a16", "3bdd119049372802", "dfd64a815caf1a0f"},
    {"04689104c2fd3b2f", "26955f6835af609a", "5c513c9c4886c088"},
    {"37d06bb516cb7546", "164d5e404f275232", "0a2aeeae3ff4ab77"},
    {"1f08260d1ac2465e", "6b056e18759f5cca", "ef1bf03e5dfa575a"},
    {"584023641aba6176", "004bd6ef09176062", "88bf0db6d70dee56"},
    {"025816164629b007", "480d39006ee762f2", "a1f9915541020b56"},
    {"49793ebc79b3258f", "437540c8698f3cfa", "6fbf1cafcffd0556"},
    {"4fb05e1515ab73a7", "072d43a077075292", "2f22e49bab7ca1ac"},
    {"49e95d6d4ca229bf", "02fe55778117f12a", "5a6b612cc26cce4a"},
    {"018310dc409b26d6", "1d9d5c5018f728c2", "5f4c038ed12b2e41"},
    {"1c587f1c13924fef", "305532286d6f295a", "63fac0d034d9f793"},
}};

struct OpenSslDes
{
    explicit OpenSslDes(const Des::Key& key)
    {
        DES_cblock keyBlock;
        std::copy(key.cbegin(), key.cend(), keyBlock);
        DES_set_key_unchecked(&keyBlock, &schedule);
    }
    Block run(const Block& input, int direction)
    {
        DES_cblock in;
        DES_cblock out;
        std::copy(input.cbegin(), input.cend(), in);
        DES_ecb_encrypt(&in, &out, &schedule, direction);
        Block result{};
        std::copy(std::begin(out), std::end(out), result.begin());
        return result;
    }
    DES_key_schedule schedule{};
};

} // namespace

class TestDes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void knownAnswers_data();
    void knownAnswers();
    void singleFaultRecurrence();
    void matchesOpenSsl();
};

void TestDes::knownAnswers_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("cipher");

    QTest::newRow("worked example") << QByteArray("133457799bbcdff1") << QByteArray("0123456789abcdef")
                                    << QByteArray("85e813540f0ab405");
    QTest::newRow("\"Now is t\"") << QByteArray("0123456789abcdef") << QByteArray("4e6f772069732074")
                                  << QByteArray("3fa40e8a984d4815");
    QTest::newRow("sample round outputs")
        << QByteArray("10316e028c8f3b4a") << QByteArray("0000000000000000") << QByteArray("82dcbafbdeab6602");

    // With the weak key 01..01 encryption equals decryption, so checking both directions
    // also covers the inverse-permutation table, which is these pairs read backwards.
    for (int bit = 1; bit <= 64; ++bit)
        QTest::addRow("variable plaintext, bit %d", bit)
            << QByteArray("0101010101010101") << hexOf(blockFromWord(1ull << (64 - bit)))
            << QByteArray(kVariablePlaintextCiphers[static_cast<std::size_t>(bit - 1)]);

    std::size_t keyBitIndex = 0;
    for (int bit = 1; bit <= 64; ++bit) {
        if (bit % 8 == 0)
            continue;
        QTest::addRow("variable key, bit %d", bit) << weakKeyWithBit(bit) << QByteArray("0000000000000000")
                                                   << QByteArray(kVariableKeyCiphers[keyBitIndex++]);
    }

    for (const auto& [key, cipher] : kPermutationOperation)
        QTest::addRow("permutation operation, key %s", key)
            << QByteArray(key) << QByteArray("0000000000000000") << QByteArray(cipher);

    for (const auto& [key, plain, cipher] : kSubstitutionTable)
        QTest::addRow("substitution table, key %s", key)
            << QByteArray(key) << QByteArray(plain) << QByteArray(cipher);
}

void TestDes::knownAnswers()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, cipher);

    const Des des(blockFromHex(key));
    QCOMPARE(hexOf(des.encrypt(blockFromHex(plain))), cipher);
    QCOMPARE(hexOf(des.decrypt(blockFromHex(cipher))), plain);

    const Des sameKeyOtherParity(withParityBitsFlipped(blockFromHex(key)));
    QCOMPARE(hexOf(sameKeyOtherParity.encrypt(blockFromHex(plain))), cipher);
}

// Rivest's recurrence: X(i+1) = E(Xi, Xi) for even i, D(Xi, Xi) for odd i. Reaching the
// published X16 rules out every single fault in the tables and the schedule.
void TestDes::singleFaultRecurrence()
{
    Block x = blockFromHex("9474b8e8c73bca7d");
    for (int i = 0; i < 16; ++i) {
        const Des des(x);
        x = i % 2 == 0 ? des.encrypt(x) : des.decrypt(x);
    }
    QCOMPARE(hexOf(x), QByteArray("1b1a2ddb4c642438"));
}

void TestDes::matchesOpenSsl()
{
    QRandomGenerator random(20240506);
    for (int i = 0; i < 400; ++i) {
        const Des::Key key = blockFromWord(random.generate64());
        const Block block = blockFromWord(random.generate64());
        const Des ours(key);
        OpenSslDes reference(key);
        // Key and input go into both sides of the comparison, so a failure names them.
        const QByteArray context = hexOf(key) + ' ' + hexOf(block) + ' ';
        QCOMPARE(context + hexOf(ours.encrypt(block)), context + hexOf(reference.run(block, DES_ENCRYPT)));
        QCOMPARE(context + hexOf(ours.decrypt(block)), context + hexOf(reference.run(block, DES_DECRYPT)));
    }
}

QTEST_GUILESS_MAIN(TestDes)
#include "TestDes.moc"
