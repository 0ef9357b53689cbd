// REK085 codec: the addressed command frames, the settings text of a
// channel write, the fixed-layout status record and the code tables, as
// pure functions. No I/O.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin::rek085 {

// Prefixes: '*' every command, '%' writing or saving a channel, '&' reading one.
inline constexpr char kCommand = '*';
inline constexpr char kChannelWrite = '%';
inline constexpr char kChannelRead = '&';

// LF, prefix, "A%02d" (an address above 99 goes out as 99), command, CR.
// An address below 0 (no bus addressing) leaves out the "A" and the digits.
std::string commandFrame(char prefix, int busAddress, std::string_view command);

inline constexpr std::string_view kStatusQuery = "O1";
inline constexpr std::string_view kConnectEnd = "J0";

// Command texts (without frame).
std::string frequencyCommand(std::int32_t hz);  // "F%07d" in 10 Hz
std::string bfoCommand(std::int32_t hz);  // "B%02d%c" in 100 Hz with its sign
std::string modeCommand(int code);  // "I%d"
std::string filterCommand(int code);  // "W%d"
std::string agcCommand(int code);  // "R%d"
std::string outputCommand(unsigned output);  // "J%01u"
std::string channelCommand(unsigned channel);  // "K%02u"
// The settings text of a channel write: F I B W R and "H0Z0J0" run
// together; the BFO as "B" and three blanks when it is 0.
std::string settingsText(std::int32_t hz, int modeCode, std::int32_t bfoHz, int filterCode, int agcCode);

// Connect checks on the first reply (an optional leading LF is part of the
// record's header here: LF, "*", "A", then the address).
// True when the reply starts with LF, "*" and "A".
bool hasFrameHeader(std::string_view reply);
// The responding address: the fourth and fifth bytes as two digits.
std::optional<int> responderAddress(std::string_view reply);

// One status record.
struct Status {
    int address = 0;
    int channel = -1;  // -1: on no memory channel
    std::int32_t frequencyHz = 0;
    int modeCode = 0;
    std::int32_t bfoHz = 0;
    int filterCode = 0;
    int agcCode = 0;
    int h = 0;
    int z = 0;
    int output = 0;
    std::string settings;  // the record from its F field to its end (for a channel save)
};
// The record with or without its leading LF and its CR; at least 31
// characters of record. Nothing unless every letter stands in its place and
// every field parses.
std::optional<Status> parseStatus(std::string_view line);

// Code tables. Mode code read → MODTYPE (1 AM, 2 USB, 3 LSB, 4 FAX, 5 CW,
// 6 ISB, 7..9 RTTY); -1 → -1; any other code → `current`.
std::int32_t modeFromCode(int code, std::int32_t current);
// MODTYPE → mode code (RTTY as 9); -1 → -1; a mode outside the table → `currentCode`.
int codeFromMode(std::int32_t mod, int currentCode);
// AGC code read → AGCTYPE (0 slow, 1, 2, 4 manual, 3 fast); -1 → -1;
// any other code → `current`.
std::int32_t agcFromCode(int code, std::int32_t current);
// AGCTYPE → AGC code (medium and slow 0, the manual settings 1, fast 3);
// -1 → -1; any other value → `currentCode`.
int codeFromAgc(std::int32_t agc, int currentCode);
// Filter code n (1..7) → slot n - 1; -1 for any other code.
int slotFromFilterCode(int code);
// The offered slot for a requested width: the smallest width not below the
// request, the widest when every slot is narrower; -1 without any width.
int chooseFilterSlot(const std::array<std::int32_t, 7>& widths, int offered, std::int32_t requestHz);

inline constexpr std::int32_t kMaxBfo = 2900;
inline constexpr int kChannelCount = 100;
inline constexpr int kOutputCount = 10;

}  // namespace quorvin::rek085
