// The NRD535 as its serial line sees it: ASCII commands ended by CR, ASCII
// records ended by CR. No bus address. Queries are answered in local and in
// remote control; every command that changes the receiver is refused
// (ignored, no answer) unless the receiver is in remote ("H1"), as the real
// front panel keeps control until the computer asks for it.
//
// Memory channels travel as one record per channel:
//   "L" ccc a f m ffffffff g CR   (channel, attenuator, filter, mode digits,
//                                  frequency in Hz as eight digits, AGC digit)
// and are written with the same fields: "K" ccc a f m ffffffff g. A channel
// that holds nothing reads with the frequency 00000000, and writing that
// frequency clears it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "simreceiver.h"

namespace sim {

struct Nrd535Channel {
    int attenuator = 0;
    int filter = 1;
    int mode = 4;
    std::int32_t frequency = 0;
    int agc = 1;
    bool operator==(const Nrd535Channel&) const = default;
};

struct Nrd535State {
    static constexpr int kChannelCount = 200;
    static constexpr std::int32_t kMinFrequency = 5000;
    static constexpr std::int32_t kMaxFrequency = 29999999;

    std::int32_t frequency = 9650000;
    int mode = 4;  // 0 RTTY, 1 CW, 2 USB, 3 LSB, 4 AM, 5 FM, 6 FAX, 7 AM-U, 8 AM-L
    int filter = 1;  // 0 wide, 1 intermediate, 2 narrow, 3 auxiliary
    int agc = 1;  // 0 slow, 1 fast, 2 manual
    int attenuator = 0;  // 0 off, 1 on
    int noiseBlanker = 0;  // 0 off, 1 peek, 2 wide
    int squelch = 0;  // 0 open, 1 closed (set only from the front panel)
    bool hfFilter = false;
    int bfo = 0;  // Hz, -5000..5000
    int variableBandwidth = 0;  // Hz, 0 = off (needs the H option)
    int smeterBase = 150;  // raw 0..255; 255 is the weakest signal
    bool remote = false;
    bool autoStatus = false;  // "I1"/"I0"
    int u6 = 0;  // "U6%d", kept and otherwise unused
    int clockHours = 0;
    int clockMinutes = 0;
    int channel = -1;  // channel last loaded, -1 after any other change
    std::array<std::optional<Nrd535Channel>, kChannelCount> channels{};
};

class Nrd535Sim : public SimReceiver {
public:
    struct Options {
        bool hOption = false;  // the option that reports "H" in the identification and adds variable bandwidth ("W")
        std::uint32_t seed = 1;
    };

    explicit Nrd535Sim(Options options);
    Nrd535Sim() : Nrd535Sim(Options{}) {}

    std::string_view model() const override { return "NRD535"; }
    Frames feed(std::string_view bytes) override;

    // Answers one command given without its CR.
    Frames command(std::string_view text);

    Nrd535State& state() { return m_state; }
    const Nrd535State& state() const { return m_state; }
    bool hasHOption() const { return m_options.hOption; }

    // The records the receiver would send for the current state.
    std::string identification() const;
    std::string statusRecord() const;
    std::string channelRecord(int channel) const;
    // Front-panel actions, taken in local and in remote alike: a mode key,
    // and the recall of a stored channel (false for an empty one).
    bool panelMode(int digit);
    bool recallChannel(int channel);

    // The raw S-meter value the next "M" reports: it wanders around the
    // signal level so that operators and tests see it move.
    int nextSmeter();

private:
    bool changesReceiver(std::string_view text) const;
    bool setFrequency(std::string_view digits);
    bool writeChannel(std::string_view fields);
    void leaveChannel() { m_state.channel = -1; }

    Options m_options;
    Nrd535State m_state;
    SimRandom m_random;
    int m_smeterWander = 0;
};

}  // namespace sim
