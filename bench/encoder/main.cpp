// bench-encoder: the time of one card look-up (select, Key B authentication of the card
// sector, one block read) through the real encoder module over a pseudo-terminal, against
// the least time the 9600-baud line, the card and the module's own pauses allow.

#include "BenchSupport.h"
#include "card/CardKeys.h"
#include "config/Settings.h"
#include "encoder/Frame.h"
#include "encoder/TForm_Com.h"
#include "platform/SerialByteStream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

constexpr int kDefaultRuns = 50;
constexpr double kTargetRatio = 1.3;
// The site's first byte, carried by the encoder and written into the signature.
constexpr quint8 kIdentification = 0x4D;
constexpr char kEncoderIdentification[] = "4D00";

int fail(const QString& message)
{
    std::fputs(qPrintable(QStringLiteral("bench-encoder: ") + message + u'\n'), stderr);
    return 1;
}

// A card the card layer can open: signed as card initialisation does it, then the card
// sector keys loaded as at start-up, so Key B authenticates.
bool prepareCard(BenchEmulator& emulator, TForm_Com& com, QString* error)
{
    const QString placed = emulator.control(QStringLiteral("place factory1k uid=0A0B0C0D"));
    if (!placed.startsWith(QLatin1String("ok"))) {
        *error = QStringLiteral("cannot place a card: ") + placed;
        return false;
    }
    com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
    com.LoadSectorKey(Frame::KeyB, CardKeys::factoryKey());
    const int signature = com.WriteSignature(kIdentification, Frame::KeyA);
    if (signature != 0) {
        *error = QStringLiteral("cannot initialise the card (WriteSignature %1)").arg(signature);
        return false;
    }
    com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
    com.LoadSectorKey(Frame::KeyB, CardKeys::cardKeyB());
    return true;
}

// One look-up; false with the step that failed.
bool lookUpCard(TForm_Com& com, QString* error)
{
    if (com.SelectCardSerial() != 0)
        *error = QStringLiteral("SelectCardSerial found no card");
    else if (com.AuthenticateSector(Frame::KeyB) != 0)
        *error = QStringLiteral("AuthenticateSector refused Key B");
    else if (com.ReadBlock(static_cast<quint8>(cfg::sys().sector * 4 + 1)) != 0)
        *error = QStringLiteral("ReadBlock failed");
    else
        return true;
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench-encoder"));
    const BenchOptions options = parseBenchOptions(
        QCoreApplication::arguments(),
        QStringLiteral("Times select + Key B authentication + block read against the encoder emulator."),
        kDefaultRuns);

    BenchEmulator emulator(options.emulator, options.cardLatencyMs, QLatin1String(kEncoderIdentification));
    QString error;
    if (!emulator.start(&error))
        return fail(error);

    cfg::sys() = SysSettings{};
    FrameLog frames;
    TForm_Com com;
    com.setStreamFactory([&](int) -> std::unique_ptr<ByteStream> {
        return std::make_unique<RecordingStream>(std::make_unique<SerialByteStream>(emulator.link()), frames);
    });
    PauseMeter meter;
    ScopedClock useMeter(meter);
    try {
        com.open();
    } catch (const PortError& e) {
        return fail(QString::fromStdString(e.what()));
    }
    if (!prepareCard(emulator, com, &error))
        return fail(error);
    // One look-up before the measurement, so first-use costs stay out of it.
    if (!lookUpCard(com, &error))
        return fail(error);

    QList<double> durations;
    Floor floor;
    for (int run = 0; run < options.runs; ++run) {
        frames.clear();
        meter.clear();
        QElapsedTimer elapsed;
        elapsed.start();
        if (!lookUpCard(com, &error))
            return fail(QStringLiteral("run %1: %2").arg(run + 1).arg(error));
        durations.append(double(elapsed.nsecsElapsed()) / 1e6);
        floor = floorOf(frames, meter.pauses(), options.cardLatencyMs);
    }
    com.close();

    const bool met =
        printReport(QStringLiteral("bench-encoder: SelectCardSerial + AuthenticateSector(Key B) + "
                                   "ReadBlock, %1 runs, card latency %2 ms")
                        .arg(options.runs)
                        .arg(options.cardLatencyMs),
                    floor, spreadOf(durations), kTargetRatio);
    return options.check && !met ? 1 : 0;
}
