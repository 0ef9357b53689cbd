// The receiver access of the network server, on the receiver driver.
#include "driveraccess.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>

namespace server {

using namespace quorvin;

// ---- Nesting of driver calls ------------------------------------------------------------

namespace {

int g_callDepth = 0;
std::vector<std::pair<QPointer<QObject>, std::function<void()>>> g_deferred;
bool g_flushPosted = false;

void runDeferred()
{
    g_flushPosted = false;
    if (g_callDepth > 0) {
        return;  // the scope that ends that call posts again
    }
    auto pending = std::move(g_deferred);
    g_deferred.clear();
    for (auto& [context, f] : pending) {
        if (!context.isNull()) {
            f();
        }
    }
}

void postFlush()
{
    if (g_flushPosted || g_deferred.empty() || QCoreApplication::instance() == nullptr) {
        return;
    }
    g_flushPosted = true;
    QTimer::singleShot(0, QCoreApplication::instance(), runDeferred);
}

}  // namespace

DriverCallScope::DriverCallScope()
{
    ++g_callDepth;
}

DriverCallScope::~DriverCallScope()
{
    if (--g_callDepth == 0) {
        postFlush();
    }
}

bool DriverCallScope::active()
{
    return g_callDepth > 0;
}

void runWhenDriverFree(QObject* context, std::function<void()> f)
{
    if (g_callDepth == 0) {
        f();
        return;
    }
    g_deferred.emplace_back(context, std::move(f));
}

// ---- Events of the driver ---------------------------------------------------------------

class DriverAccess::Sink : public IgnoringReceiverEvents {
public:
    explicit Sink(DriverAccess& owner) : m_owner(owner) {}

    HRESULT RxConnState(std::int16_t i, ConnErr err) override
    {
        if (mine(i) && err != ConnectNoError) {
            m_owner.connectionLost();
        }
        return S_OK;
    }
    HRESULT RxFrqUpdated(std::int16_t i, std::int32_t, std::int32_t) override
    {
        if (mine(i)) {
            ++m_owner.m_frequencyReports;
        }
        return changed(i);
    }
    HRESULT RxChnUpdated(std::int16_t i, std::int16_t) override { return changed(i); }
    HRESULT RxModUpdated(std::int16_t i, MODTYPE, std::int32_t) override { return changed(i); }
    HRESULT RxFltUpdated(std::int16_t i, std::int32_t) override { return changed(i); }
    HRESULT RxAgcUpdated(std::int16_t i, AGCTYPE, std::int16_t) override { return changed(i); }
    HRESULT RxAttUpdated(std::int16_t i, ATTSTATE att, std::int16_t level) override
    {
        if (mine(i)) {
            m_owner.noteAttLevel(att, level);
        }
        return changed(i);
    }

private:
    bool mine(std::int16_t i) const { return i == m_owner.m_index; }
    HRESULT changed(std::int16_t i)
    {
        // Checked from the event loop: the driver is in the middle of
        // handling a reply now.
        if (mine(i) && !m_owner.m_waits.empty()) {
            QTimer::singleShot(0, &m_owner, [o = &m_owner] { o->check(); });
        }
        return S_OK;
    }
    DriverAccess& m_owner;
};

// ---- Access -------------------------------------------------------------------------------

DriverAccess::DriverAccess(IReceiverDriver* driver, std::int16_t index, QObject* parent)
    : QObject(parent), m_driver(driver), m_index(index), m_sink(std::make_unique<Sink>(*this))
{
    m_driver->Advise(m_sink.get(), &m_cookie);
    m_checkTimer.setInterval(50);
    connect(&m_checkTimer, &QTimer::timeout, this, &DriverAccess::check);
}

DriverAccess::~DriverAccess()
{
    m_driver->Unadvise(m_cookie);
}

bool DriverAccess::exists()
{
    // The driver serves an index outside its list by receiver 0: the
    // server must not.
    std::int16_t count = 0;
    DriverCallScope scope;
    return m_index >= 0 && m_driver->get_RxCount(&count) == S_OK && m_index < count;
}

std::string DriverAccess::name()
{
    if (!exists()) {
        return {};
    }
    std::string text;
    DriverCallScope scope;
    m_driver->get_RxName(m_index, &text);
    return text;
}

std::string DriverAccess::identification()
{
    std::string text;
    DriverCallScope scope;
    m_driver->get_RxRomID(m_index, &text);
    return text;
}

bool DriverAccess::isConnected()
{
    if (!exists()) {
        return false;
    }
    std::int32_t connected = 0;
    DriverCallScope scope;
    return m_driver->get_RxIsConnected(m_index, &connected) == S_OK && connected != 0;
}

std::int32_t DriverAccess::frequencyMin()
{
    if (!exists()) {
        return 0;
    }
    std::int32_t hz = 0;
    DriverCallScope scope;
    m_driver->get_RxFrqMin(m_index, &hz);
    return hz;
}

std::int32_t DriverAccess::frequencyMax()
{
    if (!exists()) {
        return 0;
    }
    std::int32_t hz = 0;
    DriverCallScope scope;
    m_driver->get_RxFrqMax(m_index, &hz);
    return hz;
}

std::int32_t DriverAccess::frequencyStep()
{
    if (!exists()) {
        return 1;
    }
    std::int32_t hz = 1;
    DriverCallScope scope;
    m_driver->get_RxFrqStp(m_index, &hz);
    return hz;
}

bool DriverAccess::modeExists(MODTYPE mode)
{
    if (!exists()) {
        return false;
    }
    std::int32_t exists = 0;
    DriverCallScope scope;
    return m_driver->get_RxModExist(m_index, mode, &exists) == S_OK && exists != 0;
}

std::vector<std::int32_t> DriverAccess::filterWidths()
{
    if (!exists()) {
        return {};
    }
    std::vector<std::int32_t> widths;
    DriverCallScope scope;
    std::int16_t count = 0;
    if (m_driver->get_RxFltCount(m_index, &count) != S_OK) {
        return widths;
    }
    for (std::int16_t slot = 0; slot < count; ++slot) {
        std::int32_t hz = 0;
        if (m_driver->get_RxFltValue(m_index, slot, &hz) == S_OK && hz > 0) {
            widths.push_back(hz);
        }
    }
    std::sort(widths.begin(), widths.end());
    widths.erase(std::unique(widths.begin(), widths.end()), widths.end());
    return widths;
}

bool DriverAccess::agcExists(AGCTYPE agc)
{
    if (!exists()) {
        return false;
    }
    std::int32_t exists = 0;
    DriverCallScope scope;
    return m_driver->get_RxAgcExist(m_index, agc, &exists) == S_OK && exists != 0;
}

bool DriverAccess::attExists(ATTSTATE att)
{
    if (!exists()) {
        return false;
    }
    std::int32_t exists = 0;
    DriverCallScope scope;
    return m_driver->get_RxAttExist(m_index, att, &exists) == S_OK && exists != 0;
}

int DriverAccess::attDb(ATTSTATE att)
{
    // Learn the current state's level if the receiver has told it.
    if (isConnected()) {
        ATTSTATE now = AttNone;
        std::int16_t level = 0;
        DriverCallScope scope;
        if (m_driver->get_RxAttSts(m_index, &now) == S_OK && m_driver->get_RxAttLvl(m_index, &level) == S_OK) {
            noteAttLevel(now, level);
        }
    }
    const auto it = m_attDb.find(att);
    if (it != m_attDb.end()) {
        return it->second;
    }
    // Not seen yet: 10 dB a step, 10 dB of gain for the preamplifier.
    return att == AttPre ? 10 : std::max(0, static_cast<int>(att)) * 10;
}

void DriverAccess::noteAttLevel(ATTSTATE att, std::int16_t level)
{
    if ((att >= AttOn1 && att <= AttOn5) || att == AttPre) {
        if (level != 0) {
            m_attDb[att] = std::abs(static_cast<int>(level));
        }
    }
}

bool DriverAccess::hasSMeter()
{
    if (!exists()) {
        return false;
    }
    std::int32_t exists = 0;
    DriverCallScope scope;
    return m_driver->get_RxSMtExist(m_index, &exists) == S_OK && exists != 0;
}

int DriverAccess::channelCount()
{
    if (!exists()) {
        return 0;
    }
    std::int16_t count = 0;
    DriverCallScope scope;
    m_driver->get_RxChnCount(m_index, &count);
    return count;
}

int DriverAccess::channelStart()
{
    std::int16_t start = 0;
    DriverCallScope scope;
    m_driver->get_RxChnStart(m_index, &start);
    return start;
}

std::optional<std::int32_t> DriverAccess::frequency()
{
    if (!isConnected()) {
        return std::nullopt;
    }
    std::int32_t hz = -1;
    DriverCallScope scope;
    if (m_driver->get_RxFrq(m_index, NONE, &hz) != S_OK || hz < 0) {
        return std::nullopt;
    }
    return hz;
}

std::optional<MODTYPE> DriverAccess::mode()
{
    if (!isConnected()) {
        return std::nullopt;
    }
    MODTYPE mode = ModNone;
    DriverCallScope scope;
    if (m_driver->get_RxMod(m_index, &mode) != S_OK || mode == ModNone) {
        return std::nullopt;
    }
    return mode;
}

std::optional<std::int32_t> DriverAccess::filterWidth()
{
    if (!isConnected()) {
        return std::nullopt;
    }
    std::int32_t hz = 0;
    DriverCallScope scope;
    if (m_driver->get_RxFltBW(m_index, &hz) != S_OK || hz <= 0) {
        return std::nullopt;
    }
    return hz;
}

std::optional<AGCTYPE> DriverAccess::agc()
{
    if (!isConnected()) {
        return std::nullopt;
    }
    AGCTYPE agc = AgcNone;
    DriverCallScope scope;
    if (m_driver->get_RxAgcSts(m_index, &agc) != S_OK || agc == AgcNone) {
        return std::nullopt;
    }
    return agc;
}

std::optional<ATTSTATE> DriverAccess::att()
{
    if (!isConnected()) {
        return std::nullopt;
    }
    ATTSTATE att = AttNone;
    DriverCallScope scope;
    if (m_driver->get_RxAttSts(m_index, &att) != S_OK || att == AttNone) {
        return std::nullopt;
    }
    return att;
}

std::optional<int> DriverAccess::signalDbuv()
{
    if (!isConnected()) {
        return std::nullopt;
    }
    std::string text;
    {
        DriverCallScope scope;
        if (m_driver->get_RxSMtLvl(m_index, dBuV, &text) != S_OK) {
            return std::nullopt;
        }
    }
    std::string_view v = text;
    while (!v.empty() && v.front() == ' ') {
        v.remove_prefix(1);
    }
    while (!v.empty() && v.back() == ' ') {
        v.remove_suffix(1);
    }
    int dbuv = 0;
    const auto res = std::from_chars(v.data(), v.data() + v.size(), dbuv);
    if (v.empty() || res.ec != std::errc() || res.ptr != v.data() + v.size()) {
        return std::nullopt;
    }
    return dbuv;
}

std::optional<int> DriverAccess::channel()
{
    if (!isConnected()) {
        return std::nullopt;
    }
    std::int16_t chn = -1;
    DriverCallScope scope;
    if (m_driver->get_RxChn(m_index, &chn) != S_OK) {
        return std::nullopt;
    }
    return chn;
}

// ---- Changes ------------------------------------------------------------------------------

void DriverAccess::reply(SetDone done, SetResult result)
{
    // The answer lets the session go on to its next command, which may
    // call the driver: never while a driver call waits further up.
    QTimer::singleShot(
        0, this, [this, done = std::move(done), result] { runWhenDriverFree(this, [done, result] { done(result); }); });
}

void DriverAccess::change(SetDone done, const std::function<void()>& put, std::function<bool()> reached)
{
    {
        DriverCallScope scope;
        put();
    }
    // The put may have let events run: look at the receiver afresh.
    if (!isConnected()) {
        reply(std::move(done), SetResult::NotConnected);
        return;
    }
    if (reached()) {
        reply(std::move(done), SetResult::Done);
        return;
    }
    m_waits.push_back(Wait{std::move(reached),
                           std::chrono::steady_clock::now() + std::chrono::milliseconds(m_confirmTimeoutMs),
                           std::move(done)});
    if (!m_checkTimer.isActive()) {
        m_checkTimer.start();
    }
}

void DriverAccess::check()
{
    const auto now = std::chrono::steady_clock::now();
    const bool connected = isConnected();
    // Completions are queued, so nothing runs while the list is walked.
    for (auto it = m_waits.begin(); it != m_waits.end();) {
        SetResult result = SetResult::Done;
        if (!connected) {
            result = SetResult::NotConnected;
        } else if (it->reached()) {
            result = SetResult::Done;
        } else if (now >= it->deadline) {
            result = SetResult::TimedOut;
        } else {
            ++it;
            continue;
        }
        reply(std::move(it->done), result);
        it = m_waits.erase(it);
    }
    if (m_waits.empty()) {
        m_checkTimer.stop();
    }
}

void DriverAccess::connectionLost()
{
    // Told from inside the driver: answer from the event loop.
    QTimer::singleShot(0, this, [this] { check(); });
}

void DriverAccess::setFrequency(std::int32_t hz, SetDone done)
{
    if (!isConnected()) {
        reply(std::move(done), SetResult::NotConnected);
        return;
    }
    if (hz < frequencyMin() || hz > frequencyMax()) {
        reply(std::move(done), SetResult::Invalid);
        return;
    }
    change(
        std::move(done), [&] { m_driver->put_RxFrq(m_index, NONE, hz); }, [this, hz] { return frequency() == hz; });
}

void DriverAccess::setMode(MODTYPE mode, SetDone done)
{
    if (!isConnected()) {
        reply(std::move(done), SetResult::NotConnected);
        return;
    }
    if (mode == ModNone || !modeExists(mode)) {
        reply(std::move(done), SetResult::NotAvailable);
        return;
    }
    change(
        std::move(done), [&] { m_driver->put_RxMod(m_index, mode); }, [this, mode] { return this->mode() == mode; });
}

void DriverAccess::setFilterWidth(std::int32_t hz, SetDone done)
{
    if (!isConnected()) {
        reply(std::move(done), SetResult::NotConnected);
        return;
    }
    const auto widths = filterWidths();
    if (widths.empty()) {
        reply(std::move(done), SetResult::NotAvailable);
        return;
    }
    if (hz <= 0) {
        reply(std::move(done), SetResult::Invalid);
        return;
    }
    // The receiver takes the nearest width it offers; any width at that
    // distance confirms the change.
    std::int64_t best = -1;
    for (std::int32_t w : widths) {
        const std::int64_t d = std::llabs(static_cast<std::int64_t>(w) - hz);
        if (best < 0 || d < best) {
            best = d;
        }
    }
    std::vector<std::int32_t> nearest;
    for (std::int32_t w : widths) {
        if (std::llabs(static_cast<std::int64_t>(w) - hz) == best) {
            nearest.push_back(w);
        }
    }
    change(
        std::move(done), [&] { m_driver->put_RxFltBW(m_index, hz); },
        [this, nearest] {
            const auto now = filterWidth();
            return now && std::find(nearest.begin(), nearest.end(), *now) != nearest.end();
        });
}

void DriverAccess::setAgc(AGCTYPE agc, SetDone done)
{
    if (!isConnected()) {
        reply(std::move(done), SetResult::NotConnected);
        return;
    }
    if (agc == AgcNone || !agcExists(agc)) {
        reply(std::move(done), SetResult::NotAvailable);
        return;
    }
    change(
        std::move(done), [&] { m_driver->put_RxAgcSts(m_index, agc); }, [this, agc] { return this->agc() == agc; });
}

void DriverAccess::setAtt(ATTSTATE att, SetDone done)
{
    if (!isConnected()) {
        reply(std::move(done), SetResult::NotConnected);
        return;
    }
    if (att == AttNone || !attExists(att)) {
        reply(std::move(done), SetResult::NotAvailable);
        return;
    }
    change(
        std::move(done), [&] { m_driver->put_RxAttSts(m_index, att); }, [this, att] { return this->att() == att; });
}

void DriverAccess::loadChannel(int chn, SetDone done)
{
    if (!isConnected()) {
        reply(std::move(done), SetResult::NotConnected);
        return;
    }
    const int count = channelCount();
    if (count <= 0) {
        reply(std::move(done), SetResult::NotAvailable);
        return;
    }
    if (chn < channelStart() || chn >= count) {
        reply(std::move(done), SetResult::Invalid);
        return;
    }
    RCODE result = R_KO;
    {
        DriverCallScope scope;
        if (m_driver->RxChnLoad(m_index, static_cast<std::int16_t>(chn), &result) != S_OK) {
            result = R_KO;
        }
    }
    if (result != R_OK) {
        reply(std::move(done), isConnected() ? SetResult::Invalid : SetResult::NotConnected);
        return;
    }
    // Done once the receiver reported the channel's frequency after the
    // load, or, when the channel left the frequency as it was, once a few
    // polls have passed on it. Other reports do not count: a filter or
    // mode reply of a poll already under way may arrive before the status
    // that carries the frequency, and a client reading it then would get
    // the old one.
    const std::uint64_t reportsBefore = m_frequencyReports;
    const auto quietDone = std::chrono::steady_clock::now() + std::chrono::milliseconds(1200);
    change(
        std::move(done), [] {},
        [this, chn, reportsBefore, quietDone] {
            return channel() == chn &&
                   (m_frequencyReports > reportsBefore || std::chrono::steady_clock::now() >= quietDone);
        });
}

}  // namespace server
