// The RA1792 on its instrument bus, behind a serial-to-bus adapter, as the
// serial line sees it. Receiver commands are "$" + two-digit bus address +
// command + CR LF; a receiver acts only on frames with its own address. The
// adapter itself answers "?" with its identification and takes "R" (reset
// of the bus) silently; on a shared line only the first receiver plays the
// adapter. The receiver answers nothing but "G" (status); set commands are
// refused unless the receiver is in remote ("R"), queries work in local too.
//
// Status reply: [B<kHz>]F<MHz>D<mode>I<filter>M<agc>[A<gain>]X<n> CR LF.
// The BFO field appears in CW (mode 3) only, where the BFO is in use; the
// gain field only in the manual AGC settings.
#pragma once

#include <cstdint>

#include "simreceiver.h"

namespace sim {

struct Ra1792State {
    static constexpr std::int32_t kMinFrequency = 5000;
    static constexpr std::int32_t kMaxFrequency = 30000000;
    static constexpr int kMaxBfo = 8000;  // Hz either way
    static constexpr int kFilterCodes = 6;  // I0..I5

    std::int32_t frequency = 7050000;
    int bfo = 1000;  // Hz
    int mode = 6;  // 1 AM, 2 FM, 3 CW, 4 ISB, 5 LSB, 6 USB
    int filter = 3;  // I0..I5
    int agc = 1;  // 1 fast, 2 medium, 3 slow, 4 manual, 5..7 fast/medium/slow with manual
    int gain = 0;  // manual gain level
    int x = 0;  // the trailing status number
    bool remote = false;
    int presets = 0;  // count of "P" commands seen
    int tests = 0;  // count of "TI"/"TR" commands seen
};

class Ra1792Sim : public SimReceiver {
public:
    static constexpr int kDefaultAddress = 1;

    explicit Ra1792Sim(int address = kDefaultAddress);

    std::string_view model() const override { return "RA1792"; }
    Frames feed(std::string_view bytes) override;

    // Answers one line given without its line end.
    Frames line(std::string_view text);

    Ra1792State& state() { return m_state; }
    const Ra1792State& state() const { return m_state; }

    std::string statusReply() const;
    static std::string adapterIdentification() { return "BUSLINK V2.03\r\n"; }
    int adapterResets() const { return m_adapterResets; }

private:
    Frames command(std::string_view text);

    Ra1792State m_state;
    int m_adapterResets = 0;
};

}  // namespace sim
