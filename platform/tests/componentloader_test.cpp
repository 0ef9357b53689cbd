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

namespace {

int g_linkedObject = 0;

HRESULT linkedFactory(const char* classId, void** object)
{
    *object = nullptr;
    if (std::string(classId) != "{linked}") {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    *object = &g_linkedObject;
    return S_OK;
}

}  // namespace

// A program linked with a library's code creates objects from that copy and
// opens no second one.
TEST(ComponentLoader, ALinkedCopyServesItsLibraryWithoutOpeningTheFile)
{
    platform::registerLinkedComponent("libkorvane-linked-only.so", &linkedFactory);
    auto c = platform::loadComponent("libkorvane-linked-only.so", "{linked}");
    EXPECT_EQ(c.object, &g_linkedObject);
    EXPECT_EQ(c.library, nullptr);
    EXPECT_TRUE(c.error.empty()) << c.error;

    auto unknown = platform::loadComponent("libkorvane-linked-only.so", "{other}");
    EXPECT_EQ(unknown.object, nullptr);
    EXPECT_NE(unknown.error.find("does not provide class {other}"), std::string::npos);

    platform::registerLinkedComponent("libkorvane-linked-only.so", nullptr);
    auto gone = platform::loadComponent("libkorvane-linked-only.so", "{linked}");
    EXPECT_EQ(gone.object, nullptr);
    EXPECT_NE(gone.error.find("cannot load"), std::string::npos);
}
