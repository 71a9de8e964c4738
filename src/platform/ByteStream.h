#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <stdexcept>

// A serial line as the encoder link sees it: open at 9600 8N1, write a block, learn that
// bytes arrived, read them. The link never opens a device behind this interface, so the
// same protocol code runs over a real port, a pseudo-terminal or an in-process simulation.
class ByteStream : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~ByteStream() override = default;

    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes the whole block; throws PortError when the line is closed or fails.
    virtual void write(const QByteArray& bytes) = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    // Discards whatever is waiting in either direction.
    virtual void purge() = 0;
    virtual QString errorString() const = 0;
    virtual QString description() const = 0;

Q_SIGNALS:
    // Bytes are waiting; delivered on the owner's thread.
    void readyRead();
};

// A port that cannot be opened, is closed, or failed while in use.
class PortError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
