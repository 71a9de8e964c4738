#include "EncoderFixture.h"
#include "encoder/Frame.h"
#include "encoder/ReplyBuffer.h"

#include <QTest>

class TestEncoderLink : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replyBufferCompletion_data();
    void replyBufferCompletion();
    void replyBufferNeverWritesPastItsEnd();
    void detectEncoder();
    void selectWithAndWithoutCard();
    void selectCardExTellsNoCardFromNoAnswer();
    void authenticateAndReadWithLoadedKeys();
    void readBlockFailureReplies();
    void openWithFactoryKeysReachesOtherSectors();
    void identification();
    void waitsEndWhenTheReplyIsComplete();
    void splitReplyCompletesOnlyWithItsSecondPiece();
    void statusSixteenNeverCompletes();
    void strayByteSpoilsTheReply();
    void portThatCannotOpen();
};

void TestEncoderLink::replyBufferCompletion_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("complete");
    QTest::newRow("ok") << QByteArray::fromHex("0100") << true;
    QTest::newRow("failure is complete too") << QByteArray::fromHex("0101") << true;
    QTest::newRow("half of a serial") << QByteArray::fromHex("0500aabb") << false;
    QTest::newRow("serial") << QByteArray::fromHex("0500aabbccdd") << true;
    QTest::newRow("status 16") << QByteArray::fromHex("0110") << false;
    QTest::newRow("status 15") << QByteArray::fromHex("010f") << true;
    QTest::newRow("longer than announced") << QByteArray::fromHex("010000") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestEncoderLink::replyBufferCompletion()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, complete);
    ReplyBuffer buffer;
    buffer.append(bytes);
    QCOMPARE(buffer.complete(), complete);
}

void TestEncoderLink::replyBufferNeverWritesPastItsEnd()
{
    ReplyBuffer buffer;
    // L = 0x7F would complete at 128 bytes; 200 bytes overflow it.
    QByteArray flood(200, char(0x33));
    flood[0] = char(0x7F);
    flood[1] = 0;
    buffer.append(flood.left(100));
    buffer.append(flood.mid(100));
    QVERIFY(buffer.overflowed());
    QVERIFY(!buffer.complete());
    QCOMPARE(buffer.at(128), quint8(0x33));
    QCOMPARE(buffer.at(129), quint8(0));
    QCOMPARE(buffer.count(), quint8(200));
    // L = 255 never completes, whatever the count.
    ReplyBuffer big;
    QByteArray many(256, 0);
    many[0] = char(0xFF);
    big.append(many);
    QVERIFY(!big.complete());
    // A complete 128-byte reply still fits exactly.
    ReplyBuffer exact;
    QByteArray full(128, 0);
    full[0] = char(127);
    exact.append(full);
    QVERIFY(exact.complete());
}

void TestEncoderLink::detectEncoder()
{
    EncoderFixture f;
    f.com.open();
    QCOMPARE(f.com.DetectEncoder(), 0);
    f.control("fault drop");
    const qint64 before = f.clock.ticks();
    QCOMPARE(f.com.DetectEncoder(), 1);
    QCOMPARE(f.clock.ticks() - before, 550); // the whole allowance when nobody answers
}

void TestEncoderLink::selectWithAndWithoutCard()
{
    EncoderFixture f;
    f.com.open();
    QCOMPARE(f.com.SelectCardSerial(), 1);
    f.placeFactory1k(0xA1B2C3D4);
    QCOMPARE(f.com.SelectCardSerial(), 0);
    QCOMPARE(f.com.serial(), 0xA1B2C3D4u);
    QCOMPARE(f.com.serialText(), QByteArray::fromHex("A1B2C3D4"));
}

void TestEncoderLink::selectCardExTellsNoCardFromNoAnswer()
{
    EncoderFixture f;
    f.com.open();
    QCOMPARE(f.com.SelectCardEx(), 2); // the encoder answers the request with 01 01
    f.control("fault drop");
    QCOMPARE(f.com.SelectCardEx(), 1); // the request is not answered at all
    f.placeFactory1k();
    QCOMPARE(f.com.SelectCardEx(), 0);
}

void TestEncoderLink::authenticateAndReadWithLoadedKeys()
{
    EncoderFixture f;
    f.com.open();
    f.placeFactory1k();
    QCOMPARE(f.com.SelectCardSerial(), 0);
    QCOMPARE(f.com.AuthenticateSector(Frame::KeyA), 1); // no key loaded yet
    f.com.LoadSectorKey(Frame::KeyA, TForm_Com::factoryKey());
    QCOMPARE(f.com.SelectCardSerial(), 0);
    QCOMPARE(f.com.AuthenticateSector(Frame::KeyA), 0);
    f.card().setRawBlock(5, QByteArray::fromHex("00112233445566778899AABBCCDDEEFF"));
    QCOMPARE(f.com.ReadBlock(5), 0);
    QCOMPARE(f.com.reply().bytes(3, 16), QByteArray::fromHex("00112233445566778899AABBCCDDEEFF"));
    f.com.LoadKey(Frame::KeyA, 1, QByteArray::fromHex("010203040506"));
    QCOMPARE(f.com.SelectCardSerial(), 0);
    QCOMPARE(f.com.AuthenticateSector(Frame::KeyA), 1); // wrong key now
}

void TestEncoderLink::readBlockFailureReplies()
{
    EncoderFixture f;
    f.com.open();
    f.placeFactory1k();
    QCOMPARE(f.com.ReadBlock(4), 1); // not authenticated: 01 01
    f.control("fault drop");
    QCOMPARE(f.com.ReadBlock(4), 1); // no reply
    // A one-byte success reply carries no data.
    f.control("fault status 0");
    QCOMPARE(f.com.ReadBlock(4), 1);
}

void TestEncoderLink::openWithFactoryKeysReachesOtherSectors()
{
    EncoderFixture f;
    f.com.open();
    f.engine.placeCard(MifareClassic::factory(MifareClassic::Kind::Classic4K));
    f.card().setRawBlock(128 + 16 * 2 + 3, QByteArray(16, char(0x5A)));
    QCOMPARE(f.com.SelectCardSerial(), 0);
    QCOMPARE(f.com.OpenWithFactoryKeys(34), 0);
    QCOMPARE(f.com.ReadBlock(128 + 16 * 2 + 3), 0);
    QCOMPARE(f.com.reply().bytes(3, 16), QByteArray(16, char(0x5A)));
    f.engine.removeCard();
    QCOMPARE(f.com.OpenWithFactoryKeys(1), 1);
}

void TestEncoderLink::identification()
{
    EncoderFixture f;
    f.com.open();
    f.control("ident 12AB");
    f.com.ReadIdentification();
    QCOMPARE(f.com.identification()[0], quint8(0x12));
    QCOMPARE(f.com.identification()[1], quint8(0xAB));
}

void TestEncoderLink::waitsEndWhenTheReplyIsComplete()
{
    EncoderFixture f;
    f.com.open();
    f.placeFactory1k();
    const qint64 t0 = f.clock.ticks();
    QCOMPARE(f.com.SelectCardSerial(), 0);
    const qint64 elapsed = f.clock.ticks() - t0;
    // Three exchanges: 3+4, 2+6 and 2+3 bytes on the wire plus the card's latency each.
    const double floor = EncoderEngine::replyFloorMs(3, 4, f.engine.cardLatencyMs()) +
                         EncoderEngine::replyFloorMs(2, 6, f.engine.cardLatencyMs()) +
                         EncoderEngine::replyFloorMs(2, 3, f.engine.cardLatencyMs());
    QVERIFY2(elapsed <= floor + 3, qPrintable(QStringLiteral("took %1 ms, floor %2").arg(elapsed).arg(floor)));
}

void TestEncoderLink::splitReplyCompletesOnlyWithItsSecondPiece()
{
    EncoderFixture f;
    f.com.open();
    f.placeFactory1k(0x01020304);
    f.com.send(Frame::request());
    QVERIFY(f.com.waitReply(1000));
    int deliveries = 0;
    bool completeAfterFirst = true;
    QObject::connect(&f.com, &TForm_Com::replyChanged, [&] {
        if (++deliveries == 1)
            completeAfterFirst = f.com.ReplyComplete();
    });
    f.control("fault split");
    f.com.send(Frame::anticollision());
    QVERIFY(f.com.waitReply(1000));
    QCOMPARE(deliveries, 2);
    QVERIFY(!completeAfterFirst);
    QCOMPARE(f.com.reply().bytes(3, 4), QByteArray::fromHex("01020304"));
}

void TestEncoderLink::statusSixteenNeverCompletes()
{
    EncoderFixture f;
    f.com.open();
    f.placeFactory1k();
    f.control("fault status 16");
    const qint64 t0 = f.clock.ticks();
    QCOMPARE(f.com.AuthenticateSector(Frame::KeyB), 1);
    QCOMPARE(f.clock.ticks() - t0, 1000); // timed out
}

void TestEncoderLink::strayByteSpoilsTheReply()
{
    EncoderFixture f;
    f.com.open();
    f.control("fault garbage");
    QCOMPARE(f.com.DetectEncoder(), 1);
    QCOMPARE(f.com.DetectEncoder(), 0); // the next exchange is clean again
}

void TestEncoderLink::portThatCannotOpen()
{
    EncoderFixture f;
    f.portOpenFails = true;
    QVERIFY_THROWS_EXCEPTION(PortError, f.com.open());
    QVERIFY(!f.com.isOpen());
    QVERIFY_THROWS_EXCEPTION(PortError, f.com.DetectEncoder());
}

QTEST_GUILESS_MAIN(TestEncoderLink)
#include "TestEncoderLink.moc"
