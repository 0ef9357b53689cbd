// Receive notifications of a link, delivered from the event loop and never
// from inside one of the link's own operations: a notification that comes
// up while the link is writing, reading or waiting is held back and posted
// again when the operation ends. Posts are coalesced, so a burst of
// arrivals produces one delivery; the delivery itself checks whether
// anything is still waiting.
#pragma once

#include <functional>
#include <memory>

class QObject;

namespace quorvin {

class NotifyGate {
public:
    explicit NotifyGate(std::function<void()> deliver);
    ~NotifyGate();
    NotifyGate(const NotifyGate&) = delete;
    NotifyGate& operator=(const NotifyGate&) = delete;

    // Asks for one delivery from the event loop.
    void post();

    // Marks the link busy for the life of the guard.
    class Hold {
    public:
        explicit Hold(NotifyGate& gate) : m_gate(gate) { ++m_gate.m_holds; }
        ~Hold() { m_gate.release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        NotifyGate& m_gate;
    };

private:
    void run();
    void release();

    std::function<void()> m_deliver;
    std::unique_ptr<QObject> m_context;
    bool m_posted = false;
    bool m_deferred = false;
    int m_holds = 0;
};

}  // namespace quorvin
