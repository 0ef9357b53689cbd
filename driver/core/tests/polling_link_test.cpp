// The polling cycle over real links, seen by a client of the loaded library:
// a receiver played by the test on a pseudo-terminal, on a TCP connection to
// 127.0.0.1 and on a pty served by ser2net, the test model talking to it
// through its real channel, and the events that reach the client's sink. Ticks are counted,
// never timed; wall time only bounds how long a test waits for something.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <filesystem>

#include "driver/core/receiverdriver.h"
#include "driver/core/timerregistry.h"
#include "driver/links/linkdialogs.h"
#include "driver/links/serialports.h"
#include "linkpeer.h"
#include "testsupport.h"

namespace quorvin::test {
namespace {

// The receiver on a pty reached through the serial link, on a TCP
// connection, or on a pty served by ser2net and reached through TCP.
enum class Link { Serial, Tcp, Ser2net };

std::string linkName(const ::testing::TestParamInfo<Link>& info)
{
    switch (info.param) {
    case Link::Serial: return "Pty";
    case Link::Tcp: return "Tcp";
    case Link::Ser2net: return "Ser2net";
    }
    return "Unknown";
}

// What the receiver reports to an identification or status request.
const std::string kStatus = "F7000000\rM3\rW2400\rG1\r";

constexpr int kPollMs = 20;
constexpr int kSilentTicks = 5;

// An event a client acts on from inside its handler, and how the test
// provokes it.
struct InsideEvent {
    std::string event;  // the event, by its start
    std::function<void()> provoke;
};

class LinkPollingTest : public ::testing::TestWithParam<Link> {
protected:
    TempStore temp;
    std::unique_ptr<PtyPeer> pty;
    std::unique_ptr<TcpPeer> tcp;
    std::unique_ptr<Ser2netProxy> proxy;
    LinkPeer* peer = nullptr;
    std::unique_ptr<IReceiverDriver> drv;
    RecordingSink sink;
    std::uint32_t cookie = 0;
    std::string reply = kStatus;

    void SetUp() override
    {
        const std::string key = instanceKey("Poll", "Rx");
        temp.addInstance("Poll", "Rx", DrvNRD535);
        auto& store = temp.store();
        store.writeNumber(key, "C_Wait", kPollMs);
        store.writeNumber(key, "C_Retr", kSilentTicks);
        store.writeNumber(key, "C_Test", 1);
        store.writeNumber(key, "X_Wire", 1);
        if (GetParam() == Link::Serial) {
            pty = std::make_unique<PtyPeer>();
            ASSERT_TRUE(pty->ok());
            peer = pty.get();
            store.writeText(kPortsKey, "3", pty->device());
            store.writeNumber(key, "C_Type", 0);
            store.writeNumber(key, "S_Port", 3);
            store.writeNumber(key, "S_Speed", 9600);
            store.writeNumber(key, "S_TestLink", 0);  // a pty has no modem lines
        } else {
            int port = 0;
            if (GetParam() == Link::Tcp) {
                tcp = std::make_unique<TcpPeer>();
                ASSERT_TRUE(tcp->ok());
                peer = tcp.get();
                port = tcp->port();
            } else {
                if (Ser2netProxy::binary().empty()) {
                    GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
                }
                pty = std::make_unique<PtyPeer>();
                ASSERT_TRUE(pty->ok());
                peer = pty.get();
                port = closedTcpPort();
                proxy = std::make_unique<Ser2netProxy>(pty->device(), port);
                ASSERT_TRUE(proxy->waitListening(5000)) << proxy->output();
            }
            store.writeNumber(key, "C_Type", 1);
            store.writeText(key, "T_Addr", "127.0.0.1");
            store.writeNumber(key, "T_Port", port);
            store.writeNumber(key, "T_TestLink", 0);  // echoes may not be permitted here
            store.writeNumber(key, "T_Delay", 0);
        }
        peer->answer = [this](const std::string&) { return reply; };
        load();
    }

    void TearDown() override
    {
        if (drv) {
            drv->Unadvise(cookie);
        }
    }

    void load()
    {
        drv = loadDriver();
        ASSERT_NE(drv, nullptr);
        ASSERT_EQ(drv->Advise(&sink, &cookie), S_OK);
        std::int32_t result = 0;
        ASSERT_EQ(drv->DrvConfigure("Poll", ConfLoad, &result), S_OK);
        ASSERT_EQ(result, 1);
    }

    TestModel& model()
    {
        auto* inst = static_cast<ReceiverDriver*>(drv.get())->Manager().Instance(0);
        EXPECT_NE(inst, nullptr);
        return dynamic_cast<TestModel&>(*inst->receiver);
    }

    ConnErr rxConnect(std::int32_t on)
    {
        ConnErr result = ConnectLnAnyError;
        EXPECT_EQ(drv->RxConnect(0, on, &result), S_OK);
        return result;
    }

    // Runs the event loop and the peer until `done` holds; false when it
    // did not within the deadline (a generous bound, never a measurement).
    bool runUntil(const std::function<bool()>& done, int deadlineMs = 4000)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            peer->pump();
            if (done()) {
                return true;
            }
            if (timer.elapsed() > deadlineMs) {
                return false;
            }
            peer->idle(2);
        }
    }

    bool runTicks(int count, int deadlineMs = 4000)
    {
        const int until = model().ticks + count;
        return runUntil([&] { return model().ticks >= until; }, deadlineMs);
    }

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

    // What the test saw, for failure messages.
    std::string state()
    {
        std::string text =
            "ticks " + std::to_string(model().ticks) + ", polls " + std::to_string(model().pollCalls) + ", requests " +
            std::to_string(peer->requests.size()) + ", notifications " + std::to_string(model().notifications) +
            ", busy " + std::to_string(model().IsBusy()) + ", connected " + std::to_string(model().IsConnected()) +
            ", link open " + std::to_string(model().IsLinkOpen()) + ", parsed tail '" +
            model().parsed.substr(model().parsed.size() > 40 ? model().parsed.size() - 40 : 0) + "', events:";
        for (const auto& e : sink.events) {
            text += " [" + e + "]";
        }
        return text;
    }

    bool seen(const std::string& event) const
    {
        return std::find(sink.events.begin(), sink.events.end(), event) != sink.events.end();
    }

    // Every event of the receive, data-error and timer paths, and the close
    // the client asked for: a client may reconnect or disconnect from
    // inside each. The code that raised the event must leave the state the
    // handler made.
    std::vector<InsideEvent> insideEventCases()
    {
        auto connect = [this] { EXPECT_EQ(rxConnect(1), ConnectRxComPending); };
        return {
            {"ConnState 0 1000", connect},
            {"Frq 0 ", connect},
            {"Agc 0 ", connect},
            {"DataError 0 1031",
             [this] {
                 connectAndAnswer();
                 reply = "??\r";
             }},
            {"DataError 0 1030",
             [this] {
                 connectAndAnswer();
                 reply = "E1\r";
             }},
            {"ConnState 0 1021",
             [this] {
                 connectAndAnswer();
                 reply.clear();
             }},
            {"ConnState 0 1001",
             [this] {
                 connectAndAnswer();
                 EXPECT_EQ(rxConnect(0), ConnectNoError);
             }},
        };
    }

    // Connects and waits for the first answer to arrive and be reported.
    void connectAndAnswer()
    {
        const auto before = eventsLike("ConnState 0 1000").size();
        ASSERT_EQ(rxConnect(1), ConnectRxComPending);
        ASSERT_TRUE(runUntil([&] { return eventsLike("ConnState 0 1000").size() > before; }));
        ASSERT_EQ(model().IsConnected(), 1);
    }
};

TEST_P(LinkPollingTest, FirstAnswerConnectsOnceThenEveryFieldIsReportedOnce)
{
    const auto timersBefore = TimerRegistry::instance().count();
    EXPECT_EQ(rxConnect(1), ConnectRxComPending);
    EXPECT_EQ(TimerRegistry::instance().count(), timersBefore + 1);
    EXPECT_TRUE(sink.events.empty());  // nothing until the receiver answers

    ASSERT_TRUE(runUntil([&] { return seen("Agc 0 1 0"); }));
    ASSERT_FALSE(peer->requests.empty());
    EXPECT_EQ(peer->requests.front(), "I");
    EXPECT_EQ(sink.events, (std::vector<std::string>{"ConnState 0 1000", "Frq 0 7000000 7000000", "Mod 0 3 0",
                                                     "Flt 0 2400", "Agc 0 1 0"}));

    // The receiver keeps answering the status requests with the same
    // state: nothing is reported again.
    const auto polls = model().pollCalls;
    ASSERT_TRUE(runUntil([&] { return model().pollCalls >= polls + 4; }));
    EXPECT_GE(std::count(peer->requests.begin(), peer->requests.end(), "S"), 4);
    EXPECT_EQ(sink.events.size(), 5u);
    EXPECT_EQ(model().remoteCalls.size(), 1u);
    EXPECT_EQ(TimerRegistry::instance().count(), timersBefore + 1);

    // A change is reported once.
    reply = "F7000500\r";
    ASSERT_TRUE(runUntil([&] { return seen("Frq 0 7000500 7000500"); })) << state();
    ASSERT_TRUE(runTicks(3));
    EXPECT_EQ(eventsLike("Frq").size(), 2u);
    EXPECT_EQ(eventsLike("ConnState").size(), 1u);
}

TEST_P(LinkPollingTest, SilenceTimesOutOnTheLimitTickAndTheClientMayConnectAgain)
{
    connectAndAnswer();
    reply.clear();  // the receiver stops answering
    ASSERT_TRUE(runUntil([&] { return seen("ConnState 0 1021"); }));
    // The tick after the last data still saw it; then kSilentTicks silent
    // ticks, the last of which ends the connection.
    EXPECT_EQ(model().ticks - model().ticksAtData, kSilentTicks + 1);
    EXPECT_EQ(model().IsConnected(), 0);
    EXPECT_EQ(model().closeCalls, 1);
    EXPECT_EQ(eventsLike("ConnState"), (std::vector<std::string>{"ConnState 0 1000", "ConnState 0 1021"}));

    // The timer keeps ticking after the close; the model is still polled,
    // but nothing more is reported.
    ASSERT_TRUE(runTicks(3));
    EXPECT_EQ(eventsLike("ConnState").size(), 2u);

    reply = kStatus;
    const auto identifications = std::count(peer->requests.begin(), peer->requests.end(), "I");
    connectAndAnswer();
    EXPECT_EQ(std::count(peer->requests.begin(), peer->requests.end(), "I"), identifications + 1);
    EXPECT_EQ(eventsLike("ConnState").back(), "ConnState 0 1000");
    // Every field is reported again after the new connection.
    ASSERT_TRUE(runUntil([&] { return eventsLike("Agc").size() == 2; }));
    EXPECT_EQ(eventsLike("Frq").size(), 2u);
}

TEST_P(LinkPollingTest, GarbageKeepsTheLinkAliveAndReportsFrameErrors)
{
    connectAndAnswer();
    reply = std::string("?\x00\xff?\r", 5);
    const int ticksBefore = model().ticks;
    ASSERT_TRUE(runUntil([&] { return eventsLike("DataError").size() >= 3 * kSilentTicks; }));
    // Each status request got garbage back, for well past the silence limit.
    EXPECT_GT(model().ticks - ticksBefore, 2 * kSilentTicks);
    EXPECT_EQ(model().IsConnected(), 1);
    EXPECT_EQ(eventsLike("ConnState"), std::vector<std::string>{"ConnState 0 1000"});
    const auto errors = eventsLike("DataError");
    EXPECT_TRUE(
        std::all_of(errors.begin(), errors.end(), [](const std::string& e) { return e == "DataError 0 1031"; }));
    // The garbage reached the parser as it was sent, bytes and all.
    EXPECT_NE(model().parsed.find(std::string("?\x00\xff?|", 5)), std::string::npos);
}

TEST_P(LinkPollingTest, DisconnectReportsTheCloseAndReturnsNoError)
{
    connectAndAnswer();
    EXPECT_EQ(rxConnect(0), ConnectNoError);
    EXPECT_EQ(eventsLike("ConnState").back(), "ConnState 0 1001");
    EXPECT_EQ(model().IsConnected(), 0);
    EXPECT_EQ(model().IsLinkOpen(), 0);
    EXPECT_EQ(model().closeCalls, 1);
    // Nothing the receiver still sends is taken for an answer.
    peer->send(kStatus);
    ASSERT_TRUE(runTicks(3));
    EXPECT_EQ(eventsLike("ConnState").size(), 2u);
    EXPECT_EQ(model().IsConnected(), 0);
}

TEST_P(LinkPollingTest, ReconnectFromConnectedIsSilentAndASecondConnectWhilePendingChangesNothing)
{
    connectAndAnswer();
    const auto eventsBefore = sink.events.size();
    reply.clear();  // hold the answer back so the new attempt stays pending
    // An application timer that retries connections may fire while the
    // link waits for its connection: the attempt under way is guarded.
    ConnErr nested = ConnectLnAnyError;
    bool fired = false;
    QTimer::singleShot(0, [&] {
        nested = rxConnect(1);
        fired = true;
    });
    EXPECT_EQ(rxConnect(1), ConnectRxComPending);
    ASSERT_TRUE(runUntil([&] { return fired; }));
    EXPECT_EQ(nested, ConnectRxComPending);
    EXPECT_EQ(model().closeCalls, 1);
    EXPECT_EQ(model().IsPending(), 1);
    EXPECT_EQ(model().IsConnected(), 0);
    EXPECT_EQ(model().openCalls, 2);
    EXPECT_EQ(sink.events.size(), eventsBefore);  // the close reports nothing

    EXPECT_EQ(rxConnect(1), ConnectRxComPending);
    EXPECT_EQ(model().openCalls, 2);
    EXPECT_EQ(model().closeCalls, 1);
    EXPECT_EQ(model().IsLinkOpen(), 1);

    reply = kStatus;
    peer->send(kStatus);
    ASSERT_TRUE(runUntil([&] { return eventsLike("ConnState").size() == 2; }));
    EXPECT_EQ(eventsLike("ConnState"), (std::vector<std::string>{"ConnState 0 1000", "ConnState 0 1000"}));
    ASSERT_TRUE(runTicks(2));
    EXPECT_EQ(eventsLike("ConnState").size(), 2u);
    if (tcp) {
        EXPECT_EQ(tcp->accepted(), 2);
    }
}

TEST_P(LinkPollingTest, ALinkThatCannotOpenReportsItsCodeAndStartsNoTimer)
{
    const std::string key = instanceKey("Poll", "Rx");
    if (pty) {
        // Port 1 is the link's default; point it at a device that is not there.
        temp.store().writeText(kPortsKey, "1", (std::filesystem::path(temp.dir()) / "ttyGone").string());
        temp.store().writeNumber(key, "S_Port", 1);
    } else {
        temp.store().writeNumber(key, "T_Port", closedTcpPort());
    }
    load();
    const auto timersBefore = TimerRegistry::instance().count();
    const ConnErr code = rxConnect(1);
    EXPECT_EQ(code, pty ? ConnectLnBadAddr : ConnectLnOpnError);
    EXPECT_EQ(sink.events, std::vector<std::string>{"ConnState 0 " + std::to_string(code)});
    EXPECT_EQ(model().TimerId(), 0u);
    EXPECT_EQ(TimerRegistry::instance().count(), timersBefore);
    EXPECT_EQ(model().openCalls, 0);
    EXPECT_EQ(model().IsPending(), 0);
    // Not stuck: the next attempt fails the same way.
    EXPECT_EQ(rxConnect(1), code);
    EXPECT_EQ(eventsLike("ConnState").size(), 2u);
}

TEST_P(LinkPollingTest, TheFarEndGoingAwayEndsTheConnection)
{
    connectAndAnswer();
    peer->hangUp();
    ASSERT_TRUE(runUntil([&] { return eventsLike("ConnState").size() == 2; }));
    EXPECT_NE(eventsLike("ConnState").back(), "ConnState 0 1000");
    EXPECT_EQ(model().IsConnected(), 0);
    EXPECT_EQ(model().IsLinkOpen(), 0);
    ASSERT_TRUE(runTicks(3));
    EXPECT_EQ(eventsLike("ConnState").size(), 2u);
}

TEST_P(LinkPollingTest, DataArrivingWhileTheReceiverIsBusyIsHandedOverOnceInOrder)
{
    connectAndAnswer();
    reply.clear();
    ASSERT_TRUE(runTicks(1));
    model().parsed.clear();
    int rounds = 0;
    // The model lets events run while it handles a reply, as a model
    // waiting for its receiver does; more data arrives meanwhile.
    model().duringParse = [&] {
        if (++rounds > 2) {
            return;
        }
        const int notified = model().notifications;
        peer->send(rounds == 1 ? "M1\rW1" : "800\rF7000");
        EXPECT_TRUE(runUntil([&] { return model().notifications > notified; }));
        EXPECT_EQ(model().IsBusy(), 1);
    };
    peer->send("F7000100\r");
    ASSERT_TRUE(runUntil([&] { return rounds >= 3; }));
    model().duringParse = nullptr;
    peer->send("200\r");
    ASSERT_TRUE(runUntil([&] { return model().parsed.size() >= 27; }));
    ASSERT_TRUE(runTicks(2));
    EXPECT_EQ(model().parsed, "F7000100|M1|W1800|F7000200|");
    EXPECT_TRUE(model().ReceiveBuffer().empty());
    EXPECT_EQ(model().IsConnected(), 1);
    EXPECT_EQ(eventsLike("Flt").back(), "Flt 0 1800");
    EXPECT_EQ(eventsLike("Frq").back(), "Frq 0 7000200 7000200");
}

TEST_P(LinkPollingTest, ASynchronousReadTakingTheBytesFirstLeavesTheLinkListening)
{
    // Bytes arrive while a read of the model is already due: the read takes
    // them before the link's own wake-up for them is handled. The link must
    // go on announcing what arrives later.
    connectAndAnswer();
    reply.clear();
    ASSERT_TRUE(runTicks(1));
    for (int round = 0; round < 5; ++round) {
        bool read = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&] {
                model().readNow();
                read = true;
            },
            Qt::QueuedConnection);
        const std::string record = "F70001" + std::to_string(10 + round) + "\r";
        peer->send(record);
        if (pty) {
            ASSERT_TRUE(pty->waitQueued(static_cast<int>(record.size())));
        }
        ASSERT_TRUE(runUntil([&] { return read; }));
    }
    ASSERT_TRUE(runUntil([&] { return seen("Frq 0 7000114 7000114"); }));
    peer->send("F7000999\r");
    EXPECT_TRUE(runUntil([&] { return seen("Frq 0 7000999 7000999"); }, 2000)) << state();
    EXPECT_EQ(eventsLike("ConnState"), std::vector<std::string>{"ConnState 0 1000"});
}

TEST_P(LinkPollingTest, ATwoKeyCommandMustBeTypedWithinAboutTwoSeconds)
{
    connectAndAnswer();
    std::int32_t result = -1;
    ASSERT_EQ(drv->RxProcessKey(0, 'm', &result), S_OK);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(drv->RxProcessKey(0, 'u', &result), S_OK);
    EXPECT_EQ(result, 1);  // typed together they select USB

    model().wire.clear();
    ASSERT_EQ(drv->RxProcessKey(0, 'm', &result), S_OK);
    // More than two seconds' worth of ticks: 2000 / period, and one more.
    ASSERT_TRUE(runTicks(2000 / kPollMs + 2, 10000));
    ASSERT_EQ(drv->RxProcessKey(0, 'u', &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(model().wire.empty());
    EXPECT_EQ(model().IsConnected(), 1);
}

TEST_P(LinkPollingTest, AClientMayReleaseTheDriverFromAnEventOfTheFirstAnswer)
{
    // The release happens inside the receive that reported the event; the
    // receivers go once that has returned, and nothing reaches the client
    // afterwards.
    const int destroyedBefore = TestModel::destroyed;
    sink.onEvent = [&](const std::string& event) {
        if (event == "Frq 0 7000000 7000000") {
            drv.reset();
        }
    };
    ASSERT_EQ(rxConnect(1), ConnectRxComPending);
    ASSERT_TRUE(runUntil([&] { return TestModel::destroyed > destroyedBefore; }));
    EXPECT_EQ(sink.events, (std::vector<std::string>{"ConnState 0 1000", "Frq 0 7000000 7000000"}));
    peer->send(kStatus);
    QCoreApplication::processEvents();
    peer->pump();
    EXPECT_EQ(sink.events.size(), 2u);
}

TEST_P(LinkPollingTest, AClientMayReconnectFromInsideEveryEvent)
{
    const auto cases = insideEventCases();
    for (const auto& c : cases) {
        SCOPED_TRACE("reconnect inside " + c.event);
        load();
        sink.events.clear();
        reply = kStatus;
        int acted = 0;
        int depth = 0;
        int deepest = 0;
        ConnErr inner = ConnectLnAnyError;
        sink.onEvent = [&](const std::string& e) {
            // Nested occurrences are acted on too (bounded), so a nesting
            // fault shows as depth, not as a crash.
            if (e.rfind(c.event, 0) != 0 || depth > 8 || (acted > 0 && depth == 0)) {
                return;
            }
            ++acted;
            ++depth;
            deepest = std::max(deepest, depth);
            reply = kStatus;
            inner = rxConnect(1);
            --depth;
        };
        c.provoke();
        ASSERT_TRUE(runUntil([&] { return acted > 0; })) << state();
        EXPECT_EQ(deepest, 1);
        EXPECT_FALSE(isLinkFailure(inner)) << inner;
        // The new attempt runs its course: the receiver answers and is
        // connected, not left pending.
        EXPECT_TRUE(runUntil([&] { return model().IsConnected() == 1 && model().IsPending() == 0; })) << state();
        EXPECT_EQ(eventsLike("ConnState").back(), "ConnState 0 1000");
        // A live connection: a setter goes out, a later connect is a
        // reconnect again.
        model().wire.clear();
        EXPECT_EQ(drv->put_RxMod(0, ModAM), S_OK);
        EXPECT_EQ(model().wire, std::vector<std::string>{"M0"});
        sink.onEvent = nullptr;
        connectAndAnswer();
        EXPECT_EQ(rxConnect(0), ConnectNoError);
        EXPECT_EQ(eventsLike("ConnState").back(), "ConnState 0 1001");
    }
}

TEST_P(LinkPollingTest, AClientMayDisconnectFromInsideEveryEvent)
{
    const auto cases = insideEventCases();
    for (const auto& c : cases) {
        SCOPED_TRACE("disconnect inside " + c.event);
        load();
        sink.events.clear();
        reply = kStatus;
        int acted = 0;
        int depth = 0;
        int deepest = 0;
        ConnErr inner = ConnectLnAnyError;
        std::size_t statesAfter = 0;
        sink.onEvent = [&](const std::string& e) {
            if (e.rfind(c.event, 0) != 0 || depth > 8 || (acted > 0 && depth == 0)) {
                return;
            }
            ++acted;
            ++depth;
            deepest = std::max(deepest, depth);
            inner = rxConnect(0);
            statesAfter = eventsLike("ConnState").size();
            --depth;
        };
        c.provoke();
        ASSERT_TRUE(runUntil([&] { return acted > 0; })) << state();
        EXPECT_EQ(deepest, 1);
        EXPECT_EQ(inner, ConnectNoError);
        // Closed, and it stays so: nothing the receiver still sends revives
        // the old connection.
        reply = kStatus;
        peer->send(kStatus);
        ASSERT_TRUE(runTicks(4)) << state();
        EXPECT_EQ(model().IsConnected(), 0) << state();
        EXPECT_EQ(model().IsPending(), 0);
        EXPECT_EQ(model().IsLinkOpen(), 0);
        EXPECT_EQ(eventsLike("ConnState").size(), statesAfter) << state();
        // The client connects again as usual.
        sink.onEvent = nullptr;
        connectAndAnswer();
        ASSERT_TRUE(runUntil([&] { return seen("Agc 0 1 0"); })) << state();
        EXPECT_EQ(rxConnect(0), ConnectNoError);
    }
}

TEST_P(LinkPollingTest, AClientMayReconnectOrDisconnectWhenTheFarEndGoesAway)
{
    for (const bool reconnect : {true, false}) {
        SCOPED_TRACE(reconnect ? "reconnect" : "disconnect");
        if (pty && !reconnect) {
            pty = std::make_unique<PtyPeer>();
            ASSERT_TRUE(pty->ok());
            peer = pty.get();
            peer->answer = [this](const std::string&) { return reply; };
            temp.store().writeText(kPortsKey, "3", pty->device());
        }
        load();
        sink.events.clear();
        reply = kStatus;
        connectAndAnswer();
        int acted = 0;
        ConnErr inner = ConnectLnAnyError;
        sink.onEvent = [&](const std::string& e) {
            if (acted == 0 && e.rfind("ConnState 0 ", 0) == 0 && e != "ConnState 0 1000") {
                ++acted;
                inner = rxConnect(reconnect ? 1 : 0);
            }
        };
        peer->hangUp();
        ASSERT_TRUE(runUntil([&] { return acted > 0; })) << state();
        if (reconnect && tcp) {
            // The listener takes the new connection, which answers.
            EXPECT_EQ(inner, ConnectRxComPending);
            EXPECT_TRUE(runUntil([&] { return model().IsConnected() == 1 && model().IsPending() == 0; })) << state();
        } else {
            // The pty is gone: the new attempt fails and is reported, or the
            // client closed the receiver itself.
            ASSERT_TRUE(runTicks(3)) << state();
            EXPECT_EQ(model().IsConnected(), 0);
            EXPECT_EQ(model().IsPending(), 0) << state();
            EXPECT_EQ(model().IsLinkOpen(), 0);
        }
        sink.onEvent = nullptr;
    }
}

// A client that retries at once, inside the report of a failed open: the
// retry does not nest (it is answered "pending" while the failure is being
// reported), and the receiver is not left stuck.
TEST_P(LinkPollingTest, ARetryInsideTheReportOfAFailedOpenDoesNotNest)
{
    const std::string key = instanceKey("Poll", "Rx");
    if (pty) {
        temp.store().writeText(kPortsKey, "1", (std::filesystem::path(temp.dir()) / "ttyGone").string());
        temp.store().writeNumber(key, "S_Port", 1);
    } else {
        temp.store().writeNumber(key, "T_Port", closedTcpPort());
    }
    load();
    const ConnErr expected = pty ? ConnectLnBadAddr : ConnectLnOpnError;
    for (const bool retry : {true, false}) {
        SCOPED_TRACE(retry ? "retry" : "disconnect");
        sink.events.clear();
        int depth = 0;
        int deepest = 0;
        std::vector<ConnErr> inner;
        sink.onEvent = [&](const std::string& e) {
            if (e.rfind("ConnState 0 ", 0) != 0 || depth > 50) {
                return;
            }
            ++depth;
            deepest = std::max(deepest, depth);
            inner.push_back(rxConnect(retry ? 1 : 0));
            --depth;
        };
        EXPECT_EQ(rxConnect(1), expected);
        EXPECT_EQ(deepest, 1);
        EXPECT_EQ(sink.events, std::vector<std::string>{"ConnState 0 " + std::to_string(expected)});
        EXPECT_EQ(inner, std::vector<ConnErr>{retry ? ConnectRxComPending : ConnectNoError});
        EXPECT_EQ(model().IsPending(), 0);
        EXPECT_EQ(model().IsLinkOpen(), 0);
        EXPECT_EQ(model().TimerId(), 0u);
        // The next attempt, once the report has returned, runs again.
        sink.onEvent = nullptr;
        EXPECT_EQ(rxConnect(1), expected);
        EXPECT_EQ(sink.events.size(), 2u);
    }
    // A client that retries from a timer of its own is served each time.
    int retries = 0;
    sink.events.clear();
    sink.onEvent = [&](const std::string&) {
        if (++retries < 5) {
            QTimer::singleShot(0, [&] { rxConnect(1); });
        }
    };
    EXPECT_EQ(rxConnect(1), expected);
    ASSERT_TRUE(runUntil([&] { return sink.events.size() >= 5; }));
    sink.onEvent = nullptr;
}

INSTANTIATE_TEST_SUITE_P(Links, LinkPollingTest, ::testing::Values(Link::Serial, Link::Tcp), linkName);

// The same cycle with the receiver behind ser2net: connection, every field,
// frame errors, silence, a new connection and the close, as on the pty.
using Ser2netPollingTest = LinkPollingTest;

TEST_P(Ser2netPollingTest, TheCycleRunsAsOnTheSerialLink)
{
    EXPECT_EQ(rxConnect(1), ConnectRxComPending);
    ASSERT_TRUE(runUntil([&] { return seen("Agc 0 1 0"); }, 6000)) << proxy->output();
    EXPECT_EQ(peer->requests.front(), "I");
    EXPECT_EQ(sink.events, (std::vector<std::string>{"ConnState 0 1000", "Frq 0 7000000 7000000", "Mod 0 3 0",
                                                     "Flt 0 2400", "Agc 0 1 0"}));

    reply = "??\r";
    ASSERT_TRUE(runUntil([&] { return eventsLike("DataError").size() >= 3; }));
    EXPECT_EQ(eventsLike("DataError").front(), "DataError 0 1031");

    reply.clear();
    ASSERT_TRUE(runUntil([&] { return seen("ConnState 0 1021"); }));
    EXPECT_EQ(model().ticks - model().ticksAtData, kSilentTicks + 1);

    reply = kStatus;
    connectAndAnswer();
    EXPECT_EQ(rxConnect(0), ConnectNoError);
    EXPECT_EQ(eventsLike("ConnState"), (std::vector<std::string>{"ConnState 0 1000", "ConnState 0 1021",
                                                                 "ConnState 0 1000", "ConnState 0 1001"}));
}

INSTANTIATE_TEST_SUITE_P(Links, Ser2netPollingTest, ::testing::Values(Link::Ser2net), linkName);

// Two receivers on two ptys, one configuration: each has its own timer and
// silence count, and the events carry each one's index.
TEST(TwoReceivers, KeepTheirOwnCycles)
{
    TempStore temp;
    PtyPeer first;
    PtyPeer second;
    ASSERT_TRUE(first.ok() && second.ok());
    std::string firstReply = kStatus;
    std::string secondReply = "F9000000\r";
    first.answer = [&](const std::string&) { return firstReply; };
    second.answer = [&](const std::string&) { return secondReply; };
    int port = 4;
    for (const auto& [name, peer] : {std::pair{"A", &first}, std::pair{"B", &second}}) {
        const std::string key = instanceKey("Pair", name);
        temp.addInstance("Pair", name, DrvNRD535);
        temp.store().writeNumber(key, "C_Wait", kPollMs);
        temp.store().writeNumber(key, "C_Retr", kSilentTicks);
        temp.store().writeNumber(key, "X_Wire", 1);
        temp.store().writeText(kPortsKey, std::to_string(port), peer->device());
        temp.store().writeNumber(key, "S_Port", port++);
        temp.store().writeNumber(key, "S_TestLink", 0);
    }
    auto drv = loadDriver();
    ASSERT_NE(drv, nullptr);
    RecordingSink sink;
    std::uint32_t cookie = 0;
    ASSERT_EQ(drv->Advise(&sink, &cookie), S_OK);
    std::int32_t loaded = 0;
    ASSERT_EQ(drv->DrvConfigure("Pair", ConfLoad, &loaded), S_OK);
    ASSERT_EQ(loaded, 1);
    auto seen = [&](const std::string& event) {
        return std::find(sink.events.begin(), sink.events.end(), event) != sink.events.end();
    };
    auto runUntil = [&](const std::function<bool()>& done) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 4000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            first.pump();
            second.pump();
            if (done()) {
                return true;
            }
            first.idle(2);
        }
        return false;
    };

    const auto timersBefore = TimerRegistry::instance().count();
    ConnErr result = ConnectLnAnyError;
    ASSERT_EQ(drv->RxConnect(0, 1, &result), S_OK);
    EXPECT_EQ(result, ConnectRxComPending);
    ASSERT_EQ(drv->RxConnect(1, 1, &result), S_OK);
    EXPECT_EQ(result, ConnectRxComPending);
    EXPECT_EQ(TimerRegistry::instance().count(), timersBefore + 2);
    ASSERT_TRUE(runUntil([&] { return seen("Agc 0 1 0") && seen("Frq 1 9000000 9000000"); }));

    secondReply.clear();
    ASSERT_TRUE(runUntil([&] { return seen("ConnState 1 1021"); }));
    const auto requestsBefore = first.requests.size();
    ASSERT_TRUE(runUntil([&] { return first.requests.size() >= requestsBefore + 3; }));
    std::int32_t connected = 0;
    ASSERT_EQ(drv->get_RxIsConnected(0, &connected), S_OK);
    EXPECT_EQ(connected, 1);
    ASSERT_EQ(drv->get_RxIsConnected(1, &connected), S_OK);
    EXPECT_EQ(connected, 0);
    std::vector<std::string> states;
    std::copy_if(sink.events.begin(), sink.events.end(), std::back_inserter(states),
                 [](const std::string& e) { return e.rfind("ConnState", 0) == 0; });
    std::sort(states.begin(), states.end());
    EXPECT_EQ(states, (std::vector<std::string>{"ConnState 0 1000", "ConnState 1 1000", "ConnState 1 1021"}));
    drv->Unadvise(cookie);
}

// The library installs its link dialogs when the driver is created; in a
// program with only a core application (this one, the headless tool) they
// must show nothing, and the channel's configuration ends as cancelled.
TEST(LinkDialogsInTheLibrary, AreInstalledButShowNothingWithoutAWidgetApplication)
{
    TempStore temp;
    temp.addInstance("Dlg", "Rx", DrvNRD535);
    temp.store().writeNumber(instanceKey("Dlg", "Rx"), "C_Type", 1);
    auto drv = loadDriver();
    ASSERT_NE(drv, nullptr);
    std::int32_t result = 0;
    ASSERT_EQ(drv->DrvConfigure("Dlg", ConfLoad, &result), S_OK);
    ASSERT_EQ(result, 1);
    const LinkDialogs* dialogs = linkDialogs();
    ASSERT_NE(dialogs, nullptr);
    ASSERT_NE(dialogs->selectChannel, nullptr);
    auto* inst = static_cast<ReceiverDriver*>(drv.get())->Manager().Instance(0);
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->receiver->RxConfigureLink("Rx"), 0);
    EXPECT_EQ(temp.store().readNumber(instanceKey("Dlg", "Rx"), "C_Type"), 1);
    CommChannel::Type type = CommChannel::SerialType;
    EXPECT_FALSE(dialogs->selectChannel(type));
    EXPECT_EQ(type, CommChannel::SerialType);
}

}  // namespace
}  // namespace quorvin::test
