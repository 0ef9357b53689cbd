// The one table from DrvType to model driver. Each model driver registers
// its creator here; loading a configuration creates receivers by type.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "interfaces/receivertypes.h"

namespace quorvin {

class DriverEvents;
class Receiver;

using ModelCreator = std::function<std::unique_ptr<Receiver>(DriverEvents* owner)>;

// Registers (or replaces, or with an empty creator removes) the driver of a
// type. Types outside DrvNRD535..DrvTRC298 are refused (false).
bool registerModel(DrvType type, ModelCreator creator);
bool hasModel(std::int32_t type);
// nullptr for a type without a registered driver.
std::unique_ptr<Receiver> createModel(std::int32_t type, DriverEvents* owner);
// "NRD535" … "HF2050" for the eight driver types, empty otherwise.
std::string modelName(std::int32_t type);

}  // namespace quorvin
