// TRC243 frames, command texts, identification, records and code tables.
#include "trc243codec.h"

#include <algorithm>

#include "driver/models/familyprotocol.h"
#include "platform/numbers.h"

namespace quorvin::trc243 {

namespace {

std::optional<std::string> channelCommand(std::string_view letter, int channel, int width)
{
    if (channel < 1 || channel > kChannelCount) {
        return std::nullopt;
    }
    return std::string(letter) + platform::formatInt(channel, width, true);
}

std::optional<int> number(std::string_view text, std::size_t pos, std::size_t count)
{
    const auto value = family::digitsAt(text, pos, count);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

// "F" ffffffff "M" d "I" d "B" sdddd "H" a, from `pos` (17 characters).
std::optional<ARecord> settingsAt(std::string_view t, std::size_t pos)
{
    if (t.size() < pos + 21 || t[pos] != 'F' || t[pos + 9] != 'M' || t[pos + 11] != 'I' || t[pos + 13] != 'B' ||
        t[pos + 19] != 'H') {
        return std::nullopt;
    }
    const auto hz = family::digitsAt(t, pos + 1, 8);
    const auto mode = number(t, pos + 10, 1);
    const auto filter = number(t, pos + 12, 1);
    const char sign = t[pos + 14];
    const auto bfo = number(t, pos + 15, 4);
    const char agc = t[pos + 20];
    if (!hz || !mode || !filter || !bfo || (sign != '+' && sign != '-') ||
        std::string_view("FMS-").find(agc) == std::string_view::npos) {
        return std::nullopt;
    }
    ARecord a;
    a.frequencyHz = static_cast<std::int32_t>(*hz);
    a.mode = *mode;
    a.filter = *filter;
    a.bfoHz = sign == '-' ? -*bfo : *bfo;
    a.agc = agc;
    return a;
}

}  // namespace

char addressCharacter(int address)
{
    return static_cast<char>('0' + std::clamp(address, 0, 15));
}

std::string frame(std::string_view command, bool busAddressing, int address)
{
    std::string out("\r");
    if (busAddressing) {
        out.push_back(addressCharacter(address));
    }
    out.append(command);
    out.push_back('\n');
    return out;
}

std::string frequencyCommand(std::int32_t hz)
{
    return "F" + platform::formatInt(std::clamp(hz, 0, 99999999), 8, true);
}

std::string bfoCommand(std::int32_t hz)
{
    const std::int32_t clamped = std::clamp(hz, -kMaxBfo, kMaxBfo);
    return std::string("B") + (clamped < 0 ? '-' : '+') +
           platform::formatInt(clamped < 0 ? -clamped : clamped, 3, true);
}

std::string modeCommand(int digit)
{
    return "M" + platform::formatInt(digit);
}

std::string filterCommand(int code)
{
    return "I" + platform::formatInt(code);
}

std::string agcCommand(int modeDigit, char letter)
{
    return "H" + platform::formatInt(modeDigit) + std::string(1, letter);
}

std::string attenuatorCommand(int code)
{
    return "A" + platform::formatInt(code);
}

std::string preselectorCommand(bool on)
{
    return on ? "V1" : "V0";
}

std::string squelchCommand(int threshold)
{
    return "U" + platform::formatInt(std::clamp(threshold, 0, 99), 2, true);
}

std::string outputsCommand(int mask)
{
    return "XX" + std::string(1, static_cast<char>(0x30 + (mask & 0x3F)));
}

std::optional<std::string> recallCommand(int channel)
{
    return channelCommand("K", channel, 0);
}

std::optional<std::string> storeCommand(int channel)
{
    return channelCommand("P", channel, 2);
}

std::optional<std::string> eraseCommand(int channel)
{
    return channelCommand("E", channel, 2);
}

std::optional<std::string> channelQuery(int channel)
{
    return channelCommand("C", channel, 2);
}

std::optional<std::string> lineText(std::string_view line, bool busAddressing, int address)
{
    const std::size_t skip = busAddressing ? 2 : 1;
    if (line.size() < skip || line[0] != '\r' || (busAddressing && line[1] != addressCharacter(address))) {
        return std::nullopt;
    }
    std::string text(line.substr(skip));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

bool isAcknowledgement(std::string_view text)
{
    for (std::string_view word : {"OM", "om", "TST", "tst", "OP", "op", "REM", "rem", "LOC", "loc"}) {
        if (text.find(word) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

Identification parseIdentification(std::string_view reply)
{
    Identification id;
    const std::size_t op = reply.find("OP");
    if (op == std::string_view::npos) {
        id.error = reply.find("REM") != std::string_view::npos ? Identification::Error::NoOpFrame
                                                               : Identification::Error::NoKnownData;
        return id;
    }
    const std::size_t at = op + 2;
    if (at >= reply.size() || reply[at] == '\r' || reply[at] == '\n') {
        id.error = Identification::Error::NoKnownData;
        return id;
    }
    if (reply[at] == 'S') {
        id.rom = "243";
    } else if (reply[at] == 'T') {
        id.rom = "241";
    } else {
        id.error = Identification::Error::UnknownModel;
        return id;
    }
    std::string_view options = reply.substr(at + 1);
    options = options.substr(0, std::min(options.find_first_of("\r\n"), options.size()));
    if (options.size() < 3) {
        id.error = Identification::Error::NoFilterInformation;
        return id;
    }
    bool any = false;
    for (char c : options.substr(0, 3)) {
        if (c == '5') {
            id.rom += "/ISB";
            id.isb = true;
            any = true;
        } else if (c == '%') {
            id.rom += "/F1";
            any = true;
        } else if (c == '/') {
            id.rom += "/FI";
            any = true;
        }
    }
    if (!any) {
        id.rom += "/NoOpt";
    }
    return id;
}

std::optional<ARecord> parseA(std::string_view t)
{
    if (t.size() != static_cast<std::size_t>(kARecordLength) || t[0] != 'A') {
        return std::nullopt;
    }
    return settingsAt(t, 1);
}

std::optional<BRecord> parseB(std::string_view t)
{
    if (t.size() != static_cast<std::size_t>(kBRecordLength) || t.substr(0, 2) != "BA" || t[3] != 'V' || t[5] != 'U' ||
        t[8] != 'Q' || t[10] != 'S' || t[14] != 'X' || t[16] != 'K') {
        return std::nullopt;
    }
    const auto att = number(t, 2, 1);
    const auto pre = number(t, 4, 1);
    const auto sql = number(t, 6, 2);
    const auto muted = number(t, 9, 1);
    const auto signal = number(t, 11, 3);
    const auto channel = number(t, 17, 3);
    const int outputs = static_cast<unsigned char>(t[15]) - 0x30;
    if (!att || !pre || !sql || !muted || !signal || !channel || outputs < 0 || outputs > 0x3F) {
        return std::nullopt;
    }
    BRecord b;
    b.attenuator = *att;
    b.preselector = *pre;
    b.squelch = *sql;
    b.muted = *muted != 0;
    b.signal = *signal;
    b.outputs = outputs;
    b.channel = *channel;
    return b;
}

std::optional<CRecord> parseC(std::string_view t)
{
    if (t.size() != static_cast<std::size_t>(kCRecordLength) || t[0] != 'C' || t[25] != 'A') {
        return std::nullopt;
    }
    const auto channel = number(t, 1, 3);
    const auto settings = settingsAt(t, 4);
    const auto att = number(t, 26, 1);
    if (!channel || !settings || !att) {
        return std::nullopt;
    }
    CRecord c;
    c.channel = *channel;
    c.settings = *settings;
    c.attenuator = *att;
    return c;
}

std::optional<std::int32_t> modeFromDigit(int digit)
{
    switch (digit) {
    case kModeAM: return ModAM;
    case kModeUSB: return ModUSB;
    case kModeLSB: return ModLSB;
    case kModeCW: return ModCW;
    case kModeISB: return ModISB;
    case kModeFM: return ModFM;
    case kModeRTTY: return ModRTTY;
    default: return std::nullopt;
    }
}

int digitFromMode(std::int32_t mod)
{
    switch (mod) {
    case ModAM:
    case ModAM_U:
    case ModAM_L: return kModeAM;
    case ModUSB: return kModeUSB;
    case ModLSB: return kModeLSB;
    case ModCW:
    case ModCW_F:
    case ModFAX: return kModeCW;
    case ModISB: return kModeISB;
    case ModFM: return kModeFM;
    case ModRTTY: return kModeRTTY;
    default: return -1;
    }
}

std::optional<std::int32_t> agcFromLetter(char letter)
{
    switch (letter) {
    case 'F': return AgcFast;
    case 'M': return AgcMedium;
    case 'S': return AgcSlow;
    case '-': return AgcNone;
    default: return std::nullopt;
    }
}

char letterFromAgc(std::int32_t agc)
{
    switch (agc) {
    case AgcFast: return 'F';
    case AgcMedium: return 'M';
    case AgcSlow: return 'S';
    default: return '\0';
    }
}

bool agcExists(int modeDigit, std::int32_t agc)
{
    if (letterFromAgc(agc) == '\0' || modeDigit == kModeFM || modeDigit < 0) {
        return false;
    }
    return modeDigit != kModeAM || agc != AgcFast;
}

bool ssbMode(int digit)
{
    return digit == kModeUSB || digit == kModeLSB || digit == kModeISB;
}

}  // namespace quorvin::trc243
