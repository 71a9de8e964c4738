#pragma once

#include <QByteArray>

#include <array>

// The encoder's reply as it accumulates: [L, status, data...] in positions 1..128.
//
// Replies may arrive in several pieces; each piece is appended after the bytes already
// received. A reply is complete when the count of received bytes is L + 1 and the status
// is below 16. Bytes that would land beyond position 128 are never stored: the reply is
// then marked as overflowed and can no longer complete, so a truncated reply is never
// mistaken for a whole one.
class ReplyBuffer
{
public:
    static constexpr int kSize = 128;

    void clear();
    void append(const QByteArray& bytes);

    // Position 1..128; 0 outside.
    quint8 at(int position) const;
    quint8 length() const { return at(1); }
    quint8 status() const { return at(2); }
    // Received-byte count, kept in 8 bits.
    quint8 count() const { return m_count; }
    bool overflowed() const { return m_overflow; }
    bool complete() const;
    // Bytes at positions from .. from + n - 1.
    QByteArray bytes(int from, int n) const;
    // A complete one-byte reply carrying the given status (01 00, 01 01).
    bool isShortReply(quint8 status) const { return complete() && length() == 1 && this->status() == status; }

private:
    std::array<quint8, kSize> m_bytes{};
    quint8 m_count = 0;
    int m_stored = 0;
    bool m_overflow = false;
};
