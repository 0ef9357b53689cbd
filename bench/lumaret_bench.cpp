// Speed of the frequency database on a generated station list of 50,000
// rows: loading the text file, DataFirst with Delta 1000 and walking its
// matches, and FreqLook with BandLook as the application calls them on
// every tuning step.
//
//   lumaret_bench [benchmark options]
//   lumaret_bench --write-csv=PATH [--rows=N]
//                        writes the generated list (50,000 rows unless N)
//                        and exits (bench/compare_sqlite3.sh uses it)
//   lumaret_bench --load-figures [--rows=N ...]
//                        loads generated lists of 50,000 and 1,000,000 rows
//                        (or the given counts), each in a process of its
//                        own, and prints the load time and the peak memory
//                        (resident set) of that process
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
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

// Writes the generated list in pieces, so a list of millions of rows
// never sits whole in memory.
void writeList(std::ostream& out, int rows)
{
    static const char* const kModes[] = {"USB", "LSB", "CW", "RTTY", "FAX", "AM"};
    static const char* const kBauds[] = {"50", "75", "100", "300", ""};
    std::string text = "FREQ;INFO;STAT;MODE;BAUD\n";
    std::uint32_t state = 12345;
    for (int i = 0; i < rows; ++i) {
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
        if (text.size() > (1u << 20)) {
            out << text;
            text.clear();
        }
    }
    out << text;
}

void writeListFile(const std::string& path, int rows)
{
    std::ofstream out(path, std::ios::binary);
    writeList(out, rows);
}

// Points the settings store at `dir` and configures the list under "Bench".
void configureBench(const std::filesystem::path& dir, const std::string& csv)
{
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

struct BenchFiles {
    BenchFiles()
    {
        dir = std::filesystem::temp_directory_path() / ("lumaret-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        csv = (dir / "stations.csv").string();
        writeListFile(csv, kRows);
        configureBench(dir, csv);
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

// Loads a generated list of `rows` rows in a child process and prints the
// load time and the child's peak resident memory beside the file's size.
bool loadFigures(int rows)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("lumaret-figures-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string csv = (dir / "stations.csv").string();
    writeListFile(csv, rows);
    const auto fileBytes = std::filesystem::file_size(csv);
    int fds[2];
    if (::pipe(fds) != 0) {
        return false;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        configureBench(dir, csv);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        const auto start = std::chrono::steady_clock::now();
        FrequencyData fd;
        std::int32_t ok = 0;
        fd.StorageKey("Bench", &ok);
        std::int32_t n = 0;
        fd.DataCount(0, &n);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        char line[128];
        const int len = std::snprintf(line, sizeof line, "%d %d %.1f %ld\n", ok, n, ms, before.ru_maxrss);
        if (::write(fds[1], line, static_cast<std::size_t>(len)) != len) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    char line[128] = {};
    const ssize_t got = ::read(fds[0], line, sizeof line - 1);
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    std::filesystem::remove_all(dir);
    int ok = 0;
    int count = 0;
    double ms = 0;
    long baseKb = 0;
    if (got <= 0 || std::sscanf(line, "%d %d %lf %ld", &ok, &count, &ms, &baseKb) != 4 || ok != 1) {
        std::printf("%9d rows: the list did not load\n", rows);
        return false;
    }
    const double fileMb = static_cast<double>(fileBytes) / 1e6;
    const double peakMb = static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;
    std::printf("%9d rows  %7.1f MB file  load %8.1f ms  peak memory %7.1f MB (%.1f x the file; %.1f MB before the "
                "load)\n",
                count, fileMb, ms, peakMb, peakMb / fileMb, static_cast<double>(baseKb) * 1024.0 / 1e6);
    return true;
}

// Google Benchmark's CSV reporter takes its counter columns from the first
// benchmark it reports and aborts on a counter it has not seen before; the
// benchmarks here count different things, so their runs are held back and
// reported together at the end (a counter a benchmark lacks is an empty cell).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
class WholeCsvReporter : public benchmark::CSVReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override { m_runs.insert(m_runs.end(), runs.begin(), runs.end()); }
    void Finalize() override
    {
        if (!m_runs.empty()) {
            CSVReporter::ReportRuns(m_runs);
            m_runs.clear();
        }
        CSVReporter::Finalize();
    }

private:
    std::vector<Run> m_runs;
};
#pragma GCC diagnostic pop

}  // namespace

int main(int argc, char** argv)
{
    std::vector<int> rows;
    std::string writePath;
    bool figures = false;
    bool csvDisplay = false;
    bool csvFile = false;
    bool fileOut = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--benchmark_format=csv") {
            csvDisplay = true;
        } else if (arg == "--benchmark_out_format=csv") {
            csvFile = true;
        } else if (arg.rfind("--benchmark_out=", 0) == 0) {
            fileOut = arg.size() > 16;
        } else if (arg.rfind("--write-csv=", 0) == 0) {
            writePath = arg.substr(12);
        } else if (arg.rfind("--rows=", 0) == 0) {
            rows.push_back(std::atoi(arg.c_str() + 7));
        } else if (arg == "--load-figures") {
            figures = true;
        }
    }
    if (!writePath.empty()) {
        writeListFile(writePath, rows.empty() ? kRows : rows.front());
        return 0;
    }
    if (figures) {
        if (rows.empty()) {
            rows = {kRows, 1000000};
        }
        bool ok = true;
        for (int n : rows) {
            ok = loadFigures(n) && ok;
        }
        return ok ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    WholeCsvReporter display;
    WholeCsvReporter file;
    benchmark::RunSpecifiedBenchmarks(csvDisplay ? &display : nullptr, csvFile && fileOut ? &file : nullptr);
    benchmark::Shutdown();
    return 0;
}
