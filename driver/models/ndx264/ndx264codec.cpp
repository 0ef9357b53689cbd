// NDX264 frames, command texts, status fields and code tables.
#include "ndx264codec.h"

#include <algorithm>
#include <cmath>

#include "platform/numbers.h"

namespace quorvin::ndx264 {

namespace {

// Hundredths of a kHz as "%.2f": 705000 → "7050.00", -190 → "-1.90".
std::string hundredths(std::int64_t units)
{
    const bool negative = units < 0;
    const std::int64_t magnitude = negative ? -units : units;
    return (negative ? "-" : "") + platform::formatInt(magnitude / 100) + "." +
           platform::formatInt(magnitude % 100, 2, true);
}

bool isDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string frame(std::string_view text)
{
    std::string out(1, kStart);
    out.append(text);
    out += "\r\n";
    out.push_back(kEnd);
    return out;
}

std::string frequencyCommand(std::int32_t hz)
{
    // "% 7.2lf": a blank in place of the sign, at least seven characters.
    std::string number = " " + hundredths(std::max<std::int32_t>(hz, 0) / 10);
    if (number.size() < 7) {
        number.insert(0, 7 - number.size(), ' ');
    }
    return "F" + number;
}

std::string bfoCommand(std::int32_t hz)
{
    const std::int64_t clamped = std::clamp<std::int32_t>(hz, -kMaxBfo, kMaxBfo);
    // 10 Hz places, rounded half away from zero.
    const std::int64_t units = clamped < 0 ? -((-clamped + 5) / 10) : (clamped + 5) / 10;
    return "BF" + hundredths(units);
}

std::string modeCommand(char letter)
{
    return std::string("M") + letter;
}

std::string agcCommand(char agc)
{
    return std::string("C") + agc + ";G;";
}

std::string attenuatorCommand(int db)
{
    return "A" + platform::formatInt(db);
}

std::string filterCommand(int digit)
{
    return "B" + platform::formatInt(digit);
}

std::optional<std::string> storeCommand(int channel)
{
    if (channel < 0 || channel >= kChannelCount) {
        return std::nullopt;
    }
    return "MEM" + platform::formatInt(channel, 2, true);
}

std::optional<std::string> recallCommand(int channel)
{
    if (channel < 0 || channel >= kChannelCount) {
        return std::nullopt;
    }
    return "RM" + platform::formatInt(channel, 2, true) + ";?";
}

std::optional<std::string> clockCommand(int hours, int minutes, int seconds)
{
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59) {
        return std::nullopt;
    }
    return "H " + platform::formatInt(hours, 2, true) + " " + platform::formatInt(minutes, 2, true) + " " +
           platform::formatInt(seconds, 2, true);
}

std::optional<std::string> clockCommand(std::string_view hhmmss)
{
    if (hhmmss.size() != 6 || !isDigits(hhmmss)) {
        return std::nullopt;
    }
    return "H " + std::string(hhmmss.substr(0, 2)) + " " + std::string(hhmmss.substr(2, 2)) + " " +
           std::string(hhmmss.substr(4, 2));
}

std::optional<std::string> takeFrame(std::string& buffer)
{
    const std::size_t start = buffer.find(kStart);
    if (start == std::string::npos) {
        return std::nullopt;
    }
    buffer.erase(0, start);
    const std::size_t end = buffer.find(kEnd);
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string out = buffer.substr(0, end + 1);
    buffer.erase(0, end + 1);
    return out;
}

StatusFields parseStatusFrame(std::string_view text)
{
    // Longest first, so that a longer introducer wins over its first letters.
    static constexpr std::string_view kIntroducers[] = {"CAN", "BF", "F", "M", "B", "C", "A", "N"};
    StatusFields fields;
    std::size_t at = text.find(kStart);
    while (at != std::string_view::npos) {
        const std::string_view rest = text.substr(at + 1);
        std::string_view introducer;
        for (std::string_view candidate : kIntroducers) {
            if (rest.substr(0, candidate.size()) == candidate) {
                introducer = candidate;
                break;
            }
        }
        const std::size_t next = text.find(kStart, at + 1);
        if (!introducer.empty()) {
            std::string_view raw = rest.substr(introducer.size());
            raw = raw.substr(0, std::min(raw.find_first_of("\r\n;\x04\x11"), raw.size()));
            std::string value;
            for (char c : raw) {
                if (c != ' ') {
                    value.push_back(c);
                }
            }
            if (!value.empty()) {
                if (introducer == "F") {
                    if (value != "ErOPInt") {
                        auto khz = platform::parseDouble(value);
                        if (khz && *khz >= 0 && *khz < 2147483.0) {
                            fields.frequencyHz = static_cast<std::int32_t>(*khz * 1000.0 + 0.5);
                        }
                    }
                } else if (introducer == "M") {
                    if (value.size() == 1 && value[0] >= 'A' && value[0] <= 'U') {
                        fields.mode = value[0];
                    }
                } else if (introducer == "BF") {
                    auto khz = platform::parseDouble(value);
                    if (khz && std::fabs(*khz) < 1000.0) {
                        const auto hz = static_cast<std::int32_t>(std::round(*khz * 1000.0));
                        if (hz >= -kMaxBfo && hz <= kMaxBfo) {
                            fields.bfoHz = hz;
                        }
                    }
                } else if (introducer == "B") {
                    if (value.size() == 1 && value[0] >= '0' && value[0] <= '7') {
                        fields.filterDigit = value[0] - '0';
                    }
                } else if (introducer == "C") {
                    if (value.size() == 1 && std::string_view("-OLR").find(value[0]) != std::string_view::npos) {
                        fields.agc = value[0];
                    }
                } else {
                    auto number = platform::parseInt(value);
                    const bool fits = number && *number > -100000 && *number < 100000;
                    if (introducer == "A" && fits) {
                        fields.attenuationDb = static_cast<int>(*number);
                    } else if (introducer == "N" && fits) {
                        fields.signalN = static_cast<int>(*number);
                    } else if (introducer == "CAN") {
                        fields.channel = fits ? static_cast<int>(*number) : -1;
                    }
                }
            }
        }
        at = next;
    }
    return fields;
}

bool hasIsbOption(std::string_view reply)
{
    return reply.find("/ISB") != std::string_view::npos;
}

int rawSmeter(int n)
{
    // 20 log10(1000 sqrt(50000 x 10^(-N/10))) is 60 + 10 log10(50000) - N:
    // the same value, without the power that underflows to 0 (a level of
    // minus infinity) for an N beyond a few thousand. The level is kept
    // within what the S-meter event carries.
    const double level = std::trunc(60.0 + 10.0 * std::log10(50000.0) - static_cast<double>(n));
    return static_cast<int>(std::clamp(level, -32768.0, 32767.0));
}

std::optional<std::int32_t> modeFromLetter(char letter, std::int32_t bfoHz, bool bfoSetByPanel)
{
    switch (letter) {
    case 'A': return ModAM;
    case 'C': return !bfoSetByPanel && bfoHz == -1900 ? ModFAX : ModCW;
    case 'U': return ModUSB;
    case 'L': return ModLSB;
    case 'F': return ModRTTY;
    case 'I': return ModISB;
    default: return std::nullopt;
    }
}

char letterFromMode(std::int32_t mod, char current)
{
    switch (mod) {
    case ModAM:
    case ModAM_U:
    case ModAM_L: return 'A';
    case ModCW:
    case ModFAX:
    case ModCW_F: return 'C';
    case ModUSB: return 'U';
    case ModLSB: return 'L';
    case ModRTTY: return 'F';
    case ModISB: return 'I';
    default: return current;
    }
}

bool isModeEmulated(std::int32_t mod)
{
    return mod == ModFAX || !((mod >= -1 && mod <= 3) || mod == 5);
}

std::optional<std::int32_t> agcFromChar(char c)
{
    switch (c) {
    case '-': return AgcManual;
    case 'R': return AgcFast;
    case 'L': return AgcSlow;
    case 'O': return AgcNone;
    default: return std::nullopt;
    }
}

char charFromAgc(std::int32_t agc, char current)
{
    switch (agc) {
    case AgcManual: return '-';
    case AgcFast: return 'R';
    case AgcSlow: return 'L';
    default: return current;
    }
}

std::optional<std::int32_t> attFromDb(int db)
{
    switch (db) {
    case 0: return AttOff;
    case -6: return AttOn1;
    case -12: return AttOn2;
    case 12: return AttPre;
    default: return std::nullopt;
    }
}

std::optional<int> dbFromAtt(std::int32_t att)
{
    switch (att) {
    case AttOff: return 0;
    case AttOn1: return -6;
    case AttOn2: return -12;
    case AttPre: return 12;
    default: return std::nullopt;
    }
}

std::optional<int> slotFromDigit(int digit)
{
    if (digit >= 0 && digit <= 6) {
        return digit + 1;
    }
    if (digit == 7) {
        return 0;
    }
    return std::nullopt;
}

std::optional<int> digitFromSlot(int slot)
{
    if (slot >= 1 && slot <= 7) {
        return slot - 1;
    }
    return std::nullopt;
}

}  // namespace quorvin::ndx264
