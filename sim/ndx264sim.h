// The NDX264 HF receiver as its serial line sees it: 9600 baud, no parity,
// 8 data bits, no bus address. Every command and every answer is one frame:
//     0x11, text, CR, LF, 0x04
// Bytes outside a frame are line noise and are skipped; a second 0x11 before
// the 0x04 starts the frame afresh; a frame without CR LF before its 0x04,
// or one longer than 80 bytes, is dropped. One frame may hold several
// commands separated by ";" ("RM05;?", "CR;G;"), taken in order.
//
// Commands (refused ones are ignored without an answer):
//     "?"            status request → the status frame
//     "MI"           identification request → "T.264" (+ "/ISB" with the ISB option)
//     "F 7050.00"    tune, kHz with up to two decimals, blanks allowed before
//                    the number; 0.00 .. 29999.99 kHz (10 Hz steps)
//     "BF-1.90"      BFO, kHz with up to two decimals, signed; -3.00 .. +3.00
//     "M%c"          mode: A (AM), C (CW), U (USB), L (LSB), F (RTTY); any
//                    other letter is refused. "MI" is the identification
//                    request, so ISB (letter I, ISB option) cannot be chosen
//                    by command: it is set at the front panel and reported.
//     "C%c"          AGC: "-" manual, R fast, L slow, O off
//     "G"            follows the AGC command ("C%c;G;"): taken, no effect
//                    the computer can see (it re-applies the gain settings)
//     "A%d"          attenuator in dB: 0, -6, -12, or 12 (preamplifier)
//     "B%d"          IF filter digit 0..7 (7 is the SSB filter)
//     "MEM%02u"      store the present settings in channel 00..99
//     "RM%02u"       recall channel 00..99 (usually followed by ";?")
//     "H hh mm ss"   set the clock (two digits each, 24-hour)
//
// Status frame: one field per setting, each introduced by 0x11 and its
// letters, ended by CR LF (the AGC field by ";"), then the frame's 0x04:
//     0x11 "F" kHz ("% 7.2f")         0x11 "M" mode letter
//     0x11 "B" filter digit            0x11 "BF" BFO kHz ("%.2f", signed)
//     0x11 "C" AGC character ";"       0x11 "A" attenuation dB
//     0x11 "N" signal level            0x11 "CAN" channel ("%02d", "--": none)
// The order is fixed so that a search for 0x11 "B" meets the filter before
// the BFO and 0x11 "C" the AGC before the channel.
// The signal level N is a loss figure: the larger N, the weaker the signal
// (73 is about 33 dBuV); it moves with every status and follows the attenuator.
//
// What the receiver keeps and refuses (inferred from what the driver sends
// and reads):
// - Setters have no answer; the next status frame confirms them.
// - The receiver has no remote/local switching on the line: it obeys the
//   computer at any time.
// - Its 100 channels always hold settings (factory content: 10000.00 kHz,
//   CW, BFO 0, filter 5, AGC slow, no attenuation), so every recall answers
//   and a channel read never waits in vain. A recall sets CAN to the channel;
//   any later change of frequency, mode, BFO, filter, AGC or attenuation
//   leaves it ("--").
// - The BFO is kept in every mode (the status always carries it).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "simmodels.h"
#include "simreceiver.h"

namespace sim {

struct Ndx264Channel {
    std::int32_t frequency = 10000000;  // Hz
    char mode = 'C';
    int bfo = 0;  // Hz
    int filter = 5;
    char agc = 'L';
    int attenuation = 0;  // dB
    bool operator==(const Ndx264Channel&) const = default;
};

struct Ndx264State {
    static constexpr int kChannelCount = 100;  // numbered 0..99
    static constexpr std::int32_t kMaxFrequency = 29999999;
    static constexpr int kMaxBfo = 3000;

    std::int32_t frequency = 7050000;  // Hz, a multiple of 10
    char mode = 'U';  // A C U L F, I (ISB, front panel only)
    int bfo = 0;  // Hz, -3000..3000
    int filter = 7;  // digit 0..7
    char agc = 'R';  // '-', R, L, O
    int attenuation = 0;  // 0, -6, -12, 12 dB
    int channel = -1;  // channel last recalled, -1 after any change
    int signalBase = 73;  // N the signal level wanders around
    int clockHours = 0;
    int clockMinutes = 0;
    int clockSeconds = 0;
    int gainApplied = 0;  // "G" commands taken
    int refused = 0;  // commands and frames refused (for tests)
    std::array<Ndx264Channel, kChannelCount> channels{};
};

class Ndx264Sim : public SimReceiver {
public:
    struct Options {
        bool isb = false;  // the ISB option: "/ISB" in the identification, ISB mode at the panel
        std::uint32_t seed = 1;
    };

    static constexpr char kStart = 0x11;
    static constexpr char kEnd = 0x04;
    static constexpr std::size_t kMaxFrame = 80;

    explicit Ndx264Sim(Options options);
    Ndx264Sim() : Ndx264Sim(Options{}) {}

    // The rxsim entry: options by --option name (see rxsim --help).
    static std::unique_ptr<SimReceiver> create(int address, const ModelOptions& options);

    std::string_view model() const override { return "NDX264"; }
    Frames feed(std::string_view bytes) override;
    void resetInput() override;

    // Answers the text of one frame (without 0x11, CR LF and 0x04).
    Frames frameText(std::string_view text);

    Ndx264State& state() { return m_state; }
    const Ndx264State& state() const { return m_state; }
    bool hasIsb() const { return m_options.isb; }

    // 0x11 text CR LF 0x04.
    static std::string frame(std::string_view text);
    // The status frame for the present state (the signal level moves with every call).
    std::string statusFrame();
    std::string identificationFrame() const;
    // The signal level the next status reports.
    int nextSignal();

private:
    Frames command(std::string_view text);
    void leaveChannel() { m_state.channel = -1; }

    Options m_options;
    Ndx264State m_state;
    SimRandom m_random;
    int m_wander = 0;
    bool m_inFrame = false;
};

}  // namespace sim
