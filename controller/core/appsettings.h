// The settings of one application instance: the key named after the
// instance below "SOFTWARE\Korvane Software", its window positions (in
// twips, 15 to a pixel) and the eight options. Failures are silent: reads
// fall back to their defaults, writes are lost.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace tessaly {

inline constexpr int kTwipsPerPixel = 15;

class AppSettings {
public:
    explicit AppSettings(QString instance) : m_instance(std::move(instance)) {}

    const QString& instance() const { return m_instance; }
    std::int32_t readNumber(const char* name, std::int32_t fallback) const;
    bool readBool(const char* name, bool fallback) const;
    bool writeNumber(const char* name, std::int32_t value) const;
    // True is stored as -1, false as 0; any non-zero value reads as true.
    bool writeBool(const char* name, bool value) const;
    QString readText(const char* name, const QString& fallback) const;
    bool writeText(const char* name, const QString& value) const;
    // Deletes the instance's key with everything below it.
    bool deleteInstance() const;

private:
    std::string key() const;
    QString m_instance;
};

// The application's eight options with their stored names and defaults,
// and the network server's settings.
struct Options {
    bool OptOnTop = true;  // "WindowsOnTop"
    bool OptBeep = true;  // "WindowsBeep"
    bool OptMonitorChanges = true;  // "MonitorChanges"
    bool OptFollowCarrier = true;  // "FollowCarrier"
    bool OptAutoMode = true;  // "AutoMode"
    bool OptAutoFilter = true;  // "AutoFilter"
    bool OptSendTime = true;  // "SendTime"
    bool OptDDELink = false;  // "DDELink"
    QString OptDDEName = QStringLiteral("Vemox");  // not stored

    // The network server: receiver i served on OptNetAddress, port
    // OptNetPort + i; a client silent for OptNetIdle seconds is closed (0 never).
    bool OptNetServer = false;  // "NetServer"
    QString OptNetAddress = QStringLiteral("127.0.0.1");  // "NetAddress"
    std::int32_t OptNetPort = 4532;  // "NetPort"
    std::int32_t OptNetIdle = 600;  // "NetIdle"

    void load(const AppSettings& settings);
    // Nothing is written for an empty instance name. False when a value
    // could not be stored.
    bool save(const AppSettings& settings) const;
};

// One of the options the dialog shows as a check box: the member, its
// stored name and default, the check box's name, text and tool tip.
struct BoolOption {
    bool Options::*member;
    const char* valueName;
    bool fallback;
    const char* box;  // nullptr: no check box
    const char* text;
    const char* tip;  // nullptr: none
};
// The boolean options in the order they are stored.
const BoolOption* boolOptions(std::size_t* count);

inline constexpr std::int32_t kLastBasePort = 65535 - 7;  // eight receivers above it
inline constexpr std::int32_t kMaxIdleSeconds = 24 * 3600;

// What is wrong with the network server's settings, or an empty text.
QString netSettingsProblem(const QString& address, std::int32_t basePort, std::int32_t idleSeconds);

}  // namespace tessaly
