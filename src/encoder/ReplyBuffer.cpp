#include "encoder/ReplyBuffer.h"

void ReplyBuffer::clear()
{
    m_bytes.fill(0);
    m_count = 0;
    m_stored = 0;
    m_overflow = false;
}

void ReplyBuffer::append(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (m_stored < kSize)
            m_bytes[static_cast<size_t>(m_stored++)] = static_cast<quint8>(c);
        else
            m_overflow = true;
    }
    m_count = static_cast<quint8>(m_count + bytes.size());
}

quint8 ReplyBuffer::at(int position) const
{
    if (position < 1 || position > kSize)
        return 0;
    return m_bytes[static_cast<size_t>(position - 1)];
}

bool ReplyBuffer::complete() const
{
    // Computed without wrap-around: L = 255 can never complete.
    return !m_overflow && m_stored >= 1 && int(m_count) == int(length()) + 1 && status() < 16;
}

QByteArray ReplyBuffer::bytes(int from, int n) const
{
    QByteArray out;
    out.reserve(n);
    for (int i = 0; i < n; ++i)
        out.append(static_cast<char>(at(from + i)));
    return out;
}
