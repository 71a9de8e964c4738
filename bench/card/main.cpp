// bench-card: the time of one verified write of a guest card (TCard::WriteCardVerified(1),
// no auxiliary sector) through the real card layer over a pseudo-terminal, against the least
// time the frames on the 9600-baud line, the card and the operation's own pauses allow.

#include "BenchSupport.h"
#include "card/CardKeys.h"
#include "card/TCard.h"
#include "config/Settings.h"
#include "encoder/Frame.h"
#include "encoder/TForm_Com.h"
#include "platform/SerialByteStream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {

constexpr int kDefaultRuns = 20;
constexpr double kTargetRatio = 1.3;
constexpr std::array<quint8, 4> kSiteCode{0x4D, 0x71, 0x2C, 0x09};
constexpr char kEncoderIdentification[] = "4D00";

int fail(const QString& message)
{
    std::fputs(qPrintable(QStringLiteral("bench-card: ") + message + u'\n'), stderr);
    return 1;
}

void configureDesk(TForm_Com& com)
{
    cfg::sys() = SysSettings{};
    cfg::sys().sys_sqcode = {kSiteCode[0], kSiteCode[1], kSiteCode[2], kSiteCode[3]};
    cfg::cardTypes() = {};
    com.setSiteCode(kSiteCode);
    com.setIdentification({kSiteCode[0], 0x00});
    TCard::setRoomLookup([](const QString&) { return std::optional<RoomAddress>(RoomAddress{1, 2, 3, 0}); });
}

// A blank card as card initialisation leaves it, with the card sector keys loaded as at
// start-up. The port is closed again: the verified write opens its own.
bool prepareCard(BenchEmulator& emulator, TForm_Com& com, TCard& card, QString* error)
{
    const QString placed = emulator.control(QStringLiteral("place factory1k uid=0A0B0C0D"));
    if (!placed.startsWith(QLatin1String("ok"))) {
        *error = QStringLiteral("cannot place a card: ") + placed;
        return false;
    }
    try {
        com.open();
    } catch (const PortError& e) {
        *error = QString::fromStdString(e.what());
        return false;
    }
    com.LoadSectorKey(Frame::KeyA, CardKeys::factoryKey());
    com.LoadSectorKey(Frame::KeyB, CardKeys::factoryKey());
    const int signature = com.WriteSignature(kSiteCode[0], Frame::KeyA);
    card.LoadCardKeys();
    com.close();
    if (signature != 0) {
        *error = QStringLiteral("cannot initialise the card (WriteSignature %1)").arg(signature);
        return false;
    }
    return true;
}

void fillGuestCard(TCard& card)
{
    card.Clear();
    card.kind = 0;
    card.roomNo = QStringLiteral("203");
    card.start = QDateTime(QDate(2024, 5, 6), QTime(14, 30));
    card.end = QDateTime(QDate(2024, 5, 8), QTime(12, 0));
    card.Encode();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench-card"));
    const BenchOptions options = parseBenchOptions(
        QCoreApplication::arguments(),
        QStringLiteral("Times TCard::WriteCardVerified(1) of a guest card against the encoder emulator."),
        kDefaultRuns);

    BenchEmulator emulator(options.emulator, options.cardLatencyMs, QLatin1String(kEncoderIdentification));
    QString error;
    if (!emulator.start(&error))
        return fail(error);

    FrameLog frames;
    TForm_Com com;
    TCard card(com);
    configureDesk(com);
    com.setStreamFactory([&](int) -> std::unique_ptr<ByteStream> {
        return std::make_unique<RecordingStream>(std::make_unique<SerialByteStream>(emulator.link()), frames);
    });
    PauseMeter meter;
    ScopedClock useMeter(meter);
    if (!prepareCard(emulator, com, card, &error))
        return fail(error);

    QList<double> durations;
    Floor floor;
    // Run 0 is not measured: first-use costs stay out of the figures.
    for (int run = 0; run <= options.runs; ++run) {
        fillGuestCard(card);
        frames.clear();
        meter.clear();
        QElapsedTimer elapsed;
        elapsed.start();
        const int result = card.WriteCardVerified(1);
        const double ms = double(elapsed.nsecsElapsed()) / 1e6;
        if (result != CardResult::Done)
            return fail(QStringLiteral("run %1: WriteCardVerified gave %2").arg(run).arg(result));
        if (run == 0)
            continue;
        durations.append(ms);
        floor = floorOf(frames, meter.pauses(), options.cardLatencyMs);
    }

    const bool met = printReport(
        QStringLiteral("bench-card: TCard::WriteCardVerified(1), guest card, %1 runs, card latency %2 ms")
            .arg(options.runs)
            .arg(options.cardLatencyMs),
        floor, spreadOf(durations), kTargetRatio);
    return options.check && !met ? 1 : 0;
}
