// TRC294 frames, BCD frequencies, status records and code tables.
#include "trc294codec.h"

#include <algorithm>

namespace quorvin::trc294 {

namespace {

std::uint8_t byteAt(std::string_view bytes, std::size_t pos)
{
    return static_cast<std::uint8_t>(bytes[pos]);
}

// Record bytes 0..5 → Status; the caller has checked there are six.
std::optional<Status> recordStatus(std::string_view r)
{
    if ((byteAt(r, 0) >> 4) != 0x0F) {
        return std::nullopt;
    }
    int digits[8];
    digits[0] = byteAt(r, 0) & 0x0F;
    for (std::size_t i = 1; i < 4; ++i) {
        digits[2 * i - 1] = byteAt(r, i) >> 4;
        digits[2 * i] = byteAt(r, i) & 0x0F;
    }
    digits[7] = byteAt(r, 4) >> 4;
    std::int64_t units = 0;
    for (int d : digits) {
        if (d > 9) {
            return std::nullopt;
        }
        units = units * 10 + d;
    }
    Status status;
    status.frequencyHz = static_cast<std::int32_t>(units * 10);
    status.modeCode = byteAt(r, 4) & 0x0F;
    status.filterCode = byteAt(r, 5) >> 4;
    status.attCode = byteAt(r, 5) & 0x0F;
    return status;
}

}  // namespace

std::uint8_t checksum(std::uint8_t n, std::string_view payload)
{
    auto c = static_cast<std::uint8_t>(~n);
    for (char b : payload) {
        c = static_cast<std::uint8_t>(c ^ static_cast<std::uint8_t>(b));
    }
    return c;
}

std::string frame(std::string_view payload)
{
    if (payload.empty() || payload.size() > kMaxPayload) {
        return {};
    }
    const auto n = static_cast<std::uint8_t>(payload.size() + 2);
    std::string out;
    out.reserve(payload.size() + 3);
    out.push_back('\xFF');
    out.push_back(static_cast<char>(n));
    out.append(payload);
    out.push_back(static_cast<char>(checksum(n, payload)));
    return out;
}

std::string aStatusRequest()
{
    return frame(std::string(1, '\x08'));
}

std::string remoteMessage(bool on)
{
    return frame(std::string{'\x05', on ? '\x01' : '\x00'});
}

std::string panelText(std::string_view text)
{
    return frame(text);
}

std::int32_t frequencyStep(int modeCode)
{
    return modeCode == kModeUSB || modeCode == kModeLSB ? 10 : 1000;
}

std::string frequencyBytes(std::int32_t hz, int modeCode)
{
    const std::int64_t step = frequencyStep(modeCode);
    std::int64_t units = std::clamp<std::int64_t>(hz, 0, 999999999) / step * step / 10;
    int digits[8];
    for (int i = 7; i >= 0; --i) {
        digits[i] = static_cast<int>(units % 10);
        units /= 10;
    }
    std::string r(5, '\0');
    r[0] = static_cast<char>(digits[0]);
    r[1] = static_cast<char>(digits[1] << 4 | digits[2]);
    r[2] = static_cast<char>(digits[3] << 4 | digits[4]);
    r[3] = static_cast<char>(digits[5] << 4 | digits[6]);
    r[4] = static_cast<char>(digits[7] << 4 | (modeCode & 0x0F));
    return r;
}

char filterAttByte(int filterCode, int attCode)
{
    return static_cast<char>((filterCode & 0x0F) << 4 | (attCode & 0x0F));
}

std::string tuneMessage(std::int32_t hz, int modeCode)
{
    return frame("\x01" + frequencyBytes(hz, modeCode));
}

std::string filterAttMessage(int filterCode, int attCode)
{
    return frame(std::string{'\x02', filterAttByte(filterCode, attCode)});
}

std::string channelWriteMessage(int channel, std::int32_t hz, int modeCode, int filterCode, int attCode,
                                std::uint8_t mask)
{
    if (channel < 1 || channel > 101) {
        return {};
    }
    std::string payload{'\x03', static_cast<char>(channel)};
    payload += frequencyBytes(hz, modeCode);
    payload.push_back(filterAttByte(filterCode, attCode));
    payload.push_back(static_cast<char>(mask));
    return frame(payload);
}

std::string channelRecallMessage(int channel)
{
    return channel < 1 || channel > 101 ? std::string{} : frame(std::string{'\x04', static_cast<char>(channel)});
}

std::string channelClearMessage(int channel)
{
    return channel < 1 || channel > 101 ? std::string{} : frame(std::string{'\x07', static_cast<char>(channel)});
}

bool hasStatusHeader(std::string_view reply)
{
    return !reply.empty() && (byteAt(reply, 0) >> 4) == 0x0F;
}

bool isAModelReply(std::string_view reply)
{
    return reply.size() >= 2 && byteAt(reply, 0) == 0x09 && byteAt(reply, 1) == 0x06;
}

std::optional<Status> parsePlainStatus(std::string_view reply)
{
    if (reply.size() < 7) {
        return std::nullopt;
    }
    auto status = recordStatus(reply.substr(0, 6));
    if (status) {
        status->channel = byteAt(reply, 6);
    }
    return status;
}

FrameCheck checkReplyFrame(std::string_view reply)
{
    if (reply.empty()) {
        return FrameCheck::Short;
    }
    const std::uint8_t n = byteAt(reply, 0);
    if (n < 3 || n > kMaxPayload + 2) {
        return FrameCheck::BadLength;
    }
    if (reply.size() < n) {
        return FrameCheck::Short;
    }
    const std::string_view payload = reply.substr(1, n - 2u);
    return checksum(n, payload) == byteAt(reply, n - 1u) ? FrameCheck::Ok : FrameCheck::BadChecksum;
}

std::optional<Status> parseAStatus(std::string_view reply)
{
    if (checkReplyFrame(reply) != FrameCheck::Ok || byteAt(reply, 0) != 9 || byteAt(reply, 1) != 0x06) {
        return std::nullopt;
    }
    return recordStatus(reply.substr(2, 6));
}

std::optional<std::int32_t> modeFromCode(int code)
{
    switch (code) {
    case -1: return ModNone;
    case kModeCW: return ModCW;
    case kModeAM: return ModAM;
    case kModeFM: return ModFM;
    case kModeMPH: return ModMPH;
    case kModeUSB: return ModUSB;
    case kModeLSB: return ModLSB;
    default: return std::nullopt;
    }
}

int codeFromMode(std::int32_t mod)
{
    switch (mod) {
    case ModCW: return kModeCW;
    case ModAM: return kModeAM;
    case ModFM: return kModeFM;
    case ModMPH: return kModeMPH;
    case ModUSB: return kModeUSB;
    case ModLSB: return kModeLSB;
    default: return -1;
    }
}

int slotFromFilterCode(int code, int modeCode)
{
    if (modeCode == kModeUSB || modeCode == kModeLSB) {
        return 0;
    }
    return code >= 0 && code <= 3 ? code + 1 : 1;
}

int filterCodeFromSlot(int slot)
{
    return slot >= 1 && slot <= 4 ? slot - 1 : -1;
}

std::optional<std::int32_t> attFromCode(int code)
{
    if (code < 0 || code > 5) {
        return std::nullopt;
    }
    return AttOff + code;
}

}  // namespace quorvin::trc294
