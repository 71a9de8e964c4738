#include "TestDir.h"
#include "card/TCard.h"
#include "config/Eic.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "encoder/TForm_Com.h"

#include <QTest>

class TestCardLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void guestCardExample();
    void kindBytes_data();
    void kindBytes();
    void lossFlagAndAuthorizationKey();
    void roomErrors();
    void decodeKinds_data();
    void decodeKinds();
    void decodeCorrectionsAndPowerCards();
    void decodeRefusesImpossibleDates();
    void timeWindowSettingCard();
    void helpers();

private:
    TForm_Com m_com;
};

void TestCardLayout::init()
{
    cfg::sys() = SysSettings{};
    cfg::sys().sys_sqcode = {0x12, 0x34, 0x56, 0};
    cfg::cardTypes() = {};
    TCard::setRoomLookup([](const QString& room) -> std::optional<RoomAddress> {
        if (room == "203")
            return RoomAddress{1, 2, 3, 4};
        return std::nullopt;
    });
}

void TestCardLayout::guestCardExample()
{
    TCard card(m_com);
    card.Clear();
    card.kind = 0;
    card.roomNo = "203";
    card.doorByte = 0x05;
    card.start = QDateTime(QDate(2024, 5, 6), QTime(14, 30));
    card.end = QDateTime(QDate(2024, 5, 8), QTime(12, 0));
    card.Encode();
    card.EncodeAux();
    const QList<int> d{24, 5, 6, 14, 30, 24, 5, 8, 12, 0, 1, 2, 3, 5};
    for (int i = 0; i < d.size(); ++i)
        QCOMPARE(int(card.D(3 + i)), d[i]);
    QCOMPARE(card.roomCardCount, 4);
    QCOMPARE(card.E(1), quint8(1));
    QCOMPARE(card.E(4), quint8(1));
    QCOMPARE(card.E(5), quint8(2));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&card.aux[5]), 5), QByteArray("00203"));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&card.aux[11]), 5), QByteArray::fromHex("2405081200"));
    for (int i = 18; i <= 32; ++i)
        QCOMPARE(card.D(i), quint8(0));
}

void TestCardLayout::kindBytes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("cardType");
    QTest::addColumn<int>("cardStatus");
    QTest::addColumn<int>("byte1");
    QTest::addColumn<int>("byte2");
    for (int k = 0; k <= 14; ++k)
        QTest::addRow("kind %d", k) << k << 3 << 0x20 + k << ((16 * k + 3) & 0xFF) << 0x20 + k;
    QTest::newRow("card_type wraps") << 15 << 0x1FF << 0x120 << 0xEF << 0x20;
    QTest::newRow("18 patrol") << 18 << 7 << 0 << 0xF5 << 0;
    QTest::newRow("19") << 19 << 7 << 0 << 0xF4 << 0;
    QTest::newRow("20") << 20 << 7 << 0 << 0xF6 << 0;
    QTest::newRow("21") << 21 << 7 << 0 << 0xFC << 0;
}

void TestCardLayout::kindBytes()
{
    QFETCH(int, kind);
    QFETCH(int, cardType);
    QFETCH(int, cardStatus);
    QFETCH(int, byte1);
    QFETCH(int, byte2);
    cfg::cardTypes()[size_t(kind)].card_type = cardType;
    cfg::cardTypes()[size_t(kind)].card_status = cardStatus;
    cfg::cardTypes()[size_t(kind)].card_name = "kind name";
    TCard card(m_com);
    card.Clear();
    card.kind = kind;
    card.EncodeKind();
    QCOMPARE(int(card.D(1)), byte1);
    QCOMPARE(int(card.D(2)), byte2);
    QCOMPARE(card.kindName, QStringLiteral("kind name"));
}

void TestCardLayout::lossFlagAndAuthorizationKey()
{
    cfg::cardTypes()[0].card_status = 0x21;
    TCard card(m_com);
    card.Clear();
    card.loss = 1;
    card.EncodeKind();
    QCOMPARE(card.D(2), quint8(0xA1));
    card.Clear();
    card.kind = 12;
    card.EncodeKind();
    const QList<int> key{0x12, 0x34, 0x56, 0x12, 0x34, 0x56};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(int(card.D(18 + i)), key[i]);
    card.Clear();
    card.kind = 11;
    card.EncodeKind();
    for (int i = 18; i <= 23; ++i)
        QCOMPARE(card.D(i), quint8(0));
}

void TestCardLayout::roomErrors()
{
    TCard card(m_com);
    card.Clear();
    card.roomNo.clear();
    try {
        card.Encode();
        QFAIL("an empty room number must be refused");
    } catch (const Eic& e) {
        QCOMPARE(e.code(), 13);
    }
    card.roomNo = "999";
    try {
        card.Encode();
        QFAIL("an unknown room must be refused");
    } catch (const Eic& e) {
        QCOMPARE(e.code(), 17);
    }
}

void TestCardLayout::decodeKinds_data()
{
    QTest::addColumn<int>("byte1");
    QTest::addColumn<int>("kind");
    QTest::newRow("F4") << 0xF4 << 19;
    QTest::newRow("F5") << 0xF5 << 18;
    QTest::newRow("F6") << 0xF6 << 20;
    QTest::newRow("F7") << 0xF7 << 15;
    QTest::newRow("FC") << 0xFC << 21;
    QTest::newRow("guest") << 0x03 << 0;
    QTest::newRow("gate") << 0xE0 << 14;
}

void TestCardLayout::decodeKinds()
{
    QFETCH(int, byte1);
    QFETCH(int, kind);
    TCard card(m_com);
    card.Clear();
    card.D(1) = quint8(byte1);
    card.D(3) = 24;
    card.D(4) = 5;
    card.D(5) = 6;
    card.Decode();
    QCOMPARE(card.kind, kind);
    QCOMPARE(int(card.subCode), byte1 & 0x0F);
}

void TestCardLayout::decodeCorrectionsAndPowerCards()
{
    TCard card(m_com);
    card.Clear();
    // month 0 -> January, day 0 -> 1, hour 24 -> 1, minute 60 -> 1; day 31 in April -> 1
    const QList<int> bytes{0x00, 0x05, 24, 0, 0, 24, 60, 24, 4, 31, 23, 59, 9, 8, 7, 6, 5};
    for (int i = 0; i < bytes.size(); ++i)
        card.D(1 + i) = quint8(bytes[i]);
    card.Decode();
    QCOMPARE(card.start, QDateTime(QDate(2024, 1, 1), QTime(1, 1)));
    QCOMPARE(card.end, QDateTime(QDate(2024, 4, 1), QTime(23, 59)));
    QCOMPARE(card.flags, quint8(5));
    QCOMPARE(card.building, quint8(9));
    QCOMPARE(card.workArea, quint8(5));

    const QList<std::pair<int, int>> power{{0x00, 113}, {0x30, 114}, {0x50, 115}, {0x40, 4}};
    for (const auto& [b1, kind] : power) {
        card.Clear();
        card.D(1) = quint8(b1);
        card.D(3) = 40;
        card.D(4) = 1;
        card.D(5) = 1;
        card.D(6) = 1;
        card.D(7) = 0;
        card.Decode();
        QCOMPARE(card.kind, kind);
    }
    card.Clear();
    card.D(3) = 40;
    card.D(4) = card.D(5) = card.D(6) = 1;
    card.Decode();
    QCOMPARE(card.kindName, QStringLiteral("客房取电卡"));
}

void TestCardLayout::decodeRefusesImpossibleDates()
{
    TCard card(m_com);
    card.Clear();
    card.D(3) = 24;
    card.D(4) = 2;
    card.D(5) = 30; // 30 February survives the corrections and the calendar refuses it
    QVERIFY_THROWS_EXCEPTION(ConversionError, card.Decode());
    card.D(5) = 29; // 2024 is a leap year
    card.Decode();
    QCOMPARE(card.start.date(), QDate(2024, 2, 29));
}

void TestCardLayout::timeWindowSettingCard()
{
    TCard card(m_com);
    card.Clear();
    card.D(1) = 0x80;
    card.D(2) = 16;
    card.D(8) = 7;
    card.D(9) = 30;
    card.D(24) = 0xA5;
    card.start = QDateTime(QDate(2020, 1, 1), QTime(0, 0));
    card.Decode();
    QCOMPARE(card.timeWindows[0], QDateTime(QDate(2000, 1, 1), QTime(7, 30)));
    QCOMPARE(card.timeTables[0], QStringLiteral("10100101"));
    QCOMPARE(card.start, QDateTime(QDate(2020, 1, 1), QTime(0, 0))); // times are not decoded
}

void TestCardLayout::helpers()
{
    QCOMPARE(TCard::ZeroPad(3, 7), QStringLiteral("007"));
    QCOMPARE(TCard::ZeroPad(2, 123), QStringLiteral("12"));
    QCOMPARE(TCard::ByteToBits(0xA5), QStringLiteral("10100101"));
    QCOMPARE(TCard::BitsToByte("10100101"), quint8(0xA5));
    QCOMPARE(TCard::BitsToByte("1020"), quint8(0x80));
    QVERIFY_THROWS_EXCEPTION(ConversionError, TCard::BitsToByte("1x"));
    QCOMPARE(TCard::ToBcd(59), quint8(0x59));
}

QTEST_GUILESS_MAIN(TestCardLayout)
#include "TestCardLayout.moc"
