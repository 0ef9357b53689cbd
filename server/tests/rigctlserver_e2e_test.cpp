// The network server end to end: the driver from libquorvin.so connected
// to simulated receivers, the server on a real TCP port of 127.0.0.1, and
// clients over real sockets — our own, and the reference client rigctl.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>

#include <sstream>

#include "driver/core/configstore.h"
#include "driver/links/serialports.h"
#include "e2esupport.h"
#include "nrd535sim.h"
#include "platform/numbers.h"
#include "platform/settingsstore.h"
#include "ra1792sim.h"
#include "rigctlserver.h"

namespace quorvin::e2e {
namespace {

// A protocol client on a QTcpSocket; its waits run the event loop, so the
// server (same thread) keeps serving.
class LineClient {
public:
    bool open(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        waitUntil(
            [&] {
                return m_socket.state() == QAbstractSocket::ConnectedState ||
                       m_socket.state() == QAbstractSocket::UnconnectedState;
            },
            10000);
        return m_socket.state() == QAbstractSocket::ConnectedState;
    }
    void send(const std::string& text) { m_socket.write(text.data(), static_cast<qint64>(text.size())); }
    // The next n reply lines; empty when they do not come within the time.
    std::vector<std::string> lines(std::size_t n, int timeoutMs = 20000)
    {
        waitUntil(
            [&] {
                take();
                return std::count(m_buffer.begin(), m_buffer.end(), '\n') >= static_cast<long>(n);
            },
            timeoutMs);
        std::vector<std::string> out;
        if (std::count(m_buffer.begin(), m_buffer.end(), '\n') < static_cast<long>(n)) {
            return out;  // too few: they stay for a later look
        }
        while (out.size() < n) {
            const auto eol = m_buffer.find('\n');
            out.push_back(m_buffer.substr(0, eol));
            m_buffer.erase(0, eol + 1);
        }
        return out;
    }
    std::string line(int timeoutMs = 20000)
    {
        const auto l = lines(1, timeoutMs);
        return l.empty() ? std::string("<no reply>") : l[0];
    }
    std::string ask(const std::string& command) { return send(command + "\n"), line(); }
    bool closedByPeer(int timeoutMs = 10000)
    {
        return waitUntil([&] { return take(), m_socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
    }
    std::string pending() { return take(), m_buffer; }
    void abort() { m_socket.abort(); }

private:
    void take()
    {
        const QByteArray bytes = m_socket.readAll();
        m_buffer.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    QTcpSocket m_socket;
    std::string m_buffer;
};

class ServerEndToEnd : public ModelFixture {
protected:
    void connectModel(const std::string& line, DrvType type)
    {
        startSim(line);
        configure(type, 0);
        ASSERT_EQ(connect(), ConnectNoError);
        ASSERT_TRUE(waitUntil([&] { return m_log.count("Agc") > 0 && m_log.count("Frq") > 0; }, 60000))
            << "no status after connect";
    }
    void serve(std::int16_t index = 0)
    {
        m_server = std::make_unique<server::RigctlServer>(m_drv.get(), index, QHostAddress::LocalHost, 0);
        QString error;
        ASSERT_TRUE(m_server->start(&error)) << error.toStdString();
        ASSERT_NE(m_server->port(), 0);
    }
    std::int32_t nrdFrequency()
    {
        return withSim<sim::Nrd535Sim>([](sim::Nrd535Sim& s) { return s.state().frequency; });
    }
    void TearDown() override { m_server.reset(); }

    std::unique_ptr<server::RigctlServer> m_server;
};

TEST_P(ServerEndToEnd, ClientSetsAndReadsBackThroughTheDriver)
{
    connectModel("NRD535", DrvNRD535);
    serve();
    LineClient c;
    ASSERT_TRUE(c.open(m_server->port()));
    EXPECT_EQ(c.ask("f"), "9650000");
    EXPECT_EQ(c.ask("F 7050000.000000"), "RPRT 0");
    // The receiver itself moved, and the ordinary event told every sink.
    EXPECT_EQ(nrdFrequency(), 7050000);
    EXPECT_TRUE(m_log.has("Frq", {7050000}));
    EXPECT_EQ(c.ask("f"), "7050000");

    c.send("M USB 2400\n");
    EXPECT_EQ(c.line(), "RPRT 0");
    EXPECT_TRUE(m_log.has("Mod", {ModUSB}));
    c.send("m\n");
    EXPECT_EQ(c.lines(2), (std::vector<std::string>{"USB", "2200"}));  // the nearest filter it has
    c.send("M AM 0\n");
    EXPECT_EQ(c.line(), "RPRT 0");
    c.send("m\n");
    EXPECT_EQ(c.lines(2), (std::vector<std::string>{"AM", "5500"}));

    const std::string strength = c.ask("l STRENGTH");
    EXPECT_TRUE(platform::parseInt(strength).has_value()) << strength;
    EXPECT_EQ(c.ask("L ATT 20"), "RPRT 0");
    EXPECT_EQ(withSim<sim::Nrd535Sim>([](sim::Nrd535Sim& s) { return s.state().attenuator; }), 1);
    EXPECT_EQ(c.ask("l ATT"), "20");
    EXPECT_EQ(c.ask("L AGC 3"), "RPRT 0");
    EXPECT_EQ(c.ask("l AGC"), "3");
    EXPECT_EQ(withSim<sim::Nrd535Sim>([](sim::Nrd535Sim& s) { return s.state().agc; }), 0);

    // A memory channel written through the driver, recalled by the client.
    RCODE rc = R_KO;
    ASSERT_EQ(m_drv->RxChnWrite(0, 5, 15400000, 0, ModAM, 5500, AgcFast, 0, &rc), S_OK);
    ASSERT_EQ(rc, R_OK);
    ASSERT_TRUE(waitUntil(
        [&] { return withSim<sim::Nrd535Sim>([](sim::Nrd535Sim& s) { return s.state().channels[5].has_value(); }); }));
    EXPECT_EQ(c.ask("E 5"), "RPRT 0");
    // Once the recall is answered, the client reads the channel's frequency
    // at once: the answer waited for the receiver's status, not just for
    // the channel number.
    EXPECT_EQ(c.ask("f"), "15400000");
    EXPECT_EQ(c.ask("e"), "5");
    EXPECT_TRUE(waitUntil([&] { return nrdFrequency() == 15400000; }));

    // What it lacks, and what makes no sense.
    EXPECT_EQ(c.ask("T 1"), "RPRT -11");
    EXPECT_EQ(c.ask("F 40000000"), "RPRT -1");
    EXPECT_EQ(c.ask("F seven"), "RPRT -1");
    EXPECT_EQ(c.ask("M WFM 0"), "RPRT -11");
    EXPECT_EQ(c.ask("L PREAMP 10"), "RPRT -11");
    EXPECT_EQ(c.ask("\\frobnicate"), "RPRT -4");
    EXPECT_EQ(c.ask("+f"), "get_freq:");
    EXPECT_EQ(c.lines(2), (std::vector<std::string>{"Frequency: 15400000", "RPRT 0"}));

    // A receiver that went away: the client hears it, nothing is pretended.
    EXPECT_EQ(disconnect(), ConnectNoError);
    EXPECT_EQ(c.ask("f"), "RPRT -6");
    EXPECT_EQ(c.ask("F 7000000"), "RPRT -6");
}

TEST_P(ServerEndToEnd, ClientsInterleaveAndAFaultyOneHarmsNobody)
{
    connectModel("NRD535", DrvNRD535);
    serve();
    LineClient a, b, rude, flood;
    ASSERT_TRUE(a.open(m_server->port()));
    ASSERT_TRUE(b.open(m_server->port()));
    ASSERT_TRUE(rude.open(m_server->port()));
    ASSERT_TRUE(flood.open(m_server->port()));
    ASSERT_TRUE(waitUntil([&] { return m_server->clientCount() == 4; }));

    // A tunes while B reads as fast as it can; neither sees the other's answers.
    std::string burst;
    for (int i = 0; i < 30; ++i) {
        burst += "f\nm\n";
    }
    b.send(burst);
    a.send("F 7050000\nf\nF 7060000\nf\nM LSB 0\nm\n");
    rude.send("F 70");  // and then it goes, mid-line
    rude.abort();
    flood.send(std::string(4096, 'x'));
    const auto aLines = a.lines(7);
    ASSERT_EQ(aLines.size(), 7u) << a.pending();
    EXPECT_EQ(aLines[0], "RPRT 0");
    EXPECT_EQ(aLines[1], "7050000");
    EXPECT_EQ(aLines[2], "RPRT 0");
    EXPECT_EQ(aLines[3], "7060000");
    EXPECT_EQ(aLines[4], "RPRT 0");
    EXPECT_EQ(aLines[5], "LSB");
    const auto bLines = b.lines(90);
    ASSERT_EQ(bLines.size(), 90u);
    for (std::size_t i = 0; i < bLines.size(); i += 3) {
        EXPECT_TRUE(platform::parseInt(bLines[i]).has_value()) << bLines[i];
        EXPECT_TRUE(bLines[i + 1] == "AM" || bLines[i + 1] == "LSB") << bLines[i + 1];
        EXPECT_TRUE(platform::parseInt(bLines[i + 2]).has_value()) << bLines[i + 2];
    }
    EXPECT_TRUE(flood.closedByPeer());
    EXPECT_EQ(flood.pending(), "RPRT -1\n");
    ASSERT_TRUE(waitUntil([&] { return m_server->clientCount() == 2; }));
    // The two good clients carry on; the receiver was never told "70".
    EXPECT_EQ(a.ask("f"), "7060000");
    EXPECT_EQ(b.ask("v"), "VFOA");
    EXPECT_EQ(nrdFrequency(), 7060000);
    a.send("q\n");
    EXPECT_TRUE(a.closedByPeer());
    EXPECT_EQ(b.ask("f"), "7060000");
}

TEST_P(ServerEndToEnd, ReceiverWithoutMeterOrAttenuator)
{
    connectModel("RA1792", DrvRA1792);
    // One receiver in the configuration: none at index 3 to serve (the
    // driver would answer for receiver 0 instead).
    server::RigctlServer nobody(m_drv.get(), 3, QHostAddress::LocalHost, 0);
    QString error;
    EXPECT_FALSE(nobody.start(&error));
    EXPECT_EQ(error.toStdString(), "there is no receiver 3 to serve");
    serve();
    LineClient c;
    ASSERT_TRUE(c.open(m_server->port()));
    EXPECT_EQ(c.ask("l STRENGTH"), "RPRT -11");
    EXPECT_EQ(c.ask("L ATT 10"), "RPRT -11");
    EXPECT_EQ(c.ask("e"), "RPRT -11");
    c.send("\\dump_state\nv\n");
    std::vector<std::string> dump;
    for (std::string l = c.line(); l != "VFOA" && l != "<no reply>"; l = c.line()) {
        dump.push_back(l);
    }
    ASSERT_GE(dump.size(), 22u);
    EXPECT_EQ(dump[0], "0");
    // AM CW USB LSB RTTY FM FAX; 5 kHz to 30 MHz.
    EXPECT_EQ(dump[3], "5000.000000 30000000.000000 0x803f -1 -1 0x1 0x1");
    EXPECT_EQ(dump[dump.size() - 4], "0x20000");  // readable levels: AGC only
    EXPECT_EQ(c.ask("F 10000000"), "RPRT 0");
    EXPECT_EQ(withSim<sim::Ra1792Sim>([](sim::Ra1792Sim& s) { return s.state().frequency; }), 10000000);
    c.send("M RTTY 0\n");
    EXPECT_EQ(c.line(), "RPRT 0");
    c.send("m\n");
    const auto mode = c.lines(2);
    ASSERT_EQ(mode.size(), 2u);
    EXPECT_EQ(mode[0], "RTTY");
}

TEST_P(ServerEndToEnd, ChangesThroughTheServerAreForwarded)
{
    // Two simulated NRD535 on two ptys; receiver 0 is the master.
    std::string error;
    auto second = sim::SimServer::create("NRD535", sim::SimServer::Pty, 0, &error);
    ASSERT_NE(second, nullptr) << error;
    connectModel("NRD535", DrvNRD535);
    auto& store = platform::SettingsStore::shared();
    const std::string key = instanceKey("E2E", "Rx2");
    store.writeNumber(key, "D_Type", DrvNRD535);
    store.writeNumber(key, "C_Wait", 150);
    store.writeNumber(key, "C_Retr", 10);
    store.writeText(kPortsKey, "4", second->devicePath());
    store.writeNumber(key, "C_Type", 0);
    store.writeNumber(key, "S_Port", 4);
    store.writeNumber(key, "S_TestLink", 0);
    std::int32_t count = 0;
    ASSERT_EQ(m_drv->DrvConfigure("E2E", ConfLoad, &count), S_OK);
    ConnErr result = ConnectObjectError;
    for (std::int16_t i = 0; i < 2; ++i) {
        ASSERT_EQ(m_drv->RxConnect(i, 1, &result), S_OK);
    }
    ASSERT_TRUE(waitUntil([&] { return m_log.has("Agc", {}) && m_log.count("ConnState") >= 3; }, 60000));
    ASSERT_TRUE(waitUntil(
        [&] {
            std::int32_t c0 = 0, c1 = 0;
            m_drv->get_RxIsConnected(0, &c0);
            m_drv->get_RxIsConnected(1, &c1);
            return c0 != 0 && c1 != 0;
        },
        60000));
    pump(500);
    ASSERT_EQ(m_drv->put_RxForward(0), S_OK);
    serve(0);
    LineClient c;
    ASSERT_TRUE(c.open(m_server->port()));
    EXPECT_EQ(c.ask("F 11800000"), "RPRT 0");
    EXPECT_TRUE(waitUntil([&] {
        return second->withLine([](sim::SimLine& line) { return line.as<sim::Nrd535Sim>()->state().frequency; }) ==
               11800000;
    }));
    m_server.reset();
    m_drv->RxConnect(1, 0, &result);
}

TEST_P(ServerEndToEnd, ClientLimitAndAClientGoneWhileItsChangeWaits)
{
    connectModel("NRD535", DrvNRD535);
    server::ServerLimits limits;
    limits.maxClients = 2;
    m_server = std::make_unique<server::RigctlServer>(m_drv.get(), 0, QHostAddress::LocalHost, 0, nullptr, limits);
    ASSERT_TRUE(m_server->start());
    LineClient a, b, c;
    ASSERT_TRUE(a.open(m_server->port()));
    ASSERT_TRUE(b.open(m_server->port()));
    ASSERT_TRUE(waitUntil([&] { return m_server->clientCount() == 2; }));
    c.open(m_server->port());
    EXPECT_TRUE(c.closedByPeer());  // one too many
    EXPECT_EQ(m_server->clientCount(), 2);

    // A asks for a change and goes before the receiver confirmed it.
    a.send("F 6100000\n");
    ASSERT_TRUE(waitUntil([&] { return nrdFrequency() == 6100000; }));
    a.abort();
    ASSERT_TRUE(waitUntil([&] { return m_server->clientCount() == 1; }));
    pump(300);
    EXPECT_EQ(b.ask("f"), "6100000");
}

// A client that sends nothing for the idle time is closed; one that talks
// stays, and a server without the time-out keeps a silent client.
TEST_P(ServerEndToEnd, SilentClientsAreClosedAfterTheIdleTime)
{
    connectModel("NRD535", DrvNRD535);
    server::ServerLimits limits;
    limits.idleTimeoutMs = 3000;
    m_server = std::make_unique<server::RigctlServer>(m_drv.get(), 0, QHostAddress::LocalHost, 0, nullptr, limits);
    ASSERT_TRUE(m_server->start());
    server::ServerLimits never;
    never.idleTimeoutMs = 0;
    server::RigctlServer patient(m_drv.get(), 0, QHostAddress::LocalHost, 0, nullptr, never);
    ASSERT_TRUE(patient.start());

    LineClient silent, talking, kept;
    ASSERT_TRUE(silent.open(m_server->port()));
    ASSERT_TRUE(talking.open(m_server->port()));
    ASSERT_TRUE(kept.open(patient.port()));
    EXPECT_EQ(kept.ask("f"), "9650000");
    ASSERT_TRUE(waitUntil([&] { return m_server->clientCount() == 2 && patient.clientCount() == 1; }));
    // The talking client asks something at least every half of the idle time
    // until the silent one has gone.
    QElapsedTimer clock;
    clock.start();
    bool silentGone = false;
    while (!silentGone && clock.elapsed() < 60000) {
        EXPECT_EQ(talking.ask("f"), "9650000");
        silentGone = silent.closedByPeer(500);
    }
    EXPECT_TRUE(silentGone);
    EXPECT_EQ(m_server->clientCount(), 1);
    EXPECT_EQ(talking.ask("f"), "9650000");
    // Without the time-out the client outlived the silent one.
    EXPECT_EQ(patient.clientCount(), 1);
    EXPECT_EQ(kept.ask("f"), "9650000");
    // The talking client falls silent too and goes the same way.
    EXPECT_TRUE(talking.closedByPeer(60000));
    EXPECT_EQ(m_server->clientCount(), 0);
}

// A driver call in progress holds back what clients send until it returned.
TEST(DriverCallScope, DefersUntilTheOutermostCallReturned)
{
    int runs = 0;
    auto context = std::make_unique<QObject>();
    {
        server::DriverCallScope outer;
        {
            server::DriverCallScope inner;
            server::runWhenDriverFree(context.get(), [&] { ++runs; });
        }
        server::runWhenDriverFree(context.get(), [&] { ++runs; });
        pump(50);
        EXPECT_EQ(runs, 0);
        EXPECT_TRUE(server::DriverCallScope::active());
    }
    EXPECT_FALSE(server::DriverCallScope::active());
    EXPECT_EQ(runs, 0);  // from the event loop, not from the scope's end
    EXPECT_TRUE(waitUntil([&] { return runs == 2; }));
    {
        server::DriverCallScope scope;
        server::runWhenDriverFree(context.get(), [&] { ++runs; });
        context.reset();  // its owner went meanwhile
    }
    pump(50);
    EXPECT_EQ(runs, 2);
    server::runWhenDriverFree(nullptr, [&] { ++runs; });  // no call under way: at once
    EXPECT_EQ(runs, 3);
}

INSTANTIATE_TEST_SUITE_P(Pty, ServerEndToEnd, ::testing::Values(Transport::Pty),
                         [](const auto& info) { return transportName(info.param); });

// ---- The reference client ----------------------------------------------------------------

class ReferenceClient : public ServerEndToEnd {};

TEST_P(ReferenceClient, RigctlAcceptsEveryAnswer)
{
    const QString rigctl = QStandardPaths::findExecutable("rigctl");
    if (rigctl.isEmpty()) {
        GTEST_SKIP() << "rigctl is not installed (Debian package libhamlib-utils; scripts/setup installs it)";
    }
    connectModel("NRD535", DrvNRD535);
    serve();
    // Model 2 is the network client: it opens with the \dump_state
    // handshake, then runs the commands one after another. It reports an
    // answer it refuses on standard error and goes on, so both must be clean.
    auto run = [&](const QStringList& commands, std::vector<std::string>& lines) {
        QProcess client;
        client.setProgram(rigctl);
        client.setArguments(QStringList{"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(m_server->port())} +
                            commands);
        client.start();
        EXPECT_TRUE(waitUntil([&] { return client.state() == QProcess::NotRunning; }, 120000)) << "rigctl hangs";
        const std::string out = client.readAllStandardOutput().toStdString();
        const std::string err = client.readAllStandardError().toStdString();
        EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(client.exitCode(), 0) << err;
        EXPECT_EQ(err, "") << out;
        lines.clear();
        std::istringstream in(out);
        for (std::string l; std::getline(in, l);) {
            lines.push_back(l);
        }
    };
    std::vector<std::string> lines;
    run({"F", "7050000", "M", "USB", "2400", "L", "ATT", "20"}, lines);
    EXPECT_TRUE(lines.empty());
    // A second client reads: it has nothing cached, so every answer comes
    // from the server (the first client would answer its own sets itself).
    run({"f", "m", "l", "STRENGTH", "l", "ATT", "v"}, lines);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "7050000");
    EXPECT_EQ(lines[1], "USB");
    EXPECT_EQ(lines[2], "2200");  // the filter the receiver took for 2400 Hz
    EXPECT_TRUE(platform::parseInt(lines[3]).has_value()) << lines[3];
    EXPECT_EQ(lines[4], "20");
    EXPECT_EQ(lines[5], "VFOA");
    // And the receiver really did it.
    EXPECT_EQ(nrdFrequency(), 7050000);
    EXPECT_EQ(withSim<sim::Nrd535Sim>([](sim::Nrd535Sim& s) { return s.state().mode; }), 2);
    EXPECT_EQ(withSim<sim::Nrd535Sim>([](sim::Nrd535Sim& s) { return s.state().attenuator; }), 1);
}

INSTANTIATE_TEST_SUITE_P(Pty, ReferenceClient, ::testing::Values(Transport::Pty),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
