#pragma once

#include "encoder/ReplyBuffer.h"
#include "platform/ByteStream.h"

#include <QObject>
#include <QRecursiveMutex>

#include <array>
#include <functional>
#include <memory>

// The encoder module: owns the serial line to the card encoder, the reply buffer, and the
// operations that send one command frame and wait for its reply.
//
// The protocol is one command at a time: clear the reply buffer, write the frame in one
// call, then wait until the reply is complete or the time allowed for it has passed. Waits
// that precede a check of the reply end the moment the reply is complete; the documented
// poll counts (n x t ms) are the upper bound. Pauses between steps are kept as they are.
//
// Port errors (cannot open, closed, device gone) are PortError exceptions; a missing or
// negative reply is the operation's result code.
class TForm_Com : public QObject
{
    Q_OBJECT
public:
    using StreamFactory = std::function<std::unique_ptr<ByteStream>(int portNumber)>;

    explicit TForm_Com(QObject* parent = nullptr);
    ~TForm_Com() override;

    // The program's one encoder module.
    static TForm_Com& instance();

    // How a port number becomes a line (default: PortMap + SerialByteStream). Tests and the
    // emulator hand in their own.
    void setStreamFactory(StreamFactory factory);

    // --- the port (The_ComPort) ---
    void setPortNumber(int portNumber);
    int portNumber() const { return m_portNumber; }
    // Opens at 9600 8N1; throws PortError when the port cannot be opened.
    void open();
    void close();
    bool isOpen() const;
    ByteStream* port() const { return m_port.get(); }

    // --- reply buffer ---
    void ClearReply();
    bool ReplyComplete() const { return m_reply.complete(); }
    const ReplyBuffer& reply() const { return m_reply; }
    // The data-available handler: reads what is waiting and appends it to the buffer.
    void The_ComPortTriggerAvail(qint64 count);

    // Clears the buffer and writes the frame (throws PortError on a closed port).
    void send(const QByteArray& frame);
    // Waits up to timeoutMs for a complete reply; true when it completed.
    bool waitReply(int timeoutMs);
    // Waits up to n x tickMs for a complete reply (the poll of the protocol).
    bool poll(int n, int tickMs) { return waitReply(n * tickMs); }

    // --- operations ---
    int DetectEncoder();                    // 0 answered, 1 no answer
    int ReadBlock(quint8 block);            // 0 data in buffer bytes 3..18, 1 failure
    int SelectCardSerial();                 // 0 selected, 1 no card
    int SelectCardEx();                     // 0 selected, 1 no answer, 2 no card (01 01)
    int AuthenticateSector(quint8 keyType); // 0 accepted, 1 refused or no answer
    void LoadKey(quint8 keyType, quint8 sector, const QByteArray& key6);
    void LoadSectorKey(quint8 keyType, const QByteArray& key6);
    int OpenWithFactoryKeys(int sector);    // 0 authenticated with the factory Key A, 1 otherwise
    // Command 14: the identification bytes are taken whether or not the reply completed.
    void ReadIdentification();

    // Card signature (written at card initialisation, checked on reading).
    int WriteSignature(quint8 identificationByte, quint8 keyType);
    int CheckSignature(quint8 keyType);

    // --- module state ---
    quint32 serial() const { return m_serial; }
    QByteArray serialText() const { return m_serialText; }
    std::array<quint8, 2> identification() const { return m_identification; }
    void setIdentification(std::array<quint8, 2> id) { m_identification = id; }
    std::array<quint8, 4> siteCode() const { return m_siteCode; }
    void setSiteCode(std::array<quint8, 4> code) { m_siteCode = code; }
    QRecursiveMutex& criticalSection() { return m_critical; }

    static constexpr quint8 kFactoryKeyByte = 0xFF;
    static QByteArray factoryKey() { return QByteArray(6, static_cast<char>(0xFF)); }

Q_SIGNALS:
    // Emitted after received bytes were added to the buffer.
    void replyChanged();

private:
    int selectSequence(bool extended);
    quint8 configuredSector() const;

    StreamFactory m_factory;
    std::unique_ptr<ByteStream> m_port;
    int m_portNumber = 1;
    ReplyBuffer m_reply;
    quint32 m_serial = 0;
    QByteArray m_serialText;
    std::array<quint8, 2> m_identification{0, 0};
    std::array<quint8, 4> m_siteCode{0, 0, 0, 0};
    QRecursiveMutex m_critical;
};
