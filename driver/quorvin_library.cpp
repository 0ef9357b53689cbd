// libquorvin.so: the exported component factory, the only symbol the
// library exports (quorvin.map). It creates ReceiverDriver for its class
// identifier, and once per process registers the built-in model drivers and
// installs the link dialogs, the selection dialog, the models' settings dialog and the Qt reporter (boxes and beeps in
// a program with a QApplication, log lines elsewhere).
#include "quorvin_library.h"

#include <mutex>
#include <new>
#include <string_view>

#include "driver/core/dialogs/driverdialogs.h"
#include "driver/core/receiverdriver.h"
#include "driver/links/dialogs/linkdialogsqt.h"
#include "driver/models/builtinmodels.h"
#include "driver/models/dialogs/modeldialogs.h"
#include "interfaces/component.h"
#include "platform/qtreporter/qtreporter.h"

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

namespace quorvin {

HRESULT createComponent(const char* classId, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (classId == nullptr || !sameClassId(classId, kReceiverDriverClassId)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    static std::once_flag registered;
    std::call_once(registered, [] {
        registerBuiltinModels();
        installLinkDialogs();
        installDriverDialogs();
        installModelDialogs();
        platform::installQtReporter();
    });
    auto* driver = new (std::nothrow) ReceiverDriver();
    if (driver == nullptr) {
        return E_FAIL;
    }
    *object = static_cast<IReceiverDriver*>(driver);
    return S_OK;
}

}  // namespace quorvin

extern "C" KORVANE_EXPORT HRESULT KorvaneCreateComponent(const char* classId, void** object)
{
    return quorvin::createComponent(classId, object);
}
