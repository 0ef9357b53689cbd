// The connection and polling cycle on the test model: first answer, silence
// time-out, link loss, frame and data errors, the key-buffer clearing, the
// busy guard and the poll timers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "driver/core/drivermanager.h"
#include "driver/core/timerregistry.h"
#include "platform/wait.h"
#include "testsupport.h"

namespace quorvin::test {
namespace {

class PollingTest : public ::testing::Test {
protected:
    TempStore temp;
    DriverManager manager;
    RecordingSink sink;
    TestModel rx{&manager, DrvNRD535};

    void SetUp() override { manager.Advise(&sink); }

    std::vector<std::string> eventsLike(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& e : sink.events) {
            if (e.rfind(prefix, 0) == 0) {
                out.push_back(e);
            }
        }
        return out;
    }
};

TEST_F(PollingTest, FirstAnswerConnectsOnceAndReportsEveryField)
{
    const auto timersBefore = TimerRegistry::instance().count();
    EXPECT_EQ(rx.openLink(), ConnectRxComPending);
    EXPECT_EQ(rx.IsPending(), 1);
    EXPECT_EQ(rx.IsLinkOpen(), 1);
    EXPECT_EQ(rx.IsConnected(), 0);
    EXPECT_NE(rx.TimerId(), 0u);
    EXPECT_EQ(TimerRegistry::instance().count(), timersBefore + 1);
    EXPECT_EQ(rx.Connect(), ConnectRxComPending);  // a second attempt while pending changes nothing
    EXPECT_EQ(rx.IsLinkOpen(), 1);

    rx.tick();  // pending: no silence check
    EXPECT_EQ(rx.IsLinkOpen(), 1);

    EXPECT_EQ(rx.feed("F7000000\rM2\r"), 0);
    EXPECT_EQ(rx.IsConnected(), 1);
    EXPECT_EQ(rx.IsPending(), 0);
    EXPECT_EQ(rx.SilentTicks(), 0);
    EXPECT_EQ(rx.remoteCalls.size(), 1u);
    EXPECT_EQ(eventsLike("ConnState"), std::vector<std::string>{"ConnState 0 1000"});
    EXPECT_EQ(eventsLike("Frq"), std::vector<std::string>{"Frq 0 7000000 7000000"});
    EXPECT_EQ(eventsLike("Mod"), std::vector<std::string>{"Mod 0 2 0"});
    EXPECT_EQ(TimerRegistry::instance().count(), timersBefore + 1);  // restarted, not doubled

    rx.feed("F7000100\r");
    EXPECT_EQ(eventsLike("ConnState").size(), 1u);
    EXPECT_EQ(rx.remoteCalls.size(), 1u);
}

TEST_F(PollingTest, SilenceEndsTheConnectionWhenTheLimitIsReached)
{
    rx.connectNow();
    rx.maxSilentTicks = 3;
    rx.tick();  // the tick after data: data was seen, not silent
    rx.tick();
    rx.tick();
    EXPECT_EQ(rx.IsConnected(), 1);
    EXPECT_EQ(rx.SilentTicks(), 2);
    rx.feed("F7000000\r");  // data resets the count
    EXPECT_EQ(rx.SilentTicks(), 0);
    rx.tick();
    rx.tick();
    rx.tick();
    rx.tick();
    EXPECT_EQ(rx.IsConnected(), 0);
    EXPECT_EQ(rx.SilentTicks(), -1);
    EXPECT_EQ(rx.closeCalls, 1);
    EXPECT_EQ(eventsLike("ConnState").back(), "ConnState 0 1021");
}

TEST_F(PollingTest, ALimitLoweredBelowTheCountStillEndsTheConnection)
{
    rx.connectNow();
    rx.maxSilentTicks = 10;
    for (int i = 0; i < 6; ++i) {
        rx.tick();
    }
    EXPECT_EQ(rx.IsConnected(), 1);
    rx.maxSilentTicks = 2;
    rx.tick();
    EXPECT_EQ(rx.IsConnected(), 0);
    EXPECT_EQ(eventsLike("ConnState").back(), "ConnState 0 1021");
}

TEST_F(PollingTest, ChannelFoundClosedEndsTheConnectionAtOnce)
{
    rx.connectNow();
    rx.tick(false);
    EXPECT_EQ(rx.IsConnected(), 0);
    EXPECT_EQ(eventsLike("ConnState").back(), "ConnState 0 1021");
}

TEST_F(PollingTest, GarbageKeepsTheLinkAliveAndReportsFrameErrors)
{
    rx.connectNow();
    rx.maxSilentTicks = 2;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rx.feed("??\r"), -1);
        rx.tick();
        rx.tick();
    }
    EXPECT_EQ(rx.IsConnected(), 1);
    EXPECT_EQ(eventsLike("DataError").size(), 6u);
    EXPECT_EQ(eventsLike("DataError").front(), "DataError 0 1031");

    // An unusable reply noticed by the model counts as a sign of life.
    rx.OnDataError();
    EXPECT_EQ(eventsLike("DataError").back(), "DataError 0 1030");
    EXPECT_EQ(rx.SilentTicks(), 0);
    rx.tick();
    rx.tick();
    EXPECT_EQ(rx.IsConnected(), 1);
}

TEST_F(PollingTest, AStaleNotificationIsNothingToDo)
{
    rx.connectNow();
    const auto before = sink.events.size();
    EXPECT_EQ(rx.feed("", 3), 0);
    EXPECT_EQ(rx.IsConnected(), 1);
    EXPECT_EQ(rx.closeCalls, 0);
    EXPECT_EQ(sink.events.size(), before);

    // A real read failure ends the connection with its code.
    EXPECT_EQ(rx.feed("", 5), -1);
    EXPECT_EQ(rx.IsConnected(), 0);
    EXPECT_EQ(rx.closeCalls, 1);
    EXPECT_EQ(eventsLike("ConnState").back(), "ConnState 0 1005");
}

TEST_F(PollingTest, EveryByteReachesTheParserOnceInOrder)
{
    rx.connectNow(1);
    rx.feed("M");
    rx.feed("2\rW24");
    rx.feed(std::string("00\r"));
    EXPECT_EQ(rx.parsed, "F1|M2|W2400|");
    EXPECT_TRUE(rx.ReceiveBuffer().empty());
}

TEST_F(PollingTest, TheTwoKeyBufferClearsAfterAboutTwoSeconds)
{
    rx.connectNow();
    rx.pollPeriod = 1000;
    rx.ProcessKey('m');
    rx.tick();
    rx.tick();
    EXPECT_EQ(rx.keys(), " m");
    rx.tick();
    EXPECT_EQ(rx.keys(), "  ");
    rx.wire.clear();
    EXPECT_EQ(rx.ProcessKey('u'), 0);
    EXPECT_TRUE(rx.wire.empty());
}

TEST_F(PollingTest, APeriodOfZeroOrLessIsBounded)
{
    rx.connectNow();
    for (const std::int32_t period : {0, -250}) {
        rx.pollPeriod = period;
        for (int i = 0; i < 2002; ++i) {
            rx.feed("F1\r");
            rx.tick();
        }
        EXPECT_LE(rx.tickCount(), 2000);
    }
    EXPECT_EQ(rx.IsConnected(), 1);
}

TEST_F(PollingTest, ATickWhileBusySkipsThePoll)
{
    rx.connectNow();
    const int pollsBefore = rx.pollCalls;
    std::int32_t duringTick = -1;
    rx.duringParse = [&] { duringTick = rx.tick(); };
    rx.feed("F2\r");
    rx.duringParse = nullptr;
    EXPECT_EQ(duringTick, 0);
    EXPECT_EQ(rx.pollCalls, pollsBefore);
    EXPECT_EQ(rx.IsBusy(), 0);
    rx.tick();
    EXPECT_EQ(rx.pollCalls, pollsBefore + 1);
}

TEST_F(PollingTest, ATickDuringTheModelsOwnPollIsSkipped)
{
    rx.connectNow();
    const int polls = rx.pollCalls;
    rx.duringPoll = [&] { rx.tick(); };
    rx.tick();
    rx.duringPoll = nullptr;
    EXPECT_EQ(rx.pollCalls, polls + 1);
    rx.tick();
    EXPECT_EQ(rx.pollCalls, polls + 2);
}

TEST_F(PollingTest, DisconnectReportsTheCloseAndPollingGoesOn)
{
    rx.connectNow();
    EXPECT_EQ(rx.Disconnect(), ConnectNoError);
    EXPECT_EQ(rx.closeCalls, 1);
    EXPECT_EQ(rx.IsConnected(), 0);
    EXPECT_EQ(eventsLike("ConnState").back(), "ConnState 0 1001");
    // The timer keeps running after the close; the model is still polled.
    EXPECT_NE(rx.TimerId(), 0u);
    const int polls = rx.pollCalls;
    rx.tick();
    EXPECT_EQ(rx.pollCalls, polls + 1);
}

TEST_F(PollingTest, ReconnectFromConnectedClosesSilently)
{
    temp.addInstance("Poll", "A", DrvNRD535);
    temp.pointAtClosedPort("Poll", "A");
    rx.RxInit(0, "Poll", "A");
    rx.connectNow();
    sink.events.clear();
    // The channel cannot open: the close of the old connection reports
    // nothing, the failed open reports its code.
    const ConnErr code = rx.Connect();
    EXPECT_TRUE(isLinkFailure(code)) << code;
    EXPECT_EQ(rx.closeCalls, 1);
    EXPECT_EQ(sink.events, std::vector<std::string>{"ConnState 0 " + std::to_string(code)});
    EXPECT_EQ(rx.IsPending(), 0);
    EXPECT_TRUE(isLinkFailure(rx.Connect()));  // not stuck in pending
}

TEST_F(PollingTest, PollTimersTickThroughTheEventLoop)
{
    const auto before = TimerRegistry::instance().count();
    {
        TestModel quick(&manager, DrvNRD535);
        quick.pollPeriod = 1;
        quick.openLink();
        QElapsedTimer guard;
        guard.start();
        while (quick.pollCalls < 3 && guard.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        EXPECT_GE(quick.pollCalls, 3);
        EXPECT_EQ(TimerRegistry::instance().targetOf(quick.TimerId()), &quick);
    }
    EXPECT_EQ(TimerRegistry::instance().count(), before);
}

// Plain timer targets for the test below: one waits for its receiver the
// way the links do (pending events delivered in 10 ms steps), the other
// counts its ticks and whether one came inside that wait.
struct WaitingTarget : TimerTarget {
    bool waiting = false;
    int ticks = 0;
    std::int32_t OnTimer(std::uint32_t) override
    {
        ++ticks;
        waiting = true;
        for (int step = 0; step < 30; ++step) {
            platform::waitStep(10);
        }
        waiting = false;
        return 0;
    }
};
struct CountingTarget : TimerTarget {
    const WaitingTarget* other = nullptr;
    int ticks = 0;
    int ticksInsideTheWait = 0;
    std::int32_t OnTimer(std::uint32_t) override
    {
        ++ticks;
        ticksInsideTheWait += other->waiting ? 1 : 0;
        return 0;
    }
};

TEST(TimerRegistryTest, NoPollTickRunsInsideAnotherReceiversWait)
{
    // A receiver that waits for a slow or cut reply lets link notifications
    // through, but another receiver's poll must not start (and wait in its
    // turn) inside that wait: nested waits would hold every receiver, and
    // the client, for as long as the deepest of them.
    WaitingTarget slow;
    CountingTarget other;
    other.other = &slow;
    auto& registry = TimerRegistry::instance();
    const std::uint32_t slowId = registry.start(&slow, 50);
    const std::uint32_t otherId = registry.start(&other, 5);
    QElapsedTimer guard;
    guard.start();
    while (slow.ticks < 4 && guard.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    registry.stop(slowId);
    registry.stop(otherId);
    EXPECT_GE(slow.ticks, 3);
    EXPECT_EQ(other.ticksInsideTheWait, 0);
    // The tick held back by a wait runs once the wait is over: the other
    // receiver keeps polling at least once per wait, and not more often than
    // its timer ticks.
    EXPECT_GE(other.ticks, slow.ticks - 1);
}

TEST_F(PollingTest, ManualTicksFireEachTimerOnItsPeriodInTimeOrder)
{
    const auto before = TimerRegistry::instance().count();
    std::vector<std::string> order;
    {
        ManualTicksGuard manual;
        TestModel fast(&manager, DrvNRD535);
        TestModel slow(&manager, DrvNRD535);
        fast.pollPeriod = 100;
        slow.pollPeriod = 250;
        fast.duringPoll = [&] { order.push_back("fast"); };
        slow.duringPoll = [&] { order.push_back("slow"); };
        fast.openLink();
        slow.openLink();
        EXPECT_EQ(manual.ticks.running(), 2u);
        manual.ticks.advance(99);
        EXPECT_TRUE(order.empty());
        manual.ticks.advance(1);
        EXPECT_EQ(order, std::vector<std::string>{"fast"});
        manual.ticks.advance(900);  // to 1000 ms
        EXPECT_EQ(fast.ticks, 10);
        EXPECT_EQ(slow.ticks, 4);
        EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 4),
                  (std::vector<std::string>{"fast", "fast", "slow", "fast"}));
        // A tick that stops its own timer ends it; the other goes on.
        slow.duringPoll = [&] { slow.stopTimerNow(); };
        manual.ticks.advance(250);
        EXPECT_EQ(manual.ticks.running(), 1u);
        const int slowTicks = slow.ticks;
        manual.ticks.advance(1000);
        EXPECT_EQ(slow.ticks, slowTicks);
        EXPECT_EQ(fast.ticks, 22);
        // Nothing ticks on its own: the event loop has no say.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        EXPECT_EQ(fast.ticks, 22);
        EXPECT_TRUE(manual.ticks.fireNext());
        EXPECT_EQ(fast.ticks, 23);
    }
    // The receivers are gone with their timers; the event loop's timers are
    // the source again.
    EXPECT_EQ(TimerRegistry::instance().count(), before);
    TestModel after(&manager, DrvNRD535);
    after.pollPeriod = 1;
    after.openLink();
    QElapsedTimer guard;
    guard.start();
    while (after.pollCalls < 2 && guard.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_GE(after.pollCalls, 2);
}

TEST_F(PollingTest, ATimerOutlivingItsManualSourceIsStoppedSafely)
{
    auto rxLater = std::make_unique<TestModel>(&manager, DrvNRD535);
    {
        ManualTicksGuard manual;
        rxLater->pollPeriod = 100;
        rxLater->openLink();
        manual.ticks.advance(300);
        EXPECT_EQ(rxLater->ticks, 3);
    }
    // The source went first: the timer ticks no more, and stopping it
    // (the receiver's destruction) touches nothing of it.
    EXPECT_EQ(TimerRegistry::instance().targetOf(rxLater->TimerId()), rxLater.get());
    rxLater.reset();
}

}  // namespace
}  // namespace quorvin::test
