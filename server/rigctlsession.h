// One client of the rigctld text protocol: bytes in, reply texts out,
// against one ReceiverAccess. No sockets and no Qt here.
//
// One command per line. Get commands answer their values one per line,
// set commands "RPRT 0", failures "RPRT -n" with the protocol's negative
// codes. A line that starts with '+' (or ';', '|', ',') asks for the
// extended reply form: the command's name, its values labelled, and the
// RPRT line, separated by a newline (or by that character).
//
// Commands run one after another: while a change waits for the receiver,
// later lines wait in the session's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "receiveraccess.h"

namespace server {

// The protocol's error codes, as they go on the wire.
namespace rprt {
inline constexpr int Ok = 0;
inline constexpr int Invalid = -1;  // invalid parameter or malformed command
inline constexpr int NotImplemented = -4;
inline constexpr int TimedOut = -5;
inline constexpr int IoError = -6;  // the receiver is not connected
inline constexpr int NotAvailable = -11;  // the receiver lacks it (everything transmit-related)
}  // namespace rprt

int rprtCode(SetResult result);

// The protocol's name of a receiver mode and back; empty / ModNone where
// the protocol has no name for it.
std::string modeName(quorvin::MODTYPE mode);
quorvin::MODTYPE modeFromName(std::string_view name);
// The protocol's bit for a mode (0 when it has none).
std::uint64_t modeBit(quorvin::MODTYPE mode);

struct SessionLimits {
    std::size_t maxLine = 1024;  // longest command line
    std::size_t maxBuffered = 64 * 1024;  // bytes waiting behind a command in progress
};

class RigctlSession {
public:
    using Sender = std::function<void(const std::string&)>;

    RigctlSession(ReceiverAccess& receiver, Sender send, SessionLimits limits = {});
    ~RigctlSession();
    RigctlSession(const RigctlSession&) = delete;
    RigctlSession& operator=(const RigctlSession&) = delete;

    // Takes bytes as they arrive and answers every complete line (through
    // the sender, in order). Once closed() the session takes nothing more.
    void feed(std::string_view bytes);
    // The client asked to quit, or overflowed a limit (it was told why).
    bool closed() const { return m_closed; }
    // A change is waiting for the receiver.
    bool busy() const { return m_busy; }
    // Called once when the session closes (after its last words were sent).
    void setCloseHandler(std::function<void()> handler) { m_onClose = std::move(handler); }

    // The \dump_state block for a receiver (protocol version 0).
    static std::string dumpState(ReceiverAccess& receiver);

private:
    struct Command;
    struct Reply;

    void drain();
    void runLine(std::string line);
    void finish(const Reply& reply);
    void close(const std::string& lastWords);
    // Waits for a change; the reply goes out when it is done.
    void await(Reply reply, const std::function<void(SetDone)>& start);

    void doGetFreq(Reply& r);
    void doSetFreq(Reply& r, const std::vector<std::string>& args);
    void doGetMode(Reply& r);
    void doSetMode(Reply& r, const std::vector<std::string>& args);
    void doGetLevel(Reply& r, const std::vector<std::string>& args);
    void doSetLevel(Reply& r, const std::vector<std::string>& args);
    void doSetVfo(Reply& r, const std::vector<std::string>& args);
    void doSetSplit(Reply& r, const std::vector<std::string>& args);
    void doSetMem(Reply& r, const std::vector<std::string>& args);
    void doGetMem(Reply& r);

    ReceiverAccess& m_rx;
    Sender m_send;
    std::function<void()> m_onClose;
    SessionLimits m_limits;
    std::string m_buffer;
    bool m_closed = false;
    bool m_busy = false;
    bool m_draining = false;
    bool m_awaitStarted = false;
    // Completions of changes hold this weakly, so a session that went away
    // meanwhile is left alone.
    std::shared_ptr<RigctlSession*> m_self;
};

}  // namespace server
