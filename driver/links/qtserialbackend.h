// The production serial backend: a QSerialPort on the device path, an
// advisory flock() on its descriptor so other programs (and the probe) see
// the port as in use, and the kernel's serial error counters (TIOCGICOUNT)
// for break, framing, parity and overrun errors.
#pragma once

#include <memory>

#include "serialbackend.h"

class QSerialPort;

namespace quorvin {

class QtSerialBackend : public SerialBackend {
public:
    QtSerialBackend();
    ~QtSerialBackend() override;

    void setListener(SerialBackendListener* listener) override { m_listener = listener; }
    SerialOpenResult open(const std::string& device, const LineSettings& line) override;
    bool close() override;
    bool isOpen() const override;
    bool dsr() override;
    bool cts() override;
    bool discardInput() override;
    bool write(const std::string& bytes) override;
    std::int64_t bytesWaiting() override;
    std::optional<std::string> readAll() override;
    std::optional<std::string> peek() override;
    bool takeLineError() override;
    bool setReceiveNotification(bool on) override;

private:
    struct Counters {
        int frame = 0;
        int overrun = 0;
        int parity = 0;
        int brk = 0;
        int bufOverrun = 0;
    };
    void onReadyRead();
    void onError(int error);
    void pull();
    bool readCounters(Counters& counters) const;
    int modemLines();

    std::unique_ptr<QSerialPort> m_port;
    SerialBackendListener* m_listener = nullptr;
    Counters m_counters;
    bool m_haveCounters = false;
    bool m_closing = false;
};

}  // namespace quorvin
