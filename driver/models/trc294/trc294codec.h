// TRC294 codec: the receiver's single command bytes, its framed messages
// (0xFF, length, payload, XOR checksum), the frequency in packed BCD of
// 10 Hz units, the plain status record and the A model's status frame, and
// the code tables between the receiver's codes and the driver's values.
// Pure functions, no I/O.
//
// Message layouts beyond the status request, remote and panel-text messages
// (tune, filter/attenuator, channels, the A model's status frame) follow the
// receiver as laid down with the simulator: "01 r0..r4" tune with mode,
// "02 r5" filter and attenuator, "03 cc r0..r5 mm" channel write,
// "04 cc" recall, "07 cc" clear; the A status frame is
// "09 06 r0..r5 C" (length, type 06, record bytes 0..5, checksum).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "interfaces/receivertypes.h"

namespace quorvin::trc294 {

inline constexpr char kReturnToLocal = '\xEE';
inline constexpr char kPlainStatusRequest = '\xAA';
inline constexpr std::size_t kMaxPayload = 21;
inline constexpr std::int32_t kMinFrequency = 20000000;
inline constexpr std::int32_t kMaxFrequency = 119999999;
inline constexpr std::int32_t kMaxFrequencyExt = 499999999;

// Mode codes of the receiver.
inline constexpr int kModeCW = 0;
inline constexpr int kModeAM = 1;
inline constexpr int kModeFM = 2;
inline constexpr int kModeMPH = 3;
inline constexpr int kModeUSB = 4;
inline constexpr int kModeLSB = 5;

// The bitwise complement of N XOR-ed with every payload byte.
std::uint8_t checksum(std::uint8_t n, std::string_view payload);
// 0xFF, N, payload, C (N = payload length + 2). Empty for a payload that is
// empty or longer than 21 bytes: such a message cannot be sent.
std::string frame(std::string_view payload);
// One-byte messages go bare.
inline std::string bare(char byte)
{
    return std::string(1, byte);
}

// The A model's messages.
std::string aStatusRequest();  // FF 03 08 F4
std::string remoteMessage(bool on);  // FF 04 05 01 FF / FF 04 05 00 FE
std::string panelText(std::string_view text);  // the text as payload ("\nTRC294A REMOTE  ")

// The frequency step of a mode: 10 Hz in USB and LSB, 1000 Hz otherwise.
std::int32_t frequencyStep(int modeCode);
// Frequency and mode as record bytes 0..4: the frequency cut to the step,
// divided by 10 and written as eight BCD digits (digit 1 in the low nibble
// of byte 0, whose high nibble is 0), the mode code in the low nibble of
// byte 4. Frequencies below 0 count as 0; above 999999999 Hz as that.
std::string frequencyBytes(std::int32_t hz, int modeCode);
// Filter code (high nibble) and attenuator code (low nibble): record byte 5.
char filterAttByte(int filterCode, int attCode);

// The setting messages, framed.
std::string tuneMessage(std::int32_t hz, int modeCode);  // 01 r0..r4
std::string filterAttMessage(int filterCode, int attCode);  // 02 r5
// Channel messages; empty for a channel outside 1..101.
std::string channelWriteMessage(int channel, std::int32_t hz, int modeCode, int filterCode, int attCode,
                                std::uint8_t mask);  // 03 cc r0..r5 mm
std::string channelRecallMessage(int channel);  // 04 cc
std::string channelClearMessage(int channel);  // 07 cc

// One status, from either model.
struct Status {
    std::int32_t frequencyHz = 0;
    int modeCode = 0;
    int filterCode = 0;
    int attCode = 0;
    std::optional<int> channel;  // plain record only: 0 none, 1..101
};

// Connect checks on the first answer.
bool hasStatusHeader(std::string_view reply);  // a first byte whose high nibble is 0xF
bool isAModelReply(std::string_view reply);  // at least 2 bytes, 0x09 0x06 first

// A plain record: at least 7 bytes, header nibble 0xF, eight BCD digits.
// Nothing for anything else.
std::optional<Status> parsePlainStatus(std::string_view reply);

// What is wrong with a reply frame (N, payload, C), checked in this order.
enum class FrameCheck { Ok, Short, BadLength, BadChecksum };
// The whole frame must be there (N bytes); bytes after it are ignored.
FrameCheck checkReplyFrame(std::string_view reply);
// The A status frame: a good frame of length 9 with payload type 06 and
// record bytes that parse. Nothing for anything else.
std::optional<Status> parseAStatus(std::string_view reply);

// Mode code → MODTYPE: 0 CW, 1 AM, 2 FM, 3 MPH, 4 USB, 5 LSB; -1 → -1;
// nothing for other codes (the mode stays as it is).
std::optional<std::int32_t> modeFromCode(int code);
// MODTYPE → mode code; -1 for modes the receiver lacks.
int codeFromMode(std::int32_t mod);
// Filter code → table slot (from 0). In USB and LSB slot 0 (the SSB
// filter); codes 0..3 select slots 1..4; every other code the first
// offered slot (1). The table has five slots, so code 4 has none.
int slotFromFilterCode(int code, int modeCode);
// Table slot (from 0) → filter code; -1 for slot 0 and slots beyond 4.
int filterCodeFromSlot(int slot);
// Attenuator code 0..5 → AttOff..AttOn5; nothing for other codes.
std::optional<std::int32_t> attFromCode(int code);

}  // namespace quorvin::trc294
