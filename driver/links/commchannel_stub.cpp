// Placeholder channel until the serial and TCP/IP links land: every
// operation fails as a link without a control does (last error 99).
#include "commchannel.h"

namespace quorvin {

class SerialLink {};
class SocketLink {};

ConnErr mapLinkError(int linkError)
{
    switch (linkError) {
    case 0: return ConnectNoError;
    case 1: return ConnectLnClosed;
    case 2: return ConnectLnLoopError;
    case 3: return ConnectLnTimeOut;
    case 4: return ConnectLnBadAddr;
    case 5: return ConnectLnDatError;
    case 6: return ConnectLnOpnError;
    case 99: return ConnectObjectError;
    default: return ConnectLnAnyError;
    }
}

CommChannel::CommChannel(LinkOwner* owner)
    : m_owner(owner), m_serial(std::make_unique<SerialLink>()), m_socket(std::make_unique<SocketLink>())
{
}
CommChannel::~CommChannel() = default;
bool CommChannel::Load(const std::string& driverKey, const std::string& instanceKey)
{
    m_driverKey = driverKey;
    m_instanceKey = instanceKey;
    return true;
}
void CommChannel::SaveType() {}
int CommChannel::Configure(const std::string&) { return 0; }
bool CommChannel::Open(bool) { return false; }
bool CommChannel::IsOpen() { return false; }
bool CommChannel::Write(const std::string&, int, int) { return false; }
std::string CommChannel::Read(int) { return {}; }
ConnErr CommChannel::LastError() { return ConnectObjectError; }
int CommChannel::LinkErrorNumber() { return LinkNoControl; }
void CommChannel::SetBusAddressing(bool) {}
std::int16_t CommChannel::BusAddress() { return -1; }
std::int16_t CommChannel::SetBusAddress(std::int16_t a) { return a; }
std::int32_t CommChannel::SetSpeed(std::int32_t s) { return s; }
std::int16_t CommChannel::SetDataBits(std::int16_t b) { return b; }
char CommChannel::SetParity(char p) { return p; }
std::int16_t CommChannel::SetStopBits(std::int16_t b) { return b; }
void CommChannel::SetEventMode(bool) {}
int CommChannel::AddedLatency() { return 0; }

}  // namespace quorvin
