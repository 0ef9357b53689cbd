// The TCP/IP link against real sockets on 127.0.0.1: the test listens and
// answers as the receiver (or a terminal server) would.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <unistd.h>

#include "driver/links/socketlink.h"
#include "platform/clock.h"
#include "testsupport.h"

using namespace quorvin;
using namespace linktest;

namespace {

class SocketTcp : public ::testing::Test {
protected:
    SocketTcp()
    {
        auto fixed = std::make_unique<FixedPinger>(echo);
        pinger = fixed.get();
        link = std::make_unique<SocketLink>(&owner, std::move(fixed));
        link->SetAddress("127.0.0.1");
        link->SetPort(listener.port());
        link->SetPingTest(false);
    }
    ~SocketTcp() override
    {
        if (peer >= 0) {
            ::close(peer);
        }
    }

    // Opens the link and accepts its connection.
    void connect()
    {
        ASSERT_TRUE(link->Open()) << link->lastError();
        peer = listener.accept();
        ASSERT_GE(peer, 0);
    }

    std::string readAtLeast(std::size_t n)
    {
        std::string data;
        for (int i = 0; i < 200 && data.size() < n; ++i) {
            data += link->Read(0);
        }
        return data;
    }

    int echo = 30;
    Listener listener;
    RecordingOwner owner;
    FixedPinger* pinger = nullptr;
    std::unique_ptr<SocketLink> link;
    int peer = -1;
};

TEST_F(SocketTcp, EveryByteValuePassesBothWaysUnchanged)
{
    connect();
    EXPECT_TRUE(link->IsOpen());
    const std::string bytes = allBytes();
    ASSERT_TRUE(link->Write(bytes, 0, 0));
    EXPECT_EQ(receiveExactly(peer, bytes.size()), bytes);
    sendAll(peer, bytes);
    EXPECT_EQ(readAtLeast(bytes.size()), bytes);
    EXPECT_EQ(link->lastError(), LinkOk);
}

TEST_F(SocketTcp, LatencyComesFromTheEchoToTheResolvedAddress)
{
    connect();
    EXPECT_EQ(pinger->calls, 1);
    EXPECT_EQ(pinger->lastAddress, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(link->latency(), 30);
}

TEST_F(SocketTcp, HostNameIsResolved)
{
    std::uint32_t address = 0;
    ASSERT_TRUE(SocketLink::resolve("localhost", address));
    EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
    ASSERT_TRUE(SocketLink::resolve("127.0.0.1", address));
    EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
    EXPECT_FALSE(SocketLink::resolve("", address));

    link->SetAddress("localhost");
    connect();
    EXPECT_TRUE(link->IsOpen());

    link->SetAddress("");
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(mapLinkError(link->lastError()), ConnectLnBadAddr);
}

TEST_F(SocketTcp, RefusedPortFailsTheOpen)
{
    link->SetPort(unusedPort());
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(mapLinkError(link->lastError()), ConnectLnOpnError);
    EXPECT_FALSE(link->IsOpen());
}

TEST_F(SocketTcp, PingTestFailsBeforeAnyConnectWhenNoEchoCame)
{
    FixedPinger* silent = nullptr;
    auto fixed = std::make_unique<FixedPinger>(-1);
    silent = fixed.get();
    SocketLink quiet(&owner, std::move(fixed));
    quiet.SetPort(listener.port());
    EXPECT_FALSE(quiet.Open());
    EXPECT_EQ(mapLinkError(quiet.lastError()), ConnectLnLoopError);
    EXPECT_EQ(silent->calls, 1);
    EXPECT_EQ(listener.accept(50), -1) << "nothing connected";

    quiet.SetPingTest(false);
    EXPECT_TRUE(quiet.Open()) << "with the test off the connect is tried";
    EXPECT_EQ(quiet.latency(), -1);
}

TEST_F(SocketTcp, SilentReceiverGivesAnEmptyReadAndTimeOut)
{
    connect();
    EXPECT_EQ(link->Read(0), "");
    EXPECT_EQ(mapLinkError(link->lastError()), ConnectLnTimeOut);
    EXPECT_TRUE(link->IsOpen());
}

TEST_F(SocketTcp, PeerClosingKeepsWhatItSentThenReportsClosed)
{
    connect();
    sendAll(peer, std::string("last\x00words", 10));
    ::close(peer);
    peer = -1;
    std::string got;
    for (int i = 0; i < 200 && got.size() < 10; ++i) {
        got += link->Read(0);
    }
    EXPECT_EQ(got, std::string("last\x00words", 10));
    processEventsUntil([&] { return !link->IsOpen(); });
    EXPECT_FALSE(link->IsOpen());
    EXPECT_EQ(link->Read(0), "");
    EXPECT_EQ(mapLinkError(link->lastError()), ConnectLnClosed);
    EXPECT_FALSE(link->Write("x", 0, 0));
    EXPECT_EQ(mapLinkError(link->lastError()), ConnectLnClosed);
}

TEST_F(SocketTcp, ConnectWaitRunsItsCountedStepsWhenNobodyAnswers)
{
    // A listener with a full queue lets further connects hang unanswered.
    Listener full(0);
    SocketLink first(&owner, std::make_unique<FixedPinger>(-1));
    first.SetPingTest(false);
    first.SetPort(full.port());
    ASSERT_TRUE(first.Open());

    struct Case {
        int echo, delay, steps;
    };
    for (const Case c : {Case{-1, 7, 57}, Case{30, 7, 60}, Case{125, 0, 62}}) {
        SocketLink hanging(&owner, std::make_unique<FixedPinger>(c.echo));
        hanging.SetPingTest(false);
        hanging.SetPort(full.port());
        hanging.SetConnectWait(c.delay);
        platform::FakeTimeGuard fake;
        EXPECT_FALSE(hanging.Open());
        EXPECT_EQ(mapLinkError(hanging.lastError()), ConnectLnTimeOut);
        EXPECT_EQ(fake.time.m_sleeps, static_cast<std::uint64_t>(c.steps)) << c.echo << " " << c.delay;
        EXPECT_EQ(fake.time.m_slept, static_cast<std::uint64_t>(c.steps) * 10u);
        EXPECT_FALSE(hanging.IsOpen());
    }
}

TEST_F(SocketTcp, ReadsWaitTheirFullCount)
{
    connect();
    sendAll(peer, "early");
    platform::FakeTimeGuard fake;
    EXPECT_EQ(link->Read(400), "early");
    EXPECT_EQ(fake.time.m_sleeps, 453u) << "400 steps + 50 + a tenth of 30 ms latency";
    EXPECT_EQ(fake.time.m_slept, 4530u);

    fake.time.m_sleeps = 0;
    EXPECT_EQ(link->Read(0), "");
    EXPECT_EQ(fake.time.m_sleeps, 1u) << "a read without delay is one step";
}

TEST_F(SocketTcp, ReadThatKnowsItsReplyEndsWhenTheReplyIsWhole)
{
    connect();
    AnsweringTime time;
    // The receiver answers during the fifth step; the read ends once a step
    // has delivered it, far below its 453 steps.
    time.answerAt(5, [&] { sendAll(peer, "FRQ 12345\r"); });
    EXPECT_EQ(link->Read(400, lineEnded()), "FRQ 12345\r");
    EXPECT_EQ(link->lastError(), LinkOk);
    EXPECT_GE(time.m_sleeps, 5u);
    EXPECT_LT(time.m_sleeps, 453u);

    // What comes after the read ended is the next read's.
    sendAll(peer, "FRQ 7\r");
    EXPECT_EQ(readAtLeast(6), "FRQ 7\r");

    // A reply that came before the read ends it at its first whole look.
    sendAll(peer, "Q1\r");
    time.m_sleeps = 0;
    EXPECT_EQ(link->Read(400, lineEnded()), "Q1\r");
    EXPECT_LT(time.m_sleeps, 453u);
}

TEST_F(SocketTcp, ReadWhoseReplyStaysIncompleteRunsItsFullCount)
{
    connect();
    sendAll(peer, "FRQ 12");
    platform::FakeTimeGuard fake;
    EXPECT_EQ(link->Read(40, lineEnded()), "FRQ 12");
    EXPECT_EQ(fake.time.m_sleeps, 93u) << "40 steps + 50 + a tenth of 30 ms latency";
    EXPECT_EQ(link->lastError(), LinkOk);

    fake.time.m_sleeps = 0;
    EXPECT_EQ(link->Read(40, lineEnded()), "");
    EXPECT_EQ(fake.time.m_sleeps, 93u);
    EXPECT_EQ(link->lastError(), LinkTimeOut);

    sendAll(peer, "345\r");
    std::string rest;
    for (int i = 0; i < 100 && rest.empty(); ++i) {
        rest = link->Read(40, lineEnded());
    }
    EXPECT_EQ(rest, "345\r");
}

TEST_F(SocketTcp, PeerHangingUpEndsTheWaitAtOnce)
{
    // Nothing more can arrive once the far end has gone: a read ends there
    // with what came before, or with the link closed, whether or not it
    // knows its reply's shape.
    for (const bool withCheck : {false, true}) {
        SCOPED_TRACE(withCheck ? "with a completeness check" : "without one");
        connect();
        AnsweringTime time;
        time.answerAt(5, [&] {
            sendAll(peer, "FRQ 12");
            ::close(peer);
            peer = -1;
        });
        EXPECT_EQ(link->Read(400, withCheck ? lineEnded() : ReplyComplete{}), "FRQ 12");
        EXPECT_EQ(link->lastError(), LinkOk);
        EXPECT_LT(time.m_sleeps, 453u);

        ASSERT_TRUE(link->Open()) << link->lastError();
        peer = listener.accept();
        ASSERT_GE(peer, 0);
        time.m_sleeps = 0;
        time.answerAt(5, [&] {
            ::close(peer);
            peer = -1;
        });
        EXPECT_EQ(link->Read(400, withCheck ? lineEnded() : ReplyComplete{}), "");
        EXPECT_EQ(mapLinkError(link->lastError()), ConnectLnClosed);
        EXPECT_LT(time.m_sleeps, 453u);
        link->Close();
    }
}

TEST_F(SocketTcp, PerCharacterDelaySendsByteByByte)
{
    connect();
    platform::FakeTimeGuard fake;
    ASSERT_TRUE(link->Write(std::string("\xFE\x00\x11", 3), 15, 40));
    EXPECT_EQ(fake.time.m_slept, 3u * 15u + 40u);
    EXPECT_EQ(receiveExactly(peer, 3), std::string("\xFE\x00\x11", 3));
}

TEST_F(SocketTcp, ArrivalsAreAnnouncedOnlyWithNotificationOn)
{
    connect();
    sendAll(peer, "one");
    processEventsUntil([] { return false; }, 50);
    EXPECT_TRUE(owner.calls.empty());
    EXPECT_EQ(readAtLeast(3), "one");

    link->SetEventMode(true);
    sendAll(peer, "two");
    ASSERT_TRUE(processEventsUntil([&] { return !owner.calls.empty(); }));
    EXPECT_EQ(owner.calls, std::vector<bool>{true});
    EXPECT_EQ(readAtLeast(3), "two");
}

TEST_F(SocketTcp, BytesTakenByAWaitingReadAreNotAnnouncedAgain)
{
    connect();
    link->SetEventMode(true);
    QCoreApplication::processEvents();
    // The answer arrives while the driver waits in its own read: the read
    // takes it, and no stale notification follows.
    sendAll(peer, "answer");
    EXPECT_EQ(link->Read(5), "answer");
    processEventsUntil([] { return false; }, 50);
    EXPECT_TRUE(owner.calls.empty());
}

TEST_F(SocketTcp, NoControlFailsEverythingWithObjectError)
{
    SocketLink bare(&owner, nullptr, false);
    EXPECT_FALSE(bare.Open());
    EXPECT_EQ(mapLinkError(bare.lastError()), ConnectObjectError);
    EXPECT_FALSE(bare.Write("x", 0, 0));
    EXPECT_EQ(bare.Read(0), "");
    EXPECT_EQ(bare.lastError(), LinkNoControl);
    EXPECT_FALSE(bare.Close());
}

TEST_F(SocketTcp, ReopenReplacesTheConnection)
{
    connect();
    ASSERT_TRUE(link->Open());
    const int second = listener.accept();
    ASSERT_GE(second, 0);
    sendAll(second, "new");
    EXPECT_EQ(readAtLeast(3), "new");
    ::close(second);
    ASSERT_TRUE(link->Close());
    EXPECT_FALSE(link->IsOpen());
    EXPECT_TRUE(link->Close());
}

TEST(IcmpEcho, LoopbackAnswersWhenEchoesArePermitted)
{
    if (!IcmpPinger::echoPermitted()) {
        GTEST_SKIP() << "ICMP echo is not permitted here (no ping group, no raw sockets)";
    }
    IcmpPinger pinger;
    EXPECT_GE(pinger.ping(htonl(INADDR_LOOPBACK)), 1);

    // The ping test of a real link passes against 127.0.0.1.
    Listener listener;
    RecordingOwner owner;
    SocketLink link(&owner, std::make_unique<IcmpPinger>());
    link.SetPort(listener.port());
    ASSERT_EQ(link.pingTest(), 1);
    ASSERT_TRUE(link.Open()) << link.lastError();
    EXPECT_GE(link.latency(), 1);
}

TEST(IcmpEcho, NoEchoMeansMinusOne)
{
    if (IcmpPinger::echoPermitted()) {
        GTEST_SKIP() << "echoes are permitted here; the refusal path is not reachable";
    }
    IcmpPinger pinger;
    EXPECT_EQ(pinger.ping(htonl(INADDR_LOOPBACK)), -1);
}

}  // namespace
