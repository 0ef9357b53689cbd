// The utility and bank frequency lists, their lookup and their walks.
#include "utilitylists.h"

#include <cmath>

#include "platform/numbers.h"
#include "platform/settingsstore.h"

namespace lumaret {

namespace {

struct PairedBlock {
    double coastKHz;
    double shipKHz;
    int count;
    int firstChannel;
};

struct Block {
    double startKHz;
    int count;
};

struct TwoTexts {
    double kHz;
    const char* info;
    const char* supp;
};

struct AcsRow {
    double kHz;
    std::vector<int> stations;
};

struct SarEntry {
    double kHz;
    int channel;  // 0: the entry has no channel number
};

// Maritime radiotelephone, coast and ship channel pairs (3 kHz spacing).
const PairedBlock kMarPrc[] = {
    {4357, 4065, 29, 401},    {6501, 6200, 8, 601},     {8719, 8195, 37, 801},    {13077, 12230, 37, 1201},
    {17242, 16360, 56, 1601}, {19755, 18780, 15, 1801}, {22696, 22000, 53, 2201}, {26145, 25070, 10, 2501},
};

const Block kMarUrc[] = {
    {4146, 2}, {6224, 3}, {8294, 2}, {12353, 5}, {16528, 7}, {18825, 7}, {22159, 7}, {25100, 7},
};

const Block kMarUra[] = {{4000, 21}, {8101, 31}};

// Maritime telex, coast and ship channel pairs (500 Hz spacing).
const PairedBlock kMarPtc[] = {
    {4210.5, 4172.5, 10, 401},   {4215.5, 4178, 8, 412},         {6314.5, 6263, 10, 601},
    {6319.5, 6268, 14, 612},     {6327, 6275.5, 8, 627},         {8417, 8377, 39, 802},
    {12579.5, 12477, 86, 12001}, {12622.5, 12520.5, 59, 12088},  {12652, 12555, 10, 12147},
    {16807, 16683.5, 23, 16001}, {16818.5, 16695.5, 77, 16025},  {16857, 16739, 92, 16102},
    {19681, 18870.5, 45, 18001}, {22376.5, 22284.5, 135, 22001}, {26101, 25173, 40, 25001},
};

const Block kMarUtc[] = {
    {4202.5, 10}, {6300.5, 23}, {8396.5, 36}, {12560, 34}, {16785, 39}, {18893, 11}, {22352, 45}, {25193, 31},
};

const SarEntry kMarSar[] = {
    {1627.5, 2}, {1642.5, 3}, {1657.5, 4}, {2182, 1},  {2786, 12}, {3010, 5}, {3023, 6}, {3357, 7},
    {3458, 8},   {3673, 13},  {4050.5, 9}, {5680, 10}, {6550, 11}, {4340, 0}, {8364, 0},
};

// HF ACARS ground stations: code and name.
const char* const kAcsCodes[] = {"H01", "H02", "H03", "H04", "H05", "H06", "H07", "H08",
                                 "H09", "H10", "H11", "H12", "H13", "H14", "H15", "H16"};
const char* const kAcsNames[] = {"Dixon",     "Molokai",      "Reykjavik", "RiverHead", "Auckland", "HatYai",
                                 "Shannon",   "Johannesburg", "Barrow",    "Annapolis", "",         "Anchorage",
                                 "SantaCruz", "Krasnoyarsk",  "Bahrain",   "Guam"};

const double kMarMdsKHz[] = {2182.0, 4125.0, 6215.0, 8291.0, 12290.0, 16420.0};
const double kMarMsiKHz[] = {4210.0, 6314.0, 8416.5, 12579.0, 16806.5, 19680.5, 22376.0, 26100.5};
const double kMarNbdKHz[] = {2174.5, 4177.5, 6268.0, 8376.5, 12520.0, 16695.0};
const double kMarDscKHz[] = {2187.5, 4207.5, 6312.0, 8414.5, 12577.0, 16804.5};
const double kNavTexKHz[] = {488.3, 516.3, 4207.8};
const double kUafAleKHz[] = {2805.0, 3059.0,  3137.0,  4721.0,  5708.0,  6715.0,  6721.0,  7632.0,  8965.0, 9025.0,
                             9057.0, 11226.0, 11250.0, 13215.0, 15043.0, 18003.0, 20631.0, 23337.0, 27870.0};

const TwoTexts kWeaFax[] = {
    {5848.1, "Skamlebaek", "OXT"},
    {9358.1, "Skamlebaek", ""},
    {13853.1, "Skamlebaek", ""},
    {17508.1, "Skamlebaek", ""},
    {4479.1, "Athens", "SVJ4"},
    {8103.1, "Athens", "SVJ4"},
    {3853.1, "Hamburg", "DDH3"},
    {7878.1, "Hamburg", "DDK3"},
    {13880.6, "Hamburg", "DDK6"},
    {4775.6, "Rome", "IMB51"},
    {8144.7, "Rome", "IMB55"},
    {13595.5, "Rome", "IMB56"},
    {3828.1, "Moscow", ""},
    {5006.1, "Moscow", ""},
    {6985.1, "Moscow", ""},
    {7693.1, "Moscow", ""},
    {10978.1, "Moscow", "RCC76"},
    {12959.1, "Moscow", ""},
    {11615.1, "Moscow", "RDD78"},
    {5334.1, "Murmansk", "RBW41"},
    {6443.6, "Murmansk", ""},
    {7906.9, "Murmansk", ""},
    {10128.1, "Murmansk", "RBW48"},
    {2616.6, "Northwood", ""},
    {4608.1, "Northwood", "GYA"},
    {8038.1, "Northwood", "GYA"},
    {11084.6, "Northwood", "GYA"},
    {9043.0, "Nairobi", "5YE"},
    {17445.6, "Nairobi", "5YE"},
    {4012.1, "CapeNaval", "ZSJ"},
    {7506.1, "CapeNaval", "ZSJ"},
    {13536.1, "CapeNaval", "ZSJ"},
    {18236.1, "CapeNaval", "ZSJ"},
    {4788.6, "Dakar", "6VU23"},
    {13665.6, "Dakar", "6VU73"},
    {19748.1, "Dakar", "6VU79"},
    {5525.0, "Beijing", "BAF6"},
    {8120.0, "Beijing", "BAF36"},
    {10115.0, "Beijing", "BAF4"},
    {14365.0, "Beijing", "BAF8"},
    {16024.0, "Beijing", "BAF9"},
    {18235.0, "Beijing", "BAF33"},
    {8460.0, "Beijing", "3SD"},
    {12830.0, "Beijing", "3SD"},
    {16902.0, "Beijing", "3SD"},
    {3239.1, "Shangai", "BDF"},
    {5098.1, "Shangai", ""},
    {7418.1, "Shangai", ""},
    {11418.1, "Shangai", ""},
    {18938.1, "Shangai", ""},
    {7403.0, "NewDelhi", "ATP57"},
    {14840.1, "NewDelhi", "ATP65"},
    {3620.6, "Tokyo", "JMH"},
    {7303.1, "Tokyo", "JMH2"},
    {9968.1, "Tokyo", "JMH3"},
    {13595.1, "Tokyo", "JMH4"},
    {18218.1, "Tokyo", "JMH5"},
    {23521.0, "Tokyo", "JMH6"},
    {146.1, "Pevek", ""},
    {4614.1, "Tapei", "BMF"},
    {5248.1, "Tapei", ""},
    {8138.1, "Tapei", ""},
    {13898.1, "Tapei", ""},
    {18558.1, "Tapei", ""},
    {5383.1, "Seoul", "HLL2"},
    {5855.6, "Seoul", "HLL2"},
    {7431.6, "Seoul", "HLL2"},
    {9163.1, "Seoul", "HLL2"},
    {13568.1, "Seoul", "HLL2"},
    {7394.9, "Bangkok", "HSW64"},
    {17518.1, "Bangkok", "HSW64"},
    {3278.1, "Tashkent", "RBX70"},
    {3688.1, "Tashkent", "RBV70"},
    {4363.1, "Tashkent", "RPJ78"},
    {5283.1, "Tashkent", "RBX71"},
    {5888.1, "Tashkent", "RBV78"},
    {7568.1, "Tashkent", "RBX72"},
    {8081.1, "Tashkent", "RIJ75"},
    {9148.1, "Tashkent", "RCH73"},
    {9338.1, "Tashkent", "RCH72"},
    {13945.1, "Tashkent", "ROM5"},
    {14980.6, "Tashkent", "RBV76"},
    {4314.1, "Kyodo", "JJC"},
    {8465.6, "Kyodo", "JJC"},
    {12743.6, "Kyodo", "JJC"},
    {16969.1, "Kyodo", "JJC"},
    {17067.7, "Kyodo", "JJC"},
    {22540.1, "Kyodo", ""},
    {16033.1, "Kyodo", "VFF"},
    {17428.1, "Kyodo", "9VF"},
    {120.6, "Halifax", "CFH"},
    {4269.1, "Halifax", ""},
    {6494.5, "Halifax", ""},
    {10534.1, "Halifax", ""},
    {13508.1, "Halifax", ""},
    {2052.1, "Kodiak", "NOJ"},
    {4296.1, "Kodiak", ""},
    {8457.1, "Kodiak", ""},
    {12410.6, "Kodiak", ""},
    {4344.1, "PtReyes", "NMC"},
    {8680.1, "PtReyes", ""},
    {12728.1, "PtReyes", ""},
    {17149.3, "PtReyes", ""},
    {22525.1, "PtReyes", ""},
    {4316.0, "NewOrleans", "NMG"},
    {8502.0, "NewOrleans", ""},
    {12788.0, "NewOrleans", ""},
    {4233.1, "Boston", "NMF"},
    {6338.6, "Boston", ""},
    {9108.1, "Boston", ""},
    {12748.1, "Boston", ""},
    {7708.1, "Iqualuit", "VFF"},
    {3251.1, "Resolute", "VFR"},
    {4414.1, "NovaScotia", "VCO"},
    {6913.1, "NovaScotia", "VCO"},
    {8455.9, "Inuvik", "VFA"},
    {5703.1, "PuertoBelgrano", "LOR"},
    {12670.1, "PuertoBelgrano", ""},
    {12663.1, "RioDeJaneiro", "PPO"},
    {16976.1, "RioDeJaneiro", "PPO"},
    {4226.1, "Valparaiso", "CBV"},
    {8675.1, "Valparaiso", "CBV"},
    {17144.5, "Valparaiso", "CBV"},
    {2626.1, "Charleville", "VMC"},
    {5098.2, "Charleville", "VMC"},
    {11028.1, "Charleville", "VMC"},
    {13918.1, "Charleville", "VMC"},
    {20467.1, "Charleville", "VMC"},
    {5753.1, "Wiluna", "VMW"},
    {7533.1, "Wiluna", "VMW"},
    {10553.1, "Wiluna", "VMW"},
    {15613.1, "Wiluna", "VMW"},
    {18058.1, "Wiluna", "VMW"},
    {3245.5, "Wellington", "ZKLF"},
    {5805.1, "Wellington", ""},
    {9457.1, "Wellington", ""},
    {13548.6, "Wellington", ""},
    {16338.2, "Wellington", ""},
    {9980.6, "", "KVM70"},
    {11088.1, "", ""},
    {16133.1, "", ""},
    {23329.6, "", ""},
};

const AcsRow kAerAcs[] = {
    {2998.0, {6}},      {3455.0, {6}},      {5547.0, {6}},        {6532.0, {6}},     {8843.0, {6}},
    {8942.0, {6}},      {11384.0, {6}},     {3116.0, {2}},        {3900.0, {2}},     {5720.0, {2}},
    {6712.0, {2}},      {8977.0, {2}},      {11184.0, {2}},       {15025.0, {2}},    {10087.0, {13}},
    {10045.0, {14}},    {17967.0, {14}},    {21982.0, {14}},      {3016.0, {7, 4}},  {4681.0, {7, 12}},
    {8834.0, {7, 12}},  {13321.0, {7, 13}}, {21949.0, {7, 5, 4}}, {11318.0, {12}},   {13315.0, {12}},
    {21997.0, {12}},    {5583.0, {4}},      {8921.0, {4}},        {10084.0, {4}},    {11327.0, {4, 0}},
    {13276.0, {4, 0}},  {17916.0, {4}},     {4687.0, {5}},        {5655.0, {5}},     {6535.0, {5, 4}},
    {8930.0, {5}},      {10066.0, {5}},     {13270.0, {5}},       {17928.0, {5}},    {2947.0, {0}},
    {4672.0, {0}},      {5508.0, {0, 1}},   {6559.0, {0}},        {8927.0, {0, 15}}, {21934.0, {0, 3}},
    {2878.0, {1}},      {3019.0, {1}},      {3434.0, {1}},        {5463.0, {1}},     {5529.0, {1}},
    {5538.0, {1}},      {8912.0, {1, 3}},   {8936.0, {1, 8}},     {10075.0, {1}},    {11312.0, {1, 14}},
    {11348.0, {1}},     {17936.0, {1}},     {5523.0, {3}},        {11315.0, {3}},    {13275.0, {3}},
    {17919.0, {3, 15}}, {6646.0, {8}},      {10093.0, {8}},       {8885.0, {9, 14}}, {11354.0, {11, 8}},
};

const TwoTexts kAerMet[] = {
    {2863.0, "SEA:SP", ""},
    {2881.0, "SAT", "Rio"},
    {2965.0, "SEA:MID:SP", ""},
    {3001.0, "MID", "Beirut"},
    {3047.0, "AFI:SAT", "Johannesburg"},
    {3176.0, "SAM", "Antofogasta"},
    {3413.0, "EUR", "Shannon"},
    {3465.0, "NAT", "NewYork"},
    {3485.0, "NAT", "Gander"},
    {4540.0, "MIL", "RAF Fleet"},
    {4742.0, "MIL", "RAF Fleet"},
    {5280.0, "SAM", "Puerto"},
    {5450.0, "MIL", "RAF"},
    {5505.0, "EUR", "Shannon"},
    {5561.0, "MID", "Beirut"},
    {5690.0, "MID", "Lahor"},
    {5714.0, "MIL", "RAF Fleet"},
    {6604.0, "NAT", "Gander"},
    {6676.0, "SEA:MID:SP", ""},
    {6679.0, "SEA:SP", ""},
    {6716.0, "AFI:SAT", "Johannesburg"},
    {6739.0, "MIL", "RAF Fleet"},
    {6753.0, "SEA:MIL", "Edmonton"},
    {6754.0, "MIL", "Trenton"},
    {7465.0, "SAM", "Antofogasta"},
    {8190.0, "MIL", "RAF Fleet"},
    {8819.0, "MID", "Beirut"},
    {8828.0, "SEA:SP", ""},
    {8957.0, "EUR", "Shannon"},
    {9026.0, "AFI:SAT", "Johannesburg"},
    {9031.0, "MIL", "RAF Fleet"},
    {10051.0, "NAT", "Gander"},
    {10057.0, "AFI", ""},
    {10087.0, "SAT", "Rio"},
    {11205.0, "MIL", "RAF Fleet"},
    {11253.0, "MIL", "RAF"},
    {11387.0, "SEA", ""},
    {13257.0, "MIL", "RAF Fleet"},
    {13264.0, "EUR", "Shannon"},
    {13270.0, "NAT", "Gander"},
    {13282.0, "SEA:SP", ""},
    {13321.0, "MID", "Lahor"},
    {15031.0, "MIL", "RAF Fleet"},
    {15034.0, "MIL", "Trenton"},
    {15035.0, "NAT:MIL", ""},
    {18018.0, "MIL", "RAF Fleet"},
};

const TwoTexts kAerNav[] = {
    {2851.0, "NCA-2", ""},
    {2854.0, "SAT-2", ""},
    {2869.0, "CEP-12", ""},
    {2872.0, "NAT-C", ""},
    {2878.0, "AFI-4", ""},
    {2887.0, "CAR-A", ""},
    {2899.0, "NAT-B", ""},
    {2932.0, "NP-34", ""},
    {2944.0, "MID-3:SAM", ""},
    {2962.0, "NAT-E", ""},
    {2971.0, "NAT-D", ""},
    {2992.0, "MID-1", ""},
    {2998.0, "CWP-12", ""},
    {3004.0, "NCA-3", ""},
    {3016.0, "NAT-A:EA-1", ""},
    {3019.0, "NCA-1", ""},
    {3413.0, "CEP-12", ""},
    {3419.0, "AFI-2", ""},
    {3452.0, "AFI-1:SAT-1", ""},
    {3455.0, "CAR-B", ""},
    {3467.0, "AFI-3:MID-2:SP-67", ""},
    {3470.0, "SEA-13", ""},
    {3476.0, "NAT-F:INO-1", ""},
    {3479.0, "EUR-A:SAM", ""},
    {3485.0, "SEA-2:EA-2", ""},
    {4666.0, "CWP-12:MID-123:SAM", ""},
    {4675.0, "NAT-CD", ""},
    {4678.0, "NCA-2", ""},
    {5493.0, "AFI-4", ""},
    {5517.0, "AFI-3", ""},
    {5520.0, "CAR-B", ""},
    {5526.0, "SAM", ""},
    {5547.0, "CEP-12", ""},
    {5550.0, "CAR-A", ""},
    {5565.0, "SAT-2", ""},
    {5574.0, "CEP-12", ""},
    {5598.0, "NAT-A", ""},
    {5616.0, "NAT-B", ""},
    {5628.0, "NP-34", ""},
    {5634.0, "INO-1", ""},
    {5643.0, "SP67", ""},
    {5646.0, "NCA-1", ""},
    {5649.0, "NAT-C:SEA-2:EA-2", ""},
    {5652.0, "AFI-2", ""},
    {5655.0, "SEA-2:EA-2", ""},
    {5658.0, "MID-2", ""},
    {5661.0, "EUR-A", ""},
    {5664.0, "NCA-3", ""},
    {5667.0, "MID-1:NP-34", ""},
    {5670.0, "SEA-1", ""},
    {5733.0, "SEA-3", ""},
    {6532.0, "CWP-12", ""},
    {6535.0, "AFI-1:SAT-1", ""},
    {6556.0, "SEA-13", ""},
    {6562.0, "CWP-12", ""},
    {6571.0, "EA-1", ""},
    {6577.0, "CAR-A", ""},
    {6586.0, "CAR-B", ""},
    {6592.0, "NCA-2", ""},
    {6598.0, "EUR-A", ""},
    {6622.0, "NAT-F", ""},
    {6628.0, "NAT-E", ""},
    {6631.0, "MID-13", ""},
    {6649.0, "CAR-A:SAM", ""},
    {6655.0, "NP-34", ""},
    {6673.0, "CEP-12", ""},
    {8825.0, "NAT-E", ""},
    {8831.0, "NAT-F", ""},
    {8843.0, "CEP-12", ""},
    {8846.0, "CAR-B", ""},
    {8855.0, "SAM", ""},
    {8861.0, "AFI-1:SAT-1", ""},
    {8864.0, "NAT-B", ""},
    {8867.0, "SP67", ""},
    {8879.0, "NAT-C:INO-1", ""},
    {8891.0, "NAT-D", ""},
    {8894.0, "AFI-2", ""},
    {8897.0, "EA-1", ""},
    {8903.0, "AFI-4:CWP-12", ""},
    {8906.0, "NAT-A", ""},
    {8918.0, "CAR-A", ""},
    {8942.0, "SEA-2:EA-2", ""},
    {8951.0, "MID-13:NP-34", ""},
    {10018.0, "AFI-3:MID-2", ""},
    {10024.0, "SAM", ""},
    {10039.0, "NCA-3", ""},
    {10042.0, "EA-1", ""},
    {10048.0, "NP-34", ""},
    {10057.0, "CEP-12", ""},
    {10066.0, "SEA-13", ""},
    {10084.0, "EUR-A", ""},
    {10096.0, "NCA-2:SAM", ""},
    {11279.0, "NAT-D", ""},
    {11282.0, "CEP-12", ""},
    {11291.0, "SAT-2", ""},
    {11300.0, "AFI-3:MID-2", ""},
    {11309.0, "NAT-E", ""},
    {11330.0, "CAR-B", ""},
    {11336.0, "NAT-F", ""},
    {11360.0, "SAM", ""},
    {11375.0, "MID-13", ""},
    {11384.0, "CWP-12", ""},
    {11396.0, "CAR-A:SEA-2:EA-2", ""},
    {13261.0, "CEP-12:SP-67", ""},
    {13273.0, "AFI-2", ""},
    {13288.0, "EUR-A:AFI-3:CEP-12:MID-2", ""},
    {13291.0, "NAT-BDF", ""},
    {13294.0, "AFI-4:NP-34", ""},
    {13297.0, "SAM:CAR-A", ""},
    {13300.0, "CWP-12", ""},
    {13303.0, "NCA-3", ""},
    {13306.0, "NAT-AC:INO-1", ""},
    {13309.0, "SEA-2:EA-2", ""},
    {13315.0, "SAT-2:NCA-1", ""},
    {13318.0, "SEA-13", ""},
    {13339.0, "NP-34", ""},
    {13354.0, "NAT-E", ""},
    {13357.0, "AFI-1:SAT-1", ""},
    {17904.0, "CEP-12:CWP-12:NP-34:SP-67", ""},
    {17907.0, "SAM:SEA-123:EA-2:CAR", ""},
    {17946.0, "NAT-ABCD:NAT-34", ""},
    {17955.0, "AFI-1:SAT-12", ""},
    {17958.0, "NCA-123:EA-1", ""},
    {17961.0, "EUR-A:AFI-234:MID-123", ""},
    {21925.0, "NP-34", ""},
};

const TwoTexts kUafGcs[] = {
    {8992.0, "Primary", "H24"},    {11175.0, "Backup", "H24"},  {13200.0, "Backup", "Day"},
    {15016.0, "Backup", "Day"},    {4724.0, "Backup", "Night"}, {6739.0, "Backup", "Night"},
    {11244.0, "Broadcast", "EAM"}, {6697.0, "TACAMO", "1"},     {13155.0, "TACAMO", "2"},
};

const TwoTexts kCarBea[] = {
    {2777.8, "French", "FUC"},   {2786.8, "French", "FUE"},    {4292.8, "French", "FUE"},
    {6345.8, "French", "FUE"},   {8452.8, "French", "FUG"},    {8476.3, "French", "FUF"},
    {8562.8, "French", "FUV"},   {12666.3, "French", "FUG"},   {12854.8, "French", "RFTJE"},
    {13029.0, "French", "FUF"},  {16902.8, "French", "FUV"},   {16949.4, "French", "RFTJE"},
    {16959.4, "French", "FUF"},  {17179.8, "French", "FUG"},   {22534.8, "French", "FUF"},
    {2471.8, "Dutch", "PBC"},    {2842.8, "Dutch", "PBZ"},     {3762.2, "Dutch", "PBB"},
    {6356.3, "Dutch", "PBC"},    {8148.0, "Dutch", "PBB"},     {8436.8, "Dutch", "PBC"},
    {12838.5, "Dutch", "PBC"},   {17113.6, "Dutch", "PBC"},    {2811.8, "Royal", "MTI"},
    {8623.8, "Royal", "GYU"},    {3779.8, "Portugal", "CTP"},  {6386.8, "Portugal", "CTP"},
    {8549.3, "Portugal", "CTP"}, {12821.3, "Portugal", "CTP"},
};

const TwoTexts kCarChn[] = {
    {2119.2, "Dutch", "02A"},  {2257.2, "Dutch", "02B"},  {4152.8, "Dutch", "04A"},  {4158.8, "Dutch", "04B"},
    {4169.3, "Dutch", "04C"},  {6235.3, "Dutch", "06A"},  {6239.8, "Dutch", "06B"},  {8318.8, "Dutch", "08A"},
    {8321.8, "Dutch", "08B"},  {8335.3, "Dutch", "08C"},  {12373.3, "Dutch", "12B"}, {16573.8, "Dutch", "17B"},
    {2484.8, "Royal", "02"},   {2660.2, "Royal", "02P"},  {2758.2, "Royal", "02Q"},  {3804.2, "Royal", "03P"},
    {4150.8, "Royal", "02"},   {4151.7, "Royal", "04P"},  {4877.7, "Royal", "04Q"},  {6244.7, "Royal", "06P"},
    {8142.7, "Royal", "08P"},  {8177.7, "Royal", "08Q"},  {12375.7, "Royal", "12P"}, {12379.7, "Royal", "12Q"},
    {12386.8, "Royal", "12A"}, {16548.7, "Royal", "16P"}, {16564.7, "Royal", "16Q"}, {22191.7, "Royal", "22P"},
    {25140.7, "Royal", "25P"},

};

const UtilListInfo kInfo[kUtilListCount] = {
    {"MarPrc", "Maritime PRC", true, 1400, ModeUSB, 2800},
    {"MarUrc", "Maritime URC", false, 1400, ModeUSB, 2800},
    {"MarUra", "Maritime URC-A", false, 1400, ModeUSB, 2800},
    {"MarPtc", "Maritime PTC", true, 1700, ModeRTTY, 1200},
    {"MarUtc", "Maritime UTC", false, 1700, ModeRTTY, 1200},
    {"MarMds", "Maritime MDS", false, 1400, ModeUSB, 2800},
    {"MarDsc", "Maritime DSC", false, 1700, ModeRTTY, 1200},
    {"MarMsi", "Maritime MSI", false, 1700, ModeRTTY, 1200},
    {"MarSar", "Maritime SAR", false, 1400, ModeUSB, 2800},
    {"MarNbd", "Maritime NBD", false, 1700, ModeRTTY, 1200},
    {"NavTex", "Navtex", false, 1700, ModeRTTY, 1200},
    {"WeaFax", "Weather Fax", false, 1900, ModeFAX, 1200},
    {"AerAcs", "Aero. HF Acars", false, 1440, ModeRTTY, 1200},
    {"AerMet", "Aero. Volmet", false, 1400, ModeUSB, 2800},
    {"AerNav", "Aero. Routes", false, 1400, ModeUSB, 2800},
    {"UafGcs", "USAF HFGCS EAM", false, 1400, ModeUSB, 2800},
    {"UafAle", "USAF HFGCS ALE", false, 1400, ModeUSB, 2800},
    {"CarBea", "Navy CARB Coast", false, 2200, ModeRTTY, 1200},
    {"CarChn", "Navy CARB Chann.", false, 2200, ModeRTTY, 1200},
};

// The order in which a tuned frequency is looked up.
const int kSearchOrder[kUtilListCount] = {UNavTex, UMarMds, UMarDsc, UMarSar, UMarMsi, UMarNbd, UMarUtc,
                                          UMarPtc, UMarUrc, UMarUra, UMarPrc, UWeaFax, UAerAcs, UAerMet,
                                          UAerNav, UUafGcs, UUafAle, UCarBea, UCarChn};

struct Entry {
    std::int32_t hz = 0;
    std::int32_t shipHz = 0;
    std::string info;
    std::string supp;
};

// One list as the walk sees it: blocks of channels (a single block for
// simple and station lists) and the entries flat in block order.
struct ListData {
    std::vector<int> counts;
    std::vector<int> first;
    std::vector<Entry> entries;

    void addBlock(int count)
    {
        first.push_back(static_cast<int>(entries.size()));
        counts.push_back(count);
    }
};

std::int32_t kHzToHz(double kHz)
{
    return static_cast<std::int32_t>(std::llround(kHz * 1000.0));
}

std::string channelText(int number, int width)
{
    return "Ch" + platform::formatInt(number, width, width > 0);
}

template <std::size_t N>
ListData simpleList(const double (&kHz)[N])
{
    ListData data;
    data.addBlock(static_cast<int>(N));
    for (double f : kHz) {
        data.entries.push_back({kHzToHz(f), 0, {}, {}});
    }
    return data;
}

template <std::size_t N>
ListData pairedList(const PairedBlock (&blocks)[N], int spacing)
{
    ListData data;
    for (const PairedBlock& b : blocks) {
        data.addBlock(b.count);
        for (int j = 0; j < b.count; ++j) {
            data.entries.push_back({kHzToHz(b.coastKHz) + j * spacing,
                                    kHzToHz(b.shipKHz) + j * spacing,
                                    channelText(b.firstChannel + j, 0),
                                    {}});
        }
    }
    return data;
}

template <std::size_t N>
ListData blockList(const Block (&blocks)[N], int spacing, bool numbered)
{
    ListData data;
    for (const Block& b : blocks) {
        data.addBlock(b.count);
        for (int j = 0; j < b.count; ++j) {
            data.entries.push_back(
                {kHzToHz(b.startKHz) + j * spacing, 0, numbered ? channelText(j + 1, 2) : std::string(), {}});
        }
    }
    return data;
}

template <std::size_t N>
ListData stationList(const TwoTexts (&rows)[N], const char* infoSuffix = "")
{
    ListData data;
    data.addBlock(static_cast<int>(N));
    for (const TwoTexts& r : rows) {
        data.entries.push_back({kHzToHz(r.kHz), 0, std::string(r.info) + infoSuffix, r.supp});
    }
    return data;
}

std::vector<ListData> buildLists()
{
    std::vector<ListData> lists(kUtilListCount);
    lists[UMarPrc] = pairedList(kMarPrc, 3000);
    lists[UMarUrc] = blockList(kMarUrc, 3000, false);
    lists[UMarUra] = blockList(kMarUra, 3000, true);
    lists[UMarPtc] = pairedList(kMarPtc, 500);
    lists[UMarUtc] = blockList(kMarUtc, 500, true);

    lists[UMarMds] = simpleList(kMarMdsKHz);
    for (std::size_t i = 0; i < lists[UMarMds].entries.size(); ++i) {
        lists[UMarMds].entries[i].info = channelText(static_cast<int>(i) + 1, 2);
    }
    lists[UMarDsc] = simpleList(kMarDscKHz);
    lists[UMarMsi] = simpleList(kMarMsiKHz);

    ListData& sar = lists[UMarSar];
    sar.addBlock(static_cast<int>(std::size(kMarSar)));
    for (const SarEntry& e : kMarSar) {
        sar.entries.push_back({kHzToHz(e.kHz), 0, e.channel > 0 ? channelText(e.channel, 2) : std::string(), {}});
    }
    sar.entries[13].info = "NATO";
    sar.entries[14].info = "Water";
    sar.entries[6].supp = "P-N";
    sar.entries[12].supp = "P-D";

    lists[UMarNbd] = simpleList(kMarNbdKHz);
    lists[UMarNbd].entries[1].info = "Ch411";
    lists[UMarNbd].entries[2].info = "Ch611";
    lists[UMarNbd].entries[3].info = "Ch801";

    lists[UNavTex] = simpleList(kNavTexKHz);
    lists[UWeaFax] = stationList(kWeaFax);

    ListData& acs = lists[UAerAcs];
    acs.addBlock(static_cast<int>(std::size(kAerAcs)));
    for (const AcsRow& r : kAerAcs) {
        Entry e{kHzToHz(r.kHz), 0, {}, {}};
        for (std::size_t i = 0; i < r.stations.size(); ++i) {
            if (i > 0) {
                e.info += ':';
                e.supp += ':';
            }
            e.info += kAcsCodes[r.stations[i]];
            e.supp += kAcsNames[r.stations[i]];
        }
        acs.entries.push_back(std::move(e));
    }

    lists[UAerMet] = stationList(kAerMet);
    lists[UAerNav] = stationList(kAerNav);
    lists[UUafGcs] = stationList(kUafGcs);
    lists[UUafAle] = simpleList(kUafAleKHz);
    for (Entry& e : lists[UUafAle].entries) {
        e.info = "ALE";
        e.supp = "Scope";
    }
    lists[UCarBea] = stationList(kCarBea, " Navy");
    lists[UCarChn] = stationList(kCarChn, " Navy");
    return lists;
}

const std::vector<ListData>& lists()
{
    static const std::vector<ListData> data = buildLists();
    return data;
}

bool validList(int list)
{
    return list >= 0 && list < kUtilListCount;
}

std::string slotValueName(int slot)
{
    return "S_Util" + platform::formatInt(slot, 2, true);
}

}  // namespace

const UtilListInfo& utilListInfo(int list)
{
    return kInfo[validList(list) ? list : 0];
}

int utilListTotal(int list)
{
    return validList(list) ? static_cast<int>(lists()[list].entries.size()) : 0;
}

std::int32_t utilEntryHz(int list, int index, bool ship)
{
    if (!validList(list) || index < 0 || index >= utilListTotal(list)) {
        return -1;
    }
    const Entry& e = lists()[list].entries[index];
    return (ship && kInfo[list].paired) ? e.shipHz : e.hz;
}

void UtilityLists::fill(int list, int index, bool ship)
{
    const UtilListInfo& info = kInfo[list];
    const Entry& e = lists()[list].entries[index];
    m_hit.exact = (ship && info.paired) ? e.shipHz : e.hz;
    m_hit.offset = info.offset;
    m_hit.filter = info.filter;
    m_hit.mode = info.mode;
    m_hit.list = static_cast<UTILTYPE>(list);
    m_hit.name = info.name;
    m_hit.info = e.info;
    m_hit.supp = info.paired ? (ship ? "Ship" : "Coast") : e.supp;
    m_hit.hitState = 1;
}

int UtilityLists::lookIn(int list, std::int32_t hz, std::int16_t delta)
{
    if (m_hit.hitState != 0 && hz == m_hit.exact) {
        return 2;
    }
    const ListData& data = lists()[list];
    const std::int64_t f = hz;
    const auto matches = [&](std::int32_t c) { return c - delta <= f && f <= static_cast<std::int64_t>(c) + delta; };
    const int passes = kInfo[list].paired ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const bool ship = pass == 1;
        for (std::size_t b = 0; b < data.counts.size(); ++b) {
            for (int p = 0; p < data.counts[b]; ++p) {
                const int index = data.first[b] + p;
                const Entry& e = data.entries[index];
                if (matches(ship ? e.shipHz : e.hz)) {
                    fill(list, index, ship);
                    m_block = static_cast<std::int16_t>(b);
                    m_pos = static_cast<std::int16_t>(p);
                    // The cursor now stands on this entry; a paired walk
                    // continues with the next channel's coast frequency.
                    m_alternate = false;
                    return 1;
                }
            }
        }
    }
    return 0;
}

std::int32_t UtilityLists::look(std::int32_t hz, std::int16_t delta)
{
    for (int list : kSearchOrder) {
        const int answer = lookIn(list, hz, delta);
        if (answer != 0) {
            m_hit.hitState = answer;
            return 1;
        }
    }
    m_hit.exact = hz;
    m_hit.offset = 1400;
    m_hit.filter = 2800;
    m_hit.mode = ModeNone;
    m_hit.list = UNothin;
    m_hit.name.clear();
    m_hit.info.clear();
    m_hit.supp.clear();
    m_hit.hitState = 0;
    return 0;
}

bool UtilityLists::cursorOnEntry(int list) const
{
    const ListData& data = lists()[list];
    const int block = data.counts.size() == 1 ? 0 : m_block;
    return block >= 0 && block < static_cast<int>(data.counts.size()) && m_pos >= 0 && m_pos < data.counts[block];
}

void UtilityLists::moveCursor(int list, bool up)
{
    const ListData& data = lists()[list];
    const int blocks = static_cast<int>(data.counts.size());
    int b = m_block;
    int p = m_pos;
    // The cursor is shared by all lists: bring it within this one first.
    if (blocks == 1) {
        b = 0;  // simple and station lists step on the position alone
    } else if (b < 0 || b >= blocks) {
        b = up ? 0 : blocks - 1;
        p = up ? -1 : data.counts[b];
    }
    if (p < -1) {
        p = -1;
    }
    if (p > data.counts[b]) {
        p = data.counts[b];
    }
    if (up) {
        if (++p >= data.counts[b]) {
            p = 0;
            b = b + 1 >= blocks ? 0 : b + 1;
        }
    } else {
        if (--p < 0) {
            b = b - 1 < 0 ? blocks - 1 : b - 1;
            p = data.counts[b] - 1;
        }
    }
    m_block = static_cast<std::int16_t>(b);
    m_pos = static_cast<std::int16_t>(p);
    m_atFirst = b == 0 && p == 0;
    m_atLast = b == blocks - 1 && p == data.counts[b] - 1;
    m_index = data.first[b] + p + 1;
}

std::int32_t UtilityLists::step(int list, bool up)
{
    if (list != m_walkList) {
        // A paired list's coast/ship alternation belongs to the list it
        // was walking.
        m_alternate = false;
        m_walkList = list;
    }
    bool ship = false;
    if (kInfo[list].paired && m_alternate && cursorOnEntry(list)) {
        ship = true;
        m_alternate = false;
    } else {
        moveCursor(list, up);
        m_alternate = kInfo[list].paired;
    }
    const ListData& data = lists()[list];
    const int block = data.counts.size() == 1 ? 0 : m_block;
    m_total = static_cast<std::int32_t>(data.entries.size());
    // The entry under the cursor fills the result record directly, so a
    // frequency that occurs twice cannot pull the cursor back.
    fill(list, data.first[block] + m_pos, ship);
    return m_hit.exact;
}

std::int32_t UtilityLists::next(std::int32_t list, bool up, std::int32_t* pIdx, std::int32_t* pTot)
{
    std::int32_t hz = -1;
    if (validList(list)) {
        hz = step(list, up);
    }
    if (pIdx) {
        *pIdx = m_index;
    }
    if (pTot) {
        *pTot = m_total;
    }
    return hz;
}

bool UtilityLists::moveToSelected(bool up)
{
    for (int i = 1; i <= kSelectionSlots; ++i) {
        const int slot = ((m_current + (up ? i : -i)) % kSelectionSlots + kSelectionSlots) % kSelectionSlots;
        // Spare slots are kept in the store but have no list to walk.
        if (slot >= kUtilListCount || m_selection[slot] != 1) {
            continue;
        }
        m_current = slot;
        const ListData& data = lists()[slot];
        if (up) {
            m_block = 0;
            m_pos = -1;
        } else {
            m_block = static_cast<std::int16_t>(data.counts.size() - 1);
            m_pos = static_cast<std::int16_t>(data.counts.back());
        }
        m_alternate = false;
        m_walkList = slot;
        return true;
    }
    return false;
}

std::int32_t UtilityLists::utilNext(bool up, std::int32_t* pIdx, std::int32_t* pTot)
{
    const bool currentSelected = m_current < kUtilListCount && m_selection[m_current] == 1;
    if (!currentSelected || (up && m_atLast) || (!up && m_atFirst)) {
        if (!moveToSelected(up)) {
            return -1;
        }
    }
    return next(m_current, up, pIdx, pTot);
}

std::int32_t UtilityLists::bankNext(bool up, std::int32_t* pIdx, std::int32_t* pTot)
{
    if (!moveToSelected(up)) {
        return -1;
    }
    return next(m_current, up, pIdx, pTot);
}

std::int32_t UtilityLists::selection(int slot) const
{
    return (slot >= 0 && slot < kSelectionSlots) ? m_selection[slot] : 0;
}

void UtilityLists::setSelection(int slot, std::int32_t value)
{
    if (slot >= 0 && slot < kSelectionSlots) {
        m_selection[slot] = value;
    }
}

bool UtilityLists::loadSelection(const std::string& storageKey)
{
    if (storageKey.empty()) {
        return false;
    }
    platform::SettingsStore& store = platform::SettingsStore::shared();
    const std::string key = platform::SettingsStore::join(platform::kSettingsRoot, storageKey);
    if (!store.createKey(key)) {
        return false;
    }
    for (int slot = 0; slot < kSelectionSlots; ++slot) {
        m_selection[slot] = store.readNumber(key, slotValueName(slot), 0);
    }
    return true;
}

bool UtilityLists::saveSelection(const std::string& storageKey) const
{
    if (storageKey.empty()) {
        return false;
    }
    platform::SettingsStore& store = platform::SettingsStore::shared();
    const std::string key = platform::SettingsStore::join(platform::kSettingsRoot, storageKey);
    bool ok = true;
    for (int slot = 0; slot < kSelectionSlots; ++slot) {
        ok = store.writeNumber(key, slotValueName(slot), m_selection[slot]) && ok;
    }
    return ok;
}

}  // namespace lumaret
