// HF2050 command lines, word tables and reply records.
#include "hf2050codec.h"

#include <array>
#include <cmath>

#include "interfaces/receivertypes.h"
#include "platform/numbers.h"

namespace quorvin::hf2050 {

namespace {

std::string kilohertz(std::int32_t hz, int width)
{
    return platform::formatFixed(hz / 1000.0, 2, width);
}

std::string_view withoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    return line;
}

// Position of `word` standing at the start of the line or after a blank,
// and followed by a blank or the end of the line.
std::size_t findWord(std::string_view line, std::string_view word)
{
    std::size_t from = 0;
    while (from < line.size()) {
        const std::size_t at = line.find(word, from);
        if (at == std::string_view::npos) {
            return std::string_view::npos;
        }
        const std::size_t after = at + word.size();
        if ((at == 0 || line[at - 1] == ' ') && (after == line.size() || line[after] == ' ')) {
            return at;
        }
        from = at + 1;
    }
    return std::string_view::npos;
}

// The value after a keyword found at `at`: leading blanks skipped, up to the next blank.
std::string_view valueAfter(std::string_view line, std::size_t at, std::string_view keyword)
{
    std::size_t start = at + keyword.size();
    while (start < line.size() && line[start] == ' ') {
        ++start;
    }
    const std::size_t end = std::min(line.find(' ', start), line.size());
    return line.substr(std::min(start, line.size()), end - std::min(start, line.size()));
}

std::optional<std::int32_t> kilohertzValue(std::string_view text)
{
    const auto khz = platform::parseDouble(text);
    if (!khz || std::fabs(*khz) > 2000000.0) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(std::lround(*khz * 1000.0));
}

std::optional<std::int32_t> wholeValue(std::string_view text)
{
    const auto v = platform::parseInt(text);
    if (!v || *v < -2147483647 || *v > 2147483647) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*v);
}

}  // namespace

std::string frame(std::string_view text)
{
    return std::string(text) + "\r\n";
}

std::string connectCommand(int unit)
{
    return "UNIT " + platform::formatInt(unit) + ";HD;?";
}

std::string frequencyCommand(std::int32_t hz)
{
    return "FR " + kilohertz(hz, 5) + ";FR ?";
}

std::string bfoCommand(std::int32_t hz)
{
    return "BF " + kilohertz(hz, 1) + ";BF ?";
}

std::string modeCommand(std::string_view word)
{
    return "MO " + std::string(word) + ";MO ?";
}

std::string agcCommand(std::string_view word)
{
    return "AG " + std::string(word) + ";AG ?";
}

std::string noiseBlankerCommand(int level)
{
    return "NB " + platform::formatInt(level) + ";NB ?";
}

std::string squelchCommand(int level)
{
    return "SQ " + platform::formatInt(level) + ";SQ ?";
}

std::string rfGainCommand(int level)
{
    return "RF " + platform::formatInt(level) + ";RF ?";
}

std::string bandwidthCommand(std::int32_t hz)
{
    return "BW " + platform::formatInt(hz) + ";BW ?";
}

std::string channelCommand(int channel)
{
    return "CH " + platform::formatInt(channel) + ";?";
}

std::string readChannelCommand(int channel)
{
    return "PR " + platform::formatInt(channel) + " ?";
}

std::string writeChannelCommand(int channel, std::int32_t hz, std::string_view modeWord, bool withBfo,
                                std::int32_t bfoHz, std::int32_t bandwidthHz, std::string_view agcWord)
{
    std::string text =
        "PR " + platform::formatInt(channel) + " = FR " + kilohertz(hz, 5) + ", MO " + std::string(modeWord);
    if (withBfo) {
        text += ", BF " + kilohertz(bfoHz, 1);
    }
    return text + ", BW " + platform::formatInt(bandwidthHz) + ", AG " + std::string(agcWord);
}

std::string_view modeWord(std::int32_t mod)
{
    switch (mod) {
    case ModAM:
    case ModAM_U:
    case ModAM_L: return "AM";
    case ModCW:
    case ModRTTY:
    case ModFAX:
    case ModCW_F: return "CW";
    case ModUSB: return "US";
    case ModLSB: return "LS";
    case ModISB: return "IS";
    default: return "";
    }
}

std::int32_t modeFromWord(std::string_view word, std::int32_t bfoHz, std::int32_t current)
{
    if (word.empty() || word.front() == ' ') {
        return ModNone;
    }
    switch (word.front()) {
    case 'A': return ModAM;
    case 'C':
        if (bfoHz == -2210) {
            return ModRTTY;
        }
        return bfoHz == -1900 ? ModFAX : ModCW;
    case 'U': return ModUSB;
    case 'L': return ModLSB;
    case 'I': return ModISB;
    default: return current;
    }
}

std::string_view agcWord(std::int32_t agc)
{
    switch (agc) {
    case AgcFast: return "FA";
    case AgcSlow: return "SL";
    case AgcManual: return "OF";
    default: return "";
    }
}

std::int32_t agcFromWord(std::string_view word, std::int32_t current)
{
    if (word.empty() || word.front() == ' ') {
        return AgcNone;
    }
    switch (word.front()) {
    case 'F': return AgcFast;
    case 'S': return AgcSlow;
    case 'O': return AgcManual;
    default: return current;
    }
}

std::int32_t noiseBlankerFromLevel(int level, std::int32_t current)
{
    if (level == -1) {
        return NBlNone;
    }
    if (level == 0) {
        return NBlOff;
    }
    if (level >= 1 && level <= 5) {
        return NBlPeek;
    }
    if (level >= 6 && level <= 10) {
        return NBlWide;
    }
    return current;
}

int bandwidthSlotForMode(std::int32_t mod)
{
    if (mod == ModUSB || mod == ModLSB || mod == ModISB) {
        return 4;
    }
    return mod == ModAM ? 3 : 1;
}

bool isReplyFromUnit(std::string_view reply, int unit)
{
    const bool ended =
        (!reply.empty() && reply.back() == '\n') || (reply.size() >= 2 && reply[reply.size() - 2] == '\r');
    if (!ended) {
        return false;
    }
    const std::string text = "UNIT " + platform::formatInt(unit);
    for (std::size_t at = reply.find(text); at != std::string_view::npos; at = reply.find(text, at + 1)) {
        const std::size_t after = at + text.size();
        if (after == reply.size() || reply[after] < '0' || reply[after] > '9') {
            return true;
        }
    }
    return false;
}

std::optional<int> unitOf(std::string_view line)
{
    constexpr std::string_view kUnit = "UNIT ";
    if (line.substr(0, kUnit.size()) != kUnit) {
        return std::nullopt;
    }
    std::size_t end = kUnit.size();
    while (end < line.size() && end - kUnit.size() < 4 && line[end] >= '0' && line[end] <= '9') {
        ++end;
    }
    if (end == kUnit.size() || (end < line.size() && line[end] != ' ' && line[end] != '\r' && line[end] != '\n')) {
        return std::nullopt;
    }
    const auto v = platform::parseInt(line.substr(kUnit.size(), end - kUnit.size()));
    if (!v) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

char recordKind(std::string_view line)
{
    return line.empty() ? 0 : line.front();
}

Fields parseFields(std::string_view line)
{
    line = withoutLineEnd(line);
    Fields fields;
    std::size_t first = std::string_view::npos;
    auto look = [&](std::string_view keyword) -> std::optional<std::string_view> {
        const std::size_t at = findWord(line, keyword);
        if (at == std::string_view::npos) {
            return std::nullopt;
        }
        first = std::min(first, at);
        return valueAfter(line, at, keyword);
    };
    if (auto v = look("FR")) {
        fields.frequencyHz = kilohertzValue(*v);
    }
    if (auto v = look("MODE")) {
        fields.modeWord = std::string(*v);
    }
    if (auto v = look("BFO")) {
        if (*v == "NONE") {
            fields.bfoHz = 0;
        } else if (auto hz = kilohertzValue(*v); hz && *hz >= -kMaxBfo && *hz <= kMaxBfo) {
            fields.bfoHz = *hz;
        } else {
            fields.bfoRejected = true;
        }
    }
    if (auto v = look("BW")) {
        fields.bandwidthHz = *v == "NONE" ? std::optional<std::int32_t>(-1) : wholeValue(*v);
    }
    if (auto v = look("AGC")) {
        fields.agcWord = std::string(*v);
    }
    if (auto v = look("CH")) {
        fields.channel = *v == "NONE" ? std::optional<std::int32_t>(-1) : wholeValue(*v);
    }
    const std::size_t mode = findWord(line, "MODE");
    fields.modeFirst = mode != std::string_view::npos && mode == first;
    if (findWord(line, "RMT") != std::string_view::npos) {
        fields.remote = true;
    } else if (findWord(line, "LCL") != std::string_view::npos) {
        fields.remote = false;
    }
    return fields;
}

std::optional<int> parseLevel(std::string_view line)
{
    line = withoutLineEnd(line);
    std::size_t i = 1;
    while (i < line.size() && (line[i] < '0' || line[i] > '9')) {
        ++i;
    }
    if (i >= line.size()) {
        return std::nullopt;
    }
    const bool negative = line[i - 1] == '-';
    std::size_t end = i;
    while (end < line.size() && end - i < 9 && line[end] >= '0' && line[end] <= '9') {
        ++end;
    }
    const auto v = platform::parseInt(line.substr(i, end - i));
    if (!v) {
        return std::nullopt;
    }
    return static_cast<int>(negative ? -*v : *v);
}

}  // namespace quorvin::hf2050
