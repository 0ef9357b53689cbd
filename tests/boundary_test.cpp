// The component boundary, seen from a program that loads the two libraries
// the way the application does: each exports its factory (and its documented
// entry points) and nothing else, and each shows its own messages - as
// message boxes in a program with a QApplication, as log lines without one,
// never blocking there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

#include "interfaces/component.h"
#include "interfaces/ifrequencydata.h"
#include "interfaces/ireceiverdriver.h"
#include "platform/componentloader.h"
#include "platform/settingsstore.h"

namespace {

namespace fs = std::filesystem;

std::string g_self;
fs::path g_dir;  // this run's settings file and station files

// ---- Station database settings that fail to open --------------------------------------------

// Configures profile "TEST" below `storageKey` with `file`.
bool configureStationFile(const std::string& storageKey, const fs::path& file, const std::string& table)
{
    platform::SettingsStore& store = platform::SettingsStore::shared();
    const std::string key =
        platform::SettingsStore::join(platform::SettingsStore::join(platform::kSettingsRoot, storageKey), "TEST");
    return store.writeText(key, "S_File", file.string()) && store.writeText(key, "S_Tabl", table) &&
           store.writeText(key, "S_Freq", "FREQ") && store.writeText(key, "S_Stat", "STATION");
}

// Two storage keys: an Access file that does not exist, and a dBase file
// that is no dBase file.
bool configureBrokenDatabases()
{
    std::ofstream(g_dir / "damaged.dbf") << "this is not a dBase table\n";
    return configureStationFile("Missing", g_dir / "missing.mdb", "Stations") &&
           configureStationFile("Damaged", g_dir / "damaged.dbf", "");
}

std::unique_ptr<lumaret::IFrequencyData> createFrequencyData(std::string* error)
{
    auto loaded = platform::loadComponent(kLumaretLibraryFile, kFrequencyDataClassId);
    *error = loaded.error;
    return std::unique_ptr<lumaret::IFrequencyData>(static_cast<lumaret::IFrequencyData*>(loaded.object));
}

// ---- Exported symbols ---------------------------------------------------------------------------

fs::path libraryPath(const std::string& file)
{
    const char* env = std::getenv("KORVANE_LIB_PATH");
    std::stringstream dirs(env ? env : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && fs::exists(fs::path(dir) / file)) {
            return fs::path(dir) / file;
        }
    }
    return {};
}

// The defined dynamic symbols of a library, as nm lists them.
std::set<std::string> exportedSymbols(const fs::path& library, bool* ok)
{
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only --format=posix '" + library.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    *ok = pipe != nullptr;
    if (!pipe) {
        return names;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        names.insert(text.substr(0, text.find(' ')));
    }
    *ok = ::pclose(pipe) == 0;
    return names;
}

TEST(ComponentBoundary, EachLibraryExportsOnlyItsDocumentedEntryPoints)
{
    const std::pair<std::string, std::set<std::string>> expected[] = {
        {kQuorvinLibraryFile, {"KorvaneCreateComponent"}},
        {kLumaretLibraryFile, {"KorvaneCreateComponent", "LumaretBandStepHz"}},
    };
    for (const auto& [file, symbols] : expected) {
        const fs::path path = libraryPath(file);
        ASSERT_FALSE(path.empty()) << file << " not found in $KORVANE_LIB_PATH";
        bool ok = false;
        const std::set<std::string> exported = exportedSymbols(path, &ok);
        ASSERT_TRUE(ok) << "nm could not list " << path;
        EXPECT_EQ(exported, symbols) << file;

        // The same seen through the loader: internals of the platform code
        // and of the library cannot be reached.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << ::dlerror();
        EXPECT_NE(::dlsym(handle, kComponentFactorySymbol), nullptr);
        for (const char* internal : {"_ZN8platform8reporterEv", "_ZN8platform11setReporterEPNS_8ReporterE",
                                     "_ZN8platform13SettingsStore6sharedEv"}) {
            EXPECT_EQ(::dlsym(handle, internal), nullptr) << file << " exports " << internal;
        }
        ::dlclose(handle);
    }
}

// ---- Messages with a QApplication ---------------------------------------------------------------

struct SeenBox {
    int count = 0;
    QString title;
    QString text;
};

// Closes every message box that shows up while it lives, noting the last.
class BoxCloser {
public:
    BoxCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box != nullptr && box->isVisible()) {
                    ++seen.count;
                    seen.title = box->windowTitle();
                    seen.text = box->text();
                    box->accept();
                }
            }
        });
        m_timer.start(10);
    }
    SeenBox seen;

private:
    QTimer m_timer;
};

TEST(ComponentBoundary, TheStationDatabasesErrorsAreMessageBoxesOfTheApplication)
{
    ASSERT_NE(qobject_cast<QApplication*>(QCoreApplication::instance()), nullptr);
    std::string error;
    auto data = createFrequencyData(&error);
    ASSERT_NE(data, nullptr) << error;

    for (const char* key : {"Missing", "Damaged"}) {
        BoxCloser closer;
        std::int32_t result = 1;
        EXPECT_EQ(data->StorageKey(key, &result), S_OK);
        EXPECT_EQ(result, 0) << key;
        EXPECT_EQ(closer.seen.count, 1) << key;
        EXPECT_EQ(closer.seen.title, QStringLiteral("Database Error")) << key;
        EXPECT_TRUE(closer.seen.text.startsWith(QStringLiteral("ERROR: 800"))) << closer.seen.text.toStdString();
        const QString file = QString::fromLatin1(std::strcmp(key, "Missing") == 0 ? "missing.mdb" : "damaged.dbf");
        EXPECT_TRUE(closer.seen.text.contains(file)) << closer.seen.text.toStdString();
    }
    // The database stays closed: its queries answer "not open" quietly.
    std::int32_t count = 0;
    EXPECT_EQ(data->DataCount(0, &count), S_OK);
    EXPECT_EQ(count, -1);
}

TEST(ComponentBoundary, BothLibrariesLoadSideBySideWithTheirOwnReporters)
{
    std::string error;
    auto data = createFrequencyData(&error);
    ASSERT_NE(data, nullptr) << error;
    auto loaded = platform::loadComponent(kQuorvinLibraryFile, kReceiverDriverClassId);
    ASSERT_NE(loaded.object, nullptr) << loaded.error;
    std::unique_ptr<quorvin::IReceiverDriver> driver(static_cast<quorvin::IReceiverDriver*>(loaded.object));
    std::int32_t max = 0;
    EXPECT_EQ(driver->DrvMax(&max), S_OK);
    EXPECT_EQ(max, 8);

    // The driver library loaded after the frequency database leaves its
    // boxes working.
    BoxCloser closer;
    std::int32_t result = 1;
    data->StorageKey("Missing", &result);
    EXPECT_EQ(closer.seen.count, 1);
    EXPECT_EQ(closer.seen.title, QStringLiteral("Database Error"));
}

// ---- Messages without a QApplication ------------------------------------------------------------

// Runs this program without a QApplication: it opens the broken databases
// through liblumaret.so and prints what it logged; a box there would block
// for good, so the run is bounded.
TEST(ComponentBoundary, WithoutAQApplicationTheMessagesAreLoggedAndNothingBlocks)
{
    const std::string command = "timeout 120 '" + g_self + "' --without-application 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[1024];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output.append(chunk, n);
    }
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("korvane.report: Database Error (error): ERROR: 80030002"), std::string::npos) << output;
    EXPECT_NE(output.find("missing.mdb"), std::string::npos) << output;
    EXPECT_NE(output.find("damaged.dbf"), std::string::npos) << output;
    EXPECT_NE(output.find("opened: 0 0"), std::string::npos) << output;
}

// The libraries loaded first and the QApplication created afterwards: the
// box shows all the same (the reporter decides at each call).
TEST(ComponentBoundary, AQApplicationCreatedAfterLoadingShowsTheBoxesToo)
{
    const std::string command = "timeout 120 '" + g_self + "' --application-after-loading 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[1024];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        output.append(chunk, n);
    }
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("box: Database Error"), std::string::npos) << output;
}

int runApplicationAfterLoading(int argc, char** argv)
{
    std::string error;
    auto data = createFrequencyData(&error);
    if (!data) {
        std::fprintf(stderr, "cannot load: %s\n", error.c_str());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BoxCloser closer;
    std::int32_t result = 1;
    data->StorageKey("Missing", &result);
    std::fprintf(stderr, "box: %s\n", closer.seen.title.toLocal8Bit().constData());
    return closer.seen.count == 1 ? 0 : 1;
}

void printLog(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    std::fprintf(stderr, "%s: %s\n", context.category ? context.category : "", text.toLocal8Bit().constData());
}

int runWithoutApplication()
{
    qInstallMessageHandler(printLog);
    std::string error;
    auto data = createFrequencyData(&error);
    auto loaded = platform::loadComponent(kQuorvinLibraryFile, kReceiverDriverClassId);
    if (!data || !loaded.object) {
        std::fprintf(stderr, "cannot load: %s %s\n", error.c_str(), loaded.error.c_str());
        return 1;
    }
    std::unique_ptr<quorvin::IReceiverDriver> driver(static_cast<quorvin::IReceiverDriver*>(loaded.object));
    std::int32_t missing = 1;
    std::int32_t damaged = 1;
    data->StorageKey("Missing", &missing);
    data->StorageKey("Damaged", &damaged);
    std::fprintf(stderr, "opened: %d %d\n", missing, damaged);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    char path[4096];
    const ssize_t len = ::readlink("/proc/self/exe", path, sizeof path - 1);
    g_self = len > 0 ? std::string(path, static_cast<std::size_t>(len)) : std::string(argv[0]);

    // One settings file for the run, shared by this program's store and the
    // libraries' own copies (they find it through $KORVANE_SETTINGS).
    const bool child = argc == 2 && (std::strcmp(argv[1], "--without-application") == 0 ||
                                     std::strcmp(argv[1], "--application-after-loading") == 0);
    if (!child) {
        std::string pattern = (fs::temp_directory_path() / "korvane-boundary-XXXXXX").string();
        g_dir = ::mkdtemp(pattern.data());
        ::setenv("KORVANE_SETTINGS", (g_dir / "settings.db").c_str(), 1);
        if (!configureBrokenDatabases()) {
            std::fprintf(stderr, "cannot write the settings in %s\n", g_dir.c_str());
            return 1;
        }
    }
    if (child) {
        return std::strcmp(argv[1], "--without-application") == 0 ? runWithoutApplication()
                                                                  : runApplicationAfterLoading(argc, argv);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    fs::remove_all(g_dir, ec);
    return result;
}
