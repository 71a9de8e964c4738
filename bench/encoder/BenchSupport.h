#pragma once

#include "platform/ByteStream.h"
#include "platform/Clock.h"

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// What the encoder benchmarks share: the emulator as a separate process on a pseudo-terminal,
// a line that records every frame it carries, a clock that adds up the bare pauses, and the
// floor those two give.

// tolvane-encoder-emu on a pseudo-terminal in a temporary folder, steered through its
// control socket.
class BenchEmulator
{
public:
    BenchEmulator(QString program, int cardLatencyMs, QString identification);
    ~BenchEmulator();
    BenchEmulator(const BenchEmulator&) = delete;
    BenchEmulator& operator=(const BenchEmulator&) = delete;

    // Starts the program and waits for its "ready" line; false with a reason otherwise.
    bool start(QString* error);
    QString link() const;
    // One control line; the answer, or "error ..." when the socket did not answer.
    QString control(const QString& line);

private:
    QString controlPath() const;

    QString m_program;
    int m_cardLatencyMs;
    QString m_identification;
    QTemporaryDir m_dir;
    QProcess m_process;
};

// One command frame and the bytes that came back before the next one was sent.
struct Exchange
{
    QByteArray command;
    QByteArray reply;
};

// The frames of one measured operation, in order.
struct FrameLog
{
    QList<Exchange> exchanges;
    void clear() { exchanges.clear(); }
};

// A serial line that writes every frame into a FrameLog: each write opens an exchange and
// the bytes read until the next write are its reply. It adds nothing to the timing.
class RecordingStream final : public ByteStream
{
    Q_OBJECT
public:
    RecordingStream(std::unique_ptr<ByteStream> line, FrameLog& log);

    bool open() override { return m_line->open(); }
    void close() override { m_line->close(); }
    bool isOpen() const override { return m_line->isOpen(); }
    void write(const QByteArray& bytes) override;
    qint64 bytesAvailable() const override { return m_line->bytesAvailable(); }
    QByteArray read(qint64 maxBytes) override;
    void purge() override { m_line->purge(); }
    QString errorString() const override { return m_line->errorString(); }
    QString description() const override { return m_line->description(); }

private:
    std::unique_ptr<ByteStream> m_line;
    FrameLog& m_log;
};

// One Delay (the event loop keeps running) or Sleep (a plain pause of the thread).
struct Pause
{
    enum class Kind { Delay, Sleep };
    Kind kind;
    int ms;
};

// Real time, with every Delay and Sleep of the code under test written down: those are the
// bare pauses the operation keeps whatever the line does.
class PauseMeter final : public Clock
{
public:
    QDateTime now() const override { return m_real.now(); }
    qint64 ticks() const override { return m_real.ticks(); }
    void delay(int ms) override;
    bool waitUntil(const std::function<bool()>& done, int timeoutMs) override
    {
        return m_real.waitUntil(done, timeoutMs);
    }
    void callLater(int ms, std::function<void()> fn) override { m_real.callLater(ms, std::move(fn)); }
    void sleep(int ms) override;

    void clear() { m_pauses.clear(); }
    const QList<Pause>& pauses() const { return m_pauses; }

private:
    RealClock m_real;
    QList<Pause> m_pauses;
};

// The least time an operation can take on a 9600 8N1 line: every frame crosses the line in
// both directions, every card command waits for the card, and the pauses are kept.
struct Floor
{
    int frames = 0;
    int bytesOut = 0;
    int bytesIn = 0;
    double wireMs = 0;
    int cardLatencyMs = 0;
    QList<Pause> pauses;
    int pausesMs = 0;

    double totalMs() const { return wireMs + cardLatencyMs + pausesMs; }
};

// Sum over the exchanges of EncoderEngine::replyFloorMs, plus the pauses.
Floor floorOf(const FrameLog& log, const QList<Pause>& pauses, int cardLatencyMs);

// Mean and 95th percentile (nearest rank) of the measured durations.
struct Spread
{
    double meanMs = 0;
    double p95Ms = 0;
};
Spread spreadOf(QList<double> durationsMs);

// The benchmarks' common report; returns whether the mean met the target.
bool printReport(const QString& title, const Floor& floor, const Spread& measured, double targetRatio);

// The program's common options.
struct BenchOptions
{
    int runs = 0;
    QString emulator;
    int cardLatencyMs = 3;
    bool check = false;
};
// Parses --runs, --emulator, --latency and --check; exits with a message on bad input.
BenchOptions parseBenchOptions(const QStringList& arguments, const QString& description, int defaultRuns);
