// Loading and saving the C_, S_ and T_ values, the setters' rules, the port
// table and the channel's forwarding.
#include <gtest/gtest.h>

#include "driver/links/commchannel.h"
#include "driver/links/seriallink.h"
#include "driver/links/socketlink.h"
#include "platform/settingsstore.h"
#include "scriptedbackend.h"
#include "testsupport.h"

using namespace quorvin;
using namespace linktest;

namespace {

const std::string kKey = "SOFTWARE\\Korvane Software\\Main\\RX1";

class LinkSettings : public ::testing::Test {
protected:
    LinkSettings()
    {
        auto pinger = std::make_unique<FixedPinger>(30);
        channel = std::make_unique<CommChannel>(&owner, std::make_unique<ScriptedBackend>(script), std::move(pinger));
        // Port 2 names a real terminal so that the port setter accepts it.
        pointPort(2, pty.path());
        pointPort(5, "/dev/korvane-absent");
    }

    platform::SettingsStore& store() { return platform::SettingsStore::shared(); }
    void load() { ASSERT_TRUE(channel->Load("Main", "RX1")); }

    TempSettings settings;
    Pty pty;
    ScriptedBackend::Script script;
    RecordingOwner owner;
    std::unique_ptr<CommChannel> channel;
};

TEST(MapLinkError, EveryLinkNumberHasItsConnErr)
{
    EXPECT_EQ(mapLinkError(0), ConnectNoError);
    EXPECT_EQ(mapLinkError(1), ConnectLnClosed);
    EXPECT_EQ(mapLinkError(2), ConnectLnLoopError);
    EXPECT_EQ(mapLinkError(3), ConnectLnTimeOut);
    EXPECT_EQ(mapLinkError(4), ConnectLnBadAddr);
    EXPECT_EQ(mapLinkError(5), ConnectLnDatError);
    EXPECT_EQ(mapLinkError(6), ConnectLnOpnError);
    EXPECT_EQ(mapLinkError(7), ConnectLnAnyError);
    EXPECT_EQ(mapLinkError(8), ConnectLnAnyError);
    EXPECT_EQ(mapLinkError(-1), ConnectLnAnyError);
    EXPECT_EQ(mapLinkError(99), ConnectObjectError);
}

TEST_F(LinkSettings, StoredSerialValuesPassThroughTheSetters)
{
    struct SpeedCase {
        std::int32_t stored, loaded;
    };
    for (const SpeedCase c : {SpeedCase{3000, 2400}, SpeedCase{100000, 19200}, SpeedCase{0, 1200}, SpeedCase{-5, 1200},
                              SpeedCase{9600, 9600}, SpeedCase{4799, 2400}}) {
        store().writeNumber(kKey, "S_Speed", c.stored);
        load();
        EXPECT_EQ(channel->serial().speed(), c.loaded) << c.stored;
    }
    for (const char* letter : {"x", "m", "s", "", "E", "nn"}) {
        channel->serial().SetParity('e');
        store().writeText(kKey, "S_Parity", letter);
        load();
        EXPECT_EQ(channel->serial().parity(), 'n') << letter;
    }
    store().writeText(kKey, "S_Parity", "o");
    store().writeNumber(kKey, "S_Data", 5);
    store().writeNumber(kKey, "S_Stop", 3);
    store().writeNumber(kKey, "S_TestLink", 0);
    load();
    EXPECT_EQ(channel->serial().parity(), 'o');
    EXPECT_EQ(channel->serial().dataBits(), 7);
    EXPECT_EQ(channel->serial().stopBits(), 2);
    EXPECT_EQ(channel->serial().testLink(), 0);
}

TEST_F(LinkSettings, PortLoadsOnlyWhenInRangeAndPresent)
{
    channel->serial().SetPort(1);
    ASSERT_EQ(channel->serial().port(), 1) << "the driver's default";
    for (std::int32_t stored : {13, 0, -1, 5, 65536 + 2}) {
        store().writeNumber(kKey, "S_Port", stored);
        load();
        EXPECT_EQ(channel->serial().port(), 1) << stored;
    }
    store().writeNumber(kKey, "S_Port", 2);
    load();
    EXPECT_EQ(channel->serial().port(), 2);
}

TEST_F(LinkSettings, MissingValuesKeepTheDriverDefaults)
{
    channel->SetSpeed(9600);
    channel->SetParity('e');
    channel->serial().SetBusAddress(7);
    load();
    EXPECT_EQ(channel->serial().speed(), 9600);
    EXPECT_EQ(channel->serial().parity(), 'e');
    EXPECT_EQ(channel->serial().busAddress(), 7);
    EXPECT_EQ(channel->socket().port(), 21690);
    EXPECT_EQ(channel->socket().address(), "127.0.0.1");
    EXPECT_EQ(channel->socket().connectWait(), 150);
    EXPECT_EQ(channel->type(), CommChannel::SerialType);
}

TEST_F(LinkSettings, BusAddressRulesAndAddressingFlag)
{
    store().writeNumber(kKey, "S_BusAdress", 100);
    load();
    EXPECT_EQ(channel->serial().busAddress(), 1) << "100 is refused";
    store().writeNumber(kKey, "S_BusAdress", 65535);
    load();
    EXPECT_EQ(channel->serial().busAddress(), -1) << "65535 stands for no address";
    EXPECT_EQ(channel->SetBusAddress(42), 42);
    EXPECT_EQ(channel->SetBusAddress(100), 42);
    EXPECT_EQ(channel->SetBusAddress(-2), 42);
    EXPECT_EQ(channel->SetBusAddress(-1), -1);
    EXPECT_EQ(channel->SetBusAddress(0), 0);

    EXPECT_EQ(channel->BusAddress(), -1) << "addressing is off";
    channel->SetBusAddressing(true);
    EXPECT_EQ(channel->BusAddress(), 0);
    channel->SetBusAddressing(false);
    EXPECT_EQ(channel->BusAddress(), -1);

    store().writeNumber(kKey, "T_BusAddr", 99);
    store().writeNumber(kKey, "C_Type", 1);
    load();
    channel->SetBusAddressing(true);
    EXPECT_EQ(channel->BusAddress(), 99) << "the selected link's address";
}

TEST_F(LinkSettings, SaveWritesTheStoredNames)
{
    load();
    auto& serial = channel->serial();
    SerialLink::Settings s = serial.settings();
    s.port = 2;
    s.speed = 19200;
    s.parity = 'm';
    s.dataBits = 7;
    s.stopBits = 2;
    s.testLink = 0;
    s.busAddress = -1;
    serial.applySettings(s);
    ASSERT_TRUE(serial.Save());
    EXPECT_EQ(store().readText(kKey, "S_Parity", "?"), "m");
    EXPECT_EQ(store().readNumber(kKey, "S_Port", 0), 2);
    EXPECT_EQ(store().readNumber(kKey, "S_Speed", 0), 19200);
    EXPECT_EQ(store().readNumber(kKey, "S_Data", 0), 7);
    EXPECT_EQ(store().readNumber(kKey, "S_Stop", 0), 2);
    EXPECT_EQ(store().readNumber(kKey, "S_TestLink", 9), 0);
    EXPECT_EQ(store().readNumber(kKey, "S_BusAdress", 0), 65535);
    EXPECT_EQ(serial.parity(), 'm') << "mark parity is used until the next load";
    load();
    EXPECT_EQ(serial.parity(), 'n') << "and a later load turns it into none";

    auto& socket = channel->socket();
    socket.SetAddress("rx.example");
    socket.SetPort(4001);
    socket.SetPingTest(false);
    socket.SetBusAddress(-1);
    ASSERT_TRUE(socket.Save());
    EXPECT_EQ(store().readText(kKey, "T_Addr", ""), "rx.example");
    EXPECT_EQ(store().readNumber(kKey, "T_Port", 0), 4001);
    EXPECT_EQ(store().readNumber(kKey, "T_TestLink", 9), 0);
    EXPECT_EQ(store().readNumber(kKey, "T_BusAddr", 0), 65535);
    EXPECT_FALSE(store().readNumber(kKey, "T_Delay").has_value()) << "the connect wait is read only";

    channel->setType(CommChannel::SocketType);
    channel->SaveType();
    EXPECT_EQ(store().readNumber(kKey, "C_Type", 0), 1);
}

TEST_F(LinkSettings, SocketValuesLoadWithTheirRules)
{
    store().writeText(kKey, "T_Addr", "receiver.local");
    store().writeNumber(kKey, "T_Delay", 20);
    store().writeNumber(kKey, "T_TestLink", 0);
    for (std::int32_t stored : {0, -3, 70000}) {
        store().writeNumber(kKey, "T_Port", stored);
        load();
        EXPECT_EQ(channel->socket().port(), 21690) << stored;
    }
    store().writeNumber(kKey, "T_Port", 7373);
    store().writeNumber(kKey, "T_BusAddr", 100);
    load();
    EXPECT_EQ(channel->socket().port(), 7373);
    EXPECT_EQ(channel->socket().address(), "receiver.local");
    EXPECT_EQ(channel->socket().connectWait(), 20);
    EXPECT_EQ(channel->socket().pingTest(), 0);
    EXPECT_EQ(channel->socket().busAddress(), 1);
}

TEST_F(LinkSettings, TypeSelectsTheLinkForEveryOperation)
{
    store().writeNumber(kKey, "C_Type", 1);
    load();
    EXPECT_EQ(channel->type(), CommChannel::SocketType);
    const std::int32_t before = channel->serial().speed();
    EXPECT_EQ(channel->SetSpeed(3000), 3000) << "the TCP/IP link takes the argument back";
    EXPECT_EQ(channel->SetDataBits(5), 5);
    EXPECT_EQ(channel->SetParity('x'), 'x');
    EXPECT_EQ(channel->SetStopBits(3), 3);
    EXPECT_EQ(channel->serial().speed(), before) << "and changes nothing";
    EXPECT_EQ(channel->AddedLatency(), 50) << "the latency before any echo";

    store().writeNumber(kKey, "C_Type", 7);
    load();
    EXPECT_EQ(channel->type(), CommChannel::SerialType) << "an unknown type is the serial link";
    EXPECT_EQ(channel->SetSpeed(3000), 2400);
    EXPECT_EQ(channel->AddedLatency(), 0);

    // The serial link is selected and closed.
    EXPECT_FALSE(channel->Write("x", 0, 0));
    EXPECT_EQ(channel->LastError(), ConnectLnClosed);
    EXPECT_EQ(channel->LinkErrorNumber(), LinkClosed);
}

TEST_F(LinkSettings, PortTableStartsWithDefaultsTheOperatorCanEdit)
{
    EXPECT_EQ(defaultPortDevice(1), "/dev/ttyS0");
    EXPECT_EQ(defaultPortDevice(4), "/dev/ttyS3");
    EXPECT_EQ(defaultPortDevice(5), "/dev/ttyUSB0");
    EXPECT_EQ(defaultPortDevice(12), "/dev/ttyACM3");
    EXPECT_EQ(defaultPortDevice(13), "");
    EXPECT_FALSE(store().readText(kPortsKey, "7").has_value());
    EXPECT_EQ(portDevice(7), "/dev/ttyUSB2");
    EXPECT_EQ(store().readText(kPortsKey, "7", ""), "/dev/ttyUSB2") << "written for the operator to see";
    pointPort(7, "  /dev/ttyUSB9 ");
    EXPECT_EQ(portDevice(7), "/dev/ttyUSB9");
    EXPECT_EQ(portDevice(0), "");
    EXPECT_EQ(probeDevice("/dev/null"), PortState::Absent) << "not a terminal";
}

}  // namespace
