// Shared test helpers: a settings file of the test's own and a reporter
// that records the messages the library would show.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/reporter.h"
#include "platform/settingsstore.h"

namespace testsupport {

struct Message {
    std::string title;
    std::string text;
    platform::MessageIcon icon;
};

class RecordingReporter : public platform::Reporter {
public:
    RecordingReporter() : m_old(platform::setReporter(this)) {}
    ~RecordingReporter() override { platform::setReporter(m_old); }
    void message(const std::string& title, const std::string& text, platform::MessageIcon icon) override
    {
        messages.push_back({title, text, icon});
    }
    bool confirm(const std::string&, const std::string&, bool fallback) override { return fallback; }
    void beep(int, int) override {}
    std::vector<Message> messages;

private:
    platform::Reporter* m_old;
};

// A temporary folder removed with the object.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "lumaret-XXXXXX").string();
        m_path = mkdtemp(tmpl.data());
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    std::string file(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Points the shared settings store at a fresh file in a temporary folder.
class TempSettings {
public:
    TempSettings() { platform::SettingsStore::resetShared(m_dir.file("settings.db")); }
    platform::SettingsStore& store() { return platform::SettingsStore::shared(); }
    const TempDir& dir() const { return m_dir; }

private:
    TempDir m_dir;
};

}  // namespace testsupport
