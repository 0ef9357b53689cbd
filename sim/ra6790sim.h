// The RA6790 on its bus line, as the serial line sees it. Every command is
// "$" + bus address in decimal (no leading zeros needed) + command + CR; a
// receiver acts only on frames with its own address, and its replies are
// ASCII lines ended by CR. There is no adapter: the receiver sits on the
// line itself.
//
// What the receiver does with each command (the driver's side fixes only
// what it sends and what it reads; the rest is the receiver's behaviour as
// this simulator plays it):
//   S2 / S1    remote / local control; no answer. Every command that sets
//              something (F, B, D, M, A, I, S7) is refused (ignored, no
//              answer) in local, as the front panel keeps control.
//   S6         built-in self-test: answers "BITE OK aa" CR, or with a fault
//              "BITE ERR 17 aa" CR (never containing "OK"), where aa is the
//              receiver's own address as two digits; answered in local too.
//   S8 / S9    enter / leave the diagnostic state; no answer.
//   TD         only in the diagnostic state: the type designation, with the
//              letter R when the extended tuning range is fitted:
//              "TD A09666 R" CR, else "TD A08449 S" CR. Outside it, refused.
//   S5         the installed IF filters as a comma-separated list, CR:
//              "L" (lower sideband filter, 3.2 kHz, fitted only with the ISB
//              option, always first), "U" (upper sideband filter, 3.2 kHz),
//              and symmetric filters by bandwidth in kHz ("0.4", "16").
//   S7<list>   replaces the list of installed filters (set-up), items as in
//              the S5 reply, each ended by a comma ("S7U,0.4,1.4,3.2,");
//              an empty or malformed list, more than 7 items or an "L"
//              anywhere but first is refused.
//   G          the status line (below); answered in local too.
//   F<MHz>     tune; refused outside the range (500 kHz..30 MHz, from 5 kHz
//              with the extended range A09666).
//   B<kHz>     BFO, |value| <= 8 kHz (the driver's 7999 Hz goes out as B8.00).
//   D<code>    mode 1 AM, 2 FM, 3 CW, 4 ISB (only with the "L" filter),
//              5 LSB, 6 USB. CW_F, RTTY and FAX are driver ideas: the
//              receiver has CW with a BFO.
//   M<code>    AGC 1..7 as the RA1792; A<n> manual gain 0..255.
//   I<kHz>     select a symmetric filter by its bandwidth ("I%.2f"); a
//              bandwidth that is not installed is refused. In USB, LSB and
//              ISB the receiver uses its 3.2 kHz sideband filter whatever
//              was selected (when a "U" filter is installed); the selected
//              one comes back in the other modes.
// Status line: [B<kHz>]F<MHz>D<mode>I<kHz>M<agc>[A<gain>]R<raw>S<1|2> CR.
// B appears in CW only, A in the manual AGC settings only. I is the
// bandwidth in use in kHz, whole numbers without decimals ("I16"), others
// with two ("I0.40"). R is the raw signal level 0..255 (it wanders around
// the signal so the S-meter moves); S is the control state, 1 local or
// 2 remote (the number of the last S1/S2 command).
//
// Options (rxsim --option): A09666 (extended range from 5 kHz), ISB (the
// lower sideband filter and with it the ISB mode), BITE-FAIL (the self-test
// reports a fault), ANY-ADDRESS (acts on frames for any address and still
// answers with its own, so a driver meets a receiver at the wrong address).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "simmodels.h"
#include "simreceiver.h"

namespace sim {

// One installed IF filter.
struct Ra6790Filter {
    enum Kind { Lower, Upper, Symmetric };
    Kind kind = Symmetric;
    int width = 0;  // Hz
    bool operator==(const Ra6790Filter&) const = default;
};

struct Ra6790State {
    static constexpr std::int32_t kMaxFrequency = 30000000;
    static constexpr std::int32_t kMinFrequencyExtended = 5000;
    static constexpr std::int32_t kMinFrequencyStandard = 500000;
    static constexpr int kMaxBfo = 8000;  // Hz either way
    static constexpr int kSidebandWidth = 3200;
    static constexpr std::size_t kMaxFilters = 7;

    std::int32_t frequency = 7050000;
    int bfo = 1000;  // Hz
    int mode = 6;  // 1 AM, 2 FM, 3 CW, 4 ISB, 5 LSB, 6 USB
    int filterWidth = 3200;  // the selected symmetric filter, Hz
    int agc = 1;  // 1 fast, 2 medium, 3 slow, 4 manual, 5..7 fast/medium/slow with manual
    int gain = 0;  // manual gain level
    int smeterBase = 100;  // raw level the S-meter wanders around
    bool remote = false;
    bool diagnostic = false;  // between S8 and S9
    int selfTests = 0;  // count of S6 commands
    std::vector<Ra6790Filter> filters;
};

class Ra6790Sim : public SimReceiver {
public:
    static constexpr int kDefaultAddress = 77;

    struct Options {
        bool extendedRange = false;  // option A09666; else A08449
        bool isb = false;  // the lower sideband filter "L"
        bool biteFault = false;  // the self-test fails
        bool anyAddress = false;  // acts on every address
        std::uint32_t seed = 1;
    };

    explicit Ra6790Sim(int address = kDefaultAddress);
    Ra6790Sim(int address, Options options);
    static std::unique_ptr<SimReceiver> create(int address, const ModelOptions& options);

    std::string_view model() const override { return "RA6790"; }
    Frames feed(std::string_view bytes) override;

    // Answers one frame given without its CR.
    Frames line(std::string_view text);

    Ra6790State& state() { return m_state; }
    const Ra6790State& state() const { return m_state; }
    const Options& options() const { return m_options; }

    std::int32_t minFrequency() const;
    // The bandwidth in use (Hz): the sideband filter in USB, LSB and ISB.
    int bandwidthInUse() const;
    bool hasIsb() const;

    // The replies for the current state. statusReply() moves the S-meter.
    std::string statusReply();
    std::string filterList() const;
    std::string selfTestReply() const;
    std::string typeReply() const;
    int nextSmeter();

private:
    Frames command(std::string_view text);
    bool setFilterList(std::string_view items);

    Options m_options;
    Ra6790State m_state;
    SimRandom m_random;
    int m_smeterWander = 0;
};

}  // namespace sim
