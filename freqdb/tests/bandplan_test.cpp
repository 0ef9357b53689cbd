// The band plan tables and the band cursor.
#include <gtest/gtest.h>

#include "freqdb/bandplan.h"
#include "freqdb/frequencydata.h"

using namespace lumaret;

TEST(BandTables, RegionListsHaveTheirBandsInOrder)
{
    const int expectedBands[] = {148, 145, 145};
    for (int region = 0; region < kRegionCount; ++region) {
        SCOPED_TRACE(region);
        EXPECT_EQ(regionLastPosition(region) + 1, expectedBands[region]);
        EXPECT_EQ(regionListSize(region), expectedBands[region] + 1);
        EXPECT_EQ(regionRecord(region, 0), 0);
        EXPECT_EQ(regionRecord(region, regionListSize(region) - 1), 206);
        for (int pos = 1; pos < regionListSize(region); ++pos) {
            EXPECT_LT(bandRecord(regionRecord(region, pos - 1)).startKHz,
                      bandRecord(regionRecord(region, pos)).startKHz)
                << "position " << pos;
        }
    }
    // Every record but the closing one belongs to at least one region.
    std::vector<int> used(kBandRecordCount, 0);
    for (int region = 0; region < kRegionCount; ++region) {
        for (int pos = 0; pos < regionListSize(region); ++pos) {
            ++used[regionRecord(region, pos)];
        }
    }
    for (int r = 0; r < kBandRecordCount; ++r) {
        EXPECT_GE(used[r], 1) << "record " << r;
    }
}

TEST(BandTables, EveryBandOfEveryRegionAsTheCursorReportsIt)
{
    // Each region walked band by band with BandNext: per band its record,
    // edges, 16-bit step, service codes, name, and the mode and filter at
    // its start, folded into an FNV-1a fingerprint worked out from the band
    // plan itself rather than from this library.
    struct Expected {
        std::int16_t region;
        int bands;
        std::uint64_t fingerprint;
    };
    const Expected expected[] = {
        {0, 148, 0x69562eba2e360f15ULL},
        {1, 145, 0xb1f9c75d1a0a951fULL},
        {2, 145, 0x10c38ce6e783670bULL},
    };
    for (const Expected& e : expected) {
        FrequencyData fd;
        fd.put_BandRegion(e.region);
        std::int32_t hz = 0;
        fd.get_BandNext(0, &hz);  // to the last band, then round to the first
        fd.get_BandNext(1, &hz);
        ASSERT_EQ(hz, 0);
        std::uint64_t h = 0xcbf29ce484222325ULL;
        for (int band = 0; band < e.bands; ++band) {
            if (band > 0) {
                fd.get_BandNext(1, &hz);
            }
            std::int32_t start = 0;
            std::int32_t end = 0;
            std::int16_t step = 0;
            std::int16_t filter = 0;
            BESTMODE mode = ModeNone;
            std::string name;
            ALLOCTYPE code[4]{};
            fd.get_BandSFrq(&start);
            fd.get_BandEFrq(&end);
            fd.get_BandStep(&step);
            fd.get_BandFilter(&filter);
            fd.get_BandMode(&mode);
            fd.get_BandName(&name);
            for (std::int16_t pos = 0; pos < 4; ++pos) {
                fd.get_BandCode(pos, &code[pos]);
            }
            ASSERT_EQ(hz, start);
            const std::string line = std::to_string(fd.band().record()) + "|" + std::to_string(start) + "|" +
                                     std::to_string(end) + "|" + std::to_string(step) + "|" + std::to_string(code[0]) +
                                     "," + std::to_string(code[1]) + "," + std::to_string(code[2]) + "," +
                                     std::to_string(code[3]) + "|" + name + "|" + std::to_string(mode) + "|" +
                                     std::to_string(filter) + "\n";
            for (unsigned char c : line) {
                h = (h ^ c) * 0x100000001b3ULL;
            }
        }
        EXPECT_EQ(h, e.fingerprint) << "region index " << e.region;
        fd.get_BandNext(1, &hz);
        EXPECT_EQ(hz, 0) << "region index " << e.region;
    }
}

TEST(BandTables, SpotValues)
{
    struct Spot {
        int record;
        double start;
        std::int32_t s0, s1, s2, s3;
        std::int32_t step;
    };
    const Spot spots[] = {
        {0, 0, -1, -1, -1, -1, 100},       {3, 19.95, 12, 0, 0, 0, 10},      {21, 148.5, 3, 0, 0, 0, 9000},
        {44, 1606.5, 1, 2, 5, 4, 3000},    {50, 1800, 11, 1, 2, 4, 1000},    {90, 4750, 1, 8, 10, 3, 3000},
        {110, 7100, 11, 0, 0, 0, 1000},    {128, 13360, 1, 13, 0, 0, 3000},  {173, 30005, 14, 1, 2, 0, 1000},
        {191, 87500, 3, 0, 0, 0, 100000},  {194, 108000, 9, 0, 0, 0, 8333},  {201, 143600, 1, 2, 5, 14, 12500},
        {205, 144000, 11, 0, 0, 0, 12500}, {206, 146000, -1, -1, -1, -1, 0},
    };
    for (const Spot& s : spots) {
        SCOPED_TRACE(s.record);
        const BandRecord& r = bandRecord(s.record);
        EXPECT_DOUBLE_EQ(r.startKHz, s.start);
        EXPECT_EQ(r.service[0], s.s0);
        EXPECT_EQ(r.service[1], s.s1);
        EXPECT_EQ(r.service[2], s.s2);
        EXPECT_EQ(r.service[3], s.s3);
        EXPECT_EQ(r.stepHz, s.step);
    }
    EXPECT_EQ(recordStartHz(3), 19950);
    EXPECT_EQ(recordStartHz(4), 20050);
    EXPECT_EQ(recordStartHz(15), 117600);
    // Region lists at a few places.
    EXPECT_EQ(regionRecord(0, 16), 21);
    EXPECT_EQ(regionRecord(1, 11), 24);
    EXPECT_EQ(regionRecord(2, 5), 7);
    EXPECT_EQ(regionRecord(0, 147), 205);
    EXPECT_EQ(regionRecord(1, 144), 205);
}

class BandTest : public ::testing::Test {
protected:
    std::int32_t look(std::int32_t hz)
    {
        std::int32_t found = -5;
        fd.get_BandLook(hz, &found);
        return found;
    }
    std::string name()
    {
        std::string n;
        fd.get_BandName(&n);
        return n;
    }
    BESTMODE mode()
    {
        BESTMODE m = ModeNone;
        fd.get_BandMode(&m);
        return m;
    }
    std::int16_t filter()
    {
        std::int16_t f = 0;
        fd.get_BandFilter(&f);
        return f;
    }
    std::int16_t step()
    {
        std::int16_t s = 0;
        fd.get_BandStep(&s);
        return s;
    }
    std::int32_t sfrq()
    {
        std::int32_t v = 0;
        fd.get_BandSFrq(&v);
        return v;
    }
    std::int32_t efrq()
    {
        std::int32_t v = 0;
        fd.get_BandEFrq(&v);
        return v;
    }
    void region(std::int16_t r) { fd.put_BandRegion(r); }
    FrequencyData fd;
};

TEST_F(BandTest, LowestAndHighestFrequencies)
{
    EXPECT_EQ(look(0), 1);
    EXPECT_EQ(fd.band().record(), 0);
    EXPECT_EQ(name(), "");
    EXPECT_EQ(mode(), ModeNone);
    EXPECT_EQ(filter(), 2800);
    EXPECT_EQ(step(), 100);
    EXPECT_EQ(efrq(), 8999);

    EXPECT_EQ(look(145999000), 1);
    EXPECT_EQ(fd.band().record(), 205);
    EXPECT_EQ(mode(), ModeFM);
    EXPECT_EQ(efrq(), 145999999);

    EXPECT_EQ(look(145999001), 0);
    EXPECT_EQ(look(-1), 0);
    EXPECT_EQ(fd.band().record(), 205);
    EXPECT_EQ(fd.band().frequency(), 145999000);
}

TEST_F(BandTest, RegionsDifferAtLongWaveAndFortyMetres)
{
    EXPECT_EQ(look(200000), 1);
    EXPECT_EQ(fd.band().record(), 21);
    EXPECT_EQ(mode(), ModeAM);
    EXPECT_EQ(filter(), 12000);
    EXPECT_EQ(step(), 9000);
    EXPECT_EQ(name(), "SwBc");

    region(1);
    EXPECT_EQ(fd.band().record(), 24);
    EXPECT_EQ(name(), "AerNav");

    EXPECT_EQ(look(7150000), 1);
    EXPECT_EQ(fd.band().record(), 110);
    EXPECT_EQ(mode(), ModeLSB);
    EXPECT_EQ(filter(), 2500);

    region(0);
    EXPECT_EQ(fd.band().record(), 109);
    EXPECT_EQ(mode(), ModeAM);
}

TEST_F(BandTest, ModesAndFiltersFollowThePrimaryService)
{
    EXPECT_EQ(look(14100000), 1);
    EXPECT_EQ(mode(), ModeUSB);
    EXPECT_EQ(look(3600000), 1);
    EXPECT_EQ(mode(), ModeLSB);
    EXPECT_EQ(look(10050000), 1);
    EXPECT_EQ(fd.band().record(), 120);
    EXPECT_EQ(mode(), ModeUSB);
    EXPECT_EQ(filter(), 2800);
    EXPECT_EQ(look(120000000), 1);
    EXPECT_EQ(fd.band().record(), 195);
    EXPECT_EQ(mode(), ModeAM);
    // Time signals, distress, space.
    EXPECT_EQ(look(10000000), 1);
    EXPECT_EQ(mode(), ModeCW);
    EXPECT_EQ(filter(), 250);
    EXPECT_EQ(look(500000), 1);
    EXPECT_EQ(mode(), ModeCW);
    EXPECT_EQ(filter(), 2400);
    EXPECT_EQ(look(137000000), 1);
    EXPECT_EQ(fd.band().record(), 196);
    EXPECT_EQ(mode(), ModeFM);
    EXPECT_EQ(filter(), 250);
    EXPECT_EQ(look(137000001), 1);
    EXPECT_EQ(filter(), 30000);
    // Amateur bands above 9 MHz and at 2 m.
    EXPECT_EQ(look(144500000), 1);
    EXPECT_EQ(mode(), ModeFM);
}

TEST_F(BandTest, NamesJoinPaddedServiceNames)
{
    EXPECT_EQ(look(1700000), 1);  // record 44 lies in region index 2 only
    region(2);
    ASSERT_EQ(fd.band().record(), 44);
    EXPECT_EQ(name(), "Fixed  Mobil  RadLoc RadNav");
    region(0);
    EXPECT_EQ(look(15000), 1);
    EXPECT_EQ(fd.band().record(), 2);
    EXPECT_EQ(name(), "Fixed  MarMob");
    ALLOCTYPE code = ANothin;
    fd.get_BandCode(1, &code);
    EXPECT_EQ(code, AMarMob);
    fd.get_BandCode(7, &code);
    EXPECT_EQ(code, AFixFrq);
    fd.get_BandCode(-1, &code);
    EXPECT_EQ(code, AFixFrq);
}

TEST_F(BandTest, BandNextWrapsBothWays)
{
    std::int32_t hz = -1;
    fd.get_BandNext(0, &hz);
    EXPECT_EQ(hz, 144000000);
    EXPECT_EQ(fd.band().position(), 147);
    fd.get_BandNext(1, &hz);
    EXPECT_EQ(hz, 0);
    EXPECT_EQ(fd.band().position(), 0);
    fd.get_BandNext(1, &hz);
    EXPECT_EQ(hz, 9000);
    EXPECT_EQ(sfrq(), 9000);
    EXPECT_EQ(efrq(), 13999);
}

TEST_F(BandTest, RegionChangesStayWithinTheShorterLists)
{
    std::int16_t r = -1;
    region(3);
    fd.get_BandRegion(&r);
    EXPECT_EQ(r, 0);
    region(-1);
    fd.get_BandRegion(&r);
    EXPECT_EQ(r, 0);
    region(2);
    fd.get_BandRegionNext(&r);
    EXPECT_EQ(r, 0);

    // The last band of region index 0 sits at position 147; the other
    // regions end at 144, so the position is brought within them.
    std::int32_t hz = 0;
    fd.get_BandNext(0, &hz);
    ASSERT_EQ(fd.band().position(), 147);
    fd.get_BandRegionNext(&r);
    EXPECT_EQ(r, 1);
    EXPECT_LE(fd.band().position(), 144);
    EXPECT_EQ(efrq(), 145999999);
    EXPECT_EQ(fd.band().frequency(), 144000000);
}

TEST_F(BandTest, RegionPutLooksUpTheCursorFrequency)
{
    // A fresh cursor has frequency 0: it becomes the band start.
    region(1);
    EXPECT_EQ(fd.band().record(), 0);
    EXPECT_EQ(look(3700000), 1);
    EXPECT_EQ(fd.band().record(), 80);
    region(0);
    EXPECT_EQ(fd.band().record(), 79);
}

TEST_F(BandTest, FmBroadcastStepThroughSixteenBits)
{
    EXPECT_EQ(look(100000000), 1);
    EXPECT_EQ(step(), -31072);
    EXPECT_EQ(fd.bandStepHz(), 100000);
    std::int32_t whole = 0;
    EXPECT_EQ(LumaretBandStepHz(&fd, &whole), S_OK);
    EXPECT_EQ(whole, 100000);
    EXPECT_EQ(LumaretBandStepHz(nullptr, &whole), E_POINTER);
    EXPECT_EQ(look(118000000), 1);
    EXPECT_EQ(step(), 8333);
    EXPECT_EQ(look(143700000), 1);
    EXPECT_EQ(step(), 12500);
}

TEST_F(BandTest, ModeNames)
{
    const char* expected[] = {"AM", "CW", "USB", "LSB", "FM", "RTTY", "FAX"};
    for (int m = 0; m < 7; ++m) {
        std::string n;
        fd.ModeName(static_cast<BESTMODE>(m), &n);
        EXPECT_EQ(n, expected[m]);
    }
    std::string n = "x";
    fd.ModeName(ModeNone, &n);
    EXPECT_EQ(n, "");
    fd.ModeName(static_cast<BESTMODE>(7), &n);
    EXPECT_EQ(n, "");
}
