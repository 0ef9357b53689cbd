// The "models" command of korvanectl: prints the table of receiver models
// as Markdown, one row per model that has a driver, from the capability
// answers of each model's driver object (created through the model
// registry of the driver library, without a link).
#pragma once

#include <iosfwd>
#include <string>

namespace tools {

// Prints the table; returns the process exit code.
int runModelsCommand(std::ostream& out, std::ostream& err);

std::string modelsUsage();

}  // namespace tools
