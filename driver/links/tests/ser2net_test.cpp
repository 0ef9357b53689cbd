// A receiver reached through ser2net, the serial-to-network proxy that
// operators put in front of serial receivers: the test serves its own
// pseudo-terminal with ser2net on 127.0.0.1 and shows that the TCP/IP link
// carries exactly what the serial link carries.
#include <gtest/gtest.h>

#include <QThread>

#include "driver/links/commchannel.h"
#include "driver/links/seriallink.h"
#include "driver/links/socketlink.h"
#include "platform/settingsstore.h"
#include "tests/support/ser2netproxy.h"
#include "testsupport.h"

using namespace quorvin;
using namespace linktest;

namespace {

using korvanetest::Ser2netProxy;

// One request/answer turn as a driver does it: a frame out, then whatever
// the receiver sends back collected over a few reads.
struct Turn {
    std::string seenByReceiver;
    std::string seenByDriver;
};

Turn talk(CommChannel& channel, Pty& receiver, const std::string& request, const std::string& answer)
{
    Turn turn;
    EXPECT_TRUE(channel.Write(request, 0, 0)) << channel.LinkErrorNumber();
    turn.seenByReceiver = receiver.receive(request.size(), 3000);
    receiver.send(answer);
    for (int i = 0; i < 300 && turn.seenByDriver.size() < answer.size(); ++i) {
        turn.seenByDriver += channel.Read(0);
    }
    return turn;
}

TEST(Ser2net, TcpLinkCarriesTheSameBytesAsTheSerialLink)
{
    if (Ser2netProxy::binary().empty()) {
        GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    }
    TempSettings settings;
    Pty direct;
    Pty served;
    ASSERT_TRUE(direct.ok() && served.ok());

    // The same receiver set-up twice: once on a local port, once behind
    // ser2net.
    auto& store = platform::SettingsStore::shared();
    pointPort(6, direct.path());
    const std::string serialKey = "SOFTWARE\\Korvane Software\\Net\\Local";
    store.writeNumber(serialKey, "C_Type", 0);
    store.writeNumber(serialKey, "S_Port", 6);
    store.writeNumber(serialKey, "S_Speed", 9600);
    store.writeNumber(serialKey, "S_TestLink", 0);

    const int port = unusedPort();
    Ser2netProxy proxy(served.path(), port);
    ASSERT_TRUE(proxy.running()) << proxy.output();
    const std::string socketKey = "SOFTWARE\\Korvane Software\\Net\\Remote";
    store.writeNumber(socketKey, "C_Type", 1);
    store.writeText(socketKey, "T_Addr", "127.0.0.1");
    store.writeNumber(socketKey, "T_Port", port);
    store.writeNumber(socketKey, "T_TestLink", 0);

    RecordingOwner owner;
    CommChannel serial(&owner);
    CommChannel remote(&owner);
    ASSERT_TRUE(serial.Load("Net", "Local"));
    ASSERT_TRUE(remote.Load("Net", "Remote"));
    ASSERT_EQ(remote.type(), CommChannel::SocketType);
    ASSERT_TRUE(serial.Open(true)) << serial.LinkErrorNumber();

    // ser2net needs a moment to listen.
    bool connected = false;
    for (int attempt = 0; attempt < 50 && !connected; ++attempt) {
        connected = remote.Open(true);
        if (!connected) {
            QThread::msleep(100);
        }
    }
    ASSERT_TRUE(connected) << remote.LinkErrorNumber() << " " << proxy.output();
    // ser2net opens the device once the client is there; wait until a byte
    // goes through before measuring anything.
    ASSERT_TRUE(remote.Write("?", 0, 0));
    ASSERT_EQ(served.receive(1, 3000), "?");

    const std::string request = allBytes();
    std::string answer = allBytes();
    std::reverse(answer.begin(), answer.end());

    const Turn viaSerial = talk(serial, direct, request, answer);
    const Turn viaTcp = talk(remote, served, request, answer);
    EXPECT_EQ(viaSerial.seenByReceiver, request);
    EXPECT_EQ(viaSerial.seenByDriver, answer);
    EXPECT_EQ(viaTcp.seenByReceiver, viaSerial.seenByReceiver);
    EXPECT_EQ(viaTcp.seenByDriver, viaSerial.seenByDriver);

    // A short command with a per-character delay, as slow receivers need.
    EXPECT_TRUE(remote.Write(std::string("\x01"
                                         "F\x00\x80",
                                         4),
                             2, 0));
    EXPECT_EQ(served.receive(4, 3000), std::string("\x01"
                                                   "F\x00\x80",
                                                   4));

    EXPECT_TRUE(remote.Open(false));
    EXPECT_TRUE(serial.Open(false));
}

}  // namespace
