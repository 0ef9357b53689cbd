// The options' network settings check and the stepping of a receiver
// function, without a window.
#include <gtest/gtest.h>

#include "controller/core/appsettings.h"
#include "controller/core/modestep.h"
#include "fakedriver.h"

namespace tessaly {
namespace {

using namespace quorvin;

TEST(NetSettings, AddressPortAndIdleTimeAreChecked)
{
    EXPECT_TRUE(netSettingsProblem(QStringLiteral("127.0.0.1"), 4532, 600).isEmpty());
    EXPECT_TRUE(netSettingsProblem(QStringLiteral(" 0.0.0.0 "), 1, 0).isEmpty());
    EXPECT_TRUE(netSettingsProblem(QStringLiteral("::1"), kLastBasePort, kMaxIdleSeconds).isEmpty());
    // A name is no address; an empty field neither.
    EXPECT_FALSE(netSettingsProblem(QStringLiteral("localhost"), 4532, 600).isEmpty());
    EXPECT_FALSE(netSettingsProblem(QString(), 4532, 600).isEmpty());
    EXPECT_FALSE(netSettingsProblem(QStringLiteral("127.0.0.256"), 4532, 600).isEmpty());
    // Eight receivers must fit above the first port.
    EXPECT_FALSE(netSettingsProblem(QStringLiteral("127.0.0.1"), 0, 600).isEmpty());
    EXPECT_FALSE(netSettingsProblem(QStringLiteral("127.0.0.1"), kLastBasePort + 1, 600).isEmpty());
    EXPECT_FALSE(netSettingsProblem(QStringLiteral("127.0.0.1"), 4532, -1).isEmpty());
    EXPECT_FALSE(netSettingsProblem(QStringLiteral("127.0.0.1"), 4532, kMaxIdleSeconds + 1).isEmpty());
}

TEST(BoolOptions, EveryOptionHasItsStoredNameAndDefault)
{
    std::size_t count = 0;
    const BoolOption* options = boolOptions(&count);
    ASSERT_EQ(count, 8u);
    Options defaults;
    int boxes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_EQ(defaults.*(options[i].member), options[i].fallback) << options[i].valueName;
        boxes += options[i].box != nullptr ? 1 : 0;
    }
    EXPECT_EQ(boxes, 7);  // "FollowCarrier" has none
    EXPECT_FALSE(defaults.OptDDELink);
    EXPECT_FALSE(defaults.OptNetServer);
    EXPECT_EQ(defaults.OptNetAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(defaults.OptNetPort, 4532);
    EXPECT_EQ(defaults.OptNetIdle, 600);
}

// A driver whose "next" only answers.
class NextDriver : public test::FakeDriver {
public:
    HRESULT get_RxModNxt(std::int16_t, MODTYPE* p) override
    {
        *p = ModUSB;
        return S_OK;
    }
    HRESULT get_RxFltBWNxt(std::int16_t, std::int32_t* p) override
    {
        *p = 6000;
        return S_OK;
    }
};

TEST(StepFunction, TheNextValueIsSetAndNothingWhenThereIsNone)
{
    NextDriver driver;
    EXPECT_TRUE(stepFunction(driver, 0, StepFunction::Mode));
    EXPECT_TRUE(driver.wrote("mod", ModUSB));
    EXPECT_TRUE(stepFunction(driver, 0, StepFunction::Filter));
    EXPECT_TRUE(driver.wrote("flt", 6000));
    // No AGC, attenuator or noise blanker: nothing is sent.
    const auto writes = driver.writes.size();
    EXPECT_FALSE(stepFunction(driver, 0, StepFunction::Agc));
    EXPECT_FALSE(stepFunction(driver, 0, StepFunction::Attenuator));
    EXPECT_FALSE(stepFunction(driver, 0, StepFunction::NoiseBlanker));
    EXPECT_EQ(driver.writes.size(), writes);
}

}  // namespace
}  // namespace tessaly
