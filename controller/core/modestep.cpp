// Stepping a receiver function to its next value.
#include "modestep.h"

namespace tessaly {

using namespace quorvin;

bool stepFunction(IReceiverDriver& driver, std::int16_t r, StepFunction function)
{
    switch (function) {
    case StepFunction::Mode: {
        MODTYPE next = ModNone;
        if (driver.get_RxModNxt(r, &next) != S_OK || next == ModNone) {
            return false;
        }
        return driver.put_RxMod(r, next) == S_OK;
    }
    case StepFunction::Filter: {
        std::int32_t next = -1;
        if (driver.get_RxFltBWNxt(r, &next) != S_OK || next <= 0) {
            return false;
        }
        return driver.put_RxFltBW(r, next) == S_OK;
    }
    case StepFunction::Agc: {
        AGCTYPE next = AgcNone;
        if (driver.get_RxAgcNxt(r, &next) != S_OK || next == AgcNone) {
            return false;
        }
        return driver.put_RxAgcSts(r, next) == S_OK;
    }
    case StepFunction::Attenuator: {
        ATTSTATE next = AttNone;
        if (driver.get_RxAttNxt(r, &next) != S_OK || next == AttNone) {
            return false;
        }
        return driver.put_RxAttSts(r, next) == S_OK;
    }
    case StepFunction::NoiseBlanker: {
        NBLTYPE next = NBlNone;
        if (driver.get_RxNBlNxt(r, &next) != S_OK || next == NBlNone) {
            return false;
        }
        return driver.put_RxNBlSts(r, next) == S_OK;
    }
    }
    return false;
}

}  // namespace tessaly
