#include "platform/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

Clock* g_installed = nullptr;

qint64 monotonicNow()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

void serveEventsOnce(bool block)
{
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::processEvents(block ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
}

} // namespace

Clock& Clock::instance()
{
    static RealClock real;
    return g_installed ? *g_installed : real;
}

void Clock::install(Clock* clock)
{
    g_installed = clock;
}

RealClock::RealClock() : m_start(monotonicNow()) {}

QDateTime RealClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 RealClock::ticks() const
{
    return monotonicNow() - m_start;
}

void RealClock::delay(int ms)
{
    waitUntil([] { return false; }, ms);
}

bool RealClock::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const qint64 deadline = ticks() + std::max(0, timeoutMs);
    if (!QCoreApplication::instance()) {
        while (!done() && ticks() < deadline)
            QThread::msleep(1);
        return done();
    }
    // A timer at the deadline guarantees that the blocking event wait wakes up in time.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(std::max(0, timeoutMs));
    while (true) {
        if (done())
            return true;
        if (ticks() >= deadline)
            return false;
        serveEventsOnce(true);
    }
}

void RealClock::sleep(int ms)
{
    QThread::msleep(static_cast<unsigned long>(std::max(0, ms)));
}

void RealClock::callLater(int ms, std::function<void()> fn)
{
    QTimer::singleShot(std::max(0, ms), Qt::PreciseTimer, QCoreApplication::instance(), std::move(fn));
}

struct VirtualClock::Pending
{
    qint64 due;
    quint64 sequence;
    std::function<void()> fn;
};

VirtualClock::VirtualClock(const QDateTime& start)
    : m_origin(start), m_queue(std::make_unique<std::vector<Pending>>())
{
}

VirtualClock::~VirtualClock() = default;

QDateTime VirtualClock::now() const
{
    return m_origin.addMSecs(m_ticks);
}

void VirtualClock::setNow(const QDateTime& when)
{
    m_origin = when.addMSecs(-m_ticks);
}

bool VirtualClock::runNextDueBy(qint64 deadline)
{
    auto& q = *m_queue;
    auto next = std::min_element(q.begin(), q.end(), [](const Pending& a, const Pending& b) {
        return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
    });
    if (next == q.end() || next->due > deadline)
        return false;
    m_ticks = std::max(m_ticks, next->due);
    auto fn = std::move(next->fn);
    q.erase(next);
    fn();
    return true;
}

void VirtualClock::delay(int ms)
{
    waitUntil([] { return false; }, ms);
}

bool VirtualClock::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const qint64 deadline = m_ticks + std::max(0, timeoutMs);
    while (true) {
        serveEventsOnce(false);
        if (done())
            return true;
        if (!runNextDueBy(deadline)) {
            m_ticks = deadline;
            serveEventsOnce(false);
            return done();
        }
    }
}

void VirtualClock::callLater(int ms, std::function<void()> fn)
{
    m_queue->push_back({m_ticks + std::max(0, ms), m_sequence++, std::move(fn)});
}

void VirtualClock::runPending()
{
    while (runNextDueBy(std::numeric_limits<qint64>::max()))
        serveEventsOnce(false);
}

void Delay(int ms)
{
    Clock::instance().delay(ms);
}

void Sleep(int ms)
{
    Clock::instance().sleep(ms);
}
