// ICMP echo over a datagram socket (kernel fills identifier and checksum,
// needs net.ipv4.ping_group_range) or a raw socket (needs CAP_NET_RAW).
#include "pinger.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/clock.h"

namespace quorvin {

namespace {

// Packets that are not our reply (other programs' echoes on a raw socket)
// are skipped, but only so many per request.
constexpr int kMaxForeignPackets = 64;

struct EchoSocket {
    int fd = -1;
    bool raw = false;
    ~EchoSocket()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

bool openEchoSocket(EchoSocket& socket)
{
    socket.fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (socket.fd >= 0) {
        socket.raw = false;
        return true;
    }
    socket.fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    socket.raw = socket.fd >= 0;
    return socket.fd >= 0;
}

std::uint16_t checksum(const unsigned char* data, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        sum += static_cast<std::uint32_t>((data[i] << 8) | data[i + 1]);
    }
    if (length % 2 != 0) {
        sum += static_cast<std::uint32_t>(data[length - 1] << 8);
    }
    while ((sum >> 16) != 0) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

// Sends one request and waits up to the time-out for its reply; returns
// the round trip in ms or -1.
int echoOnce(const EchoSocket& socket, const sockaddr_in& target, std::uint16_t id, std::uint16_t sequence)
{
    const std::string payload = IcmpPinger::kPayload;
    std::string packet(sizeof(icmphdr) + payload.size(), '\0');
    auto* header = reinterpret_cast<icmphdr*>(packet.data());
    header->type = ICMP_ECHO;
    header->code = 0;
    header->un.echo.id = htons(id);
    header->un.echo.sequence = htons(sequence);
    std::memcpy(packet.data() + sizeof(icmphdr), payload.data(), payload.size());
    const std::uint16_t sum = checksum(reinterpret_cast<const unsigned char*>(packet.data()), packet.size());
    header->checksum = htons(sum);

    const std::uint32_t start = platform::clock().millis();
    if (::sendto(socket.fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                 sizeof(target)) < 0) {
        return -1;
    }
    unsigned char reply[512];
    for (int foreign = 0; foreign < kMaxForeignPackets; ++foreign) {
        const std::uint32_t elapsed = platform::clock().millis() - start;
        if (elapsed >= static_cast<std::uint32_t>(IcmpPinger::kTimeoutMs)) {
            return -1;
        }
        pollfd pfd{socket.fd, POLLIN, 0};
        if (::poll(&pfd, 1, IcmpPinger::kTimeoutMs - static_cast<int>(elapsed)) <= 0) {
            return -1;
        }
        sockaddr_in from{};
        socklen_t fromLength = sizeof(from);
        const ssize_t got =
            ::recvfrom(socket.fd, reply, sizeof(reply), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got <= 0) {
            continue;
        }
        std::size_t offset = 0;
        if (socket.raw) {
            // A raw socket hands over the IP header too.
            if (static_cast<std::size_t>(got) < sizeof(iphdr)) {
                continue;
            }
            offset = static_cast<std::size_t>((reply[0] & 0x0F) * 4);
        }
        if (static_cast<std::size_t>(got) < offset + sizeof(icmphdr)) {
            continue;
        }
        icmphdr answer{};
        std::memcpy(&answer, reply + offset, sizeof(answer));
        if (answer.type != ICMP_ECHOREPLY || ntohs(answer.un.echo.sequence) != sequence) {
            continue;
        }
        // The kernel owns the identifier of a datagram socket and filters
        // replies for it; on a raw socket every echo reply comes by.
        if (socket.raw && (ntohs(answer.un.echo.id) != id || from.sin_addr.s_addr != target.sin_addr.s_addr)) {
            continue;
        }
        return static_cast<int>(platform::clock().millis() - start);
    }
    return -1;
}

}  // namespace

bool IcmpPinger::echoPermitted()
{
    EchoSocket socket;
    return openEchoSocket(socket);
}

int IcmpPinger::ping(std::uint32_t addressNetworkOrder)
{
    EchoSocket socket;
    if (!openEchoSocket(socket)) {
        return -1;
    }
    const int ttl = 128;
    ::setsockopt(socket.fd, IPPROTO_IP, IP_TTL, &ttl, sizeof(ttl));
    const int tos = 0;
    ::setsockopt(socket.fd, IPPROTO_IP, IP_TOS, &tos, sizeof(tos));
    const int dontFragment = IP_PMTUDISC_DO;
    ::setsockopt(socket.fd, IPPROTO_IP, IP_MTU_DISCOVER, &dontFragment, sizeof(dontFragment));

    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = addressNetworkOrder;

    const auto id = static_cast<std::uint16_t>(::getpid() & 0xFFFF);
    static std::uint16_t s_sequence = 0;
    int result = -1;
    for (int request = 0; request < kRequests; ++request) {
        const int roundTrip = echoOnce(socket, target, id, ++s_sequence);
        if (roundTrip >= 0) {
            result = std::max(std::abs(result), roundTrip);
        }
    }
    return result;
}

}  // namespace quorvin
