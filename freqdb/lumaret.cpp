// The exported factory of liblumaret.so: creates FrequencyData by its class
// identifier. With LumaretBandStepHz it is all the library exports
// (lumaret.map). The first call installs the Qt reporter, so the station
// database's boxes show in a program with a QApplication and go to the log
// elsewhere, and the library's dialogs (shown only with a QApplication).
#include <cstring>
#include <mutex>
#include <new>

#include "dialogs/lumaretdialogs.h"
#include "frequencydata.h"
#include "interfaces/component.h"
#include "platform/qtreporter/qtreporter.h"

extern "C" KORVANE_EXPORT HRESULT KorvaneCreateComponent(const char* classId, void** object)
{
    if (!object) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!classId || std::strcmp(classId, kFrequencyDataClassId) != 0) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    static std::once_flag installed;
    std::call_once(installed, [] {
        platform::installQtReporter();
        lumaret::installLumaretDialogs();
    });
    auto* data = new (std::nothrow) lumaret::FrequencyData();
    if (!data) {
        return E_FAIL;
    }
    *object = static_cast<lumaret::IFrequencyData*>(data);
    return S_OK;
}
