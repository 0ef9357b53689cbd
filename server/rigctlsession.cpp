// The rigctld text protocol, one client at a time.
#include "rigctlsession.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <utility>

namespace server {

using namespace quorvin;

namespace {

// ---- Tables of the protocol ---------------------------------------------------------

struct ModeRow {
    const char* name;
    int bit;
    MODTYPE mode;
};

// The receiver modes the protocol has a name for. CWF (CW through its
// narrow filter) reads as CW; ISB and MPHI have no name there.
constexpr std::array<ModeRow, 9> kModes{{
    {"AM", 0, ModAM},
    {"CW", 1, ModCW},
    {"USB", 2, ModUSB},
    {"LSB", 3, ModLSB},
    {"RTTY", 4, ModRTTY},
    {"FM", 5, ModFM},
    {"ECSSUSB", 13, ModAM_U},
    {"ECSSLSB", 14, ModAM_L},
    {"FAX", 15, ModFAX},
}};

// Names the protocol knows for modes no receiver of the suite has.
constexpr std::array<const char*, 11> kOtherModes{"WFM",   "CWR", "RTTYR", "AMS", "PKTLSB", "PKTUSB",
                                                  "PKTFM", "SAM", "SAL",   "SAH", "DSB"};

// The protocol's level bits and names the server answers.
constexpr std::uint64_t kLevelPreamp = 1ull << 0;
constexpr std::uint64_t kLevelAtt = 1ull << 1;
constexpr std::uint64_t kLevelAgc = 1ull << 17;
constexpr std::uint64_t kLevelStrength = 1ull << 30;

// Level names the protocol knows besides those; asked of a receiver they
// are "not available".
constexpr std::array<const char*, 27> kOtherLevels{
    "VOXDELAY", "AF",      "RF",        "SQL",        "IF",         "APF",    "NR",     "PBT_IN", "PBT_OUT",
    "CWPITCH",  "RFPOWER", "MICGAIN",   "KEYSPD",     "NOTCHF",     "COMP",   "BKINDL", "BAL",    "METER",
    "VOXGAIN",  "ANTIVOX", "SLOPE_LOW", "SLOPE_HIGH", "BKIN_DLYMS", "RAWSTR", "SWR",    "ALC",    "NB"};

// AGC values of the protocol.
constexpr int kAgcOff = 0;
constexpr int kAgcSuperFast = 1;
constexpr int kAgcFast = 2;
constexpr int kAgcSlow = 3;
constexpr int kAgcUser = 4;
constexpr int kAgcMedium = 5;
constexpr int kAgcAuto = 6;

// S9 in dBµV; the protocol's signal strength is in dB relative to S9.
constexpr int kS9Dbuv = 34;

// The one VFO of a receiver, and the names that mean it.
constexpr const char* kVfo = "VFOA";
bool isOwnVfo(std::string_view name)
{
    return name == "VFOA" || name == "currVFO" || name == "VFO" || name == "Main" || name == "MainA" || name == "RX";
}
bool isOtherVfo(std::string_view name)
{
    return name == "VFOB" || name == "VFOC" || name == "Sub" || name == "SubA" || name == "SubB" || name == "MainB" ||
           name == "MainC" || name == "SubC" || name == "MEM" || name == "TX" || name == "None";
}

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

std::string formatInt(std::int64_t v)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string formatHex(std::uint64_t v)
{
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v, 16);
    return "0x" + std::string(buf, res.ptr);
}

// A decimal number as clients send it ("7050000.000000", "+20", "-1");
// nothing else in the text.
std::optional<double> parseNumber(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> parseWhole(std::string_view text)
{
    const auto v = parseNumber(text);
    if (!v || std::fabs(*v) > 4.0e12) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(std::llround(*v));
}

std::vector<std::string> splitWords(std::string_view text)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') {
            ++i;
        }
        if (i > start) {
            out.emplace_back(text.substr(start, i - start));
        }
    }
    return out;
}

// Default passband of a mode, for a "M MODE 0".
std::int32_t normalPassband(MODTYPE mode)
{
    switch (mode) {
    case ModAM: return 6000;
    case ModFM: return 12000;
    case ModCW:
    case ModCW_F: return 500;
    case ModRTTY: return 1000;
    default: return 2400;
    }
}

std::uint64_t receiverModes(ReceiverAccess& rx)
{
    std::uint64_t mask = 0;
    for (const auto& row : kModes) {
        if (rx.modeExists(row.mode)) {
            mask |= 1ull << row.bit;
        }
    }
    return mask;
}

bool hasAttSteps(ReceiverAccess& rx)
{
    for (int s = AttOn1; s <= AttOn5; ++s) {
        if (rx.attExists(static_cast<ATTSTATE>(s))) {
            return true;
        }
    }
    return false;
}

bool hasAgc(ReceiverAccess& rx)
{
    for (int a = AgcManual; a < AGCMAX; ++a) {
        if (rx.agcExists(static_cast<AGCTYPE>(a))) {
            return true;
        }
    }
    return false;
}

std::uint64_t readableLevels(ReceiverAccess& rx)
{
    std::uint64_t mask = 0;
    if (rx.attExists(AttPre)) {
        mask |= kLevelPreamp;
    }
    if (hasAttSteps(rx)) {
        mask |= kLevelAtt;
    }
    if (hasAgc(rx)) {
        mask |= kLevelAgc;
    }
    if (rx.hasSMeter()) {
        mask |= kLevelStrength;
    }
    return mask;
}

std::uint64_t settableLevels(ReceiverAccess& rx)
{
    return readableLevels(rx) & ~kLevelStrength;
}

std::string levelList(std::uint64_t mask)
{
    std::string out;
    if (mask & kLevelPreamp) {
        out += "PREAMP ";
    }
    if (mask & kLevelAtt) {
        out += "ATT ";
    }
    if (mask & kLevelAgc) {
        out += "AGC ";
    }
    if (mask & kLevelStrength) {
        out += "STRENGTH ";
    }
    return out;
}

int agcToProtocol(AGCTYPE agc)
{
    switch (agc) {
    case AgcManual: return kAgcOff;
    case AgcFast: return kAgcFast;
    case AgcMedium: return kAgcMedium;
    case AgcSlow: return kAgcSlow;
    case AgcFastManual:
    case AgcMediumManual:
    case AgcSlowManual: return kAgcUser;
    case AgcData: return kAgcAuto;
    default: return -1;
    }
}

// The receiver's AGC for a protocol value, among those it has; AgcNone
// when it has none that fits.
AGCTYPE agcFromProtocol(ReceiverAccess& rx, int value)
{
    std::vector<AGCTYPE> wanted;
    switch (value) {
    case kAgcOff: wanted = {AgcManual}; break;
    case kAgcSuperFast:
    case kAgcFast: wanted = {AgcFast}; break;
    case kAgcSlow: wanted = {AgcSlow}; break;
    case kAgcMedium: wanted = {AgcMedium}; break;
    case kAgcUser: wanted = {AgcMediumManual, AgcFastManual, AgcSlowManual}; break;
    case kAgcAuto: wanted = {AgcData}; break;
    default: break;
    }
    for (AGCTYPE a : wanted) {
        if (rx.agcExists(a)) {
            return a;
        }
    }
    return AgcNone;
}

}  // namespace

int rprtCode(SetResult result)
{
    switch (result) {
    case SetResult::Done: return rprt::Ok;
    case SetResult::Invalid: return rprt::Invalid;
    case SetResult::NotAvailable: return rprt::NotAvailable;
    case SetResult::NotConnected: return rprt::IoError;
    case SetResult::TimedOut: return rprt::TimedOut;
    }
    return rprt::Invalid;
}

std::string modeName(MODTYPE mode)
{
    if (mode == ModCW_F) {
        return "CW";
    }
    for (const auto& row : kModes) {
        if (row.mode == mode) {
            return row.name;
        }
    }
    return {};
}

MODTYPE modeFromName(std::string_view name)
{
    const std::string u = upper(name);
    for (const auto& row : kModes) {
        if (u == row.name) {
            return row.mode;
        }
    }
    return ModNone;
}

std::uint64_t modeBit(MODTYPE mode)
{
    for (const auto& row : kModes) {
        if (row.mode == mode) {
            return 1ull << row.bit;
        }
    }
    return 0;
}

// ---- Replies ------------------------------------------------------------------------------

struct RigctlSession::Reply {
    std::string name;  // long command name, for the extended form
    std::string argsText;  // the arguments as given, for the extended form
    bool get = false;  // values answer without an RPRT line
    bool rprtAfterValues = false;
    bool extended = false;
    char separator = '\n';
    int code = rprt::Ok;
    std::string block;  // multi-line text sent as it is (\dump_state, lists)
    std::vector<std::pair<std::string, std::string>> values;

    void value(std::string label, std::string text) { values.emplace_back(std::move(label), std::move(text)); }
    void fail(int c)
    {
        code = c;
        values.clear();
        block.clear();
    }
    std::string render() const
    {
        std::string out;
        const std::string sep(1, separator);
        if (extended) {
            out = name + ":" + (argsText.empty() ? "" : " " + argsText) + sep;
            if (code == rprt::Ok) {
                out += block;
                for (const auto& [label, text] : values) {
                    out += (label.empty() ? text : label + ": " + text) + sep;
                }
            }
            return out + "RPRT " + formatInt(code) + "\n";
        }
        if (code != rprt::Ok) {
            return "RPRT " + formatInt(code) + "\n";
        }
        out = block;
        for (const auto& v : values) {
            out += v.second + "\n";
        }
        if (!get || rprtAfterValues) {
            out += "RPRT 0\n";
        }
        return out;
    }
};

// ---- Commands ------------------------------------------------------------------------------

namespace {

enum class Op {
    GetFreq,
    SetFreq,
    GetMode,
    SetMode,
    GetLevel,
    SetLevel,
    GetVfo,
    SetVfo,
    GetSplit,
    SetSplit,
    GetMem,
    SetMem,
    GetTs,
    GetInfo,
    DumpState,
    ChkVfo,
    GetPowerstat,
    SetPowerstat,
    GetLockMode,
    SetLockMode,
    Quit,
    NotAvailableGet,
    NotAvailableSet,
    NotImplemented,
};

struct CommandRow {
    char letter;  // 0: long name only
    const char* name;
    Op op;
};

constexpr CommandRow kCommands[] = {
    {'f', "get_freq", Op::GetFreq},
    {'F', "set_freq", Op::SetFreq},
    {'m', "get_mode", Op::GetMode},
    {'M', "set_mode", Op::SetMode},
    {'l', "get_level", Op::GetLevel},
    {'L', "set_level", Op::SetLevel},
    {'v', "get_vfo", Op::GetVfo},
    {'V', "set_vfo", Op::SetVfo},
    {'s', "get_split_vfo", Op::GetSplit},
    {'S', "set_split_vfo", Op::SetSplit},
    {'e', "get_mem", Op::GetMem},
    {'E', "set_mem", Op::SetMem},
    {'n', "get_ts", Op::GetTs},
    {'N', "set_ts", Op::NotAvailableSet},
    {'_', "get_info", Op::GetInfo},
    {'q', "quit", Op::Quit},
    {'Q', "quit", Op::Quit},
    {0, "dump_state", Op::DumpState},
    {0, "chk_vfo", Op::ChkVfo},
    {0, "get_powerstat", Op::GetPowerstat},
    {0, "set_powerstat", Op::SetPowerstat},
    {0, "get_lock_mode", Op::GetLockMode},
    {0, "set_lock_mode", Op::SetLockMode},
    // A receiver does not transmit.
    {'t', "get_ptt", Op::NotAvailableGet},
    {'T', "set_ptt", Op::NotAvailableSet},
    {'z', "get_xit", Op::NotAvailableGet},
    {'Z', "set_xit", Op::NotAvailableSet},
    {'i', "get_split_freq", Op::NotAvailableGet},
    {'I', "set_split_freq", Op::NotAvailableSet},
    {'x', "get_split_mode", Op::NotAvailableGet},
    {'X', "set_split_mode", Op::NotAvailableSet},
    {'r', "get_rptr_shift", Op::NotAvailableGet},
    {'R', "set_rptr_shift", Op::NotAvailableSet},
    {'o', "get_rptr_offs", Op::NotAvailableGet},
    {'O', "set_rptr_offs", Op::NotAvailableSet},
    {'c', "get_ctcss_tone", Op::NotAvailableGet},
    {'C', "set_ctcss_tone", Op::NotAvailableSet},
    {'d', "get_dcs_code", Op::NotAvailableGet},
    {'D', "set_dcs_code", Op::NotAvailableSet},
    {'b', "send_morse", Op::NotAvailableSet},
    {'2', "power2mW", Op::NotAvailableGet},
    {'4', "mW2power", Op::NotAvailableGet},
    {0, "stop_morse", Op::NotAvailableSet},
    {0, "wait_morse", Op::NotAvailableSet},
    {0, "send_voice_mem", Op::NotAvailableSet},
    // Controls these receivers do not offer through the server.
    {'j', "get_rit", Op::NotAvailableGet},
    {'J', "set_rit", Op::NotAvailableSet},
    {'u', "get_func", Op::NotAvailableGet},
    {'U', "set_func", Op::NotAvailableSet},
    {'p', "get_parm", Op::NotAvailableGet},
    {'P', "set_parm", Op::NotAvailableSet},
    {'y', "get_ant", Op::NotAvailableGet},
    {'Y', "set_ant", Op::NotAvailableSet},
    {'G', "vfo_op", Op::NotAvailableSet},
    {'g', "scan", Op::NotAvailableSet},
    {'H', "set_channel", Op::NotAvailableSet},
    {'h', "get_channel", Op::NotAvailableGet},
    {'B', "set_bank", Op::NotAvailableSet},
    {'A', "set_trn", Op::NotAvailableSet},
    {'a', "get_trn", Op::NotAvailableGet},
    {0, "get_dcd", Op::NotAvailableGet},
    // Not offered by this server: raw receiver commands and the rest.
    {'w', "send_cmd", Op::NotImplemented},
    {'W', "send_cmd_rx", Op::NotImplemented},
    {'1', "dump_caps", Op::NotImplemented},
    {'3', "dump_conf", Op::NotImplemented},
    {0, "set_conf", Op::NotImplemented},
    {0, "get_conf", Op::NotImplemented},
    {'*', "reset", Op::NotImplemented},
};

const CommandRow* findLetter(char letter)
{
    if (letter == 0) {
        return nullptr;  // rows without a letter are reached by name only
    }
    for (const auto& row : kCommands) {
        if (row.letter == letter) {
            return &row;
        }
    }
    return nullptr;
}

const CommandRow* findName(std::string_view name)
{
    for (const auto& row : kCommands) {
        if (name == row.name) {
            return &row;
        }
    }
    return nullptr;
}

bool isGetOp(Op op)
{
    switch (op) {
    case Op::GetFreq:
    case Op::GetMode:
    case Op::GetLevel:
    case Op::GetVfo:
    case Op::GetSplit:
    case Op::GetMem:
    case Op::GetTs:
    case Op::GetInfo:
    case Op::DumpState:
    case Op::ChkVfo:
    case Op::GetPowerstat:
    case Op::GetLockMode:
    case Op::NotAvailableGet: return true;
    default: return false;
    }
}

}  // namespace

// ---- Session ----------------------------------------------------------------------------

RigctlSession::RigctlSession(ReceiverAccess& receiver, Sender send, SessionLimits limits)
    : m_rx(receiver), m_send(std::move(send)), m_limits(limits), m_self(std::make_shared<RigctlSession*>(this))
{
}

RigctlSession::~RigctlSession() = default;

void RigctlSession::feed(std::string_view bytes)
{
    if (m_closed) {
        return;
    }
    m_buffer.append(bytes);
    drain();
}

void RigctlSession::drain()
{
    if (m_draining) {
        return;
    }
    m_draining = true;
    while (!m_closed && !m_busy) {
        const std::size_t eol = m_buffer.find('\n');
        if (eol == std::string::npos) {
            if (m_buffer.size() > m_limits.maxLine) {
                close("RPRT -1\n");
            }
            break;
        }
        if (eol > m_limits.maxLine) {
            close("RPRT -1\n");
            break;
        }
        std::string line = m_buffer.substr(0, eol);
        m_buffer.erase(0, eol + 1);
        runLine(std::move(line));
    }
    // Lines that wait behind a change in progress are bounded too.
    if (!m_closed && m_buffer.size() > m_limits.maxBuffered) {
        close("RPRT -1\n");
    }
    m_draining = false;
}

void RigctlSession::close(const std::string& lastWords)
{
    if (!lastWords.empty()) {
        m_send(lastWords);
    }
    m_closed = true;
    m_buffer.clear();
    if (m_onClose) {
        m_onClose();
    }
}

void RigctlSession::finish(const Reply& reply)
{
    m_busy = false;
    if (m_closed) {
        return;
    }
    m_send(reply.render());
    if (!m_draining) {
        drain();
    }
}

void RigctlSession::await(Reply reply, const std::function<void(SetDone)>& start)
{
    m_busy = true;
    m_awaitStarted = true;
    std::weak_ptr<RigctlSession*> self = m_self;
    start([self, reply](SetResult result) mutable {
        const auto alive = self.lock();
        if (!alive) {
            return;
        }
        reply.code = rprtCode(result);
        (*alive)->finish(reply);
    });
}

void RigctlSession::runLine(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.pop_back();
    }
    std::size_t pos = line.find_first_not_of(" \t");
    if (pos == std::string::npos) {
        return;  // an empty line asks nothing
    }
    Reply r;
    const char first = line[pos];
    if (first == '+' || first == ';' || first == '|' || first == ',') {
        r.extended = true;
        r.separator = first == '+' ? '\n' : first;
        ++pos;
    }
    if (pos >= line.size()) {
        r.name = "unknown";
        r.fail(rprt::Invalid);
        m_send(r.render());
        return;
    }
    const CommandRow* cmd = nullptr;
    std::string rest;
    if (line[pos] == '\\') {
        const std::size_t end = line.find_first_of(" \t", pos);
        const std::string name = line.substr(pos + 1, end == std::string::npos ? std::string::npos : end - pos - 1);
        cmd = findName(name);
        rest = end == std::string::npos ? std::string() : line.substr(end);
        r.name = name.empty() ? "unknown" : name;
    } else {
        cmd = findLetter(line[pos]);
        rest = line.substr(pos + 1);
        r.name = cmd != nullptr ? cmd->name : "unknown";
    }
    std::vector<std::string> args = splitWords(rest);
    for (std::size_t i = 0; i < args.size(); ++i) {
        r.argsText += (i ? " " : "") + args[i];
    }
    if (cmd == nullptr) {
        r.fail(rprt::NotImplemented);
        m_send(r.render());
        return;
    }
    r.get = isGetOp(cmd->op);
    m_awaitStarted = false;
    // Clients that believe in VFO arguments name the VFO first.
    auto takeVfo = [&](std::size_t expected) {
        if (args.size() == expected + 1 && isOwnVfo(args[0])) {
            args.erase(args.begin());
        }
    };

    switch (cmd->op) {
    case Op::GetFreq:
        takeVfo(0);
        args.empty() ? doGetFreq(r) : r.fail(rprt::Invalid);
        break;
    case Op::SetFreq:
        takeVfo(1);
        doSetFreq(r, args);
        break;
    case Op::GetMode:
        takeVfo(0);
        args.empty() ? doGetMode(r) : r.fail(rprt::Invalid);
        break;
    case Op::SetMode:
        takeVfo(2);
        doSetMode(r, args);
        break;
    case Op::GetLevel:
        takeVfo(1);
        doGetLevel(r, args);
        break;
    case Op::SetLevel:
        takeVfo(2);
        doSetLevel(r, args);
        break;
    case Op::GetVfo: args.empty() ? r.value("VFO", kVfo) : r.fail(rprt::Invalid); break;
    case Op::SetVfo: doSetVfo(r, args); break;
    case Op::GetSplit:
        takeVfo(0);
        if (args.empty()) {
            r.value("Split", "0");
            r.value("TX VFO", kVfo);
        } else {
            r.fail(rprt::Invalid);
        }
        break;
    case Op::SetSplit:
        takeVfo(2);
        doSetSplit(r, args);
        break;
    case Op::GetMem:
        takeVfo(0);
        args.empty() ? doGetMem(r) : r.fail(rprt::Invalid);
        break;
    case Op::SetMem:
        takeVfo(1);
        doSetMem(r, args);
        break;
    case Op::GetTs:
        takeVfo(0);
        args.empty() ? r.value("Tuning Step", formatInt(m_rx.frequencyStep())) : r.fail(rprt::Invalid);
        break;
    case Op::GetInfo: {
        std::string info = m_rx.name();
        const std::string id = m_rx.identification();
        if (!id.empty()) {
            info += " " + id;
        }
        for (char& c : info) {
            if (c == '\n' || c == '\r') {
                c = ' ';
            }
        }
        r.value("Info", info);
        break;
    }
    case Op::DumpState:
        r.block = dumpState(m_rx);
        if (r.extended && r.separator != '\n') {
            std::replace(r.block.begin(), r.block.end(), '\n', r.separator);
        }
        break;
    case Op::ChkVfo: r.value("ChkVFO", "0"); break;
    case Op::GetPowerstat: r.value("Power Status", "1"); break;
    case Op::SetPowerstat: {
        const auto v = args.size() == 1 ? parseWhole(args[0]) : std::nullopt;
        if (!v) {
            r.fail(rprt::Invalid);
        } else if (*v != 1) {
            r.fail(rprt::NotAvailable);  // the server does not switch receivers off
        }
        break;
    }
    case Op::GetLockMode: r.value("Locked", "0"); break;
    case Op::SetLockMode: {
        const auto v = args.size() == 1 ? parseWhole(args[0]) : std::nullopt;
        if (!v) {
            r.fail(rprt::Invalid);
        } else if (*v != 0) {
            r.fail(rprt::NotAvailable);
        }
        break;
    }
    case Op::Quit: close(r.extended ? r.render() : "RPRT 0\n"); return;
    case Op::NotAvailableGet:
    case Op::NotAvailableSet: r.fail(rprt::NotAvailable); break;
    case Op::NotImplemented: r.fail(rprt::NotImplemented); break;
    }
    if (!m_awaitStarted) {
        m_send(r.render());
    }
}

// ---- Frequency, mode, levels -------------------------------------------------------------

void RigctlSession::doGetFreq(Reply& r)
{
    const auto f = m_rx.frequency();
    if (!f) {
        r.fail(m_rx.isConnected() ? rprt::TimedOut : rprt::IoError);
        return;
    }
    r.value("Frequency", formatInt(*f));
}

void RigctlSession::doSetFreq(Reply& r, const std::vector<std::string>& args)
{
    const auto hz = args.size() == 1 ? parseNumber(args[0]) : std::nullopt;
    if (!hz) {
        r.fail(rprt::Invalid);
        return;
    }
    const double rounded = std::round(*hz);
    if (rounded < m_rx.frequencyMin() || rounded > m_rx.frequencyMax()) {
        r.fail(rprt::Invalid);
        return;
    }
    const auto value = static_cast<std::int32_t>(rounded);
    await(r, [this, value](SetDone done) { m_rx.setFrequency(value, std::move(done)); });
}

void RigctlSession::doGetMode(Reply& r)
{
    const auto mode = m_rx.mode();
    if (!mode) {
        r.fail(m_rx.isConnected() ? rprt::TimedOut : rprt::IoError);
        return;
    }
    const std::string name = modeName(*mode);
    if (name.empty()) {
        r.fail(rprt::NotAvailable);  // a mode the protocol cannot name (ISB, MPHI)
        return;
    }
    r.value("Mode", name);
    r.value("Passband", formatInt(m_rx.filterWidth().value_or(0)));
}

void RigctlSession::doSetMode(Reply& r, const std::vector<std::string>& args)
{
    if (args.size() == 1 && args[0] == "?") {
        r.get = true;
        r.rprtAfterValues = true;
        std::string list;
        for (const auto& row : kModes) {
            if (m_rx.modeExists(row.mode)) {
                list += std::string(row.name) + " ";
            }
        }
        r.value("", list);
        return;
    }
    if (args.empty() || args.size() > 2) {
        r.fail(rprt::Invalid);
        return;
    }
    const MODTYPE mode = modeFromName(args[0]);
    if (mode == ModNone) {
        const std::string u = upper(args[0]);
        const bool known = std::any_of(kOtherModes.begin(), kOtherModes.end(), [&](const char* n) { return u == n; });
        r.fail(known ? rprt::NotAvailable : rprt::Invalid);
        return;
    }
    std::optional<std::int64_t> passband = -1;  // no change
    if (args.size() == 2) {
        passband = parseWhole(args[1]);
        if (!passband || *passband < -1 || *passband > 1000000) {
            r.fail(rprt::Invalid);
            return;
        }
    }
    if (!m_rx.modeExists(mode)) {
        r.fail(rprt::NotAvailable);
        return;
    }
    std::int32_t width = -1;
    if (*passband >= 0) {
        if (m_rx.filterWidths().empty()) {
            if (*passband > 0) {
                r.fail(rprt::NotAvailable);  // no filter to choose
                return;
            }
        } else {
            width = *passband == 0 ? normalPassband(mode) : static_cast<std::int32_t>(*passband);
        }
    }
    std::weak_ptr<RigctlSession*> self = m_self;
    await(r, [this, self, mode, width](SetDone done) {
        m_rx.setMode(mode, [this, self, width, done = std::move(done)](SetResult result) mutable {
            if (!self.lock()) {
                return;
            }
            if (result != SetResult::Done || width < 0) {
                done(result);
                return;
            }
            m_rx.setFilterWidth(width, std::move(done));
        });
    });
}

void RigctlSession::doGetLevel(Reply& r, const std::vector<std::string>& args)
{
    if (args.size() != 1) {
        r.fail(rprt::Invalid);
        return;
    }
    if (args[0] == "?") {
        r.value("", levelList(readableLevels(m_rx)));
        return;
    }
    const std::string name = upper(args[0]);
    const std::uint64_t have = readableLevels(m_rx);
    auto unknown = [&] {
        const bool known =
            name == "PREAMP" || name == "ATT" || name == "AGC" || name == "STRENGTH" ||
            std::any_of(kOtherLevels.begin(), kOtherLevels.end(), [&](const char* n) { return name == n; });
        r.fail(known ? rprt::NotAvailable : rprt::Invalid);
    };
    auto notKnownYet = [&] { r.fail(m_rx.isConnected() ? rprt::TimedOut : rprt::IoError); };
    if (name == "STRENGTH" && (have & kLevelStrength)) {
        const auto dbuv = m_rx.signalDbuv();
        if (!dbuv) {
            notKnownYet();
            return;
        }
        r.value("", formatInt(*dbuv - kS9Dbuv));
    } else if (name == "ATT" && (have & kLevelAtt)) {
        const auto att = m_rx.att();
        if (!att) {
            notKnownYet();
            return;
        }
        r.value("", formatInt(*att >= AttOn1 && *att <= AttOn5 ? m_rx.attDb(*att) : 0));
    } else if (name == "PREAMP" && (have & kLevelPreamp)) {
        const auto att = m_rx.att();
        if (!att) {
            notKnownYet();
            return;
        }
        r.value("", formatInt(*att == AttPre ? m_rx.attDb(AttPre) : 0));
    } else if (name == "AGC" && (have & kLevelAgc)) {
        const auto agc = m_rx.agc();
        if (!agc || agcToProtocol(*agc) < 0) {
            notKnownYet();
            return;
        }
        r.value("", formatInt(agcToProtocol(*agc)));
    } else {
        unknown();
    }
}

void RigctlSession::doSetLevel(Reply& r, const std::vector<std::string>& args)
{
    if (args.size() == 1 && args[0] == "?") {
        r.get = true;
        r.rprtAfterValues = true;
        r.value("", levelList(settableLevels(m_rx)));
        return;
    }
    if (args.size() != 2) {
        r.fail(rprt::Invalid);
        return;
    }
    const std::string name = upper(args[0]);
    const auto value = parseWhole(args[1]);
    const std::uint64_t have = settableLevels(m_rx);
    const bool known = name == "PREAMP" || name == "ATT" || name == "AGC" || name == "STRENGTH" ||
                       std::any_of(kOtherLevels.begin(), kOtherLevels.end(), [&](const char* n) { return name == n; });
    if (!known) {
        r.fail(rprt::Invalid);
        return;
    }
    if (!value || *value < 0) {
        r.fail(rprt::Invalid);
        return;
    }
    ATTSTATE att = AttNone;
    if (name == "ATT" && (have & kLevelAtt)) {
        const auto now = m_rx.att();
        if (*value == 0) {
            if (now && *now != AttPre && *now != AttOff) {
                att = AttOff;
            }
        } else {
            std::int64_t best = -1;
            for (int s = AttOn1; s <= AttOn5; ++s) {
                const auto state = static_cast<ATTSTATE>(s);
                if (!m_rx.attExists(state)) {
                    continue;
                }
                const std::int64_t distance = std::llabs(m_rx.attDb(state) - *value);
                if (best < 0 || distance < best) {
                    best = distance;
                    att = state;
                }
            }
        }
    } else if (name == "PREAMP" && (have & kLevelPreamp)) {
        const auto now = m_rx.att();
        if (*value > 0) {
            att = AttPre;
        } else if (now && *now == AttPre) {
            att = AttOff;
        }
    } else if (name == "AGC" && (have & kLevelAgc)) {
        const AGCTYPE agc = agcFromProtocol(m_rx, static_cast<int>(std::min<std::int64_t>(*value, 1000)));
        if (agc == AgcNone) {
            r.fail(*value <= 10 ? rprt::NotAvailable : rprt::Invalid);
            return;
        }
        await(r, [this, agc](SetDone done) { m_rx.setAgc(agc, std::move(done)); });
        return;
    } else {
        r.fail(rprt::NotAvailable);
        return;
    }
    if (att == AttNone) {
        // Nothing to change: no attenuation asked and none on (or the
        // preamplifier off and not on). Still, only a connected receiver says so.
        if (!m_rx.isConnected()) {
            r.fail(rprt::IoError);
        }
        return;
    }
    await(r, [this, att](SetDone done) { m_rx.setAtt(att, std::move(done)); });
}

// ---- VFO, split, memory --------------------------------------------------------------------

void RigctlSession::doSetVfo(Reply& r, const std::vector<std::string>& args)
{
    if (args.size() == 1 && args[0] == "?") {
        r.get = true;
        r.rprtAfterValues = true;
        r.value("", std::string(kVfo) + " ");
        return;
    }
    if (args.size() != 1) {
        r.fail(rprt::Invalid);
    } else if (isOwnVfo(args[0])) {
        return;
    } else {
        r.fail(isOtherVfo(args[0]) ? rprt::NotAvailable : rprt::Invalid);
    }
}

void RigctlSession::doSetSplit(Reply& r, const std::vector<std::string>& args)
{
    const auto on = !args.empty() && args.size() <= 2 ? parseWhole(args[0]) : std::nullopt;
    if (!on || (args.size() == 2 && !isOwnVfo(args[1]) && !isOtherVfo(args[1]))) {
        r.fail(rprt::Invalid);
    } else if (*on != 0) {
        r.fail(rprt::NotAvailable);  // split means a transmitter
    }
}

void RigctlSession::doSetMem(Reply& r, const std::vector<std::string>& args)
{
    const auto chn = args.size() == 1 ? parseWhole(args[0]) : std::nullopt;
    if (!chn) {
        r.fail(rprt::Invalid);
        return;
    }
    if (m_rx.channelCount() <= 0) {
        r.fail(rprt::NotAvailable);
        return;
    }
    if (*chn < m_rx.channelStart() || *chn >= m_rx.channelCount()) {
        r.fail(rprt::Invalid);
        return;
    }
    const int channel = static_cast<int>(*chn);
    await(r, [this, channel](SetDone done) { m_rx.loadChannel(channel, std::move(done)); });
}

void RigctlSession::doGetMem(Reply& r)
{
    if (m_rx.channelCount() <= 0) {
        r.fail(rprt::NotAvailable);
        return;
    }
    const auto chn = m_rx.channel();
    if (!chn) {
        r.fail(m_rx.isConnected() ? rprt::TimedOut : rprt::IoError);
    } else if (*chn < 0) {
        r.fail(rprt::NotAvailable);  // tuned freely, on no channel
    } else {
        r.value("Memory#", formatInt(*chn));
    }
}

// ---- \dump_state --------------------------------------------------------------------------

std::string RigctlSession::dumpState(ReceiverAccess& rx)
{
    const std::uint64_t modes = receiverModes(rx);
    const std::string modeMask = formatHex(modes);
    const std::string endOfList = "0 0 0 0 0 0 0\n";
    std::string out;
    out += "0\n";  // protocol version
    out += "2\n";  // model: the network client
    out += "0\n";  // region
    // Receive range: start, end, modes, low and high power (none), VFO A, antenna 1.
    out += formatInt(rx.frequencyMin()) + ".000000 " + formatInt(rx.frequencyMax()) + ".000000 " + modeMask +
           " -1 -1 0x1 0x1\n";
    out += endOfList;
    out += endOfList;  // no transmit range
    out += modeMask + " " + formatInt(std::max(1, rx.frequencyStep())) + "\n";
    out += "0 0\n";
    for (std::int32_t width : rx.filterWidths()) {
        if (width > 0) {
            out += modeMask + " " + formatInt(width) + "\n";
        }
    }
    out += "0 0\n";
    out += "0\n0\n0\n0\n";  // RIT, XIT, IF shift, announcements
    std::string preamp;
    if (rx.attExists(AttPre)) {
        preamp = formatInt(rx.attDb(AttPre)) + " ";
    }
    out += preamp + "\n";
    std::string att;
    for (int s = AttOn1; s <= AttOn5; ++s) {
        if (rx.attExists(static_cast<ATTSTATE>(s))) {
            att += formatInt(rx.attDb(static_cast<ATTSTATE>(s))) + " ";
        }
    }
    out += att + "\n";
    out += "0x0\n0x0\n";  // functions
    out += formatHex(readableLevels(rx)) + "\n";
    out += formatHex(settableLevels(rx)) + "\n";
    out += "0x0\n0x0\n";  // parameters
    return out;
}

}  // namespace server
