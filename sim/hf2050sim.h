// The HF2050 on a shared serial line, selected by its unit number. The line
// carries ASCII lines ended by CR LF; one line holds several commands
// separated by ";", carried out in order. Every unit hears every line;
// "UNIT n" selects unit n (and deselects the others), and only the selected
// unit acts on and answers the commands that follow, on this and later
// lines. At power-up no unit is selected.
//
// Commands and answers (each answer one line ended by CR LF; the driver's
// side fixes what it sends and reads, the rest is the receiver's behaviour
// as this simulator plays it):
//   UNIT n     select unit n; no answer.
//   HD         taken without an answer (counted).
//   ?          the unit status record:
//              "UNIT 15 RMT FR 7050.00 MODE US BFO NONE BW 3200 AGC SL CH NONE"
//              (LCL or RMT, frequency in kHz with two decimals, mode word,
//              BFO in kHz with two decimals in CW and NONE in the modes that
//              have no BFO, bandwidth in Hz, AGC word, channel or NONE).
//   FR ?, MO ?, BF ?, BW ?, AG ?, CH ?
//              the unit header and that one field: "UNIT 15 MODE CW".
//   NB ?, SQ ?, RF ?
//              "NB 7", "SQ 0", "RF 100": noise blanker level 0..10,
//              squelch level 0..100, RF gain 0..100.
//   FR f       tune, kHz with at most two decimals, 0.00..29999.99.
//   BF b       BFO, kHz with at most two decimals, -4.00..4.00; kept in
//              every mode, in use (and reported) in CW only.
//   MO w       mode word AM, CW, US, LS or IS (IS only with the ISB
//              option). A new mode brings its own bandwidth: 3200 Hz in US,
//              LS and IS, 6000 in AM, 1000 in CW.
//   AG w       AGC word FA (fast), SL (slow) or OF (off: manual gain).
//   BW n       bandwidth in Hz, one of the fitted filters 300, 1000, 3200
//              and 6000.
//   NB n, SQ n, RF n   levels as above.
//   CH n       recall memory channel n (0..99); an empty channel is refused.
//              Any later change of frequency, mode, BFO, bandwidth or AGC
//              leaves the channel (CH NONE).
//   PR n ?     the channel record "CH 5 FR 7050.00 MODE US BFO NONE BW 3200
//              AGC SL", or "CH NONE" for an empty channel.
//   PR n = FR f, MO w, BF b, BW n, AG w
//              program channel n (the BF item may be left out: BFO 0); the
//              items may come in any order, FR, MO, BW and AG are required
//              and every value is checked as for the setters.
// Whatever is malformed, out of range, or not known is refused: ignored,
// without an answer; queries in the same line are still answered.
// Local/remote is the front panel's switch; it cannot be changed from the
// line. In local (LCL) every setter (FR, BF, MO, AG, BW, NB, SQ, RF, CH,
// PR n =) is refused, queries are answered.
//
// Options (rxsim --option): ISB (the ISB mode is fitted), LOCAL (the panel
// switch stands at local), ANY-ADDRESS (any "UNIT n" selects this unit,
// which still answers with its own number).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "simmodels.h"
#include "simreceiver.h"

namespace sim {

struct Hf2050Channel {
    std::int32_t frequency = 0;  // Hz
    std::string mode = "US";
    int bfo = 0;  // Hz
    int bandwidth = 3200;  // Hz
    std::string agc = "SL";
    bool operator==(const Hf2050Channel&) const = default;
};

struct Hf2050State {
    static constexpr std::int32_t kMinFrequency = 0;
    static constexpr std::int32_t kMaxFrequency = 29999990;  // 29999.99 kHz
    static constexpr int kMaxBfo = 4000;
    static constexpr int kChannelCount = 100;
    static constexpr int kMaxNoiseBlanker = 10;
    static constexpr int kMaxLevel = 100;  // squelch and RF gain

    std::int32_t frequency = 7050000;
    std::string mode = "US";  // AM, CW, US, LS, IS
    int bfo = 0;
    int bandwidth = 3200;
    std::string agc = "SL";  // FA, SL, OF
    int noiseBlanker = 0;
    int squelch = 0;
    int rfGain = 100;
    int channel = -1;  // channel in use, -1: none
    bool remote = true;  // the front panel's switch
    bool selected = false;  // chosen by the last UNIT command on the line
    int headers = 0;  // count of HD commands
    std::array<std::optional<Hf2050Channel>, kChannelCount> channels{};
};

class Hf2050Sim : public SimReceiver {
public:
    static constexpr int kDefaultUnit = 15;

    struct Options {
        bool isb = false;
        bool local = false;
        bool anyAddress = false;
    };

    explicit Hf2050Sim(int unit = kDefaultUnit);
    Hf2050Sim(int unit, Options options);
    static std::unique_ptr<SimReceiver> create(int unit, const ModelOptions& options);

    std::string_view model() const override { return "HF2050"; }
    Frames feed(std::string_view bytes) override;

    // Carries out one line given without its CR LF.
    Frames line(std::string_view text);

    Hf2050State& state() { return m_state; }
    const Hf2050State& state() const { return m_state; }
    const Options& options() const { return m_options; }

    std::string statusRecord() const;
    std::string channelRecord(int channel) const;

private:
    Frames command(std::string_view text);
    std::string header() const;
    std::string field(std::string_view keyword) const;
    bool program(int channel, std::string_view items);
    void leaveChannel() { m_state.channel = -1; }

    Options m_options;
    Hf2050State m_state;
};

}  // namespace sim
