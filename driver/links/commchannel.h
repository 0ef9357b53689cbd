// CommChannel: the one way a receiver talks to its receiver. It holds a
// serial link and a TCP/IP link side by side and forwards each operation to
// the one its type selects. Bytes are bytes: frames and replies are
// std::string used as a byte buffer (0x00 and 0x80..0xFF pass unchanged).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "interfaces/receivertypes.h"

namespace quorvin {

class SerialLink;
class SocketLink;
class SerialBackend;
class Pinger;

// The receiver side of a link's notifications. `dataReceived` is true when
// data arrived and false for a line error reported while receive
// notification is on.
class LinkOwner {
public:
    virtual ~LinkOwner() = default;
    virtual void onLinkData(bool dataReceived) = 0;
};

// Whether the bytes a read has seen so far hold the whole reply it waits
// for (a model knows: its end byte, its frame length, its last record). A
// read given one ends as soon as it answers true, so its delay becomes the
// upper bound of the wait instead of its length; what the read then hands
// over, and its errors, are those of a read that waited the whole delay.
// Bytes that arrive later stay for the next read.
using ReplyComplete = std::function<bool(std::string_view received)>;

// Link error numbers, shared by both links.
enum LinkError : int {
    LinkOk = 0,
    LinkClosed = 1,
    LinkLoop = 2,
    LinkTimeOut = 3,
    LinkBadAddr = 4,
    LinkDataError = 5,
    LinkOpenError = 6,
    LinkOtherError = 7,
    LinkNoControl = 99,
};

// Channel error number → ConnErr (0 → 1000, 1 → 1001, …, 99 → 999,
// anything else → 1010).
ConnErr mapLinkError(int linkError);

class CommChannel {
public:
    enum Type : std::int32_t { SerialType = 0, SocketType = 1 };

    explicit CommChannel(LinkOwner* owner);
    // With a given serial backend and echo (tests); a null backend leaves
    // the serial link without a port control.
    CommChannel(LinkOwner* owner, std::unique_ptr<SerialBackend> serialBackend, std::unique_ptr<Pinger> pinger);
    ~CommChannel();
    CommChannel(const CommChannel&) = delete;
    CommChannel& operator=(const CommChannel&) = delete;

    // Reads C_Type, then the serial and the socket settings, from
    // "SOFTWARE\Korvane Software\<driverKey>\<instanceKey>".
    bool Load(const std::string& driverKey, const std::string& instanceKey);
    void SaveType();
    // The channel selection dialog, then the chosen link's settings dialog,
    // both titled with `title` (the instance name; empty uses the instance
    // key). Returns 1 when the caller should reopen the channel with new
    // settings, 0 when nothing changed or the operator cancelled. A changed
    // type is saved (C_Type) and the other link is closed, once the chosen
    // link's settings ended with OK; Cancel in either dialog changes nothing.
    int Configure(const std::string& title);

    bool Open(bool open);
    bool IsOpen();
    bool Write(const std::string& bytes, int charDelayMs, int afterDelayMs);
    // Reads what the receiver sent after a delay; with `complete` the wait
    // ends as soon as the reply is whole (an empty check waits the whole
    // delay).
    std::string Read(int delayMs, const ReplyComplete& complete = {});

    // The selected link's last error, as ConnErr and as the raw number.
    // Frames and replies are bytes; nothing is converted on the way.
    ConnErr LastError();
    int LinkErrorNumber();

    void SetBusAddressing(bool inUse);
    std::int16_t BusAddress();
    std::int16_t SetBusAddress(std::int16_t address);
    std::int32_t SetSpeed(std::int32_t speed);
    std::int16_t SetDataBits(std::int16_t bits);
    char SetParity(char parity);
    std::int16_t SetStopBits(std::int16_t bits);
    void SetEventMode(bool on);
    // 0 for the serial link; the measured echo time for TCP/IP (0 when no
    // echo came back, so waits never shrink).
    int AddedLatency();

    Type type() const { return m_type; }
    void setType(Type type) { m_type = type; }
    const std::string& driverKey() const { return m_driverKey; }
    const std::string& instanceKey() const { return m_instanceKey; }
    // "SOFTWARE\Korvane Software\<driverKey>\<instanceKey>".
    std::string keyPath() const;
    SerialLink& serial() { return *m_serial; }
    SocketLink& socket() { return *m_socket; }

private:
    LinkOwner* m_owner;
    Type m_type = SerialType;
    std::string m_driverKey;
    std::string m_instanceKey;
    std::unique_ptr<SerialLink> m_serial;
    std::unique_ptr<SocketLink> m_socket;
};

}  // namespace quorvin
