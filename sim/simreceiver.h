// The receiver end of one simulated receiver: a model's command codec and the
// state it keeps. A codec is pure: bytes that arrive on the line go in, the
// state changes, and the frames the receiver answers come out. Nothing here
// touches a port, a clock or a thread; the serving core feeds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The frames a receiver answers to one batch of input, in order.
using Frames = std::vector<std::string>;

class SimReceiver {
public:
    virtual ~SimReceiver() = default;
    SimReceiver(const SimReceiver&) = delete;
    SimReceiver& operator=(const SimReceiver&) = delete;

    // The model name as rxsim spells it ("NRD535").
    virtual std::string_view model() const = 0;

    // Takes bytes as they arrive on the line (any split, any byte value) and
    // returns the frames this receiver answers.
    virtual Frames feed(std::string_view bytes) = 0;

    // Forgets a half-received command, as when a new client takes the line.
    virtual void resetInput() { m_input.clear(); }

    // The bus address or unit number; -1 for a model that has none.
    int address() const { return m_address; }

    // On a shared line the first receiver also plays the parts that exist
    // once per line (a serial-to-bus adapter, for instance).
    void setLineLeader(bool leader) { m_lineLeader = leader; }
    bool isLineLeader() const { return m_lineLeader; }

protected:
    explicit SimReceiver(int address) : m_address(address) {}

    // Appends `bytes` to the input buffer and splits off every complete
    // command ended by `terminator` (the terminator itself removed). Input
    // that grows past `maxPending` bytes without a terminator is line noise:
    // the receiver drops it.
    std::vector<std::string> takeCommands(std::string_view bytes, char terminator, std::size_t maxPending);

    std::string m_input;

private:
    int m_address;
    bool m_lineLeader = true;
};

// Helpers shared by the codecs.

// A field of exactly `width` decimal digits (no sign, no blanks) → value.
std::optional<std::int64_t> parseDigits(std::string_view text, std::size_t width);
// A field of one or more decimal digits, optionally signed → value.
std::optional<std::int64_t> parseSignedDigits(std::string_view text);
// A decimal number as the RA-family receivers take it: optional sign,
// digits, at most one point. Anything else (blanks, exponents, letters) is
// refused.
std::optional<double> parseDecimal(std::string_view text);
// One to three decimal digits within [low, high].
std::optional<int> codeIn(std::string_view text, int low, int high);
// A small deterministic generator (xorshift32) so a run can be repeated.
class SimRandom {
public:
    explicit SimRandom(std::uint32_t seed = 1) : m_state(seed == 0 ? 0x9e3779b9u : seed) {}
    std::uint32_t next();
    // A value in [low, high].
    int between(int low, int high);

private:
    std::uint32_t m_state;
};

// Bytes as a readable text for traces: printable ASCII as is, CR and LF as
// \r and \n, everything else as \xHH.
std::string escapeBytes(std::string_view bytes);

}  // namespace sim
