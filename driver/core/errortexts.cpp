// Error number → text. The texts are the system's own, letter for letter
// (the data error text has two blanks).
#include "errortexts.h"

#include "interfaces/receivertypes.h"

namespace quorvin {

std::string errorText(std::int32_t code)
{
    switch (code) {
    case ConnectObjectError: return "Active/X not registered";
    case ConnectNoError: return "No error";
    case ConnectLnClosed: return "Link has been closed";
    case ConnectLnLoopError: return "Link not connected";
    case ConnectLnTimeOut: return "Link time out";
    case ConnectLnBadAddr: return "Bad link address or port";
    case ConnectLnDatError: return "Link configuration error";
    case ConnectLnOpnError: return "Cannot open, being used by another";
    case ConnectLnAnyError: return "Unknown link errors";
    case ConnectRxComPending: return "Comm. connection pending";
    case ConnectRxTimeOut: return "Comm. time out while talking";
    case ConnectRxIdenError: return "Comm. ident error";
    case ConnectRxCommError: return "Comm. error";
    case ConnectRxBadAddr: return "Bad Rx address";
    case ConnectRxBiteError: return "Autotest error";
    case ConnectRxDataError: return "Comm. data  error";
    case ConnectRxFramError: return "Comm. frame error";
    default: return "Unknown error";
    }
}

}  // namespace quorvin
