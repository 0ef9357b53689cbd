// libquorvin.so: the exported component factory. It creates ReceiverDriver
// for its class identifier and registers the built-in model drivers once.
#include <cstring>
#include <mutex>
#include <new>
#include <string_view>

#include "driver/core/receiverdriver.h"
#include "driver/models/builtinmodels.h"
#include "interfaces/component.h"

namespace {

bool sameClassId(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT KorvaneCreateComponent(const char* classId, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (classId == nullptr || !sameClassId(classId, kReceiverDriverClassId)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    static std::once_flag registered;
    std::call_once(registered, [] { quorvin::registerBuiltinModels(); });
    auto* driver = new (std::nothrow) quorvin::ReceiverDriver();
    if (driver == nullptr) {
        return E_FAIL;
    }
    *object = static_cast<quorvin::IReceiverDriver*>(driver);
    return S_OK;
}
