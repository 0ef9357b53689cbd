// The table of simulated models and the receivers that share one line.
// Adding a model is one SimReceiver subclass and its `create` entry here.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "simreceiver.h"

namespace sim {

// Switches that fit some models (for example "H" for the NRD535's
// variable-bandwidth option) and the seed of their random parts.
struct ModelOptions {
    std::set<std::string> options;
    std::uint32_t seed = 1;
    bool has(std::string_view name) const { return options.count(std::string(name)) != 0; }
};

struct SimModel {
    std::string_view name;
    int driverType;  // the driver's DrvType value
    int defaultAddress;  // -1: the model has no bus address and cannot share a line
    int maxAddress;  // addresses run 0..maxAddress
    // Creates the simulator; nullptr while the model has none yet.
    std::unique_ptr<SimReceiver> (*create)(int address, const ModelOptions& options);
};

std::span<const SimModel> simModels();
// Case-insensitive; nullptr for an unknown name.
const SimModel* findSimModel(std::string_view name);
// "NRD535, RA1792": the models that have a simulator.
std::string builtModelNames();

struct ReceiverConfig {
    const SimModel* model = nullptr;
    int address = -1;
};

// One LINE of the command line: MODEL[:ADDRESS], several joined with "+".
struct LineConfig {
    std::string text;
    std::vector<ReceiverConfig> receivers;
};

// Parses and checks a LINE; on failure returns false and a message for the operator.
bool parseLineConfig(std::string_view text, LineConfig& config, std::string& error);

// The receivers on one line. Every receiver sees every byte, as on a real
// bus; each answers only what is addressed to it.
class SimLine {
public:
    SimLine() = default;
    explicit SimLine(std::vector<std::unique_ptr<SimReceiver>> receivers);
    static SimLine fromConfig(const LineConfig& config, const ModelOptions& options = {});

    Frames feed(std::string_view bytes);
    void resetInput();

    std::size_t size() const { return m_receivers.size(); }
    SimReceiver& receiver(std::size_t index) { return *m_receivers.at(index); }
    // The receiver at `address` (the first one for -1), or nullptr.
    SimReceiver* receiverAt(int address);

    // The receiver as its model class, or nullptr.
    template <class Model>
    Model* as(std::size_t index = 0)
    {
        return index < m_receivers.size() ? dynamic_cast<Model*>(m_receivers[index].get()) : nullptr;
    }

private:
    std::vector<std::unique_ptr<SimReceiver>> m_receivers;
};

}  // namespace sim
