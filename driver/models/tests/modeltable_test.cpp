// The table of models: every row answers for its model, options included.
#include <gtest/gtest.h>

#include "driver/core/modelregistry.h"
#include "driver/models/modeltable.h"

namespace quorvin {
namespace {

TEST(ModelTable, RowsStandInTypeOrderWithTheirNamesAndLogs)
{
    const char* logs[] = {"nrd535.log", "ra6790.log", "ra1792.log", "trc243.log",
                          "rek085.log", "ndx264.log", "trc294.log", "HF2050.log"};
    for (int type = DrvNRD535; type <= DrvHF2050; ++type) {
        const ModelInfo* info = modelInfo(type);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->type, type);
        EXPECT_EQ(modelName(type), info->name);
        EXPECT_STREQ(info->logFile, logs[type]);
        // Every filter slot in use has a name; a model never offers more than it has.
        for (int slot = 0; slot < info->slotCount; ++slot) {
            EXPECT_NE(info->filters[static_cast<std::size_t>(slot)].name, nullptr) << info->name << " " << slot;
        }
        EXPECT_LE(info->firstSlot + info->offered, info->slotCount) << info->name;
    }
    EXPECT_EQ(modelInfo(DrvTRC298), nullptr);
    EXPECT_EQ(modelInfo(-1), nullptr);
}

TEST(ModelTable, CapabilitiesOfEveryModel)
{
    const ModelInfo& nrd = *modelInfo(DrvNRD535);
    EXPECT_EQ(nrd.link.speed, 4800);
    EXPECT_FALSE(nrd.link.busAddressing);
    EXPECT_EQ(nrd.modCount, 7);
    EXPECT_TRUE(modelModeExists(nrd, ModAM_L, 0));
    EXPECT_FALSE(modelModeExists(nrd, ModISB, 0));
    EXPECT_EQ(nrd.chnCount, 200);
    EXPECT_EQ(nrd.nbls & bitOf(NBlWide), bitOf(NBlWide));

    const ModelInfo& ra = *modelInfo(DrvRA1792);
    EXPECT_EQ(ra.link.address, 1);
    EXPECT_EQ(ra.link.speed, 19200);
    EXPECT_EQ(ra.bfoMax, 7999);
    EXPECT_EQ(ra.emulated, bitOf(ModRTTY) | bitOf(ModFAX));
    EXPECT_FALSE(modelModeExists(ra, ModISB, 0));
    EXPECT_FALSE(ra.smeter);

    const ModelInfo& ra6790 = *modelInfo(DrvRA6790);
    EXPECT_EQ(modelFrqMin(ra6790, 0), 500000);
    EXPECT_EQ(modelFrqMin(ra6790, optionBit(ModelOption::A09666)), 5000);
    EXPECT_TRUE(modelModeExists(ra6790, ModCW_F, 0));

    const ModelInfo& trc294 = *modelInfo(DrvTRC294);
    EXPECT_EQ(modelFrqMax(trc294, 0), 119999999);
    EXPECT_EQ(modelFrqMax(trc294, optionBit(ModelOption::Ext)), 499999999);
    EXPECT_FALSE(modelModeExists(trc294, ModUSB, 0));
    EXPECT_TRUE(modelModeExists(trc294, ModUSB, optionBit(ModelOption::Ssb)));
    EXPECT_EQ(modelFrqStep(trc294, ModUSB, 0), 1000);
    EXPECT_EQ(modelFrqStep(trc294, ModUSB, optionBit(ModelOption::Ssb)), 10);
    EXPECT_EQ(modelFrqStep(trc294, ModAM, optionBit(ModelOption::Ssb)), 1000);
    EXPECT_TRUE(trc294.chnMask);
    EXPECT_EQ(trc294.bfoMin, 0);

    const ModelInfo& hf = *modelInfo(DrvHF2050);
    EXPECT_EQ(hf.modCount, 0);
    EXPECT_TRUE(hf.controlsWhileConnected);
    EXPECT_TRUE(modelModeExists(hf, ModISB, optionBit(ModelOption::Isb)));
    EXPECT_FALSE(modelModeExists(hf, ModISB, 0));

    const ModelInfo& trc243 = *modelInfo(DrvTRC243);
    EXPECT_EQ(trc243.outCount, -6);
    EXPECT_EQ(trc243.chnStart, 1);
    EXPECT_TRUE(modelModeExists(trc243, ModFM, optionBit(ModelOption::Fm)));
    EXPECT_FALSE(modelModeExists(trc243, ModFM, 0));

    const ModelInfo& ndx = *modelInfo(DrvNDX264);
    EXPECT_EQ(ndx.frqStep, 10);
    EXPECT_EQ(ndx.slotCount, 8);
    EXPECT_EQ(ndx.attCount, 3);
    EXPECT_EQ(ndx.atts & bitOf(AttPre), bitOf(AttPre));
}

TEST(ModelTable, NdxOffersManualAgcAndHf2050NamesItsFifthFilter)
{
    const ModelInfo& ndx = *modelInfo(DrvNDX264);
    EXPECT_EQ(ndx.agcs, bitOf(AgcManual) | bitOf(AgcFast) | bitOf(AgcSlow));
    EXPECT_EQ(ndx.agcCount, 2);
    const ModelInfo& hf = *modelInfo(DrvHF2050);
    ASSERT_NE(hf.filters[4].name, nullptr);
    EXPECT_STREQ(hf.filters[4].name, "F_FLS");
    EXPECT_EQ(hf.slotCount, 4);  // the four slots in use stay four
}

TEST(ModelTable, ModeOffsetsByKind)
{
    const ModeOffsets& shared = modelInfo(DrvRA6790)->offsets;
    EXPECT_EQ(modeOffset(shared, ModISB, 1, 0, -800), 1400);
    EXPECT_EQ(modeOffset(shared, ModRTTY, 1, 0, -800), 2210);
    EXPECT_EQ(modeOffset(shared, ModFAX, 3, 0, -800), -1900);
    EXPECT_EQ(modeOffset(shared, ModCW, 4, 0, -700), -700);
    EXPECT_EQ(modeOffset(shared, ModAM, 2, 6000, -800), 3000);
    const ModeOffsets& nrd = modelInfo(DrvNRD535)->offsets;
    EXPECT_EQ(modeOffset(nrd, ModISB, 1, 0, -800), 0);
    EXPECT_EQ(modeOffset(nrd, ModRTTY, 4, 0, -800), 2210);
    EXPECT_EQ(modeOffset(nrd, ModCW, 4, 0, -800), 800);
    EXPECT_EQ(modeOffset(nrd, ModUSB, 3, 0, -800), 0);
}

TEST(ModelTable, Rek085VariantsGiveTheirWidths)
{
    const Rek085Variant* v1 = rek085Variant(0);
    ASSERT_NE(v1, nullptr);
    EXPECT_EQ(v1->widths[0], 300);
    EXPECT_EQ(v1->widths[1], 2400);
    EXPECT_EQ(v1->widths[2], 8000);
    EXPECT_EQ(v1->widths[3], 0);
    const Rek085Variant* standard = rek085Variant(kRek085DefaultVariant);
    ASSERT_NE(standard, nullptr);
    EXPECT_STREQ(standard->name, "V2");
    // The row's defaults are the default variant's widths.
    const ModelInfo& rek = *modelInfo(DrvREK085);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(rek.filters[static_cast<std::size_t>(i)].width, standard->widths[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(rek085Variant(9), nullptr);
    EXPECT_EQ(rek085Variant(-1), nullptr);
}

}  // namespace
}  // namespace quorvin
