// NDX264 codec: the 0x11 ... CR LF 0x04 frames, the command texts, the
// status frame's fields, the S-meter formula and the code tables between
// the receiver's letters and digits and the driver's values. Pure
// functions, no I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "interfaces/receivertypes.h"

namespace quorvin::ndx264 {

inline constexpr char kStart = '\x11';
inline constexpr char kEnd = '\x04';
inline constexpr int kChannelCount = 100;  // 0..99
inline constexpr std::int32_t kMaxFrequency = 29999999;
inline constexpr std::int32_t kMaxBfo = 3000;

// 0x11, text, CR, LF, 0x04.
std::string frame(std::string_view text);

// Command texts (without frame).
inline constexpr std::string_view kStatusRequest = "?";
inline constexpr std::string_view kIdentRequest = "MI";
// "F% 7.2lf" in kHz. The frequency is first cut to the receiver's 10 Hz
// step, so the top of the range goes out as 29999.99 and never rounds up
// to 30000.00, which the receiver refuses; below 0 counts as 0.
std::string frequencyCommand(std::int32_t hz);
// "BF%1.2lf" in kHz, the value clamped to -3000..+3000 Hz first.
std::string bfoCommand(std::int32_t hz);
std::string modeCommand(char letter);  // "M%c"
std::string agcCommand(char agc);  // "C%c;G;"
std::string attenuatorCommand(int db);  // "A%d"
std::string filterCommand(int digit);  // "B%i"
// "MEM%02u" / "RM%02u;?"; nothing for a channel outside 0..99 (R_PERR).
std::optional<std::string> storeCommand(int channel);
std::optional<std::string> recallCommand(int channel);
// "H %02d %02d %02d"; nothing for a time that is no time of day.
std::optional<std::string> clockCommand(int hours, int minutes, int seconds);
// "H %s %s %s" from "hhmmss"; nothing unless the text is six digits.
std::optional<std::string> clockCommand(std::string_view hhmmss);

// Takes the next frame (from 0x11 up to and including 0x04) off the front
// of the receive buffer. Bytes before a 0x11 are dropped when it is found;
// a buffer without 0x11 is kept as it is (the next 0x11 drops it); a frame
// whose 0x04 has not arrived stays in the buffer.
std::optional<std::string> takeFrame(std::string& buffer);

// The fields of one status frame; a field that is absent, empty or does not
// parse is left empty (the driver keeps its value).
struct StatusFields {
    std::optional<std::int32_t> frequencyHz;  // kHz × 1000 + 0.5, truncated; "ErOPInt" ignored
    std::optional<char> mode;  // A to U
    std::optional<std::int32_t> bfoHz;  // rounded half away from zero; only |BFO| <= 3000
    std::optional<int> filterDigit;  // 0..7
    std::optional<char> agc;  // "-", O, L, R
    std::optional<int> attenuationDb;
    std::optional<int> signalN;
    std::optional<int> channel;  // -1 when the field does not parse
};

// Every field is introduced by 0x11 and its letters; each 0x11 is taken with
// the longest introducer it carries, so "BF" is never read as the filter
// "B" nor "CAN" as the AGC "C", in whatever order the fields come.
StatusFields parseStatusFrame(std::string_view frame);
// Whether an identification reply names the ISB option.
bool hasIsbOption(std::string_view reply);

// Raw S-meter level in dBuV from N: 20 log10(1000 sqrt(50000 × 10^(−N/10))),
// truncated towards zero (N = 73 gives 33), kept within -32768..32767.
int rawSmeter(int n);

// Mode letter → MODTYPE; C is FAX when the panel flag is clear and the BFO
// is -1900 Hz. Nothing for a letter the table does not hold.
std::optional<std::int32_t> modeFromLetter(char letter, std::int32_t bfoHz, bool bfoSetByPanel);
// MODTYPE → letter; a mode without a letter (FM, MPHI, ...) goes as `current`.
char letterFromMode(std::int32_t mod, char current);
// True for FAX and every mode number outside -1..3 and 5.
bool isModeEmulated(std::int32_t mod);
std::optional<std::int32_t> agcFromChar(char c);
// AgcManual, AgcFast and AgcSlow → "-", R, L; any other AGC as `current`.
char charFromAgc(std::int32_t agc, char current);
// 0 → AttOff, -6 → AttOn1, -12 → AttOn2, 12 → AttPre; nothing otherwise.
std::optional<std::int32_t> attFromDb(int db);
// ATTSTATE → dB; nothing for states the receiver lacks.
std::optional<int> dbFromAtt(std::int32_t att);
// Filter digit 0..6 → slot 1..7, 7 → slot 0 (the SSB filter); nothing otherwise.
std::optional<int> slotFromDigit(int digit);
// Slot 1..7 → digit 0..6; nothing for other slots.
std::optional<int> digitFromSlot(int slot);

}  // namespace quorvin::ndx264
