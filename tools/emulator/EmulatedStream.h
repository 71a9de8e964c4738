#pragma once

#include "EncoderEngine.h"
#include "platform/ByteStream.h"

#include <memory>

// The encoder line without hardware: bytes written go straight into an EncoderEngine, and
// its replies arrive through Clock::instance().callLater, each delivery emitting readyRead.
// Under a VirtualClock a whole card exchange runs in microseconds of real time.
//
// Several streams may take turns on one engine (a port reopened by a new stream object):
// the encoder answers the stream that opened last, as one wire has one far end.
class EmulatedStream final : public ByteStream
{
    Q_OBJECT
public:
    // With an encoder of its own.
    explicit EmulatedStream(QObject* parent = nullptr);
    // Speaking to an encoder that outlives the stream.
    explicit EmulatedStream(EncoderEngine& engine, QObject* parent = nullptr);
    ~EmulatedStream() override;

    EncoderEngine& engine() { return *m_engine; }
    // Makes open() fail, as a port that is missing or taken.
    void setOpenFails(bool fails) { m_openFails = fails; }

    bool open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override { return m_received.size(); }
    QByteArray read(qint64 maxBytes) override;
    void purge() override { m_received.clear(); }
    QString errorString() const override { return m_error; }
    QString description() const override { return QStringLiteral("emulated encoder"); }

private:
    void attach();
    void arrive(const QByteArray& bytes);

    std::unique_ptr<EncoderEngine> m_ownEngine;
    EncoderEngine* m_engine;
    QByteArray m_received;
    QString m_error;
    bool m_open = false;
    bool m_openFails = false;
};
