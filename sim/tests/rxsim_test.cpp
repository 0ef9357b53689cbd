// rxsim's command line, and rxsim run as a child process: what it prints,
// that it serves, that it refuses models without a simulator, and that it
// ends cleanly on SIGTERM.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "korvaneversion.h"
#include "rxsimoptions.h"
#include "rxsimprocess.h"
#include "simtestclient.h"

using simtest::Client;

namespace {

bool parse(const std::vector<std::string>& args, sim::RxsimOptions& options, std::string& error)
{
    error.clear();
    return sim::parseRxsimArgs(args, options, error);
}

// Runs rxsim with a shell command line; returns its output and exit code.
std::pair<std::string, int> runRxsim(const std::string& args)
{
    const std::string command = sim::RxsimProcess::defaultProgram() + " " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string out;
    char buf[1024];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
        out.append(buf, n);
    }
    const int status = ::pclose(pipe);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

TEST(RxsimOptions, LinesTransportAndFaults)
{
    sim::RxsimOptions o;
    std::string error;
    ASSERT_TRUE(parse({"NRD535", "RA1792:1+RA1792:2", "--tcp", "4530", "--silence=10", "--garbage", "--truncate-to=4",
                       "--hangup=3", "--delay", "75", "--trace", "--option=H", "--seed=9"},
                      o, error))
        << error;
    ASSERT_EQ(o.lines.size(), 2u);
    EXPECT_EQ(o.lines[1].text, "RA1792:1+RA1792:2");
    ASSERT_EQ(o.lines[1].receivers.size(), 2u);
    EXPECT_EQ(o.lines[1].receivers[1].address, 2);
    EXPECT_EQ(o.lines[0].receivers[0].address, -1);
    EXPECT_TRUE(o.tcp);
    EXPECT_EQ(o.port, 4530);
    EXPECT_EQ(o.faults.silenceAfter, 10);
    EXPECT_EQ(o.faults.garbageAfter, 0);
    EXPECT_EQ(o.faults.truncateAfter, 0);
    EXPECT_EQ(o.faults.truncateTo, 4);
    EXPECT_EQ(o.faults.hangUpAfter, 3);
    EXPECT_EQ(o.faults.delayMs, 75);
    EXPECT_EQ(o.faults.seed, 9u);
    EXPECT_TRUE(o.trace);
    EXPECT_TRUE(o.modelOptions.has("H"));

    ASSERT_TRUE(parse({"ra1792", "--pty", "--garbage-bytes=7f7F", "--drop"}, o, error)) << error;
    EXPECT_EQ(o.lines[0].receivers[0].address, 1);  // the model's default address
    EXPECT_EQ(o.faults.garbageBytes, "\x7f\x7f");
    EXPECT_EQ(o.faults.garbageAfter, 0);
    EXPECT_EQ(o.faults.hangUpAfter, 0);
}

TEST(RxsimOptions, MistakesGetClearMessages)
{
    sim::RxsimOptions o;
    std::string error;
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"NRD535"}, "--pty"},
        {{"NRD535", "--pty", "--tcp", "1"}, "exactly one"},
        {{"--pty"}, "no LINE"},
        {{"XYZ1", "--pty"}, "unknown model"},
        {{"NRD535:1", "--pty"}, "no bus address"},
        {{"RA1792:100", "--pty"}, "bad address"},
        {{"RA1792:x", "--pty"}, "bad address"},
        {{"RA1792:3+RA1792:3", "--pty"}, "two receivers at address 3"},
        {{"RA1792+NRD535", "--pty"}, "cannot share a line"},
        {{"RA1792+", "--pty"}, "unknown model"},
        {{"NRD535", "--tcp", "70000"}, "bad port"},
        {{"NRD535", "--tcp"}, "needs a value"},
        {{"NRD535", "NRD535", "--tcp", "65535"}, "not enough ports"},
        {{"NRD535", "--pty", "--silence=x"}, "bad count"},
        {{"NRD535", "--pty", "--garbage-bytes=7"}, "hexadecimal"},
        {{"NRD535", "--pty", "--frobnicate"}, "unknown option"},
        {{"NRD535", "--tcp", "0", "--link", "/tmp/x"}, "needs --pty"},
        {{"NRD535", "--pty", "--link", "/tmp/x", "--link", "/tmp/y"}, "more --link"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(parse(c.args, o, error)) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << "got: " << error;
    }
    // Models still without a simulator are refused, alone and on a shared line.
    for (const sim::SimModel& model : sim::simModels()) {
        if (model.create) {
            continue;
        }
        const std::string name(model.name);
        EXPECT_FALSE(parse({name, "--pty"}, o, error));
        EXPECT_NE(error.find("no simulator yet"), std::string::npos) << "got: " << error;
        if (model.defaultAddress >= 0) {
            EXPECT_FALSE(parse({name + ":1+" + name + ":2", "--pty"}, o, error));
            EXPECT_NE(error.find("no simulator yet"), std::string::npos) << "got: " << error;
        }
    }
    EXPECT_TRUE(parse({"whatever", "--help"}, o, error));
    EXPECT_TRUE(o.help);
}

TEST(RxsimProgram, HelpNamesEveryModelAndSwitch)
{
    auto [text, code] = runRxsim("--help");
    EXPECT_EQ(code, 0);
    for (const char* word :
         {"NRD535",   "RA6790", "RA1792",    "TRC243",    "REK085",          "NDX264",     "TRC294",        "HF2050",
          "--pty",    "--tcp",  "--silence", "--garbage", "--garbage-bytes", "--truncate", "--truncate-to", "--partial",
          "--hangup", "--drop", "--delay",   "--seed",    "--option",        "--trace",    "--link"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
}

TEST(RxsimProgram, VersionIsTheSuites)
{
    auto [text, code] = runRxsim("NRD535 --version");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(text, "rxsim " KORVANE_VERSION "\n");
}

TEST(RxsimProgram, RefusesAModelWithoutSimulator)
{
    const sim::SimModel* missing = nullptr;
    for (const sim::SimModel& model : sim::simModels()) {
        if (!model.create) {
            missing = &model;
            break;
        }
    }
    if (!missing) {
        GTEST_SKIP() << "every model has a simulator";
    }
    const std::string name(missing->name);
    auto [text, code] = runRxsim(name + " --pty");
    EXPECT_EQ(code, 2);
    EXPECT_NE(text.find(name + " has no simulator yet"), std::string::npos) << text;
}

TEST(RxsimProgram, PrintsOneLinePerLineServesAndStopsOnSigterm)
{
    sim::RxsimProcess rxsim;
    std::string error;
    ASSERT_TRUE(rxsim.start({"NRD535", "RA1792:4+RA1792:5", "--tcp", "0"}, &error)) << error;
    ASSERT_EQ(rxsim.lines().size(), 2u);
    EXPECT_EQ(rxsim.lines()[0].rfind("NRD535 127.0.0.1:", 0), 0u) << rxsim.lines()[0];
    EXPECT_EQ(rxsim.lines()[1].rfind("RA1792:4+RA1792:5 127.0.0.1:", 0), 0u) << rxsim.lines()[1];

    Client nrd = Client::tcp(rxsim.port(0));
    nrd.send("?\r");
    EXPECT_EQ(nrd.readLines('\r', 1), "NRD-535\r");
    Client bus = Client::tcp(rxsim.port(1));
    bus.send("$05G\r\n");
    EXPECT_EQ(bus.readLines('\n', 1), "F7.050000D6I3M1X0\r\n");

    const int status = rxsim.terminate();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RxsimProgram, PtyLinesAndFaultSwitches)
{
    sim::RxsimProcess rxsim;
    std::string error;
    ASSERT_TRUE(rxsim.start({"NRD535", "--pty", "--garbage-bytes", "7F", "--option", "H"}, &error)) << error;
    const std::string device = rxsim.endpoint(0);
    EXPECT_EQ(device.rfind("/dev/", 0), 0u) << device;
    Client c = Client::device(device);
    ASSERT_TRUE(c.isOpen());
    c.send("?\r");
    EXPECT_EQ(c.read(1), "\x7f");
    const int status = rxsim.terminate();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RxsimProgram, StopsOnSigintAndReportsAPortInUse)
{
    sim::RxsimProcess first;
    std::string error;
    ASSERT_TRUE(first.start({"NRD535", "--tcp", "0"}, &error)) << error;
    const int port = first.port(0);
    ASSERT_GT(port, 0);

    auto [text, code] = runRxsim("RA1792 --tcp " + std::to_string(port));
    EXPECT_EQ(code, 1);
    EXPECT_NE(text.find("cannot listen on 127.0.0.1:" + std::to_string(port)), std::string::npos) << text;

    ::kill(first.pid(), SIGINT);
    const int status = first.wait(5000);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(RxsimProgram, LinkGivesThePtyAStableName)
{
    char dir[] = "/tmp/rxsim-link-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string link = std::string(dir) + "/nrd535";
    const std::string plain = std::string(dir) + "/plain";
    {
        sim::RxsimProcess rxsim;
        std::string error;
        ASSERT_TRUE(rxsim.start({"NRD535", "--pty", "--link", link}, &error)) << error;
        Client c = Client::device(link);
        ASSERT_TRUE(c.isOpen());
        c.send("?\r");
        EXPECT_EQ(c.readLines('\r', 1), "NRD-535\r");
        c.close();
        EXPECT_EQ(WEXITSTATUS(rxsim.terminate()), 0);
    }
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);  // removed on exit

    // A file that is no link is never replaced.
    FILE* f = std::fopen(plain.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    auto [text, code] = runRxsim("NRD535 --pty --link " + plain);
    EXPECT_EQ(code, 1);
    EXPECT_NE(text.find("left alone"), std::string::npos) << text;
    EXPECT_EQ(::lstat(plain.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    ::unlink(plain.c_str());
    ::rmdir(dir);
}
