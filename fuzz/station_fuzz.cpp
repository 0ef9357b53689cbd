// The station database's reading of the operator's file: the semicolon
// text reader (KORVANE_FUZZ_STATION_SUFFIX ".csv") or the dBase reader
// (".dbf"). The input is the file. The readers run on it alone (the text
// check, the header guess, the rows), then the database loads it with its
// first columns mapped, counts, searches the frequency the input's first
// bytes give and steps through the matches both ways.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "freqdb/sourcetable.h"
#include "freqdb/stationdatabase.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::ScratchFile file(KORVANE_FUZZ_STATION_SUFFIX);
    static bool ready = [] {
        fuzz::installQuietReporter();
        return true;
    }();
    (void)ready;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!file.write(bytes)) {
        return 0;
    }
    const std::string& path = file.path();
    lumaret::SourceTable table;
    lumaret::TableCollector collector(table);
    lumaret::SourceError error;
    if (lumaret::StationDatabase::sourceKind(path) == lumaret::SourceKind::Text) {
        lumaret::checkTextFile(path, false);
        lumaret::readTextFile(path, lumaret::textFileHasHeader(path), collector, error);
    } else {
        lumaret::readDbfFile(path, collector, error);
    }

    lumaret::DatabaseSettings settings;
    settings.file = path;
    settings.table = lumaret::StationDatabase::tableForFile(path);
    std::vector<std::string> names;
    if (!lumaret::StationDatabase::readColumns(settings, names, error) || names.empty()) {
        return 0;
    }
    std::string* mapped[] = {&settings.freqColumn, &settings.descColumn, &settings.statColumn,
                             &settings.moduColumn, &settings.modeColumn, &settings.baudColumn};
    for (std::size_t i = 0; i < names.size() && i < std::size(mapped); ++i) {
        *mapped[i] = names[i];
    }
    lumaret::StationDatabase db;
    db.setSettings(settings);
    if (!db.open()) {
        return 0;
    }
    db.count(false);
    db.count(true);
    std::int32_t freq = 0;
    std::int16_t delta = 0;
    if (size >= 6) {
        std::memcpy(&freq, data, sizeof freq);
        std::memcpy(&delta, data + 4, sizeof delta);
    }
    lumaret::DATARECORD record;
    for (const std::int32_t hz : {freq, std::int32_t{-1}}) {
        if (db.first(&record, hz, delta) == 1) {
            for (int step = 0; step < 3; ++step) {
                db.next(&record, true);
            }
            for (int step = 0; step < 4; ++step) {
                db.next(&record, false);
            }
        }
    }
    return 0;
}
