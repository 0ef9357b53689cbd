// Window test support.
#include "windowtestsupport.h"

#include <QtGlobal>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "nrd535sim.h"
#include "platform/settingsstore.h"
#include "ra1792sim.h"

namespace tessaly::test {

TestSettings::TestSettings()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-test-XXXXXX").string();
    m_dir = mkdtemp(pattern.data());
    const std::string file = m_dir + "/settings.db";
    setenv("KORVANE_SETTINGS", file.c_str(), 1);
    setenv("KORVANE_TRACE_DIR", (m_dir + "/traces").c_str(), 1);
    platform::SettingsStore::resetShared(file);
}

TestSettings::~TestSettings()
{
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void startAndConfigure(const std::string& configuration, std::vector<SimReceiver>& receivers)
{
    auto& store = platform::SettingsStore::shared();
    int port = 3;
    for (auto& rx : receivers) {
        std::string error;
        rx.server = sim::SimServer::create(rx.line, rx.transport, 0, &error);
        if (!rx.server) {
            throw std::runtime_error("simulator: " + error);
        }
        const std::string key = platform::SettingsStore::join(
            platform::SettingsStore::join(platform::kSettingsRoot, configuration), rx.instance);
        store.writeNumber(key, "D_Type", rx.type);
        store.writeNumber(key, "C_Wait", 150);
        store.writeNumber(key, "C_Retr", 10);
        if (rx.transport == sim::SimServer::Pty) {
            store.writeText("SOFTWARE\\Korvane Software\\Ports", std::to_string(port), rx.server->devicePath());
            store.writeNumber(key, "C_Type", 0);
            store.writeNumber(key, "S_Port", port);
            store.writeNumber(key, "S_TestLink", 0);
            ++port;
        } else {
            store.writeNumber(key, "C_Type", 1);
            store.writeText(key, "T_Addr", "127.0.0.1");
            store.writeNumber(key, "T_Port", rx.server->port());
            store.writeNumber(key, "T_TestLink", 0);
            store.writeNumber(key, "T_Delay", 0);
        }
    }
}

std::int32_t simFrequency(SimReceiver& rx)
{
    return rx.server->withLine([&](sim::SimLine& line) -> std::int32_t {
        if (auto* nrd = line.as<sim::Nrd535Sim>()) {
            return static_cast<std::int32_t>(nrd->state().frequency);
        }
        if (auto* ra = line.as<sim::Ra1792Sim>()) {
            return static_cast<std::int32_t>(ra->state().frequency);
        }
        return -1;
    });
}

void setSimFrequency(SimReceiver& rx, std::int32_t hz)
{
    rx.server->withLine([&](sim::SimLine& line) {
        if (auto* nrd = line.as<sim::Nrd535Sim>()) {
            nrd->state().frequency = hz;
        } else if (auto* ra = line.as<sim::Ra1792Sim>()) {
            ra->state().frequency = hz;
        }
    });
}

}  // namespace tessaly::test
