// Loading liblumaret.so the way the application does: by file name and
// class identifier through the component loader.
#include <gtest/gtest.h>

#include <memory>

#include "interfaces/component.h"
#include "interfaces/ifrequencydata.h"
#include "platform/componentloader.h"

TEST(LumaretComponent, CreatesFrequencyDataByClassId)
{
    platform::LoadedComponent loaded = platform::loadComponent(kLumaretLibraryFile, kFrequencyDataClassId);
    ASSERT_TRUE(loaded.error.empty()) << loaded.error;
    ASSERT_NE(loaded.object, nullptr);
    std::unique_ptr<lumaret::IFrequencyData> fd(static_cast<lumaret::IFrequencyData*>(loaded.object));
    std::int32_t found = 0;
    EXPECT_EQ(fd->get_BandLook(7150000, &found), S_OK);
    EXPECT_EQ(found, 1);
    std::string name;
    fd->get_BandName(&name);
    EXPECT_EQ(name, "SwBc");
    std::int32_t count = 0;
    EXPECT_EQ(fd->DataCount(0, &count), S_OK);
    EXPECT_EQ(count, -1);
}

TEST(LumaretComponent, UnknownClassIsNotAvailable)
{
    platform::LoadedComponent loaded = platform::loadComponent(kLumaretLibraryFile, kReceiverDriverClassId);
    EXPECT_EQ(loaded.object, nullptr);
    EXPECT_FALSE(loaded.error.empty());
}
