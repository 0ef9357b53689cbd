// The seam between the channel logic and its dialogs. The logic does not
// link Qt Widgets; the dialogs target (driver/links/dialogs) installs its
// functions here, and without them Configure ends as if cancelled.
#pragma once

#include <string>

#include "commchannel.h"

namespace quorvin {

struct LinkDialogs {
    // "Communication channel selection": shows `type`, writes the choice
    // back; true when the operator pressed "&Next".
    bool (*selectChannel)(CommChannel::Type& type);
    // "<instance> Serial settings" / "<instance> Socket settings": true when
    // the operator pressed OK with something changed (the link then holds
    // and has saved the new settings).
    bool (*serialSettings)(SerialLink& link, const std::string& instanceName);
    bool (*socketSettings)(SocketLink& link, const std::string& instanceName);
};

// Installs the dialogs (nullptr removes them); returns the previous ones.
const LinkDialogs* setLinkDialogs(const LinkDialogs* dialogs);
const LinkDialogs* linkDialogs();

}  // namespace quorvin
