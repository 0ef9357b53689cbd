// Fault injection on single frames, without a port.
#include <gtest/gtest.h>

#include "faultplan.h"

using sim::FaultInjector;
using sim::FaultPlan;
using Action = sim::FaultInjector::Action;

TEST(FaultInjector, NoPlanPassesEveryFrameUntouched)
{
    FaultInjector faults;
    const std::string binary("\x00\x7f\x80\xff\r", 5);
    auto out = faults.apply(binary);
    EXPECT_EQ(out.action, Action::Send);
    EXPECT_EQ(out.bytes, binary);
    EXPECT_EQ(out.delayMs, 0);
}

TEST(FaultInjector, SwitchesStartAfterTheirCount)
{
    FaultPlan plan;
    plan.silenceAfter = 2;
    FaultInjector faults(plan);
    EXPECT_EQ(faults.apply("A\r").action, Action::Send);
    EXPECT_EQ(faults.apply("B\r").action, Action::Send);
    EXPECT_EQ(faults.apply("C\r").action, Action::Swallow);
    EXPECT_EQ(faults.apply("D\r").action, Action::Swallow);
    // A new connection counts afresh.
    faults.newConnection();
    EXPECT_EQ(faults.apply("E\r").action, Action::Send);

    plan = FaultPlan{};
    plan.hangUpAfter = 1;
    faults.setPlan(plan);
    EXPECT_EQ(faults.apply("A\r").action, Action::Send);
    EXPECT_EQ(faults.apply("B\r").action, Action::HangUp);
}

TEST(FaultInjector, GarbageKeepsLineEndsOrSendsTheGivenBytes)
{
    FaultPlan plan;
    plan.garbageAfter = 0;
    plan.seed = 42;
    FaultInjector faults(plan);
    const std::string reply = "F10.000000D3I3M1X0\r\n";
    auto out = faults.apply(reply);
    ASSERT_EQ(out.bytes.size(), reply.size());
    EXPECT_NE(out.bytes, reply);
    EXPECT_EQ(out.bytes.substr(reply.size() - 2), "\r\n");
    EXPECT_EQ(out.bytes.substr(0, reply.size() - 2).find_first_of("\r\n"), std::string::npos);
    // The same seed gives the same garbage.
    FaultInjector again(plan);
    EXPECT_EQ(again.apply(reply).bytes, out.bytes);

    plan.garbageBytes = std::string("\x7f", 1);
    faults.setPlan(plan);
    EXPECT_EQ(faults.apply(reply).bytes, "\x7f");
}

TEST(FaultInjector, TruncationAlwaysCutsShort)
{
    FaultPlan plan;
    plan.truncateAfter = 0;
    FaultInjector faults(plan);
    EXPECT_EQ(faults.apply("NRD-535\r").bytes, "NRD-");
    plan.truncateTo = 100;
    faults.setPlan(plan);
    EXPECT_EQ(faults.apply("H0\r").bytes, "H0");
    plan.truncateTo = 0;
    faults.setPlan(plan);
    EXPECT_EQ(faults.apply("H0\r").action, Action::Swallow);
    // With garbage too, the garbage is cut.
    plan.truncateTo = 1;
    plan.garbageAfter = 0;
    plan.garbageBytes = "\x7f\x7f";
    faults.setPlan(plan);
    EXPECT_EQ(faults.apply("H0\r").bytes, "\x7f");
}

TEST(FaultInjector, DelayAppliesToEveryReply)
{
    FaultPlan plan;
    plan.delayMs = 250;
    FaultInjector faults(plan);
    EXPECT_EQ(faults.apply("A\r").delayMs, 250);
    EXPECT_EQ(faults.apply("B\r").delayMs, 250);
}

TEST(FaultInjector, CorruptAddsOneToOneByte)
{
    FaultPlan plan;
    plan.corruptAfter = 1;
    FaultInjector faults(plan);
    const std::string frame("\x09\x06\xf1\x45\x00\x00\x02\x10\xff", 9);
    EXPECT_EQ(faults.apply(frame).bytes, frame);
    std::string last = frame;
    last[8] = 0x00;  // 0xFF + 1 wraps
    EXPECT_EQ(faults.apply(frame).bytes, last);
    plan.corruptAfter = 0;
    plan.corruptAt = 0;
    faults.setPlan(plan);
    EXPECT_EQ(faults.apply(frame).bytes[0], '\x0a');
    // A position beyond the frame leaves it as it is.
    plan.corruptAt = 20;
    faults.setPlan(plan);
    EXPECT_EQ(faults.apply(frame).bytes, frame);
    plan.corruptAt = -10;
    faults.setPlan(plan);
    EXPECT_EQ(faults.apply(frame).bytes, frame);
}

TEST(FaultInjector, DropsTheNextCommandsGivenEvenWhenTheyArriveInPieces)
{
    FaultPlan plan;
    plan.dropCommand = "F07100000\r";
    plan.dropCount = 2;
    FaultInjector faults(plan);
    int dropped = 0;
    // Whole, between other commands.
    EXPECT_EQ(faults.filterInput("I\rF07100000\rI\r", &dropped), "I\rI\r");
    EXPECT_EQ(dropped, 1);
    // Cut in three: the possible start waits for what follows.
    EXPECT_EQ(faults.filterInput("I\rF07", &dropped), "I\r");
    EXPECT_TRUE(faults.holds());
    EXPECT_EQ(faults.filterInput("1000", &dropped), "");
    EXPECT_EQ(faults.filterInput("00\rI\r", &dropped), "I\r");
    EXPECT_EQ(dropped, 2);
    EXPECT_EQ(faults.dropsLeft(), 0);
    // Used up: the same command passes.
    EXPECT_EQ(faults.filterInput("F07100000\r"), "F07100000\r");

    // A start that turns out to be another command is released whole.
    faults.setPlan(plan);
    EXPECT_EQ(faults.filterInput("F07"), "");
    EXPECT_EQ(faults.filterInput("2"), "F072");
    EXPECT_EQ(faults.filterInput("F0"), "");
    EXPECT_EQ(faults.takeHeld(), "F0");
    EXPECT_EQ(faults.dropsLeft(), 2);
}
