#include "EncoderEngine.h"

#include "card/CardKeys.h"
#include "card/DesString.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

using KeyType = MifareClassic::KeyType;

QByteArray failed()
{
    return encoderReply(EncoderEngine::kStatusFailed);
}

QByteArray succeeded(const QByteArray& data = {})
{
    return encoderReply(EncoderEngine::kStatusOk, data);
}

QByteArray bytesOf(std::initializer_list<quint8> values)
{
    QByteArray bytes;
    for (quint8 value : values)
        bytes.append(static_cast<char>(value));
    return bytes;
}

QByteArray uidBytes(const MifareClassic& card)
{
    const MifareClassic::Uid uid = card.uid();
    return bytesOf({uid[0], uid[1], uid[2], uid[3]});
}

quint8 byteAt(const QByteArray& bytes, int index)
{
    return static_cast<quint8>(bytes[index]);
}

std::optional<KeyType> keyTypeOf(quint8 code)
{
    if (code == EncoderEngine::kKeyTypeA)
        return KeyType::A;
    if (code == EncoderEngine::kKeyTypeB)
        return KeyType::B;
    return std::nullopt;
}

// Strict hexadecimal: pairs of digits, spaces allowed between them.
std::optional<QByteArray> parseHex(QString text)
{
    text.remove(u' ');
    static const QRegularExpression hexDigits(QStringLiteral("^([0-9A-Fa-f]{2})*$"));
    if (!hexDigits.match(text).hasMatch())
        return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

QString ok(const QString& detail = {})
{
    return detail.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok ") + detail;
}

QString error(const QString& reason)
{
    return QStringLiteral("error ") + reason;
}

QString hexOf(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

} // namespace

QByteArray encoderReply(quint8 status, const QByteArray& data)
{
    QByteArray reply;
    reply.append(static_cast<char>(1 + data.size()));
    reply.append(static_cast<char>(status));
    reply.append(data);
    return reply;
}

double EncoderEngine::replyFloorMs(int commandBytes, int replyBytes, int cardLatencyMs)
{
    return (commandBytes + replyBytes) * kByteTimeMs + cardLatencyMs;
}

bool EncoderEngine::touchesCard(quint8 command)
{
    switch (command) {
    case Request:
    case Anticollision:
    case Select:
    case Authenticate:
    case ReadBlock:
    case WriteBlock:
        return true;
    default:
        return false;
    }
}

EncoderEngine::EncoderEngine(Deliver deliver) : m_deliver(std::move(deliver)) {}

void EncoderEngine::placeCard(MifareClassic card)
{
    card.dropAuthentication();
    m_card = std::move(card);
    m_state = CardState::Idle;
}

void EncoderEngine::removeCard()
{
    m_card.reset();
    m_state = CardState::Idle;
}

void EncoderEngine::armFault(Fault fault)
{
    m_fault = fault;
    if (fault.kind == Fault::Kind::PullAfter && fault.value <= 0) {
        removeCard();
        m_fault = {};
    }
}

// ---- the serial side -------------------------------------------------------------------

void EncoderEngine::receive(const QByteArray& bytes, qint64 nowMs)
{
    if (bytes.isEmpty())
        return;
    if (!m_partialFrame.isEmpty() && nowMs - m_lastByteAtMs > kInterByteTimeoutMs)
        m_partialFrame.clear();
    m_lastByteAtMs = nowMs;
    for (char byte : bytes) {
        m_partialFrame.append(byte);
        if (m_partialFrame.size() == 1 + byteAt(m_partialFrame, 0)) {
            const QByteArray frame = std::exchange(m_partialFrame, {});
            handleFrame(frame, nowMs);
        }
    }
}

void EncoderEngine::handleFrame(const QByteArray& frame, qint64 nowMs)
{
    const quint8 command = frame.size() > 1 ? byteAt(frame, 1) : 0;
    QByteArray reply = execute(frame);
    const int latency = touchesCard(command) ? m_cardLatencyMs : 0;
    const int delayMs = static_cast<int>(
        std::ceil(replyFloorMs(static_cast<int>(frame.size()), static_cast<int>(reply.size()), latency)));
    deliverReply(std::move(reply), delayMs, nowMs);
    countFrameTowardsPull();
}

void EncoderEngine::deliverReply(QByteArray reply, int delayMs, qint64 nowMs)
{
    // One line, one reply at a time: a reply never arrives before the one ahead of it.
    const qint64 dueAt = std::max(nowMs + delayMs, m_lineFreeAtMs);
    const int delay = static_cast<int>(dueAt - nowMs);
    m_lineFreeAtMs = dueAt;
    const Fault fault = m_fault;
    if (fault.kind != Fault::Kind::PullAfter)
        m_fault = {};
    if (!m_deliver)
        return;
    switch (fault.kind) {
    case Fault::Kind::Drop:
        return;
    case Fault::Kind::Split:
        if (reply.size() > kSplitAfterBytes) {
            m_deliver(delay, reply.left(kSplitAfterBytes));
            m_deliver(delay + kSplitGapMs, reply.mid(kSplitAfterBytes));
            m_lineFreeAtMs = dueAt + kSplitGapMs;
            return;
        }
        break;
    case Fault::Kind::Garbage:
        m_deliver(delay - kGarbageLeadMs, QByteArray(1, static_cast<char>(kGarbageByte)));
        break;
    case Fault::Kind::Status:
        reply[1] = static_cast<char>(fault.value);
        break;
    case Fault::Kind::None:
    case Fault::Kind::PullAfter:
        break;
    }
    m_deliver(delay, reply);
}

void EncoderEngine::countFrameTowardsPull()
{
    if (m_fault.kind != Fault::Kind::PullAfter)
        return;
    if (--m_fault.value <= 0) {
        removeCard();
        m_fault = {};
    }
}

void EncoderEngine::sendUnsolicited(const QByteArray& bytes)
{
    if (m_deliver && !bytes.isEmpty())
        m_deliver(0, bytes);
}

void EncoderEngine::sendCardReport(const QByteArray& thirtyTwoBytes)
{
    sendUnsolicited(encoderReply(kStatusCardReport, thirtyTwoBytes + QByteArray(1, '\0')));
}

void EncoderEngine::sendNoCardReport()
{
    sendUnsolicited(encoderReply(kStatusCardReport, QByteArray::fromHex("0101")));
}

// ---- commands --------------------------------------------------------------------------

QByteArray EncoderEngine::execute(const QByteArray& frame)
{
    if (frame.size() < 2)
        return failed();
    const QByteArray args = frame.mid(2);
    switch (byteAt(frame, 1)) {
    case Request:
        return request(args);
    case Anticollision:
        return anticollision(args);
    case Select:
        return select(args);
    case Authenticate:
        return authenticate(args);
    case LoadKey:
        return loadKey(args);
    case ReadBlock:
        return readBlock(args);
    case WriteBlock:
        return writeBlock(args);
    case Beep:
        return beep(args);
    case Identify:
        return identify(args);
    default:
        return failed();
    }
}

QByteArray EncoderEngine::request(const QByteArray& args)
{
    // WUPA (0x52) wakes every card in the field; REQA (0x26) is the same here, as cards
    // are never halted.
    if (args.size() != 1 || (byteAt(args, 0) != 0x52 && byteAt(args, 0) != 0x26) || !m_card)
        return failed();
    m_card->dropAuthentication();
    m_state = CardState::Ready;
    const quint16 atqa = m_card->atqa();
    return succeeded(bytesOf({static_cast<quint8>(atqa & 0xFF), static_cast<quint8>(atqa >> 8)}));
}

QByteArray EncoderEngine::anticollision(const QByteArray& args)
{
    if (!args.isEmpty() || !m_card || (m_state != CardState::Ready && m_state != CardState::Identified))
        return failed();
    m_state = CardState::Identified;
    return succeeded(uidBytes(*m_card));
}

QByteArray EncoderEngine::select(const QByteArray& args)
{
    if (!args.isEmpty() || !m_card || (m_state != CardState::Identified && m_state != CardState::Active))
        return failed();
    m_card->dropAuthentication();
    m_state = CardState::Active;
    return succeeded(QByteArray(1, static_cast<char>(m_card->sak())));
}

QByteArray EncoderEngine::authenticate(const QByteArray& args)
{
    if (args.size() != 3 || !m_card || m_state != CardState::Active)
        return failed();
    const auto keyType = keyTypeOf(byteAt(args, 0));
    const quint8 sector = byteAt(args, 1);
    const auto loaded = m_keyMemory.find({byteAt(args, 0), sector});
    if (!keyType || loaded == m_keyMemory.end()) {
        m_card->dropAuthentication();
        return failed();
    }
    if (!m_card->authenticate(sector, *keyType, loaded->second))
        return failed();
    m_lastKeyUsed = UsedKey{*keyType, loaded->second};
    return succeeded();
}

QByteArray EncoderEngine::loadKey(const QByteArray& args)
{
    if (args.size() != 8 || !keyTypeOf(byteAt(args, 0)))
        return failed();
    MifareClassic::Key key{};
    std::copy_n(args.constData() + 2, key.size(), key.begin());
    m_keyMemory[{byteAt(args, 0), byteAt(args, 1)}] = key;
    return succeeded();
}

bool EncoderEngine::reachBlock(int block)
{
    if (!m_card || m_state != CardState::Active || !m_card->hasBlock(block))
        return false;
    const auto current = m_card->authenticatedSector();
    if (!current || !m_lastKeyUsed)
        return false;
    const int wanted = MifareClassic::sectorOfBlock(block);
    if (wanted == *current)
        return true;
    return m_card->authenticate(wanted, m_lastKeyUsed->type, m_lastKeyUsed->key);
}

QByteArray EncoderEngine::readBlock(const QByteArray& args)
{
    if (args.size() != 1 || !reachBlock(byteAt(args, 0)))
        return failed();
    const auto data = m_card->read(byteAt(args, 0));
    return data ? succeeded(*data) : failed();
}

QByteArray EncoderEngine::writeBlock(const QByteArray& args)
{
    if (args.size() != 1 + MifareClassic::kBlockSize || !reachBlock(byteAt(args, 0)))
        return failed();
    return m_card->write(byteAt(args, 0), args.mid(1)) ? succeeded() : failed();
}

QByteArray EncoderEngine::beep(const QByteArray& args)
{
    return args.size() == 1 ? succeeded() : failed();
}

QByteArray EncoderEngine::identify(const QByteArray& args)
{
    if (!args.isEmpty())
        return failed();
    return succeeded(bytesOf({m_identification[0], m_identification[1]}));
}

// ---- control language ------------------------------------------------------------------

QString EncoderEngine::control(const QString& line)
{
    const QStringList words = line.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return error(QStringLiteral("empty command"));
    const QString verb = words.first().toLower();
    const QStringList args = words.mid(1);

    if (verb == u"place")
        return controlPlace(args);
    if (verb == u"remove") {
        removeCard();
        return ok();
    }
    if (verb == u"save")
        return controlSave(args);
    if (verb == u"ident") {
        const auto id = parseHex(args.join(QString()));
        if (!id || id->size() != 2)
            return error(QStringLiteral("ident takes four hexadecimal digits"));
        setIdentification(byteAt(*id, 0), byteAt(*id, 1));
        return ok();
    }
    if (verb == u"fault")
        return controlFault(args);
    if (verb == u"send") {
        const auto bytes = parseHex(args.join(QString()));
        if (!bytes || bytes->isEmpty())
            return error(QStringLiteral("send takes hexadecimal bytes"));
        sendUnsolicited(*bytes);
        return ok();
    }
    if (verb == u"report" || verb == u"report-none")
        return controlReport(verb == u"report-none" ? QStringList{QStringLiteral("none")} : args);
    if (verb == u"latency") {
        bool valid = false;
        const int ms = args.value(0).toInt(&valid);
        if (!valid || ms < 0 || args.size() != 1)
            return error(QStringLiteral("latency takes milliseconds"));
        setCardLatencyMs(ms);
        return ok();
    }
    if (verb == u"dump")
        return m_card ? ok(hexOf(m_card->dump())) : ok(QStringLiteral("none"));
    if (verb == u"status")
        return controlStatus();
    return error(QStringLiteral("unknown command %1").arg(verb));
}

QString EncoderEngine::controlPlace(const QStringList& args)
{
    QStringList source = args;
    std::optional<MifareClassic::Uid> uid;
    if (!source.isEmpty() && source.last().startsWith(QLatin1String("uid="), Qt::CaseInsensitive)) {
        const auto bytes = parseHex(source.takeLast().mid(4));
        if (!bytes || bytes->size() != 4)
            return error(QStringLiteral("uid takes eight hexadecimal digits"));
        uid = MifareClassic::Uid{byteAt(*bytes, 0), byteAt(*bytes, 1), byteAt(*bytes, 2), byteAt(*bytes, 3)};
    }
    if (source.isEmpty())
        return error(QStringLiteral("place factory1k, factory4k or a dump file"));
    const QString what = source.join(u' ');
    if (what == u"factory1k" || what == u"factory4k") {
        const auto kind =
            what == u"factory1k" ? MifareClassic::Kind::Classic1K : MifareClassic::Kind::Classic4K;
        placeCard(MifareClassic::factory(kind, uid));
        return controlStatus();
    }
    if (what == u"blank")
        return placeBlankCard(uid, 1);
    if (what.startsWith(QLatin1String("blank sector="))) {
        bool valid = false;
        const int sector = what.mid(13).toInt(&valid);
        if (!valid || sector < 1 || sector > 15)
            return error(QStringLiteral("blank sector= takes a sector from 1 to 15"));
        return placeBlankCard(uid, sector);
    }
    QFile file(what);
    if (!file.open(QIODevice::ReadOnly))
        return error(QStringLiteral("cannot read %1").arg(what));
    auto card = MifareClassic::fromDump(file.readAll());
    if (!card)
        return error(QStringLiteral("%1 is not a 1024- or 4096-byte dump").arg(what));
    if (uid) {
        // The UID lives in the manufacturer block, followed by its check byte.
        QByteArray block0 = card->rawBlock(0);
        for (int i = 0; i < 4; ++i)
            block0[i] = static_cast<char>((*uid)[static_cast<size_t>(i)]);
        block0[4] = static_cast<char>((*uid)[0] ^ (*uid)[1] ^ (*uid)[2] ^ (*uid)[3]);
        card->setRawBlock(0, block0);
    }
    placeCard(std::move(*card));
    return controlStatus();
}

QString EncoderEngine::placeBlankCard(std::optional<MifareClassic::Uid> uid, int sector)
{
    // A 1K card as the card-initialisation screen leaves it for the installation whose
    // identification this encoder carries: the signature (DES of UID + identification byte)
    // in block 0 of the card sector, an all-FF image, the transport Key A and the card Key B.
    if (m_identification[0] == 0)
        return error(QStringLiteral("a blank card needs the encoder's identification (ident HEX4, first byte not 00)"));
    MifareClassic card = MifareClassic::factory(MifareClassic::Kind::Classic1K, uid);
    const MifareClassic::Uid u = card.uid();
    const QByteArray plain = QByteArray(reinterpret_cast<const char*>(u.data()), 4) + char(m_identification[0]);
    const QByteArray signature = EncryptString(plain, CardKeys::signatureKey());
    const int first = MifareClassic::firstBlockOfSector(sector);
    card.setRawBlock(first, signature.left(8) + QByteArray(8, '\0'));
    card.setRawBlock(first + 1, QByteArray(16, char(0xFF)));
    card.setRawBlock(first + 3, CardKeys::factoryKey() + CardKeys::accessBytes() + char(CardKeys::kGeneralPurposeByte) +
                                    CardKeys::cardKeyB());
    placeCard(std::move(card));
    return controlStatus();
}

QString EncoderEngine::controlSave(const QStringList& args)
{
    if (args.isEmpty())
        return error(QStringLiteral("save takes a file name"));
    if (!m_card)
        return error(QStringLiteral("no card in the field"));
    const QString path = args.join(u' ');
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(m_card->dump()) != m_card->dump().size())
        return error(QStringLiteral("cannot write %1").arg(path));
    return ok();
}

QString EncoderEngine::controlFault(const QStringList& args)
{
    const QString kind = args.value(0).toLower();
    const auto simple = [&](Fault::Kind k) {
        if (args.size() != 1)
            return error(QStringLiteral("fault %1 takes no argument").arg(kind));
        armFault({k, 0});
        return ok();
    };
    if (kind == u"none")
        return simple(Fault::Kind::None);
    if (kind == u"drop")
        return simple(Fault::Kind::Drop);
    if (kind == u"split")
        return simple(Fault::Kind::Split);
    if (kind == u"garbage")
        return simple(Fault::Kind::Garbage);
    if (kind == u"pull-after" || kind == u"status") {
        bool valid = false;
        const int value = args.value(1).toInt(&valid);
        const int limit = kind == u"status" ? 255 : 1'000'000;
        if (args.size() != 2 || !valid || value < 0 || value > limit)
            return error(QStringLiteral("fault %1 takes a number").arg(kind));
        armFault({kind == u"status" ? Fault::Kind::Status : Fault::Kind::PullAfter, value});
        return ok();
    }
    return error(QStringLiteral("fault none, drop, split, garbage, pull-after N or status N"));
}

QString EncoderEngine::controlReport(const QStringList& args)
{
    if (args.size() == 1 && args.first().toLower() == u"none") {
        sendNoCardReport();
        return ok();
    }
    const auto image = parseHex(args.join(QString()));
    if (!image || image->size() != 32)
        return error(QStringLiteral("report takes 64 hexadecimal digits or none"));
    sendCardReport(*image);
    return ok();
}

QString EncoderEngine::controlStatus() const
{
    if (!m_card)
        return ok(QStringLiteral("none"));
    return ok(QStringLiteral("uid=%1 kind=%2")
                  .arg(hexOf(uidBytes(*m_card)), m_card->kind() == MifareClassic::Kind::Classic1K
                                                     ? QStringLiteral("1k")
                                                     : QStringLiteral("4k")));
}
