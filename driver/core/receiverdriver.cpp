// The IReceiverDriver facade: routing by index, the S_FALSE rule, echo
// counter clearing on client sets, and the connection point.
#include "receiverdriver.h"

#include "driver/core/activity.h"
#include "driver/core/clienttext.h"
#include "driver/core/errortexts.h"
#include "driver/core/receiver.h"

namespace quorvin {

namespace {

// No sink with that cookie.
constexpr HRESULT kNoConnection = static_cast<HRESULT>(0x80040200u);

}  // namespace

ReceiverDriver::ReceiverDriver() : m_manager(std::make_unique<DriverManager>()) {}

ReceiverDriver::~ReceiverDriver()
{
    // The client is going away: no event may reach it any more. The
    // receivers go once no driver code is left on the stack.
    m_manager->DetachSinks();
    DriverManager* manager = m_manager.release();
    ActivityScope::whenIdle([manager] { delete manager; });
}

template <typename T, typename F>
HRESULT ReceiverDriver::Ask(std::int16_t index, T* out, F&& f)
{
    if (out == nullptr) {
        return E_POINTER;
    }
    ReceiverInstance* inst = m_manager->Route(index);
    if (inst == nullptr || !inst->receiver) {
        return S_FALSE;
    }
    ActivityScope scope;
    *out = f(*inst, *inst->receiver);
    return S_OK;
}

template <typename F>
HRESULT ReceiverDriver::Tell(std::int16_t index, F&& f)
{
    ReceiverInstance* inst = m_manager->Route(index);
    if (inst == nullptr || !inst->receiver) {
        return S_FALSE;
    }
    ActivityScope scope;
    f(*inst, *inst->receiver);
    return S_OK;
}

// ---- Manager members ---------------------------------------------------------

HRESULT ReceiverDriver::DrvMax(std::int32_t* pMax)
{
    if (pMax == nullptr) {
        return E_POINTER;
    }
    *pMax = kDrvMax;
    return S_OK;
}

HRESULT ReceiverDriver::DrvConfigure(const std::string& Name, ConfMode Mode, std::int32_t* pResult)
{
    if (pResult == nullptr) {
        return E_POINTER;
    }
    return m_manager->DrvConfigure(Name, Mode, pResult) ? S_OK : S_FALSE;
}

HRESULT ReceiverDriver::get_RxForward(std::int16_t* pForward)
{
    if (pForward == nullptr) {
        return E_POINTER;
    }
    if (m_manager->Empty()) {
        return S_FALSE;
    }
    *pForward = m_manager->Forward();
    return S_OK;
}

HRESULT ReceiverDriver::put_RxForward(std::int16_t Forward)
{
    if (m_manager->Empty()) {
        return S_FALSE;
    }
    // Stored as given; forwarding never indexes by it.
    m_manager->SetForward(Forward);
    return S_OK;
}

HRESULT ReceiverDriver::RxConfigure(std::int16_t Index, std::int32_t* pResult)
{
    if (pResult == nullptr) {
        return E_POINTER;
    }
    if (m_manager->Route(Index) == nullptr) {
        return S_FALSE;
    }
    *pResult = m_manager->ConfigureReceiver(Index);
    return S_OK;
}

HRESULT ReceiverDriver::get_RxCount(std::int16_t* pCount)
{
    if (pCount == nullptr) {
        return E_POINTER;
    }
    if (m_manager->Empty()) {
        return S_FALSE;
    }
    *pCount = static_cast<std::int16_t>(m_manager->Count());
    return S_OK;
}

HRESULT ReceiverDriver::get_RxName(std::int16_t Index, std::string* pName)
{
    if (pName == nullptr) {
        return E_POINTER;
    }
    if (m_manager->Empty()) {
        return S_FALSE;
    }
    const ReceiverInstance* inst = m_manager->Instance(Index);
    *pName = inst != nullptr ? toClientText(inst->name) : std::string();
    return S_OK;
}

// ---- Limits -------------------------------------------------------------------

HRESULT ReceiverDriver::get_RxFrqMax(std::int16_t Index, std::int32_t* pHz)
{
    return Ask(Index, pHz, [](ReceiverInstance&, Receiver& rx) { return rx.RxFrqMax(); });
}

HRESULT ReceiverDriver::get_RxFrqMin(std::int16_t Index, std::int32_t* pHz)
{
    return Ask(Index, pHz, [](ReceiverInstance&, Receiver& rx) { return rx.RxFrqMin(); });
}

HRESULT ReceiverDriver::get_RxFrqStp(std::int16_t Index, std::int32_t* pHz)
{
    return Ask(Index, pHz, [](ReceiverInstance&, Receiver& rx) { return rx.RxFrqStp(); });
}

HRESULT ReceiverDriver::get_RxBFOMax(std::int16_t Index, std::int32_t* pHz)
{
    return Ask(Index, pHz, [](ReceiverInstance&, Receiver& rx) { return rx.RxBFOMax(); });
}

HRESULT ReceiverDriver::get_RxBFOMin(std::int16_t Index, std::int32_t* pHz)
{
    return Ask(Index, pHz, [](ReceiverInstance&, Receiver& rx) { return rx.RxBFOMin(); });
}

HRESULT ReceiverDriver::get_RxRomID(std::int16_t Index, std::string* pRomId)
{
    return Ask(Index, pRomId, [](ReceiverInstance&, Receiver& rx) { return toClientText(rx.RomID()); });
}

// ---- Connection ---------------------------------------------------------------

HRESULT ReceiverDriver::RxConnect(std::int16_t Index, std::int32_t On, ConnErr* pResult)
{
    return Ask(Index, pResult,
               [On](ReceiverInstance&, Receiver& rx) { return On != 0 ? rx.Connect() : rx.Disconnect(); });
}

HRESULT ReceiverDriver::get_RxIsConnected(std::int16_t Index, std::int32_t* pConnected)
{
    if (pConnected == nullptr) {
        return E_POINTER;
    }
    *pConnected = 0;
    return Ask(Index, pConnected, [](ReceiverInstance&, Receiver& rx) { return rx.IsConnected(); });
}

HRESULT ReceiverDriver::RxRemote(std::int16_t Index, std::int32_t On, std::int32_t* pResult)
{
    return Ask(Index, pResult, [On](ReceiverInstance&, Receiver& rx) { return rx.RxRemote(On); });
}

HRESULT ReceiverDriver::get_RxIsRemote(std::int16_t Index, std::int32_t* pRemote)
{
    if (pRemote == nullptr) {
        return E_POINTER;
    }
    *pRemote = 0;
    return Ask(Index, pRemote, [](ReceiverInstance&, Receiver& rx) { return rx.IsRemote(); });
}

// ---- Frequency, BFO, offset ---------------------------------------------------

HRESULT ReceiverDriver::get_RxFrq(std::int16_t Index, FRQTYPE Kind, std::int32_t* pHz)
{
    return Ask(Index, pHz, [Kind](ReceiverInstance&, Receiver& rx) { return rx.GetFrq(Kind); });
}

HRESULT ReceiverDriver::put_RxFrq(std::int16_t Index, FRQTYPE Kind, std::int32_t Hz)
{
    return Tell(Index, [=](ReceiverInstance& inst, Receiver& rx) {
        inst.frqEcho = 0;
        rx.SetFrq(Hz, Kind, 1);
    });
}

HRESULT ReceiverDriver::get_RxIsBFOMod(std::int16_t Index, MODTYPE Mod, std::int32_t* pIsBfo)
{
    if (pIsBfo == nullptr) {
        return E_POINTER;
    }
    *pIsBfo = 0;
    return Ask(Index, pIsBfo, [Mod](ReceiverInstance&, Receiver& rx) { return rx.IsBFOMod(Mod); });
}

HRESULT ReceiverDriver::get_RxBFO(std::int16_t Index, std::int32_t* pHz)
{
    return Ask(Index, pHz, [](ReceiverInstance&, Receiver& rx) { return rx.GetBFO(); });
}

HRESULT ReceiverDriver::put_RxBFO(std::int16_t Index, std::int32_t Hz)
{
    return Tell(Index, [Hz](ReceiverInstance&, Receiver& rx) { rx.SetBFO(Hz); });
}

HRESULT ReceiverDriver::get_RxOffset(std::int16_t Index, std::int32_t* pHz)
{
    return Ask(Index, pHz, [](ReceiverInstance&, Receiver& rx) { return rx.RxOffset(); });
}

HRESULT ReceiverDriver::put_RxOffset(std::int16_t Index, std::int32_t Hz)
{
    return Tell(Index, [Hz](ReceiverInstance&, Receiver& rx) { rx.RxOffset(Hz); });
}

// ---- Counts -------------------------------------------------------------------

HRESULT ReceiverDriver::get_RxModCount(std::int16_t Index, std::int16_t* pCount)
{
    return Ask(Index, pCount, [](ReceiverInstance&, Receiver& rx) { return rx.ModCount(); });
}

HRESULT ReceiverDriver::get_RxAgcCount(std::int16_t Index, std::int16_t* pCount)
{
    return Ask(Index, pCount, [](ReceiverInstance&, Receiver& rx) { return rx.AgcCount(); });
}

HRESULT ReceiverDriver::get_RxNBlCount(std::int16_t Index, std::int16_t* pCount)
{
    return Ask(Index, pCount, [](ReceiverInstance&, Receiver& rx) { return rx.NBlCount(); });
}

HRESULT ReceiverDriver::get_RxAttCount(std::int16_t Index, std::int16_t* pCount)
{
    return Ask(Index, pCount, [](ReceiverInstance&, Receiver& rx) { return rx.AttCount(); });
}

HRESULT ReceiverDriver::get_RxFltCount(std::int16_t Index, std::int16_t* pCount)
{
    return Ask(Index, pCount, [](ReceiverInstance&, Receiver& rx) { return rx.FltCount(); });
}

HRESULT ReceiverDriver::get_RxChnCount(std::int16_t Index, std::int16_t* pCount)
{
    return Ask(Index, pCount, [](ReceiverInstance&, Receiver& rx) { return rx.ChnCount(); });
}

HRESULT ReceiverDriver::get_RxOutCount(std::int16_t Index, std::int16_t* pCount)
{
    return Ask(Index, pCount, [](ReceiverInstance&, Receiver& rx) { return rx.OutCount(); });
}

// ---- Names and types ------------------------------------------------------------

HRESULT ReceiverDriver::get_RxModName(std::int16_t Index, MODTYPE Mod, std::string* pName)
{
    return Ask(Index, pName, [Mod](ReceiverInstance&, Receiver&) { return Receiver::ModName(Mod); });
}

HRESULT ReceiverDriver::get_RxAgcName(std::int16_t Index, AGCTYPE Agc, std::string* pName)
{
    return Ask(Index, pName, [Agc](ReceiverInstance&, Receiver&) { return Receiver::AgcName(Agc); });
}

HRESULT ReceiverDriver::get_RxNBlName(std::int16_t Index, NBLTYPE NBl, std::string* pName)
{
    return Ask(Index, pName, [NBl](ReceiverInstance&, Receiver&) { return Receiver::NBlName(NBl); });
}

HRESULT ReceiverDriver::get_RxAttName(std::int16_t Index, ATTSTATE Att, std::string* pName)
{
    return Ask(Index, pName, [Att](ReceiverInstance&, Receiver&) { return Receiver::AttName(Att); });
}

HRESULT ReceiverDriver::get_RxModType(std::int16_t Index, const std::string& Name, MODTYPE* pMod)
{
    return Ask(Index, pMod, [&Name](ReceiverInstance&, Receiver&) { return Receiver::ModType(Name); });
}

HRESULT ReceiverDriver::get_RxAgcType(std::int16_t Index, const std::string& Name, AGCTYPE* pAgc)
{
    return Ask(Index, pAgc, [&Name](ReceiverInstance&, Receiver&) { return Receiver::AgcType(Name); });
}

HRESULT ReceiverDriver::get_RxNBlType(std::int16_t Index, const std::string& Name, NBLTYPE* pNBl)
{
    return Ask(Index, pNBl, [&Name](ReceiverInstance&, Receiver&) { return Receiver::NBlType(Name); });
}

HRESULT ReceiverDriver::get_RxAttType(std::int16_t Index, const std::string& Name, ATTSTATE* pAtt)
{
    return Ask(Index, pAtt, [&Name](ReceiverInstance&, Receiver&) { return Receiver::AttType(Name); });
}

// ---- Capabilities -----------------------------------------------------------------

HRESULT ReceiverDriver::get_RxIsModEmu(std::int16_t Index, MODTYPE Mod, std::int32_t* pResult)
{
    return Ask(Index, pResult, [Mod](ReceiverInstance&, Receiver& rx) { return rx.IsModEmu(Mod); });
}

HRESULT ReceiverDriver::get_RxModExist(std::int16_t Index, MODTYPE Mod, std::int32_t* pResult)
{
    return Ask(Index, pResult, [Mod](ReceiverInstance&, Receiver& rx) { return rx.ModExist(Mod); });
}

HRESULT ReceiverDriver::get_RxAgcExist(std::int16_t Index, AGCTYPE Agc, std::int32_t* pResult)
{
    return Ask(Index, pResult, [Agc](ReceiverInstance&, Receiver& rx) { return rx.AgcExist(Agc); });
}

HRESULT ReceiverDriver::get_RxNBlExist(std::int16_t Index, NBLTYPE NBl, std::int32_t* pResult)
{
    return Ask(Index, pResult, [NBl](ReceiverInstance&, Receiver& rx) { return rx.NBlExist(NBl); });
}

HRESULT ReceiverDriver::get_RxAttExist(std::int16_t Index, ATTSTATE Att, std::int32_t* pResult)
{
    return Ask(Index, pResult, [Att](ReceiverInstance&, Receiver& rx) { return rx.AttExist(Att); });
}

HRESULT ReceiverDriver::get_RxSqlExist(std::int16_t Index, std::int32_t* pResult)
{
    return Ask(Index, pResult, [](ReceiverInstance&, Receiver& rx) { return rx.SqlExist(); });
}

HRESULT ReceiverDriver::get_RxHFFExist(std::int16_t Index, std::int32_t* pResult)
{
    return Ask(Index, pResult, [](ReceiverInstance&, Receiver& rx) { return rx.HFFExist(); });
}

HRESULT ReceiverDriver::get_RxSMtExist(std::int16_t Index, std::int32_t* pResult)
{
    return Ask(Index, pResult, [](ReceiverInstance&, Receiver& rx) { return rx.SMtExist(); });
}

HRESULT ReceiverDriver::get_RxChnMskExist(std::int16_t Index, std::int32_t* pResult)
{
    return Ask(Index, pResult, [](ReceiverInstance&, Receiver& rx) { return rx.ChnMskExist(); });
}

// ---- Mode and AGC -------------------------------------------------------------------

HRESULT ReceiverDriver::get_RxMod(std::int16_t Index, MODTYPE* pMod)
{
    return Ask(Index, pMod, [](ReceiverInstance&, Receiver& rx) { return rx.GetMod(); });
}

HRESULT ReceiverDriver::put_RxMod(std::int16_t Index, MODTYPE Mod)
{
    return Tell(Index, [Mod](ReceiverInstance& inst, Receiver& rx) {
        inst.modEcho = 0;
        rx.SetMod(Mod);
    });
}

HRESULT ReceiverDriver::get_RxModNxt(std::int16_t Index, MODTYPE* pMod)
{
    return Ask(Index, pMod, [](ReceiverInstance& inst, Receiver& rx) {
        inst.modEcho = 0;
        return rx.ModNxt();
    });
}

HRESULT ReceiverDriver::get_RxAgcSts(std::int16_t Index, AGCTYPE* pAgc)
{
    return Ask(Index, pAgc, [](ReceiverInstance&, Receiver& rx) { return rx.GetAgc(); });
}

HRESULT ReceiverDriver::put_RxAgcSts(std::int16_t Index, AGCTYPE Agc)
{
    return Tell(Index, [Agc](ReceiverInstance& inst, Receiver& rx) {
        inst.agcEcho = 0;
        rx.SetAgc(Agc);
    });
}

HRESULT ReceiverDriver::get_RxAgcNxt(std::int16_t Index, AGCTYPE* pAgc)
{
    return Ask(Index, pAgc, [](ReceiverInstance& inst, Receiver& rx) {
        inst.agcEcho = 0;
        return rx.AgcNxt();
    });
}

// ---- Levels ---------------------------------------------------------------------------

HRESULT ReceiverDriver::get_RxAgcLvl(std::int16_t Index, std::int16_t* pLevel)
{
    return Ask(Index, pLevel, [](ReceiverInstance&, Receiver& rx) { return rx.Current().AgcLevel; });
}

HRESULT ReceiverDriver::put_RxAgcLvl(std::int16_t Index, std::int16_t Level)
{
    return Tell(Index, [Level](ReceiverInstance&, Receiver& rx) { rx.SetAgcLvl(Level); });
}

HRESULT ReceiverDriver::get_RxNBlLvl(std::int16_t Index, std::int16_t* pLevel)
{
    return Ask(Index, pLevel, [](ReceiverInstance&, Receiver& rx) { return rx.Current().NBlLevel; });
}

HRESULT ReceiverDriver::put_RxNBlLvl(std::int16_t Index, std::int16_t Level)
{
    return Tell(Index, [Level](ReceiverInstance&, Receiver& rx) { rx.SetNBlLvl(Level); });
}

HRESULT ReceiverDriver::get_RxAttLvl(std::int16_t Index, std::int16_t* pLevel)
{
    return Ask(Index, pLevel, [](ReceiverInstance&, Receiver& rx) { return rx.Current().AttLevel; });
}

HRESULT ReceiverDriver::put_RxAttLvl(std::int16_t Index, std::int16_t Level)
{
    return Tell(Index, [Level](ReceiverInstance&, Receiver& rx) { rx.SetAttLvl(Level); });
}

HRESULT ReceiverDriver::get_RxSqlLvl(std::int16_t Index, std::int16_t* pLevel)
{
    return Ask(Index, pLevel, [](ReceiverInstance&, Receiver& rx) { return rx.Current().SqlLevel; });
}

HRESULT ReceiverDriver::put_RxSqlLvl(std::int16_t Index, std::int16_t Level)
{
    return Tell(Index, [Level](ReceiverInstance&, Receiver& rx) { rx.SetSqlLvl(Level); });
}

// ---- Noise blanker, attenuator, preselector, squelch ------------------------------------

HRESULT ReceiverDriver::get_RxNBlSts(std::int16_t Index, NBLTYPE* pNBl)
{
    return Ask(Index, pNBl, [](ReceiverInstance&, Receiver& rx) { return rx.GetNBl(); });
}

HRESULT ReceiverDriver::put_RxNBlSts(std::int16_t Index, NBLTYPE NBl)
{
    return Tell(Index, [NBl](ReceiverInstance&, Receiver& rx) { rx.SetNBl(NBl); });
}

HRESULT ReceiverDriver::get_RxNBlNxt(std::int16_t Index, NBLTYPE* pNBl)
{
    return Ask(Index, pNBl, [](ReceiverInstance&, Receiver& rx) { return rx.NBlNxt(); });
}

HRESULT ReceiverDriver::get_RxAttSts(std::int16_t Index, ATTSTATE* pAtt)
{
    return Ask(Index, pAtt, [](ReceiverInstance&, Receiver& rx) { return rx.GetAtt(); });
}

HRESULT ReceiverDriver::put_RxAttSts(std::int16_t Index, ATTSTATE Att)
{
    return Tell(Index, [Att](ReceiverInstance&, Receiver& rx) { rx.SetAtt(Att); });
}

HRESULT ReceiverDriver::get_RxAttNxt(std::int16_t Index, ATTSTATE* pAtt)
{
    return Ask(Index, pAtt, [](ReceiverInstance&, Receiver& rx) { return rx.AttNxt(); });
}

HRESULT ReceiverDriver::get_RxHFFSts(std::int16_t Index, HFFSTATE* pHff)
{
    return Ask(Index, pHff, [](ReceiverInstance&, Receiver& rx) { return rx.GetHFF(); });
}

HRESULT ReceiverDriver::put_RxHFFSts(std::int16_t Index, HFFSTATE Hff)
{
    return Tell(Index, [Hff](ReceiverInstance&, Receiver& rx) { rx.SetHFF(Hff); });
}

HRESULT ReceiverDriver::get_RxSqlSts(std::int16_t Index, SQLSTATE* pSql)
{
    return Ask(Index, pSql, [](ReceiverInstance&, Receiver& rx) { return rx.GetSql(); });
}

// ---- Filters ----------------------------------------------------------------------------

HRESULT ReceiverDriver::get_RxFltValue(std::int16_t Index, std::int16_t Slot, std::int32_t* pHz)
{
    return Ask(Index, pHz, [Slot](ReceiverInstance&, Receiver& rx) { return rx.FltValue(Slot); });
}

HRESULT ReceiverDriver::get_RxFltName(std::int16_t Index, std::int16_t Slot, std::string* pName)
{
    return Ask(Index, pName, [Slot](ReceiverInstance&, Receiver& rx) { return toClientText(rx.FltName(Slot)); });
}

HRESULT ReceiverDriver::get_RxFltBW(std::int16_t Index, std::int32_t* pHz)
{
    return Ask(Index, pHz, [](ReceiverInstance&, Receiver& rx) { return rx.GetFltBW(); });
}

HRESULT ReceiverDriver::put_RxFltBW(std::int16_t Index, std::int32_t Hz)
{
    return Tell(Index, [Hz](ReceiverInstance& inst, Receiver& rx) {
        inst.fltEcho = 0;
        rx.SetFltBW(Hz);
    });
}

HRESULT ReceiverDriver::get_RxFltBWNxt(std::int16_t Index, std::int32_t* pHz)
{
    return Ask(Index, pHz, [](ReceiverInstance& inst, Receiver& rx) {
        inst.fltEcho = 0;
        return rx.FltBWNxt();
    });
}

HRESULT ReceiverDriver::get_RxSMtLvl(std::int16_t Index, SMetVal Kind, std::string* pText)
{
    return Ask(Index, pText, [Kind](ReceiverInstance&, Receiver& rx) { return toClientText(rx.SMtLvl(Kind)); });
}

// ---- Memory channels --------------------------------------------------------------------

HRESULT ReceiverDriver::get_RxChnStart(std::int16_t Index, std::int16_t* pStart)
{
    return Ask(Index, pStart, [](ReceiverInstance&, Receiver& rx) { return rx.ChnStart(); });
}

HRESULT ReceiverDriver::get_RxChn(std::int16_t Index, std::int16_t* pChn)
{
    return Ask(Index, pChn, [](ReceiverInstance&, Receiver& rx) { return rx.GetChn(); });
}

HRESULT ReceiverDriver::RxChnSave(std::int16_t Index, std::int16_t Chn, RCODE* pResult)
{
    return Ask(Index, pResult, [Chn](ReceiverInstance&, Receiver& rx) { return rx.ChnSave(Chn); });
}

HRESULT ReceiverDriver::RxChnLoad(std::int16_t Index, std::int16_t Chn, RCODE* pResult)
{
    return Ask(Index, pResult, [Chn](ReceiverInstance&, Receiver& rx) { return rx.ChnLoad(Chn); });
}

HRESULT ReceiverDriver::RxChnRead(std::int16_t Index, std::int16_t Chn, RCODE* pResult)
{
    return Ask(Index, pResult, [Chn](ReceiverInstance&, Receiver& rx) { return rx.ChnRead(Chn); });
}

HRESULT ReceiverDriver::RxChnClear(std::int16_t Index, std::int16_t Chn, RCODE* pResult)
{
    return Ask(Index, pResult, [Chn](ReceiverInstance&, Receiver& rx) { return rx.ChnClear(Chn); });
}

HRESULT ReceiverDriver::RxChnWrite(std::int16_t Index, std::int16_t Chn, std::int32_t Hz, std::int32_t BFO, MODTYPE Mod,
                                   std::int32_t FltHz, AGCTYPE Agc, std::int32_t Msk, RCODE* pResult)
{
    return Ask(Index, pResult,
               [=](ReceiverInstance&, Receiver& rx) { return rx.ChnWrite(Chn, Hz, BFO, Mod, FltHz, Agc, Msk); });
}

HRESULT ReceiverDriver::RxChnDump(std::int16_t Index, RCODE* pResult)
{
    return Ask(Index, pResult, [](ReceiverInstance&, Receiver& rx) { return rx.ChnDump(); });
}

// ---- Outputs and the rest -------------------------------------------------------------------

HRESULT ReceiverDriver::get_RxOut(std::int16_t Index, std::int16_t Num, std::int32_t* pState)
{
    return Ask(Index, pState, [Num](ReceiverInstance&, Receiver& rx) { return rx.GetOut(Num); });
}

HRESULT ReceiverDriver::put_RxOut(std::int16_t Index, std::int16_t Num, std::int32_t State)
{
    return Tell(Index, [=](ReceiverInstance&, Receiver& rx) { rx.SetOut(Num, State); });
}

HRESULT ReceiverDriver::get_RxErrDesc(std::int32_t Code, std::string* pText)
{
    if (pText == nullptr) {
        return E_POINTER;
    }
    if (m_manager->Empty()) {
        return S_FALSE;
    }
    *pText = errorText(Code);
    return S_OK;
}

HRESULT ReceiverDriver::put_RxTime(std::int16_t Index, const std::string& Time)
{
    return Tell(Index, [&Time](ReceiverInstance&, Receiver& rx) { rx.SetTime(Time); });
}

HRESULT ReceiverDriver::RxProcessKey(std::int16_t Index, std::int16_t Key, std::int32_t* pResult)
{
    return Ask(Index, pResult, [Key](ReceiverInstance&, Receiver& rx) { return rx.ProcessKey(Key); });
}

// ---- Connection point ---------------------------------------------------------------------------

HRESULT ReceiverDriver::Advise(IReceiverDriverEvents* Sink, std::uint32_t* pCookie)
{
    if (Sink == nullptr || pCookie == nullptr) {
        return E_POINTER;
    }
    *pCookie = m_manager->Advise(Sink);
    return S_OK;
}

HRESULT ReceiverDriver::Unadvise(std::uint32_t Cookie)
{
    return m_manager->Unadvise(Cookie) ? S_OK : kNoConnection;
}

}  // namespace quorvin
