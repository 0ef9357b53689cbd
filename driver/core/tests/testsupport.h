// Shared pieces of the driver core tests: a settings store on a fresh
// temporary file, the driver object loaded from libquorvin.so, and an event
// sink that records what it receives.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/core/configstore.h"
#include "interfaces/component.h"
#include "interfaces/ireceiverdriver.h"
#include "platform/componentloader.h"
#include "platform/settingsstore.h"
#include "testmodel.h"

namespace quorvin::test {

// A settings store of its own, on a file in a fresh temporary directory.
class TempStore {
public:
    TempStore()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-core-XXXXXX").string();
        m_dir = mkdtemp(pattern.data());
        m_file = (std::filesystem::path(m_dir) / "settings.db").string();
        platform::SettingsStore::resetShared(m_file);
    }
    ~TempStore()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    TempStore(const TempStore&) = delete;
    TempStore& operator=(const TempStore&) = delete;

    platform::SettingsStore& store() { return platform::SettingsStore::shared(); }
    const std::string& file() const { return m_file; }
    const std::string& dir() const { return m_dir; }

    void addInstance(const std::string& conf, const std::string& name, std::int32_t type)
    {
        store().writeNumber(instanceKey(conf, name), "D_Type", type);
    }

    // Points the instance's channel at a TCP port on this machine that
    // nobody listens on, so that an open fails whatever link is built in.
    void pointAtClosedPort(const std::string& conf, const std::string& name)
    {
        const auto key = instanceKey(conf, name);
        store().writeNumber(key, "C_Type", 1);
        store().writeText(key, "T_Addr", "127.0.0.1");
        store().writeNumber(key, "T_Port", 1);
        store().writeNumber(key, "T_TestLink", 0);
        store().writeNumber(key, "T_Delay", 0);
    }

private:
    std::string m_dir;
    std::string m_file;
};

// Sets (or with nullptr unsets) an environment variable for the life of the
// guard.
class EnvGuard {
public:
    EnvGuard(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
            m_had = true;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvGuard()
    {
        if (m_had) {
            setenv(m_name.c_str(), m_old.c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

// A link failure code: what a failed open may answer.
inline bool isLinkFailure(std::int32_t code)
{
    return code == ConnectObjectError || (code >= ConnectLnClosed && code <= ConnectLnOpnError) ||
           code == ConnectLnAnyError;
}

inline std::unique_ptr<IReceiverDriver> loadDriver()
{
    auto loaded = platform::loadComponent(kQuorvinLibraryFile, kReceiverDriverClassId);
    EXPECT_TRUE(loaded.error.empty()) << loaded.error;
    return std::unique_ptr<IReceiverDriver>(static_cast<IReceiverDriver*>(loaded.object));
}

// Records every event as a line of text.
class RecordingSink : public IReceiverDriverEvents {
public:
    std::vector<std::string> events;
    HRESULT result = S_OK;
    std::function<void(const std::string&)> onEvent;

    HRESULT note(std::string text)
    {
        events.push_back(text);
        if (onEvent) {
            onEvent(text);
        }
        return result;
    }
    static std::string n(std::int64_t v) { return std::to_string(v); }

    HRESULT DrvUpdated(std::int32_t c) override { return note("DrvUpdated " + n(c)); }
    HRESULT RxConnState(std::int16_t i, ConnErr e) override { return note("ConnState " + n(i) + " " + n(e)); }
    HRESULT RxDataError(std::int16_t i, DataErr e) override { return note("DataError " + n(i) + " " + n(e)); }
    HRESULT RxFrqUpdated(std::int16_t i, std::int32_t f, std::int32_t d) override
    {
        return note("Frq " + n(i) + " " + n(f) + " " + n(d));
    }
    HRESULT RxChnUpdated(std::int16_t i, std::int16_t c) override { return note("Chn " + n(i) + " " + n(c)); }
    HRESULT RxModUpdated(std::int16_t i, MODTYPE m, std::int32_t b) override
    {
        return note("Mod " + n(i) + " " + n(m) + " " + n(b));
    }
    HRESULT RxFltUpdated(std::int16_t i, std::int32_t f) override { return note("Flt " + n(i) + " " + n(f)); }
    HRESULT RxAgcUpdated(std::int16_t i, AGCTYPE a, std::int16_t l) override
    {
        return note("Agc " + n(i) + " " + n(a) + " " + n(l));
    }
    HRESULT RxNBlUpdated(std::int16_t i, NBLTYPE v, std::int16_t l) override
    {
        return note("NBl " + n(i) + " " + n(v) + " " + n(l));
    }
    HRESULT RxAttUpdated(std::int16_t i, ATTSTATE v, std::int16_t l) override
    {
        return note("Att " + n(i) + " " + n(v) + " " + n(l));
    }
    HRESULT RxSqlUpdated(std::int16_t i, SQLSTATE v, std::int16_t l) override
    {
        return note("Sql " + n(i) + " " + n(v) + " " + n(l));
    }
    HRESULT RxSMtUpdated(std::int16_t i, std::int32_t f, std::int16_t l, std::int16_t d, const std::string& s) override
    {
        return note("SMt " + n(i) + " " + n(f) + " " + n(l) + " " + n(d) + " " + s);
    }
    HRESULT RxHFFUpdated(std::int16_t i, HFFSTATE s) override { return note("HFF " + n(i) + " " + n(s)); }
    HRESULT RxChnStatus(std::int16_t i, std::int16_t c, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                        std::int32_t, std::int32_t) override
    {
        return note("ChnStatus " + n(i) + " " + n(c));
    }
    HRESULT RxOutUpdated(std::int16_t i, std::int16_t num, std::int32_t s) override
    {
        return note("Out " + n(i) + " " + n(num) + " " + n(s));
    }
    HRESULT RxStpUpdated(std::int16_t i, std::int32_t s) override { return note("Stp " + n(i) + " " + n(s)); }
    HRESULT RxRmtState(std::int16_t i, std::int32_t s) override { return note("Rmt " + n(i) + " " + n(s)); }
};

}  // namespace quorvin::test
