// IFrequencyData: band plan, utility and bank lists and the operator's
// station database. Every member returns S_OK; outcomes travel in the
// result values. Members are listed in slot order.
#pragma once

#include <cstdint>
#include <string>

#include "status.h"

namespace lumaret {

enum BESTMODE : std::int32_t {
    ModeNone = -1,
    ModeAM = 0,
    ModeCW = 1,
    ModeUSB = 2,
    ModeLSB = 3,
    ModeFM = 4,
    ModeRTTY = 5,
    ModeFAX = 6,
};

enum ALLOCTYPE : std::int32_t {
    ANothin = -1,
    AEmpty_ = 0,
    AFixFrq = 1,
    AMobFrq = 2,
    ABwcFrq = 3,
    ARadNav = 4,
    ARadLoc = 5,
    AMarMob = 6,
    AMarNav = 7,
    AAerMob = 8,
    AAerNav = 9,
    ALndMob = 10,
    AHamFrq = 11,
    AStdFrq = 12,
    AAstFrq = 13,
    ASpcFrq = 14,
    ASosFrq = 15,
};

enum UTILTYPE : std::int32_t {
    UNothin = -1,
    UMarPrc = 0,
    UMarUrc = 1,
    UMarUra = 2,
    UMarPtc = 3,
    UMarUtc = 4,
    UMarMds = 5,
    UMarDsc = 6,
    UMarMsi = 7,
    UMarSar = 8,
    UMarNbd = 9,
    UNavTex = 10,
    UWeaFax = 11,
    UAerAcs = 12,
    UAerMet = 13,
    UAerNav = 14,
    UUafGcs = 15,
    UUafAle = 16,
    UCarBea = 17,
    UCarChn = 18,
};

// Declared for clients; no operation takes it (BandRegion works on 0..2).
enum REGIONTYPE : std::int32_t {
    RegionNone = -1,
    RegionAll = 0,
    Region1 = 1,
    Region2 = 2,
    Region3 = 3,
};

// One row of the operator's station database, every field as text.
struct DATARECORD {
    std::string BaseName;
    std::string TableName;
    std::string Frequency;
    std::string Description;
    std::string StationID;
    std::string Modulation;
    std::string Mode;
    std::string Baud;
};

class IFrequencyData {
public:
    virtual ~IFrequencyData() = default;

    virtual HRESULT get_BandRegion(std::int16_t* pRegion) = 0;  // 0
    virtual HRESULT put_BandRegion(std::int16_t Region) = 0;  // 0
    virtual HRESULT get_BandRegionNext(std::int16_t* pRegion) = 0;  // 1
    virtual HRESULT get_BandCode(std::int16_t Pos, ALLOCTYPE* pCode) = 0;  // 2
    virtual HRESULT get_BandName(std::string* pName) = 0;  // 3
    virtual HRESULT get_BandSFrq(std::int32_t* pHz) = 0;  // 4
    virtual HRESULT get_BandEFrq(std::int32_t* pHz) = 0;  // 5
    virtual HRESULT get_BandStep(std::int16_t* pHz) = 0;  // 6
    virtual HRESULT get_BandNext(std::int32_t Up, std::int32_t* pHz) = 0;  // 7
    virtual HRESULT get_BandLook(std::int32_t Frq, std::int32_t* pFound) = 0;  // 8
    virtual HRESULT get_BandFilter(std::int16_t* pHz) = 0;  // 9
    virtual HRESULT get_BandMode(BESTMODE* pMode) = 0;  // 10
    virtual HRESULT get_FreqLook(std::int32_t Frq, std::int16_t Delta, std::int32_t* pFound) = 0;  // 11
    virtual HRESULT FreqNext(UTILTYPE Typ, std::int32_t Up, std::int32_t* pIdx, std::int32_t* pTot,
                             std::int32_t* pHz) = 0;  // 12
    virtual HRESULT get_FreqExact(std::int32_t* pHz) = 0;  // 13
    virtual HRESULT get_FreqName(std::string* pName) = 0;  // 14
    virtual HRESULT get_FreqInfo(std::string* pInfo) = 0;  // 15
    virtual HRESULT get_FreqSupp(std::string* pSupp) = 0;  // 16
    virtual HRESULT get_FreqOffset(std::int16_t* pHz) = 0;  // 17
    virtual HRESULT get_FreqType(UTILTYPE* pType) = 0;  // 18
    virtual HRESULT get_FreqFilter(std::int16_t* pHz) = 0;  // 19
    virtual HRESULT get_FreqMode(BESTMODE* pMode) = 0;  // 20
    virtual HRESULT StorageKey(const std::string& Key, std::int32_t* pResult) = 0;  // 21
    virtual HRESULT UtilDialog(std::int32_t* pResult) = 0;  // 22
    virtual HRESULT UtilNext(std::int32_t Up, std::int32_t* pIdx, std::int32_t* pTot, std::int32_t* pHz) = 0;  // 23
    virtual HRESULT BankNext(std::int32_t Up, std::int32_t* pIdx, std::int32_t* pTot, std::int32_t* pHz) = 0;  // 24
    virtual HRESULT ModeName(BESTMODE Md, std::string* pName) = 0;  // 25
    virtual HRESULT DataDialog(std::int32_t* pResult) = 0;  // 26
    virtual HRESULT DataCount(std::int32_t Uniq, std::int32_t* pCount) = 0;  // 28
    virtual HRESULT DataFirst(DATARECORD* pData, std::int32_t Freq, std::int16_t Delta,
                              std::int32_t* pFound) = 0;  // 29
    virtual HRESULT DataNext(DATARECORD* pData, std::int32_t Up, std::int32_t* pFound) = 0;  // 30
};

}  // namespace lumaret
