// REK085 frames, settings text, status record and code tables.
#include "rek085codec.h"

#include "driver/models/familyprotocol.h"
#include "interfaces/receivertypes.h"
#include "platform/numbers.h"

namespace quorvin::rek085 {

namespace {

constexpr std::size_t kRecordLength = 31;

// Two places that hold a number of up to two digits, a blank standing for
// a leading zero; both blank gives `blank`.
std::optional<int> paddedPair(std::string_view text, std::size_t pos, int blank)
{
    if (text.size() < pos + 2) {
        return std::nullopt;
    }
    if (text[pos] == ' ' && text[pos + 1] == ' ') {
        return blank;
    }
    if (text[pos] == ' ') {
        return family::digitAt(text, pos + 1);
    }
    const auto v = family::digitsAt(text, pos, 2);
    if (!v) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

}  // namespace

std::string commandFrame(char prefix, int busAddress, std::string_view command)
{
    const std::string lead = std::string("\n") + prefix;
    if (busAddress < 0) {
        return lead + std::string(command) + "\r";
    }
    return family::addressFrame(lead + "A", busAddress, 2, command, "\r");
}

std::string frequencyCommand(std::int32_t hz)
{
    return "F" + platform::formatInt(hz / 10, 7, true);
}

std::string bfoCommand(std::int32_t hz)
{
    const std::int32_t magnitude = (hz < 0 ? -hz : hz) / 100;
    return "B" + platform::formatInt(magnitude, 2, true) + (hz < 0 ? "-" : "+");
}

std::string modeCommand(int code)
{
    return "I" + platform::formatInt(code);
}

std::string filterCommand(int code)
{
    return "W" + platform::formatInt(code);
}

std::string agcCommand(int code)
{
    return "R" + platform::formatInt(code);
}

std::string outputCommand(unsigned output)
{
    return "J" + platform::formatInt(output);
}

std::string channelCommand(unsigned channel)
{
    return "K" + platform::formatInt(channel, 2, true);
}

std::string settingsText(std::int32_t hz, int modeCode, std::int32_t bfoHz, int filterCode, int agcCode)
{
    return frequencyCommand(hz) + modeCommand(modeCode) + (bfoHz == 0 ? std::string("B   ") : bfoCommand(bfoHz)) +
           filterCommand(filterCode) + agcCommand(agcCode) + "H0Z0J0";
}

bool hasFrameHeader(std::string_view reply)
{
    return reply.size() >= 3 && reply[0] == '\n' && reply[1] == '*' && reply[2] == 'A';
}

std::optional<int> responderAddress(std::string_view reply)
{
    const auto v = family::digitsAt(reply, 3, 2);
    if (!v) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

std::optional<Status> parseStatus(std::string_view line)
{
    if (!line.empty() && line.front() == '\n') {
        line.remove_prefix(1);
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    if (line.size() < kRecordLength) {
        return std::nullopt;
    }
    const std::pair<std::size_t, char> letters[] = {{0, '*'},  {1, 'A'},  {4, 'K'},  {7, 'F'},  {15, 'I'}, {17, 'B'},
                                                    {21, 'W'}, {23, 'R'}, {25, 'H'}, {27, 'Z'}, {29, 'J'}};
    for (auto [at, letter] : letters) {
        if (line[at] != letter) {
            return std::nullopt;
        }
    }
    const auto address = family::digitsAt(line, 2, 2);
    const auto channel = paddedPair(line, 5, -1);
    const auto frequency = family::digitsAt(line, 8, 7);
    const auto mode = family::digitAt(line, 16);
    const auto bfo = paddedPair(line, 18, 0);
    const auto filter = family::digitAt(line, 22);
    const auto agc = family::digitAt(line, 24);
    const auto h = family::digitAt(line, 26);
    const auto z = family::digitAt(line, 28);
    const auto output = family::digitAt(line, 30);
    if (!address || !channel || !frequency || !mode || !bfo || !filter || !agc || !h || !z || !output) {
        return std::nullopt;
    }
    Status s;
    s.address = static_cast<int>(*address);
    s.channel = *channel;
    s.frequencyHz = static_cast<std::int32_t>(*frequency * 10);
    s.modeCode = *mode;
    s.bfoHz = (line[20] == '-' ? -1 : 1) * *bfo * 100;
    s.filterCode = *filter;
    s.agcCode = *agc;
    s.h = *h;
    s.z = *z;
    s.output = *output;
    s.settings = std::string(line.substr(7));
    return s;
}

std::int32_t modeFromCode(int code, std::int32_t current)
{
    switch (code) {
    case -1: return ModNone;
    case 1: return ModAM;
    case 2: return ModUSB;
    case 3: return ModLSB;
    case 4: return ModFAX;
    case 5: return ModCW;
    case 6: return ModISB;
    case 7:
    case 8:
    case 9: return ModRTTY;
    default: return current;
    }
}

int codeFromMode(std::int32_t mod, int currentCode)
{
    switch (mod) {
    case ModNone: return -1;
    case ModAM:
    case ModFM:
    case ModAM_U:
    case ModAM_L: return 1;
    case ModUSB: return 2;
    case ModLSB: return 3;
    case ModFAX: return 4;
    case ModCW:
    case ModCW_F: return 5;
    case ModISB: return 6;
    case ModRTTY: return 9;
    default: return currentCode;
    }
}

std::int32_t agcFromCode(int code, std::int32_t current)
{
    switch (code) {
    case -1: return AgcNone;
    case 0: return AgcSlow;
    case 1:
    case 2:
    case 4: return AgcManual;
    case 3: return AgcFast;
    default: return current;
    }
}

int codeFromAgc(std::int32_t agc, int currentCode)
{
    switch (agc) {
    case AgcNone: return -1;
    case AgcMedium:
    case AgcSlow: return 0;
    case AgcManual:
    case AgcFastManual:
    case AgcMediumManual:
    case AgcSlowManual: return 1;
    case AgcFast: return 3;
    default: return currentCode;
    }
}

int slotFromFilterCode(int code)
{
    return code >= 1 && code <= 7 ? code - 1 : -1;
}

int chooseFilterSlot(const std::array<std::int32_t, 7>& widths, int offered, std::int32_t requestHz)
{
    int best = -1;
    int widest = -1;
    const int count = std::min<int>(offered, static_cast<int>(widths.size()));
    for (int slot = 0; slot < count; ++slot) {
        const std::int32_t w = widths[static_cast<std::size_t>(slot)];
        if (w <= 0) {
            continue;
        }
        if (widest < 0 || w > widths[static_cast<std::size_t>(widest)]) {
            widest = slot;
        }
        if (w >= requestHz && (best < 0 || w < widths[static_cast<std::size_t>(best)])) {
            best = slot;
        }
    }
    return best >= 0 ? best : widest;
}

}  // namespace quorvin::rek085
