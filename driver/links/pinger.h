// The echo seam: the socket link measures the round trip to its receiver's
// host before it connects. Production sends ICMP echo requests; tests put
// in a fixed answer.
#pragma once

#include <cstdint>

namespace quorvin {

class Pinger {
public:
    virtual ~Pinger() = default;
    // Round-trip time in milliseconds to an IPv4 address (network byte
    // order), at least 1 when any echo came back; -1 when none did or
    // echoes are not permitted.
    virtual int ping(std::uint32_t addressNetworkOrder) = 0;
};

// Two ICMP echo requests of 350 ms each, payload "Ping from the 'Quorvin'
// library", time to live 128, do not fragment. Uses an unprivileged ICMP
// datagram socket, or a raw socket where the process may open one.
class IcmpPinger : public Pinger {
public:
    int ping(std::uint32_t addressNetworkOrder) override;

    // Whether this process may send echoes at all.
    static bool echoPermitted();

    static constexpr int kRequests = 2;
    static constexpr int kTimeoutMs = 350;
    static constexpr const char* kPayload = "Ping from the 'Quorvin' library";
};

}  // namespace quorvin
