// RA6790 frames, connect replies, filter list, status reply and S-meter.
#include "ra6790codec.h"

#include <cmath>

#include "driver/models/familyprotocol.h"
#include "platform/numbers.h"

namespace quorvin::ra6790 {

namespace {

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\r' || s.front() == '\n')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

bool fitsInt(double v)
{
    return v >= 0 && v < 2147483647.0;
}

}  // namespace

std::string commandFrame(int busAddress, std::string_view command)
{
    std::string frame = "$" + platform::formatInt(busAddress < 0 ? 1 : busAddress);
    frame += command;
    frame += "\r";
    return frame;
}

std::string filterCommand(std::int32_t hz)
{
    return "I" + platform::formatFixed(hz / 1000.0, 2);
}

std::int32_t minFrequency(std::string_view option)
{
    return option == kOptionExtended ? 5000 : 500000;
}

bool selfTestPassed(std::string_view reply)
{
    return reply.find("OK") != std::string_view::npos;
}

std::optional<int> selfTestAddress(std::string_view reply)
{
    if (reply.size() < 3) {
        return std::nullopt;
    }
    const char tens = reply[reply.size() - 3];
    const auto units = family::digitAt(reply, reply.size() - 2);
    if (!units) {
        return std::nullopt;
    }
    if (tens == ' ') {
        return *units;
    }
    const auto t = family::digitAt(reply, reply.size() - 3);
    if (!t) {
        return std::nullopt;
    }
    return *t * 10 + *units;
}

std::string_view optionFromTypeReply(std::string_view reply)
{
    // The R stands as a word of its own ("TD A09666 R"): the letter inside
    // other text ("ERROR", "RX") tells nothing about the option.
    const auto separator = [](char c) { return c == ' ' || c == ',' || c == '\r' || c == '\n'; };
    for (std::size_t at = reply.find('R'); at != std::string_view::npos; at = reply.find('R', at + 1)) {
        const bool before = at == 0 || separator(reply[at - 1]);
        const bool after = at + 1 == reply.size() || separator(reply[at + 1]);
        if (before && after) {
            return kOptionExtended;
        }
    }
    return kOptionStandard;
}

std::optional<FilterList> parseFilterList(std::string_view reply)
{
    const std::string_view text = trimmed(reply);
    if (reply.empty() || reply == "\r" || text.empty()) {
        return std::nullopt;
    }
    FilterList list;
    list.widths[0] = kSidebandWidth;
    std::size_t slot = 0;
    std::size_t start = 0;
    while (start <= text.size() && slot < kFilterSlots) {
        std::size_t end = text.find(',', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view item = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (item.empty() && start > text.size()) {
            break;  // the comma that ends the last item
        }
        if (item == "L") {
            list.widths[slot] = kSidebandWidth;
            list.isb = list.isb || slot == 0;
        } else if (item == "U") {
            list.widths[slot] = kSidebandWidth;
            list.usbSlot = static_cast<int>(slot);
        } else {
            const auto khz = platform::parseDouble(item);
            list.widths[slot] =
                khz && *khz > 0 && *khz < 1000 ? static_cast<std::int32_t>(std::lround(*khz * 1000)) : 0;
        }
        ++slot;
    }
    return list;
}

std::string filterListCommand(const FilterList& list)
{
    std::string command = "S7";
    for (std::size_t slot = 0; slot < kFilterSlots; ++slot) {
        if (slot == 0 && list.isb) {
            command += "L,";
        } else if (static_cast<int>(slot) == list.usbSlot) {
            command += "U,";
        } else {
            command += platform::formatFixed(list.widths[slot] / 1000.0, 1) + ",";
        }
    }
    return command;
}

std::optional<Status> parseStatus(std::string_view reply)
{
    const std::string text = family::withoutLineEnds(reply);
    Status status;
    std::size_t from = 0;

    if (auto b = family::findLetterField(text, 'B', 0, false)) {
        status.bfoHz = ra1792::kilohertzToHz(b->value);
        status.hasBfo = true;
        from = family::resumeAfter(text, b->letter);
    }
    const auto f = family::findLetterField(text, 'F', from, false);
    if (!f) {
        return std::nullopt;
    }
    status.frequencyHz = ra1792::megahertzToHz(f->value);
    from = family::resumeAfter(text, f->letter);

    const auto d = family::findLetterField(text, 'D', from, true);
    if (!d || !fitsInt(d->value)) {
        return std::nullopt;
    }
    status.modeCode = static_cast<int>(d->value);
    from = family::resumeAfter(text, d->letter);

    if (auto i = family::findLetterField(text, 'I', from, false); i && i->value >= 0 && i->value < 1000) {
        status.filterHz = ra1792::kilohertzToHz(i->value);
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
    if (auto r = family::findLetterField(text, 'R', from, true); r && fitsInt(r->value)) {
        status.signal = static_cast<int>(r->value);
        from = family::resumeAfter(text, r->letter);
    }
    const auto s = family::findLetterField(text, 'S', from, true);
    if (!s || !fitsInt(s->value)) {
        return std::nullopt;
    }
    status.s = static_cast<int>(s->value);
    return status;
}

int smeterDbuv(int raw)
{
    if (raw < 35) {
        return -1;
    }
    if (raw <= 36) {
        return raw - 35;
    }
    if (raw <= 38) {
        return 2;
    }
    if (raw <= 52) {
        return 3;
    }
    if (raw <= 58) {
        return 4;
    }
    if (raw <= 60) {
        return 5;
    }
    if (raw <= 62) {
        return 6;
    }
    if (raw <= 65) {
        return 7;
    }
    if (raw <= 171) {
        return raw - 58;
    }
    return 114;
}

}  // namespace quorvin::ra6790
