// TRC243 codec: command frames with the optional address character, the
// command texts, the identification in the answer to "RMT", the A, B and C
// records at their fixed positions and the code tables. Pure functions, no
// I/O. The protocol itself is described in trc243protocol.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "driver/models/trc243/trc243protocol.h"
#include "interfaces/receivertypes.h"

namespace quorvin::trc243 {

inline constexpr std::int32_t kMinFrequency = 5000;
inline constexpr std::int32_t kMaxFrequency = 29999999;
inline constexpr std::int32_t kMaxBfo = 7999;
inline constexpr int kChannelCount = 100;  // 1..100
inline constexpr int kOutputs = 6;

// "0" plus the address, an address above 15 taken as 15 (below 0 as 0).
char addressCharacter(int address);
// CR, [address character], command, LF.
std::string frame(std::string_view command, bool busAddressing, int address);

std::string frequencyCommand(std::int32_t hz);  // "F%08d"
std::string bfoCommand(std::int32_t hz);  // "B%c%03d", clamped to ±7999
std::string modeCommand(int digit);  // "M%d"
std::string filterCommand(int code);  // "I%d"
std::string agcCommand(int modeDigit, char letter);  // "H%c%c"
std::string attenuatorCommand(int code);  // "A%d"
std::string preselectorCommand(bool on);  // "V%d"
std::string squelchCommand(int threshold);  // "U%c%c", clamped to 0..99
std::string outputsCommand(int mask);  // "XX%c"
// Channel commands; nothing for a channel outside 1..100.
std::optional<std::string> recallCommand(int channel);  // "K%u"
std::optional<std::string> storeCommand(int channel);  // "P%02u"
std::optional<std::string> eraseCommand(int channel);  // "E%02u"
std::optional<std::string> channelQuery(int channel);  // "C%02u"

// The text of a reply line: what follows CR and (with bus addressing) the
// address character, without the line end. Nothing when the line does not
// begin so.
std::optional<std::string> lineText(std::string_view line, bool busAddressing, int address);
// Whether a line's text is an acknowledgement (not parsed further).
bool isAcknowledgement(std::string_view text);

// The identification in the answer to "RMT".
struct Identification {
    enum class Error { None, NoKnownData, NoOpFrame, UnknownModel, NoFilterInformation };
    Error error = Error::None;
    std::string rom;  // "243" or "241" followed by the options ("/ISB", "/F1", "/FI" or "/NoOpt")
    bool isb = false;
};
// The model character is the one right after "OP"; three option characters
// follow it.
Identification parseIdentification(std::string_view reply);

struct ARecord {
    std::int32_t frequencyHz = 0;
    int mode = 0;
    int filter = 0;
    std::int32_t bfoHz = 0;
    char agc = '-';
};
struct BRecord {
    int attenuator = 0;
    int preselector = 0;
    int squelch = 0;
    bool muted = false;
    int signal = 0;
    int outputs = 0;
    int channel = 0;
};
struct CRecord {
    int channel = 0;
    ARecord settings;
    int attenuator = 0;
};
// Each takes a line's text; nothing unless it has the record's length and
// every field parses.
std::optional<ARecord> parseA(std::string_view text);
std::optional<BRecord> parseB(std::string_view text);
std::optional<CRecord> parseC(std::string_view text);

// Mode digit → MODTYPE (0 AM, 1 USB, 2 LSB, 3 CW, 4 ISB, 5 FM, 6 RTTY);
// nothing for other digits. FAX is CW with the FAX BFO.
std::optional<std::int32_t> modeFromDigit(int digit);
// MODTYPE → digit; FAX and CW_F as CW, AM_U and AM_L as AM; -1 otherwise.
int digitFromMode(std::int32_t mod);
// AGC letter F, M, S → AgcFast, AgcMedium, AgcSlow; "-" → AgcNone.
std::optional<std::int32_t> agcFromLetter(char letter);
char letterFromAgc(std::int32_t agc);  // '\0' for an AGC the receiver lacks
// Whether the receiver takes the AGC in a mode (AM: M, S; FM: none; else F, M, S).
bool agcExists(int modeDigit, std::int32_t agc);
// Whether a mode digit uses the SSB filter by itself (USB, LSB, ISB).
bool ssbMode(int digit);

}  // namespace quorvin::trc243
