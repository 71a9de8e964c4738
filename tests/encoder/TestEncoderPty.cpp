#include "EmulatorProcess.h"
#include "config/Settings.h"
#include "encoder/Frame.h"
#include "encoder/TForm_Com.h"

#include <QTest>

// The encoder module over a real pseudo-terminal, the emulator running as its own process:
// the same path as a desk with a serial encoder.
class TestEncoderPty : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fullExchangeOverAPseudoTerminal();
};

void TestEncoderPty::fullExchangeOverAPseudoTerminal()
{
    EmulatorProcess emu({"--ident", "4D01"});
    QVERIFY2(emu.ready(), "the emulator did not start");
    qputenv("TOLVANE_COM3", emu.link().toUtf8());
    cfg::sys() = SysSettings{};
    TForm_Com com;
    com.setPortNumber(3);
    com.open();
    QCOMPARE(com.DetectEncoder(), 0);
    com.ReadIdentification();
    QCOMPARE(com.identification()[0], quint8(0x4D));
    QVERIFY(emu.control("place factory1k uid=CAFEF00D").startsWith("ok"));
    QCOMPARE(com.SelectCardSerial(), 0);
    QCOMPARE(com.serial(), 0xCAFEF00Du);
    com.LoadSectorKey(Frame::KeyA, TForm_Com::factoryKey());
    QCOMPARE(com.SelectCardSerial(), 0);
    QCOMPARE(com.AuthenticateSector(Frame::KeyA), 0);
    QCOMPARE(com.ReadBlock(4), 0);
    QCOMPARE(com.reply().bytes(3, 16), QByteArray(16, '\0'));
    QVERIFY(emu.control("remove").startsWith("ok"));
    QCOMPARE(com.SelectCardSerial(), 1);
    com.close();
    qunsetenv("TOLVANE_COM3");
}

QTEST_GUILESS_MAIN(TestEncoderPty)
#include "TestEncoderPty.moc"
