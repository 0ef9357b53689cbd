// Support of the window tests: a settings file of their own, simulated
// receivers served in this process on ptys or TCP ports, configurations
// written for them, and a message seam that records instead of showing.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

#include "controller/app/messages.h"
#include "interfaces/receivertypes.h"
#include "simserver.h"

namespace tessaly::test {

class RecordingMessages : public Messages {
public:
    QStringList texts;
    int beeps = 0;
    void message(const QString&, const QString& text, Icon) override { texts << text; }
    void beep() override { ++beeps; }
};

struct SimReceiver {
    std::string instance;  // the instance name in the configuration
    std::string line;  // "NRD535", "RA1792:1"
    quorvin::DrvType type;
    sim::SimServer::Transport transport;
    std::unique_ptr<sim::SimServer> server;
};

// Points KORVANE_SETTINGS at a file in a directory of its own (before any
// store is opened) and removes it at the end.
class TestSettings {
public:
    TestSettings();
    ~TestSettings();
    const std::string& dir() const { return m_dir; }

private:
    std::string m_dir;
};

// Starts the receivers' simulators and stores the configuration.
void startAndConfigure(const std::string& configuration, std::vector<SimReceiver>& receivers);

std::int32_t simFrequency(SimReceiver& rx);
void setSimFrequency(SimReceiver& rx, std::int32_t hz);

}  // namespace tessaly::test
