#pragma once

#include <QDateTime>

#include <functional>
#include <memory>

// The one seam through which the program reads time and waits.
//
// Business rules (check-in start, day boundary) read now(); encoder exchanges wait
// with delay() and waitUntil(). Every wait keeps the Qt event loop running, so serial
// input, timers and clicks are served while a card operation waits. Tests install a
// VirtualClock, which moves time forward instantly and runs simulated devices.
class Clock
{
public:
    virtual ~Clock() = default;

    virtual QDateTime now() const = 0;
    // Monotonic milliseconds; only differences are meaningful.
    virtual qint64 ticks() const = 0;
    // Waits ms milliseconds while serving events.
    virtual void delay(int ms) = 0;
    // Serves events until done() holds or timeoutMs has passed; returns done().
    // Ends the moment the condition becomes true, never at the next tick.
    virtual bool waitUntil(const std::function<bool()>& done, int timeoutMs) = 0;
    // Runs fn after ms milliseconds on this thread (used by simulated devices).
    virtual void callLater(int ms, std::function<void()> fn) = 0;
    // A plain pause of the thread, without serving events.
    virtual void sleep(int ms) = 0;

    static Clock& instance();
    // Replaces the process clock; nullptr restores the real one. The caller keeps ownership.
    static void install(Clock* clock);
};

class RealClock final : public Clock
{
public:
    RealClock();
    QDateTime now() const override;
    qint64 ticks() const override;
    void delay(int ms) override;
    bool waitUntil(const std::function<bool()>& done, int timeoutMs) override;
    void callLater(int ms, std::function<void()> fn) override;
    void sleep(int ms) override;

private:
    qint64 m_start;
};

// Time that only moves when somebody waits. Scheduled callbacks run in time order
// as waits pass their due time; waits return as soon as their condition holds.
class VirtualClock final : public Clock
{
public:
    explicit VirtualClock(const QDateTime& start = QDateTime(QDate(2024, 5, 6), QTime(14, 30)));
    ~VirtualClock() override;

    QDateTime now() const override;
    qint64 ticks() const override { return m_ticks; }
    void delay(int ms) override;
    bool waitUntil(const std::function<bool()>& done, int timeoutMs) override;
    void callLater(int ms, std::function<void()> fn) override;
    // Simulated devices keep running while the program sleeps.
    void sleep(int ms) override { delay(ms); }

    void setNow(const QDateTime& when);
    // Moves time forward, running everything that falls due.
    void advance(int ms) { delay(ms); }
    // Runs everything scheduled, however far ahead.
    void runPending();

private:
    struct Pending;
    bool runNextDueBy(qint64 deadline);

    QDateTime m_origin;
    qint64 m_ticks = 0;
    quint64 m_sequence = 0;
    std::unique_ptr<std::vector<Pending>> m_queue;
};

// Installs a clock for the lifetime of the guard (tests).
class ScopedClock
{
public:
    explicit ScopedClock(Clock& clock) { Clock::install(&clock); }
    ~ScopedClock() { Clock::install(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

// The program's wait: ms milliseconds with the event loop running.
void Delay(int ms);
// A plain pause of the thread, without message handling (the encoder's "sleep").
void Sleep(int ms);
