// The model table, LINE parsing and the shared line.
#include "simmodels.h"

#include <array>
#include <cctype>

#include "hf2050sim.h"
#include "interfaces/receivertypes.h"
#include "ndx264sim.h"
#include "nrd535sim.h"
#include "ra1792sim.h"
#include "ra6790sim.h"
#include "rek085sim.h"
#include "trc243sim.h"
#include "trc294sim.h"

namespace sim {

namespace {

std::unique_ptr<SimReceiver> createNrd535(int, const ModelOptions& options)
{
    return std::make_unique<Nrd535Sim>(Nrd535Sim::Options{options.has("H"), options.seed});
}

std::unique_ptr<SimReceiver> createRa1792(int address, const ModelOptions&)
{
    return std::make_unique<Ra1792Sim>(address);
}

const std::array<SimModel, 8> kModels = {{
    {"NRD535", quorvin::DrvNRD535, -1, -1, &createNrd535},
    {"RA6790", quorvin::DrvRA6790, 77, 99, &Ra6790Sim::create},
    {"RA1792", quorvin::DrvRA1792, 1, 99, &createRa1792},
    {"TRC243", quorvin::DrvTRC243, 0, 15, &Trc243Sim::create},
    {"REK085", quorvin::DrvREK085, 0, 99, &Rek085Sim::create},
    {"NDX264", quorvin::DrvNDX264, -1, -1, &Ndx264Sim::create},
    {"TRC294", quorvin::DrvTRC294, -1, -1, &Trc294Sim::create},
    {"HF2050", quorvin::DrvHF2050, 15, 99, &Hf2050Sim::create},
}};

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::span<const SimModel> simModels()
{
    return kModels;
}

const SimModel* findSimModel(std::string_view name)
{
    for (const SimModel& model : kModels) {
        if (sameName(model.name, name)) {
            return &model;
        }
    }
    return nullptr;
}

std::string builtModelNames()
{
    std::string names;
    for (const SimModel& model : kModels) {
        if (model.create) {
            names += (names.empty() ? "" : ", ") + std::string(model.name);
        }
    }
    return names;
}

bool parseLineConfig(std::string_view text, LineConfig& config, std::string& error)
{
    config = LineConfig{std::string(text), {}};
    if (text.empty()) {
        error = "empty LINE";
        return false;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('+', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view part = text.substr(start, end - start);
        const std::size_t colon = part.find(':');
        const std::string_view name = part.substr(0, colon);
        const SimModel* model = findSimModel(name);
        if (!model) {
            error = "unknown model \"" + std::string(name) + "\" in LINE " + std::string(text) +
                    " (models: NRD535, RA6790, RA1792, TRC243, REK085, NDX264, TRC294, HF2050)";
            return false;
        }
        if (!model->create) {
            error = std::string(model->name) + " has no simulator yet (simulated models: " + builtModelNames() + ")";
            return false;
        }
        ReceiverConfig receiver{model, model->defaultAddress};
        if (colon != std::string_view::npos) {
            if (model->defaultAddress < 0) {
                error = std::string(model->name) + " has no bus address: use \"" + std::string(model->name) + "\"";
                return false;
            }
            auto address = parseDigits(part.substr(colon + 1), part.size() - colon - 1);
            if (!address || *address > model->maxAddress) {
                error = "bad address \"" + std::string(part.substr(colon + 1)) + "\" for " + std::string(model->name) +
                        " (0.." + std::to_string(model->maxAddress) + ")";
                return false;
            }
            receiver.address = static_cast<int>(*address);
        }
        config.receivers.push_back(receiver);
        start = end + 1;
    }
    if (config.receivers.size() > 1) {
        for (std::size_t i = 0; i < config.receivers.size(); ++i) {
            const ReceiverConfig& r = config.receivers[i];
            if (r.address < 0) {
                error = std::string(r.model->name) + " has no bus address and cannot share a line";
                return false;
            }
            for (std::size_t j = 0; j < i; ++j) {
                if (config.receivers[j].address == r.address) {
                    error = "two receivers at address " + std::to_string(r.address) + " on LINE " + std::string(text);
                    return false;
                }
            }
        }
    }
    return true;
}

SimLine::SimLine(std::vector<std::unique_ptr<SimReceiver>> receivers) : m_receivers(std::move(receivers))
{
    for (std::size_t i = 0; i < m_receivers.size(); ++i) {
        m_receivers[i]->setLineLeader(i == 0);
    }
}

SimLine SimLine::fromConfig(const LineConfig& config, const ModelOptions& options)
{
    std::vector<std::unique_ptr<SimReceiver>> receivers;
    ModelOptions own = options;
    for (const ReceiverConfig& r : config.receivers) {
        receivers.push_back(r.model->create(r.address, own));
        ++own.seed;  // each receiver wanders on its own
    }
    return SimLine(std::move(receivers));
}

Frames SimLine::feed(std::string_view bytes)
{
    if (m_receivers.size() == 1) {
        return m_receivers.front()->feed(bytes);
    }
    // Byte by byte in step, so that answers leave in the order the commands
    // arrived, whoever they were addressed to.
    Frames out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        for (auto& receiver : m_receivers) {
            Frames replies = receiver->feed(bytes.substr(i, 1));
            out.insert(out.end(), std::make_move_iterator(replies.begin()), std::make_move_iterator(replies.end()));
        }
    }
    return out;
}

void SimLine::resetInput()
{
    for (auto& receiver : m_receivers) {
        receiver->resetInput();
    }
}

SimReceiver* SimLine::receiverAt(int address)
{
    for (auto& receiver : m_receivers) {
        if (address < 0 || receiver->address() == address) {
            return receiver.get();
        }
    }
    return nullptr;
}

}  // namespace sim
