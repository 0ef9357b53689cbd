// The exported factory of liblumaret.so: creates FrequencyData by its class
// identifier.
#include <cstring>

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
    *object = static_cast<lumaret::IFrequencyData*>(new lumaret::FrequencyData());
    return S_OK;
}
