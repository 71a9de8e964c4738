#include "MifareClassic.h"

#include <QTest>

using KeyType = MifareClassic::KeyType;
using Key = MifareClassic::Key;

namespace {

const Key kFactoryKey = MifareClassic::kTransportKey;
const Key kSiteKeyA{0x11, 0x22, 0x33, 0x11, 0x22, 0x33};
const Key kCardKeyB{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
const MifareClassic::Uid kUid{0xDE, 0xAD, 0xBE, 0xEF};

QByteArray keyBytes(const Key& key)
{
    QByteArray bytes;
    for (quint8 b : key)
        bytes.append(static_cast<char>(b));
    return bytes;
}

Key toKey(const QByteArray& bytes)
{
    Key key{};
    std::copy_n(bytes.constData(), key.size(), key.begin());
    return key;
}

QByteArray trailer(const Key& keyA, const QByteArray& accessAndGeneral, const Key& keyB)
{
    return keyBytes(keyA) + accessAndGeneral + keyBytes(keyB);
}

// Access bytes of the card sector: data read A|B, write B; trailer keys and bits by Key B.
const QByteArray kCardSectorAccess = QByteArray::fromHex("78778869");

MifareClassic cardWithSector1(const QByteArray& trailerBytes)
{
    MifareClassic card = MifareClassic::factory(MifareClassic::Kind::Classic1K, kUid);
    card.setRawBlock(7, trailerBytes);
    return card;
}

} // namespace

class TestMifareClassic : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodesAccessBytes_data();
    void decodesAccessBytes();
    void encodingRoundTripsAndEveryFlippedBitIsCaught();
    void accessTable_data();
    void accessTable();

    void factoryCardLayout();
    void dumpRoundTrip();
    void authenticatesOnlyWithTheStoredKey_data();
    void authenticatesOnlyWithTheStoredKey();
    void keysReadBackAsTheConditionsAllow_data();
    void keysReadBackAsTheConditionsAllow();
    void dataWriteFollowsTheConditions();
    void trailerWritePutsNewKeysInForce();
    void trailerWriteKeepsFieldsTheKeyMayNotChange();
    void trailerWriteWithInconsistentBitsIsRefused();
    void sectorWithInconsistentBitsIsBlocked();
    void manufacturerBlockIsReadOnly();
    void accessStaysInsideTheAuthenticatedSector();
    void fourKGeometry_data();
    void fourKGeometry();
    void largeSectorGroupsCoverFiveBlocks();
};

void TestMifareClassic::decodesAccessBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<int>>("conditions");
    QTest::newRow("transport FF 07 80") << QByteArray::fromHex("FF0780") << true << QList<int>{0, 0, 0, 1};
    QTest::newRow("card sector 78 77 88") << QByteArray::fromHex("787788") << true << QList<int>{4, 4, 4, 3};
    QTest::newRow("7F 07 88") << QByteArray::fromHex("7F0788") << true << QList<int>{0, 0, 0, 3};
    // Block 0 read-only (010), block 1 value (110), block 2 B only (011), trailer 100.
    QTest::newRow("mixed groups") << QByteArray::fromHex("85AB47") << true << QList<int>{2, 6, 3, 4};
    QTest::newRow("inconsistent byte 8") << QByteArray::fromHex("FF0781") << false << QList<int>{};
    QTest::newRow("inconsistent byte 6") << QByteArray::fromHex("797788") << false << QList<int>{};
    QTest::newRow("all zero") << QByteArray::fromHex("000000") << false << QList<int>{};
}

void TestMifareClassic::decodesAccessBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(QList<int>, conditions);
    const auto decoded = decodeAccessBits(static_cast<quint8>(bytes[0]), static_cast<quint8>(bytes[1]),
                                          static_cast<quint8>(bytes[2]));
    QCOMPARE(decoded.has_value(), valid);
    if (valid)
        QCOMPARE(QList<int>(decoded->begin(), decoded->end()), conditions);
}

void TestMifareClassic::encodingRoundTripsAndEveryFlippedBitIsCaught()
{
    for (int combined = 0; combined < 8 * 8 * 8 * 8; ++combined) {
        const std::array<int, 4> conditions{combined & 7, (combined >> 3) & 7, (combined >> 6) & 7,
                                            combined >> 9};
        const auto bytes = encodeAccessBits(conditions);
        QCOMPARE(decodeAccessBits(bytes[0], bytes[1], bytes[2]), std::optional(conditions));
        for (int bit = 0; bit < 24; ++bit) {
            auto flipped = bytes;
            flipped[static_cast<size_t>(bit / 8)] ^= static_cast<quint8>(1 << (bit % 8));
            QVERIFY(!decodeAccessBits(flipped[0], flipped[1], flipped[2]));
        }
    }
}

void TestMifareClassic::accessTable_data()
{
    QTest::addColumn<int>("condition");
    QTest::addColumn<AccessArea>("area");
    QTest::addColumn<AccessOperation>("operation");
    QTest::addColumn<bool>("withA");
    QTest::addColumn<bool>("withB");
    const auto row = [](const char* name, int c, AccessArea area, AccessOperation op, bool a, bool b) {
        QTest::newRow(name) << c << area << op << a << b;
    };
    using enum AccessArea;
    using enum AccessOperation;
    row("data 000 read", 0, Data, Read, true, true);
    row("data 000 write", 0, Data, Write, true, true);
    row("data 010 write", 2, Data, Write, false, false);
    row("data 100 read", 4, Data, Read, true, true);
    row("data 100 write", 4, Data, Write, false, true);
    row("data 011 read", 3, Data, Read, false, true);
    row("data 101 write", 5, Data, Write, false, false);
    row("data 111 read", 7, Data, Read, false, false);
    row("trailer 011 key A read", 3, TrailerKeyA, Read, false, false);
    row("trailer 011 key A write", 3, TrailerKeyA, Write, false, true);
    row("trailer 011 bits read", 3, TrailerAccessBits, Read, true, true);
    row("trailer 011 bits write", 3, TrailerAccessBits, Write, false, true);
    row("trailer 011 key B read", 3, TrailerKeyB, Read, false, false);
    row("trailer 011 key B write", 3, TrailerKeyB, Write, false, true);
    row("trailer 001 key A write", 1, TrailerKeyA, Write, true, false);
    row("trailer 001 bits write", 1, TrailerAccessBits, Write, true, false);
    row("trailer 001 key B read", 1, TrailerKeyB, Read, true, false);
    row("trailer 000 bits write", 0, TrailerAccessBits, Write, false, false);
    row("trailer 100 bits write", 4, TrailerAccessBits, Write, false, false);
    row("trailer 101 bits write", 5, TrailerAccessBits, Write, false, true);
    row("trailer 101 key A write", 5, TrailerKeyA, Write, false, false);
    row("trailer 111 bits read", 7, TrailerAccessBits, Read, true, true);
    row("trailer 110 key B write", 6, TrailerKeyB, Write, false, false);
}

void TestMifareClassic::accessTable()
{
    QFETCH(int, condition);
    QFETCH(AccessArea, area);
    QFETCH(AccessOperation, operation);
    QFETCH(bool, withA);
    QFETCH(bool, withB);
    QCOMPARE(accessAllows(condition, area, KeyType::A, operation), withA);
    QCOMPARE(accessAllows(condition, area, KeyType::B, operation), withB);
}

void TestMifareClassic::factoryCardLayout()
{
    const auto card1k = MifareClassic::factory(MifareClassic::Kind::Classic1K, kUid);
    QCOMPARE(card1k.dump().size(), 1024);
    // UID, BCC (DE^AD^BE^EF = 0x22), SAK 08, ATQA 0004 low byte first.
    QCOMPARE(card1k.rawBlock(0).left(8), QByteArray::fromHex("DEADBEEF22080400"));
    QCOMPARE(card1k.rawBlock(4), QByteArray(16, '\0'));
    for (int sector = 0; sector < 16; ++sector)
        QCOMPARE(card1k.rawBlock(sector * 4 + 3), QByteArray::fromHex("FFFFFFFFFFFFFF078069FFFFFFFFFFFF"));

    const auto card4k = MifareClassic::factory(MifareClassic::Kind::Classic4K);
    QCOMPARE(card4k.dump().size(), 4096);
    QCOMPARE(card4k.rawBlock(0).mid(5, 3), QByteArray::fromHex("180200"));
    QCOMPARE(card4k.rawBlock(255), card1k.rawBlock(3));
    QCOMPARE(card4k.rawBlock(143), card1k.rawBlock(3));
    QCOMPARE(card4k.rawBlock(142), QByteArray(16, '\0'));
}

void TestMifareClassic::dumpRoundTrip()
{
    auto card = MifareClassic::factory(MifareClassic::Kind::Classic4K, kUid);
    card.setRawBlock(200, QByteArray(16, '\x5A'));
    const auto copy = MifareClassic::fromDump(card.dump());
    QVERIFY(copy);
    QCOMPARE(copy->kind(), MifareClassic::Kind::Classic4K);
    QCOMPARE(copy->dump(), card.dump());
    QCOMPARE(copy->uid(), kUid);
    QVERIFY(!MifareClassic::fromDump(QByteArray(1000, '\0')));
}

void TestMifareClassic::authenticatesOnlyWithTheStoredKey_data()
{
    QTest::addColumn<QByteArray>("sectorTrailer");
    QTest::addColumn<KeyType>("keyType");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("accepted");
    const QByteArray issued = trailer(kSiteKeyA, kCardSectorAccess, kCardKeyB);
    const QByteArray factory = trailer(kFactoryKey, QByteArray::fromHex("FF078069"), kFactoryKey);
    QTest::newRow("site Key A") << issued << KeyType::A << keyBytes(kSiteKeyA) << true;
    QTest::newRow("card Key B") << issued << KeyType::B << keyBytes(kCardKeyB) << true;
    QTest::newRow("factory key on issued card") << issued << KeyType::A << keyBytes(kFactoryKey) << false;
    QTest::newRow("Key A value as Key B") << issued << KeyType::B << keyBytes(kSiteKeyA) << false;
    QTest::newRow("factory Key A") << factory << KeyType::A << keyBytes(kFactoryKey) << true;
    // Transport trailer (001) makes Key B readable, so it is data and cannot authenticate.
    QTest::newRow("readable Key B refused") << factory << KeyType::B << keyBytes(kFactoryKey) << false;
}

void TestMifareClassic::authenticatesOnlyWithTheStoredKey()
{
    QFETCH(QByteArray, sectorTrailer);
    QFETCH(KeyType, keyType);
    QFETCH(QByteArray, key);
    QFETCH(bool, accepted);
    auto card = cardWithSector1(sectorTrailer);
    QCOMPARE(card.authenticate(1, keyType, toKey(key)), accepted);
    QCOMPARE(card.authenticatedSector(), accepted ? std::optional(1) : std::nullopt);
    QCOMPARE(card.read(4).has_value(), accepted);
}

void TestMifareClassic::keysReadBackAsTheConditionsAllow_data()
{
    QTest::addColumn<QByteArray>("sectorTrailer");
    QTest::addColumn<KeyType>("keyType");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray issued = trailer(kSiteKeyA, kCardSectorAccess, kCardKeyB);
    QTest::newRow("issued, Key B: keys hidden") << issued << KeyType::B << keyBytes(kCardKeyB)
                                                << QByteArray::fromHex("00000000000078778869000000000000");
    QTest::newRow("issued, Key A: keys hidden") << issued << KeyType::A << keyBytes(kSiteKeyA)
                                                << QByteArray::fromHex("00000000000078778869000000000000");
    QTest::newRow("transport, Key A: Key B is data")
        << trailer(kFactoryKey, QByteArray::fromHex("FF078069"), kCardKeyB) << KeyType::A
        << keyBytes(kFactoryKey) << QByteArray::fromHex("000000000000FF078069A1B2C3D4E5F6");
}

void TestMifareClassic::keysReadBackAsTheConditionsAllow()
{
    QFETCH(QByteArray, sectorTrailer);
    QFETCH(KeyType, keyType);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    auto card = cardWithSector1(sectorTrailer);
    QVERIFY(card.authenticate(1, keyType, toKey(key)));
    QCOMPARE(card.read(7), std::optional(expected));
}

void TestMifareClassic::dataWriteFollowsTheConditions()
{
    auto card = cardWithSector1(trailer(kSiteKeyA, kCardSectorAccess, kCardKeyB));
    const QByteArray image(16, '\x42');
    QVERIFY(card.authenticate(1, KeyType::A, kSiteKeyA));
    QVERIFY(!card.write(5, image));
    QCOMPARE(card.rawBlock(5), QByteArray(16, '\0'));
    QVERIFY(card.authenticate(1, KeyType::B, kCardKeyB));
    QVERIFY(card.write(5, image));
    QCOMPARE(card.read(5), std::optional(image));
    QVERIFY(!card.write(5, QByteArray(15, '\0')));
}

void TestMifareClassic::trailerWritePutsNewKeysInForce()
{
    auto card = MifareClassic::factory(MifareClassic::Kind::Classic1K, kUid);
    QVERIFY(card.authenticate(1, KeyType::A, kFactoryKey));
    QVERIFY(card.write(7, trailer(kSiteKeyA, kCardSectorAccess, kCardKeyB)));
    QCOMPARE(card.rawBlock(7), trailer(kSiteKeyA, kCardSectorAccess, kCardKeyB));

    QVERIFY(!card.authenticate(1, KeyType::A, kFactoryKey));
    QVERIFY(card.authenticate(1, KeyType::A, kSiteKeyA));
    QVERIFY(card.read(4));
    QVERIFY(!card.write(4, QByteArray(16, '\x01')));
    QVERIFY(card.authenticate(1, KeyType::B, kCardKeyB));
    QVERIFY(card.write(4, QByteArray(16, '\x01')));
    // Other sectors keep their transport keys.
    QVERIFY(card.authenticate(2, KeyType::A, kFactoryKey));
}

void TestMifareClassic::trailerWriteKeepsFieldsTheKeyMayNotChange()
{
    // Condition 100: Key B may change both keys but never the access bits.
    const auto bits = encodeAccessBits({0, 0, 0, 4});
    const QByteArray access = QByteArray(reinterpret_cast<const char*>(bits.data()), 3) + '\x69';
    auto card = cardWithSector1(trailer(kSiteKeyA, access, kCardKeyB));
    QVERIFY(card.authenticate(1, KeyType::B, kCardKeyB));
    const Key newKeyA{1, 2, 3, 4, 5, 6};
    QVERIFY(card.write(7, trailer(newKeyA, kCardSectorAccess, kCardKeyB)));
    QCOMPARE(card.rawBlock(7), trailer(newKeyA, access, kCardKeyB));

    // Key A may change nothing in this trailer: the write is refused.
    QVERIFY(card.authenticate(1, KeyType::A, newKeyA));
    QVERIFY(!card.write(7, trailer(kSiteKeyA, access, kCardKeyB)));
    QCOMPARE(card.rawBlock(7), trailer(newKeyA, access, kCardKeyB));
}

void TestMifareClassic::trailerWriteWithInconsistentBitsIsRefused()
{
    auto card = MifareClassic::factory(MifareClassic::Kind::Classic1K, kUid);
    const QByteArray before = card.rawBlock(7);
    QVERIFY(card.authenticate(1, KeyType::A, kFactoryKey));
    QVERIFY(
        !card.write(7, trailer(kSiteKeyA, QByteArray::fromHex("78778869").replace(2, 1, "\x89"), kCardKeyB)));
    QCOMPARE(card.rawBlock(7), before);
    QVERIFY(card.authenticate(1, KeyType::A, kFactoryKey));
}

void TestMifareClassic::sectorWithInconsistentBitsIsBlocked()
{
    auto card = cardWithSector1(trailer(kFactoryKey, QByteArray::fromHex("FF078169"), kFactoryKey));
    QVERIFY(!card.authenticate(1, KeyType::A, kFactoryKey));
    QVERIFY(card.authenticate(2, KeyType::A, kFactoryKey));
}

void TestMifareClassic::manufacturerBlockIsReadOnly()
{
    auto card = MifareClassic::factory(MifareClassic::Kind::Classic1K, kUid);
    const QByteArray block0 = card.rawBlock(0);
    QVERIFY(card.authenticate(0, KeyType::A, kFactoryKey));
    QCOMPARE(card.read(0), std::optional(block0));
    QVERIFY(!card.write(0, QByteArray(16, '\0')));
    QCOMPARE(card.rawBlock(0), block0);
    QVERIFY(card.write(1, QByteArray(16, '\x07')));
}

void TestMifareClassic::accessStaysInsideTheAuthenticatedSector()
{
    auto card = MifareClassic::factory(MifareClassic::Kind::Classic1K, kUid);
    QVERIFY(!card.read(4));
    QVERIFY(card.authenticate(1, KeyType::A, kFactoryKey));
    QVERIFY(card.read(4));
    QVERIFY(!card.read(8));
    QVERIFY(!card.write(3, QByteArray(16, '\0')));
    QVERIFY(!card.read(64));
    card.dropAuthentication();
    QVERIFY(!card.read(4));
}

void TestMifareClassic::fourKGeometry_data()
{
    QTest::addColumn<int>("sector");
    QTest::addColumn<int>("firstBlock");
    QTest::addColumn<int>("blocks");
    QTest::newRow("sector 0") << 0 << 0 << 4;
    QTest::newRow("sector 31") << 31 << 124 << 4;
    QTest::newRow("sector 32") << 32 << 128 << 16;
    QTest::newRow("sector 33") << 33 << 144 << 16;
    QTest::newRow("sector 39") << 39 << 240 << 16;
}

void TestMifareClassic::fourKGeometry()
{
    QFETCH(int, sector);
    QFETCH(int, firstBlock);
    QFETCH(int, blocks);
    QCOMPARE(MifareClassic::firstBlockOfSector(sector), firstBlock);
    QCOMPARE(MifareClassic::blocksInSector(sector), blocks);
    QCOMPARE(MifareClassic::trailerBlockOfSector(sector), firstBlock + blocks - 1);
    for (int block = firstBlock; block < firstBlock + blocks; ++block) {
        QCOMPARE(MifareClassic::sectorOfBlock(block), sector);
        QCOMPARE(MifareClassic::isTrailer(block), block == firstBlock + blocks - 1);
    }
    auto card = MifareClassic::factory(MifareClassic::Kind::Classic4K, kUid);
    QVERIFY(card.authenticate(sector, KeyType::A, kFactoryKey));
    QCOMPARE(card.read(firstBlock + blocks - 1)->mid(6, 4), QByteArray::fromHex("FF078069"));
    QVERIFY(card.write(firstBlock + blocks - 2, QByteArray(16, '\x33')));
}

void TestMifareClassic::largeSectorGroupsCoverFiveBlocks()
{
    // Sector 33: group 0 (blocks 144-148) free, group 1 (149-153) read-only, group 2 (154-158) B only.
    auto card = MifareClassic::factory(MifareClassic::Kind::Classic4K, kUid);
    const auto bits = encodeAccessBits({0, 2, 3, 1});
    card.setRawBlock(159, keyBytes(kFactoryKey) + QByteArray(reinterpret_cast<const char*>(bits.data()), 3) +
                              '\x69' + keyBytes(kFactoryKey));
    QVERIFY(card.authenticate(33, KeyType::A, kFactoryKey));
    const QByteArray data(16, '\x44');
    QVERIFY(card.write(148, data));
    QVERIFY(!card.write(149, data));
    QVERIFY(card.read(153));
    QVERIFY(!card.read(154));
    QVERIFY(!card.read(158));
}

QTEST_GUILESS_MAIN(TestMifareClassic)
#include "TestMifareClassic.moc"
