// The band plan and its cursor: which services a band is allocated to, where
// it starts and ends, its tuning step, and the mode and filter that suit it,
// for ITU Region 1, 2 or 3. The tables are constant; each FrequencyData
// object owns one BandPlan cursor.
#pragma once

#include <cstdint>
#include <string>

#include "interfaces/ifrequencydata.h"

namespace lumaret {

inline constexpr int kBandRecordCount = 207;
inline constexpr int kRegionCount = 3;

struct BandRecord {
    double startKHz;
    std::int32_t service[4];
    std::int32_t stepHz;
};

// Read-only access to the tables (tests and the dialogs use them).
const BandRecord& bandRecord(int record);
// Number of entries of a region's list, the closing record 206 included.
int regionListSize(int region);
// Record number at a position of a region's list; the position is bounded.
int regionRecord(int region, int position);
// Position of the last real band of a region (147, 144, 144).
int regionLastPosition(int region);
// Start of a record in whole Hz.
std::int32_t recordStartHz(int record);
// Short name of a service code, padded as the band name shows it.
std::string serviceName(std::int32_t code);
// "AM", "CW", ... for 0..6, empty for anything else.
std::string modeName(std::int32_t mode);

class BandPlan {
public:
    std::int16_t region() const { return m_region; }
    std::int16_t position() const { return m_position; }
    std::int32_t frequency() const { return m_frequency; }
    int record() const;

    void setRegion(std::int16_t region);
    std::int16_t nextRegion();
    ALLOCTYPE code(std::int16_t pos) const;
    std::string name() const;
    std::int32_t startHz() const;
    std::int32_t endHz() const;
    // The low 16 bits of the step, as the 16-bit interface carries it.
    std::int16_t step16() const;
    // The whole step in Hz (100000 on the FM broadcast band).
    std::int32_t stepHz() const;
    std::int32_t next(bool up);
    bool look(std::int32_t hz);
    std::int16_t filter() const;
    BESTMODE mode() const;

private:
    bool lookup(std::int32_t hz);
    void boundPosition();

    std::int16_t m_region = 0;
    std::int16_t m_position = 0;
    std::int32_t m_frequency = 0;
};

}  // namespace lumaret
