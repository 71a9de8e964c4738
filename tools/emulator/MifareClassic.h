#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

// A Mifare Classic 1K or 4K card as the encoder sees it through its antenna: sectors of
// 16-byte blocks guarded by two 6-byte keys and the access conditions of the sector trailer.
//
// Layout. 1K: 16 sectors of 4 blocks. 4K: sectors 0-31 of 4 blocks, sectors 32-39 of 16
// blocks (block = 128 + 16 x (sector - 32) + index). The last block of every sector is its
// trailer: Key A (bytes 0-5), access bytes (6-8), general-purpose byte (9), Key B (10-15).
// Block 0 of sector 0 is the manufacturer block: UID (4), BCC (XOR of the UID), SAK, ATQA
// (low byte first) and manufacturer data; it can never be written.
//
// Access conditions. Every block group of a sector has three bits C1 C2 C3, stored in the
// trailer both plain and inverted (see decodeAccessBits). A card checks the two copies on
// every access and blocks the whole sector when they disagree, so a sector whose trailer
// holds inconsistent bits refuses all authentication here, and a trailer write carrying
// such bits is refused instead of bricking the sector. In the 16-block sectors of a
// 4K card group 0 covers blocks 0-4, group 1 blocks 5-9, group 2 blocks 10-14.
//
// Keys never read back: Key A reads as zeros, and so does Key B unless the trailer's
// condition makes it readable. In those "Key B readable" conditions (000, 010, 001) Key B is
// plain data and cannot be used to authenticate.
//
// A trailer write changes only the fields the authenticated key may write (the others keep
// their stored bytes, as on the card) and is refused when the key may write none of them.
class MifareClassic
{
public:
    enum class Kind { Classic1K, Classic4K };
    enum class KeyType { A, B };
    using Key = std::array<quint8, 6>;
    using Uid = std::array<quint8, 4>;

    static constexpr int kBlockSize = 16;
    static constexpr Key kTransportKey{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Transport configuration: data blocks 000, trailer 001 (Key A writes everything).
    static constexpr std::array<quint8, 3> kTransportAccess{0xFF, 0x07, 0x80};
    static constexpr quint8 kTransportGeneralByte = 0x69;

    // A card as delivered: transport keys and access bytes in every trailer, data zero.
    static MifareClassic factory(Kind kind, std::optional<Uid> uid = std::nullopt);
    // A raw dump (1024 or 4096 bytes, blocks in order, keys in the trailers as stored).
    static std::optional<MifareClassic> fromDump(const QByteArray& dump);
    QByteArray dump() const { return m_memory; }

    Kind kind() const { return m_kind; }
    Uid uid() const;
    quint16 atqa() const { return m_kind == Kind::Classic1K ? 0x0004 : 0x0002; }
    quint8 sak() const { return m_kind == Kind::Classic1K ? 0x08 : 0x18; }

    int sectorCount() const { return m_kind == Kind::Classic1K ? 16 : 40; }
    int blockCount() const { return m_kind == Kind::Classic1K ? 64 : 256; }
    static int blocksInSector(int sector) { return sector < 32 ? 4 : 16; }
    static int firstBlockOfSector(int sector);
    static int trailerBlockOfSector(int sector)
    {
        return firstBlockOfSector(sector) + blocksInSector(sector) - 1;
    }
    static int sectorOfBlock(int block);
    static bool isTrailer(int block) { return trailerBlockOfSector(sectorOfBlock(block)) == block; }
    bool hasSector(int sector) const { return sector >= 0 && sector < sectorCount(); }
    bool hasBlock(int block) const { return block >= 0 && block < blockCount(); }

    // Stored contents, bypassing keys and conditions (set-up and inspection).
    QByteArray rawBlock(int block) const { return m_memory.mid(block * kBlockSize, kBlockSize); }
    void setRawBlock(int block, const QByteArray& sixteenBytes);

    // The card's crypto session: one sector at a time, dropped on failure or by the reader.
    bool authenticate(int sector, KeyType keyType, const Key& key);
    void dropAuthentication() { m_session.reset(); }
    std::optional<int> authenticatedSector() const;
    std::optional<KeyType> authenticatedKeyType() const;

    // Reads and writes within the authenticated sector, as the access conditions allow.
    std::optional<QByteArray> read(int block) const;
    bool write(int block, const QByteArray& sixteenBytes);

private:
    struct Session
    {
        int sector;
        KeyType keyType;
    };

    MifareClassic(Kind kind, QByteArray memory) : m_kind(kind), m_memory(std::move(memory)) {}
    // The sector's conditions, or nothing when its access bytes are inconsistent.
    std::optional<std::array<int, 4>> sectorConditions(int sector) const;
    int groupOfBlock(int block) const;
    bool keyBReadable(int sector) const;
    bool mayAccess(int block) const;
    std::optional<QByteArray> readTrailer(int block, int condition) const;
    bool writeTrailer(int block, int condition, const QByteArray& bytes);

    Kind m_kind;
    QByteArray m_memory;
    std::optional<Session> m_session;
};

// Access conditions are numbered C1 C2 C3 as a binary number: (C1 << 2) | (C2 << 1) | C3.
// Byte 6 holds ~C2 (high nibble) and ~C1 (low nibble), byte 7 C1 and ~C3, byte 8 C3 and C2;
// bit n of each nibble belongs to block group n (3 = trailer). Nothing when an inverted
// copy disagrees with its plain copy.
std::optional<std::array<int, 4>> decodeAccessBits(quint8 b6, quint8 b7, quint8 b8);
std::array<quint8, 3> encodeAccessBits(const std::array<int, 4>& conditions);

// What an access touches: a data block, or one field of the trailer.
enum class AccessArea { Data, TrailerKeyA, TrailerAccessBits, TrailerKeyB };
enum class AccessOperation { Read, Write };
// The datasheet's tables for data blocks and sector trailers. The general-purpose byte
// follows the access bits. Whether Key B may authenticate at all is a separate rule
// (conditionMakesKeyBReadable).
bool accessAllows(int condition, AccessArea area, MifareClassic::KeyType keyType, AccessOperation operation);
bool conditionMakesKeyBReadable(int trailerCondition);
