// Every model against faults that a connection meets in the field: how long
// a connect dialogue holds the event loop when the receiver says nothing or
// answers badly, and whether the receiver is back once its line is clean.
// The holds are counted in the waits the links asked for (steps of 10 ms
// over TCP, the read delay on a serial line), never timed.
#include <gtest/gtest.h>

#include "e2esupport.h"

namespace quorvin::e2e {
namespace {

// What one unanswered read waits: over TCP its delay counts as 10 ms steps
// on top of 50 steps; on a serial line it is the delay itself.
long long oneReadMs(Transport transport, int delayMs)
{
    return transport == Transport::Tcp ? (delayMs + 50) * 10LL : delayMs;
}

// The TCP connect itself and the reads that end at once (nothing waiting
// after a command the receiver does not answer) take a few steps more.
long long slackMs(Transport transport)
{
    return transport == Transport::Tcp ? 200 : 30;
}

class Recovery : public ModelFixture {
protected:
    // A receiver that answers nothing: the connect fails with a time-out
    // after one unanswered read (`readMs`, the delay of the dialogue's first
    // read that expects an answer; `secondReadMs` where the dialogue judges
    // a later answer only), not after every read of its dialogue.
    void silentConnectWaitsOneRead(const char* line, DrvType type, int readMs, int secondReadMs = 0)
    {
        startSim(line);
        sim::FaultPlan plan;
        plan.silenceAfter = 0;
        m_sim->setFaults(plan);
        configure(type, 0);
        m_sleeper.resetWaited();
        const ConnErr result = connect();
        EXPECT_NE(result, ConnectNoError);
        EXPECT_NE(result, ConnectRxComPending);
        EXPECT_TRUE(m_log.connectionLost());
        const long long second = secondReadMs > 0 ? oneReadMs(GetParam(), secondReadMs) : 0;
        EXPECT_LE(m_sleeper.waitedMs(), oneReadMs(GetParam(), readMs) + second + slackMs(GetParam()));
    }
};

TEST_P(Recovery, SilentNrd535)
{
    silentConnectWaitsOneRead("NRD535", DrvNRD535, 100);
}

TEST_P(Recovery, SilentRa6790)
{
    silentConnectWaitsOneRead("RA6790", DrvRA6790, 40);
}

TEST_P(Recovery, SilentRa1792)
{
    silentConnectWaitsOneRead("RA1792", DrvRA1792, 40);
}

TEST_P(Recovery, SilentTrc243)
{
    // Its dialogue judges only the answer to RMT: a receiver that leaves LOC
    // unanswered may still be there, so both reads are waited.
    silentConnectWaitsOneRead("TRC243", DrvTRC243, 100, 200);
}

TEST_P(Recovery, SilentRek085)
{
    silentConnectWaitsOneRead("REK085", DrvREK085, 100);
}

TEST_P(Recovery, SilentNdx264)
{
    silentConnectWaitsOneRead("NDX264", DrvNDX264, 400);
}

TEST_P(Recovery, SilentTrc294)
{
    silentConnectWaitsOneRead("TRC294", DrvTRC294, 100);
}

TEST_P(Recovery, SilentHf2050)
{
    silentConnectWaitsOneRead("HF2050", DrvHF2050, 100);
}

TEST_P(Recovery, SilentNdx264ChannelReadWaitsItsShortWaitsOnly)
{
    // A channel read gives a silent receiver three recalls of ten short
    // waits (20 ms and a look at what came); over TCP each look is one step,
    // never a whole read of 50 steps.
    startSim("NDX264");
    configure(DrvNDX264, 0);
    ASSERT_EQ(connect(), ConnectNoError);
    ASSERT_TRUE(waitUntil([&] { return m_log.count("SMt") > 0; })) << "no status after connect";
    sim::FaultPlan plan;
    plan.silenceAfter = 0;
    m_sim->setFaults(plan);
    m_sleeper.resetWaited();
    RCODE rc = R_OK;
    ASSERT_EQ(m_drv->RxChnRead(0, 5, &rc), S_OK);
    EXPECT_EQ(rc, R_KO);
    const long long look = GetParam() == Transport::Tcp ? 10 : 0;
    EXPECT_LE(m_sleeper.waitedMs(), 30 * (20 + look) + slackMs(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Links, Recovery, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return transportName(info.param); });

}  // namespace
}  // namespace quorvin::e2e
