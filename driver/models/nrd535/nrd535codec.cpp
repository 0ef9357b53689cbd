// NRD535 commands, records, code tables and the S-meter scale.
#include "nrd535codec.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "driver/models/familyprotocol.h"
#include "platform/numbers.h"

namespace quorvin::nrd535 {

using family::digitAt;
using family::digitsAt;

std::string frame(std::string_view command)
{
    std::string out(command);
    out += '\r';
    return out;
}

std::string frequencyCommand(std::int32_t hz)
{
    return "F" + platform::formatInt(hz, 8, true);
}

std::string bfoCommand(std::int32_t hz)
{
    return std::string("U2") + (hz < 0 ? "-" : "+") + platform::formatInt(std::llabs(hz), 4, true);
}

std::string modeCommand(int digit)
{
    return "D" + platform::formatInt(digit);
}

std::string agcCommand(int digit)
{
    return "G" + platform::formatInt(digit);
}

std::string noiseBlankerCommand(int digit)
{
    return "N" + platform::formatInt(digit);
}

std::string attenuatorCommand(int digit)
{
    return "A" + platform::formatInt(digit);
}

std::string hfFilterCommand(bool on)
{
    return on ? "U11" : "U10";
}

std::string filterCommand(int digit)
{
    return "B" + platform::formatInt(digit);
}

std::string bandwidthCommand(std::int32_t hz)
{
    return "W" + platform::formatInt(hz, 4, true);
}

std::string loadChannelCommand(int channel)
{
    return "C" + platform::formatInt(channel, 3, true);
}

std::string saveChannelCommand(int channel)
{
    return "J1" + platform::formatInt(channel, 3, true);
}

std::string readChannelsCommand(int first, int last)
{
    return "L" + platform::formatInt(first, 3, true) + platform::formatInt(last, 3, true);
}

std::string clearChannelCommand(int channel)
{
    return "U5" + platform::formatInt(channel, 3, true);
}

std::string clockCommand(int hours, int minutes)
{
    return "R1" + platform::formatInt(hours, 2, true) + platform::formatInt(minutes, 2, true);
}

std::optional<std::string> writeChannelCommand(int channel, const ChannelFields& f)
{
    const bool valid = channel >= 0 && channel < kChannelCount && f.attenuator >= 0 && f.attenuator <= 1 &&
                       f.filter >= 0 && f.filter <= 3 && f.mode >= 0 && f.mode <= 8 && f.agc >= 0 && f.agc <= 2 &&
                       (f.frequencyHz == 0 || (f.frequencyHz >= kMinFrequency && f.frequencyHz <= kMaxFrequency));
    if (!valid) {
        return std::nullopt;
    }
    return "K" + platform::formatInt(channel, 3, true) + platform::formatInt(f.attenuator) +
           platform::formatInt(f.filter) + platform::formatInt(f.mode) + platform::formatInt(f.frequencyHz, 8, true) +
           platform::formatInt(f.agc);
}

std::optional<Identification> parseIdentification(std::string_view reply)
{
    if (reply.empty() || family::beginsWithTwoDel(reply)) {
        return std::nullopt;
    }
    const std::size_t at = reply.find("535");
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    Identification id;
    id.hOption = at + 4 < reply.size() && reply[at + 4] == 'H';
    return id;
}

std::optional<Status> parseStatus(std::string_view r)
{
    if (r.size() < 14 || r[0] != 'I' || r[13] != '\r') {
        return std::nullopt;
    }
    const auto att = digitAt(r, 1);
    const auto flt = digitAt(r, 2);
    const auto mode = digitAt(r, 3);
    const auto hz = digitsAt(r, 4, 8);
    const auto agc = digitAt(r, 12);
    if (!att || !flt || !mode || !hz || !agc) {
        return std::nullopt;
    }
    return Status{*att, *flt, *mode, static_cast<std::int32_t>(*hz), *agc};
}

std::optional<int> parseSingleDigit(std::string_view r, char kind)
{
    if (r.size() < 3 || r[0] != kind || r[2] != '\r') {
        return std::nullopt;
    }
    return digitAt(r, 1);
}

std::optional<int> parseSmeter(std::string_view r)
{
    if (r.size() < 5 || r[0] != 'M' || r[4] != '\r') {
        return std::nullopt;
    }
    const auto raw = digitsAt(r, 1, 3);
    if (!raw || *raw > 255) {
        return std::nullopt;
    }
    return static_cast<int>(*raw);
}

std::optional<int> parseBandwidth(std::string_view r)
{
    if (r.size() < 6 || r[0] != 'W' || r[5] != '\r') {
        return std::nullopt;
    }
    const auto hz = digitsAt(r, 1, 4);
    if (!hz) {
        return std::nullopt;
    }
    return static_cast<int>(*hz);
}

std::optional<UValue> parseU(std::string_view r)
{
    const std::string_view text = family::traceText(r);
    if (text.size() < 3 || text[0] != 'U') {
        return std::nullopt;
    }
    UValue value;
    if (text[1] == '1') {
        value.hfFilterOn = text[2] == '1';
        return value;
    }
    if (text[1] != '2') {
        return std::nullopt;
    }
    const auto hz = platform::parseInt(text.substr(2));
    if (!hz || *hz < -99999 || *hz > 99999) {
        return std::nullopt;
    }
    value.isBfo = true;
    value.bfoHz = static_cast<std::int32_t>(*hz);
    return value;
}

std::optional<ChannelRecord> parseChannel(std::string_view r)
{
    if (r.size() < 17 || r[0] != 'L' || r[16] != '\r') {
        return std::nullopt;
    }
    const auto channel = digitsAt(r, 1, 3);
    const auto att = digitAt(r, 4);
    const auto flt = digitAt(r, 5);
    const auto mode = digitAt(r, 6);
    const auto hz = digitsAt(r, 7, 8);
    const auto agc = digitAt(r, 15);
    if (!channel || *channel >= kChannelCount || !att || !flt || !mode || !hz || !agc) {
        return std::nullopt;
    }
    return ChannelRecord{static_cast<int>(*channel), {*att, *flt, *mode, static_cast<std::int32_t>(*hz), *agc}};
}

std::int32_t modeFromDigit(int digit)
{
    static constexpr std::array<MODTYPE, 9> kModes = {ModRTTY, ModCW,  ModUSB,  ModLSB, ModAM,
                                                      ModFM,   ModFAX, ModAM_U, ModAM_L};
    return (digit >= 0 && digit < 9) ? kModes[static_cast<std::size_t>(digit)] : -1;
}

int digitFromMode(std::int32_t mod)
{
    switch (mod) {
    case ModRTTY: return 0;
    case ModCW:
    case ModCW_F: return 1;
    case ModUSB:
    case ModISB: return 2;
    case ModLSB: return 3;
    case ModAM: return 4;
    case ModFM: return 5;
    case ModFAX: return 6;
    case ModAM_U: return 7;
    case ModAM_L: return 8;
    default: return -1;
    }
}

std::int32_t agcFromDigit(int digit)
{
    switch (digit) {
    case 0: return AgcSlow;
    case 1: return AgcFast;
    case 2: return AgcManual;
    default: return -1;
    }
}

int digitFromAgc(std::int32_t agc)
{
    switch (agc) {
    case AgcSlow: return 0;
    case AgcFast:
    case AgcMedium:
    case AgcMediumManual:
    case AgcSlowManual: return 1;
    case AgcManual:
    case AgcFastManual: return 2;
    default: return -1;
    }
}

std::int32_t noiseBlankerFromDigit(int digit)
{
    return (digit >= 0 && digit <= 2) ? digit : -1;
}

std::int32_t squelchFromDigit(int digit)
{
    return (digit >= 0 && digit <= 1) ? digit : -1;
}

std::int32_t attenuatorFromDigit(int digit)
{
    return (digit >= 0 && digit <= 1) ? digit : -1;
}

int slotFromFilterDigit(int digit)
{
    switch (digit) {
    case 0: return 2;
    case 1: return 1;
    case 2: return 0;
    case 3: return 3;
    default: return -1;
    }
}

int filterDigitFromSlot(int slot)
{
    switch (slot) {
    case 2: return 0;
    case 1: return 1;
    case 0: return 2;
    case 3: return 3;
    default: return -1;
    }
}

std::int32_t dbuvFromRaw(int raw)
{
    struct Step {
        int upTo;
        std::int32_t dbuv;
    };
    // v = 255 - raw; the first row whose bound v does not exceed.
    static constexpr Step kSteps[] = {{74, -11}, {75, -10}, {77, -9},
                                      {80, -8},  {85, -7},  {91, -6},
                                      {95, -5},  {97, -4},  {99, -3},
                                      {102, -2}, {104, -1}, {106, 0},
                                      {108, 1},  {110, 2},  {111, 3},
                                      {113, 4},  {115, 5},  {117, 6},
                                      {118, 7},  {120, 8},  {122, 9},
                                      {124, 10}, {126, 11}, {127, 12},
                                      {128, 13}, {130, 14}, {132, 15},
                                      {134, 16}, {135, 17}, {137, 18},
                                      {138, 19}, {140, 20}, {164, 0 /* v - 120 */},
                                      {165, 45}, {166, 48}, {167, 49},
                                      {168, 50}, {169, 52}, {170, 54},
                                      {171, 55}, {172, 58}, {173, 60},
                                      {174, 63}, {175, 64}, {176, 66},
                                      {177, 70}, {178, 72}, {179, 76},
                                      {180, 80}, {181, 83}, {182, 87},
                                      {183, 89}, {184, 95}, {186, 101},
                                      {187, 108}};
    const int v = 255 - std::clamp(raw, 0, 255);
    for (const Step& step : kSteps) {
        if (v <= step.upTo) {
            return step.upTo == 164 ? v - 120 : step.dbuv;
        }
    }
    return 114;
}

}  // namespace quorvin::nrd535
