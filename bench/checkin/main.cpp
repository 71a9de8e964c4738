// bench-checkin: the time of a check-in from the console's panel, from pressing OK to the card
// written, recorded and the room map repainted, through the real console, card layer and
// database against the encoder emulator on a pseudo-terminal; and of a batch of 20 queued
// rooms. Each is printed beside its floor: the frames on the 9600-baud line, the card's
// latency and the pauses the check-in keeps.

#include "BenchSupport.h"
#include "app/DemoInstallation.h"
#include "card/TCard.h"
#include "config/Settings.h"
#include "config/TSystem.h"
#include "datastore/TDataM.h"
#include "encoder/TForm_Com.h"
#include "frontdesk/RoomLookup.h"
#include "frontdesk/Tform_main.h"
#include "platform/SerialByteStream.h"
#include "platform/gui/MessageBox.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimeEdit>

#include <cstdio>
#include <functional>

namespace {

constexpr int kDefaultRuns = 10;
constexpr int kBatchRooms = 20;
constexpr double kTargetRatio = 1.3;

int fail(const QString& message)
{
    std::fputs(qPrintable(QStringLiteral("bench-checkin: ") + message + u'\n'), stderr);
    return 1;
}

QString roomNumber(int n)
{
    // The demo hotel: building 1, four floors of twelve rooms (10101 ... 10412).
    return QStringLiteral("1%1%2").arg(1 + (n / 12) % 4, 2, 10, QLatin1Char('0')).arg(1 + n % 12, 2, 10, QLatin1Char('0'));
}

bool placeBlank(BenchEmulator& emulator, int serial)
{
    return emulator.control(QStringLiteral("place blank uid=%1").arg(serial, 8, 16, QLatin1Char('0')))
        .startsWith(QLatin1String("ok"));
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench-checkin"));
    const BenchOptions options = parseBenchOptions(
        QCoreApplication::arguments(),
        QStringLiteral("Times a check-in from the console's panel, and a batch of 20 rooms, against the encoder emulator."),
        kDefaultRuns);

    QTemporaryDir home;
    qputenv("TOLVANE_HOME", home.path().toUtf8());
    try {
        DemoInstallation::copyInstallData(home.path(), QStringLiteral("en"), true);
        IniFile sys(QDir(home.path()).filePath(QStringLiteral("sys.ini")));
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("sys_sqcode1"), 0x4D);
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("sys_sqcode2"), 0x71);
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("sys_sqcode3"), 0x2C);
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("max_card"), 200);
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("drts"), 0);
        sys.writeInteger(QStringLiteral("sys"), QStringLiteral("xp"), 0);
        DemoInstallation::createDatabase(QDir(home.path()).filePath(QStringLiteral("lodgex.db")), QStringLiteral("admin"),
                                         QStringLiteral("admin"), true);
        TSystem::LoadSettings();
        DataM().OpenConnection(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                               QDir(home.path()).filePath(QStringLiteral("lodgex.db")) + u';');
        DataM().CurrentOperatorName = QStringLiteral("admin");
        DataM().Q_operator.setSql(QStringLiteral("select * from OPERATOR where name = 'admin'"));
        DataM().Q_operator.open();
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()));
    }
    installRoomLookup();
    MessageBox::setAutoAnswer(true);

    BenchEmulator emulator(options.emulator, options.cardLatencyMs, QStringLiteral("4D00"));
    QString error;
    if (!emulator.start(&error))
        return fail(error);
    FrameLog frames;
    TForm_Com& com = TForm_Com::instance();
    com.setStreamFactory([&](int) -> std::unique_ptr<ByteStream> {
        return std::make_unique<RecordingStream>(std::make_unique<SerialByteStream>(emulator.link()), frames);
    });
    com.setSiteCode(cfg::sys().siteCode());
    com.setIdentification({0x4D, 0x00});
    com.open();
    Card().LoadCardKeys();
    com.close();

    PauseMeter meter;
    ScopedClock useMeter(meter);
    Tform_main console;
    console.resize(1280, 800);
    console.show();
    console.Timer3.stop();
    QApplication::processEvents();

    // One check-in from the panel, repeated on fresh blank cards.
    int serial = 0x0C000000;
    QList<double> durations;
    Floor floor;
    for (int run = 0; run <= options.runs; ++run) {
        if (!placeBlank(emulator, ++serial))
            return fail(QStringLiteral("cannot place a card"));
        console.ResetCheckinDates();
        console.T_room_no->setText(roomNumber(run));
        frames.clear();
        meter.clear();
        QElapsedTimer elapsed;
        elapsed.start();
        console.B_okClick();
        console.DrawGrid1->repaint();
        const double ms = double(elapsed.nsecsElapsed()) / 1e6;
        if (Card().readBackHex.isEmpty() || Card().readBackHex != Card().comparisonHex)
            return fail(QStringLiteral("run %1: the card was not written").arg(run));
        if (run == 0)
            continue; // first-use costs stay out of the figures
        durations.append(ms);
        floor = floorOf(frames, meter.pauses(), options.cardLatencyMs);
    }
    bool met = printReport(QStringLiteral("bench-checkin: one check-in from the console (OK to map repainted), %1 runs")
                               .arg(options.runs),
                           floor, spreadOf(durations), kTargetRatio);

    // A batch of 20 rooms: each new card on the encoder is written for the next room. The time
    // the operator takes to lay the next card is not the program's, so only the steps count.
    for (int i = 0; i < kBatchRooms; ++i)
        console.QueueRoom(roomNumber(20 + i));
    if (!placeBlank(emulator, ++serial))
        return fail(QStringLiteral("cannot place a card"));
    frames.clear();
    meter.clear();
    double batchMs = 0;
    auto timed = [&batchMs](const std::function<void()>& step) {
        QElapsedTimer t;
        t.start();
        step();
        batchMs += double(t.nsecsElapsed()) / 1e6;
    };
    timed([&] { console.B_okClick(); }); // probes the card and starts the queue
    while (console.ListBox1->count() > 0) {
        const int before = console.ListBox1->count();
        timed([&] {
            console.Timer2Timer();
            console.DrawGrid1->repaint();
        });
        if (console.ListBox1->count() == before)
            return fail(QStringLiteral("the batch did not advance (%1 rooms left)").arg(before));
        if (console.ListBox1->count() > 0 && !placeBlank(emulator, ++serial))
            return fail(QStringLiteral("cannot place a card"));
    }
    const Floor batchFloor = floorOf(frames, meter.pauses(), options.cardLatencyMs);
    met &= printReport(QStringLiteral("bench-checkin: a batch of %1 queued rooms, one card each").arg(kBatchRooms),
                       batchFloor, Spread{batchMs, batchMs}, kTargetRatio);
    return options.check && !met ? 1 : 0;
}
