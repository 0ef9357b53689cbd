// rxsim's command line: LINEs, --pty or --tcp PORT, fault switches.
#include "rxsimoptions.h"

#include <optional>

namespace sim {

namespace {

std::optional<int> count(std::string_view text, int max)
{
    auto value = parseDigits(text, text.size());
    if (!value || text.size() > 9 || *value > max) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

std::optional<std::string> hexBytes(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0) {
        return std::nullopt;
    }
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = nibble(text[i]);
        const int lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    return bytes;
}

}  // namespace

bool parseRxsimArgs(const std::vector<std::string>& args, RxsimOptions& options, std::string& error)
{
    options = RxsimOptions{};
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h" || a == "-?") {
            options.help = true;
            return true;
        }
        if (a == "--version") {
            options.version = true;
            return true;
        }
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.empty()) {
            error = "empty argument";
            return false;
        }
        if (arg[0] != '-') {
            LineConfig config;
            if (!parseLineConfig(arg, config, error)) {
                return false;
            }
            options.lines.push_back(std::move(config));
            continue;
        }
        const std::size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        std::optional<std::string> value;
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        }
        // Options that need a value also take it as the next argument.
        auto required = [&]() -> std::optional<std::string> {
            if (value) {
                return value;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            error = name + " needs a value";
            return std::nullopt;
        };
        // Switches with an optional count take it only as "=N"; without it they start at once.
        auto after = [&](int& target) -> bool {
            if (!value) {
                target = 0;
                return true;
            }
            auto n = count(*value, 1000000000);
            if (!n) {
                error = "bad count in " + arg;
                return false;
            }
            target = *n;
            return true;
        };
        if (name == "--pty" && !value) {
            options.pty = true;
        } else if (name == "--tcp") {
            auto v = required();
            if (!v) {
                return false;
            }
            auto port = count(*v, 65535);
            if (!port) {
                error = "bad port \"" + *v + "\" (0..65535)";
                return false;
            }
            options.tcp = true;
            options.port = static_cast<std::uint16_t>(*port);
        } else if (name == "--silence" || name == "--silent") {
            if (!after(options.faults.silenceAfter)) {
                return false;
            }
        } else if (name == "--garbage") {
            if (!after(options.faults.garbageAfter)) {
                return false;
            }
        } else if (name == "--garbage-bytes") {
            auto v = required();
            if (!v) {
                return false;
            }
            auto bytes = hexBytes(*v);
            if (!bytes) {
                error = "bad hexadecimal bytes \"" + *v + "\"";
                return false;
            }
            options.faults.garbageBytes = *bytes;
            if (options.faults.garbageAfter < 0) {
                options.faults.garbageAfter = 0;
            }
        } else if (name == "--truncate" || name == "--partial") {
            if (!after(options.faults.truncateAfter)) {
                return false;
            }
        } else if (name == "--truncate-to") {
            auto v = required();
            auto n = v ? count(*v, 1000000) : std::nullopt;
            if (!n) {
                error = v ? "bad byte count in " + arg : error;
                return false;
            }
            options.faults.truncateTo = *n;
            if (options.faults.truncateAfter < 0) {
                options.faults.truncateAfter = 0;
            }
        } else if (name == "--hangup" || name == "--drop") {
            if (!after(options.faults.hangUpAfter)) {
                return false;
            }
        } else if (name == "--corrupt") {
            if (!after(options.faults.corruptAfter)) {
                return false;
            }
        } else if (name == "--corrupt-at") {
            auto v = required();
            auto k = v ? parseSignedDigits(*v) : std::nullopt;
            if (!k || v->size() > 7) {
                error = v ? "bad byte position in " + arg + " (0 the first, -1 the last)" : error;
                return false;
            }
            options.faults.corruptAt = static_cast<int>(*k);
            if (options.faults.corruptAfter < 0) {
                options.faults.corruptAfter = 0;
            }
        } else if (name == "--delay") {
            auto v = required();
            auto n = v ? count(*v, 600000) : std::nullopt;
            if (!n) {
                error = v ? "bad delay in " + arg + " (milliseconds, 0..600000)" : error;
                return false;
            }
            options.faults.delayMs = *n;
        } else if (name == "--seed") {
            auto v = required();
            auto n = v ? count(*v, 2000000000) : std::nullopt;
            if (!n) {
                error = v ? "bad seed in " + arg : error;
                return false;
            }
            options.faults.seed = static_cast<std::uint32_t>(*n);
            options.modelOptions.seed = static_cast<std::uint32_t>(*n);
        } else if (name == "--option") {
            auto v = required();
            if (!v || v->empty()) {
                error = v ? "empty --option" : error;
                return false;
            }
            options.modelOptions.options.insert(*v);
        } else if (name == "--link") {
            auto v = required();
            if (!v || v->empty()) {
                error = v ? "empty --link" : error;
                return false;
            }
            options.links.push_back(*v);
        } else if (name == "--trace" && !value) {
            options.trace = true;
        } else {
            error = "unknown option " + arg + " (see rxsim --help)";
            return false;
        }
    }
    if (options.lines.empty()) {
        error = "no LINE given (see rxsim --help)";
        return false;
    }
    if (options.pty == options.tcp) {
        error = "give exactly one of --pty and --tcp PORT";
        return false;
    }
    if (!options.links.empty() && !options.pty) {
        error = "--link names a pty: it needs --pty";
        return false;
    }
    if (options.links.size() > options.lines.size()) {
        error = "more --link names than LINEs";
        return false;
    }
    if (options.tcp && options.port != 0 && options.port + options.lines.size() - 1 > 65535) {
        error = "not enough ports above " + std::to_string(options.port) + " for every LINE";
        return false;
    }
    return true;
}

std::string rxsimHelp()
{
    std::string models;
    for (const SimModel& model : simModels()) {
        models += "  " + std::string(model.name);
        if (!model.create) {
            models += "   (no simulator yet: refused)";
        } else if (model.defaultAddress < 0) {
            models += "   no bus address";
        } else {
            models += "   bus address 0.." + std::to_string(model.maxAddress) + ", default " +
                      std::to_string(model.defaultAddress);
        }
        models += "\n";
    }
    return "Usage: rxsim LINE [LINE ...] (--pty | --tcp PORT) [options]\n"
           "\n"
           "Simulates HF receivers from the receiver's side of the wire, so the suite can\n"
           "be run and tested without hardware.\n"
           "\n"
           "LINE is MODEL[:ADDRESS], or several joined with \"+\" to share one line as\n"
           "receivers do on a real bus (RA1792:1+RA1792:2); each receiver answers only\n"
           "its own address. Each LINE gets its own pseudo-terminal, or its own TCP port\n"
           "on 127.0.0.1 (PORT, PORT+1, ... in order; PORT 0 takes free ports).\n"
           "On start rxsim prints one line per LINE, \"LINE DEVICE\" or \"LINE HOST:PORT\",\n"
           "and serves until SIGTERM or SIGINT. A TCP port serves one client at a time\n"
           "(a new client takes over); a pty keeps serving while clients close and\n"
           "reopen it.\n"
           "\n"
           "Models:\n" +
           models +
           "\n"
           "Options:\n"
           "  --pty              serve each LINE on a new pseudo-terminal\n"
           "  --tcp PORT         serve each LINE on a TCP port of 127.0.0.1\n"
           "  --link PATH        also make PATH a symbolic link to the pty of the next\n"
           "                     LINE (repeat for each), so a port table can name a\n"
           "                     fixed path; an old link there is replaced, anything\n"
           "                     else is left alone; removed again on exit\n"
           "  --option NAME      fit a model option; NRD535: H (reported in the\n"
           "                     identification; adds the variable bandwidth, \"W\")\n"
           "                     RA6790: A09666 (tunes from 5 kHz, else from 500 kHz),\n"
           "                     ISB (lower sideband filter, ISB mode), BITE-FAIL\n"
           "                     (the self-test reports a fault), ANY-ADDRESS (acts\n"
           "                     on every address, answers with its own)\n"
           "                     HF2050: ISB (the ISB mode), LOCAL (panel switch at\n"
           "                     local: setters refused), ANY-ADDRESS (any UNIT n\n"
           "                     selects it, answers with its own number)\n"
           "                     REK085: filter variant V1, V1Var2, V1Var3, V1Var4,\n"
           "                     V2 (default), V2Var2, V2Var3, V2Var5 or V2Var6 (the\n"
           "                     filter codes it takes); ANY-ADDRESS as for RA6790\n"
           "                     TRC294: A (the TRC294A: framed status, remote and\n"
           "                     panel texts), EXT (O_EXT, up to 499999999 Hz), SSB\n"
           "                     (O_SSB: CW, USB, LSB, 10 Hz steps in USB and LSB)\n"
           "                     NDX264: ISB (\"/ISB\" in the identification)\n"
           "                     TRC243: ISB, F1, FI (option characters 5, %, / in the\n"
           "                     identification; ISB adds the ISB mode), 241 (answer\n"
           "                     as a TRC241); connect failures: BADMODEL (unknown\n"
           "                     model character), NOOP (no OP identification),\n"
           "                     NOFILTER (OP without its filter information),\n"
           "                     BADADDR (answers carry the next address character)\n"
           "                     (repeat --option for several; an option fits every\n"
           "                     LINE of the models it names)\n"
           "  --trace            log every byte received and sent on stderr\n"
           "  --seed N           seed of the S-meter movement and the random garbage\n"
           "  --help             this text\n"
           "  --version          the version of the suite\n"
           "\n"
           "Fault injection, on every LINE (N counts the replies of a connection;\n"
           "without \"=N\" the fault starts at once; for a pty a connection is the\n"
           "life of the line):\n"
           "  --silence[=N]      stop answering after N replies\n"
           "  --garbage[=N]      answer random bytes (line ends kept) after N replies\n"
           "  --garbage-bytes HEX  answer exactly these bytes instead (e.g. 7F7F)\n"
           "  --truncate[=N]     cut every reply short after N replies (half of it)\n"
           "  --truncate-to K    ... keeping K bytes (always less than the whole)\n"
           "  --partial[=N]      the same as --truncate\n"
           "  --hangup[=N]       after N replies close the TCP client instead of\n"
           "                     answering (the port stays open for the next one);\n"
           "                     on a pty, hang up the device for good\n"
           "  --drop[=N]         the same as --hangup\n"
           "  --corrupt[=N]      after N replies add 1 to one byte of every reply (the\n"
           "                     last: a TRC294A frame then fails its checksum)\n"
           "  --corrupt-at K     ... that byte: K from 0 at the front, -1 the last\n"
           "                     (TRC294A: --corrupt-at 0 spoils the length byte)\n"
           "  --delay MS         delay every reply by MS milliseconds\n"
           "\n"
           "Examples:\n"
           "  rxsim NRD535 --pty\n"
           "  rxsim NRD535 RA1792:1+RA1792:2 --tcp 4530 --trace\n"
           "  rxsim RA1792 --tcp 4532 --silence=10\n"
           "  rxsim TRC294 --pty --option A --option SSB --corrupt=2\n"
           "  rxsim TRC294 --pty --garbage-bytes 0145000002100000   (no 0xF header)\n"
           "  rxsim NDX264 --tcp 4540 --garbage-bytes 3F0D0A04   (no 0x11 first)\n"
           "  rxsim TRC243:3 --pty --option NOOP\n";
}

}  // namespace sim
