// Texts on their way from a receiver to the client. Receivers speak 8-bit
// text; clients get UTF-8. A text that is valid UTF-8 passes unchanged,
// anything else is read as Latin-1.
#pragma once

#include <string>

namespace quorvin {

std::string toClientText(const std::string& receiverText);

}  // namespace quorvin
