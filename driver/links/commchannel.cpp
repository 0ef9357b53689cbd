// CommChannel: forwards each operation to the link its type selects, loads
// and saves C_Type, and runs the configuration dialogs through their seam.
#include "commchannel.h"

#include "linkdialogs.h"
#include "pinger.h"
#include "platform/settingsstore.h"
#include "qtserialbackend.h"
#include "seriallink.h"
#include "socketlink.h"

namespace quorvin {

namespace {

constexpr const char* kType = "C_Type";

const LinkDialogs* g_dialogs = nullptr;

}  // namespace

const LinkDialogs* setLinkDialogs(const LinkDialogs* dialogs)
{
    const LinkDialogs* old = g_dialogs;
    g_dialogs = dialogs;
    return old;
}

const LinkDialogs* linkDialogs()
{
    return g_dialogs;
}

ConnErr mapLinkError(int linkError)
{
    switch (linkError) {
    case LinkOk: return ConnectNoError;
    case LinkClosed: return ConnectLnClosed;
    case LinkLoop: return ConnectLnLoopError;
    case LinkTimeOut: return ConnectLnTimeOut;
    case LinkBadAddr: return ConnectLnBadAddr;
    case LinkDataError: return ConnectLnDatError;
    case LinkOpenError: return ConnectLnOpnError;
    case LinkNoControl: return ConnectObjectError;
    default: return ConnectLnAnyError;
    }
}

CommChannel::CommChannel(LinkOwner* owner)
    : CommChannel(owner, std::make_unique<QtSerialBackend>(), std::make_unique<IcmpPinger>())
{
}

CommChannel::CommChannel(LinkOwner* owner, std::unique_ptr<SerialBackend> serialBackend, std::unique_ptr<Pinger> pinger)
    : m_owner(owner), m_serial(std::make_unique<SerialLink>(owner, std::move(serialBackend))),
      m_socket(std::make_unique<SocketLink>(owner, std::move(pinger)))
{
}

CommChannel::~CommChannel() = default;

std::string CommChannel::keyPath() const
{
    using platform::SettingsStore;
    return SettingsStore::join(SettingsStore::join(platform::kSettingsRoot, m_driverKey), m_instanceKey);
}

bool CommChannel::Load(const std::string& driverKey, const std::string& instanceKey)
{
    m_driverKey = driverKey;
    m_instanceKey = instanceKey;
    const std::string path = keyPath();
    auto& store = platform::SettingsStore::shared();
    if (!store.createKey(path)) {
        return false;
    }
    if (auto type = store.readNumber(path, kType)) {
        // Anything but 1 is the serial link, the channel's default.
        m_type = *type == SocketType ? SocketType : SerialType;
    }
    const bool serialLoaded = m_serial->Load(path);
    const bool socketLoaded = m_socket->Load(path);
    return serialLoaded && socketLoaded;
}

void CommChannel::SaveType()
{
    platform::SettingsStore::shared().writeNumber(keyPath(), kType, m_type);
}

int CommChannel::Configure(const std::string& title)
{
    const LinkDialogs* dialogs = linkDialogs();
    if (dialogs == nullptr || dialogs->selectChannel == nullptr) {
        return 0;
    }
    Type chosen = m_type;
    if (!dialogs->selectChannel(chosen)) {
        return 0;
    }
    const std::string name = title.empty() ? m_instanceKey : title;
    LinkSettingsEnd end = LinkSettingsEnd::Cancelled;
    if (chosen == SocketType) {
        end = dialogs->socketSettings != nullptr ? dialogs->socketSettings(*m_socket, name) : end;
    } else {
        end = dialogs->serialSettings != nullptr ? dialogs->serialSettings(*m_serial, name) : end;
    }
    if (end == LinkSettingsEnd::Cancelled) {
        // Cancel leaves the stored type and the open link as they were.
        return 0;
    }
    bool changed = end == LinkSettingsEnd::Saved;
    // Choosing the other link is a change even when its settings stay.
    if (chosen != m_type) {
        m_type = chosen;
        SaveType();
        changed = true;
    }
    if (!changed) {
        return 0;
    }
    if (m_type == SocketType) {
        m_serial->Close();
    } else {
        m_socket->Close();
    }
    return 1;
}

bool CommChannel::Open(bool open)
{
    if (m_type == SocketType) {
        return open ? m_socket->Open() : m_socket->Close();
    }
    return open ? m_serial->Open() : m_serial->Close();
}

bool CommChannel::IsOpen()
{
    return m_type == SocketType ? m_socket->IsOpen() : m_serial->IsOpen();
}

bool CommChannel::Write(const std::string& bytes, int charDelayMs, int afterDelayMs)
{
    return m_type == SocketType ? m_socket->Write(bytes, charDelayMs, afterDelayMs)
                                : m_serial->Write(bytes, charDelayMs, afterDelayMs);
}

std::string CommChannel::Read(int delayMs, const ReplyComplete& complete)
{
    return m_type == SocketType ? m_socket->Read(delayMs, complete) : m_serial->Read(delayMs, complete);
}

ConnErr CommChannel::LastError()
{
    return mapLinkError(LinkErrorNumber());
}

int CommChannel::LinkErrorNumber()
{
    return m_type == SocketType ? m_socket->lastError() : m_serial->lastError();
}

void CommChannel::SetBusAddressing(bool inUse)
{
    m_serial->SetBusAddressing(inUse);
    m_socket->SetBusAddressing(inUse);
}

std::int16_t CommChannel::BusAddress()
{
    if (m_type == SocketType) {
        return m_socket->busAddressing() ? m_socket->busAddress() : std::int16_t{-1};
    }
    return m_serial->busAddressing() ? m_serial->busAddress() : std::int16_t{-1};
}

std::int16_t CommChannel::SetBusAddress(std::int16_t address)
{
    return m_type == SocketType ? m_socket->SetBusAddress(address) : m_serial->SetBusAddress(address);
}

std::int32_t CommChannel::SetSpeed(std::int32_t speed)
{
    return m_type == SocketType ? speed : m_serial->SetSpeed(speed);
}

std::int16_t CommChannel::SetDataBits(std::int16_t bits)
{
    return m_type == SocketType ? bits : m_serial->SetDataBits(bits);
}

char CommChannel::SetParity(char parity)
{
    return m_type == SocketType ? parity : m_serial->SetParity(parity);
}

std::int16_t CommChannel::SetStopBits(std::int16_t bits)
{
    return m_type == SocketType ? bits : m_serial->SetStopBits(bits);
}

void CommChannel::SetEventMode(bool on)
{
    if (m_type == SocketType) {
        m_socket->SetEventMode(on);
    } else {
        m_serial->SetEventMode(on);
    }
}

int CommChannel::AddedLatency()
{
    if (m_type != SocketType) {
        return 0;
    }
    return m_socket->latency() > 0 ? m_socket->latency() : 0;
}

}  // namespace quorvin
