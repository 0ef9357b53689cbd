// Per-instance settings on the suite's settings store.
#include "appsettings.h"

#include "platform/settingsstore.h"

namespace tessaly {

std::string AppSettings::key() const
{
    return platform::SettingsStore::join(platform::kSettingsRoot, m_instance.toStdString());
}

std::int32_t AppSettings::readNumber(const char* name, std::int32_t fallback) const
{
    if (m_instance.isEmpty()) {
        return fallback;
    }
    return platform::SettingsStore::shared().readNumber(key(), name, fallback);
}

bool AppSettings::readBool(const char* name, bool fallback) const
{
    return readNumber(name, fallback ? -1 : 0) != 0;
}

bool AppSettings::writeNumber(const char* name, std::int32_t value) const
{
    if (m_instance.isEmpty()) {
        return false;
    }
    return platform::SettingsStore::shared().writeNumber(key(), name, value);
}

bool AppSettings::writeBool(const char* name, bool value) const
{
    return writeNumber(name, value ? -1 : 0);
}

bool AppSettings::deleteInstance() const
{
    if (m_instance.isEmpty()) {
        return false;
    }
    return platform::SettingsStore::shared().deleteTree(key());
}

void Options::load(const AppSettings& s)
{
    OptOnTop = s.readBool("WindowsOnTop", true);
    OptBeep = s.readBool("WindowsBeep", true);
    OptMonitorChanges = s.readBool("MonitorChanges", true);
    OptFollowCarrier = s.readBool("FollowCarrier", true);
    OptAutoMode = s.readBool("AutoMode", true);
    OptAutoFilter = s.readBool("AutoFilter", true);
    OptSendTime = s.readBool("SendTime", true);
    OptDDELink = s.readBool("DDELink", false);
}

void Options::save(const AppSettings& s) const
{
    if (s.instance().isEmpty()) {
        return;
    }
    s.writeBool("WindowsOnTop", OptOnTop);
    s.writeBool("WindowsBeep", OptBeep);
    s.writeBool("MonitorChanges", OptMonitorChanges);
    s.writeBool("FollowCarrier", OptFollowCarrier);
    s.writeBool("AutoMode", OptAutoMode);
    s.writeBool("AutoFilter", OptAutoFilter);
    s.writeBool("SendTime", OptSendTime);
    s.writeBool("DDELink", OptDDELink);
}

}  // namespace tessaly
