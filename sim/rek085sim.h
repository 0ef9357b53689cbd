// The REK085 on a shared line, selected by a two-digit address. Every
// command is one frame: LF, a prefix character, "A", the address as two
// digits, the command text, CR. A receiver acts only on frames with its own
// address; bytes before the LF of a frame (line noise) are skipped, and a
// frame without "A" and an address is ignored.
//
// Prefixes and commands (the driver's side fixes what it sends and reads;
// the rest is the receiver's behaviour as this simulator plays it):
//   "*" O1        answers the status record (below); nothing else answers.
//   "*" F%07d     tune, units of 10 Hz, exactly seven digits, 0..2999999.
//   "*" B%02d%c   BFO, units of 100 Hz, magnitude 0..29, sign "+" or "-";
//                 "B" and three blanks is 0.
//   "*" I%d       mode code 1 AM, 2 USB, 3 LSB, 4 FAX, 5 CW, 6 ISB, 7..9 RTTY
//                 (the code is kept as sent).
//   "*" W%d       filter code 1..7; only the codes of fitted filters (the
//                 receiver's filter variant) are taken.
//   "*" R%d       AGC code 0..4 (0 slow, 3 fast, 1, 2 and 4 manual settings).
//   "*" J%d       select the one active output, 0..9.
//   "*" H%d, Z%d  two set-up digits, kept and reported, no other effect.
//   "*" K%02u     recall memory channel 00..99.
//   "%" K%02u<settings>
//                 store a settings text in the channel: F%07d I%d B(3) W%d
//                 R%d H%d Z%d J%d run together, 24 characters, every field
//                 checked as for its command (the driver's channel write and
//                 its "save" of the last status text both have this form).
//   "&" K%02u     recall the channel and answer its status record.
// Every channel always holds a setting (at power-up 10 MHz, CW, BFO 0,
// filter code 1, AGC slow); recalling it applies all of it, the output
// included. Any later change of frequency, BFO, mode, filter or AGC leaves
// the channel. Whatever is malformed or out of range is refused: ignored,
// no answer.
//
// Status record, 32 characters after the leading LF:
//   LF "*A" aa "K" cc "F" fffffff "I" m "B" bb s "W" w "R" r "H" h "Z" z "J" j CR
// cc is the channel or two blanks off a channel; the BFO is "   " (three
// blanks) when 0, else two digits and "+" or "-".
//
// Options (rxsim --option): the filter variant by name (V1, V1Var2, V1Var3,
// V1Var4, V2 — the default —, V2Var2, V2Var3, V2Var5, V2Var6), which
// decides the filter codes the receiver takes; ANY-ADDRESS (acts on frames
// for any address and answers with its own).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "simmodels.h"
#include "simreceiver.h"

namespace sim {

struct Rek085Setting {
    std::int32_t frequency = 10000000;  // Hz, a multiple of 10
    int mode = 5;  // mode code 1..9
    int bfo = 0;  // Hz, a multiple of 100, -2900..2900
    int filter = 1;  // filter code 1..7
    int agc = 0;  // AGC code 0..4
    int h = 0;
    int z = 0;
    int output = 0;  // 0..9
    bool operator==(const Rek085Setting&) const = default;
};

// A filter variant: its name and the widths of filter codes 1..7 (0: none).
struct Rek085Variant {
    std::string_view name;
    std::array<int, 7> widths;
};

struct Rek085State {
    static constexpr std::int32_t kMaxFrequency = 29999990;
    static constexpr int kMaxBfo = 2900;
    static constexpr int kChannelCount = 100;

    Rek085Setting now{7050000, 2, 0, 2, 0, 0, 0, 0};
    int channel = -1;  // channel in use, -1: none
    std::array<Rek085Setting, kChannelCount> channels{};
    int statusRequests = 0;  // count of O1
};

class Rek085Sim : public SimReceiver {
public:
    static constexpr int kDefaultAddress = 0;

    struct Options {
        int variant = 4;  // index into variants(): V2
        bool anyAddress = false;
    };

    explicit Rek085Sim(int address = kDefaultAddress);
    Rek085Sim(int address, Options options);
    static std::unique_ptr<SimReceiver> create(int address, const ModelOptions& options);
    static const std::array<Rek085Variant, 9>& variants();

    std::string_view model() const override { return "REK085"; }
    Frames feed(std::string_view bytes) override;

    // Answers one frame given without its CR (noise before the LF allowed).
    Frames frame(std::string_view text);

    Rek085State& state() { return m_state; }
    const Rek085State& state() const { return m_state; }
    const Rek085Variant& variant() const;

    std::string statusRecord() const;

private:
    Frames command(std::string_view text);
    bool takeFilterCode(int code) const;
    // Parses a settings text (F…J, 24 characters); nullopt when malformed.
    std::optional<Rek085Setting> parseSettings(std::string_view text) const;
    void leaveChannel() { m_state.channel = -1; }
    void recall(int channel);

    Options m_options;
    Rek085State m_state;
};

}  // namespace sim
