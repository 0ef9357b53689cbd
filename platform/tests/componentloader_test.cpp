// The "not found" start-up paths of component loading.
#include "platform/componentloader.h"

#include <gtest/gtest.h>

TEST(ComponentLoader, MissingLibraryIsReported)
{
    auto c = platform::loadComponent("libdoes-not-exist-korvane.so", "{x}");
    EXPECT_EQ(c.object, nullptr);
    EXPECT_NE(c.error.find("libdoes-not-exist-korvane.so"), std::string::npos);
}

TEST(ComponentLoader, LibraryWithoutFactoryIsReported)
{
    auto c = platform::loadComponent("libm.so.6", "{x}");
    EXPECT_EQ(c.object, nullptr);
    EXPECT_NE(c.error.find("no component factory"), std::string::npos);
}
