// The TRC243 (or TRC241) on its line, as the serial port sees it: 9600
// baud, even parity, 7 data bits, bus address 0..15. The protocol it speaks
// is written down in driver/models/trc243/trc243protocol.h; in short:
//   command  CR [address character "0"+address] text LF
//   reply    CR [the same address character] text LF, one line per command
//   "LOC" → "LOC"; "RMT" → "REM OPmxyz" (m: S TRC243, T TRC241; x y z:
//   "5" ISB, "%" F1, "/" FI or "-"); setters answer "OM", "om" (refused) or
//   "loc" (refused in local); "GA", "GB" and "C%02u" answer A, B and C
//   records; "T" answers "TST".
// Setters: "F%08d", "B%c%03d", "M%d", "I%d", "H%c%c" (AGC per mode), "A%d",
// "V%d", "U%c%c", "XX%c", "K%u", "P%02u", "E%02u".
//
// The simulator adds switches for the connect failures a driver must meet:
// an unknown model character, an RMT answer without the OP identification,
// one without its filter information, and answers carrying the address
// character of the next address.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "simmodels.h"
#include "simreceiver.h"

namespace sim {

struct Trc243Channel {
    std::int32_t frequency = 0;  // Hz
    int mode = 0;
    int filter = 0;  // the code the A record showed when stored
    int bfo = 0;  // Hz
    char agc = '-';
    int attenuator = 0;
    bool operator==(const Trc243Channel&) const = default;
};

struct Trc243State {
    static constexpr int kChannelCount = 100;  // numbered 1..100
    static constexpr std::int32_t kMinFrequency = 5000;
    static constexpr std::int32_t kMaxFrequency = 29999999;
    static constexpr int kMaxBfo = 7999;
    static constexpr int kModes = 7;  // 0 AM, 1 USB, 2 LSB, 3 CW, 4 ISB, 5 FM, 6 RTTY

    std::int32_t frequency = 7050000;
    int mode = 1;
    int bfo = 0;  // Hz
    int filter = 2;  // the code in use in AM, CW, RTTY and FM (1..6)
    std::array<char, kModes> agc{'S', 'S', 'S', 'F', 'S', '-', 'M'};  // per mode
    int attenuator = 0;  // 0..2
    int preselector = 0;  // 0 off, 1 on
    int squelch = 0;  // threshold 0..99, 0 off
    int outputs = 0;  // bit mask of the six outputs
    int channel = 0;  // recalled channel 1..100, 0 none
    bool remote = false;
    int signalBase = 40;  // dBuV the S-meter wanders around
    int refused = 0;  // setters answered "om" or "loc", frames ignored (for tests)
    std::array<std::optional<Trc243Channel>, kChannelCount> channels{};
};

class Trc243Sim : public SimReceiver {
public:
    static constexpr int kDefaultAddress = 0;
    static constexpr std::size_t kMaxLine = 41;  // CR, address character and 40 characters

    struct Options {
        bool isb = false;  // option character "5": ISB mode
        bool filterF1 = false;  // option character "%"
        bool filterFI = false;  // option character "/"
        bool trc241 = false;  // identifies as TRC241 ("T")
        bool badModel = false;  // identifies with an unknown model character
        bool noOp = false;  // "RMT" answers "REM" without identification
        bool noFilter = false;  // the identification ends before its options
        bool badAddress = false;  // replies carry the next address character
        std::uint32_t seed = 1;
    };

    Trc243Sim(int address, Options options);
    explicit Trc243Sim(int address = kDefaultAddress) : Trc243Sim(address, Options{}) {}

    // The rxsim entry: options by --option name (see rxsim --help).
    static std::unique_ptr<SimReceiver> create(int address, const ModelOptions& options);

    std::string_view model() const override { return "TRC243"; }
    Frames feed(std::string_view bytes) override;

    // Answers one command text (no frame, no address); nothing for a text
    // the receiver does not take. Replies come back without their frame.
    std::optional<std::string> command(std::string_view text);

    Trc243State& state() { return m_state; }
    const Trc243State& state() const { return m_state; }
    const Options& options() const { return m_options; }

    // The address character of an address: "0" plus the address.
    static char addressCharacter(int address) { return static_cast<char>('0' + address); }

    std::string identification() const;  // "REM OPS5%/" and its variants
    std::string aRecord() const;
    std::string bRecord();  // the signal level moves with every call
    std::string cRecord(int channel) const;
    int reportedFilter() const;
    int nextSignal();

private:
    std::string setting(std::string_view text);
    bool modeFitted(int mode) const;
    static bool ssbMode(int mode) { return mode == 1 || mode == 2 || mode == 4; }
    void leaveChannel() { m_state.channel = 0; }

    Options m_options;
    Trc243State m_state;
    SimRandom m_random;
    int m_wander = 0;
};

}  // namespace sim
