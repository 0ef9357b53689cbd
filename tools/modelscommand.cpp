// The table of receiver models, from the drivers themselves.
#include "modelscommand.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "driver/core/modelregistry.h"
#include "driver/core/receiver.h"
#include "driver/models/builtinmodels.h"
#include "driver/models/familyreceiver.h"
#include "platform/numbers.h"

namespace tools {

namespace {

using namespace quorvin;

constexpr const char* kNone = "—";

std::string joined(const std::vector<std::string>& items)
{
    if (items.empty()) {
        return kNone;
    }
    std::string text;
    for (const auto& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

std::string attName(int att)
{
    if (att <= AttOn2) {
        return Receiver::AttName(att);
    }
    return att == AttPre ? "Pre" : "On" + platform::formatInt(att);
}

std::string modes(Receiver& rx, const ModelInfo* info)
{
    std::vector<std::string> items;
    for (int m = ModAM; m <= ModMPH; ++m) {
        const auto mod = static_cast<MODTYPE>(m);
        if (rx.ModExist(mod) != 0) {
            items.push_back(Receiver::ModName(m) + (rx.IsModEmu(mod) != 0 ? " (emulated)" : ""));
        } else if (info != nullptr && ((info->modes | info->optionModes) & bitOf(m)) != 0) {
            items.push_back(Receiver::ModName(m) + " (option)");
        }
    }
    return joined(items);
}

std::string agcs(Receiver& rx)
{
    std::vector<std::string> items;
    for (int a = AgcManual; a <= AgcData; ++a) {
        if (rx.AgcExist(static_cast<AGCTYPE>(a)) != 0) {
            items.push_back(Receiver::AgcName(a));
        }
    }
    return joined(items);
}

std::string noiseBlanker(Receiver& rx, const ModelInfo* info)
{
    std::vector<std::string> items;
    for (int n = NBlOff; n <= NBlWide; ++n) {
        if (rx.NBlExist(static_cast<NBLTYPE>(n)) != 0) {
            items.push_back(Receiver::NBlName(n));
        }
    }
    // Some receivers tell their controls only once connected.
    if (items.empty() && info != nullptr && info->controlsWhileConnected && info->nbls != 0) {
        for (int n = NBlOff; n <= NBlWide; ++n) {
            if ((info->nbls & bitOf(n)) != 0) {
                items.push_back(Receiver::NBlName(n));
            }
        }
        return joined(items) + " (connected)";
    }
    return joined(items);
}

std::string attenuator(Receiver& rx)
{
    std::vector<std::string> items;
    for (int a : {AttOff, AttOn1, AttOn2, AttOn3, AttOn4, AttOn5, AttPre}) {
        if (rx.AttExist(static_cast<ATTSTATE>(a)) != 0) {
            items.push_back(attName(a));
        }
    }
    return joined(items);
}

std::string squelch(Receiver& rx, const ModelInfo* info)
{
    if (rx.SqlExist() != 0) {
        return "yes";
    }
    return info != nullptr && info->controlsWhileConnected && info->squelch ? "yes (connected)" : kNone;
}

std::string channels(Receiver& rx)
{
    const int count = rx.ChnCount();
    if (count <= 0) {
        return kNone;
    }
    const int first = rx.ChnStart();
    std::string text = platform::formatInt(count) + " (" + platform::formatInt(first) + "–" +
                       platform::formatInt(first + count - 1) + ")";
    return rx.ChnMskExist() != 0 ? text + ", masks" : text;
}

std::string outputs(Receiver& rx)
{
    const int count = rx.OutCount();
    return count == 0 ? kNone : platform::formatInt(count);
}

std::string busAddressing(const ModelInfo* info)
{
    if (info == nullptr) {
        return kNone;
    }
    return info->link.busAddressing ? "yes, default " + platform::formatInt(info->link.address) : "no";
}

std::string lineSettings(const ModelInfo* info)
{
    if (info == nullptr) {
        return kNone;
    }
    const char parity = info->link.parity == 'e' ? 'E' : (info->link.parity == 'o' ? 'O' : 'N');
    return platform::formatInt(info->link.speed) + " " + platform::formatInt(info->link.dataBits) + parity +
           platform::formatInt(info->link.stopBits);
}

}  // namespace

std::string modelsUsage()
{
    return "  korvanectl models\n"
           "      print the table of receiver models (Markdown), from each driver's capability answers\n";
}

int runModelsCommand(std::ostream& out, std::ostream& err)
{
    registerBuiltinModels();
    out << "| Model | Modes | AGC | Noise blanker | Attenuator | Squelch | Preselector | S-meter | Channels | "
           "Outputs | Bus addressing | Line |\n"
        << "|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    int rows = 0;
    for (int type = DrvNRD535; type <= DrvTRC298; ++type) {
        std::unique_ptr<Receiver> rx = createModel(type, nullptr);
        if (!rx) {
            continue;
        }
        const auto* family = dynamic_cast<FamilyReceiver*>(rx.get());
        const ModelInfo* info = family != nullptr ? &family->Info() : nullptr;
        out << "| " << modelName(type) << " | " << modes(*rx, info) << " | " << agcs(*rx) << " | "
            << noiseBlanker(*rx, info) << " | " << attenuator(*rx) << " | " << squelch(*rx, info) << " | "
            << (rx->HFFExist() != 0 ? "yes" : kNone) << " | " << (rx->SMtExist() != 0 ? "yes" : kNone) << " | "
            << channels(*rx) << " | " << outputs(*rx) << " | " << busAddressing(info) << " | " << lineSettings(info)
            << " |\n";
        ++rows;
    }
    if (rows == 0) {
        err << "korvanectl: no receiver model has a driver\n";
        return 1;
    }
    return 0;
}

}  // namespace tools
