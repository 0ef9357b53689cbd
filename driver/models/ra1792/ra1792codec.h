// RA1792 codec: the receiver's command frames and its status reply as pure
// functions, and the code tables between the receiver's mode, AGC and
// filter codes and the driver's values. No I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "interfaces/receivertypes.h"

namespace quorvin::ra1792 {

// "$%02d%s\r\n": a command to the receiver at a bus address.
std::string commandFrame(int busAddress, std::string_view command);
// Frames for the serial-to-bus adapter itself.
inline constexpr std::string_view kAdapterIdentify = "?\r\n";
inline constexpr std::string_view kAdapterReset = "R\r\n";

// Command texts (without frame).
std::string frequencyCommand(std::int32_t hz);  // "F%2.6lf" in MHz
std::string bfoCommand(std::int32_t hz);  // "B%1.2lf" in kHz
// The BFO in Hz that bfoCommand(hz) sets: the command carries 10 Hz steps,
// so this is what the receiver's status reports back.
std::int32_t bfoOnWire(std::int32_t hz);
std::string modeCommand(int code);  // "D%d"
std::string agcCommand(int code);  // "M%d"
std::string gainCommand(int level);  // "A%d"
std::string filterCommand(unsigned code);  // "I%u"

// One status reply, as the receiver sent it.
struct Status {
    std::int32_t bfoHz = 0;  // 0 when the B field is absent
    bool hasBfo = false;
    std::int32_t frequencyHz = 0;
    int modeCode = 0;
    std::optional<int> filterCode;
    int agcCode = 0;
    std::optional<int> gain;
    int x = 0;
};

// Parses a status reply; line ends anywhere are dropped first. Nothing when
// F, D, M or X is missing or a field holds no number.
std::optional<Status> parseStatus(std::string_view reply);

// Conversions of the reply's numbers.
std::int32_t megahertzToHz(double mhz);  // × 1000000 + 0.5, truncated
std::int32_t kilohertzToHz(double khz);  // × 1000, rounded half away from zero

// Mode code (D) read → MODTYPE; code 3 is CW, RTTY or FAX by the BFO unless
// the panel set the BFO. -1 for a code the table does not know.
std::int32_t modeFromCode(int code, std::int32_t bfoHz, bool bfoSetByPanel);
// MODTYPE → mode code; -1 for ModNone and for modes the receiver lacks.
int codeFromMode(std::int32_t mod);
// AGC code (M) read → AGCTYPE; -1 for 0 and unknown codes.
std::int32_t agcFromCode(int code);
// AGCTYPE → AGC code; -1 for AgcNone and AgcData.
int codeFromAgc(std::int32_t agc);

// Filter code (I) read → table slot index (from 0): codes 0 ..
// (offered) select slot (first + code - 1); every other code, and a code
// whose slot lies outside the configured ones, selects the first offered slot.
int slotFromFilterCode(int code, int firstSlot, int offered);
// Table slot → filter code.
int filterCodeFromSlot(int slot, int firstSlot);

}  // namespace quorvin::ra1792
