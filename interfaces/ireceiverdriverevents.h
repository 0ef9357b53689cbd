// The events the receiver driver fires to its clients, in dispatch order
// (ids 1..17). Sinks are called synchronously on the caller's thread, in the
// order they were connected; a failing sink does not stop the others.
#pragma once

#include <cstdint>
#include <string>

#include "receivertypes.h"
#include "status.h"

namespace quorvin {

class IReceiverDriverEvents {
public:
    virtual ~IReceiverDriverEvents() = default;

    virtual HRESULT DrvUpdated(std::int32_t DrvCount) = 0;  // 1
    virtual HRESULT RxConnState(std::int16_t Index, ConnErr Err) = 0;  // 2
    virtual HRESULT RxDataError(std::int16_t Index, DataErr Err) = 0;  // 3
    virtual HRESULT RxFrqUpdated(std::int16_t Index, std::int32_t Frq, std::int32_t Dsp) = 0;  // 4
    virtual HRESULT RxChnUpdated(std::int16_t Index, std::int16_t Chn) = 0;  // 5
    virtual HRESULT RxModUpdated(std::int16_t Index, MODTYPE Mod, std::int32_t BFO) = 0;  // 6
    virtual HRESULT RxFltUpdated(std::int16_t Index, std::int32_t Flt) = 0;  // 7
    virtual HRESULT RxAgcUpdated(std::int16_t Index, AGCTYPE Agc, std::int16_t AgcLevel) = 0;  // 8
    virtual HRESULT RxNBlUpdated(std::int16_t Index, NBLTYPE NBl, std::int16_t NBlLevel) = 0;  // 9
    virtual HRESULT RxAttUpdated(std::int16_t Index, ATTSTATE Att, std::int16_t AttLevel) = 0;  // 10
    virtual HRESULT RxSqlUpdated(std::int16_t Index, SQLSTATE Sql, std::int16_t SqlLevel) = 0;  // 11
    virtual HRESULT RxSMtUpdated(std::int16_t Index, std::int32_t Frq, std::int16_t Locale, std::int16_t dBuV,
                                 const std::string& SPoint) = 0;  // 12
    virtual HRESULT RxHFFUpdated(std::int16_t Index, HFFSTATE State) = 0;  // 13
    virtual HRESULT RxChnStatus(std::int16_t Index, std::int16_t Chn, std::int32_t Frq, std::int32_t BFO,
                                std::int32_t Mod, std::int32_t Flt, std::int32_t Agc, std::int32_t Msk) = 0;  // 14
    virtual HRESULT RxOutUpdated(std::int16_t Index, std::int16_t Num, std::int32_t Sts) = 0;  // 15
    virtual HRESULT RxStpUpdated(std::int16_t Index, std::int32_t Stp) = 0;  // 16
    virtual HRESULT RxRmtState(std::int16_t Index, std::int32_t Sts) = 0;  // 17
};

// A sink that takes every event and does nothing with it: clients that care
// about a few events override just those.
class IgnoringReceiverEvents : public IReceiverDriverEvents {
public:
    HRESULT DrvUpdated(std::int32_t) override { return S_OK; }
    HRESULT RxConnState(std::int16_t, ConnErr) override { return S_OK; }
    HRESULT RxDataError(std::int16_t, DataErr) override { return S_OK; }
    HRESULT RxFrqUpdated(std::int16_t, std::int32_t, std::int32_t) override { return S_OK; }
    HRESULT RxChnUpdated(std::int16_t, std::int16_t) override { return S_OK; }
    HRESULT RxModUpdated(std::int16_t, MODTYPE, std::int32_t) override { return S_OK; }
    HRESULT RxFltUpdated(std::int16_t, std::int32_t) override { return S_OK; }
    HRESULT RxAgcUpdated(std::int16_t, AGCTYPE, std::int16_t) override { return S_OK; }
    HRESULT RxNBlUpdated(std::int16_t, NBLTYPE, std::int16_t) override { return S_OK; }
    HRESULT RxAttUpdated(std::int16_t, ATTSTATE, std::int16_t) override { return S_OK; }
    HRESULT RxSqlUpdated(std::int16_t, SQLSTATE, std::int16_t) override { return S_OK; }
    HRESULT RxSMtUpdated(std::int16_t, std::int32_t, std::int16_t, std::int16_t, const std::string&) override
    {
        return S_OK;
    }
    HRESULT RxHFFUpdated(std::int16_t, HFFSTATE) override { return S_OK; }
    HRESULT RxChnStatus(std::int16_t, std::int16_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                        std::int32_t, std::int32_t) override
    {
        return S_OK;
    }
    HRESULT RxOutUpdated(std::int16_t, std::int16_t, std::int32_t) override { return S_OK; }
    HRESULT RxStpUpdated(std::int16_t, std::int32_t) override { return S_OK; }
    HRESULT RxRmtState(std::int16_t, std::int32_t) override { return S_OK; }
};

}  // namespace quorvin
