// The network server of the suite: opens each receiver to other programs
// (decoders, loggers, trackers, panadapters) over the rigctld text protocol.
//
// ReceiverAccess is what the protocol needs of one receiver, in the
// receiver's own terms. The protocol session talks only to it, so the
// protocol is tested without a driver or a port; DriverAccess puts it onto
// IReceiverDriver and one receiver index.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "interfaces/receivertypes.h"

namespace server {

// What became of a change asked of the receiver.
enum class SetResult {
    Done,  // the receiver reports the value asked for
    Invalid,  // the value makes no sense for this receiver (out of range, no such channel)
    NotAvailable,  // the receiver lacks the control or the setting
    NotConnected,  // the receiver is not connected
    TimedOut,  // the receiver did not confirm the change in time
};

using SetDone = std::function<void(SetResult)>;

class ReceiverAccess {
public:
    virtual ~ReceiverAccess() = default;

    // Identity.
    virtual std::string name() = 0;
    virtual std::string identification() = 0;  // the receiver's own identification, may be empty
    virtual bool isConnected() = 0;

    // Limits and capabilities.
    virtual std::int32_t frequencyMin() = 0;
    virtual std::int32_t frequencyMax() = 0;
    virtual std::int32_t frequencyStep() = 0;
    virtual bool modeExists(quorvin::MODTYPE mode) = 0;
    // The filter widths (Hz) the receiver offers now, ascending.
    virtual std::vector<std::int32_t> filterWidths() = 0;
    virtual bool agcExists(quorvin::AGCTYPE agc) = 0;
    virtual bool attExists(quorvin::ATTSTATE att) = 0;
    // The attenuation (or, for AttPre, the gain) of a state in dB, positive.
    virtual int attDb(quorvin::ATTSTATE att) = 0;
    virtual bool hasSMeter() = 0;
    virtual int channelCount() = 0;
    virtual int channelStart() = 0;

    // Current values; nothing while the receiver has not told them.
    virtual std::optional<std::int32_t> frequency() = 0;
    virtual std::optional<quorvin::MODTYPE> mode() = 0;
    virtual std::optional<std::int32_t> filterWidth() = 0;
    virtual std::optional<quorvin::AGCTYPE> agc() = 0;
    virtual std::optional<quorvin::ATTSTATE> att() = 0;
    virtual std::optional<int> signalDbuv() = 0;  // S-meter reading in dBµV
    virtual std::optional<int> channel() = 0;  // -1: not on a memory channel

    // Changes. `done` is called exactly once, never from inside the call
    // itself, with what really happened.
    virtual void setFrequency(std::int32_t hz, SetDone done) = 0;
    virtual void setMode(quorvin::MODTYPE mode, SetDone done) = 0;
    virtual void setFilterWidth(std::int32_t hz, SetDone done) = 0;
    virtual void setAgc(quorvin::AGCTYPE agc, SetDone done) = 0;
    virtual void setAtt(quorvin::ATTSTATE att, SetDone done) = 0;
    virtual void loadChannel(int channel, SetDone done) = 0;
};

}  // namespace server
