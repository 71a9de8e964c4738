#include "CardText.h"

#include "card/TCard.h"

namespace CardText {
namespace {

constexpr int kImageDigits = 64;
constexpr quint8 kBlankMarker = 0xFF;
// A time-window setting card carries windows and day tables where other kinds keep dates.
constexpr int kTimeWindowKind = 8;
constexpr quint8 kTimeWindowFlags = 16;

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

QString hexByte(quint8 byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QString dateTime(const QDateTime& t)
{
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QStringList timeWindowLines(const TCard& card)
{
    QStringList windows;
    for (const QDateTime& w : card.timeWindows)
        windows.append(w.time().toString(QStringLiteral("HH:mm")));
    QStringList tables;
    for (const QString& t : card.timeTables)
        tables.append(t);
    return {QStringLiteral("windows ") + windows.join(u' '), QStringLiteral("tables ") + tables.join(u' ')};
}

QStringList roomAndDateLines(const TCard& card)
{
    return {
        QStringLiteral("building %1").arg(card.building),
        QStringLiteral("floor %1").arg(card.floor),
        QStringLiteral("room-index %1").arg(card.roomIndex),
        QStringLiteral("door-byte %1").arg(hexByte(card.doorByte)),
        QStringLiteral("work-area %1").arg(card.workArea),
        QStringLiteral("start ") + dateTime(card.start),
        QStringLiteral("end ") + dateTime(card.end),
    };
}

QString checksumLine(const TCard& card)
{
    quint8 x = 0;
    for (int i = 1; i <= 31; ++i)
        x ^= card.D(i);
    return x == card.D(32) ? QStringLiteral("checksum ok")
                           : QStringLiteral("checksum differs (expected %1)").arg(hexByte(x));
}

} // namespace

std::optional<Image> parseImage(const QString& text, QString* error)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isHexDigit(text[i])) {
            *error = QStringLiteral("character %1 of the image text is not a hexadecimal digit").arg(i + 1);
            return std::nullopt;
        }
    }
    if (text.size() % 2 != 0) {
        *error = QStringLiteral("the image text has an odd number of digits (%1)").arg(text.size());
        return std::nullopt;
    }
    if (text.size() != kImageDigits) {
        *error = QStringLiteral("a card image is %1 hexadecimal digits (32 bytes), not %2")
                     .arg(kImageDigits)
                     .arg(text.size());
        return std::nullopt;
    }
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    Image image{};
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<quint8>(bytes[static_cast<qsizetype>(i)]);
    return image;
}

QStringList recordLines(TCard& card)
{
    const QString imageLine = QStringLiteral("image ") + TCard::hexOf(card.image);
    if (card.D(1) == kBlankMarker)
        return {imageLine};
    card.Decode();
    QStringList lines{
        QStringLiteral("kind %1 %2").arg(card.kind).arg(card.kindName),
        QStringLiteral("flags %1").arg(hexByte(card.flags)),
    };
    if (card.kind == kTimeWindowKind && card.flags == kTimeWindowFlags)
        lines += timeWindowLines(card);
    else
        lines += roomAndDateLines(card);
    lines.append(QStringLiteral("site-bytes %1 %2").arg(hexByte(card.D(30)), hexByte(card.D(31))));
    lines.append(checksumLine(card));
    lines.append(imageLine);
    return lines;
}

QString serialLine(const TCard& card)
{
    return QStringLiteral("serial %1 %2")
        .arg(QString::fromLatin1(card.serialText.toHex().toUpper()))
        .arg(static_cast<quint32>(card.serial));
}

QString resultMeaning(int result)
{
    switch (result) {
    case CardResult::Done:
        return QStringLiteral("a card of this installation");
    case CardResult::NoCard:
        return QStringLiteral("no card on the encoder");
    case CardResult::ForeignSignature:
        return QStringLiteral("the signature does not match the card (another system, or not initialised)");
    case CardResult::KeyBRefused:
        return QStringLiteral("Key B refused (a factory card, or a card of another system)");
    case CardResult::PortOrException:
        return QStringLiteral("the encoder port failed");
    case CardResult::SiteByte30:
        return QStringLiteral("initialised or issued for another site (identification or site byte 2)");
    case CardResult::SiteByte31:
        return QStringLiteral("issued for another site (site byte 3)");
    case CardResult::Blank:
        return QStringLiteral("a blank card, initialised and never issued");
    default:
        return QStringLiteral("result %1").arg(result);
    }
}

} // namespace CardText
