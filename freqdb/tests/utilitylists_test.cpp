// The utility lists: their contents, the lookup of a tuned frequency, the
// walks and the selection kept under the storage key.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "freqdb/frequencydata.h"
#include "testsupport.h"

using namespace lumaret;

TEST(UtilTables, ListTotalsAndSpotEntries)
{
    const int totals[kUtilListCount] = {245, 40, 52, 656, 229, 6, 6, 8, 15, 6, 3, 142, 65, 46, 125, 9, 19, 29, 29};
    for (int list = 0; list < kUtilListCount; ++list) {
        EXPECT_EQ(utilListTotal(list), totals[list]) << utilListInfo(list).name;
    }
    EXPECT_EQ(utilEntryHz(UMarPrc, 0), 4357000);
    EXPECT_EQ(utilEntryHz(UMarPrc, 0, true), 4065000);
    EXPECT_EQ(utilEntryHz(UMarPrc, 28), 4357000 + 28 * 3000);
    EXPECT_EQ(utilEntryHz(UMarPrc, 29), 6501000);
    EXPECT_EQ(utilEntryHz(UMarPrc, 244, true), 25070000 + 9 * 3000);
    EXPECT_EQ(utilEntryHz(UMarPtc, 655), 26101000 + 39 * 500);
    EXPECT_EQ(utilEntryHz(UMarPtc, 655, true), 25173000 + 39 * 500);
    EXPECT_EQ(utilEntryHz(UMarUtc, 228), 25193000 + 30 * 500);
    EXPECT_EQ(utilEntryHz(UMarUra, 51), 8101000 + 30 * 3000);
    EXPECT_EQ(utilEntryHz(UNavTex, 2), 4207800);
    EXPECT_EQ(utilEntryHz(UWeaFax, 141), 23329600);
    EXPECT_EQ(utilEntryHz(UAerAcs, 64), 11354000);
    EXPECT_EQ(utilEntryHz(UAerNav, 124), 21925000);
    EXPECT_EQ(utilEntryHz(UCarChn, 28), 25140700);
    EXPECT_EQ(utilEntryHz(UMarSar, 19), -1);
    EXPECT_EQ(std::string(utilListInfo(UMarUra).label), "Maritime URC-A");
    EXPECT_EQ(std::string(utilListInfo(UCarChn).label), "Navy CARB Chann.");
}

TEST(UtilTables, NoListRepeatsAFrequency)
{
    // A walk fills its record from the entry under the cursor; with no
    // frequency twice in a list that is the same as looking it up.
    for (int list = 0; list < kUtilListCount; ++list) {
        std::set<std::int32_t> seen;
        for (int i = 0; i < utilListTotal(list); ++i) {
            EXPECT_TRUE(seen.insert(utilEntryHz(list, i)).second) << utilListInfo(list).name << " " << i;
            if (utilListInfo(list).paired) {
                EXPECT_TRUE(seen.insert(utilEntryHz(list, i, true)).second) << utilListInfo(list).name << " " << i;
            }
        }
    }
}

namespace {

// FNV-1a, 64 bits: a compact fingerprint of a whole walk.
std::uint64_t fnv1a(const std::string& text)
{
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) {
        h = (h ^ c) * 0x100000001b3ULL;
    }
    return h;
}

}  // namespace

TEST(UtilTables, EveryEntryOfEveryListAsTheWalkReportsIt)
{
    // Each list walked once upward from a fresh object: per list the entry
    // count, the sum of all frequencies (coast and ship both) and a
    // fingerprint of "Hz|info|supplement" per step. The expected values
    // were worked out from the published channel plans and station lists,
    // not from this library; a single wrong digit, text or spacing anywhere
    // changes them.
    struct Expected {
        int list;
        int total;
        std::int64_t sumHz;
        std::uint64_t fingerprint;
    };
    const Expected expected[] = {
        {UMarPrc, 245, 7277802000, 0x1ccf17296a9f90d4ULL}, {UMarUrc, 40, 683898000, 0x79e18d5c6218ea36ULL},
        {UMarUra, 52, 337156000, 0xf9f099796c0d6976ULL},   {UMarPtc, 656, 21380403000, 0x673d90d9b3922c20ULL},
        {UMarUtc, 229, 3567381500, 0xe7d1a6c42895e3d4ULL}, {UMarMds, 6, 49523000, 0x6295dcb614645ba2ULL},
        {UMarDsc, 6, 50503000, 0x4cce222f7dd4e97eULL},     {UMarMsi, 8, 116483000, 0x5b1296e713b4fc09ULL},
        {UMarSar, 15, 55401000, 0x577e314571c10f3bULL},    {UMarNbd, 6, 50211500, 0x874c669d02b0daf0ULL},
        {UNavTex, 3, 5212400, 0xa04c3befd1eae076ULL},      {UWeaFax, 142, 1421657300, 0xa75ac142a6c7ff24ULL},
        {UAerAcs, 65, 624962000, 0x8b37ced2e2fd13bfULL},   {UAerMet, 46, 371567000, 0xb7fe3b368cef9a6aULL},
        {UAerNav, 125, 1015366000, 0x1e201190ee374a76ULL}, {UUafGcs, 9, 90942000, 0xc5e1675d24078fcdULL},
        {UUafAle, 19, 208120000, 0x90ff5d0599dc432dULL},   {UCarBea, 29, 275714200, 0x22c6a375d2088cf4ULL},
        {UCarChn, 29, 248296100, 0x0f7af3c529b5f1b2ULL},
    };
    for (const Expected& e : expected) {
        FrequencyData fd;
        const UtilListInfo& info = utilListInfo(e.list);
        const int steps = info.paired ? 2 * e.total : e.total;
        std::string walk;
        std::int64_t sum = 0;
        for (int i = 0; i < steps; ++i) {
            std::int32_t idx = 0;
            std::int32_t tot = 0;
            std::int32_t hz = 0;
            fd.FreqNext(static_cast<UTILTYPE>(e.list), 1, &idx, &tot, &hz);
            ASSERT_EQ(tot, e.total) << info.name;
            ASSERT_EQ(idx, (info.paired ? i / 2 : i) + 1) << info.name;
            std::string name;
            std::string text;
            std::string supp;
            std::int16_t offset = 0;
            std::int16_t filter = 0;
            BESTMODE mode = ModeNone;
            UTILTYPE type = UNothin;
            fd.get_FreqName(&name);
            fd.get_FreqInfo(&text);
            fd.get_FreqSupp(&supp);
            fd.get_FreqOffset(&offset);
            fd.get_FreqFilter(&filter);
            fd.get_FreqMode(&mode);
            fd.get_FreqType(&type);
            ASSERT_EQ(name, info.name);
            ASSERT_EQ(offset, info.offset) << info.name;
            ASSERT_EQ(filter, info.filter) << info.name;
            ASSERT_EQ(mode, info.mode) << info.name;
            ASSERT_EQ(type, e.list);
            sum += hz;
            walk += std::to_string(hz) + "|" + text + "|" + supp + "\n";
        }
        EXPECT_EQ(sum, e.sumHz) << info.name;
        EXPECT_EQ(fnv1a(walk), e.fingerprint) << info.name;
    }
}

class UtilTest : public ::testing::Test {
protected:
    struct Hit {
        std::int32_t exact;
        std::string name, info, supp;
        std::int16_t offset, filter;
        BESTMODE mode;
        UTILTYPE type;
    };
    std::int32_t look(std::int32_t hz, std::int16_t delta)
    {
        std::int32_t found = -5;
        fd.get_FreqLook(hz, delta, &found);
        return found;
    }
    Hit hit()
    {
        Hit h{};
        fd.get_FreqExact(&h.exact);
        fd.get_FreqName(&h.name);
        fd.get_FreqInfo(&h.info);
        fd.get_FreqSupp(&h.supp);
        fd.get_FreqOffset(&h.offset);
        fd.get_FreqFilter(&h.filter);
        fd.get_FreqMode(&h.mode);
        fd.get_FreqType(&h.type);
        return h;
    }
    struct Step {
        std::int32_t hz, idx, tot;
    };
    Step next(int list, bool up)
    {
        Step s{0, -7, -7};
        fd.FreqNext(static_cast<UTILTYPE>(list), up ? 1 : 0, &s.idx, &s.tot, &s.hz);
        return s;
    }
    Step util(bool up)
    {
        Step s{0, -7, -7};
        fd.UtilNext(up ? 1 : 0, &s.idx, &s.tot, &s.hz);
        return s;
    }
    Step bank(bool up)
    {
        Step s{0, -7, -7};
        fd.BankNext(up ? 1 : 0, &s.idx, &s.tot, &s.hz);
        return s;
    }
    void select(std::initializer_list<int> lists)
    {
        for (int l : lists) {
            fd.utilityLists().setSelection(l, 1);
        }
    }
    testsupport::TempSettings settings;
    FrequencyData fd;
};

TEST_F(UtilTest, FreshRecord)
{
    const Hit h = hit();
    EXPECT_EQ(h.exact, 0);
    EXPECT_EQ(h.type, UNothin);
    EXPECT_EQ(h.offset, 0);
    EXPECT_EQ(h.name, "");
}

TEST_F(UtilTest, PairedListHitsCoastAndShip)
{
    EXPECT_EQ(look(4357000, 0), 1);
    Hit h = hit();
    EXPECT_EQ(h.type, UMarPrc);
    EXPECT_EQ(h.name, "MarPrc");
    EXPECT_EQ(h.info, "Ch401");
    EXPECT_EQ(h.supp, "Coast");
    EXPECT_EQ(h.mode, ModeUSB);
    EXPECT_EQ(h.offset, 1400);
    EXPECT_EQ(h.filter, 2800);

    EXPECT_EQ(look(4065000, 0), 1);
    h = hit();
    EXPECT_EQ(h.info, "Ch401");
    EXPECT_EQ(h.supp, "Ship");

    EXPECT_EQ(look(12477000 + 500, 0), 1);
    h = hit();
    EXPECT_EQ(h.type, UMarPtc);
    EXPECT_EQ(h.info, "Ch12002");
    EXPECT_EQ(h.supp, "Ship");
    EXPECT_EQ(h.mode, ModeRTTY);
    EXPECT_EQ(h.offset, 1700);
    EXPECT_EQ(h.filter, 1200);
}

TEST_F(UtilTest, SearchOrderAndTolerance)
{
    EXPECT_EQ(look(2182000, 0), 1);
    EXPECT_EQ(hit().type, UMarMds);
    EXPECT_EQ(hit().info, "Ch01");

    EXPECT_EQ(look(2182400, 500), 1);
    EXPECT_EQ(hit().type, UMarMds);
    EXPECT_EQ(hit().exact, 2182000);

    EXPECT_EQ(look(2182600, 500), 0);
    const Hit miss = hit();
    EXPECT_EQ(miss.exact, 2182600);
    EXPECT_EQ(miss.type, UNothin);
    EXPECT_EQ(miss.mode, ModeNone);
    EXPECT_EQ(miss.offset, 1400);
    EXPECT_EQ(miss.filter, 2800);
    EXPECT_EQ(miss.name, "");
    EXPECT_EQ(miss.info, "");

    // Navtex is searched before everything: 4207.8 kHz lies within 500 Hz
    // of the DSC frequency 4207.5 as well.
    EXPECT_EQ(look(4207700, 500), 1);
    EXPECT_EQ(hit().type, UNavTex);
    // A negative tolerance matches nothing.
    EXPECT_EQ(look(4357000, -1), 0);
}

TEST_F(UtilTest, SameFrequencyAgainChangesNothing)
{
    EXPECT_EQ(look(2182400, 500), 1);
    ASSERT_EQ(hit().exact, 2182000);
    EXPECT_EQ(fd.utilityLists().hit().hitState, 1);
    EXPECT_EQ(look(2182000, 0), 1);
    EXPECT_EQ(fd.utilityLists().hit().hitState, 2);
    EXPECT_EQ(hit().type, UMarMds);
}

TEST_F(UtilTest, TextsOfEachKindOfList)
{
    struct Case {
        std::int32_t hz;
        UTILTYPE type;
        const char* info;
        const char* supp;
        std::int16_t offset;
        BESTMODE mode;
    };
    const Case cases[] = {
        {9980600, UWeaFax, "", "KVM70", 1900, ModeFAX},
        {5848100, UWeaFax, "Skamlebaek", "OXT", 1900, ModeFAX},
        {21949000, UAerAcs, "H08:H06:H05", "Johannesburg:HatYai:Auckland", 1440, ModeRTTY},
        {4540000, UAerMet, "MIL", "RAF Fleet", 1400, ModeUSB},
        {2863000, UAerMet, "SEA:SP", "", 1400, ModeUSB},
        {17904000, UAerNav, "CEP-12:CWP-12:NP-34:SP-67", "", 1400, ModeUSB},
        {8992000, UUafGcs, "Primary", "H24", 1400, ModeUSB},
        {27870000, UUafAle, "ALE", "Scope", 1400, ModeUSB},
        {12854800, UCarBea, "French Navy", "RFTJE", 2200, ModeRTTY},
        {2119200, UCarChn, "Dutch Navy", "02A", 2200, ModeRTTY},
        {3023000, UMarSar, "Ch06", "P-N", 1400, ModeUSB},
        {6550000, UMarSar, "Ch11", "P-D", 1400, ModeUSB},
        {4340000, UMarSar, "NATO", "", 1400, ModeUSB},
        {8364000, UMarSar, "Water", "", 1400, ModeUSB},
        {4177500, UMarNbd, "Ch411", "", 1700, ModeRTTY},
        {2174500, UMarNbd, "", "", 1700, ModeRTTY},
        {4000000 + 20 * 3000, UMarUra, "Ch21", "", 1400, ModeUSB},
        {8101000, UMarUra, "Ch01", "", 1400, ModeUSB},
        {6300500 + 22 * 500, UMarUtc, "Ch23", "", 1700, ModeRTTY},
        {4146000, UMarUrc, "", "", 1400, ModeUSB},
        {16806500, UMarMsi, "", "", 1700, ModeRTTY},
        {16804500, UMarDsc, "", "", 1700, ModeRTTY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        ASSERT_EQ(look(c.hz, 0), 1);
        const Hit h = hit();
        EXPECT_EQ(h.type, c.type);
        EXPECT_EQ(h.exact, c.hz);
        EXPECT_EQ(h.info, c.info);
        EXPECT_EQ(h.supp, c.supp);
        EXPECT_EQ(h.offset, c.offset);
        EXPECT_EQ(h.mode, c.mode);
    }
}

TEST_F(UtilTest, FreqLookAlsoLooksUpTheBand)
{
    EXPECT_EQ(look(7150000, 250), 0);
    EXPECT_EQ(fd.band().record(), 109);
    EXPECT_EQ(fd.band().frequency(), 7150000);
}

TEST_F(UtilTest, FreqNextWalksASimpleListRound)
{
    const std::int32_t expected[] = {488300, 516300, 4207800, 488300};
    const std::int32_t indexes[] = {1, 2, 3, 1};
    for (int i = 0; i < 4; ++i) {
        const Step s = next(UNavTex, true);
        EXPECT_EQ(s.hz, expected[i]);
        EXPECT_EQ(s.idx, indexes[i]);
        EXPECT_EQ(s.tot, 3);
    }
    EXPECT_EQ(hit().type, UNavTex);
    EXPECT_EQ(next(UNavTex, false).hz, 4207800);
    EXPECT_EQ(next(UNavTex, false).hz, 516300);
}

TEST_F(UtilTest, FreshDownwardStepLandsOnTheLastEntry)
{
    Step s = next(UMarUtc, false);
    EXPECT_EQ(s.hz, 25193000 + 30 * 500);
    EXPECT_EQ(s.idx, 229);
    EXPECT_EQ(s.tot, 229);
    s = next(UMarUtc, true);
    EXPECT_EQ(s.hz, 4202500);
    EXPECT_EQ(s.idx, 1);
    s = next(UMarUtc, false);
    EXPECT_EQ(s.idx, 229);
}

TEST_F(UtilTest, FreqNextAlternatesCoastAndShip)
{
    Step s = next(UMarPrc, true);
    EXPECT_EQ(s.hz, 4357000);
    EXPECT_EQ(s.idx, 1);
    EXPECT_EQ(s.tot, 245);
    EXPECT_EQ(hit().supp, "Coast");
    s = next(UMarPrc, true);
    EXPECT_EQ(s.hz, 4065000);
    EXPECT_EQ(s.idx, 1);
    EXPECT_EQ(hit().supp, "Ship");
    s = next(UMarPrc, true);
    EXPECT_EQ(s.hz, 4360000);
    EXPECT_EQ(s.idx, 2);
    EXPECT_EQ(hit().info, "Ch402");

    // Crossing into the next block.
    for (int i = 0; i < 2 * 27 + 1; ++i) {
        next(UMarPrc, true);
    }
    s = next(UMarPrc, true);
    EXPECT_EQ(s.hz, 6501000);
    EXPECT_EQ(s.idx, 30);
    EXPECT_EQ(hit().info, "Ch601");
}

TEST_F(UtilTest, UnknownListKeepsIndexAndTotal)
{
    next(UNavTex, true);
    next(UNavTex, true);
    const Step s = next(19, true);
    EXPECT_EQ(s.hz, -1);
    EXPECT_EQ(s.idx, 2);
    EXPECT_EQ(s.tot, 3);
    EXPECT_EQ(next(-1, false).hz, -1);
}

TEST_F(UtilTest, SharedCursorIsBoundedByTheShorterList)
{
    // Deep into a long list, then a short one in both directions.
    for (int i = 0; i < 100; ++i) {
        next(UAerNav, true);
    }
    Step s = next(UNavTex, false);
    EXPECT_EQ(s.hz, 4207800);
    EXPECT_EQ(s.idx, 3);
    for (int i = 0; i < 100; ++i) {
        next(UAerNav, true);
    }
    s = next(UNavTex, true);
    EXPECT_EQ(s.idx, 1);

    // A block list after a station list far beyond its first block.
    for (int i = 0; i < 60; ++i) {
        next(UWeaFax, true);
    }
    s = next(UMarUra, false);
    EXPECT_GE(s.idx, 1);
    EXPECT_LE(s.idx, 52);
    EXPECT_EQ(s.hz, utilEntryHz(UMarUra, s.idx - 1));
    s = next(UMarUra, true);
    EXPECT_GE(s.idx, 1);
    EXPECT_LE(s.idx, 52);
}

TEST_F(UtilTest, AlternationIsClearedWhenTheWalkChangesList)
{
    EXPECT_EQ(next(UMarPrc, true).hz, 4357000);  // coast; the ship would follow
    next(UNavTex, true);  // the shared cursor moves to position 1
    // Another paired list moves on to a coast frequency instead of giving
    // the ship frequency of a channel it never gave the coast of.
    EXPECT_EQ(next(UMarPtc, true).hz, utilEntryHz(UMarPtc, 2));
    EXPECT_EQ(hit().supp, "Coast");
}

TEST_F(UtilTest, NothingSelectedGivesMinusOne)
{
    Step s = util(true);
    EXPECT_EQ(s.hz, -1);
    EXPECT_EQ(s.idx, -7);
    EXPECT_EQ(s.tot, -7);
    s = bank(false);
    EXPECT_EQ(s.hz, -1);
    EXPECT_EQ(s.idx, -7);
}

TEST_F(UtilTest, UtilNextWalksTheSelectedListsInTurn)
{
    select({UNavTex, UWeaFax});
    for (int i = 0; i < 3; ++i) {
        const Step s = util(true);
        EXPECT_EQ(s.hz, utilEntryHz(UNavTex, i));
        EXPECT_EQ(s.idx, i + 1);
        EXPECT_EQ(s.tot, 3);
    }
    for (int i = 0; i < 142; ++i) {
        const Step s = util(true);
        ASSERT_EQ(s.hz, utilEntryHz(UWeaFax, i));
        EXPECT_EQ(s.idx, i + 1);
        EXPECT_EQ(s.tot, 142);
    }
    EXPECT_EQ(util(true).hz, 488300);
    // Downward from the first entry goes to the last entry of the list before.
    EXPECT_EQ(util(false).hz, utilEntryHz(UWeaFax, 141));
}

TEST_F(UtilTest, UtilNextLeavesAPairedListAfterTheLastCoastFrequency)
{
    select({UMarPrc, UNavTex});
    fd.utilityLists().setSelection(UMarPrc, 1);
    int steps = 0;
    Step s{};
    do {
        s = util(true);
        ++steps;
    } while (s.idx != 245 && steps < 1000);
    ASSERT_EQ(s.idx, 245);
    EXPECT_EQ(hit().supp, "Coast");
    EXPECT_EQ(steps, 2 * 244 + 1);
    // The ship frequency of the last channel is not visited.
    EXPECT_EQ(util(true).hz, 488300);
}

TEST_F(UtilTest, BankNextJumpsFromListToList)
{
    select({UMarMds, UNavTex, UCarChn});
    Step s = bank(true);
    EXPECT_EQ(s.hz, 2182000);
    EXPECT_EQ(s.idx, 1);
    s = bank(true);
    EXPECT_EQ(s.hz, 488300);
    s = bank(true);
    EXPECT_EQ(s.hz, 2119200);
    s = bank(true);
    EXPECT_EQ(s.hz, 2182000);
    s = bank(false);
    EXPECT_EQ(s.hz, 25140700);
    EXPECT_EQ(s.idx, 29);
    EXPECT_EQ(s.tot, 29);
    s = bank(false);
    EXPECT_EQ(s.hz, 4207800);
}

TEST_F(UtilTest, SpareSlotsAreNeverWalked)
{
    fd.utilityLists().setSelection(20, 1);
    fd.utilityLists().setSelection(28, 1);
    EXPECT_EQ(util(true).hz, -1);
    EXPECT_EQ(bank(true).hz, -1);
    select({UAerMet});
    fd.utilityLists().setSelection(UMarPrc, 2);  // only exactly 1 selects
    EXPECT_EQ(bank(true).hz, 2863000);
    EXPECT_EQ(bank(true).hz, 2863000);
    EXPECT_EQ(fd.utilityLists().currentList(), UAerMet);
}

TEST_F(UtilTest, SelectionLivesUnderTheStorageKey)
{
    const std::string key = std::string(platform::kSettingsRoot) + "\\Station1";
    settings.store().writeNumber(key, "S_Util10", 1);
    settings.store().writeNumber(key, "S_Util11", 1);
    settings.store().writeNumber(key, "S_Util25", 1);
    settings.store().writeText(key, "S_Util12", "1");  // wrong type reads as 0
    std::int32_t result = -1;
    fd.StorageKey("Station1", &result);
    EXPECT_EQ(result, 0);  // no station database configured
    EXPECT_EQ(fd.storageKey(), "Station1");
    EXPECT_EQ(fd.utilityLists().selection(10), 1);
    EXPECT_EQ(fd.utilityLists().selection(11), 1);
    EXPECT_EQ(fd.utilityLists().selection(12), 0);
    EXPECT_EQ(fd.utilityLists().selection(25), 1);
    EXPECT_EQ(util(true).hz, 488300);

    fd.utilityLists().setSelection(3, 1);
    ASSERT_TRUE(fd.utilityLists().saveSelection("Station1"));
    const auto values = settings.store().values(key);
    int utilValues = 0;
    for (const auto& v : values) {
        if (v.name.rfind("S_Util", 0) == 0) {
            ++utilValues;
            EXPECT_EQ(v.type, platform::ValueType::Number) << v.name;
        }
    }
    EXPECT_EQ(utilValues, 29);
    EXPECT_EQ(settings.store().readNumber(key, "S_Util03", -1), 1);
    EXPECT_EQ(settings.store().readNumber(key, "S_Util25", -1), 1);
    EXPECT_EQ(settings.store().readNumber(key, "S_Util00", -1), 0);

    // An empty key loads and saves nothing.
    UtilityLists other;
    EXPECT_FALSE(other.loadSelection(""));
    EXPECT_FALSE(other.saveSelection(""));
    fd.StorageKey("", &result);
    EXPECT_EQ(result, 0);
}
