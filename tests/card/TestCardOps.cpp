#include "EncoderFixture.h"
#include "card/CardKeys.h"
#include "card/DesString.h"
#include "card/TCard.h"
#include "encoder/Frame.h"

#include <QTest>

namespace {
constexpr std::array<quint8, 4> kSite{0x4D, 0x71, 0x2C, 0x00};
constexpr int kSector = 1;
}

// A desk with the emulated encoder: site code 4D 71 2C, encoder identification 4D.
struct Desk : EncoderFixture
{
    TCard card{com};

    Desk()
    {
        cfg::sys().sys_sqcode = {kSite[0], kSite[1], kSite[2], kSite[3]};
        cfg::cardTypes() = {};
        cfg::cardTypes()[0].card_status = 0x20;
        com.setSiteCode(kSite);
        engine.setIdentification(kSite[0], 0x01);
        com.setIdentification({kSite[0], 0x01});
        TCard::setRoomLookup([](const QString& room) -> std::optional<RoomAddress> {
            return room == "203" ? std::optional<RoomAddress>(RoomAddress{1, 2, 3, 0}) : std::nullopt;
        });
        com.open();
        card.LoadCardKeys();
    }

    // Initialises the card in the field as the card-initialisation screen does.
    int initialise(quint8 identification)
    {
        com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
        com.LoadSectorKey(Frame::KeyB, CardKeys::factoryKey());
        const int r = com.WriteSignature(identification, Frame::KeyA);
        card.LoadCardKeys();
        return r;
    }

    void fillGuest()
    {
        card.Clear();
        card.kind = 0;
        card.roomNo = "203";
        card.start = QDateTime(QDate(2024, 5, 6), QTime(14, 30));
        card.end = QDateTime(QDate(2024, 5, 8), QTime(12, 0));
        card.Encode();
    }

    QByteArray trailer() { return this->EncoderFixture::card().rawBlock(kSector * 4 + 3); }
};

class TestCardOps : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void threeCardStates();
    void issuedCardReadsBack();
    void cardOfAnotherInstallation();
    void serviceMarker();
    void siteCheckBytes();
    void trailerModeOneEnforcesKeyB();
    void kindTwelveSwapsTrailerModes();
    void writeCardModeZeroLeavesTheTrailer();
    void verifiedWriteWithoutCard();
    void verifiedWriteDetectsAPulledCard();
    void staleReadBackNeverVouches();
    void eraseAndReset();
    void auxiliaryTrailerHoldsReversedKey();
    void checkSignature();
    void signatureWithIdentificationZero();
    void parseCardReport();
    void readWithClosedPort();
    void unansweredSelectionIsNoCard();
    void cardLeavingBetweenTheImageReads();
};

void TestCardOps::threeCardStates()
{
    Desk d;
    QCOMPARE(d.card.ReadCard(), 1); // nothing in the field
    d.placeFactory1k();
    QCOMPARE(d.card.ReadCard(), 3); // factory card: Key B refused
    QCOMPARE(d.initialise(kSite[0]), 0);
    QCOMPARE(d.card.ReadCard(), 7); // initialised, blank
    d.fillGuest();
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    QCOMPARE(d.card.ReadCardOwnPort(), 0);
    QVERIFY(!d.com.isOpen()); // the probe closes its port
}

void TestCardOps::issuedCardReadsBack()
{
    Desk d;
    d.placeFactory1k(0x0A0B0C0D);
    d.initialise(kSite[0]);
    d.fillGuest();
    d.card.doorByte = 0;
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    const QString written = d.card.contentHex;
    QCOMPARE(d.card.D(30), kSite[1]);
    QCOMPARE(d.card.D(31), kSite[2]);
    quint8 x = 0;
    for (int i = 1; i <= 31; ++i)
        x ^= d.card.D(i);
    QCOMPARE(d.card.D(32), x);
    d.com.open();
    QCOMPARE(d.card.ReadCard(), 0);
    QCOMPARE(d.card.contentHex, written);
    QCOMPARE(d.card.serial, qint64(0x0A0B0C0D));
    d.card.Decode();
    QCOMPARE(d.card.start, QDateTime(QDate(2024, 5, 6), QTime(14, 30)));
    QCOMPARE(d.card.end, QDateTime(QDate(2024, 5, 8), QTime(12, 0)));
    QCOMPARE(d.card.roomIndex, quint8(3));
    // The trailer carries the site Key A and the card Key B.
    const QByteArray trailer = d.trailer();
    QCOMPARE(trailer.left(6), QByteArray::fromHex("4D712C4D712C"));
    QCOMPARE(trailer.mid(6, 4), QByteArray::fromHex("78778869"));
    QCOMPARE(trailer.mid(10), CardKeys::cardKeyB());
}

void TestCardOps::cardOfAnotherInstallation()
{
    Desk d;
    d.placeFactory1k();
    QCOMPARE(d.initialise(0x99), 0);
    QCOMPARE(d.card.ReadCardOwnPort(), 5);
    // A signature made for another serial does not match this card.
    d.EncoderFixture::card().setRawBlock(4, EncryptString(QByteArray::fromHex("DEADBEEF") + char(kSite[0]),
                                                          CardKeys::signatureKey()) +
                                                QByteArray(8, 0));
    QCOMPARE(d.card.ReadCardOwnPort(), 2);
}

void TestCardOps::serviceMarker()
{
    Desk d;
    d.placeFactory1k();
    d.initialise(kSite[0]);
    d.fillGuest();
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    // Put the service marker into bytes 30 and 31, as the service tools write it.
    QByteArray block2 = d.EncoderFixture::card().rawBlock(6);
    block2[13] = char(CardKeys::kServiceMarker[0]);
    block2[14] = char(CardKeys::kServiceMarker[1]);
    d.EncoderFixture::card().setRawBlock(6, block2);
    d.com.open();
    QCOMPARE(d.card.ReadCard(), 0);
    QCOMPARE(d.card.ReadCardOwnPort(), 5);
}

void TestCardOps::siteCheckBytes()
{
    Desk d;
    d.placeFactory1k();
    d.initialise(kSite[0]);
    d.fillGuest();
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    QByteArray block2 = d.EncoderFixture::card().rawBlock(6);
    block2[14] = char(0x00); // byte 31 differs
    d.EncoderFixture::card().setRawBlock(6, block2);
    QCOMPARE(d.card.ReadCardOwnPort(), 6);
    block2[13] = char(0x00); // byte 30 differs too: 5 wins
    d.EncoderFixture::card().setRawBlock(6, block2);
    QCOMPARE(d.card.ReadCardOwnPort(), 5);
}

void TestCardOps::trailerModeOneEnforcesKeyB()
{
    Desk d;
    d.placeFactory1k();
    d.initialise(kSite[0]);
    d.fillGuest();
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    MifareClassic& c = d.EncoderFixture::card();
    MifareClassic::Key siteA{};
    MifareClassic::Key keyB{};
    for (int i = 0; i < 6; ++i) {
        siteA[size_t(i)] = kSite[size_t(i % 3)];
        keyB[size_t(i)] = quint8(CardKeys::cardKeyB()[i]);
    }
    QVERIFY(c.authenticate(kSector, MifareClassic::KeyType::A, siteA));
    QVERIFY(c.read(5).has_value());
    QVERIFY(!c.write(5, QByteArray(16, 1)));
    QVERIFY(c.authenticate(kSector, MifareClassic::KeyType::B, keyB));
    QVERIFY(c.write(5, QByteArray(16, 1)));
    QVERIFY(!c.authenticate(kSector, MifareClassic::KeyType::A, MifareClassic::kTransportKey));
}

void TestCardOps::kindTwelveSwapsTrailerModes()
{
    Desk d;
    d.placeFactory1k();
    d.initialise(kSite[0]);
    d.card.Clear();
    d.card.kind = 12;
    d.card.start = QDateTime(QDate(2024, 1, 1), QTime(0, 0));
    d.card.end = QDateTime(QDate(2025, 1, 1), QTime(0, 0));
    d.card.EncodeKind();
    d.card.EncodeTimes();
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    QCOMPARE(d.trailer().left(6), CardKeys::factoryKey()); // mode 1 became mode 2
    QCOMPARE(d.card.WriteCardVerified(2), 0);
    QCOMPARE(d.trailer().left(6), QByteArray::fromHex("4D712C4D712C")); // mode 2 became mode 1
}

void TestCardOps::writeCardModeZeroLeavesTheTrailer()
{
    Desk d;
    d.placeFactory1k();
    d.initialise(kSite[0]);
    const QByteArray before = d.trailer();
    d.fillGuest();
    QCOMPARE(d.card.WriteCard(0), 0);
    QCOMPARE(d.trailer(), before);
    QCOMPARE(d.EncoderFixture::card().rawBlock(5), QByteArray(reinterpret_cast<const char*>(d.card.image.data()), 16));
}

void TestCardOps::verifiedWriteWithoutCard()
{
    Desk d;
    d.fillGuest();
    QCOMPARE(d.card.WriteCardVerified(1), 11);
    QVERIFY(!d.com.isOpen());
}

void TestCardOps::verifiedWriteDetectsAPulledCard()
{
    for (int framesBeforePull = 3; framesBeforePull <= 6; ++framesBeforePull) {
        Desk d;
        d.placeFactory1k();
        d.initialise(kSite[0]);
        d.fillGuest();
        d.control(QStringLiteral("fault pull-after %1").arg(framesBeforePull));
        QCOMPARE(d.card.WriteCardVerified(1), 11);
    }
}

void TestCardOps::staleReadBackNeverVouches()
{
    Desk d;
    d.placeFactory1k();
    d.initialise(kSite[0]);
    d.fillGuest();
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    // The same image again, but the card has gone: the earlier read-back must not count.
    d.engine.removeCard();
    QCOMPARE(d.card.WriteCardVerified(1), 11);
}

void TestCardOps::eraseAndReset()
{
    Desk d;
    d.placeFactory1k();
    d.initialise(kSite[0]);
    d.fillGuest();
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    d.com.open();
    QCOMPARE(d.card.EraseCard(), 0);
    QCOMPARE(d.card.D(30), quint8(0xFF));
    QCOMPARE(d.card.D(31), quint8(0xFF));
    quint8 x = 0;
    for (int i = 1; i <= 31; ++i)
        x ^= d.card.D(i);
    QCOMPARE(d.card.D(32), x);
    QCOMPARE(d.card.ReadCard(), 7); // blank again
    QCOMPARE(d.card.ResetCard(), 0);
    QCOMPARE(d.trailer().left(6), CardKeys::factoryKey());
    QCOMPARE(d.EncoderFixture::card().rawBlock(5), QByteArray(16, char(0xFF)));
    QCOMPARE(d.card.ReadCard(), 7);
}

void TestCardOps::auxiliaryTrailerHoldsReversedKey()
{
    Desk d;
    cfg::sys().hdsq = 3;
    d.placeFactory1k();
    // Authenticate the auxiliary sector with its transport key so that the trailer may be written.
    d.com.LoadKey(Frame::KeyA, 3, CardKeys::factoryKey());
    d.com.send(Frame::request());
    d.com.waitReply(1000);
    QCOMPARE(d.com.SelectCardSerial(), 0);
    d.com.send(Frame::authenticate(Frame::KeyA, 3));
    QVERIFY(d.com.waitReply(1000));
    QCOMPARE(d.card.WriteTrailer(3), 0);
    QByteArray keyA = CardKeys::auxKeyA();
    std::reverse(keyA.begin(), keyA.end());
    const QByteArray trailer = d.EncoderFixture::card().rawBlock(3 * 4 + 3);
    QCOMPARE(trailer.left(6), keyA);
    QCOMPARE(trailer.mid(10), CardKeys::auxKeyB());
}

void TestCardOps::checkSignature()
{
    Desk d;
    d.com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
    QCOMPARE(d.com.CheckSignature(Frame::KeyA), 1);
    d.placeFactory1k();
    QCOMPARE(d.com.CheckSignature(Frame::KeyA), 2); // a new card carries no signature
    d.initialise(kSite[0]);
    d.com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
    QCOMPARE(d.com.CheckSignature(Frame::KeyA), 7);
    d.card.LoadCardKeys();
    d.fillGuest();
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    d.com.open();
    d.com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
    QCOMPARE(d.com.CheckSignature(Frame::KeyA), 3); // Key A is the site key now
    QCOMPARE(d.com.CheckSignature(Frame::KeyB), 0);
}

void TestCardOps::signatureWithIdentificationZero()
{
    Desk d;
    d.placeFactory1k();
    d.com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
    try {
        d.com.WriteSignature(0, Frame::KeyA);
        QFAIL("an identification byte of 0 cannot sign a card");
    } catch (const CipherError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Error: the last char is NULL char."));
    }
}

void TestCardOps::parseCardReport()
{
    Desk d;
    QCOMPARE(d.card.ParseCardReport(), 1);
    QByteArray image(32, 0);
    image[0] = 0x00;
    image[1] = char(0x12);
    image[2] = char(0x34);
    d.com.ClearReply(); // the screen that waits for a report starts from an empty buffer
    d.control(QStringLiteral("report ") + QString::fromLatin1(image.toHex()));
    d.com.waitReply(100);
    QCOMPARE(d.card.ParseCardReport(), 0);
    QCOMPARE(d.card.serial, qint64(0x1234));
    QCOMPARE(d.card.serialHex, QStringLiteral("1234"));
    d.com.ClearReply();
    d.control("report none");
    d.com.waitReply(100);
    QCOMPARE(d.card.ParseCardReport(), 2);
    d.com.ClearReply();
    image[0] = char(0xFF);
    d.control(QStringLiteral("report ") + QString::fromLatin1(image.toHex()));
    d.com.waitReply(100);
    QCOMPARE(d.card.ParseCardReport(), 7);
}

void TestCardOps::readWithClosedPort()
{
    Desk d;
    d.com.close();
    QCOMPARE(d.card.ReadCard(), 4);
    d.portOpenFails = true;
    d.com.setStreamFactory([&d](int) {
        auto s = std::make_unique<EmulatedStream>(d.engine);
        s->setOpenFails(true);
        return s;
    });
    QCOMPARE(d.card.ReadCardOwnPort(), 4);
    QCOMPARE(d.card.WriteCardVerified(1), 4);
}

void TestCardOps::unansweredSelectionIsNoCard()
{
    Desk d;
    d.placeFactory1k();
    // Request and anticollision answer, the selection does not: no card was confirmed.
    int frames = 0;
    QObject::connect(&d.com, &TForm_Com::replyChanged, &d.com, [&] {
        if (++frames == 2)
            d.control("fault drop"); // the reply to the anticollision arms a drop of the select
    });
    QCOMPARE(d.card.SelectCard(), 1);
}

void TestCardOps::cardLeavingBetweenTheImageReads()
{
    Desk d;
    d.placeFactory1k();
    d.initialise(kSite[0]);
    d.fillGuest();
    QCOMPARE(d.card.WriteCardVerified(1), 0);
    d.com.open();
    // select (3 frames), authenticate, signature block, first image block: then the card is gone.
    d.control("fault pull-after 6");
    QCOMPARE(d.card.ReadCard(), 1);
}

QTEST_GUILESS_MAIN(TestCardOps)
#include "TestCardOps.moc"
