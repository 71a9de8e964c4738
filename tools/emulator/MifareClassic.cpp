#include "MifareClassic.h"

#include <QRandomGenerator>

namespace {

// Who may do something under one access condition.
enum class Who : quint8 { Never, KeyA, KeyB, Either };

struct DataRights
{
    Who read;
    Who write;
};

// Data blocks, indexed by C1 C2 C3 (value-block operations are not modelled).
constexpr std::array<DataRights, 8> kDataTable{{
    {Who::Either, Who::Either}, // 000 transport configuration
    {Who::Either, Who::Never},  // 001 value block, decrement only
    {Who::Either, Who::Never},  // 010 read-only block
    {Who::KeyB, Who::KeyB},     // 011
    {Who::Either, Who::KeyB},   // 100
    {Who::KeyB, Who::Never},    // 101
    {Who::Either, Who::KeyB},   // 110 value block, rechargeable with Key B
    {Who::Never, Who::Never},   // 111
}};

struct TrailerRights
{
    Who keyARead;
    Who keyAWrite;
    Who accessRead;
    Who accessWrite;
    Who keyBRead;
    Who keyBWrite;
};

// Sector trailers, indexed by C1 C2 C3. Key A is never readable.
constexpr std::array<TrailerRights, 8> kTrailerTable{{
    {Who::Never, Who::KeyA, Who::KeyA, Who::Never, Who::KeyA, Who::KeyA},      // 000
    {Who::Never, Who::KeyA, Who::KeyA, Who::KeyA, Who::KeyA, Who::KeyA},       // 001 transport
    {Who::Never, Who::Never, Who::KeyA, Who::Never, Who::KeyA, Who::Never},    // 010
    {Who::Never, Who::KeyB, Who::Either, Who::KeyB, Who::Never, Who::KeyB},    // 011
    {Who::Never, Who::KeyB, Who::Either, Who::Never, Who::Never, Who::KeyB},   // 100
    {Who::Never, Who::Never, Who::Either, Who::KeyB, Who::Never, Who::Never},  // 101
    {Who::Never, Who::Never, Who::Either, Who::Never, Who::Never, Who::Never}, // 110
    {Who::Never, Who::Never, Who::Either, Who::Never, Who::Never, Who::Never}, // 111
}};

bool admits(Who who, MifareClassic::KeyType keyType)
{
    switch (who) {
    case Who::Never:
        return false;
    case Who::KeyA:
        return keyType == MifareClassic::KeyType::A;
    case Who::KeyB:
        return keyType == MifareClassic::KeyType::B;
    case Who::Either:
        return true;
    }
    return false;
}

constexpr int kKeyBytes = 6;
constexpr int kAccessOffset = 6;
constexpr int kAccessBytes = 4; // three access bytes and the general-purpose byte
constexpr int kKeyBOffset = 10;

// Manufacturer data after UID, BCC, SAK and ATQA: fixed, so dumps of one UID are identical.
constexpr std::array<quint8, 8> kManufacturerData{0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69};

int bitOf(int nibble, int group)
{
    return (nibble >> group) & 1;
}

} // namespace

std::optional<std::array<int, 4>> decodeAccessBits(quint8 b6, quint8 b7, quint8 b8)
{
    const int notC1 = b6 & 0x0F;
    const int notC2 = b6 >> 4;
    const int notC3 = b7 & 0x0F;
    const int c1 = b7 >> 4;
    const int c2 = b8 & 0x0F;
    const int c3 = b8 >> 4;
    if ((c1 ^ notC1) != 0x0F || (c2 ^ notC2) != 0x0F || (c3 ^ notC3) != 0x0F)
        return std::nullopt;
    std::array<int, 4> conditions{};
    for (int group = 0; group < 4; ++group)
        conditions[group] = (bitOf(c1, group) << 2) | (bitOf(c2, group) << 1) | bitOf(c3, group);
    return conditions;
}

std::array<quint8, 3> encodeAccessBits(const std::array<int, 4>& conditions)
{
    int c1 = 0;
    int c2 = 0;
    int c3 = 0;
    for (int group = 0; group < 4; ++group) {
        c1 |= ((conditions[group] >> 2) & 1) << group;
        c2 |= ((conditions[group] >> 1) & 1) << group;
        c3 |= (conditions[group] & 1) << group;
    }
    return {static_cast<quint8>(((~c2 & 0x0F) << 4) | (~c1 & 0x0F)),
            static_cast<quint8>((c1 << 4) | (~c3 & 0x0F)), static_cast<quint8>((c3 << 4) | c2)};
}

bool accessAllows(int condition, AccessArea area, MifareClassic::KeyType keyType, AccessOperation operation)
{
    if (condition < 0 || condition > 7)
        return false;
    const bool reading = operation == AccessOperation::Read;
    const TrailerRights& trailer = kTrailerTable[static_cast<size_t>(condition)];
    switch (area) {
    case AccessArea::Data: {
        const DataRights& data = kDataTable[static_cast<size_t>(condition)];
        return admits(reading ? data.read : data.write, keyType);
    }
    case AccessArea::TrailerKeyA:
        return admits(reading ? trailer.keyARead : trailer.keyAWrite, keyType);
    case AccessArea::TrailerAccessBits:
        return admits(reading ? trailer.accessRead : trailer.accessWrite, keyType);
    case AccessArea::TrailerKeyB:
        return admits(reading ? trailer.keyBRead : trailer.keyBWrite, keyType);
    }
    return false;
}

bool conditionMakesKeyBReadable(int trailerCondition)
{
    return trailerCondition >= 0 && trailerCondition <= 7 &&
           kTrailerTable[static_cast<size_t>(trailerCondition)].keyBRead != Who::Never;
}

MifareClassic MifareClassic::factory(Kind kind, std::optional<Uid> uid)
{
    const int blocks = kind == Kind::Classic1K ? 64 : 256;
    MifareClassic card(kind, QByteArray(blocks * kBlockSize, '\0'));
    if (!uid) {
        const quint32 random = QRandomGenerator::global()->generate();
        uid = Uid{static_cast<quint8>(random >> 24), static_cast<quint8>(random >> 16),
                  static_cast<quint8>(random >> 8), static_cast<quint8>(random)};
    }
    QByteArray manufacturer;
    for (quint8 byte : *uid)
        manufacturer.append(static_cast<char>(byte));
    manufacturer.append(static_cast<char>((*uid)[0] ^ (*uid)[1] ^ (*uid)[2] ^ (*uid)[3]));
    manufacturer.append(static_cast<char>(card.sak()));
    manufacturer.append(static_cast<char>(card.atqa() & 0xFF));
    manufacturer.append(static_cast<char>(card.atqa() >> 8));
    for (quint8 byte : kManufacturerData)
        manufacturer.append(static_cast<char>(byte));
    card.setRawBlock(0, manufacturer);

    QByteArray trailer;
    for (quint8 byte : kTransportKey)
        trailer.append(static_cast<char>(byte));
    for (quint8 byte : kTransportAccess)
        trailer.append(static_cast<char>(byte));
    trailer.append(static_cast<char>(kTransportGeneralByte));
    for (quint8 byte : kTransportKey)
        trailer.append(static_cast<char>(byte));
    for (int sector = 0; sector < card.sectorCount(); ++sector)
        card.setRawBlock(trailerBlockOfSector(sector), trailer);
    return card;
}

std::optional<MifareClassic> MifareClassic::fromDump(const QByteArray& dump)
{
    if (dump.size() == 64 * kBlockSize)
        return MifareClassic(Kind::Classic1K, dump);
    if (dump.size() == 256 * kBlockSize)
        return MifareClassic(Kind::Classic4K, dump);
    return std::nullopt;
}

MifareClassic::Uid MifareClassic::uid() const
{
    return {static_cast<quint8>(m_memory[0]), static_cast<quint8>(m_memory[1]),
            static_cast<quint8>(m_memory[2]), static_cast<quint8>(m_memory[3])};
}

int MifareClassic::firstBlockOfSector(int sector)
{
    return sector < 32 ? sector * 4 : 128 + 16 * (sector - 32);
}

int MifareClassic::sectorOfBlock(int block)
{
    return block < 128 ? block / 4 : 32 + (block - 128) / 16;
}

void MifareClassic::setRawBlock(int block, const QByteArray& sixteenBytes)
{
    Q_ASSERT(hasBlock(block) && sixteenBytes.size() == kBlockSize);
    m_memory.replace(block * kBlockSize, kBlockSize, sixteenBytes);
}

std::optional<std::array<int, 4>> MifareClassic::sectorConditions(int sector) const
{
    const QByteArray trailer = rawBlock(trailerBlockOfSector(sector));
    return decodeAccessBits(static_cast<quint8>(trailer[kAccessOffset]),
                            static_cast<quint8>(trailer[kAccessOffset + 1]),
                            static_cast<quint8>(trailer[kAccessOffset + 2]));
}

int MifareClassic::groupOfBlock(int block) const
{
    const int sector = sectorOfBlock(block);
    const int index = block - firstBlockOfSector(sector);
    if (isTrailer(block))
        return 3;
    return blocksInSector(sector) == 4 ? index : index / 5;
}

bool MifareClassic::keyBReadable(int sector) const
{
    const auto conditions = sectorConditions(sector);
    return conditions && conditionMakesKeyBReadable((*conditions)[3]);
}

bool MifareClassic::authenticate(int sector, KeyType keyType, const Key& key)
{
    m_session.reset();
    if (!hasSector(sector) || !sectorConditions(sector))
        return false;
    if (keyType == KeyType::B && keyBReadable(sector))
        return false;
    const QByteArray trailer = rawBlock(trailerBlockOfSector(sector));
    const int offset = keyType == KeyType::A ? 0 : kKeyBOffset;
    for (int i = 0; i < kKeyBytes; ++i) {
        if (static_cast<quint8>(trailer[offset + i]) != key[static_cast<size_t>(i)])
            return false;
    }
    m_session = Session{sector, keyType};
    return true;
}

std::optional<int> MifareClassic::authenticatedSector() const
{
    return m_session ? std::optional<int>(m_session->sector) : std::nullopt;
}

std::optional<MifareClassic::KeyType> MifareClassic::authenticatedKeyType() const
{
    return m_session ? std::optional<KeyType>(m_session->keyType) : std::nullopt;
}

bool MifareClassic::mayAccess(int block) const
{
    return hasBlock(block) && m_session && sectorOfBlock(block) == m_session->sector;
}

std::optional<QByteArray> MifareClassic::read(int block) const
{
    if (!mayAccess(block))
        return std::nullopt;
    const auto conditions = sectorConditions(m_session->sector);
    if (!conditions)
        return std::nullopt;
    const int condition = (*conditions)[static_cast<size_t>(groupOfBlock(block))];
    if (isTrailer(block))
        return readTrailer(block, condition);
    if (!accessAllows(condition, AccessArea::Data, m_session->keyType, AccessOperation::Read))
        return std::nullopt;
    return rawBlock(block);
}

std::optional<QByteArray> MifareClassic::readTrailer(int block, int condition) const
{
    // A trailer read always answers; what may not be read comes back as zeros.
    const KeyType keyType = m_session->keyType;
    const QByteArray stored = rawBlock(block);
    QByteArray visible(kBlockSize, '\0');
    if (accessAllows(condition, AccessArea::TrailerAccessBits, keyType, AccessOperation::Read))
        visible.replace(kAccessOffset, kAccessBytes, stored.mid(kAccessOffset, kAccessBytes));
    if (accessAllows(condition, AccessArea::TrailerKeyB, keyType, AccessOperation::Read))
        visible.replace(kKeyBOffset, kKeyBytes, stored.mid(kKeyBOffset, kKeyBytes));
    return visible;
}

bool MifareClassic::write(int block, const QByteArray& sixteenBytes)
{
    if (sixteenBytes.size() != kBlockSize || !mayAccess(block) || block == 0)
        return false;
    const auto conditions = sectorConditions(m_session->sector);
    if (!conditions)
        return false;
    const int condition = (*conditions)[static_cast<size_t>(groupOfBlock(block))];
    if (isTrailer(block))
        return writeTrailer(block, condition, sixteenBytes);
    if (!accessAllows(condition, AccessArea::Data, m_session->keyType, AccessOperation::Write))
        return false;
    setRawBlock(block, sixteenBytes);
    return true;
}

bool MifareClassic::writeTrailer(int block, int condition, const QByteArray& bytes)
{
    // Inconsistent access bits would block the sector for good on a real card.
    if (!decodeAccessBits(static_cast<quint8>(bytes[kAccessOffset]),
                          static_cast<quint8>(bytes[kAccessOffset + 1]),
                          static_cast<quint8>(bytes[kAccessOffset + 2])))
        return false;
    const KeyType keyType = m_session->keyType;
    const bool keyA = accessAllows(condition, AccessArea::TrailerKeyA, keyType, AccessOperation::Write);
    const bool access =
        accessAllows(condition, AccessArea::TrailerAccessBits, keyType, AccessOperation::Write);
    const bool keyB = accessAllows(condition, AccessArea::TrailerKeyB, keyType, AccessOperation::Write);
    if (!keyA && !access && !keyB)
        return false;
    // Fields the key may not change keep their stored value, as the card does.
    QByteArray stored = rawBlock(block);
    if (keyA)
        stored.replace(0, kKeyBytes, bytes.mid(0, kKeyBytes));
    if (access)
        stored.replace(kAccessOffset, kAccessBytes, bytes.mid(kAccessOffset, kAccessBytes));
    if (keyB)
        stored.replace(kKeyBOffset, kKeyBytes, bytes.mid(kKeyBOffset, kKeyBytes));
    setRawBlock(block, stored);
    return true;
}
