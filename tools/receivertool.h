// What the receiver commands of korvanectl share: the driver library loaded
// the way the application loads it, one configuration, a receiver chosen by
// index or name, connecting and waiting while the event loop runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "interfaces/ireceiverdriver.h"

namespace tools {

// Exit codes of the receiver commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the receiver or the driver could not do it
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFile = 3;  // a file could not be read, parsed or written

// Runs the event loop until pred() holds or timeoutMs passed.
bool waitFor(const std::function<bool()>& pred, int timeoutMs);

class ReceiverTool {
public:
    struct ChannelStatus {
        std::int16_t channel;
        std::int32_t frequency, bfo, mode, filter, agc, mask;
    };

    ReceiverTool(std::ostream& out, std::ostream& err);
    ~ReceiverTool();

    // Loads the library and the configuration; false (and a message) when
    // either fails or the configuration has no receiver.
    bool load(const std::string& configuration);
    quorvin::IReceiverDriver& driver() { return *m_driver; }
    std::int16_t count() const { return m_count; }
    // A receiver by its index or its (case-blind) instance name.
    std::optional<std::int16_t> find(const std::string& receiver);
    // Connects and waits for the connection and the receiver's first
    // report of its frequency; false with a message otherwise.
    bool connect(std::int16_t index, int timeoutMs);
    void disconnect(std::int16_t index);

    // Channel statuses seen since the last clear.
    std::vector<ChannelStatus>& channelStatuses() { return m_channels; }
    // Seen since the last clear: the last connection error of a receiver (0: none).
    std::int32_t lastConnectionError() const { return m_connError; }

private:
    class Sink;
    std::ostream& m_out;
    std::ostream& m_err;
    std::unique_ptr<quorvin::IReceiverDriver> m_driver;
    std::unique_ptr<Sink> m_sink;
    std::uint32_t m_cookie = 0;
    std::int16_t m_count = 0;
    std::string m_configuration;
    std::vector<ChannelStatus> m_channels;
    std::int32_t m_connError = 0;
    std::vector<std::int16_t> m_opened;
};

}  // namespace tools
