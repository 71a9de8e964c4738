#include "platform/SerialByteStream.h"

#include "platform/WireLog.h"

SerialByteStream::SerialByteStream(QString devicePath, QObject* parent)
    : ByteStream(parent), m_path(std::move(devicePath))
{
    // An absolute path is used as the device itself (a symlink to a pseudo-terminal works too).
    m_port.setPortName(m_path);
    connect(&m_port, &QSerialPort::readyRead, this, &ByteStream::readyRead);
}

SerialByteStream::~SerialByteStream()
{
    close();
}

bool SerialByteStream::open()
{
    if (m_port.isOpen())
        return true;
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    // The encoder speaks 9600 baud, 8 data bits, no parity, 1 stop bit, no handshake.
    const bool configured = m_port.setBaudRate(QSerialPort::Baud9600) &&
                            m_port.setDataBits(QSerialPort::Data8) &&
                            m_port.setParity(QSerialPort::NoParity) &&
                            m_port.setStopBits(QSerialPort::OneStop) &&
                            m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_port.close();
        return false;
    }
    m_port.clear();
    WireLog::note(QStringLiteral("open %1").arg(m_path));
    return true;
}

void SerialByteStream::close()
{
    if (m_port.isOpen()) {
        m_port.close();
        WireLog::note(QStringLiteral("close %1").arg(m_path));
    }
}

bool SerialByteStream::isOpen() const
{
    return m_port.isOpen();
}

void SerialByteStream::write(const QByteArray& bytes)
{
    if (!m_port.isOpen())
        throw PortError("the serial port is not open");
    WireLog::record(WireLog::Direction::Out, bytes);
    if (m_port.write(bytes) != bytes.size())
        throw PortError(m_port.errorString().toStdString());
    m_port.flush();
}

qint64 SerialByteStream::bytesAvailable() const
{
    return m_port.bytesAvailable();
}

QByteArray SerialByteStream::read(qint64 maxBytes)
{
    QByteArray bytes = m_port.read(maxBytes);
    WireLog::record(WireLog::Direction::In, bytes);
    return bytes;
}

void SerialByteStream::purge()
{
    m_port.clear();
}

QString SerialByteStream::errorString() const
{
    return m_port.errorString();
}
