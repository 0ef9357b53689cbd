// The seam between the channel logic and its dialogs. The logic does not
// link Qt Widgets; the dialogs target (driver/links/dialogs) installs its
// functions here, and without them Configure ends as if cancelled.
#pragma once

#include <string>

#include "commchannel.h"

namespace quorvin {

// How a link's settings dialog ended.
enum class LinkSettingsEnd {
    Cancelled,  // Cancel (or closed): nothing may change
    Unchanged,  // OK with the settings as they were: nothing saved
    Saved,  // OK with changes: the link holds and has saved them
};

struct LinkDialogs {
    // "Communication channel selection": shows `type`, writes the choice
    // back; true when the operator pressed "&Next".
    bool (*selectChannel)(CommChannel::Type& type);
    // "<instance> Serial settings" / "<instance> Socket settings".
    LinkSettingsEnd (*serialSettings)(SerialLink& link, const std::string& instanceName);
    LinkSettingsEnd (*socketSettings)(SocketLink& link, const std::string& instanceName);
};

// Installs the dialogs (nullptr removes them); returns the previous ones.
const LinkDialogs* setLinkDialogs(const LinkDialogs* dialogs);
const LinkDialogs* linkDialogs();

}  // namespace quorvin
