#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <stdexcept>

// Strings enciphered with DES block by block (the card signature and the signature blocks
// read back from cards). Everything here works on byte strings: one byte per character,
// and cipher text may hold any byte value, 0 included.
//
// A key is used as 8 bytes: a shorter key is filled up with 0 bytes, a longer one is cut.

// Thrown for input the string ciphers cannot handle; what() is the text shown to the user.
class CipherError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Fills the data up with 0 bytes to a multiple of 8 and encrypts each block; empty data
// gives an empty result. Data whose last byte is 0 is refused with CipherError, because
// DecryptString could not tell that byte from padding.
QByteArray EncryptString(const QByteArray& data, const QByteArray& key);

// Decrypts each whole 8-byte block (a shorter tail is ignored) and drops every 0 byte at
// the end of the result.
QByteArray DecryptString(const QByteArray& data, const QByteArray& key);

// EncryptString written as two lower-case hexadecimal digits per cipher byte.
QByteArray EncryptStringHex(const QByteArray& data, const QByteArray& key);

// Turns each pair of hexadecimal digits (either case) into a byte, from the start, and
// decrypts the bytes with DecryptString. An odd last character is ignored; any other
// character throws CipherError.
QByteArray DecryptStringHex(const QByteArray& hexText, const QByteArray& key);

// Value of a string of hexadecimal digits (either case), most significant first; empty
// text is 0. More than 8 digits wrap around in 32 bits. Any other character throws
// CipherError.
int HexToInt(QByteArrayView text);
