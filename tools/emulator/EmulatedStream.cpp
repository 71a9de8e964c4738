#include "EmulatedStream.h"

#include "platform/Clock.h"
#include "platform/WireLog.h"

#include <QPointer>

EmulatedStream::EmulatedStream(QObject* parent)
    : ByteStream(parent), m_ownEngine(std::make_unique<EncoderEngine>()), m_engine(m_ownEngine.get())
{
    attach();
}

EmulatedStream::EmulatedStream(EncoderEngine& engine, QObject* parent) : ByteStream(parent), m_engine(&engine)
{
    attach();
}

EmulatedStream::~EmulatedStream()
{
    m_engine->setDeliver({});
}

void EmulatedStream::attach()
{
    m_engine->setDeliver([this](int delayMs, const QByteArray& bytes) {
        // Replies may fall due after the stream is gone; the guard drops them then.
        Clock::instance().callLater(delayMs, [stream = QPointer<EmulatedStream>(this), bytes] {
            if (stream)
                stream->arrive(bytes);
        });
    });
}

bool EmulatedStream::open()
{
    if (m_openFails) {
        m_error = QStringLiteral("the emulated port cannot be opened");
        return false;
    }
    if (!m_open) {
        m_open = true;
        m_received.clear();
        m_error.clear();
        WireLog::note(QStringLiteral("open %1").arg(description()));
    }
    return true;
}

void EmulatedStream::close()
{
    if (m_open) {
        m_open = false;
        WireLog::note(QStringLiteral("close %1").arg(description()));
    }
}

void EmulatedStream::write(const QByteArray& bytes)
{
    if (!m_open)
        throw PortError("the serial port is not open");
    WireLog::record(WireLog::Direction::Out, bytes);
    m_engine->receive(bytes, Clock::instance().ticks());
}

QByteArray EmulatedStream::read(qint64 maxBytes)
{
    const QByteArray bytes = m_received.left(maxBytes);
    m_received.remove(0, bytes.size());
    WireLog::record(WireLog::Direction::In, bytes);
    return bytes;
}

void EmulatedStream::arrive(const QByteArray& bytes)
{
    // A closed port hears nothing.
    if (!m_open)
        return;
    m_received.append(bytes);
    Q_EMIT readyRead();
}
