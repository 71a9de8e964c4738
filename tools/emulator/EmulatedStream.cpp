#include "EmulatedStream.h"

#include "platform/Clock.h"
#include "platform/WireLog.h"

#include <QPointer>

EmulatedStream::EmulatedStream(QObject* parent)
    : ByteStream(parent), m_ownEngine(std::make_unique<EncoderEngine>()), m_engine(m_ownEngine.get())
{}

EmulatedStream::EmulatedStream(EncoderEngine& engine, QObject* parent) : ByteStream(parent), m_engine(&engine)
{}

EmulatedStream::~EmulatedStream() = default;

void EmulatedStream::attach()
{
    // Replies may fall due after the stream is gone; the guard drops them then.
    m_engine->setDeliver([stream = QPointer<EmulatedStream>(this)](int delayMs, const QByteArray& bytes) {
        Clock::instance().callLater(delayMs, [stream, bytes] {
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
        attach();
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
