// Per-instance settings on the suite's settings store.
#include "appsettings.h"

#include <QHostAddress>

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

QString AppSettings::readText(const char* name, const QString& fallback) const
{
    if (m_instance.isEmpty()) {
        return fallback;
    }
    const auto text = platform::SettingsStore::shared().readText(key(), name);
    return text ? QString::fromStdString(*text) : fallback;
}

bool AppSettings::writeText(const char* name, const QString& value) const
{
    if (m_instance.isEmpty()) {
        return false;
    }
    return platform::SettingsStore::shared().writeText(key(), name, value.toStdString());
}

bool AppSettings::deleteInstance() const
{
    if (m_instance.isEmpty()) {
        return false;
    }
    return platform::SettingsStore::shared().deleteTree(key());
}

namespace {

constexpr BoolOption kBoolOptions[] = {
    {&Options::OptOnTop, "WindowsOnTop", true, "WndOTop", "Dialog always on &top",
     "If selected, dialog will alway be on top"},
    {&Options::OptBeep, "WindowsBeep", true, "WndBeep", "Beep on &Errors", "If selected, beep occured on errors"},
    {&Options::OptMonitorChanges, "MonitorChanges", true, "WndMonR", "&Monitor Rx Events",
     "If selected, any receiver change will set focus to the source event receiver"},
    {&Options::OptFollowCarrier, "FollowCarrier", true, nullptr, nullptr, nullptr},
    {&Options::OptAutoMode, "AutoMode", true, "FrqSetM", "use Auto-&Mode",
     "If selected, keep the same carrier on mode change"},
    {&Options::OptAutoFilter, "AutoFilter", true, "FrqSetF", "use Auto-&Filter",
     "If selected, keep the same carrier on mode change"},
    {&Options::OptSendTime, "SendTime", true, "SndTimR", "Send time to receivers", nullptr},
    {&Options::OptDDELink, "DDELink", false, "DDEOAct", "Enable DDE link",
     "If selected, will try to connect to DDE server"},
};

}  // namespace

const BoolOption* boolOptions(std::size_t* count)
{
    *count = std::size(kBoolOptions);
    return kBoolOptions;
}

QString netSettingsProblem(const QString& address, std::int32_t basePort, std::int32_t idleSeconds)
{
    QHostAddress parsed;
    if (!parsed.setAddress(address.trimmed())) {
        return QStringLiteral("\"%1\" is no IP address (for example 127.0.0.1, or 0.0.0.0 for every interface)")
            .arg(address);
    }
    if (basePort < 1 || basePort > kLastBasePort) {
        return QStringLiteral("The first port must lie between 1 and %1").arg(kLastBasePort);
    }
    if (idleSeconds < 0 || idleSeconds > kMaxIdleSeconds) {
        return QStringLiteral("The idle time must lie between 0 (never) and %1 seconds").arg(kMaxIdleSeconds);
    }
    return QString();
}

void Options::load(const AppSettings& s)
{
    for (const BoolOption& o : kBoolOptions) {
        this->*o.member = s.readBool(o.valueName, o.fallback);
    }
    OptNetServer = s.readBool("NetServer", false);
    OptNetAddress = s.readText("NetAddress", QStringLiteral("127.0.0.1"));
    OptNetPort = s.readNumber("NetPort", 4532);
    OptNetIdle = s.readNumber("NetIdle", 600);
}

bool Options::save(const AppSettings& s) const
{
    if (s.instance().isEmpty()) {
        return true;
    }
    bool ok = true;
    for (const BoolOption& o : kBoolOptions) {
        ok = s.writeBool(o.valueName, this->*o.member) && ok;
    }
    ok = s.writeBool("NetServer", OptNetServer) && ok;
    ok = s.writeText("NetAddress", OptNetAddress) && ok;
    ok = s.writeNumber("NetPort", OptNetPort) && ok;
    ok = s.writeNumber("NetIdle", OptNetIdle) && ok;
    return ok;
}

}  // namespace tessaly
