// NRD535 codec: command texts, the CR-ended reply records and the code
// tables of the receiver, as pure functions. No I/O.
//
// Memory channels travel as one record per channel, "L" ccc a f m ffffffff g
// (channel, attenuator, filter, mode digits, frequency in Hz as eight digits,
// AGC digit), and are written with "K" and the same fields; a channel that
// holds nothing reads with the frequency 00000000, and writing that
// frequency clears it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "interfaces/receivertypes.h"

namespace quorvin::nrd535 {

inline constexpr int kChannelCount = 200;
inline constexpr std::int32_t kMinFrequency = 5000;
inline constexpr std::int32_t kMaxFrequency = 29999999;
inline constexpr std::int32_t kMaxBfo = 5000;

// A command as it goes on the wire: its text and CR.
std::string frame(std::string_view command);

std::string frequencyCommand(std::int32_t hz);  // "F%08d"
std::string bfoCommand(std::int32_t hz);  // "U2+%04d" / "U2-%04d"
std::string modeCommand(int digit);  // "D%d"
std::string agcCommand(int digit);  // "G%d"
std::string noiseBlankerCommand(int digit);  // "N%d"
std::string attenuatorCommand(int digit);  // "A%d"
std::string hfFilterCommand(bool on);  // "U1%c"
std::string filterCommand(int digit);  // "B%u"
std::string bandwidthCommand(std::int32_t hz);  // "W%04d"
std::string loadChannelCommand(int channel);  // "C%03u"
std::string saveChannelCommand(int channel);  // "J1%03u"
std::string readChannelsCommand(int first, int last);  // "L%03u%03u"
std::string clearChannelCommand(int channel);  // "U5%03u"
std::string clockCommand(int hours, int minutes);  // "R1%02d%02d"

struct ChannelFields {
    int attenuator = 0;
    int filter = 0;
    int mode = 0;
    std::int32_t frequencyHz = 0;
    int agc = 0;
};
// "K%03u" + a f m ffffffff g; nothing for a channel or field out of range.
std::optional<std::string> writeChannelCommand(int channel, const ChannelFields& fields);

// Identification ("?"): contains "535"; the H option shows as an "H" four
// characters after the start of "535".
struct Identification {
    bool hOption = false;
};
std::optional<Identification> parseIdentification(std::string_view reply);

// Full status "I": I a f m ffffffff g CR, 14 characters or more.
struct Status {
    int attenuator = 0;
    int filter = 0;
    int mode = 0;
    std::int32_t frequencyHz = 0;
    int agc = 0;
};
std::optional<Status> parseStatus(std::string_view record);
// "Q" d CR, "N" d CR: the digit.
std::optional<int> parseSingleDigit(std::string_view record, char kind);
// "M" ddd CR: raw S-meter 0..255.
std::optional<int> parseSmeter(std::string_view record);
// "W" dddd CR: variable bandwidth in Hz.
std::optional<int> parseBandwidth(std::string_view record);
// "U2%d": BFO in Hz; "U1%c": HF filter on for '1'.
struct UValue {
    bool isBfo = false;
    std::int32_t bfoHz = 0;
    bool hfFilterOn = false;
};
std::optional<UValue> parseU(std::string_view record);
// "L" ccc a f m ffffffff g CR.
struct ChannelRecord {
    int channel = 0;
    ChannelFields fields;
};
std::optional<ChannelRecord> parseChannel(std::string_view record);

// Code tables; -1 maps to -1, unknown digits to -1 (the caller keeps its value).
std::int32_t modeFromDigit(int digit);
int digitFromMode(std::int32_t mod);
std::int32_t agcFromDigit(int digit);
int digitFromAgc(std::int32_t agc);
std::int32_t noiseBlankerFromDigit(int digit);
std::int32_t squelchFromDigit(int digit);
std::int32_t attenuatorFromDigit(int digit);
// Filter digit → table slot (0 F_Nar, 1 F_Int, 2 F_Wide, 3 F_Aux); -1 for
// other digits, which read as 12000 Hz.
int slotFromFilterDigit(int digit);
int filterDigitFromSlot(int slot);
inline constexpr std::int32_t kUnknownFilterWidth = 12000;

// dBµV of a raw S-meter value (0..255, 255 the weakest).
std::int32_t dbuvFromRaw(int raw);

}  // namespace quorvin::nrd535
