// FrequencyData: the members of IFrequencyData, each a thin call into the
// band plan, the utility lists or the station database.
#include "frequencydata.h"

namespace lumaret {

namespace {

DialogHost* g_dialogHost = nullptr;

template <typename T>
HRESULT put(T* target, T value)
{
    if (!target) {
        return E_POINTER;
    }
    *target = value;
    return S_OK;
}

}  // namespace

DialogHost* setDialogHost(DialogHost* host)
{
    DialogHost* old = g_dialogHost;
    g_dialogHost = host;
    return old;
}

FrequencyData::FrequencyData() = default;
FrequencyData::~FrequencyData() = default;

HRESULT FrequencyData::get_BandRegion(std::int16_t* pRegion)
{
    return put(pRegion, m_band.region());
}

HRESULT FrequencyData::put_BandRegion(std::int16_t Region)
{
    m_band.setRegion(Region);
    return S_OK;
}

HRESULT FrequencyData::get_BandRegionNext(std::int16_t* pRegion)
{
    return put(pRegion, m_band.nextRegion());
}

HRESULT FrequencyData::get_BandCode(std::int16_t Pos, ALLOCTYPE* pCode)
{
    return put(pCode, m_band.code(Pos));
}

HRESULT FrequencyData::get_BandName(std::string* pName)
{
    return put(pName, m_band.name());
}

HRESULT FrequencyData::get_BandSFrq(std::int32_t* pHz)
{
    return put(pHz, m_band.startHz());
}

HRESULT FrequencyData::get_BandEFrq(std::int32_t* pHz)
{
    return put(pHz, m_band.endHz());
}

HRESULT FrequencyData::get_BandStep(std::int16_t* pHz)
{
    return put(pHz, m_band.step16());
}

HRESULT FrequencyData::get_BandNext(std::int32_t Up, std::int32_t* pHz)
{
    return put(pHz, m_band.next(Up != 0));
}

HRESULT FrequencyData::get_BandLook(std::int32_t Frq, std::int32_t* pFound)
{
    return put(pFound, std::int32_t{m_band.look(Frq) ? 1 : 0});
}

HRESULT FrequencyData::get_BandFilter(std::int16_t* pHz)
{
    return put(pHz, m_band.filter());
}

HRESULT FrequencyData::get_BandMode(BESTMODE* pMode)
{
    return put(pMode, m_band.mode());
}

HRESULT FrequencyData::get_FreqLook(std::int32_t Frq, std::int16_t Delta, std::int32_t* pFound)
{
    m_band.look(Frq);
    return put(pFound, m_lists.look(Frq, Delta));
}

HRESULT FrequencyData::FreqNext(UTILTYPE Typ, std::int32_t Up, std::int32_t* pIdx, std::int32_t* pTot,
                                std::int32_t* pHz)
{
    return put(pHz, m_lists.next(Typ, Up != 0, pIdx, pTot));
}

HRESULT FrequencyData::get_FreqExact(std::int32_t* pHz)
{
    return put(pHz, m_lists.hit().exact);
}

HRESULT FrequencyData::get_FreqName(std::string* pName)
{
    return put(pName, m_lists.hit().name);
}

HRESULT FrequencyData::get_FreqInfo(std::string* pInfo)
{
    return put(pInfo, m_lists.hit().info);
}

HRESULT FrequencyData::get_FreqSupp(std::string* pSupp)
{
    return put(pSupp, m_lists.hit().supp);
}

HRESULT FrequencyData::get_FreqOffset(std::int16_t* pHz)
{
    return put(pHz, m_lists.hit().offset);
}

HRESULT FrequencyData::get_FreqType(UTILTYPE* pType)
{
    return put(pType, m_lists.hit().list);
}

HRESULT FrequencyData::get_FreqFilter(std::int16_t* pHz)
{
    return put(pHz, m_lists.hit().filter);
}

HRESULT FrequencyData::get_FreqMode(BESTMODE* pMode)
{
    return put(pMode, m_lists.hit().mode);
}

HRESULT FrequencyData::StorageKey(const std::string& Key, std::int32_t* pResult)
{
    m_storageKey = Key;
    const bool selection = m_lists.loadSelection(Key);
    const bool database = m_database.loadFromStore(Key);
    return put(pResult, std::int32_t{selection && database ? 1 : 0});
}

HRESULT FrequencyData::UtilDialog(std::int32_t* pResult)
{
    if (g_dialogHost) {
        g_dialogHost->utilDialog(*this);
    }
    return put(pResult, std::int32_t{0});
}

HRESULT FrequencyData::UtilNext(std::int32_t Up, std::int32_t* pIdx, std::int32_t* pTot, std::int32_t* pHz)
{
    return put(pHz, m_lists.utilNext(Up != 0, pIdx, pTot));
}

HRESULT FrequencyData::BankNext(std::int32_t Up, std::int32_t* pIdx, std::int32_t* pTot, std::int32_t* pHz)
{
    return put(pHz, m_lists.bankNext(Up != 0, pIdx, pTot));
}

HRESULT FrequencyData::ModeName(BESTMODE Md, std::string* pName)
{
    return put(pName, modeName(Md));
}

HRESULT FrequencyData::DataDialog(std::int32_t* pResult)
{
    if (g_dialogHost) {
        g_dialogHost->dataDialog(*this);
    }
    return put(pResult, std::int32_t{0});
}

HRESULT FrequencyData::DataCount(std::int32_t Uniq, std::int32_t* pCount)
{
    return put(pCount, m_database.count(Uniq != 0));
}

HRESULT FrequencyData::DataFirst(DATARECORD* pData, std::int32_t Freq, std::int16_t Delta, std::int32_t* pFound)
{
    return put(pFound, m_database.first(pData, Freq, Delta));
}

HRESULT FrequencyData::DataNext(DATARECORD* pData, std::int32_t Up, std::int32_t* pFound)
{
    return put(pFound, m_database.next(pData, Up != 0));
}

}  // namespace lumaret

extern "C" HRESULT LumaretBandStepHz(lumaret::IFrequencyData* object, std::int32_t* pHz)
{
    auto* data = dynamic_cast<lumaret::FrequencyData*>(object);
    if (!data || !pHz) {
        return E_POINTER;
    }
    *pHz = data->bandStepHz();
    return S_OK;
}
