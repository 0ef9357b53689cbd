// DrvType → creator table.
#include "modelregistry.h"

#include <array>

#include "driver/core/receiver.h"

namespace quorvin {

namespace {

constexpr int kTypeCount = DrvTRC298 + 1;

std::array<ModelCreator, kTypeCount>& creators()
{
    static std::array<ModelCreator, kTypeCount> table;
    return table;
}

bool inRange(std::int32_t type)
{
    return type >= 0 && type < kTypeCount;
}

}  // namespace

bool registerModel(DrvType type, ModelCreator creator)
{
    if (!inRange(type)) {
        return false;
    }
    creators()[static_cast<std::size_t>(type)] = std::move(creator);
    return true;
}

bool hasModel(std::int32_t type)
{
    return inRange(type) && static_cast<bool>(creators()[static_cast<std::size_t>(type)]);
}

std::unique_ptr<Receiver> createModel(std::int32_t type, DriverEvents* owner)
{
    if (!hasModel(type)) {
        return nullptr;
    }
    return creators()[static_cast<std::size_t>(type)](owner);
}

std::string modelName(std::int32_t type)
{
    static constexpr const char* kNames[] = {"NRD535", "RA6790", "RA1792", "TRC243",
                                             "REK085", "NDX264", "TRC294", "HF2050"};
    if (type < DrvNRD535 || type > DrvHF2050) {
        return {};
    }
    return kNames[type];
}

}  // namespace quorvin
