#include "encoder/TForm_Com.h"

#include "config/Settings.h"
#include "encoder/Frame.h"
#include "platform/Clock.h"
#include "platform/PortMap.h"
#include "platform/SerialByteStream.h"

TForm_Com::TForm_Com(QObject* parent)
    : QObject(parent), m_factory([](int n) -> std::unique_ptr<ByteStream> {
          return std::make_unique<SerialByteStream>(PortMap::deviceFor(n));
      })
{
}

TForm_Com::~TForm_Com()
{
    close();
}

TForm_Com& TForm_Com::instance()
{
    static TForm_Com module;
    return module;
}

void TForm_Com::setStreamFactory(StreamFactory factory)
{
    close();
    m_port.reset();
    m_factory = std::move(factory);
}

void TForm_Com::setPortNumber(int portNumber)
{
    if (portNumber == m_portNumber && m_port)
        return;
    close();
    m_port.reset();
    m_portNumber = portNumber;
}

void TForm_Com::open()
{
    if (!m_port) {
        m_port = m_factory(m_portNumber);
        if (!m_port)
            throw PortError("no such port");
        connect(m_port.get(), &ByteStream::readyRead, this,
                [this] { The_ComPortTriggerAvail(m_port->bytesAvailable()); });
    }
    if (m_port->isOpen())
        return;
    if (!m_port->open())
        throw PortError(QStringLiteral("COM%1 (%2) cannot be opened: %3")
                            .arg(m_portNumber)
                            .arg(m_port->description(), m_port->errorString())
                            .toStdString());
}

void TForm_Com::close()
{
    if (m_port && m_port->isOpen())
        m_port->close();
}

bool TForm_Com::isOpen() const
{
    return m_port && m_port->isOpen();
}

void TForm_Com::ClearReply()
{
    m_reply.clear();
}

void TForm_Com::The_ComPortTriggerAvail(qint64 count)
{
    if (!m_port || count <= 0)
        return;
    m_reply.append(m_port->read(count));
    Q_EMIT replyChanged();
}

void TForm_Com::send(const QByteArray& frame)
{
    ClearReply();
    if (!isOpen())
        throw PortError("the encoder port is not open");
    m_port->write(frame);
}

bool TForm_Com::waitReply(int timeoutMs)
{
    return Clock::instance().waitUntil([this] { return m_reply.complete(); }, timeoutMs);
}

quint8 TForm_Com::configuredSector() const
{
    return cfg::sys().sector;
}

int TForm_Com::DetectEncoder()
{
    send(Frame::beep());
    // Any one-byte reply counts as an answer; 50 ms plus ten polls of 50 ms at most.
    const bool answered = Clock::instance().waitUntil([this] { return m_reply.length() == 1; }, 50 + 10 * 50);
    return answered ? 0 : 1;
}

int TForm_Com::ReadBlock(quint8 block)
{
    Delay(50);
    send(Frame::readBlock(block));
    const bool complete = poll(20, 50);
    // Only a reply carrying the 16 data bytes counts; a one-byte reply (01 01, 01 00) has none.
    return complete && m_reply.length() == 17 ? 0 : 1;
}

int TForm_Com::selectSequence(bool extended)
{
    // An unanswered step never reports a selected card.
    int result = 1;
    send(Frame::request());
    if (poll(20, 50) && m_reply.isShortReply(1))
        return extended ? 2 : 1;
    if (extended)
        Delay(500);
    send(Frame::anticollision());
    if (poll(20, 50) && m_reply.length() == 5 && m_reply.status() == 0) {
        m_serialText = m_reply.bytes(3, 4);
        m_serial = (quint32(m_reply.at(3)) << 24) | (quint32(m_reply.at(4)) << 16) | (quint32(m_reply.at(5)) << 8) |
                   quint32(m_reply.at(6));
    }
    send(Frame::select());
    if (poll(20, 50))
        result = m_reply.isShortReply(1) ? 1 : 0;
    return result;
}

int TForm_Com::SelectCardSerial()
{
    return selectSequence(false);
}

int TForm_Com::SelectCardEx()
{
    return selectSequence(true);
}

int TForm_Com::AuthenticateSector(quint8 keyType)
{
    send(Frame::authenticate(keyType, configuredSector()));
    return poll(20, 50) && !m_reply.isShortReply(1) ? 0 : 1;
}

void TForm_Com::LoadKey(quint8 keyType, quint8 sector, const QByteArray& key6)
{
    Delay(50);
    send(Frame::loadKey(keyType, sector, key6));
    poll(20, 20);
    Delay(25);
}

void TForm_Com::LoadSectorKey(quint8 keyType, const QByteArray& key6)
{
    send(Frame::loadKey(keyType, configuredSector(), key6));
    poll(20, 20);
    Delay(25);
}

int TForm_Com::OpenWithFactoryKeys(int /*sector*/)
{
    // Loads and authenticates the configured card sector whatever sector the caller is about
    // to read: the encoder then reaches the other sectors of a data card with the key that
    // succeeded here (see tools/emulator/README.md, "Other sectors").
    const quint8 s = configuredSector();
    Delay(50);
    LoadKey(Frame::KeyA, s, factoryKey());
    Sleep(50);
    LoadKey(Frame::KeyB, s, factoryKey());
    Sleep(50);
    send(Frame::authenticate(Frame::KeyA, s));
    return poll(20, 50) && !m_reply.isShortReply(1) ? 0 : 1;
}

void TForm_Com::ReadIdentification()
{
    send(Frame::identification());
    waitReply(50 + 50 + 10 * 50);
    m_identification = {m_reply.at(3), m_reply.at(4)};
}
