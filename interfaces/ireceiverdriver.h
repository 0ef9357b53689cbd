// IReceiverDriver: the one interface of the receiver driver object. Every
// member returns S_OK when it did its work and S_FALSE (leaving its result
// untouched) while no receiver instance is loaded, except DrvMax and
// DrvConfigure. The first argument of a routed member is the instance index;
// an index outside the list is served by instance 0.
#pragma once

#include <cstdint>
#include <string>

#include "ireceiverdriverevents.h"
#include "receivertypes.h"
#include "status.h"

namespace quorvin {

class IReceiverDriver {
public:
    virtual ~IReceiverDriver() = default;

    // Manager members.
    virtual HRESULT DrvMax(std::int32_t* pMax) = 0;
    virtual HRESULT DrvConfigure(const std::string& Name, ConfMode Mode, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxForward(std::int16_t* pForward) = 0;
    virtual HRESULT put_RxForward(std::int16_t Forward) = 0;
    virtual HRESULT RxConfigure(std::int16_t Index, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxCount(std::int16_t* pCount) = 0;
    virtual HRESULT get_RxName(std::int16_t Index, std::string* pName) = 0;

    // Limits.
    virtual HRESULT get_RxFrqMax(std::int16_t Index, std::int32_t* pHz) = 0;
    virtual HRESULT get_RxFrqMin(std::int16_t Index, std::int32_t* pHz) = 0;
    virtual HRESULT get_RxFrqStp(std::int16_t Index, std::int32_t* pHz) = 0;
    virtual HRESULT get_RxBFOMax(std::int16_t Index, std::int32_t* pHz) = 0;
    virtual HRESULT get_RxBFOMin(std::int16_t Index, std::int32_t* pHz) = 0;
    virtual HRESULT get_RxRomID(std::int16_t Index, std::string* pRomId) = 0;

    // Connection.
    virtual HRESULT RxConnect(std::int16_t Index, std::int32_t On, ConnErr* pResult) = 0;
    virtual HRESULT get_RxIsConnected(std::int16_t Index, std::int32_t* pConnected) = 0;
    virtual HRESULT RxRemote(std::int16_t Index, std::int32_t On, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxIsRemote(std::int16_t Index, std::int32_t* pRemote) = 0;

    // Frequency, BFO and offset.
    virtual HRESULT get_RxFrq(std::int16_t Index, FRQTYPE Kind, std::int32_t* pHz) = 0;
    virtual HRESULT put_RxFrq(std::int16_t Index, FRQTYPE Kind, std::int32_t Hz) = 0;
    virtual HRESULT get_RxIsBFOMod(std::int16_t Index, MODTYPE Mod, std::int32_t* pIsBfo) = 0;
    virtual HRESULT get_RxBFO(std::int16_t Index, std::int32_t* pHz) = 0;
    virtual HRESULT put_RxBFO(std::int16_t Index, std::int32_t Hz) = 0;
    virtual HRESULT get_RxOffset(std::int16_t Index, std::int32_t* pHz) = 0;
    virtual HRESULT put_RxOffset(std::int16_t Index, std::int32_t Hz) = 0;

    // Counts.
    virtual HRESULT get_RxModCount(std::int16_t Index, std::int16_t* pCount) = 0;
    virtual HRESULT get_RxAgcCount(std::int16_t Index, std::int16_t* pCount) = 0;
    virtual HRESULT get_RxNBlCount(std::int16_t Index, std::int16_t* pCount) = 0;
    virtual HRESULT get_RxAttCount(std::int16_t Index, std::int16_t* pCount) = 0;
    virtual HRESULT get_RxFltCount(std::int16_t Index, std::int16_t* pCount) = 0;
    virtual HRESULT get_RxChnCount(std::int16_t Index, std::int16_t* pCount) = 0;
    virtual HRESULT get_RxOutCount(std::int16_t Index, std::int16_t* pCount) = 0;

    // Names and types (the same tables for every model).
    virtual HRESULT get_RxModName(std::int16_t Index, MODTYPE Mod, std::string* pName) = 0;
    virtual HRESULT get_RxAgcName(std::int16_t Index, AGCTYPE Agc, std::string* pName) = 0;
    virtual HRESULT get_RxNBlName(std::int16_t Index, NBLTYPE NBl, std::string* pName) = 0;
    virtual HRESULT get_RxAttName(std::int16_t Index, ATTSTATE Att, std::string* pName) = 0;
    virtual HRESULT get_RxModType(std::int16_t Index, const std::string& Name, MODTYPE* pMod) = 0;
    virtual HRESULT get_RxAgcType(std::int16_t Index, const std::string& Name, AGCTYPE* pAgc) = 0;
    virtual HRESULT get_RxNBlType(std::int16_t Index, const std::string& Name, NBLTYPE* pNBl) = 0;
    virtual HRESULT get_RxAttType(std::int16_t Index, const std::string& Name, ATTSTATE* pAtt) = 0;

    // Capabilities.
    virtual HRESULT get_RxIsModEmu(std::int16_t Index, MODTYPE Mod, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxModExist(std::int16_t Index, MODTYPE Mod, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxAgcExist(std::int16_t Index, AGCTYPE Agc, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxNBlExist(std::int16_t Index, NBLTYPE NBl, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxAttExist(std::int16_t Index, ATTSTATE Att, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxSqlExist(std::int16_t Index, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxHFFExist(std::int16_t Index, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxSMtExist(std::int16_t Index, std::int32_t* pResult) = 0;
    virtual HRESULT get_RxChnMskExist(std::int16_t Index, std::int32_t* pResult) = 0;

    // Mode and AGC.
    virtual HRESULT get_RxMod(std::int16_t Index, MODTYPE* pMod) = 0;
    virtual HRESULT put_RxMod(std::int16_t Index, MODTYPE Mod) = 0;
    virtual HRESULT get_RxModNxt(std::int16_t Index, MODTYPE* pMod) = 0;
    virtual HRESULT get_RxAgcSts(std::int16_t Index, AGCTYPE* pAgc) = 0;
    virtual HRESULT put_RxAgcSts(std::int16_t Index, AGCTYPE Agc) = 0;
    virtual HRESULT get_RxAgcNxt(std::int16_t Index, AGCTYPE* pAgc) = 0;

    // Levels.
    virtual HRESULT get_RxAgcLvl(std::int16_t Index, std::int16_t* pLevel) = 0;
    virtual HRESULT put_RxAgcLvl(std::int16_t Index, std::int16_t Level) = 0;
    virtual HRESULT get_RxNBlLvl(std::int16_t Index, std::int16_t* pLevel) = 0;
    virtual HRESULT put_RxNBlLvl(std::int16_t Index, std::int16_t Level) = 0;
    virtual HRESULT get_RxAttLvl(std::int16_t Index, std::int16_t* pLevel) = 0;
    virtual HRESULT put_RxAttLvl(std::int16_t Index, std::int16_t Level) = 0;
    virtual HRESULT get_RxSqlLvl(std::int16_t Index, std::int16_t* pLevel) = 0;
    virtual HRESULT put_RxSqlLvl(std::int16_t Index, std::int16_t Level) = 0;

    // Noise blanker, attenuator, preselector, squelch.
    virtual HRESULT get_RxNBlSts(std::int16_t Index, NBLTYPE* pNBl) = 0;
    virtual HRESULT put_RxNBlSts(std::int16_t Index, NBLTYPE NBl) = 0;
    virtual HRESULT get_RxNBlNxt(std::int16_t Index, NBLTYPE* pNBl) = 0;
    virtual HRESULT get_RxAttSts(std::int16_t Index, ATTSTATE* pAtt) = 0;
    virtual HRESULT put_RxAttSts(std::int16_t Index, ATTSTATE Att) = 0;
    virtual HRESULT get_RxAttNxt(std::int16_t Index, ATTSTATE* pAtt) = 0;
    virtual HRESULT get_RxHFFSts(std::int16_t Index, HFFSTATE* pHff) = 0;
    virtual HRESULT put_RxHFFSts(std::int16_t Index, HFFSTATE Hff) = 0;
    virtual HRESULT get_RxSqlSts(std::int16_t Index, SQLSTATE* pSql) = 0;

    // Filters.
    virtual HRESULT get_RxFltValue(std::int16_t Index, std::int16_t Slot, std::int32_t* pHz) = 0;
    virtual HRESULT get_RxFltName(std::int16_t Index, std::int16_t Slot, std::string* pName) = 0;
    virtual HRESULT get_RxFltBW(std::int16_t Index, std::int32_t* pHz) = 0;
    virtual HRESULT put_RxFltBW(std::int16_t Index, std::int32_t Hz) = 0;
    virtual HRESULT get_RxFltBWNxt(std::int16_t Index, std::int32_t* pHz) = 0;

    // S-meter.
    virtual HRESULT get_RxSMtLvl(std::int16_t Index, SMetVal Kind, std::string* pText) = 0;

    // Memory channels.
    virtual HRESULT get_RxChnStart(std::int16_t Index, std::int16_t* pStart) = 0;
    virtual HRESULT get_RxChn(std::int16_t Index, std::int16_t* pChn) = 0;
    virtual HRESULT RxChnSave(std::int16_t Index, std::int16_t Chn, RCODE* pResult) = 0;
    virtual HRESULT RxChnLoad(std::int16_t Index, std::int16_t Chn, RCODE* pResult) = 0;
    virtual HRESULT RxChnRead(std::int16_t Index, std::int16_t Chn, RCODE* pResult) = 0;
    virtual HRESULT RxChnClear(std::int16_t Index, std::int16_t Chn, RCODE* pResult) = 0;
    virtual HRESULT RxChnWrite(std::int16_t Index, std::int16_t Chn, std::int32_t Hz, std::int32_t BFO, MODTYPE Mod,
                               std::int32_t FltHz, AGCTYPE Agc, std::int32_t Msk, RCODE* pResult) = 0;
    virtual HRESULT RxChnDump(std::int16_t Index, RCODE* pResult) = 0;

    // Outputs.
    virtual HRESULT get_RxOut(std::int16_t Index, std::int16_t Num, std::int32_t* pState) = 0;
    virtual HRESULT put_RxOut(std::int16_t Index, std::int16_t Num, std::int32_t State) = 0;

    // Miscellaneous.
    virtual HRESULT get_RxErrDesc(std::int32_t Code, std::string* pText) = 0;
    virtual HRESULT put_RxTime(std::int16_t Index, const std::string& Time) = 0;
    virtual HRESULT RxProcessKey(std::int16_t Index, std::int16_t Key, std::int32_t* pResult) = 0;

    // The single connection point for IReceiverDriverEvents. Advise hands
    // back a non-zero cookie; Unadvise with that cookie disconnects the sink.
    // The object never owns a sink.
    virtual HRESULT Advise(IReceiverDriverEvents* Sink, std::uint32_t* pCookie) = 0;
    virtual HRESULT Unadvise(std::uint32_t Cookie) = 0;
};

}  // namespace quorvin
