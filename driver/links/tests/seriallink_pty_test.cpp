// The serial link on real pseudo-terminals: the test holds the master side
// and answers as the receiver would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

#include "driver/links/commchannel.h"
#include "driver/links/qtserialbackend.h"
#include "driver/links/seriallink.h"
#include "platform/clock.h"
#include "platform/settingsstore.h"
#include "testsupport.h"

using namespace quorvin;
using namespace linktest;

namespace {

// Root passes every permission check: for its life this takes the
// process's effective identity down to nobody (no supplementary groups)
// and puts it back at its end. For other users it changes nothing.
class Unprivileged {
public:
    Unprivileged()
    {
        if (::geteuid() != 0) {
            m_ok = true;
            return;
        }
        const passwd* nobody = ::getpwnam("nobody");
        const uid_t uid = nobody != nullptr ? nobody->pw_uid : 65534;
        const gid_t gid = nobody != nullptr ? nobody->pw_gid : 65534;
        const int count = ::getgroups(0, nullptr);
        m_groups.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
        if (count > 0 && ::getgroups(count, m_groups.data()) != count) {
            return;
        }
        m_gid = ::getegid();
        m_dropped = ::setgroups(0, nullptr) == 0 && ::setegid(gid) == 0 && ::seteuid(uid) == 0;
        m_ok = m_dropped;
        if (!m_dropped) {
            restore();
        }
    }
    ~Unprivileged()
    {
        if (m_dropped) {
            restore();
        }
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;
    bool ok() const { return m_ok; }

private:
    void restore()
    {
        // The saved user id is still root's, so these are allowed.
        [[maybe_unused]] const int a = ::seteuid(0);
        [[maybe_unused]] const int b = ::setegid(m_gid);
        [[maybe_unused]] const int c = ::setgroups(m_groups.size(), m_groups.data());
    }
    std::vector<gid_t> m_groups;
    gid_t m_gid = 0;
    bool m_dropped = false;
    bool m_ok = false;
};

class SerialPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        pointPort(3, pty.path());
        link.SetPort(3);
        ASSERT_EQ(link.port(), 3);
        link.SetTestLink(false);
    }

    // Reads until n bytes came or a second passed; every read after a
    // short delay, as a driver would poll.
    std::string readAtLeast(std::size_t n)
    {
        std::string data;
        for (int i = 0; i < 100 && data.size() < n; ++i) {
            data += link.Read(10);
        }
        return data;
    }

    termios lineSettings() const
    {
        termios tio{};
        tcgetattr(pty.slave(), &tio);
        return tio;
    }

    TempSettings settings;
    Pty pty;
    RecordingOwner owner;
    SerialLink link{&owner, std::make_unique<QtSerialBackend>()};
};

TEST_F(SerialPty, EveryByteValuePassesBothWaysUnchanged)
{
    ASSERT_TRUE(link.Open()) << link.lastError();
    const std::string bytes = allBytes();

    ASSERT_TRUE(link.Write(bytes, 0, 0));
    EXPECT_EQ(pty.receive(bytes.size()), bytes);

    pty.send(bytes);
    EXPECT_EQ(readAtLeast(bytes.size()), bytes);
    EXPECT_EQ(link.lastError(), LinkOk);
}

TEST_F(SerialPty, BytesArrivingInPiecesReachTheReaderOnceInOrder)
{
    ASSERT_TRUE(link.Open());
    std::string sent;
    std::string got;
    for (int chunk = 0; chunk < 40; ++chunk) {
        std::string piece;
        for (int i = 0; i < 25; ++i) {
            piece.push_back(static_cast<char>((chunk * 25 + i) & 0xFF));
        }
        pty.send(piece);
        sent += piece;
        if (chunk % 3 == 0) {
            got += link.Read(0);
        }
    }
    got += readAtLeast(sent.size() - got.size());
    EXPECT_EQ(got, sent);
    EXPECT_EQ(link.Read(0), "");
    EXPECT_EQ(link.lastError(), LinkTimeOut);
}

struct Framing {
    std::int32_t speed;
    speed_t baud;
    int dataBits;
    char parity;
    int stopBits;
};

class SerialFraming : public SerialPty, public ::testing::WithParamInterface<Framing> {};

TEST_P(SerialFraming, SpeedAndStopBitsReachThePort)
{
    const Framing f = GetParam();
    SerialLink::Settings s = link.settings();
    s.speed = f.speed;
    s.dataBits = static_cast<std::int16_t>(f.dataBits);
    s.parity = f.parity;
    s.stopBits = static_cast<std::int16_t>(f.stopBits);
    link.applySettings(s);
    ASSERT_TRUE(link.Open()) << link.lastError();

    const termios tio = lineSettings();
    EXPECT_EQ(cfgetospeed(&tio), f.baud);
    EXPECT_EQ(cfgetispeed(&tio), f.baud);
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, f.stopBits == 2);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u) << "no handshaking";
    // A pseudo-terminal always keeps 8 data bits without parity, whatever
    // is asked; the scripted backend shows those settings reach the port.
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    // Raw bytes: no translation of CR, no flow characters, no signals.
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | ISTRIP), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

INSTANTIATE_TEST_SUITE_P(Speeds, SerialFraming,
                         ::testing::Values(Framing{1200, B1200, 8, 'n', 1}, Framing{2400, B2400, 7, 'e', 2},
                                           Framing{4800, B4800, 8, 'o', 1}, Framing{9600, B9600, 7, 'm', 1},
                                           Framing{19200, B19200, 8, 's', 2}));

TEST_F(SerialPty, PerCharacterDelaySleepsAfterEveryByteThenTheAfterDelay)
{
    ASSERT_TRUE(link.Open());
    platform::FakeTimeGuard fake;
    const std::string frame("\x00\x01\x7F\x80\xFF"
                            "ABCDE",
                            10);
    ASSERT_TRUE(link.Write(frame, 30, 25));
    EXPECT_EQ(fake.time.m_sleeps, 11u);
    EXPECT_EQ(fake.time.m_slept, 10u * 30u + 25u);
    EXPECT_EQ(pty.receive(frame.size()), frame);

    fake.time.m_sleeps = 0;
    fake.time.m_slept = 0;
    ASSERT_TRUE(link.Write(frame, 0, 0));
    EXPECT_EQ(fake.time.m_sleeps, 0u) << "a whole frame goes at once without waiting";
    EXPECT_EQ(pty.receive(frame.size()), frame);
}

TEST_F(SerialPty, ReadWaitsItsDelayThenTakesWhatCame)
{
    ASSERT_TRUE(link.Open());
    pty.send("FRQ 12345\r");
    ASSERT_TRUE(pty.waitQueued(10));
    platform::FakeTimeGuard fake;
    EXPECT_EQ(link.Read(40), "FRQ 12345\r");
    EXPECT_EQ(fake.time.m_slept, 40u);
    EXPECT_EQ(link.lastError(), LinkOk);

    EXPECT_EQ(link.Read(0), "");
    EXPECT_EQ(fake.time.m_slept, 40u) << "a read without delay does not sleep";
    EXPECT_EQ(link.lastError(), LinkTimeOut);
}

TEST_F(SerialPty, ReadThatKnowsItsReplyEndsWhenTheReplyIsWhole)
{
    ASSERT_TRUE(link.Open());
    AnsweringTime time;
    // The receiver answers during the third slice of the wait; the read ends
    // at the look after it, long before its 400 ms.
    time.answerAt(3, [&] {
        pty.send("FRQ 12345\r");
        ASSERT_TRUE(pty.waitQueued(10));
    });
    int looks = 0;
    EXPECT_EQ(link.Read(400, lineEnded(&looks)), "FRQ 12345\r");
    EXPECT_EQ(link.lastError(), LinkOk);
    EXPECT_EQ(time.m_sleeps, 3u);
    EXPECT_EQ(looks, 4);

    // What the receiver sends after the read ended is the next read's.
    pty.send("FRQ 7\r");
    ASSERT_TRUE(pty.waitQueued(6));
    EXPECT_EQ(link.Read(0), "FRQ 7\r");

    // A reply already whole before the read needs no sleep at all.
    pty.send("Q1\r");
    ASSERT_TRUE(pty.waitQueued(3));
    time.m_sleeps = 0;
    EXPECT_EQ(link.Read(400, lineEnded()), "Q1\r");
    EXPECT_EQ(time.m_sleeps, 0u);
}

TEST_F(SerialPty, ReadWhoseReplyStaysIncompleteWaitsItsDelayAndHandsItOver)
{
    ASSERT_TRUE(link.Open());
    pty.send("FRQ 12");
    ASSERT_TRUE(pty.waitQueued(6));
    platform::FakeTimeGuard fake;
    EXPECT_EQ(link.Read(40, lineEnded()), "FRQ 12");
    EXPECT_EQ(fake.time.m_slept, 40u) << "the whole delay, as without a check";
    EXPECT_EQ(link.lastError(), LinkOk);

    // Nothing at all: the same time-out as a plain read.
    EXPECT_EQ(link.Read(30, lineEnded()), "");
    EXPECT_EQ(fake.time.m_slept, 70u);
    EXPECT_EQ(link.lastError(), LinkTimeOut);

    // The rest of the reply comes with the next read.
    pty.send("345\r");
    ASSERT_TRUE(pty.waitQueued(4));
    EXPECT_EQ(link.Read(40, lineEnded()), "345\r");
    EXPECT_EQ(fake.time.m_slept, 70u);
}

TEST_F(SerialPty, PtyHasNoModemLinesSoTheTestLinkRefusesIt)
{
    link.SetTestLink(true);
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(mapLinkError(link.lastError()), ConnectLnLoopError);
    EXPECT_FALSE(link.IsOpen()) << "the port is closed again";
    EXPECT_EQ(link.ProbePort(3), PortState::Free);

    link.SetTestLink(false);
    EXPECT_TRUE(link.Open());
    EXPECT_TRUE(link.IsOpen());
}

TEST_F(SerialPty, PortHeldByAnotherProgramIsInUseAndCannotBeOpened)
{
    EXPECT_EQ(link.ProbePort(3), PortState::Free);
    const int other = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(link.ProbePort(3), PortState::InUse);
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(mapLinkError(link.lastError()), ConnectLnOpnError);
    ::close(other);
    EXPECT_EQ(link.ProbePort(3), PortState::Free);
}

TEST_F(SerialPty, SecondLinkOnAnOpenPortSeesItInUse)
{
    ASSERT_TRUE(link.Open());
    RecordingOwner otherOwner;
    SerialLink second(&otherOwner, std::make_unique<QtSerialBackend>());
    second.SetTestLink(false);
    EXPECT_EQ(second.SetPort(3), 3);
    EXPECT_EQ(second.ProbePort(3), PortState::InUse);
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.lastError(), LinkOpenError);
    ASSERT_TRUE(link.Close());
    EXPECT_TRUE(second.Open()) << "free again once the first link closed";
}

TEST_F(SerialPty, AbsentPortIsRefusedAndCannotBeOpened)
{
    pointPort(4, "/dev/korvane-no-such-port");
    EXPECT_EQ(link.ProbePort(4), PortState::Absent);
    EXPECT_EQ(link.SetPort(4), 3) << "the port stays";
    pointPort(4, "");
    EXPECT_EQ(link.ProbePort(4), PortState::Absent);
    EXPECT_EQ(link.ProbePort(13), PortState::Absent);
    EXPECT_EQ(link.ProbePort(0), PortState::Absent);

    // The device vanishes after the port was chosen.
    pointPort(3, "/dev/korvane-no-such-port");
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(mapLinkError(link.lastError()), ConnectLnBadAddr);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(SerialPty, ClosedPortFailsWritesAndReads)
{
    EXPECT_FALSE(link.Write("X", 0, 0));
    EXPECT_EQ(mapLinkError(link.lastError()), ConnectLnClosed);
    EXPECT_EQ(link.Read(0), "");
    EXPECT_EQ(mapLinkError(link.lastError()), ConnectLnClosed);
    EXPECT_TRUE(link.Close()) << "closing a closed port succeeds";
}

TEST_F(SerialPty, ReopenDiscardsWhatCameWhileClosed)
{
    ASSERT_TRUE(link.Open());
    ASSERT_TRUE(link.Close());
    pty.send("stale");
    ASSERT_TRUE(pty.waitQueued(5));
    ASSERT_TRUE(link.Open());
    EXPECT_EQ(link.Read(0), "");
    pty.send("fresh");
    EXPECT_EQ(readAtLeast(5), "fresh");
}

TEST_F(SerialPty, ReceiveNotificationAnnouncesArrivalsOnlyWhenOn)
{
    ASSERT_TRUE(link.Open());
    pty.send("a");
    ASSERT_TRUE(pty.waitQueued(1));
    processEventsUntil([] { return false; }, 50);
    EXPECT_TRUE(owner.calls.empty()) << "notification is off after an open";

    ASSERT_TRUE(link.SetEventMode(true));
    ASSERT_TRUE(processEventsUntil([&] { return !owner.calls.empty(); }));
    EXPECT_EQ(owner.calls, std::vector<bool>{true}) << "bytes from before the switch are announced";
    EXPECT_EQ(readAtLeast(1), "a");

    owner.calls.clear();
    pty.send("bc");
    ASSERT_TRUE(processEventsUntil([&] { return !owner.calls.empty(); }));
    EXPECT_EQ(readAtLeast(2), "bc");
    processEventsUntil([] { return false; }, 50);
    EXPECT_EQ(owner.calls.size(), 1u) << "nothing is announced once the bytes are taken";

    ASSERT_TRUE(link.SetEventMode(false));
    owner.calls.clear();
    pty.send("d");
    processEventsUntil([] { return false; }, 100);
    EXPECT_TRUE(owner.calls.empty());
}

TEST_F(SerialPty, ChannelCarriesTheSerialLinkWithItsSettings)
{
    CommChannel channel(&owner);
    auto& store = platform::SettingsStore::shared();
    const std::string key = "SOFTWARE\\Korvane Software\\Default\\NRD535";
    store.writeNumber(key, "C_Type", 0);
    store.writeNumber(key, "S_Port", 3);
    store.writeNumber(key, "S_Speed", 9600);
    store.writeNumber(key, "S_TestLink", 0);
    ASSERT_TRUE(channel.Load("Default", "NRD535"));
    ASSERT_TRUE(channel.Open(true)) << channel.LinkErrorNumber();
    const termios tio = lineSettings();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_EQ(channel.AddedLatency(), 0);
    ASSERT_TRUE(channel.Write(std::string("\x00\xFF", 2), 0, 0));
    EXPECT_EQ(pty.receive(2), std::string("\x00\xFF", 2));
    EXPECT_TRUE(channel.Open(false));
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(channel.LastError(), ConnectNoError);
}

}  // namespace

namespace {

TEST_F(SerialPty, PortMayNameALinkToTheTerminal)
{
    QTemporaryDir dir;
    const std::string alias = dir.filePath(QStringLiteral("receiver")).toStdString();
    ASSERT_EQ(::symlink(pty.path().c_str(), alias.c_str()), 0);
    pointPort(8, alias);
    EXPECT_EQ(link.SetPort(8), 8);
    ASSERT_TRUE(link.Open()) << link.lastError();
    EXPECT_EQ(link.ProbePort(8), PortState::InUse);
    pty.send("via link");
    EXPECT_EQ(readAtLeast(8), "via link");
}

}  // namespace

namespace {

TEST_F(SerialPty, ReceiverHangingUpClosesThePort)
{
    ASSERT_TRUE(link.Open());
    // Closing the master hangs the terminal up: reads return nothing for
    // ever, and the link must not spin on them.
    pty.closeMaster();
    ASSERT_TRUE(processEventsUntil([&] { return !link.IsOpen(); })) << "the hang-up is noticed";
    EXPECT_EQ(link.Read(0), "");
    EXPECT_EQ(mapLinkError(link.lastError()), ConnectLnClosed);
}

}  // namespace

TEST_F(SerialPty, APortWithoutPermissionSaysSoAndNamesTheGroupOfItsDevice)
{
    // The slave made like a serial port's node: read and write for the
    // owner and its group only (for a user who owns it: for the group only).
    struct stat st {};
    ASSERT_EQ(::stat(pty.path().c_str(), &st), 0);
    gid_t gid = st.st_gid;
    if (::geteuid() == 0) {
        if (const group* tty = ::getgrnam("tty")) {
            ASSERT_EQ(::chown(pty.path().c_str(), static_cast<uid_t>(-1), tty->gr_gid), 0);
            gid = tty->gr_gid;
        }
    }
    ASSERT_EQ(::chmod(pty.path().c_str(), ::geteuid() == 0 ? 0660 : 0060), 0);
    const group* owning = ::getgrgid(gid);
    const std::string groupName = gid != 0 && owning != nullptr ? owning->gr_name : "dialout";

    RecordingReporter reporter;
    {
        Unprivileged user;
        ASSERT_TRUE(user.ok());
        EXPECT_TRUE(deviceAccessDenied(pty.path()));
        EXPECT_FALSE(link.Open());
        EXPECT_EQ(link.lastError(), LinkOpenError);
        EXPECT_FALSE(link.Open());
    }
    EXPECT_FALSE(link.IsOpen());
    ASSERT_EQ(reporter.messages.size(), 1u);
    const std::string& text = reporter.messages[0];
    EXPECT_NE(text.find("No permission to open the serial port " + pty.path()), std::string::npos) << text;
    EXPECT_NE(text.find("group \"" + groupName + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("adduser $USER " + groupName), std::string::npos) << text;

    // A node whose group may not use it either: joining the group is no help.
    ASSERT_EQ(::chmod(pty.path().c_str(), 0600), 0);
    EXPECT_NE(permissionMessage(pty.path()).find("Only the owner"), std::string::npos);

    // With its permission back the port opens as before.
    ASSERT_EQ(::chmod(pty.path().c_str(), st.st_mode & 07777), 0);
    EXPECT_FALSE(deviceAccessDenied(pty.path()));
    EXPECT_TRUE(link.Open()) << link.lastError();
}

TEST(SerialPorts, ANodeThatCannotBeReadIsNotDeniedAndNamesDebiansGroup)
{
    EXPECT_FALSE(deviceAccessDenied("/nonexistent/ttyKORVANE")) << "absent, not refused";
    EXPECT_NE(permissionMessage("/nonexistent/ttyKORVANE").find("group \"dialout\""), std::string::npos);
}
