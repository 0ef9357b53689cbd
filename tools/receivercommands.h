// The receiver commands of korvanectl for scripts: "receivers", "connect",
// "get", "set" and "channels" (dump and load of the channel file). Each
// loads the driver library the way the application does, connects the one
// receiver it needs, does its work and disconnects.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tools {

bool isReceiverCommand(const std::string& command);
// Runs one of them (the words after the command); needs a
// QCoreApplication. Returns the exit code (see receiverUsage()).
int runReceiverCommand(const std::string& command, const std::vector<std::string>& args, std::ostream& out,
                       std::ostream& err);
std::string receiverUsage();

}  // namespace tools
