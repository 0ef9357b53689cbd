// The small interface the serial link drives a port through. Production
// uses QSerialPort (qtserialbackend.h); tests script modem lines, line
// errors and write failures that a pseudo-terminal cannot produce.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvin {

// Line settings as the receiver's port expects them: speed in baud, 7 or 8
// data bits, parity letter n/e/o/m/s, 1 or 2 stop bits.
struct LineSettings {
    std::int32_t speed = 4800;
    int dataBits = 8;
    char parity = 'n';
    int stopBits = 1;
};

enum class SerialOpenResult {
    Ok,
    NoDevice,  // the device path names nothing
    InUse,  // another process (or another link) holds the port
    NoPermission,  // the user may not read and write the device
    Failed,  // anything else: not a serial device, settings refused
};

// What a backend reports from the event loop (or while it pulls input).
class SerialBackendListener {
public:
    virtual ~SerialBackendListener() = default;
    virtual void backendDataArrived() = 0;
    virtual void backendLineError() = 0;
};

class SerialBackend {
public:
    virtual ~SerialBackend() = default;
    virtual void setListener(SerialBackendListener* listener) = 0;

    // Opens the device with these settings, no handshaking, takes the
    // advisory lock and asserts RTS and DTR.
    virtual SerialOpenResult open(const std::string& device, const LineSettings& line) = 0;
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;

    // Modem lines; a line that cannot be read counts as not asserted.
    virtual bool dsr() = 0;
    virtual bool cts() = 0;

    virtual bool discardInput() = 0;
    // Sends every byte or fails.
    virtual bool write(const std::string& bytes) = 0;
    // Bytes waiting to be read, -1 when the port cannot tell.
    virtual std::int64_t bytesWaiting() = 0;
    // Everything waiting, as bytes; nullopt when the read fails.
    virtual std::optional<std::string> readAll() = 0;
    // Everything waiting, left in place for the next readAll; nullopt when
    // the port cannot show it (a read then waits its whole delay).
    virtual std::optional<std::string> peek() { return std::nullopt; }
    // True when a break, framing, parity or overrun error happened since
    // the previous call.
    virtual bool takeLineError() = 0;
    virtual bool setReceiveNotification(bool on) = 0;
};

}  // namespace quorvin
