// RA1792 frames, status reply and code tables.
#include "ra1792codec.h"

#include <cmath>

#include "driver/models/familyprotocol.h"
#include "platform/numbers.h"

namespace quorvin::ra1792 {

std::string commandFrame(int busAddress, std::string_view command)
{
    return family::addressFrame("$", busAddress, 2, command, "\r\n");
}

std::string frequencyCommand(std::int32_t hz)
{
    return "F" + platform::formatFixed(hz / 1e6, 6, 2);
}

std::string bfoCommand(std::int32_t hz)
{
    return "B" + platform::formatFixed(hz / 1000.0, 2, 1);
}

std::int32_t bfoOnWire(std::int32_t hz)
{
    const std::string command = bfoCommand(hz);
    const auto khz = platform::parseDouble(std::string_view(command).substr(1));
    return khz ? kilohertzToHz(*khz) : hz;
}

std::string modeCommand(int code)
{
    return "D" + platform::formatInt(code);
}

std::string agcCommand(int code)
{
    return "M" + platform::formatInt(code);
}

std::string gainCommand(int level)
{
    return "A" + platform::formatInt(level);
}

std::string filterCommand(unsigned code)
{
    return "I" + platform::formatInt(code);
}

std::int32_t megahertzToHz(double mhz)
{
    const double hz = mhz * 1000000.0 + 0.5;
    if (!(hz > -2147483648.0 && hz < 2147483647.0)) {
        return hz > 0 ? INT32_MAX : INT32_MIN;
    }
    return static_cast<std::int32_t>(hz);
}

std::int32_t kilohertzToHz(double khz)
{
    const double hz = std::round(khz * 1000.0);
    if (!(hz > -2147483648.0 && hz < 2147483647.0)) {
        return hz > 0 ? INT32_MAX : INT32_MIN;
    }
    return static_cast<std::int32_t>(hz);
}

namespace {

bool fitsInt(double v)
{
    return v >= 0 && v < 2147483647.0;
}

}  // namespace

std::optional<Status> parseStatus(std::string_view reply)
{
    const std::string text = family::withoutLineEnds(reply);
    Status status;
    std::size_t from = 0;

    if (auto b = family::findLetterField(text, 'B', 0, false)) {
        status.bfoHz = kilohertzToHz(b->value);
        status.hasBfo = true;
        from = family::resumeAfter(text, b->letter);
    }
    const auto f = family::findLetterField(text, 'F', from, false);
    if (!f) {
        return std::nullopt;
    }
    status.frequencyHz = megahertzToHz(f->value);
    from = family::resumeAfter(text, f->letter);

    const auto d = family::findLetterField(text, 'D', from, true);
    if (!d || !fitsInt(d->value)) {
        return std::nullopt;
    }
    status.modeCode = static_cast<int>(d->value);
    from = family::resumeAfter(text, d->letter);

    if (auto i = family::findLetterField(text, 'I', from, true); i && fitsInt(i->value)) {
        status.filterCode = static_cast<int>(i->value);
        from = family::resumeAfter(text, i->letter);
    }
    const auto m = family::findLetterField(text, 'M', from, true);
    if (!m || !fitsInt(m->value)) {
        return std::nullopt;
    }
    status.agcCode = static_cast<int>(m->value);
    from = family::resumeAfter(text, m->letter);

    if (auto a = family::findLetterField(text, 'A', from, true); a && fitsInt(a->value)) {
        status.gain = static_cast<int>(a->value);
        from = family::resumeAfter(text, a->letter);
    }
    const auto x = family::findLetterField(text, 'X', from, true);
    if (!x || !fitsInt(x->value)) {
        return std::nullopt;
    }
    status.x = static_cast<int>(x->value);
    return status;
}

std::int32_t modeFromCode(int code, std::int32_t bfoHz, bool bfoSetByPanel)
{
    switch (code) {
    case 1: return ModAM;
    case 2: return ModFM;
    case 3:
        if (!bfoSetByPanel && bfoHz == -2210) {
            return ModRTTY;
        }
        if (!bfoSetByPanel && bfoHz == -1900) {
            return ModFAX;
        }
        return ModCW;
    case 4: return ModISB;
    case 5: return ModLSB;
    case 6: return ModUSB;
    default: return -1;
    }
}

int codeFromMode(std::int32_t mod)
{
    switch (mod) {
    case ModAM:
    case ModAM_U:
    case ModAM_L: return 1;
    case ModFM: return 2;
    case ModCW:
    case ModRTTY:
    case ModFAX:
    case ModCW_F: return 3;
    case ModISB: return 4;
    case ModLSB: return 5;
    case ModUSB: return 6;
    default: return -1;
    }
}

std::int32_t agcFromCode(int code)
{
    switch (code) {
    case 1: return AgcFast;
    case 2: return AgcMedium;
    case 3: return AgcSlow;
    case 4: return AgcManual;
    case 5: return AgcFastManual;
    case 6: return AgcMediumManual;
    case 7: return AgcSlowManual;
    default: return -1;
    }
}

int codeFromAgc(std::int32_t agc)
{
    for (int code = 1; code <= 7; ++code) {
        if (agcFromCode(code) == agc) {
            return code;
        }
    }
    return -1;
}

int slotFromFilterCode(int code, int firstSlot, int offered)
{
    // Code 0 reaches the slot below the offered ones (the SSB width); codes
    // 1..offered the offered slots. Anything beyond would read past the
    // configured slots, so it reads as the first offered slot, as unknown
    // codes do.
    if (code < 0 || code > offered || firstSlot + code - 1 < 0) {
        return firstSlot;
    }
    return firstSlot + code - 1;
}

int filterCodeFromSlot(int slot, int firstSlot)
{
    return slot - firstSlot + 1;
}

}  // namespace quorvin::ra1792
