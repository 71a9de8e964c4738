#pragma once

#include <array>
#include <cstdint>

// Single DES in electronic-codebook mode, one 8-byte block at a time. Bits are numbered the
// way the standard numbers them: bit 1 is the most significant bit of byte 0. The low bit
// of every key byte is a parity bit and is ignored, so keys that differ only there are the
// same key. Pure computation: no I/O, no allocation.
class Des
{
public:
    using Block = std::array<std::uint8_t, 8>;
    using Key = std::array<std::uint8_t, 8>;

    // Derives the 16 round subkeys once; the object can then encrypt and decrypt any number
    // of blocks under that key.
    explicit Des(const Key& key);

    Block encrypt(const Block& plain) const;
    Block decrypt(const Block& cipher) const;

private:
    enum class Direction { Encrypt, Decrypt };

    Block crypt(const Block& input, Direction direction) const;

    // Each subkey holds its 48 bits in the low bits of the word.
    std::array<std::uint64_t, 16> m_subkeys{};
};
