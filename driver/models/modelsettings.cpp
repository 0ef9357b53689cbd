// The description of each model's settings dialog.
#include "modelsettings.h"

#include <algorithm>
#include <string_view>

#include "driver/models/modeltable.h"
#include "platform/numbers.h"

namespace quorvin {

namespace {

using Kind = SettingField::Kind;
using Group = SettingField::Group;

// What a model offers beyond the polling values and its filter slots.
struct ModelDialogDescription {
    DrvType type;
    // R_MAgc: the model's AGC setter consults it.
    bool manualAgc;
    // The filter slots are not the operator's to edit: the receiver reports
    // its filters at connect (RA6790), or the filter variant sets them
    // (REK085).
    bool filtersReadOnly;
    const char* filtersNote;
};

// clang-format off
constexpr ModelDialogDescription kDescriptions[] = {
    {DrvNRD535, false, false, nullptr},
    {DrvRA6790, true,  true,  "The receiver reports its filters when it connects; these widths stand until then."},
    {DrvRA1792, true,  false, nullptr},
    {DrvTRC243, false, false, nullptr},
    {DrvREK085, true,  true,  "Set by the filter variant."},
    {DrvNDX264, true,  false, nullptr},
    {DrvTRC294, false, false, nullptr},
    {DrvHF2050, true,  false, nullptr},
};
// clang-format on

const ModelDialogDescription* description(std::int32_t type)
{
    for (const auto& d : kDescriptions) {
        if (d.type == type) {
            return &d;
        }
    }
    return nullptr;
}

// What the operator reads for a filter slot's value name.
std::string slotCaption(std::string_view name)
{
    struct Named {
        std::string_view name;
        const char* caption;
    };
    static constexpr Named kNamed[] = {
        {"F_Nar", "Narrow"},    {"F_Int", "Intermediate"}, {"F_Wide", "Wide"},
        {"F_Aux", "Auxiliary"}, {"F_U1", "User 1"},        {"F_U2", "User 2"},
        {"F_U3", "User 3"},     {"F_FLS", "Sideband"},     {"F_Roof", "Roofing"},
    };
    for (const auto& n : kNamed) {
        if (n.name == name) {
            return n.caption;
        }
    }
    // F_FL1 .. F_FL7, F_W1 .. F_W7: "Filter 1" ...
    const std::size_t digit = name.find_first_of("0123456789");
    if (digit != std::string_view::npos) {
        return "Filter " + std::string(name.substr(digit));
    }
    return std::string(name);
}

SettingField number(const char* name, const char* caption, const char* unit, std::int32_t min, std::int32_t max,
                    const char* hint, Group group)
{
    SettingField f;
    f.name = name;
    f.caption = caption;
    f.unit = unit;
    f.hint = hint;
    f.kind = Kind::Number;
    f.group = group;
    f.min = min;
    f.max = max;
    return f;
}

SettingField flag(const char* name, const char* caption, const char* hint, Group group)
{
    SettingField f;
    f.name = name;
    f.caption = caption;
    f.hint = hint;
    f.kind = Kind::Flag;
    f.group = group;
    f.min = 0;
    f.max = 1;
    return f;
}

}  // namespace

bool SettingField::accepts(std::int32_t v) const
{
    return v >= min && v <= max;
}

std::string SettingField::rangeText() const
{
    std::string label;
    for (const char c : caption) {
        if (c != '&') {
            label += c;
        }
    }
    std::string text = label + " must be between " + platform::formatInt(min) + " and " + platform::formatInt(max);
    if (!unit.empty()) {
        text += " " + unit;
    }
    return text + ".";
}

std::vector<SettingField> modelSettingFields(std::int32_t type)
{
    const ModelInfo* info = modelInfo(type);
    const ModelDialogDescription* desc = description(type);
    if (info == nullptr || desc == nullptr) {
        return {};
    }
    std::vector<SettingField> fields;
    fields.push_back(number("C_Wait", "&Poll period", "ms", kWaitLow, kWaitHigh,
                            "Time between two status requests to the receiver", Group::Polling));
    fields.push_back(number("C_Retr", "&Silent polls", "", kRetriesLow, kRetriesHigh,
                            "Polls without an answer before the receiver counts as lost (\"Comm. time out while "
                            "talking\")",
                            Group::Polling));
    fields.push_back(flag("C_Test", "&Test the link at every poll",
                          "Checks the link and counts the polls without an answer", Group::Polling));
    fields.push_back(flag("C_Dbg", ("T&race the exchanges to " + std::string(info->logFile)).c_str(),
                          "Writes the connect dialogue (and the replies of some models) to the trace file",
                          Group::Polling));

    if (desc->manualAgc) {
        fields.push_back(flag("R_MAgc", "Allow &manual AGC", "Lets the AGC be set to manual (Man)", Group::Receiver));
    }
    switch (type) {
    case DrvHF2050:
        fields.push_back(
            flag("O_ISB", "&ISB option fitted", "The receiver has its independent-sideband option", Group::Receiver));
        break;
    case DrvTRC294:
        fields.push_back(flag("O_EXT", "&Extended range (to 499.999999 MHz)",
                              "The receiver tunes up to 499999999 Hz instead of 119999999 Hz", Group::Receiver));
        fields.push_back(flag("O_SSB", "SS&B option (CW, USB, LSB)",
                              "The receiver has CW, USB and LSB, tuned in 10 Hz steps in USB and LSB",
                              Group::Receiver));
        break;
    case DrvREK085: {
        SettingField variant;
        variant.name = "R_MOpt";
        variant.caption = "Filter &variant";
        variant.hint = "The filters fitted to the receiver";
        variant.kind = Kind::Choice;
        variant.group = Group::Receiver;
        for (std::int32_t v = 0;; ++v) {
            const Rek085Variant* row = rek085Variant(v);
            if (row == nullptr) {
                break;
            }
            std::string text = row->name;
            text += ":";
            bool first = true;
            for (const std::int32_t width : row->widths) {
                if (width > 0) {
                    text += first ? " " : ", ";
                    text += platform::formatInt(width);
                    first = false;
                }
            }
            text += " Hz";
            variant.choices.push_back(text);
        }
        variant.min = 0;
        variant.max = static_cast<std::int32_t>(variant.choices.size()) - 1;
        fields.push_back(variant);
        break;
    }
    default: break;
    }

    // The filter slots in their table order; HF2050's sideband width stands
    // beyond its four slots.
    const int named = type == DrvHF2050 ? info->slotCount + 1 : info->slotCount;
    for (int slot = 0; slot < named && slot < kTableFilterSlots; ++slot) {
        const char* name = info->filters[static_cast<std::size_t>(slot)].name;
        if (name == nullptr) {
            continue;
        }
        SettingField f = number(name, "", "Hz", 0, kMaxFilterWidth, "", Group::Filters);
        f.caption = slotCaption(name);
        f.hint = std::string(name) + ": the bandwidth of this filter in Hz; 0 leaves the slot empty";
        if (desc->filtersReadOnly) {
            f.readOnly = true;
            f.hint = std::string(name) + ": " + desc->filtersNote;
        }
        fields.push_back(f);
    }
    // Numbered slots read in their numbers' order (TRC243 names F_FL6
    // second), named ones stay where the table has them.
    std::vector<std::size_t> numbered;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].group == Group::Filters && fields[i].caption.rfind("Filter ", 0) == 0) {
            numbered.push_back(i);
        }
    }
    std::vector<SettingField> sorted;
    for (const std::size_t i : numbered) {
        sorted.push_back(fields[i]);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const SettingField& a, const SettingField& b) {
        return std::stoi(a.caption.substr(7)) < std::stoi(b.caption.substr(7));
    });
    for (std::size_t k = 0; k < numbered.size(); ++k) {
        fields[numbered[k]] = sorted[k];
    }
    return fields;
}

}  // namespace quorvin
