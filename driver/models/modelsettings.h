// What each model's settings dialog offers: the stored values of an
// instance (polling, the model's options, its filter slots) with their
// captions, their accepted ranges and the load rule they share with
// FamilyReceiver::RxLoadSettings. One description per model, so one
// generic dialog serves every model; the dialog itself lives in
// driver/models/dialogs/ and sees only these records.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "interfaces/receivertypes.h"

namespace quorvin {

struct SettingField {
    enum class Kind {
        Number,  // a whole number within [min, max]
        Flag,  // 0 or 1, a check box
        Choice,  // an index into `choices`
    };
    enum class Group { Polling, Receiver, Filters };

    std::string name;  // the value name in the instance key ("C_Wait")
    std::string caption;  // what the operator reads ("&Poll period")
    std::string unit;  // "ms", "Hz" or empty
    std::string hint;  // tool tip: what the value does
    Kind kind = Kind::Number;
    Group group = Group::Polling;
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::vector<std::string> choices;
    // Shown, not edited: the receiver or another setting decides it.
    bool readOnly = false;
    // The value in force now.
    std::int32_t value = 0;

    bool accepts(std::int32_t v) const;
    // "Poll period must be between 150 and 500 ms."
    std::string rangeText() const;
};

// Accepted ranges of the polling values (what RxLoadSettings keeps; other
// stored values fall back to the defaults).
inline constexpr std::int32_t kRetriesLow = 10;
inline constexpr std::int32_t kRetriesHigh = 40;
inline constexpr std::int32_t kWaitLow = 150;
inline constexpr std::int32_t kWaitHigh = 500;
// A filter slot holds 0 (empty) up to this width in Hz.
inline constexpr std::int32_t kMaxFilterWidth = 100000;

// The fields the dialog of a model offers, in the order shown, without
// values (FamilyReceiver::SettingFields fills them in). Empty for a type
// without a row.
std::vector<SettingField> modelSettingFields(std::int32_t type);

// The values the operator confirmed, by value name.
using SettingValues = std::map<std::string, std::int32_t>;

// What OK did with the values.
struct SettingsOutcome {
    enum class Result {
        Unchanged,  // nothing differed: nothing written, nothing applied
        Applied,  // the changed values were written and are in force
        Refused,  // a value out of range (or read-only): nothing changed
        NotSaved,  // the settings file did not take them: nothing changed
    };
    Result result = Result::Unchanged;
    // For Refused: the field refused; the message says why.
    std::string field;
    std::string message;
    // For Applied: the names of the values written.
    std::vector<std::string> changed;
};

}  // namespace quorvin
