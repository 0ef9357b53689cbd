// The texts of the connection and reply error numbers, as the operator sees
// them in the status labels.
#pragma once

#include <cstdint>
#include <string>

namespace quorvin {

// "Unknown error" for a number that is not a ConnErr or DataErr.
std::string errorText(std::int32_t code);

}  // namespace quorvin
