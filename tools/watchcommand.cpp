// Headless watching and tuning of the configured receivers.
#include "watchcommand.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

#include "interfaces/component.h"
#include "interfaces/ireceiverdriver.h"
#include "platform/componentloader.h"
#include "platform/numbers.h"

namespace tools {

namespace {

using namespace quorvin;

// Prints each event on one line, prefixed with the receiver's index and name.
class PrintingSink : public IReceiverDriverEvents {
public:
    explicit PrintingSink(IReceiverDriver* driver) : m_driver(driver) {}

    HRESULT DrvUpdated(std::int32_t count) override { return print(-1, "drivers updated: " + num(count)); }
    HRESULT RxConnState(std::int16_t i, ConnErr err) override
    {
        std::string text;
        m_driver->get_RxErrDesc(err, &text);
        return print(i, "connection: " + text + " (" + num(err) + ")");
    }
    HRESULT RxDataError(std::int16_t i, DataErr err) override
    {
        std::string text;
        m_driver->get_RxErrDesc(err, &text);
        return print(i, "data error: " + text + " (" + num(err) + ")");
    }
    HRESULT RxFrqUpdated(std::int16_t i, std::int32_t frq, std::int32_t dsp) override
    {
        return print(i, "frequency " + khz(frq) + " kHz (display " + khz(dsp) + ")");
    }
    HRESULT RxChnUpdated(std::int16_t i, std::int16_t chn) override { return print(i, "channel " + num(chn)); }
    HRESULT RxModUpdated(std::int16_t i, MODTYPE mod, std::int32_t bfo) override
    {
        std::string name;
        m_driver->get_RxModName(i, mod, &name);
        return print(i, "mode " + (name.empty() ? num(mod) : name) + ", BFO " + num(bfo) + " Hz");
    }
    HRESULT RxFltUpdated(std::int16_t i, std::int32_t flt) override { return print(i, "filter " + num(flt) + " Hz"); }
    HRESULT RxAgcUpdated(std::int16_t i, AGCTYPE agc, std::int16_t level) override
    {
        std::string name;
        m_driver->get_RxAgcName(i, agc, &name);
        return print(i, "AGC " + (name.empty() ? num(agc) : name) + ", level " + num(level));
    }
    HRESULT RxNBlUpdated(std::int16_t i, NBLTYPE nbl, std::int16_t level) override
    {
        std::string name;
        m_driver->get_RxNBlName(i, nbl, &name);
        return print(i, "noise blanker " + (name.empty() ? num(nbl) : name) + ", level " + num(level));
    }
    HRESULT RxAttUpdated(std::int16_t i, ATTSTATE att, std::int16_t level) override
    {
        std::string name;
        m_driver->get_RxAttName(i, att, &name);
        return print(i, "attenuator " + (name.empty() ? num(att) : name) + ", level " + num(level));
    }
    HRESULT RxSqlUpdated(std::int16_t i, SQLSTATE sql, std::int16_t level) override
    {
        return print(i, std::string("squelch ") +
                            (sql == SqlOn    ? "on"
                             : sql == SqlOff ? "off"
                                             : "none") +
                            ", level " + num(level));
    }
    HRESULT RxSMtUpdated(std::int16_t i, std::int32_t, std::int16_t local, std::int16_t dbuv,
                         const std::string& spoint) override
    {
        // The meter moves all the time: show it when its S-point text changes.
        auto& last = m_lastSPoint[static_cast<std::uint16_t>(i)];
        if (last == spoint) {
            return S_OK;
        }
        last = spoint;
        return print(i, "S-meter " + spoint + " (" + num(dbuv) + " dBuV, raw " + num(local) + ")");
    }
    HRESULT RxHFFUpdated(std::int16_t i, HFFSTATE state) override
    {
        return print(i, std::string("HF filter ") + (state == HFFOn ? "on" : state == HFFOff ? "off" : "none"));
    }
    HRESULT RxChnStatus(std::int16_t i, std::int16_t chn, std::int32_t frq, std::int32_t bfo, std::int32_t mod,
                        std::int32_t flt, std::int32_t agc, std::int32_t msk) override
    {
        return print(i, "channel " + num(chn) + ": " + khz(frq) + " kHz, BFO " + num(bfo) + ", mode " + num(mod) +
                            ", filter " + num(flt) + ", AGC " + num(agc) + ", mask " + num(msk));
    }
    HRESULT RxOutUpdated(std::int16_t i, std::int16_t n, std::int32_t sts) override
    {
        return print(i, "output " + num(n) + " = " + num(sts));
    }
    HRESULT RxStpUpdated(std::int16_t i, std::int32_t stp) override { return print(i, "step " + num(stp) + " Hz"); }
    HRESULT RxRmtState(std::int16_t i, std::int32_t sts) override { return print(i, sts ? "remote" : "local"); }

private:
    static std::string num(std::int64_t v) { return platform::formatInt(v); }
    static std::string khz(std::int32_t hz) { return platform::formatFixed(hz / 1000.0, 3); }
    HRESULT print(std::int16_t index, const std::string& text)
    {
        std::string name;
        if (index >= 0) {
            m_driver->get_RxName(index, &name);
        }
        std::cout << (index >= 0 ? "RX" + num(index) + " " + name : std::string("driver")) << ": " << text << std::endl;
        return S_OK;
    }
    IReceiverDriver* m_driver;
    std::map<std::uint16_t, std::string> m_lastSPoint;
};

// One line of standard input: "INDEX COMMAND [VALUE]".
void runLine(IReceiverDriver& driver, const std::string& line)
{
    std::istringstream in(line);
    std::string indexText, cmd, value;
    in >> indexText >> cmd >> value;
    if (indexText.empty()) {
        return;
    }
    if (indexText == "q" || indexText == "quit") {
        QCoreApplication::quit();
        return;
    }
    const auto index = platform::parseInt(indexText);
    if (!index || cmd.empty()) {
        std::cout << "? " << watchUsage();
        return;
    }
    const auto i = static_cast<std::int16_t>(*index);
    if (cmd == "f") {
        const auto khz = platform::parseDouble(value);
        if (!khz) {
            std::cout << "? frequency in kHz expected\n";
            return;
        }
        driver.put_RxFrq(i, NONE, static_cast<std::int32_t>(*khz * 1000.0 + 0.5));
    } else if (cmd == "m") {
        MODTYPE mod = ModNone;
        driver.get_RxModType(i, value, &mod);
        if (mod == ModNone) {
            std::cout << "? unknown mode " << value << "\n";
            return;
        }
        driver.put_RxMod(i, mod);
    } else if (cmd == "b") {
        const auto hz = platform::parseInt(value);
        if (!hz) {
            std::cout << "? filter width in Hz expected\n";
            return;
        }
        driver.put_RxFltBW(i, static_cast<std::int32_t>(*hz));
    } else if (cmd == "a") {
        AGCTYPE agc = AgcNone;
        driver.get_RxAgcType(i, value, &agc);
        if (agc == AgcNone) {
            std::cout << "? unknown AGC " << value << "\n";
            return;
        }
        driver.put_RxAgcSts(i, agc);
    } else if (cmd == "connect" || cmd == "disconnect") {
        ConnErr result = ConnectNoError;
        driver.RxConnect(i, cmd == "connect" ? -1 : 0, &result);
    } else {
        std::cout << "? unknown command " << cmd << "\n";
    }
}

}  // namespace

std::string watchUsage()
{
    return "usage: korvanectl watch [CONFIGURATION] [--seconds N]\n"
           "  connects every receiver of CONFIGURATION (default \"Default\") and prints its events;\n"
           "  standard input takes lines \"INDEX f KHZ\", \"INDEX m MODE\", \"INDEX b HZ\", \"INDEX a AGC\",\n"
           "  \"INDEX connect\", \"INDEX disconnect\" and \"q\". --seconds ends the watch after N seconds.\n";
}

int runWatchCommand(const std::vector<std::string>& args)
{
    std::string configuration = "Default";
    int seconds = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            const auto n = platform::parseInt(args[++i]);
            if (!n || *n <= 0 || *n > 86400) {
                std::cerr << watchUsage();
                return 2;
            }
            seconds = static_cast<int>(*n);
        } else if (!args[i].empty() && args[i][0] != '-') {
            configuration = args[i];
        } else {
            std::cerr << watchUsage();
            return 2;
        }
    }

    auto loaded = platform::loadComponent(kQuorvinLibraryFile, kReceiverDriverClassId);
    if (loaded.object == nullptr) {
        std::cerr << "korvanectl: " << loaded.error << "\n";
        return 1;
    }
    std::unique_ptr<IReceiverDriver> driver(static_cast<IReceiverDriver*>(loaded.object));
    PrintingSink sink(driver.get());
    std::uint32_t cookie = 0;
    driver->Advise(&sink, &cookie);

    std::int32_t configured = 0;
    driver->DrvConfigure(configuration, ConfLoad, &configured);
    std::int16_t count = 0;
    if (driver->get_RxCount(&count) != S_OK || count == 0) {
        std::cerr << "korvanectl: configuration \"" << configuration << "\" has no receiver\n";
        driver->Unadvise(cookie);
        return 1;
    }
    for (std::int16_t i = 0; i < count; ++i) {
        std::string name;
        driver->get_RxName(i, &name);
        ConnErr result = ConnectNoError;
        driver->RxConnect(i, -1, &result);
        std::string text;
        driver->get_RxErrDesc(result, &text);
        std::cout << "RX" << i << " " << name << ": connect: " << text << " (" << result << ")" << std::endl;
    }

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&]() {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            input.setEnabled(false);  // end of input: keep watching
            return;
        }
        pending.append(buf, static_cast<std::size_t>(n));
        std::size_t eol;
        while ((eol = pending.find('\n')) != std::string::npos) {
            runLine(*driver, pending.substr(0, eol));
            pending.erase(0, eol + 1);
        }
    });
    if (seconds > 0) {
        QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), &QCoreApplication::quit);
    }
    QCoreApplication::exec();

    for (std::int16_t i = 0; i < count; ++i) {
        ConnErr result = ConnectNoError;
        driver->RxConnect(i, 0, &result);
    }
    driver->Unadvise(cookie);
    return 0;
}

}  // namespace tools
