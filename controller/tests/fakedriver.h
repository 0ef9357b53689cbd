// A receiver driver for the tests of the key language: one receiver whose
// state the test sets and whose every write is recorded.
#pragma once

#include <string>
#include <vector>

#include "interfaces/ireceiverdriver.h"

namespace tessaly::test {

struct Write {
    std::string what;
    std::int32_t value;
    std::int32_t extra = 0;
};

class FakeDriver : public quorvin::IReceiverDriver {
public:
    std::int32_t connected = -1;
    std::int32_t remote = -1;
    std::int32_t frq = 7050000;
    std::int32_t frqMin = 0;
    std::int32_t frqMax = 29999999;
    std::int32_t frqStep = 1;
    std::int32_t bfo = 0;
    std::int32_t bfoMin = -9999;
    std::int32_t bfoMax = 9999;
    quorvin::MODTYPE mod = quorvin::ModLSB;
    std::int32_t flt = 2400;
    std::int16_t chnStart = 0;
    std::int16_t chnCount = 0;
    std::int16_t chn = -1;
    std::int32_t keyResult = 0;  // what RxProcessKey answers
    std::vector<Write> writes;
    std::vector<std::int16_t> keys;

    // The writes of one kind.
    std::vector<Write> of(const std::string& what) const;
    bool wrote(const std::string& what, std::int32_t value) const;

    HRESULT DrvMax(std::int32_t* p) override
    {
        *p = 8;
        return S_OK;
    }
    HRESULT DrvConfigure(const std::string&, quorvin::ConfMode, std::int32_t* p) override
    {
        *p = 1;
        return S_OK;
    }
    HRESULT get_RxForward(std::int16_t* p) override
    {
        *p = -1;
        return S_OK;
    }
    HRESULT put_RxForward(std::int16_t) override { return S_OK; }
    HRESULT RxConfigure(std::int16_t, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxCount(std::int16_t* p) override
    {
        *p = 1;
        return S_OK;
    }
    HRESULT get_RxName(std::int16_t, std::string* p) override
    {
        *p = "Fake";
        return S_OK;
    }
    HRESULT get_RxFrqMax(std::int16_t, std::int32_t* p) override
    {
        *p = frqMax;
        return S_OK;
    }
    HRESULT get_RxFrqMin(std::int16_t, std::int32_t* p) override
    {
        *p = frqMin;
        return S_OK;
    }
    HRESULT get_RxFrqStp(std::int16_t, std::int32_t* p) override
    {
        *p = frqStep;
        return S_OK;
    }
    HRESULT get_RxBFOMax(std::int16_t, std::int32_t* p) override
    {
        *p = bfoMax;
        return S_OK;
    }
    HRESULT get_RxBFOMin(std::int16_t, std::int32_t* p) override
    {
        *p = bfoMin;
        return S_OK;
    }
    HRESULT get_RxRomID(std::int16_t, std::string* p) override
    {
        p->clear();
        return S_OK;
    }
    HRESULT RxConnect(std::int16_t, std::int32_t, quorvin::ConnErr* p) override
    {
        *p = quorvin::ConnectNoError;
        return S_OK;
    }
    HRESULT get_RxIsConnected(std::int16_t, std::int32_t* p) override
    {
        *p = connected;
        return S_OK;
    }
    HRESULT RxRemote(std::int16_t, std::int32_t on, std::int32_t* p) override;
    HRESULT get_RxIsRemote(std::int16_t, std::int32_t* p) override
    {
        *p = connected != 0 ? remote : 0;
        return S_OK;
    }
    HRESULT get_RxFrq(std::int16_t, quorvin::FRQTYPE, std::int32_t* p) override
    {
        *p = frq;
        return S_OK;
    }
    HRESULT put_RxFrq(std::int16_t, quorvin::FRQTYPE kind, std::int32_t hz) override;
    HRESULT get_RxIsBFOMod(std::int16_t, quorvin::MODTYPE, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxBFO(std::int16_t, std::int32_t* p) override
    {
        *p = bfo;
        return S_OK;
    }
    HRESULT put_RxBFO(std::int16_t, std::int32_t hz) override
    {
        bfo = hz;
        return note("bfo", hz);
    }
    HRESULT get_RxOffset(std::int16_t, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT put_RxOffset(std::int16_t, std::int32_t) override { return S_OK; }
    HRESULT get_RxModCount(std::int16_t, std::int16_t* p) override
    {
        *p = 12;
        return S_OK;
    }
    HRESULT get_RxAgcCount(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxNBlCount(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxAttCount(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxFltCount(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxChnCount(std::int16_t, std::int16_t* p) override
    {
        *p = chnCount;
        return S_OK;
    }
    HRESULT get_RxOutCount(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxModName(std::int16_t, quorvin::MODTYPE, std::string* p) override
    {
        p->clear();
        return S_OK;
    }
    HRESULT get_RxAgcName(std::int16_t, quorvin::AGCTYPE, std::string* p) override
    {
        p->clear();
        return S_OK;
    }
    HRESULT get_RxNBlName(std::int16_t, quorvin::NBLTYPE, std::string* p) override
    {
        p->clear();
        return S_OK;
    }
    HRESULT get_RxAttName(std::int16_t, quorvin::ATTSTATE, std::string* p) override
    {
        p->clear();
        return S_OK;
    }
    HRESULT get_RxModType(std::int16_t, const std::string&, quorvin::MODTYPE* p) override
    {
        *p = quorvin::ModNone;
        return S_OK;
    }
    HRESULT get_RxAgcType(std::int16_t, const std::string&, quorvin::AGCTYPE* p) override
    {
        *p = quorvin::AgcNone;
        return S_OK;
    }
    HRESULT get_RxNBlType(std::int16_t, const std::string&, quorvin::NBLTYPE* p) override
    {
        *p = quorvin::NBlNone;
        return S_OK;
    }
    HRESULT get_RxAttType(std::int16_t, const std::string&, quorvin::ATTSTATE* p) override
    {
        *p = quorvin::AttNone;
        return S_OK;
    }
    HRESULT get_RxIsModEmu(std::int16_t, quorvin::MODTYPE, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxModExist(std::int16_t, quorvin::MODTYPE, std::int32_t* p) override
    {
        *p = -1;
        return S_OK;
    }
    HRESULT get_RxAgcExist(std::int16_t, quorvin::AGCTYPE, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxNBlExist(std::int16_t, quorvin::NBLTYPE, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxAttExist(std::int16_t, quorvin::ATTSTATE, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxSqlExist(std::int16_t, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxHFFExist(std::int16_t, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxSMtExist(std::int16_t, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxChnMskExist(std::int16_t, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxMod(std::int16_t, quorvin::MODTYPE* p) override
    {
        *p = mod;
        return S_OK;
    }
    HRESULT put_RxMod(std::int16_t, quorvin::MODTYPE m) override
    {
        mod = m;
        return note("mod", m);
    }
    HRESULT get_RxModNxt(std::int16_t, quorvin::MODTYPE* p) override
    {
        *p = mod;
        return S_OK;
    }
    HRESULT get_RxAgcSts(std::int16_t, quorvin::AGCTYPE* p) override
    {
        *p = quorvin::AgcNone;
        return S_OK;
    }
    HRESULT put_RxAgcSts(std::int16_t, quorvin::AGCTYPE) override { return S_OK; }
    HRESULT get_RxAgcNxt(std::int16_t, quorvin::AGCTYPE* p) override
    {
        *p = quorvin::AgcNone;
        return S_OK;
    }
    HRESULT get_RxAgcLvl(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT put_RxAgcLvl(std::int16_t, std::int16_t) override { return S_OK; }
    HRESULT get_RxNBlLvl(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT put_RxNBlLvl(std::int16_t, std::int16_t) override { return S_OK; }
    HRESULT get_RxAttLvl(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT put_RxAttLvl(std::int16_t, std::int16_t) override { return S_OK; }
    HRESULT get_RxSqlLvl(std::int16_t, std::int16_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT put_RxSqlLvl(std::int16_t, std::int16_t) override { return S_OK; }
    HRESULT get_RxNBlSts(std::int16_t, quorvin::NBLTYPE* p) override
    {
        *p = quorvin::NBlNone;
        return S_OK;
    }
    HRESULT put_RxNBlSts(std::int16_t, quorvin::NBLTYPE) override { return S_OK; }
    HRESULT get_RxNBlNxt(std::int16_t, quorvin::NBLTYPE* p) override
    {
        *p = quorvin::NBlNone;
        return S_OK;
    }
    HRESULT get_RxAttSts(std::int16_t, quorvin::ATTSTATE* p) override
    {
        *p = quorvin::AttNone;
        return S_OK;
    }
    HRESULT put_RxAttSts(std::int16_t, quorvin::ATTSTATE) override { return S_OK; }
    HRESULT get_RxAttNxt(std::int16_t, quorvin::ATTSTATE* p) override
    {
        *p = quorvin::AttNone;
        return S_OK;
    }
    HRESULT get_RxHFFSts(std::int16_t, quorvin::HFFSTATE* p) override
    {
        *p = quorvin::HFFNone;
        return S_OK;
    }
    HRESULT put_RxHFFSts(std::int16_t, quorvin::HFFSTATE) override { return S_OK; }
    HRESULT get_RxSqlSts(std::int16_t, quorvin::SQLSTATE* p) override
    {
        *p = quorvin::SqlNone;
        return S_OK;
    }
    HRESULT get_RxFltValue(std::int16_t, std::int16_t, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT get_RxFltName(std::int16_t, std::int16_t, std::string* p) override
    {
        p->clear();
        return S_OK;
    }
    HRESULT get_RxFltBW(std::int16_t, std::int32_t* p) override
    {
        *p = flt;
        return S_OK;
    }
    HRESULT put_RxFltBW(std::int16_t, std::int32_t hz) override
    {
        flt = hz;
        return note("flt", hz);
    }
    HRESULT get_RxFltBWNxt(std::int16_t, std::int32_t* p) override
    {
        *p = flt;
        return S_OK;
    }
    HRESULT get_RxSMtLvl(std::int16_t, quorvin::SMetVal, std::string* p) override
    {
        p->clear();
        return S_OK;
    }
    HRESULT get_RxChnStart(std::int16_t, std::int16_t* p) override
    {
        *p = chnStart;
        return S_OK;
    }
    HRESULT get_RxChn(std::int16_t, std::int16_t* p) override
    {
        *p = chn;
        return S_OK;
    }
    HRESULT RxChnSave(std::int16_t, std::int16_t c, quorvin::RCODE* p) override;
    HRESULT RxChnLoad(std::int16_t, std::int16_t c, quorvin::RCODE* p) override;
    HRESULT RxChnRead(std::int16_t, std::int16_t, quorvin::RCODE* p) override
    {
        *p = quorvin::R_OK;
        return S_OK;
    }
    HRESULT RxChnClear(std::int16_t, std::int16_t, quorvin::RCODE* p) override
    {
        *p = quorvin::R_OK;
        return S_OK;
    }
    HRESULT RxChnWrite(std::int16_t, std::int16_t, std::int32_t, std::int32_t, quorvin::MODTYPE, std::int32_t,
                       quorvin::AGCTYPE, std::int32_t, quorvin::RCODE* p) override
    {
        *p = quorvin::R_OK;
        return S_OK;
    }
    HRESULT RxChnDump(std::int16_t, quorvin::RCODE* p) override
    {
        *p = quorvin::R_OK;
        return S_OK;
    }
    HRESULT get_RxOut(std::int16_t, std::int16_t, std::int32_t* p) override
    {
        *p = 0;
        return S_OK;
    }
    HRESULT put_RxOut(std::int16_t, std::int16_t, std::int32_t) override { return S_OK; }
    HRESULT get_RxErrDesc(std::int32_t, std::string* p) override
    {
        p->clear();
        return S_OK;
    }
    HRESULT put_RxTime(std::int16_t, const std::string&) override { return S_OK; }
    HRESULT RxProcessKey(std::int16_t, std::int16_t key, std::int32_t* p) override;
    HRESULT Advise(quorvin::IReceiverDriverEvents*, std::uint32_t* p) override
    {
        *p = 1;
        return S_OK;
    }
    HRESULT Unadvise(std::uint32_t) override { return S_OK; }

private:
    HRESULT note(const std::string& what, std::int32_t value, std::int32_t extra = 0);
};

}  // namespace tessaly::test
