// The TRC294 and TRC294A (VHF/UHF, 20 MHz upward) as their serial line sees
// them: 4800 baud, odd parity, 8 data bits, no bus address. Binary: single
// command bytes and framed messages; frequencies are packed BCD in 10 Hz units.
//
// Framed message, computer to receiver:
//     0xFF, N, payload, C
// N = payload length + 2 (3..23: a payload holds 1..21 bytes), C = the
// bitwise complement of N XOR-ed with every payload byte. The first payload
// byte is the message type. The receiver checks N and C before it looks at
// the payload: a frame with a length byte outside 3..23 or a wrong checksum
// is dropped without an answer (a length byte of 0xFF starts a new frame).
// Between frames the receiver takes single command bytes; any other byte
// there is line noise and is skipped. A frame cut short swallows the bytes
// that follow up to its announced length, like the real receiver, which has
// no time-out inside a frame; its checksum then fails and it is dropped.
//
// Reply frame, receiver to computer (the A model's framed answers):
//     N, payload, C
// the same framing without the 0xFF lead, so the whole reply is N bytes.
//
// Single command bytes (both models):
//     0xAA  status request → the plain status record
//     0xEE  return to local control (front panel unlocked); no answer
//
// Plain status record, 8 bytes, no checksum:
//     0: 0xF0 | frequency digit 1 (the high nibble F marks a status record)
//     1: digits 2 and 3    2: digits 4 and 5    3: digits 6 and 7
//     4: digit 8 (high nibble) | mode code (low nibble)
//     5: filter code (high nibble) | attenuator code (low nibble)
//     6: memory channel in use, binary 1..101 (0: none)
//     7: signal level, binary 0..255 (moves with the signal)
// The eight BCD digits are the frequency in 10 Hz units. Mode codes: 0 CW,
// 1 AM, 2 FM, 3 MPH (wide FM), 4 USB, 5 LSB. Filter codes 0..3 select the
// four IF filter positions (USB and LSB always use the SSB filter; the code
// is kept for the other modes). Attenuator codes 0 (off) .. 5.
//
// Framed messages (payload; "r0..r4" are bytes 0..4 of the record layout,
// frequency and mode, whose byte 0 high nibble the receiver ignores; "r5" is
// byte 5, filter and attenuator):
//     01 r0 r1 r2 r3 r4         tune: frequency and mode together
//     02 r5                     filter and attenuator together
//     03 cc r0 r1 r2 r3 r4 r5 mm  write memory channel cc (1..101): frequency,
//                               mode, filter, attenuator and mask byte mm
//     04 cc                     recall memory channel cc
//     07 cc                     clear memory channel cc
//     05 01 / 05 00             A model: remote (front panel locked) / local
//     08                        A model: status request → the A status frame
//     0A text                   A model: front-panel text, 1..16 characters
//                               (the driver's texts begin with "\n", which is
//                               this type byte)
// A status frame of the A model: 09 06 r0 r1 r2 r3 r4 r5 C (N = 9, payload
// type 06 followed by bytes 0..5 of the record layout).
//
// What the receiver keeps and refuses (inferred from what the driver sends
// and reads; the setting messages, the channel messages and the A status
// frame are this simulator's design, which the driver follows):
// - Setting messages have no answer; the next status request confirms them.
// - A tune is refused whole when a digit is no BCD digit, the mode code is
//   unknown, CW, USB or LSB is asked for without the SSB hardware (O_SSB),
//   or the frequency lies outside 20000000 Hz .. 119999999 Hz (499999999 Hz
//   with the extended range, O_EXT). The receiver tunes in 1000 Hz steps,
//   10 Hz in USB and LSB: a frequency between steps is cut to the step below.
// - Filter codes above 3 and attenuator codes above 5 are refused.
// - Channel numbers run 1..101; a write with a bad field, a recall of an
//   empty channel and any channel outside 1..101 are refused. The receiver
//   cannot report its channels: the driver keeps what it wrote in its own
//   settings. A tune or a filter change leaves the channel (byte 6 becomes 0).
// - Setting messages are obeyed under local control too: any accepted one
//   takes remote control (front panel locked); 0xEE, or 05 00 on the A
//   model, hands it back. The plain model has no other remote message.
// - The panel text is kept as sent (without its type byte); more than 16
//   characters are refused.
// - The plain model ignores the A model's messages (05, 08, 0A): a connect
//   that asks with the framed status request hears nothing from it.
// - The A model also answers 0xAA with the plain record, so both pass the
//   connect's first check.
// - Unknown message types with a good checksum are ignored.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "simmodels.h"
#include "simreceiver.h"

namespace sim {

struct Trc294Channel {
    std::int32_t frequency = 0;  // Hz
    int mode = 1;
    int filter = 1;
    int attenuator = 0;
    int mask = 0;
    bool operator==(const Trc294Channel&) const = default;
};

struct Trc294State {
    static constexpr int kChannelCount = 101;  // numbered 1..101
    static constexpr std::int32_t kMinFrequency = 20000000;
    static constexpr std::int32_t kMaxFrequency = 119999999;
    static constexpr std::int32_t kMaxFrequencyExt = 499999999;
    static constexpr int kMaxFilter = 3;
    static constexpr int kMaxAttenuator = 5;

    std::int32_t frequency = 100000000;
    int mode = 2;  // 0 CW, 1 AM, 2 FM, 3 MPH, 4 USB, 5 LSB
    int filter = 1;  // 0..3
    int attenuator = 0;  // 0..5
    int channel = 0;  // 0: none, else 1..101
    bool remote = false;
    int signalBase = 90;  // the signal level the S-meter wanders around
    std::string display;  // A model: the front-panel text last sent
    int refused = 0;  // messages refused or dropped so far (for tests)
    std::array<std::optional<Trc294Channel>, kChannelCount> channels{};
};

class Trc294Sim : public SimReceiver {
public:
    struct Options {
        bool aModel = false;  // TRC294A: framed status, remote message, panel texts
        bool extRange = false;  // O_EXT: up to 499999999 Hz
        bool ssb = false;  // O_SSB: CW, USB, LSB and 10 Hz steps in USB and LSB
        std::uint32_t seed = 1;
    };

    static constexpr unsigned char kStatusRequest = 0xAA;
    static constexpr unsigned char kLocal = 0xEE;
    static constexpr unsigned char kFrameLead = 0xFF;
    static constexpr std::size_t kMaxPayload = 21;

    explicit Trc294Sim(Options options);
    Trc294Sim() : Trc294Sim(Options{}) {}

    // The rxsim entry: options by --option name (see rxsim --help).
    static std::unique_ptr<SimReceiver> create(int address, const ModelOptions& options);

    std::string_view model() const override { return "TRC294"; }
    Frames feed(std::string_view bytes) override;
    void resetInput() override;

    Trc294State& state() { return m_state; }
    const Trc294State& state() const { return m_state; }
    const Options& options() const { return m_options; }
    std::int32_t maxFrequency() const;

    // The 8-byte plain status record for the present state (the signal level
    // moves with every call).
    std::string statusRecord();
    // The A model's status frame: 09 06 r0..r5 C.
    std::string statusFrame() const;

    // Framing helpers, shared with the tests.
    static unsigned char checksum(unsigned char n, std::string_view payload);
    static std::string frame(std::string_view payload);  // FF N payload C
    static std::string replyFrame(std::string_view payload);  // N payload C

    // Bytes 0..5 of the record layout for a frequency, mode, filter and attenuator.
    static std::string recordBytes(std::int32_t hz, int mode, int filter, int attenuator);

private:
    Frames message(std::string_view payload);
    bool tune(std::string_view r, Trc294Channel& into) const;
    bool modeFitted(int mode) const;
    int nextSignal();
    void refuse() { ++m_state.refused; }

    enum class Input { Idle, Length, Body };

    Options m_options;
    Trc294State m_state;
    SimRandom m_random;
    int m_wander = 0;
    Input m_phase = Input::Idle;
    unsigned char m_length = 0;
};

}  // namespace sim
