// ReceiverDriver: the driver library's one object, IReceiverDriver. Each
// member answers from the manager or routes the call by instance index to
// one receiver. With no instance loaded every member but DrvMax and
// DrvConfigure refuses with S_FALSE (RxIsConnected, RxIsRemote and
// RxIsBFOMod have written 0 first); a bad index is served by instance 0.
//
// DrvConfigure called while driver code is running further up the stack
// (from an event handler, or during a wait of a receiver) is refused with
// S_FALSE and changes nothing. Destroying the object in such a moment
// disconnects the client's sinks at once and destroys the receivers as soon
// as the running code has returned. A configuration name that names no key
// (empty, or holding a backslash) is refused the same way, with the result 0.
#pragma once

#include <memory>

#include "driver/core/drivermanager.h"
#include "interfaces/ireceiverdriver.h"

namespace quorvin {

class Receiver;

class ReceiverDriver final : public IReceiverDriver {
public:
    ReceiverDriver();
    ~ReceiverDriver() override;
    ReceiverDriver(const ReceiverDriver&) = delete;
    ReceiverDriver& operator=(const ReceiverDriver&) = delete;

    DriverManager& Manager() { return *m_manager; }

    HRESULT DrvMax(std::int32_t* pMax) override;
    HRESULT DrvConfigure(const std::string& Name, ConfMode Mode, std::int32_t* pResult) override;
    HRESULT get_RxForward(std::int16_t* pForward) override;
    HRESULT put_RxForward(std::int16_t Forward) override;
    HRESULT RxConfigure(std::int16_t Index, std::int32_t* pResult) override;
    HRESULT get_RxCount(std::int16_t* pCount) override;
    HRESULT get_RxName(std::int16_t Index, std::string* pName) override;

    HRESULT get_RxFrqMax(std::int16_t Index, std::int32_t* pHz) override;
    HRESULT get_RxFrqMin(std::int16_t Index, std::int32_t* pHz) override;
    HRESULT get_RxFrqStp(std::int16_t Index, std::int32_t* pHz) override;
    HRESULT get_RxBFOMax(std::int16_t Index, std::int32_t* pHz) override;
    HRESULT get_RxBFOMin(std::int16_t Index, std::int32_t* pHz) override;
    HRESULT get_RxRomID(std::int16_t Index, std::string* pRomId) override;

    HRESULT RxConnect(std::int16_t Index, std::int32_t On, ConnErr* pResult) override;
    HRESULT get_RxIsConnected(std::int16_t Index, std::int32_t* pConnected) override;
    HRESULT RxRemote(std::int16_t Index, std::int32_t On, std::int32_t* pResult) override;
    HRESULT get_RxIsRemote(std::int16_t Index, std::int32_t* pRemote) override;

    HRESULT get_RxFrq(std::int16_t Index, FRQTYPE Kind, std::int32_t* pHz) override;
    HRESULT put_RxFrq(std::int16_t Index, FRQTYPE Kind, std::int32_t Hz) override;
    HRESULT get_RxIsBFOMod(std::int16_t Index, MODTYPE Mod, std::int32_t* pIsBfo) override;
    HRESULT get_RxBFO(std::int16_t Index, std::int32_t* pHz) override;
    HRESULT put_RxBFO(std::int16_t Index, std::int32_t Hz) override;
    HRESULT get_RxOffset(std::int16_t Index, std::int32_t* pHz) override;
    HRESULT put_RxOffset(std::int16_t Index, std::int32_t Hz) override;

    HRESULT get_RxModCount(std::int16_t Index, std::int16_t* pCount) override;
    HRESULT get_RxAgcCount(std::int16_t Index, std::int16_t* pCount) override;
    HRESULT get_RxNBlCount(std::int16_t Index, std::int16_t* pCount) override;
    HRESULT get_RxAttCount(std::int16_t Index, std::int16_t* pCount) override;
    HRESULT get_RxFltCount(std::int16_t Index, std::int16_t* pCount) override;
    HRESULT get_RxChnCount(std::int16_t Index, std::int16_t* pCount) override;
    HRESULT get_RxOutCount(std::int16_t Index, std::int16_t* pCount) override;

    HRESULT get_RxModName(std::int16_t Index, MODTYPE Mod, std::string* pName) override;
    HRESULT get_RxAgcName(std::int16_t Index, AGCTYPE Agc, std::string* pName) override;
    HRESULT get_RxNBlName(std::int16_t Index, NBLTYPE NBl, std::string* pName) override;
    HRESULT get_RxAttName(std::int16_t Index, ATTSTATE Att, std::string* pName) override;
    HRESULT get_RxModType(std::int16_t Index, const std::string& Name, MODTYPE* pMod) override;
    HRESULT get_RxAgcType(std::int16_t Index, const std::string& Name, AGCTYPE* pAgc) override;
    HRESULT get_RxNBlType(std::int16_t Index, const std::string& Name, NBLTYPE* pNBl) override;
    HRESULT get_RxAttType(std::int16_t Index, const std::string& Name, ATTSTATE* pAtt) override;

    HRESULT get_RxIsModEmu(std::int16_t Index, MODTYPE Mod, std::int32_t* pResult) override;
    HRESULT get_RxModExist(std::int16_t Index, MODTYPE Mod, std::int32_t* pResult) override;
    HRESULT get_RxAgcExist(std::int16_t Index, AGCTYPE Agc, std::int32_t* pResult) override;
    HRESULT get_RxNBlExist(std::int16_t Index, NBLTYPE NBl, std::int32_t* pResult) override;
    HRESULT get_RxAttExist(std::int16_t Index, ATTSTATE Att, std::int32_t* pResult) override;
    HRESULT get_RxSqlExist(std::int16_t Index, std::int32_t* pResult) override;
    HRESULT get_RxHFFExist(std::int16_t Index, std::int32_t* pResult) override;
    HRESULT get_RxSMtExist(std::int16_t Index, std::int32_t* pResult) override;
    HRESULT get_RxChnMskExist(std::int16_t Index, std::int32_t* pResult) override;

    HRESULT get_RxMod(std::int16_t Index, MODTYPE* pMod) override;
    HRESULT put_RxMod(std::int16_t Index, MODTYPE Mod) override;
    HRESULT get_RxModNxt(std::int16_t Index, MODTYPE* pMod) override;
    HRESULT get_RxAgcSts(std::int16_t Index, AGCTYPE* pAgc) override;
    HRESULT put_RxAgcSts(std::int16_t Index, AGCTYPE Agc) override;
    HRESULT get_RxAgcNxt(std::int16_t Index, AGCTYPE* pAgc) override;

    HRESULT get_RxAgcLvl(std::int16_t Index, std::int16_t* pLevel) override;
    HRESULT put_RxAgcLvl(std::int16_t Index, std::int16_t Level) override;
    HRESULT get_RxNBlLvl(std::int16_t Index, std::int16_t* pLevel) override;
    HRESULT put_RxNBlLvl(std::int16_t Index, std::int16_t Level) override;
    HRESULT get_RxAttLvl(std::int16_t Index, std::int16_t* pLevel) override;
    HRESULT put_RxAttLvl(std::int16_t Index, std::int16_t Level) override;
    HRESULT get_RxSqlLvl(std::int16_t Index, std::int16_t* pLevel) override;
    HRESULT put_RxSqlLvl(std::int16_t Index, std::int16_t Level) override;

    HRESULT get_RxNBlSts(std::int16_t Index, NBLTYPE* pNBl) override;
    HRESULT put_RxNBlSts(std::int16_t Index, NBLTYPE NBl) override;
    HRESULT get_RxNBlNxt(std::int16_t Index, NBLTYPE* pNBl) override;
    HRESULT get_RxAttSts(std::int16_t Index, ATTSTATE* pAtt) override;
    HRESULT put_RxAttSts(std::int16_t Index, ATTSTATE Att) override;
    HRESULT get_RxAttNxt(std::int16_t Index, ATTSTATE* pAtt) override;
    HRESULT get_RxHFFSts(std::int16_t Index, HFFSTATE* pHff) override;
    HRESULT put_RxHFFSts(std::int16_t Index, HFFSTATE Hff) override;
    HRESULT get_RxSqlSts(std::int16_t Index, SQLSTATE* pSql) override;

    HRESULT get_RxFltValue(std::int16_t Index, std::int16_t Slot, std::int32_t* pHz) override;
    HRESULT get_RxFltName(std::int16_t Index, std::int16_t Slot, std::string* pName) override;
    HRESULT get_RxFltBW(std::int16_t Index, std::int32_t* pHz) override;
    HRESULT put_RxFltBW(std::int16_t Index, std::int32_t Hz) override;
    HRESULT get_RxFltBWNxt(std::int16_t Index, std::int32_t* pHz) override;

    HRESULT get_RxSMtLvl(std::int16_t Index, SMetVal Kind, std::string* pText) override;

    HRESULT get_RxChnStart(std::int16_t Index, std::int16_t* pStart) override;
    HRESULT get_RxChn(std::int16_t Index, std::int16_t* pChn) override;
    HRESULT RxChnSave(std::int16_t Index, std::int16_t Chn, RCODE* pResult) override;
    HRESULT RxChnLoad(std::int16_t Index, std::int16_t Chn, RCODE* pResult) override;
    HRESULT RxChnRead(std::int16_t Index, std::int16_t Chn, RCODE* pResult) override;
    HRESULT RxChnClear(std::int16_t Index, std::int16_t Chn, RCODE* pResult) override;
    HRESULT RxChnWrite(std::int16_t Index, std::int16_t Chn, std::int32_t Hz, std::int32_t BFO, MODTYPE Mod,
                       std::int32_t FltHz, AGCTYPE Agc, std::int32_t Msk, RCODE* pResult) override;
    HRESULT RxChnDump(std::int16_t Index, RCODE* pResult) override;

    HRESULT get_RxOut(std::int16_t Index, std::int16_t Num, std::int32_t* pState) override;
    HRESULT put_RxOut(std::int16_t Index, std::int16_t Num, std::int32_t State) override;

    HRESULT get_RxErrDesc(std::int32_t Code, std::string* pText) override;
    HRESULT put_RxTime(std::int16_t Index, const std::string& Time) override;
    HRESULT RxProcessKey(std::int16_t Index, std::int16_t Key, std::int32_t* pResult) override;

    HRESULT Advise(IReceiverDriverEvents* Sink, std::uint32_t* pCookie) override;
    HRESULT Unadvise(std::uint32_t Cookie) override;

private:
    template <typename T, typename F>
    HRESULT Ask(std::int16_t index, T* out, F&& f);
    template <typename F>
    HRESULT Tell(std::int16_t index, F&& f);

    std::unique_ptr<DriverManager> m_manager;
};

}  // namespace quorvin
