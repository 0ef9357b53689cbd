// FrequencyData, the one object of the frequency database library: the band
// cursor, the utility and bank lists and the station database behind
// IFrequencyData. Every member answers S_OK; outcomes travel in the values.
#pragma once

#include <string>

#include "bandplan.h"
#include "interfaces/component.h"
#include "interfaces/ifrequencydata.h"
#include "stationdatabase.h"
#include "utilitylists.h"

namespace lumaret {

class FrequencyData;

// The two dialogs live in a widgets target of their own; it installs a host
// here. Without one (tests, command-line tools) the dialogs show nothing.
class DialogHost {
public:
    virtual ~DialogHost() = default;
    virtual void utilDialog(FrequencyData& data) = 0;
    virtual void dataDialog(FrequencyData& data) = 0;
};
DialogHost* setDialogHost(DialogHost* host);

class FrequencyData : public IFrequencyData {
public:
    FrequencyData();
    ~FrequencyData() override;

    HRESULT get_BandRegion(std::int16_t* pRegion) override;
    HRESULT put_BandRegion(std::int16_t Region) override;
    HRESULT get_BandRegionNext(std::int16_t* pRegion) override;
    HRESULT get_BandCode(std::int16_t Pos, ALLOCTYPE* pCode) override;
    HRESULT get_BandName(std::string* pName) override;
    HRESULT get_BandSFrq(std::int32_t* pHz) override;
    HRESULT get_BandEFrq(std::int32_t* pHz) override;
    HRESULT get_BandStep(std::int16_t* pHz) override;
    HRESULT get_BandNext(std::int32_t Up, std::int32_t* pHz) override;
    HRESULT get_BandLook(std::int32_t Frq, std::int32_t* pFound) override;
    HRESULT get_BandFilter(std::int16_t* pHz) override;
    HRESULT get_BandMode(BESTMODE* pMode) override;
    HRESULT get_FreqLook(std::int32_t Frq, std::int16_t Delta, std::int32_t* pFound) override;
    HRESULT FreqNext(UTILTYPE Typ, std::int32_t Up, std::int32_t* pIdx, std::int32_t* pTot, std::int32_t* pHz) override;
    HRESULT get_FreqExact(std::int32_t* pHz) override;
    HRESULT get_FreqName(std::string* pName) override;
    HRESULT get_FreqInfo(std::string* pInfo) override;
    HRESULT get_FreqSupp(std::string* pSupp) override;
    HRESULT get_FreqOffset(std::int16_t* pHz) override;
    HRESULT get_FreqType(UTILTYPE* pType) override;
    HRESULT get_FreqFilter(std::int16_t* pHz) override;
    HRESULT get_FreqMode(BESTMODE* pMode) override;
    HRESULT StorageKey(const std::string& Key, std::int32_t* pResult) override;
    HRESULT UtilDialog(std::int32_t* pResult) override;
    HRESULT UtilNext(std::int32_t Up, std::int32_t* pIdx, std::int32_t* pTot, std::int32_t* pHz) override;
    HRESULT BankNext(std::int32_t Up, std::int32_t* pIdx, std::int32_t* pTot, std::int32_t* pHz) override;
    HRESULT ModeName(BESTMODE Md, std::string* pName) override;
    HRESULT DataDialog(std::int32_t* pResult) override;
    HRESULT DataCount(std::int32_t Uniq, std::int32_t* pCount) override;
    HRESULT DataFirst(DATARECORD* pData, std::int32_t Freq, std::int16_t Delta, std::int32_t* pFound) override;
    HRESULT DataNext(DATARECORD* pData, std::int32_t Up, std::int32_t* pFound) override;

    // Not part of the interface: the current band's whole tuning step. The
    // interface carries the step in 16 bits, so the 100 kHz step of the FM
    // broadcast band arrives there as -31072; this gives 100000.
    std::int32_t bandStepHz() const { return m_band.stepHz(); }

    // For the dialogs.
    const std::string& storageKey() const { return m_storageKey; }
    UtilityLists& utilityLists() { return m_lists; }
    StationDatabase& database() { return m_database; }
    BandPlan& band() { return m_band; }

private:
    BandPlan m_band;
    UtilityLists m_lists;
    StationDatabase m_database;
    std::string m_storageKey;
};

}  // namespace lumaret

extern "C" {
// Exported beside the factory: the whole band step in Hz of a FrequencyData
// created by this library (see FrequencyData::bandStepHz). Returns S_OK, or
// E_POINTER for a null or foreign object.
KORVANE_EXPORT HRESULT LumaretBandStepHz(lumaret::IFrequencyData* object, std::int32_t* pHz);
}
