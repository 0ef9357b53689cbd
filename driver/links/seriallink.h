// SerialLink: a receiver on a local serial port. Keeps the line settings
// and bus address of one receiver instance, loads and saves them as the
// S_ values of the instance's key, and carries frames as bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "commchannel.h"
#include "notifygate.h"
#include "serialbackend.h"
#include "serialports.h"

namespace quorvin {

class SerialLink : private SerialBackendListener {
public:
    // Without a backend the link has no port control: every operation
    // fails with last error 99.
    SerialLink(LinkOwner* owner, std::unique_ptr<SerialBackend> backend);
    ~SerialLink() override;
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    // Loads the S_ values under the given key path (missing values keep the
    // current ones) and remembers the path for Save.
    bool Load(const std::string& keyPath);
    bool Save();

    bool Open();
    bool Close();
    bool IsOpen();
    bool Write(const std::string& bytes, int charDelayMs, int afterDelayMs);
    std::string Read(int delayMs);
    bool SetEventMode(bool on);
    PortState ProbePort(int port);

    // Setters: each returns the value now in force.
    std::int16_t SetPort(std::int32_t port);
    std::int32_t SetSpeed(std::int32_t speed);
    std::int16_t SetDataBits(std::int32_t bits);
    std::int16_t SetStopBits(std::int32_t bits);
    char SetParity(char parity);
    std::int16_t SetBusAddress(std::int32_t address);
    void SetBusAddressing(bool inUse) { m_busAddressing = inUse; }
    void SetTestLink(bool on) { m_testLink = on ? 1 : 0; }

    std::int16_t port() const { return m_port; }
    std::int32_t speed() const { return m_speed; }
    std::int16_t dataBits() const { return m_dataBits; }
    std::int16_t stopBits() const { return m_stopBits; }
    char parity() const { return m_parity; }
    std::int16_t testLink() const { return m_testLink; }
    std::int16_t busAddress() const { return m_busAddress; }
    bool busAddressing() const { return m_busAddressing; }
    bool eventMode() const { return m_eventMode; }
    int lastError() const { return m_lastError; }
    bool hasControl() const { return m_backend != nullptr; }
    const std::string& keyPath() const { return m_keyPath; }

    // What the settings dialog reads and writes. Unlike the setters it
    // keeps mark and space parity, which the operator may choose there.
    struct Settings {
        std::int16_t port = 1;
        std::int32_t speed = 4800;
        std::int16_t dataBits = 8;
        std::int16_t stopBits = 1;
        char parity = 'n';
        std::int16_t testLink = 1;
        std::int16_t busAddress = 1;
        bool operator==(const Settings&) const = default;
    };
    Settings settings() const;
    void applySettings(const Settings& settings);

private:
    void backendDataArrived() override;
    void backendLineError() override;
    void deliver();
    bool fail(int error);
    // An open refused for lack of permission: the open error, and the user
    // told once which group grants access.
    bool failForPermission(const std::string& device);

    LinkOwner* m_owner;
    std::unique_ptr<SerialBackend> m_backend;
    NotifyGate m_gate;
    std::string m_keyPath;

    std::int16_t m_port = 1;
    std::int32_t m_speed = 4800;
    std::int16_t m_dataBits = 8;
    std::int16_t m_stopBits = 1;
    char m_parity = 'n';
    std::int16_t m_testLink = 1;
    std::int16_t m_busAddress = 1;
    bool m_busAddressing = false;
    bool m_eventMode = false;
    bool m_lineErrorPending = false;
    bool m_lineErrorToReport = false;
    int m_lastError = LinkOk;
    // The user has been told that the port may not be opened; told again
    // only after an open succeeded.
    bool m_permissionReported = false;
};

}  // namespace quorvin
