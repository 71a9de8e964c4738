#include "EmulatorProcess.h"
#include "MifareClassic.h"
#include "SiteCode.h"
#include "TestDir.h"
#include "card/CardKeys.h"
#include "card/DesString.h"
#include "platform/IniFile.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <deque>

namespace {

// Site 4D 71 2C 09: Key A of issued cards 4D712C4D712C, check bytes 71 2C, encoder 4D00.
const QByteArray kSysIni = "[sys]\r\nsector=1\r\nsys_sqcode1=77\r\nsys_sqcode2=113\r\nsys_sqcode3=44\r\n"
                           "sys_sqcode4=9\r\n";
constexpr char kEncoderIdentification[] = "4D00";
constexpr quint8 kSiteByte1 = 0x4D;
const QByteArray kSiteKeyA = QByteArray::fromHex("4D712C4D712C");
const QByteArray kUid = QByteArray::fromHex("0A0B0C0D");

// Guest card: room 1/2/3, door byte 05, 2024-05-06 14:30 to 2024-05-08 12:00, status 20,
// check bytes 71 2C, XOR 6A.
constexpr char kGuestImage[] = "00201805060E1E1805080C000102030500000000000000000000000000712C6A";

struct ToolRun
{
    int exitCode = -1;
    QStringList out;
    QStringList err;
};

ToolRun runTool(const QStringList& args, const QString& workingDirectory)
{
    QProcess tool;
    tool.setWorkingDirectory(workingDirectory);
    tool.start(qEnvironmentVariable("TOLVANE_BUILD_DIR") + "/tools/tolvane-card/tolvane-card", args);
    ToolRun run;
    if (!tool.waitForFinished(20000))
        return run;
    run.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.out = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(tool.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    return run;
}

QByteArray trailer(const QByteArray& keyA)
{
    return keyA + CardKeys::accessBytes() + char(CardKeys::kGeneralPurposeByte) + CardKeys::cardKeyB();
}

// A 1K card with sector 1 as card initialisation leaves it: the signature over UID + site
// byte 1, an image of 0xFF, factory Key A and the card Key B.
MifareClassic initialisedCard()
{
    auto card =
        MifareClassic::factory(MifareClassic::Kind::Classic1K, MifareClassic::Uid{0x0A, 0x0B, 0x0C, 0x0D});
    const QByteArray signature = EncryptString(kUid + char(kSiteByte1), CardKeys::signatureKey());
    card.setRawBlock(4, signature + QByteArray(8, '\0'));
    card.setRawBlock(5, QByteArray(16, char(0xFF)));
    card.setRawBlock(7, trailer(CardKeys::factoryKey()));
    return card;
}

// The same card after a guest card was written with trailer mode 1.
MifareClassic issuedCard()
{
    auto card = initialisedCard();
    const QByteArray image = QByteArray::fromHex(kGuestImage);
    card.setRawBlock(5, image.left(16));
    card.setRawBlock(6, image.mid(16));
    card.setRawBlock(7, trailer(kSiteKeyA));
    return card;
}

} // namespace

class TestCardTool : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodesAnImage();
    void refusals_data();
    void refusals();
    void readsCardsOnTheEncoder_data();
    void readsCardsOnTheEncoder();
    void initialisesAFactoryCard();
    void initSiteWritesANewCode();
    void siteCodeAvoidsUnusableBytes();
};

void TestCardTool::decodesAnImage()
{
    TestInstallation home;
    home.write("SetCard.ini", QByteArray("[0]\r\ncard_name=Guest\r\n"));
    const ToolRun run = runTool({"decode", QString(kGuestImage).toLower()}, home.root());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QStringList());
    QCOMPARE(run.out.value(0), "result 0");
    for (const char* line : {"kind 0 Guest", "flags 20", "building 1", "floor 2", "room-index 3",
                             "door-byte 05", "start 2024-05-06 14:30", "end 2024-05-08 12:00", "checksum ok"})
        QVERIFY2(run.out.contains(line), line);
    QVERIFY(run.out.contains(QStringLiteral("image ") + kGuestImage));
}

void TestCardTool::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");

    QString thirtyFebruary = kGuestImage;
    thirtyFebruary.replace(6, 4, "021E"); // start month 2, day 30
    QTest::newRow("odd length") << QStringList{"decode", QString(kGuestImage).chopped(1)} << "odd";
    QTest::newRow("not hex") << QStringList{"decode", QString(kGuestImage).replace(10, 1, "G")}
                             << "hexadecimal";
    QTest::newRow("62 digits") << QStringList{"decode", QString(kGuestImage).chopped(2)} << "64";
    QTest::newRow("30 February") << QStringList{"decode", thirtyFebruary} << "2024-02-30";
    QTest::newRow("no such device") << QStringList{"--port", "/nonexistent/encoder", "read"} << "cannot open";
    QTest::newRow("site code set") << QStringList{"init-site"} << "--force";
}

void TestCardTool::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    TestInstallation home;
    home.write("sys.ini", kSysIni);
    const ToolRun run = runTool(args, home.root());
    QVERIFY(run.exitCode != 0);
    QCOMPARE(run.out, QStringList());
    QCOMPARE(run.err.size(), 1);
    QVERIFY2(run.err[0].contains(reason), qPrintable(run.err[0]));
    QCOMPARE(home.read("sys.ini"), kSysIni);
}

void TestCardTool::readsCardsOnTheEncoder_data()
{
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("lines");

    const QString serial = "serial 0A0B0C0D 168496141";
    QTest::newRow("factory") << MifareClassic::factory(MifareClassic::Kind::Classic1K).dump() << 3
                             << QStringList{};
    QTest::newRow("blank") << initialisedCard().dump() << 7
                           << QStringList{serial, "image " + QString(32, 'F') + QString(32, '0')};
    QTest::newRow("issued") << issuedCard().dump() << 0
                            << QStringList{serial,
                                           "kind 0 GuestCard",
                                           "building 1",
                                           "floor 2",
                                           "room-index 3",
                                           "door-byte 05",
                                           "start 2024-05-06 14:30",
                                           "end 2024-05-08 12:00",
                                           "flags 20",
                                           QStringLiteral("image ") + kGuestImage};
}

void TestCardTool::readsCardsOnTheEncoder()
{
    QFETCH(QByteArray, dump);
    QFETCH(int, result);
    QFETCH(QStringList, lines);
    TestInstallation home;
    home.write("sys.ini", kSysIni);
    home.write("card.dump", dump);
    EmulatorProcess emulator({"--ident", kEncoderIdentification});
    QVERIFY(emulator.ready());
    QVERIFY(emulator.control("place " + home.path("card.dump")).startsWith("ok"));

    const ToolRun run = runTool({"--port", emulator.link(), "read"}, home.root());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QStringList());
    QCOMPARE(run.out.value(0), QStringLiteral("result %1").arg(result));
    for (const QString& line : lines)
        QVERIFY2(run.out.contains(line), qPrintable(line + " missing from:\n" + run.out.join('\n')));
    if (result != 0)
        QCOMPARE(run.out.filter(QRegularExpression("^(kind|start|building) ")), QStringList());
}

void TestCardTool::initialisesAFactoryCard()
{
    TestInstallation home;
    home.write("sys.ini", kSysIni);
    EmulatorProcess emulator({"--ident", kEncoderIdentification, "--card", "factory1k"});
    QVERIFY(emulator.ready());

    const ToolRun init = runTool({"--port", emulator.link(), "init"}, home.root());
    QCOMPARE(init.exitCode, 0);
    QCOMPARE(init.out.value(0), "result 0");
    const ToolRun read = runTool({"--port", emulator.link(), "read"}, home.root());
    QCOMPARE(read.out.value(0), "result 7");
    // Its data blocks now take writes with Key B only: a second initialisation is refused.
    const ToolRun again = runTool({"--port", emulator.link(), "init"}, home.root());
    QCOMPARE(again.out.value(0), "result 2");
    QVERIFY(again.exitCode != 0);

    QVERIFY(emulator.control("remove").startsWith("ok"));
    const ToolRun noCard = runTool({"--port", emulator.link(), "init"}, home.root());
    QCOMPARE(noCard.out.value(0), "result 1");
    QVERIFY(noCard.exitCode != 0);
}

void TestCardTool::initSiteWritesANewCode()
{
    TestInstallation home;
    const QByteArray before =
        "; desk 2\r\n[sys]\r\ncom=3\r\nsys_sqcode1=0\r\n[ports]\r\nCOM3=/dev/ttyUSB0\r\n";
    home.write("sys.ini", before);
    const ToolRun run = runTool({"init-site"}, home.root());
    QCOMPARE(run.exitCode, 0);

    const IniFile ini(home.path("sys.ini"));
    const SiteCode::Code code = SiteCode::read(ini);
    QVERIFY(code[0] != 0x00 && code[0] != 0xFF);
    QCOMPARE(run.out.value(0), "site-code " + SiteCode::text(code));
    QCOMPARE(run.out.value(1),
             "ident " + QString::number(code[0], 16).rightJustified(2, '0').toUpper() + "00");
    QCOMPARE(ini.readInteger("sys", "com", 0), 3);
    QCOMPARE(ini.readString("ports", "COM3", ""), "/dev/ttyUSB0");
    QVERIFY(home.read("sys.ini").startsWith("; desk 2\r\n"));

    // A second run keeps the code; --force replaces it.
    QVERIFY(runTool({"init-site"}, home.root()).exitCode != 0);
    QCOMPARE(SiteCode::read(IniFile(home.path("sys.ini"))), code);
    QCOMPARE(runTool({"init-site", "--force"}, home.root()).exitCode, 0);
}

void TestCardTool::siteCodeAvoidsUnusableBytes()
{
    // 00 and FF are refused as byte 1; A5 5A in bytes 2 and 3 would be the service marker.
    std::deque<quint8> bytes{0x00, 0xFF, 0x4D, CardKeys::kServiceMarker[0], CardKeys::kServiceMarker[1], 0x01,
                             0x71, 0x2C, 0x09};
    const SiteCode::Code code = SiteCode::choose([&bytes] {
        const quint8 b = bytes.front();
        bytes.pop_front();
        return b;
    });
    QCOMPARE(code, (SiteCode::Code{0x4D, 0x71, 0x2C, 0x09}));
    QVERIFY(bytes.empty());
}

QTEST_GUILESS_MAIN(TestCardTool)
#include "TestCardTool.moc"
