#include "platform/Clock.h"
#include "platform/SerialByteStream.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QString emulatorProgram()
{
    return qEnvironmentVariable("TOLVANE_BUILD_DIR") + QStringLiteral("/tools/emulator/tolvane-encoder-emu");
}

// The program's end of the line over the pseudo-terminal, at 9600 8N1.
struct SerialEnd
{
    SerialByteStream port;
    QByteArray received;

    explicit SerialEnd(const QString& path) : port(path)
    {
        QObject::connect(&port, &ByteStream::readyRead,
                         [this] { received += port.read(port.bytesAvailable()); });
    }
    QByteArray exchange(const char* frameHex)
    {
        received.clear();
        port.write(hex(frameHex));
        Clock::instance().waitUntil(
            [this] { return !received.isEmpty() && received.size() >= 1 + quint8(received[0]); }, 2000);
        return received;
    }
};

} // namespace

class TestEncoderEmuProcess : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cardExchangeOverAPseudoTerminal();
};

void TestEncoderEmuProcess::cardExchangeOverAPseudoTerminal()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("encoder");
    const QString control = dir.filePath("control");
    QProcess emulator;
    emulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    emulator.start(emulatorProgram(), {"--link", link, "--control", control, "--ident", "4D01"});
    QVERIFY2(emulator.waitForStarted(5000), qPrintable(emulatorProgram()));
    QByteArray banner;
    while (!banner.contains('\n') && emulator.waitForReadyRead(5000))
        banner += emulator.readAllStandardOutput();
    QCOMPARE(banner.trimmed(), QStringLiteral("ready link=%1 control=%2").arg(link, control).toUtf8());
    QVERIFY(QFileInfo(link).isSymLink());

    const auto send = [&](const QString& line) {
        QProcess client;
        client.start(emulatorProgram(), {"--control", control, "--send", line});
        client.waitForFinished(5000);
        return std::pair{client.exitCode(), QString::fromUtf8(client.readAllStandardOutput()).trimmed()};
    };
    QCOMPARE(send("place factory1k uid=CAFEF00D"), std::pair(0, QStringLiteral("ok uid=CAFEF00D kind=1k")));
    QCOMPARE(send("fault melt").first, 1);

    {
        SerialEnd line(link);
        QVERIFY2(line.port.open(), qPrintable(line.port.errorString()));
        QCOMPARE(line.exchange("01 0E"), hex("03 00 4D 01"));
        QCOMPARE(line.exchange("02 02 52"), hex("03 00 04 00"));
        QCOMPARE(line.exchange("01 03"), hex("05 00 CA FE F0 0D"));
        QCOMPARE(line.exchange("01 04"), hex("02 00 08"));
        QCOMPARE(line.exchange("09 06 60 01 FFFFFFFFFFFF"), hex("01 00"));
        QCOMPARE(line.exchange("04 05 60 01 04"), hex("01 00"));
        QCOMPARE(line.exchange("02 08 07"), hex("11 00 000000000000 FF078069 FFFFFFFFFFFF"));
        line.port.close();
        // The line survives the program closing its port.
        QVERIFY(line.port.open());
        QCOMPARE(line.exchange("02 02 52"), hex("03 00 04 00"));
        QCOMPARE(send("remove").first, 0);
        QCOMPARE(line.exchange("02 02 52"), hex("01 01"));
    }

    emulator.terminate();
    QVERIFY(emulator.waitForFinished(5000));
    QCOMPARE(emulator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(emulator.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    QVERIFY(!QFileInfo::exists(control));
}

QTEST_GUILESS_MAIN(TestEncoderEmuProcess)
#include "TestEncoderEmuProcess.moc"
