// The settings of one application instance: the key named after the
// instance below "SOFTWARE\Korvane Software", its window positions (in
// twips, 15 to a pixel) and the eight options. Failures are silent: reads
// fall back to their defaults, writes are lost.
#pragma once

#include <QString>

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
    // Deletes the instance's key with everything below it.
    bool deleteInstance() const;

private:
    std::string key() const;
    QString m_instance;
};

// The application's eight options with their stored names and defaults.
struct Options {
    bool OptOnTop = true;           // "WindowsOnTop"
    bool OptBeep = true;            // "WindowsBeep"
    bool OptMonitorChanges = true;  // "MonitorChanges"
    bool OptFollowCarrier = true;   // "FollowCarrier"
    bool OptAutoMode = true;        // "AutoMode"
    bool OptAutoFilter = true;      // "AutoFilter"
    bool OptSendTime = true;        // "SendTime"
    bool OptDDELink = false;        // "DDELink"
    QString OptDDEName = QStringLiteral("Vemox");  // not stored

    void load(const AppSettings& settings);
    // Nothing is written for an empty instance name.
    void save(const AppSettings& settings) const;
};

}  // namespace tessaly
