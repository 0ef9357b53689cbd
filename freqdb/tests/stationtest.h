// The station database test fixture: a settings file of the test's own,
// a recording reporter, a FrequencyData object and helpers that configure
// the station file under a storage key and call IFrequencyData.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "freqdb/frequencydata.h"
#include "freqdb/sourcetable.h"
#include "freqdb/stationdatabase.h"
#include "testsupport.h"

namespace {

using namespace lumaret;

// The Access file made by the real engine (data/LICENSE-users-jet4.txt).
const std::string kUsersMdb = std::string(LUMARET_TESTDATA_DIR) + "/users-jet4.mdb";

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

}  // namespace

class StationDbTest : public ::testing::Test {
protected:
    // Stores the settings under SOFTWARE\Korvane Software\<key>\TEST.
    void configure(const std::map<std::string, std::string>& values, const std::string& key = "Station")
    {
        const std::string path = std::string(platform::kSettingsRoot) + "\\" + key + "\\TEST";
        for (const auto& [name, value] : values) {
            settings.store().writeText(path, name, value);
        }
    }
    std::int32_t storageKey(const std::string& key = "Station")
    {
        std::int32_t result = -1;
        fd.StorageKey(key, &result);
        return result;
    }
    std::int32_t count(bool distinct)
    {
        std::int32_t n = -5;
        fd.DataCount(distinct ? 1 : 0, &n);
        return n;
    }
    std::int32_t first(std::int32_t hz, std::int16_t delta)
    {
        std::int32_t found = -5;
        fd.DataFirst(&rec, hz, delta, &found);
        return found;
    }
    std::int32_t next(bool up)
    {
        std::int32_t found = -5;
        fd.DataNext(&rec, up ? 1 : 0, &found);
        return found;
    }
    std::string file(const std::string& name) { return settings.dir().file(name); }

    testsupport::TempSettings settings;
    testsupport::RecordingReporter reporter;
    FrequencyData fd;
    DATARECORD rec;
};
