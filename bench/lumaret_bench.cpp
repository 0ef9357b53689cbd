// Speed of the frequency database on a generated station list of 50,000
// rows: loading the text file, DataFirst with Delta 1000 and walking its
// matches, and FreqLook with BandLook as the application calls them on
// every tuning step.
//
//   lumaret_bench [benchmark options]
//   lumaret_bench --write-csv=PATH   writes the generated list and exits
//                                    (bench/compare_sqlite3.sh uses it)
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "freqdb/frequencydata.h"
#include "platform/numbers.h"
#include "platform/settingsstore.h"

using namespace lumaret;

namespace {

constexpr int kRows = 50000;

// A fixed pseudo-random sequence, so every run loads the same list.
std::uint32_t nextRandom(std::uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

std::string generatedList()
{
    static const char* const kModes[] = {"USB", "LSB", "CW", "RTTY", "FAX", "AM"};
    static const char* const kBauds[] = {"50", "75", "100", "300", ""};
    std::string text = "FREQ;INFO;STAT;MODE;BAUD\n";
    std::uint32_t state = 12345;
    for (int i = 0; i < kRows; ++i) {
        // 1000.0 .. 29999.9 kHz in 100 Hz steps.
        const double kHz = 1000.0 + static_cast<double>(nextRandom(state) % 290000) / 10.0;
        text += platform::formatFixed(kHz, 1);
        text += ";Station list entry " + platform::formatInt(i);
        text += ";CALL" + platform::formatInt(nextRandom(state) % 100000, 5, true);
        text += ";";
        text += kModes[nextRandom(state) % 6];
        text += ";";
        text += kBauds[nextRandom(state) % 5];
        text += "\n";
    }
    return text;
}

struct BenchFiles {
    BenchFiles()
    {
        dir = std::filesystem::temp_directory_path() / ("lumaret-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        csv = (dir / "stations.csv").string();
        std::ofstream(csv, std::ios::binary) << generatedList();
        platform::SettingsStore::resetShared((dir / "settings.db").string());
        const std::string key = std::string(platform::kSettingsRoot) + "\\Bench\\TEST";
        auto& store = platform::SettingsStore::shared();
        store.writeText(key, "S_File", csv);
        store.writeText(key, "S_Freq", "FREQ");
        store.writeText(key, "S_Desc", "INFO");
        store.writeText(key, "S_Stat", "STAT");
        store.writeText(key, "S_Mode", "MODE");
        store.writeText(key, "S_Baud", "BAUD");
    }
    ~BenchFiles() { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
    std::string csv;
};

BenchFiles& files()
{
    static BenchFiles f;
    return f;
}

void BM_LoadTextFile(benchmark::State& state)
{
    files();
    for (auto _ : state) {
        FrequencyData fd;
        std::int32_t ok = 0;
        fd.StorageKey("Bench", &ok);
        if (ok != 1) {
            state.SkipWithError("the station list did not load");
            break;
        }
    }
}
BENCHMARK(BM_LoadTextFile)->Unit(benchmark::kMillisecond);

void BM_DataFirstDelta1000AndWalk(benchmark::State& state)
{
    files();
    FrequencyData fd;
    std::int32_t ok = 0;
    fd.StorageKey("Bench", &ok);
    std::uint32_t seed = 777;
    std::size_t walked = 0;
    DATARECORD rec;
    for (auto _ : state) {
        // Any frequency on the 100 Hz grid, plus a few hertz.
        const auto hz = static_cast<std::int32_t>(1000000 + (nextRandom(seed) % 29000000));
        std::int32_t found = 0;
        fd.DataFirst(&rec, hz, 1000, &found);
        const std::size_t matches = fd.database().resultSize();
        for (std::size_t i = 1; i < matches; ++i) {
            fd.DataNext(&rec, 1, &found);
        }
        walked += matches;
    }
    state.counters["rows_per_query"] =
        benchmark::Counter(static_cast<double>(walked) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_DataFirstDelta1000AndWalk)->Unit(benchmark::kMicrosecond);

void BM_DataCountDistinct(benchmark::State& state)
{
    files();
    FrequencyData fd;
    std::int32_t ok = 0;
    fd.StorageKey("Bench", &ok);
    for (auto _ : state) {
        std::int32_t n = 0;
        fd.DataCount(1, &n);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_DataCountDistinct)->Unit(benchmark::kMicrosecond);

void BM_FreqLookAndBandLook(benchmark::State& state)
{
    FrequencyData fd;
    std::uint32_t seed = 99;
    std::int64_t hits = 0;
    for (auto _ : state) {
        const auto hz = static_cast<std::int32_t>(nextRandom(seed) % 30000000);
        std::int32_t found = 0;
        fd.get_FreqLook(hz, 250, &found);
        hits += found;
        std::int32_t band = 0;
        fd.get_BandLook(hz, &band);
        BESTMODE mode = ModeNone;
        fd.get_BandMode(&mode);
        benchmark::DoNotOptimize(mode);
    }
    state.counters["hit_ratio"] =
        benchmark::Counter(static_cast<double>(hits) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FreqLookAndBandLook)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    const std::string writeOption = "--write-csv=";
    if (argc == 2 && std::string(argv[1]).rfind(writeOption, 0) == 0) {
        std::ofstream(std::string(argv[1]).substr(writeOption.size()), std::ios::binary) << generatedList();
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
