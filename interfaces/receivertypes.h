// Enumerations, constants and records of the receiver driver library, with
// the values its clients and stored settings rely on.
#pragma once

#include <cstdint>

// POSIX's <unistd.h> and <fcntl.h> define R_OK as a macro for access(). The
// suite's RCODE owns that name: take both headers in first (their guards
// keep them from defining it again) and drop the macro.
#include <fcntl.h>
#include <unistd.h>
#undef R_OK

namespace quorvin {

enum MODTYPE : std::int32_t {
    ModNone = -1,
    ModAM = 0,
    ModCW = 1,
    ModUSB = 2,
    ModLSB = 3,
    ModFM = 4,
    ModRTTY = 5,
    ModFAX = 6,
    ModAM_U = 7,
    ModAM_L = 8,
    ModISB = 9,
    ModCW_F = 10,
    ModMPH = 11,
};

enum AGCTYPE : std::int32_t {
    AgcNone = -1,
    AgcManual = 0,
    AgcFast = 1,
    AgcMedium = 2,
    AgcSlow = 3,
    AgcFastManual = 4,
    AgcMediumManual = 5,
    AgcSlowManual = 6,
    AgcData = 7,
};

enum NBLTYPE : std::int32_t {
    NBlNone = -1,
    NBlOff = 0,
    NBlPeek = 1,
    NBlWide = 2,
};

enum SQLSTATE : std::int32_t {
    SqlNone = -1,
    SqlOff = 0,
    SqlOn = 1,
};

enum ATTSTATE : std::int32_t {
    AttNone = -1,
    AttOff = 0,
    AttOn1 = 1,
    AttOn2 = 2,
    AttOn3 = 3,
    AttOn4 = 4,
    AttOn5 = 5,
    AttPre = 9,
};

enum HFFSTATE : std::int32_t {
    HFFNone = -1,
    HFFOff = 0,
    HFFOn = 1,
};

enum FRQTYPE : std::int32_t {
    NONE = 0,
    ITUSpace = 1,
    CHNSpace = 2,
    RXAsDisp = 3,
    RXAsRequ = 4,
};

enum RCODE : std::int32_t {
    R_PERR = -2,
    R_WAIT = -1,
    R_KO = 0,
    R_OK = 1,
};

enum SMetVal : std::int32_t {
    Local = 0,
    dBuV = 1,
    SPoint = 2,
};

enum DrvType : std::int32_t {
    DrvNRD535 = 0,
    DrvRA6790 = 1,
    DrvRA1792 = 2,
    DrvTRC243 = 3,
    DrvREK085 = 4,
    DrvNDX264 = 5,
    DrvTRC294 = 6,
    DrvHF2050 = 7,
    DrvTRC298 = 8,
};

enum ConfMode : std::int32_t {
    ConfLoad = 0,
    ConfDialog = 1,
};

// Connection and reply error numbers; RxErrDesc gives their texts.
enum ConnErr : std::int32_t {
    ConnectObjectError = 999,
    ConnectNoError = 1000,
    ConnectLnClosed = 1001,
    ConnectLnLoopError = 1002,
    ConnectLnTimeOut = 1003,
    ConnectLnBadAddr = 1004,
    ConnectLnDatError = 1005,
    ConnectLnOpnError = 1006,
    ConnectLnAnyError = 1010,
    ConnectRxComPending = 1020,
    ConnectRxTimeOut = 1021,
    ConnectRxIdenError = 1022,
    ConnectRxCommError = 1023,
    ConnectRxBadAddr = 1024,
    ConnectRxBiteError = 1025,
    ConnectRxDataError = 1030,
    ConnectRxFramError = 1031,
};

// Reply errors that leave the connection standing.
enum DataErr : std::int32_t {
    DataErrData = ConnectRxDataError,
    DataErrFrame = ConnectRxFramError,
};

inline constexpr std::int16_t MODMAX = 12;
inline constexpr std::int16_t AGCMAX = 8;
inline constexpr std::int16_t NBLMAX = 2;
inline constexpr std::int16_t SQLMAX = 1;
inline constexpr std::int16_t ATTMAX = 5;
inline constexpr std::int16_t HFFMAX = 1;

// Number of receivers the suite serves at once.
inline constexpr std::int32_t kDrvMax = 8;

// A receiver's settings as reported, requested or held in a memory channel.
struct tag_EventData {
    std::int16_t ChnNumber;
    std::uint32_t FrqValue;
    std::uint32_t FrqStep;
    std::int32_t BFOValue;
    MODTYPE ModType;
    std::int32_t FltValue;
    AGCTYPE AgcType;
    std::int16_t AgcLevel;
    NBLTYPE NBlType;
    std::int16_t NBlLevel;
    SQLSTATE SqlState;
    std::int16_t SqlLevel;
    ATTSTATE AttState;
    std::int16_t AttLevel;
    HFFSTATE HFFState;
    std::int16_t SMtLevel;
    std::int32_t MskValue;
    std::int16_t IOState;
    std::int16_t Status;
};

// The same nineteen fields, each 32-bit: used for change flags.
struct tag_EventState {
    std::int32_t ChnNumber;
    std::int32_t FrqValue;
    std::int32_t FrqStep;
    std::int32_t BFOValue;
    std::int32_t ModType;
    std::int32_t FltValue;
    std::int32_t AgcType;
    std::int32_t AgcLevel;
    std::int32_t NBlType;
    std::int32_t NBlLevel;
    std::int32_t SqlState;
    std::int32_t SqlLevel;
    std::int32_t AttState;
    std::int32_t AttLevel;
    std::int32_t HFFState;
    std::int32_t SMtLevel;
    std::int32_t MskValue;
    std::int32_t IOState;
    std::int32_t Status;
};

}  // namespace quorvin
