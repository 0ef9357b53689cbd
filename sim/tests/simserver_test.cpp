// The serving core over real pseudo-terminals and real TCP sockets on
// 127.0.0.1: frames in, answers out, shared lines, reconnecting clients and
// every fault switch.
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "nrd535sim.h"
#include "ra1792sim.h"
#include "simserver.h"
#include "simtestclient.h"

using simtest::Client;
using simtest::waitFor;

namespace {

sim::SimLine lineOf(const std::string& text, sim::ModelOptions options = {})
{
    sim::LineConfig config;
    std::string error;
    EXPECT_TRUE(sim::parseLineConfig(text, config, error)) << error;
    return sim::SimLine::fromConfig(config, options);
}

// Collects the trace of a server for tests that must know a frame was handled.
struct TraceLog {
    std::mutex mutex;
    std::vector<std::string> lines;
    sim::SimServer::TraceSink sink()
    {
        return [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(line);
        };
    }
    bool contains(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& line : lines) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace

TEST(SimServerTcp, AnswersAndKeepsStateAcrossClientsInSequence)
{
    sim::SimServer server(lineOf("NRD535"), "NRD535");
    std::string error;
    ASSERT_TRUE(server.listenTcp(0, &error)) << error;
    ASSERT_NE(server.port(), 0);
    EXPECT_EQ(server.endpoint(), "127.0.0.1:" + std::to_string(server.port()));
    ASSERT_TRUE(server.start());
    {
        Client c = Client::tcp(server.port());
        ASSERT_TRUE(c.isOpen());
        c.send("?\r");
        EXPECT_EQ(c.readLines('\r', 1), "NRD-535\r");
        c.send("H1\rF01234567\rH0\r");
        // Half a command, then the client leaves.
        c.send("I");
    }
    ASSERT_TRUE(waitFor([&] { return !server.hasClient(); }));
    Client c = Client::tcp(server.port());
    ASSERT_TRUE(c.isOpen());
    c.send("\rI\r");  // the old half command is forgotten: one record only
    EXPECT_EQ(c.readLines('\r', 1), "I014012345671\r");
    EXPECT_FALSE(c.hasData());
    EXPECT_EQ(server.connections(), 2);
    EXPECT_EQ(server.withLine([](sim::SimLine& line) { return line.as<sim::Nrd535Sim>()->state().frequency; }),
              1234567);
}

TEST(SimServerTcp, NewClientTakesTheLineOver)
{
    sim::SimServer server(lineOf("RA1792"));
    ASSERT_TRUE(server.listenTcp(0));
    server.start();
    Client first = Client::tcp(server.port());
    ASSERT_TRUE(waitFor([&] { return server.connections() == 1; }));
    Client second = Client::tcp(server.port());
    first.read(1, 3000);
    EXPECT_TRUE(first.closed);
    second.send("$01G\r\n");
    EXPECT_EQ(second.readLines('\n', 1), "F7.050000D6I3M1X0\r\n");
}

TEST(SimServerTcp, CreateInOneCall)
{
    std::string error;
    for (const sim::SimModel& model : sim::simModels()) {
        if (!model.create) {
            EXPECT_EQ(sim::SimServer::create(model.name, sim::SimServer::Tcp, 0, &error), nullptr);
            EXPECT_NE(error.find("no simulator yet"), std::string::npos) << error;
        }
    }
    EXPECT_EQ(sim::SimServer::create("XYZ1", sim::SimServer::Tcp, 0, &error), nullptr);
    EXPECT_NE(error.find("unknown model"), std::string::npos) << error;
    auto server = sim::SimServer::create("RA1792:9", sim::SimServer::Tcp, 0, &error);
    ASSERT_NE(server, nullptr) << error;
    EXPECT_TRUE(server->isRunning());
    Client c = Client::tcp(server->port());
    c.send("$09G\r\n");
    EXPECT_EQ(c.readLines('\n', 1), "F7.050000D6I3M1X0\r\n");
}

TEST(SimServerTcp, TwoAddressesShareOneLine)
{
    auto line = lineOf("RA1792:1+RA1792:2");
    line.as<sim::Ra1792Sim>(1)->state().frequency = 21000000;
    sim::SimServer server(std::move(line));
    ASSERT_TRUE(server.listenTcp(0));
    server.start();
    Client c = Client::tcp(server.port());
    c.send("?\r\n$02G\r\n$01G\r\n$03G\r\n");
    const std::string replies = c.readLines('\n', 3);
    EXPECT_EQ(replies, "BUSLINK V2.03\r\nF21.000000D6I3M1X0\r\nF7.050000D6I3M1X0\r\n");
}

TEST(SimServerTcp, PortInUseIsReported)
{
    sim::SimServer first(lineOf("NRD535"));
    ASSERT_TRUE(first.listenTcp(0));
    sim::SimServer second(lineOf("NRD535"));
    std::string error;
    EXPECT_FALSE(second.listenTcp(first.port(), &error));
    EXPECT_NE(error.find("127.0.0.1:" + std::to_string(first.port())), std::string::npos) << error;
}

TEST(SimServerPty, ServesRawBytesAndSurvivesReopen)
{
    sim::SimServer server(lineOf("NRD535"));
    std::string error;
    ASSERT_TRUE(server.openPty(&error)) << error;
    EXPECT_EQ(server.endpoint().rfind("/dev/", 0), 0u) << server.endpoint();
    sim::FaultPlan plan;
    plan.garbageAfter = 1;
    plan.garbageBytes = std::string("\x00\x7f\x80\xff\r\n", 6);
    server.setFaults(plan);
    server.start();
    {
        Client c = Client::device(server.devicePath());
        ASSERT_TRUE(c.isOpen());
        c.send("?\r");
        EXPECT_EQ(c.readLines('\r', 1), "NRD-535\r");
        // Every byte value passes the raw line unchanged (no CR/LF mapping).
        c.send("Q\r");
        EXPECT_EQ(c.read(6), std::string("\x00\x7f\x80\xff\r\n", 6));
    }
    server.setFaults({});
    for (int round = 0; round < 2; ++round) {
        Client c = Client::device(server.devicePath());
        ASSERT_TRUE(c.isOpen());
        c.send("N\r");
        EXPECT_EQ(c.readLines('\r', 1), "N0\r");
    }
}

TEST(SimServerPty, StepServesInTheCallersThread)
{
    sim::SimServer server(lineOf("RA1792:12"));
    ASSERT_TRUE(server.openPty());
    Client c = Client::device(server.devicePath());
    c.send("$12G\r\n");
    std::string got;
    for (int i = 0; i < 200 && got.find('\n') == std::string::npos; ++i) {
        server.step(10);
        if (c.hasData()) {
            got += c.read(64, 100);
        }
    }
    EXPECT_EQ(got, "F7.050000D6I3M1X0\r\n");
}

TEST(SimServerFaults, SilenceAfterN)
{
    TraceLog log;
    sim::SimServer server(lineOf("NRD535"));
    server.setTrace(log.sink());
    ASSERT_TRUE(server.listenTcp(0));
    sim::FaultPlan plan;
    plan.silenceAfter = 1;
    server.setFaults(plan);
    server.start();
    Client c = Client::tcp(server.port());
    c.send("?\r");
    EXPECT_EQ(c.readLines('\r', 1), "NRD-535\r");
    c.send("I\r");
    ASSERT_TRUE(waitFor([&] { return log.contains("(silent)"); }));
    EXPECT_FALSE(c.hasData());
    EXPECT_EQ(server.repliesSent(), 1);
}

TEST(SimServerFaults, GarbageAndTruncation)
{
    sim::SimServer server(lineOf("NRD535"));
    ASSERT_TRUE(server.listenTcp(0));
    sim::FaultPlan plan;
    plan.garbageAfter = 1;
    server.setFaults(plan);
    server.start();
    Client c = Client::tcp(server.port());
    c.send("?\rI\r");
    const std::string got = c.readLines('\r', 2);
    ASSERT_EQ(got.size(), 8u + 14u);
    EXPECT_EQ(got.substr(0, 8), "NRD-535\r");
    EXPECT_NE(got.substr(8), "I01409650000"
                             "1\r");
    EXPECT_EQ(got.back(), '\r');

    plan = sim::FaultPlan{};
    plan.truncateAfter = 0;
    plan.truncateTo = 3;
    server.setFaults(plan);
    c.send("I\rQ\r?\r");
    EXPECT_EQ(c.read(7), "I01Q0NR");
}

TEST(SimServerFaults, ADroppedCommandNeverReachesTheReceiver)
{
    TraceLog log;
    sim::SimServer server(lineOf("NRD535"));
    server.setTrace(log.sink());
    ASSERT_TRUE(server.listenTcp(0));
    sim::FaultPlan plan;
    plan.dropCommand = "F07100000\r";
    plan.dropCount = 1;
    server.setFaults(plan);
    server.start();
    Client c = Client::tcp(server.port());
    const auto frequency = [&] {
        return server.withLine([](sim::SimLine& line) { return line.as<sim::Nrd535Sim>()->state().frequency; });
    };
    const std::int32_t before = frequency();
    c.send("H1\r");  // remote: the receiver takes settings
    // Sent in two pieces: the second completes the command to drop.
    c.send("F071");
    c.send("00000\r?\r");
    EXPECT_EQ(c.readLines('\r', 1), "NRD-535\r");
    EXPECT_TRUE(log.contains("(command dropped)"));
    EXPECT_EQ(frequency(), before);
    // Only the next one: sent again, it arrives.
    c.send("F07100000\r?\r");
    EXPECT_EQ(c.readLines('\r', 1), "NRD-535\r");
    EXPECT_EQ(frequency(), 7100000);
    // A start held back alone is released when nothing follows.
    plan.dropCommand = "F07200000\r";
    server.setFaults(plan);
    c.send("F07");
    c.send("150000\r?\r");
    EXPECT_EQ(c.readLines('\r', 1), "NRD-535\r");
    EXPECT_EQ(frequency(), 7150000);
}

TEST(SimServerFaults, HangUpClosesTheTcpClientAndTheNextClientIsServed)
{
    sim::SimServer server(lineOf("NRD535"));
    ASSERT_TRUE(server.listenTcp(0));
    sim::FaultPlan plan;
    plan.hangUpAfter = 1;
    server.setFaults(plan);
    server.start();
    {
        Client c = Client::tcp(server.port());
        c.send("?\r");
        EXPECT_EQ(c.readLines('\r', 1), "NRD-535\r");
        c.send("I\r");
        EXPECT_EQ(c.read(100), "");
        EXPECT_TRUE(c.closed);
    }
    Client next = Client::tcp(server.port());
    next.send("?\r");
    EXPECT_EQ(next.readLines('\r', 1), "NRD-535\r");
}

TEST(SimServerFaults, HangUpOnAPtyTakesTheDeviceAway)
{
    sim::SimServer server(lineOf("NRD535"));
    ASSERT_TRUE(server.openPty());
    sim::FaultPlan plan;
    plan.hangUpAfter = 0;
    server.setFaults(plan);
    server.start();
    Client c = Client::device(server.devicePath());
    ASSERT_TRUE(c.isOpen());
    c.send("?\r");
    EXPECT_EQ(c.read(100), "");
    EXPECT_TRUE(c.closed);
    EXPECT_TRUE(waitFor([&] { return server.isHungUp(); }));
}

TEST(SimServerFaults, AHungUpPtyComesBackUnderANewNameWithItsReceivers)
{
    sim::SimServer server(lineOf("NRD535"));
    ASSERT_TRUE(server.openPty());
    std::string error;
    EXPECT_FALSE(server.reopenPty(&error)) << "a pty still up is not reopened";
    sim::FaultPlan plan;
    plan.hangUpAfter = 0;
    server.setFaults(plan);
    server.start();
    const std::string first = server.devicePath();
    server.withLine([](sim::SimLine& line) { line.as<sim::Nrd535Sim>()->state().frequency = 7050000; });
    {
        Client c = Client::device(first);
        c.send("?\r");
        EXPECT_EQ(c.read(100), "");
        ASSERT_TRUE(waitFor([&] { return server.isHungUp(); }));
    }
    {
        // While it is hung up, its number stays taken: a pty another program
        // opens now gets another name, so a client opening the old name
        // never lands on it.
        const int other = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        char name[PATH_MAX] = {};
        ASSERT_EQ(::ptsname_r(other, name, sizeof name), 0);
        EXPECT_NE(std::string(name), first);
        ::close(other);
    }

    server.setFaults({});
    ASSERT_TRUE(server.reopenPty(&error)) << error;
    EXPECT_FALSE(server.isHungUp());
    Client c = Client::device(server.devicePath());
    ASSERT_TRUE(c.isOpen());
    c.send("?\r");
    EXPECT_EQ(c.readLines('\r', 1), "NRD-535\r");
    EXPECT_EQ(server.withLine([](sim::SimLine& line) { return line.as<sim::Nrd535Sim>()->state().frequency; }),
              7050000);

    sim::SimServer tcp(lineOf("NRD535"));
    ASSERT_TRUE(tcp.listenTcp(0));
    EXPECT_FALSE(tcp.reopenPty(&error)) << "a TCP line has no pty to reopen";
}

TEST(SimServerFaults, DelayHoldsRepliesBack)
{
    TraceLog log;
    sim::SimServer server(lineOf("NRD535"));
    server.setTrace(log.sink());
    ASSERT_TRUE(server.listenTcp(0));
    sim::FaultPlan plan;
    plan.delayMs = 60000;
    server.setFaults(plan);
    server.start();
    Client c = Client::tcp(server.port());
    c.send("?\r");
    ASSERT_TRUE(waitFor([&] { return log.contains("<- NRD-535"); }));
    EXPECT_FALSE(c.hasData());
    EXPECT_EQ(server.repliesSent(), 0);

    // A short delay still delivers, in order.
    plan.delayMs = 20;
    server.setFaults(plan);
    Client again = Client::tcp(server.port());
    again.send("?\rN\r");
    EXPECT_EQ(again.readLines('\r', 2), "NRD-535\rN0\r");
}
