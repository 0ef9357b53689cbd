// The receiver commands of korvanectl against simulated receivers: list,
// connect, get and set, and memory channels through the channel file and back.
#include <gtest/gtest.h>

#include <QFile>

#include <fstream>
#include <sstream>

#include "e2esupport.h"
#include "nrd535sim.h"
#include "tools/receivercommands.h"

namespace quorvin::e2e {
namespace {

class ReceiverCommands : public ModelFixture {
protected:
    void SetUp() override
    {
        startSim("NRD535");
        configure(DrvNRD535, 0);
    }
    int run(const std::string& command, std::vector<std::string> args)
    {
        m_out.str("");
        m_err.str("");
        return tools::runReceiverCommand(command, args, m_out, m_err);
    }
    template <class F>
    auto state(F&& f)
    {
        return withSim<sim::Nrd535Sim>([&](sim::Nrd535Sim& s) { return f(s.state()); });
    }
    std::string readFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

    std::ostringstream m_out;
    std::ostringstream m_err;
};

TEST_P(ReceiverCommands, ListConnectGetAndSet)
{
    EXPECT_EQ(run("receivers", {"E2E"}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "0\tRx\tNRD535\tserial port 3\n");
    EXPECT_EQ(run("receivers", {"Nowhere"}), 1);
    EXPECT_NE(m_err.str().find("has no receiver"), std::string::npos);

    EXPECT_EQ(run("connect", {"-c", "E2E", "rx"}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "0\tRx\tconnected\tNRD-535\t9650000\n");
    EXPECT_EQ(run("connect", {"-c", "E2E", "7"}), 2);

    EXPECT_EQ(run("set", {"-c", "E2E", "0", "frequency", "7050k", "mode", "USB", "agc", "Slow"}), 0) << m_err.str();
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.frequency; }), 7050000);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.mode; }), 2);
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.agc; }), 0);
    EXPECT_EQ(run("set", {"-c", "E2E", "Rx", "filter", "1200"}), 0) << m_err.str();
    EXPECT_EQ(run("get", {"-c", "E2E", "0", "frequency", "mode", "filter", "agc"}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "7050000\nUSB\n1000\nSlow\n");
    EXPECT_EQ(run("get", {"-c", "E2E", "0", "smeter"}), 0) << m_err.str();
    EXPECT_NE(m_out.str().find(" dBuV "), std::string::npos) << m_out.str();

    // Refusals, with what went wrong and the exit code scripts test.
    EXPECT_EQ(run("set", {"-c", "E2E", "0", "frequency", "40M"}), 1);
    EXPECT_NE(m_err.str().find("outside"), std::string::npos) << m_err.str();
    EXPECT_EQ(state([](const sim::Nrd535State& s) { return s.frequency; }), 7050000);
    EXPECT_EQ(run("set", {"-c", "E2E", "0", "mode", "ISB"}), 1);  // no ISB on this receiver
    EXPECT_EQ(run("set", {"-c", "E2E", "0", "mode", "Banana"}), 2);
    EXPECT_EQ(run("set", {"-c", "E2E", "0", "frequency"}), 2);
    EXPECT_EQ(run("get", {"-c", "E2E", "0", "volume"}), 2);
    EXPECT_EQ(run("get", {"--bogus"}), 2);
    EXPECT_EQ(run("get", {"--help"}), 0);
    EXPECT_NE(m_out.str().find("Exit codes"), std::string::npos);
}

TEST_P(ReceiverCommands, ChannelsRoundTripThroughAFile)
{
    state([](sim::Nrd535State& s) {
        s.channels[0] = sim::Nrd535Channel{0, 2, 2, 7050000, 0};  // narrow, USB, slow
        s.channels[5] = sim::Nrd535Channel{0, 0, 4, 15400000, 1};  // wide, AM, fast
        s.channels[199] = sim::Nrd535Channel{0, 1, 1, 10100000, 2};  // intermediate, CW, manual
        return 0;
    });
    const std::string file = m_dir + "/NRD535_Mem.txt";
    ASSERT_EQ(run("channels", {"dump", "-c", "E2E", "0", file}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "3 channels written to " + file + "\n");
    const std::string text = readFile(file);
    EXPECT_EQ(text, "000;    7050000;    0;  USB; 1000;Slow;0;\r\n"
                    "005;   15400000;    0;   AM; 5500;Fast;0;\r\n"
                    "199;   10100000;    0;   CW; 2200; Man;0;\r\n");

    // The receiver forgets them; the file brings them back.
    const auto before = state([](const sim::Nrd535State& s) { return s.channels; });
    state([](sim::Nrd535State& s) {
        s.channels = {};
        return 0;
    });
    ASSERT_EQ(run("channels", {"load", "-c", "E2E", "Rx", file}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "3 channels loaded from " + file + "\n");
    const auto after = state([](const sim::Nrd535State& s) { return s.channels; });
    for (int c : {0, 5, 199}) {
        ASSERT_TRUE(after[static_cast<std::size_t>(c)].has_value()) << c;
        EXPECT_EQ(after[static_cast<std::size_t>(c)]->frequency, before[static_cast<std::size_t>(c)]->frequency);
        EXPECT_EQ(after[static_cast<std::size_t>(c)]->mode, before[static_cast<std::size_t>(c)]->mode);
        EXPECT_EQ(after[static_cast<std::size_t>(c)]->filter, before[static_cast<std::size_t>(c)]->filter);
        EXPECT_EQ(after[static_cast<std::size_t>(c)]->agc, before[static_cast<std::size_t>(c)]->agc);
    }
    // A second dump writes the same file.
    ASSERT_EQ(run("channels", {"dump", "-c", "E2E", "0", file}), 0) << m_err.str();
    EXPECT_EQ(readFile(file), text);
}

TEST_P(ReceiverCommands, AMalformedFileWritesNothing)
{
    const std::string file = m_dir + "/bad.txt";
    writeFile(file, "001;    7050000;    0;  LSB; 2200; Man;0;\r\n"
                    "002;    7060000;    0;  LSB; 2200; Man;\r\n");
    EXPECT_EQ(run("channels", {"load", "-c", "E2E", "0", file}), 3);
    EXPECT_NE(m_err.str().find("Line 2 don't contain the required number of fields !"), std::string::npos)
        << m_err.str();
    writeFile(file, "001;    7050000;    0;  LSB; 2200; Man;0;\r\n"
                    "002;    7060000;    0;  XYZ; 2200; Man;0;\r\n");
    EXPECT_EQ(run("channels", {"load", "-c", "E2E", "0", file}), 3);
    EXPECT_NE(m_err.str().find("unknown mode \"XYZ\" on line 2"), std::string::npos) << m_err.str();
    EXPECT_EQ(run("channels", {"load", "-c", "E2E", "0", m_dir + "/missing.txt"}), 3);
    EXPECT_FALSE(state([](const sim::Nrd535State& s) { return s.channels[1].has_value(); }));

    // A dump into a directory that does not exist fails and leaves no file.
    EXPECT_EQ(run("channels", {"dump", "-c", "E2E", "0", m_dir + "/no/such/dir/x.txt"}), 3);
    // A dump over an existing file replaces it whole.
    writeFile(file, "old content\n");
    ASSERT_EQ(run("channels", {"dump", "-c", "E2E", "0", file}), 0) << m_err.str();
    EXPECT_EQ(readFile(file), "");  // the simulated receiver starts with no channels
}

INSTANTIATE_TEST_SUITE_P(Pty, ReceiverCommands, ::testing::Values(Transport::Pty),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
