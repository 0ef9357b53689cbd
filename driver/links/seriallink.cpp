// The serial link: open and close with the DSR/CTS test, writes with
// per-character and after-delays, reads after a delay, line errors, and the
// S_ settings of the instance.
#include "seriallink.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/reporter.h"
#include "platform/settingsstore.h"
#include "platform/wait.h"

namespace quorvin {

namespace {

constexpr const char* kParity = "S_Parity";
constexpr const char* kPort = "S_Port";
constexpr const char* kSpeed = "S_Speed";
constexpr const char* kData = "S_Data";
constexpr const char* kStop = "S_Stop";
constexpr const char* kTestLink = "S_TestLink";
constexpr const char* kBusAddress = "S_BusAdress";

// The store keeps "no address" as 65535.
constexpr std::int32_t kNoAddressStored = 65535;

// How often a read that knows its reply looks at what has arrived: a
// byte takes about half a millisecond at 19200 baud.
constexpr int kReplySliceMs = 1;

}  // namespace

SerialLink::SerialLink(LinkOwner* owner, std::unique_ptr<SerialBackend> backend)
    : m_owner(owner), m_backend(std::move(backend)), m_gate([this] { deliver(); })
{
    if (m_backend) {
        m_backend->setListener(this);
    } else {
        platform::reporter().message("Serial Driver Error", "Error accessing the serial port driver",
                                     platform::MessageIcon::Warning);
    }
}

SerialLink::~SerialLink()
{
    if (m_backend) {
        m_backend->setListener(nullptr);
        m_backend->close();
    }
}

bool SerialLink::fail(int error)
{
    m_lastError = error;
    return false;
}

bool SerialLink::failForPermission(const std::string& device)
{
    fail(LinkOpenError);
    if (!m_permissionReported) {
        m_permissionReported = true;
        // A box lets events run (the driver stays busy, so the link lives
        // on); the error is set before it, and nothing follows but the return.
        platform::reporter().message("Serial port", permissionMessage(device), platform::MessageIcon::Warning);
    }
    return false;
}

bool SerialLink::Load(const std::string& keyPath)
{
    m_keyPath = keyPath;
    auto& store = platform::SettingsStore::shared();
    if (!store.createKey(keyPath)) {
        return false;
    }
    if (auto parity = store.readText(keyPath, kParity)) {
        SetParity(parity->empty() ? 'n' : (*parity)[0]);
    }
    if (auto port = store.readNumber(keyPath, kPort)) {
        SetPort(*port);
    }
    if (auto speed = store.readNumber(keyPath, kSpeed)) {
        SetSpeed(*speed);
    }
    if (auto bits = store.readNumber(keyPath, kData)) {
        SetDataBits(*bits);
    }
    if (auto bits = store.readNumber(keyPath, kStop)) {
        SetStopBits(*bits);
    }
    if (auto test = store.readNumber(keyPath, kTestLink)) {
        m_testLink = static_cast<std::int16_t>(*test);
    }
    if (auto address = store.readNumber(keyPath, kBusAddress)) {
        SetBusAddress(*address == kNoAddressStored ? -1 : *address);
    }
    return true;
}

bool SerialLink::Save()
{
    if (m_keyPath.empty()) {
        return false;
    }
    auto& store = platform::SettingsStore::shared();
    bool ok = store.writeText(m_keyPath, kParity, std::string(1, m_parity));
    ok = store.writeNumber(m_keyPath, kPort, m_port) && ok;
    ok = store.writeNumber(m_keyPath, kSpeed, m_speed) && ok;
    ok = store.writeNumber(m_keyPath, kData, m_dataBits) && ok;
    ok = store.writeNumber(m_keyPath, kStop, m_stopBits) && ok;
    ok = store.writeNumber(m_keyPath, kTestLink, m_testLink) && ok;
    ok = store.writeNumber(m_keyPath, kBusAddress, m_busAddress < 0 ? kNoAddressStored : m_busAddress) && ok;
    return ok;
}

std::int16_t SerialLink::SetPort(std::int32_t port)
{
    if (port >= kFirstPort && port <= kLastPort && ProbePort(port) != PortState::Absent) {
        m_port = static_cast<std::int16_t>(port);
    }
    return m_port;
}

std::int32_t SerialLink::SetSpeed(std::int32_t speed)
{
    if (speed >= 19200) {
        m_speed = 19200;
    } else if (speed >= 9600) {
        m_speed = 9600;
    } else if (speed >= 4800) {
        m_speed = 4800;
    } else if (speed >= 2400) {
        m_speed = 2400;
    } else {
        m_speed = 1200;
    }
    return m_speed;
}

std::int16_t SerialLink::SetDataBits(std::int32_t bits)
{
    m_dataBits = bits < 8 ? 7 : 8;
    return m_dataBits;
}

std::int16_t SerialLink::SetStopBits(std::int32_t bits)
{
    m_stopBits = bits < 2 ? 1 : 2;
    return m_stopBits;
}

char SerialLink::SetParity(char parity)
{
    m_parity = (parity == 'e' || parity == 'o') ? parity : 'n';
    return m_parity;
}

std::int16_t SerialLink::SetBusAddress(std::int32_t address)
{
    if (address == -1 || (address >= 0 && address <= 99)) {
        m_busAddress = static_cast<std::int16_t>(address);
    }
    return m_busAddress;
}

PortState SerialLink::ProbePort(int port)
{
    return probeDevice(portDevice(port));
}

SerialLink::Settings SerialLink::settings() const
{
    return Settings{m_port, m_speed, m_dataBits, m_stopBits, m_parity, m_testLink, m_busAddress};
}

void SerialLink::applySettings(const Settings& settings)
{
    if (settings.port >= kFirstPort && settings.port <= kLastPort) {
        m_port = settings.port;
    }
    SetSpeed(settings.speed);
    SetDataBits(settings.dataBits);
    SetStopBits(settings.stopBits);
    switch (settings.parity) {
    case 'n':
    case 'e':
    case 'o':
    case 'm':
    case 's': m_parity = settings.parity; break;
    default: m_parity = 'n'; break;
    }
    m_testLink = settings.testLink;
    SetBusAddress(settings.busAddress);
}

bool SerialLink::Open()
{
    NotifyGate::Hold hold(m_gate);
    if (!m_backend) {
        return fail(LinkNoControl);
    }
    if (m_backend->isOpen()) {
        Close();
    }
    const std::string device = portDevice(m_port);
    if (device.empty()) {
        return fail(LinkBadAddr);
    }
    // A fresh open starts with receive notification off; drivers turn it
    // on once their opening dialogue is done.
    m_eventMode = false;
    m_lineErrorPending = false;
    m_lineErrorToReport = false;
    switch (m_backend->open(device, LineSettings{m_speed, m_dataBits, m_parity, m_stopBits})) {
    case SerialOpenResult::Ok: break;
    case SerialOpenResult::NoDevice: return fail(LinkBadAddr);
    case SerialOpenResult::NoPermission: return failForPermission(device);
    case SerialOpenResult::InUse:
    case SerialOpenResult::Failed: return fail(LinkOpenError);
    }
    m_permissionReported = false;
    m_lastError = LinkOk;
    if (m_testLink != 0 && !(m_backend->dsr() && m_backend->cts())) {
        m_backend->close();
        return fail(LinkLoop);
    }
    if (!m_backend->discardInput()) {
        return fail(LinkOtherError);
    }
    m_backend->takeLineError();  // counts from before the open do not matter
    return true;
}

bool SerialLink::Close()
{
    NotifyGate::Hold hold(m_gate);
    if (!m_backend) {
        return fail(LinkNoControl);
    }
    if (!m_backend->isOpen()) {
        return true;
    }
    m_eventMode = false;
    m_backend->setReceiveNotification(false);
    (void)m_backend->readAll();  // drain what is waiting
    bool ok = m_backend->discardInput();
    ok = m_backend->close() && ok;
    m_lineErrorPending = false;
    m_lineErrorToReport = false;
    if (!ok) {
        return fail(LinkOtherError);
    }
    return true;
}

bool SerialLink::IsOpen()
{
    return m_backend && m_backend->isOpen();
}

bool SerialLink::Write(const std::string& bytes, int charDelayMs, int afterDelayMs)
{
    NotifyGate::Hold hold(m_gate);
    if (!m_backend) {
        return fail(LinkNoControl);
    }
    if (!m_backend->isOpen()) {
        return fail(LinkClosed);
    }
    if (charDelayMs > 0) {
        for (char byte : bytes) {
            if (!m_backend->write(std::string(1, byte))) {
                return fail(LinkOtherError);
            }
            platform::pauseMs(charDelayMs);
        }
    } else if (!m_backend->write(bytes)) {
        return fail(LinkOtherError);
    }
    if (afterDelayMs > 0) {
        platform::pauseMs(afterDelayMs);
    }
    m_lastError = LinkOk;
    return true;
}

std::string SerialLink::Read(int delayMs, const ReplyComplete& complete)
{
    NotifyGate::Hold hold(m_gate);
    if (!m_backend) {
        fail(LinkNoControl);
        return {};
    }
    if (!m_backend->isOpen()) {
        fail(LinkClosed);
        return {};
    }
    if (delayMs > 0) {
        waitForReply(delayMs, complete);
    }
    const std::int64_t waiting = m_backend->bytesWaiting();
    if (waiting < 0) {
        fail(LinkOtherError);
        return {};
    }
    if (m_backend->takeLineError()) {
        m_lineErrorPending = true;
    }
    if (m_lineErrorPending) {
        // The bytes stay waiting: the next read hands them over.
        m_lineErrorPending = false;
        fail(LinkDataError);
        return {};
    }
    if (waiting == 0) {
        fail(LinkTimeOut);
        return {};
    }
    std::optional<std::string> data = m_backend->readAll();
    if (!data) {
        fail(LinkOtherError);
        return {};
    }
    if (!data->empty()) {
        m_lastError = LinkOk;
        return std::move(*data);
    }
    if (m_testLink != 0) {
        fail(m_backend->dsr() && m_backend->cts() ? LinkTimeOut : LinkLoop);
    } else {
        fail(LinkTimeOut);
    }
    return {};
}

void SerialLink::waitForReply(int delayMs, const ReplyComplete& complete)
{
    if (!complete) {
        platform::sleepMs(delayMs);
        return;
    }
    // The delay is the upper bound, measured on the clock (a slice may
    // sleep longer than asked); the reply ends the wait once it is whole.
    const std::uint32_t start = platform::clock().millis();
    for (;;) {
        const std::optional<std::string> received = m_backend->peek();
        if (received && complete(*received)) {
            return;
        }
        const std::uint32_t elapsed = platform::clock().millis() - start;
        if (elapsed >= static_cast<std::uint32_t>(delayMs)) {
            return;
        }
        platform::sleepMs(std::min(kReplySliceMs, delayMs - static_cast<int>(elapsed)));
    }
}

bool SerialLink::SetEventMode(bool on)
{
    if (!m_backend) {
        return fail(LinkNoControl);
    }
    if (!m_backend->setReceiveNotification(on)) {
        return fail(LinkOtherError);
    }
    m_eventMode = on;
    if (on) {
        m_gate.post();  // bytes that came before the switch are announced too
    }
    return true;
}

void SerialLink::backendDataArrived()
{
    m_gate.post();
}

void SerialLink::backendLineError()
{
    m_lineErrorPending = true;
    m_lineErrorToReport = true;
    m_gate.post();
}

void SerialLink::deliver()
{
    if (m_owner == nullptr || !m_eventMode || !IsOpen()) {
        m_lineErrorToReport = false;
        return;
    }
    if (m_lineErrorToReport) {
        m_lineErrorToReport = false;
        m_gate.post();  // data waiting behind the error is announced next
        m_owner->onLinkData(false);
        return;
    }
    bool waiting = false;
    {
        NotifyGate::Hold hold(m_gate);
        waiting = m_backend->bytesWaiting() > 0;
    }
    if (waiting) {
        m_owner->onLinkData(true);
    }
}

}  // namespace quorvin
