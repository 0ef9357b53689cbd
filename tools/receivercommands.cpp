// The receiver commands of korvanectl for scripts: receivers, connect, get,
// set and channels.
#include "receivercommands.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <map>

#include "formats/channelfile.h"
#include "platform/numbers.h"
#include "platform/settingsstore.h"
#include "receivertool.h"
#include "server/driveraccess.h"

namespace tools {

using namespace quorvin;

namespace {

constexpr int kDefaultTimeoutS = 60;

struct Options {
    std::string configuration = "Default";
    int timeoutMs = kDefaultTimeoutS * 1000;
    std::vector<std::string> words;
};

// "-c NAME" / "--config NAME", "--timeout SECONDS"; everything else in order.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::ostream& err)
{
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "-c" || a == "--config") && i + 1 < args.size()) {
            o.configuration = args[++i];
        } else if (a == "--timeout" && i + 1 < args.size()) {
            const auto s = platform::parseInt(args[++i]);
            if (!s || *s <= 0 || *s > 3600) {
                err << "korvanectl: --timeout takes seconds, 1 to 3600\n";
                return std::nullopt;
            }
            o.timeoutMs = static_cast<int>(*s) * 1000;
        } else if (a.size() > 1 && a[0] == '-' && !platform::parseDouble(a)) {
            err << "korvanectl: unknown option " << a << "\n";
            return std::nullopt;
        } else {
            o.words.push_back(a);
        }
    }
    return o;
}

const char* modelName(std::int32_t type)
{
    static const char* const names[] = {"NRD535", "RA6790", "RA1792", "TRC243", "REK085",
                                        "NDX264", "TRC294", "HF2050", "TRC298"};
    return type >= 0 && type <= 8 ? names[type] : "?";
}

// A frequency as typed: Hz, or with a unit ("7050k", "7.05MHz", "7050 kHz").
std::optional<std::int32_t> parseFrequency(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    double scale = 1;
    for (const auto& [unit, factor] :
         std::vector<std::pair<std::string, double>>{{"mhz", 1e6}, {"khz", 1e3}, {"hz", 1}, {"m", 1e6}, {"k", 1e3}}) {
        if (text.size() > unit.size() && text.compare(text.size() - unit.size(), unit.size(), unit) == 0) {
            text.resize(text.size() - unit.size());
            scale = factor;
            break;
        }
    }
    const auto v = platform::parseDouble(text);
    if (!v || !std::isfinite(*v) || *v < 0 || *v * scale > 2147483647.0) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(std::llround(*v * scale));
}

std::string resultText(server::SetResult r)
{
    switch (r) {
    case server::SetResult::Done: return "done";
    case server::SetResult::Invalid: return "the value is outside what the receiver takes";
    case server::SetResult::NotAvailable: return "the receiver does not have it";
    case server::SetResult::NotConnected: return "the receiver is not connected";
    case server::SetResult::TimedOut: return "the receiver did not confirm the change in time";
    }
    return "failed";
}

// ---- receivers ----------------------------------------------------------------------------

int receivers(const Options& o, std::ostream& out, std::ostream& err)
{
    if (o.words.size() > 1) {
        err << "korvanectl receivers: at most one CONFIGURATION expected\n" << receiverUsage();
        return kExitUsage;
    }
    const std::string configuration = o.words.empty() ? o.configuration : o.words[0];
    ReceiverTool tool(out, err);
    if (!tool.load(configuration)) {
        return kExitFailed;
    }
    auto& store = platform::SettingsStore::shared();
    for (std::int16_t i = 0; i < tool.count(); ++i) {
        std::string name;
        tool.driver().get_RxName(i, &name);
        const std::string key =
            platform::SettingsStore::join(platform::SettingsStore::join(platform::kSettingsRoot, configuration), name);
        std::string link;
        if (store.readNumber(key, "C_Type", 0) == 1) {
            link = "tcp " + store.readText(key, "T_Addr", "") + ":" +
                   platform::formatInt(store.readNumber(key, "T_Port", 0));
        } else {
            link = "serial port " + platform::formatInt(store.readNumber(key, "S_Port", 0));
        }
        out << i << "\t" << name << "\t" << modelName(store.readNumber(key, "D_Type", -1)) << "\t" << link << "\n";
    }
    return kExitOk;
}

// ---- connect, get, set --------------------------------------------------------------------

// Loads the configuration and finds the named receiver; without one, `rc`
// holds the exit code to end with (a failed load, or a name not configured).
std::optional<std::int16_t> loadAndFind(ReceiverTool& tool, const Options& o, const std::string& name, int& rc)
{
    if (!tool.load(o.configuration)) {
        rc = kExitFailed;
        return std::nullopt;
    }
    auto i = tool.find(name);
    if (!i) {
        rc = kExitUsage;
    }
    return i;
}

int connectOne(const Options& o, std::ostream& out, std::ostream& err)
{
    if (o.words.size() != 1) {
        err << "korvanectl connect: one RECEIVER expected\n" << receiverUsage();
        return kExitUsage;
    }
    ReceiverTool tool(out, err);
    int rc = kExitOk;
    const auto i = loadAndFind(tool, o, o.words[0], rc);
    if (!i) {
        return rc;
    }
    if (!tool.connect(*i, o.timeoutMs)) {
        return kExitFailed;
    }
    std::string name, rom;
    std::int32_t hz = 0;
    tool.driver().get_RxName(*i, &name);
    tool.driver().get_RxRomID(*i, &rom);
    tool.driver().get_RxFrq(*i, NONE, &hz);
    out << *i << "\t" << name << "\tconnected\t" << rom << "\t" << hz << "\n";
    tool.disconnect(*i);
    return kExitOk;
}

int get(const Options& o, std::ostream& out, std::ostream& err)
{
    static const std::vector<std::string> known{"frequency", "mode", "filter", "agc", "smeter"};
    if (o.words.size() < 2) {
        err << "korvanectl get: RECEIVER and what to get expected\n" << receiverUsage();
        return kExitUsage;
    }
    for (std::size_t w = 1; w < o.words.size(); ++w) {
        if (std::find(known.begin(), known.end(), o.words[w]) == known.end()) {
            err << "korvanectl: get knows frequency, mode, filter, agc and smeter, not " << o.words[w] << "\n";
            return kExitUsage;
        }
    }
    ReceiverTool tool(out, err);
    int rc = kExitOk;
    const auto i = loadAndFind(tool, o, o.words[0], rc);
    if (!i) {
        return rc;
    }
    if (!tool.connect(*i, o.timeoutMs)) {
        return kExitFailed;
    }
    IReceiverDriver& drv = tool.driver();
    rc = kExitOk;
    for (std::size_t w = 1; w < o.words.size(); ++w) {
        const std::string& what = o.words[w];
        if (what == "frequency") {
            std::int32_t hz = -1;
            drv.get_RxFrq(*i, NONE, &hz);
            out << hz << "\n";
        } else if (what == "mode") {
            MODTYPE mod = ModNone;
            std::string name;
            drv.get_RxMod(*i, &mod);
            drv.get_RxModName(*i, mod, &name);
            out << (name.empty() ? "-" : name) << "\n";
        } else if (what == "filter") {
            std::int32_t hz = 0;
            drv.get_RxFltBW(*i, &hz);
            out << hz << "\n";
        } else if (what == "agc") {
            AGCTYPE agc = AgcNone;
            std::string name;
            drv.get_RxAgcSts(*i, &agc);
            drv.get_RxAgcName(*i, agc, &name);
            out << (name.empty() ? "-" : name) << "\n";
        } else if (what == "smeter") {
            std::int32_t exists = 0;
            drv.get_RxSMtExist(*i, &exists);
            if (exists == 0) {
                err << "korvanectl: receiver " << *i << " has no S-meter\n";
                rc = kExitFailed;
                continue;
            }
            std::string dbuv, spoint;
            waitFor([&] { return drv.get_RxSMtLvl(*i, dBuV, &dbuv) == S_OK && !dbuv.empty(); }, o.timeoutMs);
            drv.get_RxSMtLvl(*i, SPoint, &spoint);
            if (dbuv.empty()) {
                err << "korvanectl: receiver " << *i << " reported no S-meter reading\n";
                rc = kExitFailed;
                continue;
            }
            // dBµV first, for scripts; the S-point text after it.
            while (!spoint.empty() && spoint.front() == ' ') {
                spoint.erase(0, 1);
            }
            out << dbuv << " dBuV " << spoint << "\n";
        }
    }
    tool.disconnect(*i);
    return rc;
}

int set(const Options& o, std::ostream& out, std::ostream& err)
{
    if (o.words.size() < 3 || (o.words.size() - 1) % 2 != 0) {
        err << "korvanectl set: RECEIVER and pairs of what and value expected\n" << receiverUsage();
        return kExitUsage;
    }
    ReceiverTool tool(out, err);
    int rc = kExitOk;
    const auto i = loadAndFind(tool, o, o.words[0], rc);
    if (!i) {
        return rc;
    }
    IReceiverDriver& drv = tool.driver();
    // Every value is checked before the receiver is touched.
    std::vector<std::function<void(server::DriverAccess&, server::SetDone)>> changes;
    std::vector<std::string> labels;
    for (std::size_t w = 1; w + 1 < o.words.size(); w += 2) {
        const std::string& what = o.words[w];
        const std::string& value = o.words[w + 1];
        if (what == "frequency") {
            const auto hz = parseFrequency(value);
            if (!hz) {
                err << "korvanectl: frequency " << value << " is no frequency (Hz, or with kHz or MHz)\n";
                return kExitUsage;
            }
            changes.push_back([hz = *hz](server::DriverAccess& a, server::SetDone d) { a.setFrequency(hz, d); });
        } else if (what == "mode") {
            MODTYPE mod = ModNone;
            drv.get_RxModType(*i, value, &mod);
            if (mod == ModNone) {
                err << "korvanectl: unknown mode " << value
                    << " (AM, CW, USB, LSB, FM, RTTY, FAX, ECSSU, ECSSL, ISB, CWF, MPHI)\n";
                return kExitUsage;
            }
            changes.push_back([mod](server::DriverAccess& a, server::SetDone d) { a.setMode(mod, d); });
        } else if (what == "filter") {
            const auto hz = platform::parseInt(value);
            if (!hz || *hz <= 0 || *hz > 1000000) {
                err << "korvanectl: filter " << value << " is no bandwidth in Hz\n";
                return kExitUsage;
            }
            const auto width = static_cast<std::int32_t>(*hz);
            changes.push_back([width](server::DriverAccess& a, server::SetDone d) { a.setFilterWidth(width, d); });
        } else if (what == "agc") {
            AGCTYPE agc = AgcNone;
            drv.get_RxAgcType(*i, value, &agc);
            if (agc == AgcNone) {
                err << "korvanectl: unknown AGC " << value << " (Man, Fast, Med, Slow, MFast, MMed, MSlow, Data)\n";
                return kExitUsage;
            }
            changes.push_back([agc](server::DriverAccess& a, server::SetDone d) { a.setAgc(agc, d); });
        } else {
            err << "korvanectl: set knows frequency, mode, filter and agc, not " << what << "\n";
            return kExitUsage;
        }
        labels.push_back(what + " " + value);
    }
    if (!tool.connect(*i, o.timeoutMs)) {
        return kExitFailed;
    }
    server::DriverAccess access(&drv, *i);
    access.setConfirmTimeout(std::min(o.timeoutMs, 15000));
    rc = kExitOk;
    for (std::size_t c = 0; c < changes.size(); ++c) {
        std::optional<server::SetResult> result;
        changes[c](access, [&](server::SetResult r) { result = r; });
        waitFor([&] { return result.has_value(); }, o.timeoutMs + 1000);
        const server::SetResult r = result.value_or(server::SetResult::TimedOut);
        if (r != server::SetResult::Done) {
            err << "korvanectl: " << labels[c] << ": " << resultText(r) << "\n";
            rc = kExitFailed;
            break;
        }
    }
    tool.disconnect(*i);
    return rc;
}

// ---- channels -----------------------------------------------------------------------------

// Reads every channel; false (with a message) when the dump fails or stalls.
bool dumpChannels(ReceiverTool& tool, std::int16_t i, std::map<int, ReceiverTool::ChannelStatus>& channels,
                  std::ostream& err)
{
    tool.channelStatuses().clear();
    RCODE rc = R_KO;
    tool.driver().RxChnDump(i, &rc);
    if (rc == R_KO) {
        err << "korvanectl: receiver " << i << " refused to list its memory channels\n";
        return false;
    }
    // Ends with the end marker (channel -1); a receiver silent for five
    // seconds in between has stopped.
    std::size_t seen = 0;
    for (;;) {
        const bool more = waitFor(
            [&] {
                const auto& s = tool.channelStatuses();
                return s.size() > seen || (!s.empty() && s.back().channel == -1);
            },
            5000);
        const auto& s = tool.channelStatuses();
        if (!s.empty() && s.back().channel == -1) {
            break;
        }
        if (!more) {
            err << "korvanectl: receiver " << i << " stopped listing its channels after " << s.size() << "\n";
            return false;
        }
        seen = s.size();
    }
    for (const auto& s : tool.channelStatuses()) {
        if (s.channel >= 0) {
            channels[s.channel] = s;
        }
    }
    return true;
}

bool channelRange(ReceiverTool& tool, std::int16_t i, std::int16_t& start, std::int16_t& count, std::ostream& err)
{
    tool.driver().get_RxChnStart(i, &start);
    tool.driver().get_RxChnCount(i, &count);
    if (count <= 0) {
        std::string name;
        tool.driver().get_RxName(i, &name);
        err << "korvanectl: receiver " << i << " (" << name << ") has no memory channels\n";
        return false;
    }
    return true;
}

int channelsDump(const Options& o, std::ostream& out, std::ostream& err)
{
    ReceiverTool tool(out, err);
    int rc = kExitOk;
    const auto i = loadAndFind(tool, o, o.words[1], rc);
    if (!i) {
        return rc;
    }
    std::int16_t start = 0, count = 0;
    if (!channelRange(tool, *i, start, count, err) || !tool.connect(*i, o.timeoutMs)) {
        return kExitFailed;
    }
    std::map<int, ReceiverTool::ChannelStatus> channels;
    if (!dumpChannels(tool, *i, channels, err)) {
        return kExitFailed;
    }
    tool.disconnect(*i);
    std::vector<channelfile::ChannelLine> lines;
    for (const auto& [chn, s] : channels) {
        if (chn < start || chn >= count || s.frequency == 0) {
            continue;  // outside the receiver's numbers, or empty
        }
        channelfile::ChannelLine l;
        l.channel = chn;
        l.frequency = s.frequency;
        l.bfo = s.bfo;
        tool.driver().get_RxModName(*i, static_cast<MODTYPE>(s.mode), &l.mode);
        l.filter = s.filter;
        tool.driver().get_RxAgcName(*i, static_cast<AGCTYPE>(s.agc), &l.agc);
        if (l.agc.empty()) {
            l.agc = "Fast";  // a channel stored without one gets the receiver's default
        }
        l.mask = s.mask;
        if (l.mode.empty()) {
            err << "korvanectl: channel " << chn << " holds a mode the file cannot name; left out\n";
            continue;
        }
        lines.push_back(l);
    }
    const std::string text = channelfile::format(lines);
    QSaveFile file(QString::fromStdString(o.words[2]));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        err << "korvanectl: cannot write " << o.words[2] << ": " << file.errorString().toStdString() << "\n";
        return kExitFile;
    }
    out << lines.size() << " channels written to " << o.words[2] << "\n";
    return kExitOk;
}

int channelsLoad(const Options& o, std::ostream& out, std::ostream& err)
{
    const std::string& path = o.words[2];
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        err << "korvanectl: cannot read " << path << ": " << file.errorString().toStdString() << "\n";
        return kExitFile;
    }
    if (file.size() > 16 * 1024 * 1024) {
        err << "korvanectl: " << path << " is too large for a channel file\n";
        return kExitFile;
    }
    const QByteArray bytes = file.readAll();
    const auto parsed = channelfile::parse(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (parsed.error) {
        err << "korvanectl: " << path << ": " << parsed.error->message << "; nothing was written\n";
        return kExitFile;
    }
    ReceiverTool tool(out, err);
    int rc = kExitOk;
    const auto i = loadAndFind(tool, o, o.words[1], rc);
    if (!i) {
        return rc;
    }
    std::int16_t start = 0, count = 0;
    if (!channelRange(tool, *i, start, count, err)) {
        return kExitFailed;
    }
    IReceiverDriver& drv = tool.driver();
    // Every line is converted before the receiver is touched.
    struct Write {
        int line;
        std::int16_t chn;
        std::int32_t frq, bfo;
        MODTYPE mod;
        std::int32_t flt;
        AGCTYPE agc;
        std::int32_t msk;
    };
    std::vector<Write> writes;
    for (std::size_t n = 0; n < parsed.lines.size(); ++n) {
        const auto& l = parsed.lines[n];
        const int lineNo = static_cast<int>(n) + 1;
        MODTYPE mod = ModNone;
        AGCTYPE agc = AgcNone;
        drv.get_RxModType(*i, l.mode, &mod);
        drv.get_RxAgcType(*i, l.agc, &agc);
        if (mod == ModNone || agc == AgcNone) {
            err << "korvanectl: " << path << ": unknown " << (mod == ModNone ? "mode \"" + l.mode : "AGC \"" + l.agc)
                << "\" on line " << lineNo << "; nothing was written\n";
            return kExitFile;
        }
        if (l.channel >= count || (start != 0 && l.channel == 0)) {
            err << "korvanectl: line " << lineNo << ": channel " << l.channel << " is not on this receiver (" << start
                << " to " << count - 1 << "); skipped\n";
            continue;
        }
        writes.push_back(Write{lineNo, static_cast<std::int16_t>(l.channel), static_cast<std::int32_t>(l.frequency),
                               static_cast<std::int32_t>(l.bfo), mod, static_cast<std::int32_t>(l.filter), agc,
                               static_cast<std::int32_t>(l.mask)});
    }
    if (!tool.connect(*i, o.timeoutMs)) {
        return kExitFailed;
    }
    rc = kExitOk;
    std::size_t written = 0;
    for (const auto& w : writes) {
        RCODE result = R_KO;
        drv.RxChnWrite(*i, w.chn, w.frq, w.bfo, w.mod, w.flt, w.agc, w.msk, &result);
        if (result != R_OK) {
            err << "korvanectl: the receiver refused channel " << w.chn << " (line " << w.line << ")\n";
            rc = kExitFailed;
            continue;
        }
        ++written;
        waitFor([] { return false; }, 5);  // let the link carry it
    }
    // Read everything back: only what the receiver holds counts.
    std::map<int, ReceiverTool::ChannelStatus> channels;
    if (!dumpChannels(tool, *i, channels, err)) {
        return kExitFailed;
    }
    for (const auto& w : writes) {
        const auto it = channels.find(w.chn);
        if (it == channels.end() || it->second.frequency != w.frq || it->second.mode != w.mod) {
            err << "korvanectl: channel " << w.chn << " (line " << w.line << ") does not read back as written\n";
            rc = kExitFailed;
        }
    }
    tool.disconnect(*i);
    out << written << " channels loaded from " << path << "\n";
    return rc;
}

}  // namespace

std::string receiverUsage()
{
    return "usage: korvanectl receivers [CONFIGURATION]\n"
           "         lists the receivers of CONFIGURATION (default \"Default\"): index, name, model, link\n"
           "       korvanectl connect [OPTIONS] RECEIVER\n"
           "         connects the receiver, prints its identification and frequency, disconnects\n"
           "       korvanectl get [OPTIONS] RECEIVER (frequency|mode|filter|agc|smeter)...\n"
           "         prints each value on its own line (Hz; mode and AGC names; smeter: \"DBUV dBuV S-POINT\")\n"
           "       korvanectl set [OPTIONS] RECEIVER (frequency HZ|mode NAME|filter HZ|agc NAME)...\n"
           "         changes and waits until the receiver confirms (frequency also as 7050k or 7.05M)\n"
           "       korvanectl channels dump [OPTIONS] RECEIVER FILE\n"
           "         writes the receiver's memory channels to FILE (the channel file format)\n"
           "       korvanectl channels load [OPTIONS] RECEIVER FILE\n"
           "         checks all of FILE, then writes its channels into the receiver and reads them back\n"
           "  RECEIVER is an index (0, 1, ...) or an instance name. OPTIONS: -c CONFIGURATION,\n"
           "  --timeout SECONDS (connecting and confirming; default 60).\n"
           "  Exit codes: 0 done, 1 the receiver or driver failed, 2 usage, 3 file unreadable or malformed.\n";
}

int runReceiverCommand(const std::string& command, const std::vector<std::string>& args, std::ostream& out,
                       std::ostream& err)
{
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        out << receiverUsage();
        return kExitOk;
    }
    const auto o = parseOptions(args, err);
    if (!o) {
        err << receiverUsage();
        return kExitUsage;
    }
    if (command == "receivers") {
        return receivers(*o, out, err);
    }
    if (command == "connect") {
        return connectOne(*o, out, err);
    }
    if (command == "get") {
        return get(*o, out, err);
    }
    if (command == "set") {
        return set(*o, out, err);
    }
    if (command == "channels") {
        if (o->words.size() == 3 && o->words[0] == "dump") {
            return channelsDump(*o, out, err);
        }
        if (o->words.size() == 3 && o->words[0] == "load") {
            return channelsLoad(*o, out, err);
        }
        err << "korvanectl channels: dump or load, RECEIVER and FILE expected\n";
    }
    err << receiverUsage();
    return kExitUsage;
}

bool isReceiverCommand(const std::string& command)
{
    return command == "receivers" || command == "connect" || command == "get" || command == "set" ||
           command == "channels";
}

}  // namespace tools
