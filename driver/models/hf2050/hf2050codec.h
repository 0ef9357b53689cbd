// HF2050 codec: the set-and-query command lines, the word tables and the
// reply records (unit status, memory channel, levels), as pure functions.
// No I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin::hf2050 {

// A command line as it goes out: the text and CR LF.
std::string frame(std::string_view text);

// Command texts (without CR LF).
std::string connectCommand(int unit);  // "UNIT %d;HD;?"
inline constexpr std::string_view kPoll = "?;NB ?;RF ?;SQ ?";
std::string frequencyCommand(std::int32_t hz);  // "FR %5.2lf;FR ?" in kHz
std::string bfoCommand(std::int32_t hz);  // "BF %1.2lf;BF ?" in kHz
std::string modeCommand(std::string_view word);  // "MO %s;MO ?"
std::string agcCommand(std::string_view word);  // "AG %s;AG ?"
std::string noiseBlankerCommand(int level);  // "NB %d;NB ?"
std::string squelchCommand(int level);  // "SQ %d;SQ ?"
std::string rfGainCommand(int level);  // "RF %d;RF ?"
std::string bandwidthCommand(std::int32_t hz);  // "BW %i;BW ?"
std::string channelCommand(int channel);  // "CH %d;?"
std::string readChannelCommand(int channel);  // "PR %d ?"
// "PR %d = FR %5.2lf, MO %s, BF %1.2f, BW %d, AG %s"; without the BF part
// when withBfo is false (modes without BFO).
std::string writeChannelCommand(int channel, std::int32_t hz, std::string_view modeWord, bool withBfo,
                                std::int32_t bfoHz, std::int32_t bandwidthHz, std::string_view agcWord);

// Word tables. MODTYPE → mode word ("" for a mode the receiver lacks).
std::string_view modeWord(std::int32_t mod);
// Mode word read → MODTYPE, by its first letter; C reads as RTTY or FAX by
// the BFO (-2210 / -1900 Hz); a blank (or nothing) is ModNone; any other
// letter leaves `current`.
std::int32_t modeFromWord(std::string_view word, std::int32_t bfoHz, std::int32_t current);
// AGCTYPE → AGC word: AgcFast "FA", AgcSlow "SL", AgcManual "OF"; "" else.
std::string_view agcWord(std::int32_t agc);
// AGC word read → AGCTYPE by its first letter F, S, O; blank → AgcNone;
// any other letter leaves `current`.
std::int32_t agcFromWord(std::string_view word, std::int32_t current);
// Noise-blanker level → NBLTYPE: 0 off, 1..5 peek, 6..10 wide, -1 none;
// other values leave `current`.
std::int32_t noiseBlankerFromLevel(int level, std::int32_t current);
// The filter slot a new mode takes: USB, LSB and ISB the fifth (F_FLS),
// AM the fourth (F_FL4), every other mode the second (F_FL2); from 0.
int bandwidthSlotForMode(std::int32_t mod);

// The connect reply names the unit asked for ("UNIT %d" not followed by
// another digit) and ends with LF, or with CR as the next to last byte.
bool isReplyFromUnit(std::string_view reply, int unit);

// The unit number a unit record begins with ("UNIT 15 ..."); nothing for
// a line that does not begin so.
std::optional<int> unitOf(std::string_view line);

// The first byte of a reply line names its record: 'U', 'C', 'N', 'S',
// 'R', or 0 for an empty line.
char recordKind(std::string_view line);

// The fields of a unit status record (U) or a memory channel record (C).
// A field is present when its keyword stood in the record.
struct Fields {
    std::optional<std::int32_t> frequencyHz;  // FR, kHz on the wire
    std::optional<std::string> modeWord;  // MODE ("" when blank)
    std::optional<std::int32_t> bfoHz;  // BFO, NONE reads as 0
    bool bfoRejected = false;  // a BFO beyond ±4000 Hz or no number
    std::optional<std::int32_t> bandwidthHz;  // BW, NONE reads as -1
    std::optional<std::string> agcWord;  // AGC ("" when blank)
    std::optional<int> channel;  // CH, NONE reads as -1
    std::optional<bool> remote;  // RMT true, LCL false
    bool modeFirst = false;  // MODE is the record's first field (a reply to "MO ?")
};
// Each keyword is looked for at the start of the record or after a blank;
// its value runs to the next blank, leading blanks removed.
Fields parseFields(std::string_view line);
// A level record (N, S or R): the first whole number after its first
// byte, with an optional minus sign; nothing without one.
std::optional<int> parseLevel(std::string_view line);

inline constexpr std::int32_t kMaxBfo = 4000;

}  // namespace quorvin::hf2050
