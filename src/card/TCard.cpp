#include "card/TCard.h"

#include "config/Eic.h"
#include "config/Settings.h"
#include "encoder/TForm_Com.h"

#include <memory>
#include <stdexcept>

namespace {

TCard::RoomLookup& roomLookup()
{
    static TCard::RoomLookup lookup;
    return lookup;
}

std::unique_ptr<TCard>& globalCard()
{
    static std::unique_ptr<TCard> card;
    return card;
}

quint8 low8(int v)
{
    return static_cast<quint8>(v & 0xFF);
}

// The moment that marks a power-switch card in the start field.
QDateTime powerCardMoment()
{
    return QDateTime::fromString(QStringLiteral("2040-1-1 01:00:00"), QStringLiteral("yyyy-M-d HH:mm:ss"));
}

int daysInMonthRule(int month)
{
    switch (month) {
    case 1:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 12:
        return 31;
    default:
        return 30;
    }
}

// Builds a date-time from card bytes after the layout's corrections; the calendar may still
// refuse it (30 February), which is a conversion error, never a silent fix.
QDateTime cardDateTime(quint8 year, quint8 month, quint8 day, quint8 hour, quint8 minute)
{
    int m = month;
    int d = day;
    int h = hour;
    int mi = minute;
    if (m == 0 || m > 12)
        m = 1;
    if (d == 0)
        d = 1;
    if (d > daysInMonthRule(m))
        d = 1;
    if (h >= 24)
        h = 1;
    if (mi >= 60)
        mi = 1;
    const QDate date(2000 + year, m, d);
    if (!date.isValid())
        throw ConversionError(QStringLiteral("'%1-%2-%3' is not a valid date")
                                  .arg(2000 + year)
                                  .arg(m, 2, 10, QLatin1Char('0'))
                                  .arg(d, 2, 10, QLatin1Char('0'))
                                  .toStdString());
    return QDateTime(date, QTime(h, mi, 0));
}

} // namespace

TCard::TCard(TForm_Com& com) : m_com(com) {}

void TCard::setRoomLookup(RoomLookup lookup)
{
    roomLookup() = std::move(lookup);
}

TCard& Card()
{
    if (!globalCard())
        ResetGlobalCard();
    return *globalCard();
}

void ResetGlobalCard()
{
    globalCard() = std::make_unique<TCard>(TForm_Com::instance());
}

void TCard::Clear()
{
    roomNo.clear();
    building = floor = roomIndex = doorByte = workArea = flags = 0;
    kind = 0;
    subCode = 0;
    loss = 0;
    serial = 0;
    kindName.clear();
    operatorName.clear();
    image.fill(0);
    aux.fill(0);
}

void TCard::Encode()
{
    EncodeKind();
    EncodeRoom();
    EncodeTimes();
}

void TCard::EncodeKind()
{
    if (kind < 0 || kind >= cfg::kCardTypeCount)
        throw std::invalid_argument("card kind out of range");
    const Rcards& type = cfg::cardTypes()[static_cast<size_t>(kind)];
    switch (kind) {
    case 18:
        D(1) = 0xF5;
        break;
    case 19:
        D(1) = 0xF4;
        break;
    case 20:
        D(1) = 0xF6;
        break;
    case 21:
        D(1) = 0xFC;
        break;
    default:
        D(1) = low8(16 * kind + low8(type.card_type));
    }
    D(2) = low8(low8(type.card_status) + flags);
    if (loss == 1)
        D(2) = low8(D(2) + 0x80);
    kindName = type.card_name;
    if (kind == 12) {
        const auto site = cfg::sys().siteCode();
        for (int i = 0; i < 6; ++i)
            D(18 + i) = site[static_cast<size_t>(i % 3)];
    }
}

RoomAddress TCard::lookUpRoom()
{
    if (roomNo.isEmpty())
        throw Eic(13);
    const auto found = roomLookup() ? roomLookup()(roomNo) : std::nullopt;
    if (!found)
        throw Eic(17);
    building = found->building;
    floor = found->floor;
    roomIndex = found->index;
    roomCardCount = found->cardCount;
    return *found;
}

void TCard::EncodeRoom()
{
    switch (kind) {
    case 0:
        lookUpRoom();
        D(13) = building;
        D(14) = floor;
        D(15) = roomIndex;
        D(16) = doorByte;
        break;
    case 5:
        D(13) = building;
        break;
    case 3:
        D(13) = building;
        D(14) = floor;
        break;
    case 14:
        D(13) = building;
        D(14) = floor;
        D(15) = roomIndex;
        D(16) = workArea;
        break;
    case 4:
        D(17) = workArea;
        break;
    default:
        break;
    }
}

void TCard::EncodeTimes()
{
    auto put = [this](int at, const QDateTime& t) {
        D(at) = low8(t.date().year() - 2000);
        D(at + 1) = low8(t.date().month());
        D(at + 2) = low8(t.date().day());
        D(at + 3) = low8(t.time().hour());
        D(at + 4) = low8(t.time().minute());
    };
    put(3, start);
    put(8, end);
}

void TCard::EncodeAux()
{
    EncodeAuxKind();
    EncodeAuxRoom();
    EncodeAuxTimes();
}

void TCard::EncodeAuxKind()
{
    quint8 code = 0;
    switch (kind) {
    case 0:
        code = 1;
        break;
    case 5:
        code = 2;
        break;
    case 3:
        code = 3;
        break;
    case 4:
        code = 4;
        break;
    case 6:
        code = 5;
        break;
    case 14:
        code = 6;
        break;
    case 7:
        code = 8;
        break;
    default:
        break;
    }
    E(1) = code;
    E(2) = E(3) = 0;
}

void TCard::EncodeAuxRoom()
{
    for (int i = 4; i <= 10; ++i)
        E(i) = 0;
    switch (kind) {
    case 0: {
        lookUpRoom();
        E(4) = building;
        E(5) = floor;
        QString number = roomNo.trimmed();
        if (number.size() < 5)
            number = QString(5 - number.size(), u'0') + number;
        const QByteArray chars = number.toUtf8();
        for (int i = 0; i < chars.size() && 6 + i <= 32; ++i)
            E(6 + i) = static_cast<quint8>(chars[i]);
        break;
    }
    case 5:
        E(4) = building;
        break;
    case 3:
        E(4) = building;
        E(5) = floor;
        E(6) = floor;
        break;
    case 14:
        E(4) = building;
        E(5) = floor;
        E(6) = roomIndex;
        break;
    default:
        break;
    }
}

void TCard::EncodeAuxTimes()
{
    if (kind == 3 || kind == 4) {
        E(8) = 0x00;
        E(9) = 0x00;
        E(10) = 0x23;
        E(11) = 0x59;
    }
    E(12) = ToBcd(low8(end.date().year() - 2000));
    E(13) = ToBcd(low8(end.date().month()));
    E(14) = ToBcd(low8(end.date().day()));
    E(15) = ToBcd(low8(end.time().hour()));
    E(16) = ToBcd(low8(end.time().minute()));
}

void TCard::Decode()
{
    kind = D(1) >> 4;
    subCode = D(1) & 0x0F;
    if (kind == 15) {
        switch (subCode) {
        case 5:
            kind = 18;
            break;
        case 6:
            kind = 20;
            break;
        case 4:
            kind = 19;
            break;
        case 12:
            kind = 21;
            break;
        default:
            break;
        }
    }
    kindName = cfg::cardTypes()[static_cast<size_t>(kind)].card_name;
    flags = D(2);
    if (D(2) == 16 && kind == 8) {
        // Time-window setting card: windows are times of day on 1 January 2000.
        for (int k = 1; k <= 8; ++k) {
            const int h = D(6 + 2 * k);
            const int m = D(7 + 2 * k);
            const QTime t(h, m);
            timeWindows[static_cast<size_t>(k - 1)] = QDateTime(QDate(2000, 1, 1), t.isValid() ? t : QTime(0, 0));
        }
        for (int j = 1; j <= 4; ++j)
            timeTables[static_cast<size_t>(j - 1)] = ByteToBits(D(23 + j));
    } else {
        start = cardDateTime(D(3), D(4), D(5), D(6), D(7));
        end = cardDateTime(D(8), D(9), D(10), D(11), D(12));
        building = D(13);
        floor = D(14);
        roomIndex = D(15);
        doorByte = D(16);
        workArea = D(17);
    }
    if (start == powerCardMoment()) {
        if (kind == 0) {
            kind = 113;
            kindName = QStringLiteral("客房取电卡");
        } else if (kind == 3) {
            kind = 114;
            kindName = QStringLiteral("楼层取电卡");
        } else if (kind == 5) {
            kind = 115;
            kindName = QStringLiteral("楼栋取电卡");
        }
    }
}

quint8 TCard::ToBcd(quint8 b)
{
    return static_cast<quint8>((b / 10) * 16 + (b % 10));
}

QString TCard::ZeroPad(int width, qint64 n)
{
    const QString text = QString::number(n);
    if (text.size() < width)
        return QString(width - text.size(), u'0') + text;
    return text.left(width);
}

QString TCard::ByteToBits(quint8 b)
{
    QString bits;
    for (int bit = 7; bit >= 0; --bit)
        bits += (b >> bit) & 1 ? u'1' : u'0';
    return bits;
}

quint8 TCard::BitsToByte(const QString& text)
{
    int value = 0;
    for (int p = 1; p <= 8 && p <= text.size(); ++p) {
        const QChar c = text[p - 1];
        if (!c.isDigit() || c.unicode() > 0x7F)
            throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
        if (c == u'1')
            value += 1 << (8 - p);
    }
    return static_cast<quint8>(value);
}

QString TCard::hexOf(const quint8* bytes, int n)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), n).toHex().toUpper());
}
