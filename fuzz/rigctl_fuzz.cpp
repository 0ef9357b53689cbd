// The network server's line parser: a client's bytes in the pieces its
// socket delivers, against a receiver whose changes are confirmed (or not)
// after each piece, as the driver would answer them later.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzsupport.h"
#include "rigctlsession.h"

namespace {

using namespace quorvin;

class FuzzReceiver : public server::ReceiverAccess {
public:
    explicit FuzzReceiver(std::uint8_t shape) : m_shape(shape) {}
    std::deque<server::SetDone> changes;

    std::string name() override { return "NRD535"; }
    std::string identification() override { return (m_shape & 1) != 0 ? "NRD-535" : ""; }
    bool isConnected() override { return (m_shape & 2) == 0; }
    std::int32_t frequencyMin() override { return 5000; }
    std::int32_t frequencyMax() override { return (m_shape & 4) != 0 ? 2147483647 : 29999999; }
    std::int32_t frequencyStep() override { return (m_shape & 8) != 0 ? 0 : 1; }
    bool modeExists(MODTYPE m) override { return m != ModFM || (m_shape & 16) != 0; }
    std::vector<std::int32_t> filterWidths() override
    {
        if ((m_shape & 32) != 0) {
            return {};
        }
        return {300, 1000, 2400, 6000};
    }
    bool agcExists(AGCTYPE a) override { return a != AgcMedium; }
    bool attExists(ATTSTATE a) override { return a == AttOff || a == AttOn1 || ((m_shape & 64) != 0 && a == AttPre); }
    int attDb(ATTSTATE a) override { return (m_shape & 128) != 0 ? 0 : (a == AttPre ? 10 : 20); }
    bool hasSMeter() override { return (m_shape & 1) == 0; }
    int channelCount() override { return (m_shape & 4) != 0 ? 0 : 200; }
    int channelStart() override { return (m_shape & 8) != 0 ? 1 : 0; }
    std::optional<std::int32_t> frequency() override
    {
        return (m_shape & 16) != 0 ? std::nullopt : std::optional<std::int32_t>(7050000);
    }
    std::optional<MODTYPE> mode() override { return (m_shape & 32) != 0 ? std::nullopt : std::optional(ModUSB); }
    std::optional<std::int32_t> filterWidth() override { return 2400; }
    std::optional<AGCTYPE> agc() override { return AgcSlow; }
    std::optional<ATTSTATE> att() override { return (m_shape & 64) != 0 ? std::optional(AttPre) : std::nullopt; }
    std::optional<int> signalDbuv() override { return (m_shape & 128) != 0 ? -200 : 40; }
    std::optional<int> channel() override { return -1; }
    void setFrequency(std::int32_t, server::SetDone done) override { changes.push_back(std::move(done)); }
    void setMode(MODTYPE, server::SetDone done) override { changes.push_back(std::move(done)); }
    void setFilterWidth(std::int32_t, server::SetDone done) override { changes.push_back(std::move(done)); }
    void setAgc(AGCTYPE, server::SetDone done) override { changes.push_back(std::move(done)); }
    void setAtt(ATTSTATE, server::SetDone done) override { changes.push_back(std::move(done)); }
    void loadChannel(int, server::SetDone done) override { changes.push_back(std::move(done)); }

private:
    std::uint8_t m_shape;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    // Byte 1 shapes the receiver; byte 0 cuts the rest.
    FuzzReceiver rx(data[1]);
    std::vector<std::uint8_t> input(data, data + size);
    input.erase(input.begin() + 1);
    std::size_t replied = 0;
    server::SessionLimits limits;
    limits.maxLine = 256;
    limits.maxBuffered = 4096;
    server::RigctlSession session(
        rx, [&replied](const std::string& text) { replied += text.size(); }, limits);
    fuzz::Pieces pieces(input.data(), input.size());
    int round = 0;
    for (std::string_view piece = pieces.next(); !piece.empty() && !session.closed(); piece = pieces.next()) {
        session.feed(piece);
        // The changes asked so far end, each in one of the ways a driver ends them.
        while (!rx.changes.empty()) {
            auto done = std::move(rx.changes.front());
            rx.changes.pop_front();
            done(static_cast<server::SetResult>(round++ % 5));
        }
    }
    return 0;
}
