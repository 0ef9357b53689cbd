// Registration of the built-in model drivers: one for each of the eight
// types of the table of models (DrvTRC298 has none).
#include "builtinmodels.h"

#include <memory>

#include "driver/core/modelregistry.h"
#include "driver/models/hf2050/hf2050receiver.h"
#include "driver/models/ndx264/ndx264receiver.h"
#include "driver/models/nrd535/nrd535receiver.h"
#include "driver/models/ra1792/ra1792receiver.h"
#include "driver/models/ra6790/ra6790receiver.h"
#include "driver/models/rek085/rek085receiver.h"
#include "driver/models/trc243/trc243receiver.h"
#include "driver/models/trc294/trc294receiver.h"

namespace quorvin {

void registerBuiltinModels()
{
    // A driver that a program or test registered before the library's first
    // object keeps its place.
    if (!hasModel(DrvNRD535)) {
        registerModel(DrvNRD535, [](DriverEvents* owner) { return std::make_unique<Nrd535Receiver>(owner); });
    }
    if (!hasModel(DrvRA1792)) {
        registerModel(DrvRA1792, [](DriverEvents* owner) { return std::make_unique<Ra1792Receiver>(owner); });
    }
    if (!hasModel(DrvRA6790)) {
        registerModel(DrvRA6790, [](DriverEvents* owner) { return std::make_unique<Ra6790Receiver>(owner); });
    }
    if (!hasModel(DrvHF2050)) {
        registerModel(DrvHF2050, [](DriverEvents* owner) { return std::make_unique<Hf2050Receiver>(owner); });
    }
    if (!hasModel(DrvREK085)) {
        registerModel(DrvREK085, [](DriverEvents* owner) { return std::make_unique<Rek085Receiver>(owner); });
    }
    if (!hasModel(DrvNDX264)) {
        registerModel(DrvNDX264, [](DriverEvents* owner) { return std::make_unique<Ndx264Receiver>(owner); });
    }
    if (!hasModel(DrvTRC243)) {
        registerModel(DrvTRC243, [](DriverEvents* owner) { return std::make_unique<Trc243Receiver>(owner); });
    }
    if (!hasModel(DrvTRC294)) {
        registerModel(DrvTRC294, [](DriverEvents* owner) { return std::make_unique<Trc294Receiver>(owner); });
    }
}

}  // namespace quorvin
