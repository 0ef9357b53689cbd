// The helpers that start rxsim and ser2net for tests must not leave them
// running when the test program dies without reaching its destructors (a
// crash, an abort, CTest killing it at its time-out). The test runs this
// same program again as a "test process" that starts the helper, reports the
// child's process id, and is then killed outright; the child must end too.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "sim/rxsimprocess.h"
#include "tests/support/ser2netproxy.h"

namespace {

std::string g_self;

// ---- The "test process" side ------------------------------------------------------------------

void report(pid_t child)
{
    std::printf("%d\n", static_cast<int>(child));
    std::fflush(stdout);
    // Hang as a stuck test would, until the parent kills this process.
    for (;;) {
        ::pause();
    }
}

int runRxsimHelper()
{
    sim::RxsimProcess rxsim;
    std::string error;
    if (!rxsim.start({"NRD535", "--pty"}, &error, 30000)) {
        std::fprintf(stderr, "rxsim: %s\n", error.c_str());
        return 1;
    }
    report(rxsim.pid());
    return 0;
}

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

int runSer2netHelper(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // A pseudo-terminal for ser2net to serve (it opens it only for a client).
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("pty");
        return 1;
    }
    korvanetest::Ser2netProxy proxy(::ptsname(master), freePort());
    if (!proxy.waitListening(30000)) {
        std::fprintf(stderr, "ser2net did not start: %s\n", proxy.output().c_str());
        return 1;
    }
    report(static_cast<pid_t>(proxy.pid()));
    return 0;
}

// ---- The test side -----------------------------------------------------------------------------

// State letter of a process ('Z' for a zombie), nothing when it is gone.
std::optional<char> processState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return std::nullopt;
    }
    const auto close = line.rfind(')');
    if (close == std::string::npos || close + 2 >= line.size()) {
        return std::nullopt;
    }
    return line[close + 2];
}

bool gone(pid_t pid)
{
    const auto state = processState(pid);
    return !state || *state == 'Z' || *state == 'X';
}

// A temporary folder of the test side, removed with everything in it when
// the test ends.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-child-cleanup-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~ScratchDir()
    {
        std::error_code ec;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ec);
        }
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Runs this program as a test process with `mode`, reads the child's pid it
// reports, kills the test process outright and answers whether the child
// ended within a generous bound. A child left running is stopped here.
// The test process is killed before its destructors can remove its
// temporary files (ser2net's configuration folder), so it makes them in a
// folder of this side (its TMPDIR), which goes when the test ends.
void expectChildEndsWithTestProcess(const char* mode)
{
    const ScratchDir scratch;
    ASSERT_FALSE(scratch.path().empty());
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t helper = ::fork();
    ASSERT_GE(helper, 0);
    if (helper == 0) {
        ::setenv("TMPDIR", scratch.path().c_str(), 1);
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::execl(g_self.c_str(), g_self.c_str(), mode, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string text;
    char chunk[64];
    ssize_t n;
    while (text.find('\n') == std::string::npos && (n = ::read(out[0], chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    const pid_t child = static_cast<pid_t>(std::atoi(text.c_str()));
    ::kill(helper, SIGKILL);
    ::waitpid(helper, nullptr, 0);
    ASSERT_GT(child, 0) << "the test process did not start its child";

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!gone(child) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const bool ended = gone(child);
    if (!ended) {
        ::kill(child, SIGKILL);
    }
    EXPECT_TRUE(ended) << mode << ": child " << child << " outlived its test process";
}

TEST(ChildCleanup, RxsimEndsWithTheTestProcessThatStartedIt)
{
    expectChildEndsWithTestProcess("--helper-rxsim");
}

TEST(ChildCleanup, Ser2netEndsWithTheTestProcessThatStartedIt)
{
    if (korvanetest::Ser2netProxy::binary().empty()) {
        GTEST_SKIP() << "ser2net is not installed (scripts/setup installs it)";
    }
    expectChildEndsWithTestProcess("--helper-ser2net");
}

}  // namespace

int main(int argc, char** argv)
{
    g_self = "/proc/self/exe";
    char path[4096];
    const ssize_t len = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (len > 0) {
        g_self.assign(path, static_cast<std::size_t>(len));
    }
    if (argc == 2 && std::strcmp(argv[1], "--helper-rxsim") == 0) {
        return runRxsimHelper();
    }
    if (argc == 2 && std::strcmp(argv[1], "--helper-ser2net") == 0) {
        return runSer2netHelper(argc, argv);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
