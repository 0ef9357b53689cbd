// A shared bus line for the end-to-end tests: a TCP port on 127.0.0.1 that
// any number of driver instances connect to, joined to one simulator line.
// What any instance sends goes onto the line; what the line answers reaches
// every instance, as on a real bus where all receivers and all listeners
// hear everything. Serves in its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace quorvin::e2e {

class BusHub {
public:
    // Joins the hub to the simulator's TCP port.
    explicit BusHub(std::uint16_t linePort);
    ~BusHub();
    BusHub(const BusHub&) = delete;
    BusHub& operator=(const BusHub&) = delete;

    bool ok() const { return m_listener >= 0 && m_line >= 0; }
    std::uint16_t port() const { return m_port; }
    int clients() const { return m_clients.load(); }

private:
    void serve();

    int m_listener = -1;
    int m_line = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_clients{0};
    std::thread m_thread;
};

}  // namespace quorvin::e2e
