// DriverEvents: what a receiver tells its manager. One operation per event
// of IReceiverDriverEvents, in dispatch order; the manager forwards
// frequency, mode, filter and AGC changes to other receivers and then fires
// the event to every connected client sink.
#pragma once

#include <cstdint>
#include <string>

#include "interfaces/receivertypes.h"

namespace quorvin {

class DriverEvents {
public:
    virtual ~DriverEvents() = default;

    virtual void DrvUpdated(std::int32_t drvCount) = 0;
    virtual void RxConnState(std::int16_t index, ConnErr err) = 0;
    virtual void RxDataError(std::int16_t index, DataErr err) = 0;
    virtual void RxFrqUpdated(std::int16_t index, std::int32_t frq, std::int32_t dsp) = 0;
    virtual void RxChnUpdated(std::int16_t index, std::int16_t chn) = 0;
    virtual void RxModUpdated(std::int16_t index, MODTYPE mod, std::int32_t bfo) = 0;
    virtual void RxFltUpdated(std::int16_t index, std::int32_t flt) = 0;
    virtual void RxAgcUpdated(std::int16_t index, AGCTYPE agc, std::int16_t agcLevel) = 0;
    virtual void RxNBlUpdated(std::int16_t index, NBLTYPE nbl, std::int16_t nblLevel) = 0;
    virtual void RxSqlUpdated(std::int16_t index, SQLSTATE sql, std::int16_t sqlLevel) = 0;
    virtual void RxAttUpdated(std::int16_t index, ATTSTATE att, std::int16_t attLevel) = 0;
    // sPoint is the receiver's 8-bit text.
    virtual void RxSMtUpdated(std::int16_t index, std::int32_t frq, std::int16_t locale, std::int16_t dbuv,
                              const std::string& sPoint) = 0;
    virtual void RxHFFUpdated(std::int16_t index, HFFSTATE state) = 0;
    virtual void RxChnStatus(std::int16_t index, std::int16_t chn, std::int32_t frq, std::int32_t bfo, std::int32_t mod,
                             std::int32_t flt, std::int32_t agc, std::int32_t msk) = 0;
    virtual void RxOutUpdated(std::int16_t index, std::int16_t num, std::int32_t sts) = 0;
    virtual void RxStpUpdated(std::int16_t index, std::int32_t stp) = 0;
    virtual void RxRmtState(std::int16_t index, std::int32_t sts) = 0;
};

// An owner that takes every event and does nothing with it: owners that care
// about a few events (tests, benches, fuzz targets) override just those.
class IgnoringDriverEvents : public DriverEvents {
public:
    void DrvUpdated(std::int32_t) override {}
    void RxConnState(std::int16_t, ConnErr) override {}
    void RxDataError(std::int16_t, DataErr) override {}
    void RxFrqUpdated(std::int16_t, std::int32_t, std::int32_t) override {}
    void RxChnUpdated(std::int16_t, std::int16_t) override {}
    void RxModUpdated(std::int16_t, MODTYPE, std::int32_t) override {}
    void RxFltUpdated(std::int16_t, std::int32_t) override {}
    void RxAgcUpdated(std::int16_t, AGCTYPE, std::int16_t) override {}
    void RxNBlUpdated(std::int16_t, NBLTYPE, std::int16_t) override {}
    void RxSqlUpdated(std::int16_t, SQLSTATE, std::int16_t) override {}
    void RxAttUpdated(std::int16_t, ATTSTATE, std::int16_t) override {}
    void RxSMtUpdated(std::int16_t, std::int32_t, std::int16_t, std::int16_t, const std::string&) override {}
    void RxHFFUpdated(std::int16_t, HFFSTATE) override {}
    void RxChnStatus(std::int16_t, std::int16_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     std::int32_t) override
    {
    }
    void RxOutUpdated(std::int16_t, std::int16_t, std::int32_t) override {}
    void RxStpUpdated(std::int16_t, std::int32_t) override {}
    void RxRmtState(std::int16_t, std::int32_t) override {}
};

}  // namespace quorvin
