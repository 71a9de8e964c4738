#pragma once

#include "platform/ByteStream.h"

#include <QSerialPort>

// ByteStream over a real serial device (or a pseudo-terminal standing in for one).
class SerialByteStream final : public ByteStream
{
    Q_OBJECT
public:
    explicit SerialByteStream(QString devicePath, QObject* parent = nullptr);
    ~SerialByteStream() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    void write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 maxBytes) override;
    void purge() override;
    QString errorString() const override;
    QString description() const override { return m_path; }

private:
    QString m_path;
    QSerialPort m_port;
};
