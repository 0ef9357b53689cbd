// How a client creates the objects of the two libraries: each shared library
// exports one C function that creates an object by its class identifier.
#pragma once

#include "status.h"

// Marks the few C entry points a component library exports: its factory and
// the documented extras. Everything else in a library is hidden, so each
// library keeps its own private copy of the code it links.
#define KORVANE_EXPORT __attribute__((visibility("default")))

extern "C" {
// Creates the object named by classId (braced, lower-case GUID text) and
// stores it in *object. Returns S_OK, or CLASS_E_CLASSNOTAVAILABLE for an
// unknown identifier. The caller owns the object and deletes it through the
// interface's virtual destructor.
typedef HRESULT (*ComponentFactoryFn)(const char* classId, void** object);
}

// Name of the exported factory in every component library.
inline constexpr const char* kComponentFactorySymbol = "KorvaneCreateComponent";

// Receiver driver library.
inline constexpr const char* kQuorvinLibraryFile = "libquorvin.so";
inline constexpr const char* kReceiverDriverClassId = "{beba4552-a15a-4f4a-b00c-eb647ff476cb}";
inline constexpr const char* kReceiverDriverProgId = "Quorvin.ReceiverDriver.1";
inline constexpr const char* kReceiverDriverInterfaceId = "{beba27ca-46e3-4156-9f4a-a82340415639}";
inline constexpr const char* kReceiverDriverEventsId = "{beba28c8-7ebf-4af0-8119-947ecda59ee5}";
inline constexpr const char* kQuorvinTypeLibraryId = "{beba1956-63d3-4a42-b077-1c46fef7f97c}";

// Frequency database library.
inline constexpr const char* kLumaretLibraryFile = "liblumaret.so";
inline constexpr const char* kFrequencyDataClassId = "{beba1912-a15a-4f4a-b00c-eb647ff476cb}";
inline constexpr const char* kFrequencyDataProgId = "Lumaret.FrequencyData.1";
inline constexpr const char* kFrequencyDataInterfaceId = "{beba1913-46e3-4156-9f4a-a82340415639}";
inline constexpr const char* kLumaretTypeLibraryId = "{beba1910-63d3-4a42-b077-1c46fef7f97c}";
