// Status codes shared by every interface of the suite. A member returns a
// status and hands its answer back through an out-pointer; nothing throws
// across an interface.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);

// Truth values at the automation interfaces: true is -1, false is 0.
inline constexpr std::int32_t VARIANT_TRUE_VALUE = -1;
inline constexpr std::int32_t VARIANT_FALSE_VALUE = 0;
