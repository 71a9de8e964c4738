#include "platform/Clock.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

class TestClock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void realWaitEndsWhenConditionHolds();
    void realDelayServesTimers();
    void virtualTimeRunsCallbacksInOrder();
    void virtualWaitStopsEarlyOrAtDeadline();
};

void TestClock::realWaitEndsWhenConditionHolds()
{
    bool flag = false;
    QTimer::singleShot(20, [&] { flag = true; });
    QElapsedTimer t;
    t.start();
    QVERIFY(Clock::instance().waitUntil([&] { return flag; }, 2000));
    QVERIFY2(t.elapsed() < 1000, "the wait must end when its condition holds, not at its deadline");
    QVERIFY(!Clock::instance().waitUntil([] { return false; }, 30));
}

void TestClock::realDelayServesTimers()
{
    int fired = 0;
    QTimer::singleShot(10, [&] { ++fired; });
    Delay(60);
    QCOMPARE(fired, 1);
}

void TestClock::virtualTimeRunsCallbacksInOrder()
{
    VirtualClock clock;
    ScopedClock use(clock);
    QStringList order;
    clock.callLater(30, [&] { order << "b"; });
    clock.callLater(10, [&] { order << "a"; });
    clock.callLater(30, [&] { order << "c"; });
    const QDateTime start = clock.now();
    Delay(25);
    QCOMPARE(order, QStringList{"a"});
    Delay(5);
    QCOMPARE(order, (QStringList{"a", "b", "c"}));
    QCOMPARE(clock.now(), start.addMSecs(30));
}

void TestClock::virtualWaitStopsEarlyOrAtDeadline()
{
    VirtualClock clock;
    ScopedClock use(clock);
    bool ready = false;
    clock.callLater(120, [&] { ready = true; });
    QVERIFY(Clock::instance().waitUntil([&] { return ready; }, 1000));
    QCOMPARE(clock.ticks(), 120);
    QVERIFY(!Clock::instance().waitUntil([] { return false; }, 500));
    QCOMPARE(clock.ticks(), 620);
}

QTEST_GUILESS_MAIN(TestClock)
#include "TestClock.moc"
