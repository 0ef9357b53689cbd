// The port table and the probe that tells free, in use and absent apart.
#include "serialports.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/settingsstore.h"

namespace quorvin {

namespace {

// Lock directories that serial programs on Linux use for "LCK..name" files.
constexpr const char* kLockDirs[] = {"/var/lock", "/run/lock", "/var/spool/locks", "/tmp"};

std::string lockName(const std::string& device)
{
    std::string name = device;
    if (name.rfind("/dev/", 0) == 0) {
        name.erase(0, 5);
    }
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    return "LCK.." + name;
}

// A lock file names its holder's process id, as text (possibly padded) or as
// a binary 4-byte number; the holder must still be alive.
bool lockFileHeld(const std::string& device)
{
    const std::string name = lockName(device);
    for (const char* dir : kLockDirs) {
        std::ifstream in(std::string(dir) + "/" + name, std::ios::binary);
        if (!in) {
            continue;
        }
        std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        long pid = 0;
        std::size_t pos = content.find_first_not_of(' ');
        if (pos != std::string::npos) {
            const char* first = content.data() + pos;
            const char* last = content.data() + content.size();
            if (std::from_chars(first, last, pid).ec != std::errc{}) {
                pid = 0;
            }
        }
        if (pid <= 0 && content.size() == 4) {
            std::int32_t binaryPid = 0;
            std::copy(content.begin(), content.end(), reinterpret_cast<char*>(&binaryPid));
            pid = binaryPid;
        }
        if (pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string defaultPortDevice(int port)
{
    if (port < kFirstPort || port > kLastPort) {
        return {};
    }
    static const char* const kFamilies[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    const int index = port - 1;
    return std::string(kFamilies[index / 4]) + std::to_string(index % 4);
}

std::string portDevice(int port)
{
    if (port < kFirstPort || port > kLastPort) {
        return {};
    }
    auto& store = platform::SettingsStore::shared();
    const std::string name = std::to_string(port);
    if (auto stored = store.readText(kPortsKey, name)) {
        const auto first = stored->find_first_not_of(" \t");
        if (first == std::string::npos) {
            return {};
        }
        const auto last = stored->find_last_not_of(" \t");
        return stored->substr(first, last - first + 1);
    }
    const std::string device = defaultPortDevice(port);
    store.writeText(kPortsKey, name, device);
    return device;
}

PortState probeDevice(const std::string& device)
{
    if (device.empty()) {
        return PortState::Absent;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // Exclusive mode (TIOCEXCL) answers EBUSY; a port we may not use is
        // held by someone else as far as this program can tell.
        if (errno == EBUSY || errno == EACCES || errno == EPERM) {
            return PortState::InUse;
        }
        return PortState::Absent;
    }
    PortState state = PortState::Free;
    if (!::isatty(fd)) {
        state = PortState::Absent;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        state = errno == EWOULDBLOCK ? PortState::InUse : PortState::Free;
    } else {
        ::flock(fd, LOCK_UN);
        if (lockFileHeld(device)) {
            state = PortState::InUse;
        }
    }
    ::close(fd);
    return state;
}

bool deviceAccessDenied(const std::string& device)
{
    if (device.empty()) {
        return false;
    }
    // access() bits spelt out: inside this namespace R_OK is the driver's
    // result code (see interfaces/receivertypes.h), not the macro.
    constexpr int kMayRead = 4;
    constexpr int kMayWrite = 2;
    // AT_EACCESS: judged for the effective user and groups, as open() is.
    if (::faccessat(AT_FDCWD, device.c_str(), kMayRead | kMayWrite, AT_EACCESS) == 0) {
        return false;
    }
    return errno == EACCES || errno == EPERM;
}

std::string permissionMessage(const std::string& device)
{
    // Debian's group for serial ports, when the node names none.
    std::string group = "dialout";
    bool groupMayUse = true;
    struct stat st {};
    if (::stat(device.c_str(), &st) == 0) {
        groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
        std::vector<char> buffer(4096);
        struct group entry {};
        struct group* found = nullptr;
        if (::getgrgid_r(st.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
            found->gr_name != nullptr && found->gr_name[0] != '\0' && st.st_gid != 0) {
            group = found->gr_name;
        }
    }
    std::string text = "No permission to open the serial port " + device + ".\n";
    if (!groupMayUse) {
        return text +
               "Only the owner of the device may read and write it. Ask the administrator to give "
               "the group \"" +
               group +
               "\" read and write access to it (a udev rule), then add your user "
               "to that group.";
    }
    return text + "Access is granted by membership of the group \"" + group +
           "\": add your user to it (sudo adduser "
           "$USER " +
           group + "), then log out and in again.";
}

const char* portStateWord(PortState state)
{
    switch (state) {
    case PortState::Free: return "(Free)";
    case PortState::InUse: return "(Used)";
    case PortState::Absent: break;
    }
    return "";
}

}  // namespace quorvin
