#include "BenchSupport.h"

#include "EncoderEngine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kControlTimeoutMs = 3000;

void printLine(const QString& line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

[[noreturn]] void usageError(const QString& message)
{
    std::fputs(qPrintable(message + u'\n'), stderr);
    std::exit(2);
}

QString milliseconds(double ms)
{
    return QString::number(ms, 'f', 1) + QStringLiteral(" ms");
}

} // namespace

BenchEmulator::BenchEmulator(QString program, int cardLatencyMs, QString identification)
    : m_program(std::move(program)), m_cardLatencyMs(cardLatencyMs),
      m_identification(std::move(identification))
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

BenchEmulator::~BenchEmulator()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kControlTimeoutMs))
        m_process.kill();
}

QString BenchEmulator::link() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("encoder"));
}

QString BenchEmulator::controlPath() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("control"));
}

bool BenchEmulator::start(QString* error)
{
    m_process.start(m_program, {QStringLiteral("--link"), link(), QStringLiteral("--control"), controlPath(),
                                QStringLiteral("--latency"), QString::number(m_cardLatencyMs),
                                QStringLiteral("--ident"), m_identification});
    if (!m_process.waitForStarted(kStartTimeoutMs)) {
        *error = QStringLiteral("cannot start %1: %2").arg(m_program, m_process.errorString());
        return false;
    }
    QByteArray banner;
    while (!banner.contains("ready") && m_process.waitForReadyRead(kStartTimeoutMs))
        banner += m_process.readAllStandardOutput();
    if (!banner.contains("ready")) {
        *error = QStringLiteral("%1 did not report ready").arg(m_program);
        return false;
    }
    return true;
}

QString BenchEmulator::control(const QString& line)
{
    QLocalSocket socket;
    socket.connectToServer(controlPath());
    if (!socket.waitForConnected(kControlTimeoutMs))
        return QStringLiteral("error no control connection");
    socket.write(line.toUtf8() + '\n');
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(kControlTimeoutMs))
        answer += socket.readAll();
    return answer.isEmpty() ? QStringLiteral("error no answer") : QString::fromUtf8(answer).trimmed();
}

RecordingStream::RecordingStream(std::unique_ptr<ByteStream> line, FrameLog& log)
    : m_line(std::move(line)), m_log(log)
{
    connect(m_line.get(), &ByteStream::readyRead, this, &ByteStream::readyRead);
}

void RecordingStream::write(const QByteArray& bytes)
{
    m_log.exchanges.append({bytes, {}});
    m_line->write(bytes);
}

QByteArray RecordingStream::read(qint64 maxBytes)
{
    QByteArray bytes = m_line->read(maxBytes);
    // Bytes before the first frame of a measurement belong to no exchange of it.
    if (!m_log.exchanges.isEmpty())
        m_log.exchanges.last().reply += bytes;
    return bytes;
}

void PauseMeter::delay(int ms)
{
    m_pauses.append({Pause::Kind::Delay, ms});
    m_real.delay(ms);
}

void PauseMeter::sleep(int ms)
{
    m_pauses.append({Pause::Kind::Sleep, ms});
    m_real.sleep(ms);
}

Floor floorOf(const FrameLog& log, const QList<Pause>& pauses, int cardLatencyMs)
{
    Floor floor;
    for (const Exchange& e : log.exchanges) {
        const bool card =
            e.command.size() > 1 && EncoderEngine::touchesCard(static_cast<quint8>(e.command[1]));
        const int latency = card ? cardLatencyMs : 0;
        floor.wireMs += EncoderEngine::replyFloorMs(static_cast<int>(e.command.size()),
                                                    static_cast<int>(e.reply.size()), latency) -
                        latency;
        floor.cardLatencyMs += latency;
        floor.bytesOut += static_cast<int>(e.command.size());
        floor.bytesIn += static_cast<int>(e.reply.size());
    }
    floor.frames = static_cast<int>(log.exchanges.size());
    floor.pauses = pauses;
    for (const Pause& pause : pauses)
        floor.pausesMs += pause.ms;
    return floor;
}

Spread spreadOf(QList<double> durationsMs)
{
    Spread spread;
    if (durationsMs.isEmpty())
        return spread;
    std::sort(durationsMs.begin(), durationsMs.end());
    spread.meanMs = std::accumulate(durationsMs.begin(), durationsMs.end(), 0.0) / double(durationsMs.size());
    const auto rank = static_cast<qsizetype>(std::ceil(0.95 * double(durationsMs.size())));
    spread.p95Ms = durationsMs[std::clamp<qsizetype>(rank, 1, durationsMs.size()) - 1];
    return spread;
}

bool printReport(const QString& title, const Floor& floor, const Spread& measured, double targetRatio)
{
    QStringList pauses;
    for (const Pause& pause : floor.pauses)
        pauses.append(
            QStringLiteral("%1 %2")
                .arg(pause.kind == Pause::Kind::Delay ? QStringLiteral("Delay") : QStringLiteral("Sleep"))
                .arg(pause.ms));
    const double ratio = measured.meanMs / floor.totalMs();
    const bool met = ratio <= targetRatio;
    printLine(title);
    printLine(QStringLiteral("frames  %1 commands, %2 bytes out, %3 bytes in")
                  .arg(floor.frames)
                  .arg(floor.bytesOut)
                  .arg(floor.bytesIn));
    printLine(QStringLiteral("floor   %1 = wire %2 + card latency %3 + bare pauses %4 (%5)")
                  .arg(milliseconds(floor.totalMs()), milliseconds(floor.wireMs),
                       milliseconds(floor.cardLatencyMs), milliseconds(floor.pausesMs),
                       pauses.isEmpty() ? QStringLiteral("none") : pauses.join(QStringLiteral(" + "))));
    printLine(
        QStringLiteral("mean    %1  ratio %2").arg(milliseconds(measured.meanMs)).arg(ratio, 0, 'f', 3));
    printLine(QStringLiteral("p95     %1  ratio %2")
                  .arg(milliseconds(measured.p95Ms))
                  .arg(measured.p95Ms / floor.totalMs(), 0, 'f', 3));
    printLine(QStringLiteral("target  mean <= %1 x floor: %2")
                  .arg(targetRatio, 0, 'f', 2)
                  .arg(met ? QStringLiteral("met") : QStringLiteral("MISSED")));
    return met;
}

BenchOptions parseBenchOptions(const QStringList& arguments, const QString& description, int defaultRuns)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    const QCommandLineOption runs(QStringLiteral("runs"),
                                  QStringLiteral("Measured runs (default %1).").arg(defaultRuns),
                                  QStringLiteral("N"), QString::number(defaultRuns));
    const QCommandLineOption emulator(QStringLiteral("emulator"),
                                      QStringLiteral("The emulator program (default: the one built with this "
                                                     "benchmark)."),
                                      QStringLiteral("PATH"), QStringLiteral(TOLVANE_EMULATOR_PROGRAM));
    const QCommandLineOption latency(QStringLiteral("latency"),
                                     QStringLiteral("Card latency per card command in ms (default 3)."),
                                     QStringLiteral("MS"), QStringLiteral("3"));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Exit with status 1 when the target is missed."));
    parser.addOptions({runs, emulator, latency, check});
    parser.process(arguments);

    BenchOptions options;
    bool valid = false;
    options.runs = parser.value(runs).toInt(&valid);
    if (!valid || options.runs < 1)
        usageError(QStringLiteral("--runs takes a positive number"));
    options.cardLatencyMs = parser.value(latency).toInt(&valid);
    if (!valid || options.cardLatencyMs < 0)
        usageError(QStringLiteral("--latency takes milliseconds"));
    options.emulator = parser.value(emulator);
    options.check = parser.isSet(check);
    return options;
}
