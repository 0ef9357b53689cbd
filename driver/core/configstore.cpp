// Configuration and instance keys in the settings store.
#include "configstore.h"

#include <cstdlib>

#include "platform/settingsstore.h"

namespace quorvin {

using platform::SettingsStore;

std::string configurationKey(std::string_view configuration)
{
    return SettingsStore::join(platform::kSettingsRoot, configuration);
}

std::string instanceKey(std::string_view configuration, std::string_view instance)
{
    return SettingsStore::join(configurationKey(configuration), instance);
}

bool isKeyName(std::string_view name)
{
    return !name.empty() && name.find('\\') == std::string_view::npos;
}

std::int32_t readDefaultBfo(std::string_view configuration)
{
    if (!isKeyName(configuration)) {
        return kDefaultBfo;
    }
    auto& store = SettingsStore::shared();
    const auto key = configurationKey(configuration);
    store.createKey(key);
    const auto value = store.readNumber(key, "DefaultBfo");
    if (!value) {
        return kDefaultBfo;
    }
    const std::int64_t v = *value;
    return (v > kDefaultBfoLimit || v < -kDefaultBfoLimit) ? kDefaultBfo : *value;
}

std::int32_t deleteInstanceSettings(std::string_view configuration, std::string_view instance)
{
    if (!isKeyName(configuration) || !isKeyName(instance)) {
        return StoreRefused;
    }
    auto& store = SettingsStore::shared();
    const auto key = instanceKey(configuration, instance);
    if (!store.keyExists(key)) {
        return StoreNotFound;
    }
    return store.deleteTree(key) ? StoreOk : StoreNotFound;
}

}  // namespace quorvin
