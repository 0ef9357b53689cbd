// Printing and editing the settings tree from the command line.
#include "settingscommand.h"

#include "platform/numbers.h"
#include "platform/settingsstore.h"

namespace tools {

namespace {

using platform::SettingsStore;

// A path given relative to the suite's root ("Default\\NRD535") or from the
// hive ("SOFTWARE\\Korvane Software\\Default"); '/' is accepted as separator.
std::string fullPath(std::string path)
{
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    while (!path.empty() && path.front() == '\\') {
        path.erase(path.begin());
    }
    const std::string root = platform::kSettingsRoot;
    auto lower = [](std::string s) {
        for (char& c : s) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return s;
    };
    if (lower(path).rfind(lower(root), 0) == 0) {
        return path;
    }
    return SettingsStore::join(root, path);
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

// Deeper than any tree the suite writes: a walk ends there whatever the
// file holds.
constexpr int kMaxShownDepth = 64;

void printTree(SettingsStore& store, const std::string& path, const std::string& name, int depth, std::ostream& out)
{
    const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
    if (depth > kMaxShownDepth) {
        out << indent << "[...] (nested too deep; not shown)\n";
        return;
    }
    out << indent << "[" << name << "]\n";
    for (const auto& v : store.values(path)) {
        out << indent << "  " << (v.name.empty() ? "(default)" : v.name) << " = ";
        if (v.type == platform::ValueType::Number) {
            out << platform::formatInt(v.number) << "\n";
        } else {
            out << quoted(v.text) << "\n";
        }
    }
    for (const auto& sub : store.subkeys(path)) {
        // A name that is no path component would show this key (or another)
        // again; the store skips such rows, and so does the walk.
        if (sub.empty() || sub.find('\\') != std::string::npos) {
            continue;
        }
        printTree(store, SettingsStore::join(path, sub), sub, depth + 1, out);
    }
}

}  // namespace

std::string settingsUsage()
{
    return "usage: korvanectl settings COMMAND\n"
           "  file                               print the settings file in use\n"
           "  show [KEY]                         print KEY and everything below it (default: the suite's root)\n"
           "  get KEY NAME                       print one value\n"
           "  set-number KEY NAME VALUE          store a 32-bit number\n"
           "  set-text KEY NAME TEXT             store a text\n"
           "  create KEY                         create a key (and the keys above it)\n"
           "  delete KEY [NAME]                  delete one value, or KEY with everything below it\n"
           "KEY is relative to SOFTWARE\\Korvane Software (e.g. Default/NRD535) or a full path;\n"
           "'/' and '\\' both separate keys. The file is $KORVANE_SETTINGS when set.\n";
}

int runSettingsCommand(SettingsStore& store, const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty()) {
        err << settingsUsage();
        return 2;
    }
    const std::string& cmd = args[0];
    const auto argc = args.size();
    if (cmd == "file" && argc == 1) {
        out << store.filePath();
        if (store.inMemory()) {
            out << " (not usable: " << store.openError() << "; running from memory)";
        } else if (store.isReadOnly()) {
            out << " (read-only)";
        }
        out << "\n";
        return 0;
    }
    if (store.inMemory()) {
        err << "korvanectl: the settings file " << store.filePath() << " cannot be used (" << store.openError()
            << "): nothing is read from it and nothing is saved\n";
        return 1;
    }
    const bool writes = cmd == "set-number" || cmd == "set-text" || cmd == "create" || cmd == "delete";
    if (writes && store.isReadOnly()) {
        err << "korvanectl: the settings file " << store.filePath() << " is read-only: nothing changed\n";
        return 1;
    }
    if (cmd == "show" && argc <= 2) {
        const std::string path = fullPath(argc == 2 ? args[1] : "");
        if (!store.keyExists(path)) {
            err << "korvanectl: no key " << path << "\n";
            return 1;
        }
        printTree(store, path, path, 0, out);
        return 0;
    }
    if (cmd == "get" && argc == 3) {
        const std::string path = fullPath(args[1]);
        if (auto n = store.readNumber(path, args[2])) {
            out << platform::formatInt(*n) << "\n";
            return 0;
        }
        if (auto t = store.readText(path, args[2])) {
            out << *t << "\n";
            return 0;
        }
        err << "korvanectl: no value " << args[2] << " in " << path << "\n";
        return 1;
    }
    if (cmd == "set-number" && argc == 4) {
        const auto value = platform::parseInt(args[3]);
        if (!value || *value < INT32_MIN || *value > 0xFFFFFFFFLL) {
            err << "korvanectl: not a 32-bit number: " << args[3] << "\n";
            return 2;
        }
        // Values above INT32_MAX are stored as their 32-bit pattern (65535 and
        // 4294967295 both fit, as the registry's DWORDs do).
        const auto stored = static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
        if (!store.writeNumber(fullPath(args[1]), args[2], stored)) {
            err << "korvanectl: cannot write: " << store.lastError() << "\n";
            return 1;
        }
        return 0;
    }
    if (cmd == "set-text" && argc == 4) {
        if (!store.writeText(fullPath(args[1]), args[2], args[3])) {
            err << "korvanectl: cannot write: " << store.lastError() << "\n";
            return 1;
        }
        return 0;
    }
    if (cmd == "create" && argc == 2) {
        if (!store.createKey(fullPath(args[1]))) {
            err << "korvanectl: cannot create " << args[1] << "\n";
            return 1;
        }
        return 0;
    }
    if (cmd == "delete" && (argc == 2 || argc == 3)) {
        const std::string path = fullPath(args[1]);
        if (path == platform::kSettingsRoot || fullPath("") == path) {
            err << "korvanectl: refusing to delete the whole settings root\n";
            return 1;
        }
        const bool ok = argc == 3 ? store.deleteValue(path, args[2]) : store.deleteTree(path);
        if (!ok) {
            err << "korvanectl: nothing deleted (no such " << (argc == 3 ? "value" : "key") << ")\n";
            return 1;
        }
        return 0;
    }
    err << settingsUsage();
    return 2;
}

}  // namespace tools
