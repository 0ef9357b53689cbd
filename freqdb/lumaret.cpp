// The exported factory of liblumaret.so: creates FrequencyData by its class
// identifier. The first call installs the library's dialogs (shown only in
// a program with a QApplication).
#include <cstring>
#include <mutex>

#include "dialogs/lumaretdialogs.h"
#include "frequencydata.h"
#include "interfaces/component.h"

extern "C" __attribute__((visibility("default"))) HRESULT KorvaneCreateComponent(const char* classId, void** object)
{
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!classId || std::strcmp(classId, kFrequencyDataClassId) != 0) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    static std::once_flag dialogs;
    std::call_once(dialogs, [] { lumaret::installLumaretDialogs(); });
    *object = static_cast<lumaret::IFrequencyData*>(new lumaret::FrequencyData());
    return S_OK;
}
