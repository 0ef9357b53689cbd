// Loading liblumaret.so the way the application does: by file name and
// class identifier through the component loader.
#include <gtest/gtest.h>

#include <memory>

#include "freqdb/frequencydata.h"
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

namespace {

class CountingDialogs : public lumaret::DialogHost {
public:
    void utilDialog(lumaret::FrequencyData& data) override
    {
        ++utilShown;
        data.utilityLists().setSelection(lumaret::UNavTex, 1);
    }
    void dataDialog(lumaret::FrequencyData&) override { ++dataShown; }
    int utilShown = 0;
    int dataShown = 0;
};

}  // namespace

TEST(LumaretComponent, DialogsAnswerZeroWithAndWithoutAWindow)
{
    lumaret::FrequencyData fd;
    std::int32_t result = -1;
    EXPECT_EQ(fd.UtilDialog(&result), S_OK);
    EXPECT_EQ(result, 0);
    result = -1;
    EXPECT_EQ(fd.DataDialog(&result), S_OK);
    EXPECT_EQ(result, 0);

    CountingDialogs dialogs;
    lumaret::DialogHost* old = lumaret::setDialogHost(&dialogs);
    result = -1;
    fd.UtilDialog(&result);
    fd.DataDialog(&result);
    lumaret::setDialogHost(old);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(dialogs.utilShown, 1);
    EXPECT_EQ(dialogs.dataShown, 1);
    std::int32_t idx = 0, tot = 0, hz = 0;
    fd.UtilNext(1, &idx, &tot, &hz);
    EXPECT_EQ(hz, 488300);
}
