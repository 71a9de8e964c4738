#include "EmulatedStream.h"
#include "EncoderEngine.h"
#include "platform/Clock.h"

#include <QTemporaryDir>
#include <QTest>
#include <cmath>

namespace {

const MifareClassic::Uid kUid{0x0A, 0x0B, 0x0C, 0x0D};

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

struct Delivery
{
    qint64 at;
    QByteArray bytes;
};

// The program's side of the line: writes frames, records every delivery with its time.
struct Line
{
    VirtualClock clock;
    ScopedClock useClock{clock};
    EmulatedStream stream;
    QList<Delivery> deliveries;

    Line()
    {
        stream.open();
        QObject::connect(&stream, &ByteStream::readyRead, [this] {
            deliveries.append({clock.ticks(), stream.read(stream.bytesAvailable())});
        });
    }
    EncoderEngine& engine() { return stream.engine(); }
    QByteArray received() const
    {
        QByteArray all;
        for (const Delivery& d : deliveries)
            all += d.bytes;
        return all;
    }
    // Sends one frame and returns everything that came back within a second (virtual).
    QByteArray exchange(const QByteArray& frame)
    {
        deliveries.clear();
        stream.write(frame);
        clock.advance(1000);
        return received();
    }
    QByteArray exchange(const char* frameHex) { return exchange(hex(frameHex)); }
    void place(MifareClassic::Kind kind = MifareClassic::Kind::Classic1K)
    {
        engine().placeCard(MifareClassic::factory(kind, kUid));
    }
    // Request, anticollision and select, replies checked.
    void activate()
    {
        QCOMPARE(exchange("02 02 52").left(2), hex("03 00"));
        QCOMPARE(exchange("01 03").left(2), hex("05 00"));
        QCOMPARE(exchange("01 04").left(2), hex("02 00"));
    }
    void loadFactoryKeyA(int sector) { exchange(hex("09 06 60") + char(sector) + hex("FFFFFFFFFFFF")); }
};

} // namespace

class TestEncoderEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void commandReplies_data();
    void commandReplies();
    void readsNeedAnAuthenticatedSector();
    void reselectOrRemovalDropsAuthentication();
    void failedAuthenticationLeavesNoAccess();
    void otherSectorsWithTheKeyThatSucceededLast();
    void otherSectorWithADifferentKeyFails();
    void recordCollectionReadsEveryDataBlockOfA4kCard();
    void issuingSequence();

    void replyTimeIsTheFloorFormula_data();
    void replyTimeIsTheFloorFormula();
    void repliesNeverOvertake();
    void frameMayArriveInPieces();
    void staleBytesAreDiscarded();

    void faultDrop();
    void faultSplit();
    void faultGarbage();
    void faultPullAfter();
    void faultStatus();
    void unsolicitedBytesAndReports();

    void controlLanguage_data();
    void controlLanguage();
    void saveAndPlaceDumpFile();
    void portBehaviour();
};

void TestEncoderEngine::commandReplies_data()
{
    QTest::addColumn<QString>("card");
    QTest::addColumn<QList<QByteArray>>("before");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");

    const QList<QByteArray> none;
    const QList<QByteArray> active{hex("02 02 52"), hex("01 03"), hex("01 04")};
    const QList<QByteArray> authenticated =
        active + QList<QByteArray>{hex("09 06 60 01 FFFFFFFFFFFF"), hex("04 05 60 01 04")};

    QTest::newRow("request 1K") << "1k" << none << hex("02 02 52") << hex("03 00 04 00");
    QTest::newRow("request 4K") << "4k" << none << hex("02 02 52") << hex("03 00 02 00");
    QTest::newRow("request, no card") << "none" << none << hex("02 02 52") << hex("01 01");
    QTest::newRow("request, bad code") << "1k" << none << hex("02 02 53") << hex("01 01");
    QTest::newRow("anticollision") << "1k" << QList<QByteArray>{hex("02 02 52")} << hex("01 03")
                                   << hex("05 00 0A 0B 0C 0D");
    QTest::newRow("anticollision without request") << "1k" << none << hex("01 03") << hex("01 01");
    QTest::newRow("anticollision, no card") << "none" << none << hex("01 03") << hex("01 01");
    QTest::newRow("select 1K") << "1k" << QList<QByteArray>{hex("02 02 52"), hex("01 03")} << hex("01 04")
                               << hex("02 00 08");
    QTest::newRow("select 4K") << "4k" << QList<QByteArray>{hex("02 02 52"), hex("01 03")} << hex("01 04")
                               << hex("02 00 18");
    QTest::newRow("select without anticollision")
        << "1k" << QList<QByteArray>{hex("02 02 52")} << hex("01 04") << hex("01 01");
    QTest::newRow("load key") << "none" << none << hex("09 06 61 05 010203040506") << hex("01 00");
    QTest::newRow("load key, bad key type")
        << "none" << none << hex("09 06 62 05 010203040506") << hex("01 01");
    QTest::newRow("authenticate") << "1k" << active + QList<QByteArray>{hex("09 06 60 01 FFFFFFFFFFFF")}
                                  << hex("04 05 60 01 04") << hex("01 00");
    QTest::newRow("authenticate, key not loaded") << "1k" << active << hex("04 05 60 01 04") << hex("01 01");
    QTest::newRow("authenticate, key loaded for another sector")
        << "1k" << active + QList<QByteArray>{hex("09 06 60 02 FFFFFFFFFFFF")} << hex("04 05 60 01 04")
        << hex("01 01");
    QTest::newRow("authenticate, wrong key")
        << "1k" << active + QList<QByteArray>{hex("09 06 60 01 FFFFFFFFFFFE")} << hex("04 05 60 01 04")
        << hex("01 01");
    QTest::newRow("authenticate, readable Key B")
        << "1k" << active + QList<QByteArray>{hex("09 06 61 01 FFFFFFFFFFFF")} << hex("04 05 61 01 04")
        << hex("01 01");
    QTest::newRow("authenticate, not selected")
        << "1k" << QList<QByteArray>{hex("02 02 52"), hex("01 03"), hex("09 06 60 01 FFFFFFFFFFFF")}
        << hex("04 05 60 01 04") << hex("01 01");
    QTest::newRow("authenticate, sector beyond 1K")
        << "1k" << active + QList<QByteArray>{hex("09 06 60 20 FFFFFFFFFFFF")} << hex("04 05 60 20 80")
        << hex("01 01");
    QTest::newRow("read data block") << "1k" << authenticated << hex("02 08 05")
                                     << hex("11 00") + QByteArray(16, '\0');
    QTest::newRow("read trailer") << "1k" << authenticated << hex("02 08 07")
                                  << hex("11 00 000000000000 FF078069 FFFFFFFFFFFF");
    QTest::newRow("read, no authentication") << "1k" << active << hex("02 08 04") << hex("01 01");
    QTest::newRow("read beyond the card") << "1k" << authenticated << hex("02 08 40") << hex("01 01");
    QTest::newRow("write") << "1k" << authenticated << hex("12 09 05 00112233445566778899AABBCCDDEEFF")
                           << hex("01 00");
    QTest::newRow("write, no authentication")
        << "1k" << active << hex("12 09 05 00112233445566778899AABBCCDDEEFF") << hex("01 01");
    QTest::newRow("write manufacturer block")
        << "1k" << active + QList<QByteArray>{hex("09 06 60 00 FFFFFFFFFFFF"), hex("04 05 60 00 00")}
        << hex("12 09 00 00112233445566778899AABBCCDDEEFF") << hex("01 01");
    QTest::newRow("write, short frame")
        << "1k" << authenticated << hex("11 09 05 00112233445566778899AABBCCDDEE") << hex("01 01");
    QTest::newRow("beep") << "none" << none << hex("02 0B 0F") << hex("01 00");
    QTest::newRow("identification") << "none" << none << hex("01 0E") << hex("03 00 00 00");
    QTest::newRow("unknown command") << "1k" << none << hex("01 07") << hex("01 01");
    QTest::newRow("empty frame") << "1k" << none << hex("00") << hex("01 01");
    QTest::newRow("request with an extra byte") << "1k" << none << hex("03 02 52 00") << hex("01 01");
}

void TestEncoderEngine::commandReplies()
{
    QFETCH(QString, card);
    QFETCH(QList<QByteArray>, before);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    Line line;
    if (card != u"none")
        line.place(card == u"1k" ? MifareClassic::Kind::Classic1K : MifareClassic::Kind::Classic4K);
    for (const QByteArray& step : before)
        line.exchange(step);
    QCOMPARE(line.exchange(frame).toHex(' '), reply.toHex(' '));
}

void TestEncoderEngine::readsNeedAnAuthenticatedSector()
{
    Line line;
    line.place();
    line.loadFactoryKeyA(1);
    QCOMPARE(line.exchange("02 08 04"), hex("01 01"));
    line.activate();
    QCOMPARE(line.exchange("02 08 04"), hex("01 01"));
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
    QCOMPARE(line.exchange("02 08 04").left(2), hex("11 00"));
}

void TestEncoderEngine::reselectOrRemovalDropsAuthentication()
{
    Line line;
    line.place();
    line.loadFactoryKeyA(1);
    line.activate();
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
    QCOMPARE(line.exchange("01 04"), hex("02 00 08"));
    QCOMPARE(line.exchange("02 08 04"), hex("01 01"));

    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
    QCOMPARE(line.engine().control("remove"), QStringLiteral("ok"));
    QCOMPARE(line.exchange("02 08 04"), hex("01 01"));
    line.place();
    // The card came back: it must be woken and selected again.
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 01"));
    QCOMPARE(line.exchange("02 08 04"), hex("01 01"));
    line.activate();
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
}

void TestEncoderEngine::failedAuthenticationLeavesNoAccess()
{
    Line line;
    line.place();
    line.loadFactoryKeyA(1);
    line.exchange("09 06 61 01 FFFFFFFFFFFF");
    line.activate();
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
    QCOMPARE(line.exchange("04 05 61 01 04"), hex("01 01"));
    QCOMPARE(line.exchange("02 08 04"), hex("01 01"));
    // Still selected: a new authentication works without a new request.
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
}

void TestEncoderEngine::otherSectorsWithTheKeyThatSucceededLast()
{
    Line line;
    line.place();
    line.engine().card()->setRawBlock(24, QByteArray(16, '\x66'));
    line.loadFactoryKeyA(1);
    line.activate();
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
    // No key was loaded for sector 6: the encoder reuses the one that opened sector 1.
    QCOMPARE(line.exchange("02 08 18"), hex("11 00") + QByteArray(16, '\x66'));
    QCOMPARE(line.exchange("12 09 19 00112233445566778899AABBCCDDEEFF"), hex("01 00"));
    QCOMPARE(line.engine().card()->rawBlock(25), hex("00112233445566778899AABBCCDDEEFF"));
    QCOMPARE(line.engine().card()->authenticatedSector(), std::optional(6));
    // And back into the sector it first authenticated.
    QCOMPARE(line.exchange("02 08 04"), hex("11 00") + QByteArray(16, '\0'));
}

void TestEncoderEngine::otherSectorWithADifferentKeyFails()
{
    Line line;
    line.place();
    line.engine().card()->setRawBlock(27, hex("A0A1A2A3A4A5 FF078069 B0B1B2B3B4B5"));
    line.loadFactoryKeyA(1);
    line.activate();
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
    QCOMPARE(line.exchange("02 08 18"), hex("01 01"));
    QCOMPARE(line.exchange("12 09 18 00112233445566778899AABBCCDDEEFF"), hex("01 01"));
    QCOMPARE(line.engine().card()->rawBlock(24), QByteArray(16, '\0'));
    // The failed attempt ended the session, as on the card.
    QCOMPARE(line.exchange("02 08 04"), hex("01 01"));
}

void TestEncoderEngine::recordCollectionReadsEveryDataBlockOfA4kCard()
{
    Line line;
    line.place(MifareClassic::Kind::Classic4K);
    MifareClassic& card = *line.engine().card();
    for (int block = 1; block < 256; ++block) {
        if (!MifareClassic::isTrailer(block))
            card.setRawBlock(block, QByteArray(16, static_cast<char>(block)));
    }
    line.loadFactoryKeyA(1);
    line.activate();
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
    for (int block = 1; block < 256; ++block) {
        if (MifareClassic::isTrailer(block))
            continue;
        QCOMPARE(line.exchange(hex("02 08") + char(block)),
                 hex("11 00") + QByteArray(16, static_cast<char>(block)));
    }
}

void TestEncoderEngine::issuingSequence()
{
    // Initialise a card sector with the factory Key A, then use it with the new keys.
    Line line;
    line.place();
    line.loadFactoryKeyA(1);
    line.activate();
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
    QCOMPARE(line.exchange("12 09 05 FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"), hex("01 00"));
    QCOMPARE(line.exchange("12 09 07 FFFFFFFFFFFF 78778869 A1A2A3A4A5A6"), hex("01 00"));
    line.exchange("09 06 61 01 A1A2A3A4A5A6");
    line.activate();
    QCOMPARE(line.exchange("04 05 61 01 04"), hex("01 00"));
    QCOMPARE(line.exchange("12 09 06 00112233445566778899AABBCCDDEEFF"), hex("01 00"));
    QCOMPARE(line.exchange("02 08 07"), hex("11 00 000000000000 78778869 000000000000"));
    // Key A may read but no longer write the data blocks.
    QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
    QCOMPARE(line.exchange("02 08 06"), hex("11 00 00112233445566778899AABBCCDDEEFF"));
    QCOMPARE(line.exchange("12 09 06 FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"), hex("01 01"));
    // A trailer whose access bits contradict their inverted copy is refused.
    QCOMPARE(line.exchange("04 05 61 01 04"), hex("01 00"));
    QCOMPARE(line.exchange("12 09 07 FFFFFFFFFFFF 78778969 A1A2A3A4A5A6"), hex("01 01"));
}

void TestEncoderEngine::replyTimeIsTheFloorFormula_data()
{
    QTest::addColumn<QList<QByteArray>>("before");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("replyBytes");
    QTest::addColumn<int>("latency");
    const QList<QByteArray> authenticated{hex("02 02 52"), hex("01 03"), hex("01 04"),
                                          hex("09 06 60 01 FFFFFFFFFFFF"), hex("04 05 60 01 04")};
    QTest::newRow("request") << QList<QByteArray>{} << hex("02 02 52") << 4 << 3;
    QTest::newRow("read") << authenticated << hex("02 08 04") << 18 << 3;
    QTest::newRow("write") << authenticated << hex("12 09 04 00112233445566778899AABBCCDDEEFF") << 2 << 3;
    QTest::newRow("failed read") << QList<QByteArray>{} << hex("02 08 04") << 2 << 3;
    QTest::newRow("load key") << QList<QByteArray>{} << hex("09 06 60 01 FFFFFFFFFFFF") << 2 << 0;
    QTest::newRow("identification") << QList<QByteArray>{} << hex("01 0E") << 4 << 0;
    QTest::newRow("read, slow card") << authenticated << hex("02 08 04") << 18 << 25;
}

void TestEncoderEngine::replyTimeIsTheFloorFormula()
{
    QFETCH(QList<QByteArray>, before);
    QFETCH(QByteArray, frame);
    QFETCH(int, replyBytes);
    QFETCH(int, latency);
    Line line;
    line.place();
    if (latency != EncoderEngine::kDefaultCardLatencyMs)
        QCOMPARE(line.engine().control(QStringLiteral("latency %1").arg(latency)), QStringLiteral("ok"));
    for (const QByteArray& step : before)
        line.exchange(step);
    line.deliveries.clear();
    const qint64 writtenAt = line.clock.ticks();
    line.stream.write(frame);
    line.clock.advance(1000);
    QCOMPARE(line.deliveries.size(), 1);
    QCOMPARE(line.deliveries[0].bytes.size(), replyBytes);
    const double floor = EncoderEngine::replyFloorMs(static_cast<int>(frame.size()), replyBytes, latency);
    QCOMPARE(line.deliveries[0].at - writtenAt, static_cast<qint64>(std::ceil(floor)));
}

void TestEncoderEngine::repliesNeverOvertake()
{
    Line line;
    line.place();
    // A slow read followed at once by a fast identification: answers come in order.
    line.engine().setCardLatencyMs(40);
    line.stream.write(hex("02 02 52"));
    line.stream.write(hex("01 0E"));
    line.clock.advance(1000);
    QCOMPARE(line.received(), hex("03 00 04 00 03 00 00 00"));
}

void TestEncoderEngine::frameMayArriveInPieces()
{
    Line line;
    line.place();
    line.stream.write(hex("02"));
    line.clock.advance(30);
    line.stream.write(hex("02"));
    line.clock.advance(30);
    QCOMPARE(line.exchange("52"), hex("03 00 04 00"));
}

void TestEncoderEngine::staleBytesAreDiscarded()
{
    Line line;
    line.place();
    line.stream.write(hex("02 02"));
    line.clock.advance(EncoderEngine::kInterByteTimeoutMs + 1);
    QCOMPARE(line.exchange("02 02 52"), hex("03 00 04 00"));
}

void TestEncoderEngine::faultDrop()
{
    Line line;
    line.place();
    QCOMPARE(line.engine().control("fault drop"), QStringLiteral("ok"));
    QCOMPARE(line.exchange("02 02 52"), QByteArray());
    // The card still heard the request; only the answer was lost.
    QCOMPARE(line.exchange("01 03"), hex("05 00 0A 0B 0C 0D"));
}

void TestEncoderEngine::faultSplit()
{
    Line line;
    line.place();
    line.exchange("02 02 52");
    line.engine().control("fault split");
    QCOMPARE(line.exchange("01 03"), hex("05 00 0A 0B 0C 0D"));
    QCOMPARE(line.deliveries.size(), 2);
    QCOMPARE(line.deliveries[0].bytes, hex("05 00"));
    QCOMPARE(line.deliveries[1].at - line.deliveries[0].at, EncoderEngine::kSplitGapMs);
    QCOMPARE(line.exchange("01 04").size(), 3);
    QCOMPARE(line.deliveries.size(), 1);
}

void TestEncoderEngine::faultGarbage()
{
    Line line;
    line.engine().control("fault garbage");
    QCOMPARE(line.exchange("02 0B 0F"), hex("EE 01 00"));
    QCOMPARE(line.deliveries.size(), 2);
    QCOMPARE(line.deliveries[1].at - line.deliveries[0].at, EncoderEngine::kGarbageLeadMs);
    QCOMPARE(line.exchange("02 0B 0F"), hex("01 00"));
}

void TestEncoderEngine::faultPullAfter()
{
    Line line;
    line.place();
    QCOMPARE(line.engine().control("fault pull-after 2"), QStringLiteral("ok"));
    QCOMPARE(line.exchange("02 02 52"), hex("03 00 04 00"));
    QCOMPARE(line.exchange("01 03"), hex("05 00 0A 0B 0C 0D"));
    QCOMPARE(line.exchange("01 04"), hex("01 01"));
    QCOMPARE(line.engine().control("status"), QStringLiteral("ok none"));
}

void TestEncoderEngine::faultStatus()
{
    Line line;
    line.place();
    line.engine().control("fault status 16");
    QCOMPARE(line.exchange("02 0B 0F"), hex("01 10"));
    QCOMPARE(line.exchange("02 02 52"), hex("03 00 04 00"));
}

void TestEncoderEngine::unsolicitedBytesAndReports()
{
    Line line;
    QCOMPARE(line.engine().control("send 01 02 03"), QStringLiteral("ok"));
    line.clock.advance(1);
    QCOMPARE(line.received(), hex("01 02 03"));

    line.deliveries.clear();
    const QByteArray image = hex("000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F");
    QCOMPARE(line.engine().control(QStringLiteral("report ") + QString::fromLatin1(image.toHex())),
             QStringLiteral("ok"));
    line.clock.advance(1);
    QCOMPARE(line.received(), hex("22 03") + image + hex("00"));

    line.deliveries.clear();
    QCOMPARE(line.engine().control("report none"), QStringLiteral("ok"));
    line.clock.advance(1);
    QCOMPARE(line.received(), hex("03 03 01 01"));
}

void TestEncoderEngine::controlLanguage_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("lastAnswer");
    QTest::newRow("status, empty field") << QStringList{"status"} << "ok none";
    QTest::newRow("place 1K with uid")
        << QStringList{"place factory1k uid=CAFEF00D"} << "ok uid=CAFEF00D kind=1k";
    QTest::newRow("place 4K, status")
        << QStringList{"place factory4k uid=01020304", "status"} << "ok uid=01020304 kind=4k";
    QTest::newRow("remove") << QStringList{"place factory1k", "remove", "status"} << "ok none";
    QTest::newRow("dump, empty field") << QStringList{"dump"} << "ok none";
    QTest::newRow("ident") << QStringList{"ident 4D01"} << "ok";
    QTest::newRow("ident, too short")
        << QStringList{"ident 4D"} << "error ident takes four hexadecimal digits";
    QTest::newRow("bad uid") << QStringList{"place factory1k uid=XYZ"}
                             << "error uid takes eight hexadecimal digits";
    QTest::newRow("missing file") << QStringList{"place /nonexistent/card.mfd"}
                                  << "error cannot read /nonexistent/card.mfd";
    QTest::newRow("save, empty field") << QStringList{"save /tmp/x.mfd"} << "error no card in the field";
    QTest::newRow("unknown fault") << QStringList{"fault melt"}
                                   << "error fault none, drop, split, garbage, pull-after N or status N";
    QTest::newRow("status fault out of range")
        << QStringList{"fault status 256"} << "error fault status takes a number";
    QTest::newRow("send, odd digits") << QStringList{"send 123"} << "error send takes hexadecimal bytes";
    QTest::newRow("report, short") << QStringList{"report 0011"}
                                   << "error report takes 64 hexadecimal digits or none";
    QTest::newRow("latency") << QStringList{"latency 12"} << "ok";
    QTest::newRow("latency, negative") << QStringList{"latency -1"} << "error latency takes milliseconds";
    QTest::newRow("unknown") << QStringList{"explode"} << "error unknown command explode";
    QTest::newRow("empty") << QStringList{"  "} << "error empty command";
}

void TestEncoderEngine::controlLanguage()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, lastAnswer);
    EncoderEngine engine;
    QString answer;
    for (const QString& l : lines)
        answer = engine.control(l);
    QCOMPARE(answer, lastAnswer);
}

void TestEncoderEngine::saveAndPlaceDumpFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("card.mfd");
    Line line;
    line.engine().control("place factory4k uid=11223344");
    line.engine().card()->setRawBlock(200, QByteArray(16, '\x7E'));
    const QString dump = line.engine().control("dump");
    QCOMPARE(dump.size(), 3 + 2 * 4096);
    QCOMPARE(line.engine().control("save " + file), QStringLiteral("ok"));
    QCOMPARE(QFileInfo(file).size(), 4096);

    EncoderEngine other;
    QCOMPARE(other.control("place " + file), QStringLiteral("ok uid=11223344 kind=4k"));
    QCOMPARE(other.control("dump"), dump);
    QCOMPARE(other.control("place " + file + " uid=55667788"), QStringLiteral("ok uid=55667788 kind=4k"));
    QCOMPARE(other.card()->rawBlock(0).left(5), hex("55 66 77 88 CC"));
}

void TestEncoderEngine::portBehaviour()
{
    VirtualClock clock;
    ScopedClock use(clock);
    EncoderEngine engine;
    {
        EmulatedStream refusing(engine);
        refusing.setOpenFails(true);
        QVERIFY(!refusing.open());
        QVERIFY(!refusing.errorString().isEmpty());
        QVERIFY_THROWS_EXCEPTION(PortError, refusing.write(hex("01 0E")));
    }
    EmulatedStream stream(engine);
    QVERIFY(stream.open());
    int notifications = 0;
    QObject::connect(&stream, &ByteStream::readyRead, [&] { ++notifications; });
    stream.write(hex("01 0E"));
    // The port is closed before the reply arrives: nothing is heard.
    stream.close();
    clock.advance(100);
    QCOMPARE(notifications, 0);
    QVERIFY(stream.open());
    QCOMPARE(stream.bytesAvailable(), 0);
    stream.write(hex("01 0E"));
    clock.advance(100);
    QCOMPARE(notifications, 1);
    QCOMPARE(stream.read(2), hex("03 00"));
    QCOMPARE(stream.read(10), hex("00 00"));
    // A reply that falls due after the stream is gone is dropped safely.
    {
        EmulatedStream shortLived(engine);
        shortLived.open();
        shortLived.write(hex("01 0E"));
    }
    clock.advance(100);
}

QTEST_GUILESS_MAIN(TestEncoderEngine)
#include "TestEncoderEngine.moc"
