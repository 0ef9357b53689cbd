// The serial link's rules for modem lines, line errors and port failures,
// on a scripted backend.
#include <gtest/gtest.h>

#include "driver/links/seriallink.h"
#include "platform/clock.h"
#include "scriptedbackend.h"
#include "testsupport.h"

using namespace quorvin;
using namespace linktest;

namespace {

class SerialScripted : public ::testing::Test {
protected:
    SerialScripted()
    {
        auto owned = std::make_unique<ScriptedBackend>(script);
        backend = owned.get();
        link = std::make_unique<SerialLink>(&owner, std::move(owned));
    }

    TempSettings settings;
    ScriptedBackend::Script script;
    ScriptedBackend* backend = nullptr;
    RecordingOwner owner;
    std::unique_ptr<SerialLink> link;
};

TEST_F(SerialScripted, OpenPassesLineSettingsAndTheMappedDevice)
{
    pointPort(1, "/dev/ttyKORVANE");
    link->SetSpeed(9600);
    link->SetDataBits(7);
    link->SetParity('e');
    link->SetStopBits(2);
    ASSERT_TRUE(link->Open());
    EXPECT_EQ(script.device, "/dev/ttyKORVANE");
    EXPECT_EQ(script.line.speed, 9600);
    EXPECT_EQ(script.line.dataBits, 7);
    EXPECT_EQ(script.line.parity, 'e');
    EXPECT_EQ(script.line.stopBits, 2);

    ASSERT_TRUE(link->Open()) << "an open port is closed and opened again";
    EXPECT_EQ(script.opens, 2);
}

TEST_F(SerialScripted, APortRefusedForPermissionIsAnOpenErrorToldOnceUntilItOpens)
{
    pointPort(1, "/dev/ttyKORVANE");
    RecordingReporter reporter;
    script.openResult = SerialOpenResult::NoPermission;
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(link->lastError(), LinkOpenError);
    EXPECT_FALSE(link->IsOpen());
    EXPECT_FALSE(link->Open()) << "a retry";
    ASSERT_EQ(reporter.messages.size(), 1u) << "retries do not repeat the message";
    EXPECT_NE(reporter.messages[0].find("No permission to open the serial port /dev/ttyKORVANE"), std::string::npos)
        << reporter.messages[0];
    EXPECT_NE(reporter.messages[0].find("dialout"), std::string::npos) << "a node that tells nothing: Debian's group";

    script.openResult = SerialOpenResult::Ok;
    ASSERT_TRUE(link->Open());
    link->Close();
    script.openResult = SerialOpenResult::NoPermission;
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(reporter.messages.size(), 2u) << "refused again after it had opened: told again";
}

TEST_F(SerialScripted, DsrAndCtsMustBothBeAssertedWhenTested)
{
    pointPort(1, "/dev/ttyKORVANE");
    struct Case {
        bool dsr, cts, test, opens;
    };
    for (const Case c : {Case{true, true, true, true}, Case{false, true, true, false}, Case{true, false, true, false},
                         Case{false, false, false, true}}) {
        script.dsr = c.dsr;
        script.cts = c.cts;
        link->SetTestLink(c.test);
        EXPECT_EQ(link->Open(), c.opens) << c.dsr << c.cts << c.test;
        EXPECT_EQ(link->IsOpen(), c.opens);
        EXPECT_EQ(link->lastError(), c.opens ? LinkOk : LinkLoop);
        link->Close();
    }
}

TEST_F(SerialScripted, OpenFailuresMapToTheirErrors)
{
    pointPort(1, "/dev/ttyKORVANE");
    script.openResult = SerialOpenResult::NoDevice;
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(link->lastError(), LinkBadAddr);
    script.openResult = SerialOpenResult::InUse;
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(link->lastError(), LinkOpenError);
    script.openResult = SerialOpenResult::Failed;
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(link->lastError(), LinkOpenError);

    script.openResult = SerialOpenResult::Ok;
    script.discardFails = true;
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(link->lastError(), LinkOtherError);

    pointPort(1, "");
    EXPECT_FALSE(link->Open());
    EXPECT_EQ(link->lastError(), LinkBadAddr) << "a cleared port entry names no device";
}

TEST_F(SerialScripted, LineErrorFailsTheNextReadAndKeepsTheData)
{
    pointPort(1, "/dev/ttyKORVANE");
    ASSERT_TRUE(link->Open());
    backend->arrive("OK\r");
    backend->lineErrorEvent();
    EXPECT_EQ(link->Read(0), "");
    EXPECT_EQ(mapLinkError(link->lastError()), ConnectLnDatError);
    EXPECT_EQ(link->Read(0), "OK\r") << "the read after that hands the data over";
    EXPECT_EQ(link->lastError(), LinkOk);

    // Counters that rose without an event are found by the read itself.
    script.input = "X";
    script.lineError = true;
    EXPECT_EQ(link->Read(0), "");
    EXPECT_EQ(link->lastError(), LinkDataError);
    EXPECT_EQ(link->Read(0), "X");
}

TEST_F(SerialScripted, LineErrorIsAnnouncedWhenNotificationIsOn)
{
    pointPort(1, "/dev/ttyKORVANE");
    ASSERT_TRUE(link->Open());
    backend->lineErrorEvent();
    QCoreApplication::processEvents();
    EXPECT_TRUE(owner.calls.empty()) << "without notification the error only waits for the read";

    ASSERT_TRUE(link->SetEventMode(true));
    QCoreApplication::processEvents();
    script.input = "Z";
    backend->lineErrorEvent();
    processEventsUntil([&] { return owner.calls.size() >= 2; }, 200);
    EXPECT_EQ(owner.calls, (std::vector<bool>{false, true}));
    EXPECT_EQ(link->Read(0), "");
    EXPECT_EQ(link->Read(0), "Z");
}

TEST_F(SerialScripted, BurstOfArrivalsIsAnnouncedOnce)
{
    pointPort(1, "/dev/ttyKORVANE");
    ASSERT_TRUE(link->Open());
    ASSERT_TRUE(link->SetEventMode(true));
    for (int i = 0; i < 5; ++i) {
        backend->arrive(std::string(1, static_cast<char>('0' + i)));
    }
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.calls, std::vector<bool>{true});
    EXPECT_EQ(link->Read(0), "01234");
}

TEST_F(SerialScripted, ArrivalDuringAnOperationIsAnnouncedAfterIt)
{
    // An owner that writes a command and reads its answer when notified:
    // the answer arrives while the link is writing.
    struct Talker : LinkOwner {
        SerialLink* link = nullptr;
        ScriptedBackend* backend = nullptr;
        std::vector<std::string> got;
        int depth = 0;
        void onLinkData(bool) override
        {
            ++depth;
            EXPECT_EQ(depth, 1) << "never notified from inside the link";
            got.push_back(link->Read(0));
            --depth;
        }
    };
    ScriptedBackend::Script s;
    auto owned = std::make_unique<ScriptedBackend>(s);
    ScriptedBackend* b = owned.get();
    Talker talker;
    SerialLink own(&talker, std::move(owned));
    talker.link = &own;
    talker.backend = b;
    pointPort(1, "/dev/ttyKORVANE");
    ASSERT_TRUE(own.Open());
    ASSERT_TRUE(own.SetEventMode(true));
    QCoreApplication::processEvents();
    s.reply = "answer";
    ASSERT_TRUE(own.Write("Q", 0, 0));
    processEventsUntil([&] { return !talker.got.empty(); }, 200);
    EXPECT_EQ(talker.got, std::vector<std::string>{"answer"});
}

TEST_F(SerialScripted, WriteAndCountFailuresAreReported)
{
    pointPort(1, "/dev/ttyKORVANE");
    ASSERT_TRUE(link->Open());
    platform::FakeTimeGuard fake;
    script.writeFails = true;
    EXPECT_FALSE(link->Write("ABC", 20, 50));
    EXPECT_EQ(mapLinkError(link->lastError()), ConnectLnAnyError);
    EXPECT_EQ(fake.time.m_sleeps, 0u) << "a failed send stops at once";

    script.writeFails = false;
    ASSERT_TRUE(link->Write("ABC", 20, 0));
    EXPECT_EQ(script.writes, 3) << "one byte at a time";
    EXPECT_EQ(script.written, "ABC");

    script.countFails = true;
    EXPECT_EQ(link->Read(0), "");
    EXPECT_EQ(link->lastError(), LinkOtherError);
}

TEST_F(SerialScripted, NoControlFailsEverythingWithObjectError)
{
    SerialLink bare(&owner, nullptr);
    EXPECT_FALSE(bare.Open());
    EXPECT_EQ(mapLinkError(bare.lastError()), ConnectObjectError);
    EXPECT_FALSE(bare.Write("x", 0, 0));
    EXPECT_EQ(bare.lastError(), LinkNoControl);
    EXPECT_EQ(bare.Read(0), "");
    EXPECT_EQ(bare.lastError(), LinkNoControl);
    EXPECT_FALSE(bare.Close());
    EXPECT_FALSE(bare.SetEventMode(true));
    EXPECT_FALSE(bare.IsOpen());
}

TEST_F(SerialScripted, CloseDrainsAndDiscardsInput)
{
    pointPort(1, "/dev/ttyKORVANE");
    ASSERT_TRUE(link->Open());
    ASSERT_TRUE(link->SetEventMode(true));
    script.input = "left over";
    EXPECT_TRUE(link->Close());
    EXPECT_TRUE(script.input.empty());
    EXPECT_FALSE(link->eventMode());
    QCoreApplication::processEvents();
    EXPECT_TRUE(owner.calls.empty()) << "a closed link announces nothing";
}

}  // namespace
