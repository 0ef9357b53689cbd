// Port numbers 1..12 and the devices behind them. The table lives in the
// settings store under "SOFTWARE\Korvane Software\Ports" as text values
// "1".."12" holding device paths, so an operator can point a port at
// /dev/ttyUSB0, a pseudo-terminal such as /dev/pts/5, or anything else.
// Missing entries are written with their defaults on first use.
#pragma once

#include <string>

namespace quorvin {

inline constexpr const char* kPortsKey = "SOFTWARE\\Korvane Software\\Ports";
inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 12;

enum class PortState { Free, InUse, Absent };

// 1..4 → /dev/ttyS0..3, 5..8 → /dev/ttyUSB0..3, 9..12 → /dev/ttyACM0..3.
std::string defaultPortDevice(int port);

// The device path for a port number; empty when the number is outside
// 1..12 or the operator cleared the entry.
std::string portDevice(int port);

// Probes a device path without disturbing a program that holds it: absent
// when it does not exist or is no terminal device; in use when it is
// exclusive, flock()ed or has a live UUCP-style lock file; else free.
PortState probeDevice(const std::string& device);

// The text the settings dialog shows after a port's caption.
const char* portStateWord(PortState state);

// True when this program may not read and write the device (by its mode,
// owner and group, as open() would judge it).
bool deviceAccessDenied(const std::string& device);

// What the user is told when a port cannot be opened for lack of
// permission: the device and the group that grants access to it, read from
// the device node (dialout when the node cannot tell).
std::string permissionMessage(const std::string& device);

}  // namespace quorvin
