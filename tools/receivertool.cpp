// Loading, choosing and connecting receivers for the korvanectl commands.
#include "receivertool.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

#include "interfaces/component.h"
#include "platform/componentloader.h"
#include "platform/numbers.h"

namespace tools {

using namespace quorvin;

bool waitFor(const std::function<bool()>& pred, int timeoutMs)
{
    if (pred()) {
        return true;
    }
    QEventLoop loop;
    QTimer poll;
    QTimer deadline;
    bool met = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (pred()) {
            met = true;
            loop.quit();
        }
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { loop.quit(); });
    deadline.setSingleShot(true);
    poll.start(10);
    deadline.start(timeoutMs);
    loop.exec();
    return met || pred();
}

class ReceiverTool::Sink : public IgnoringReceiverEvents {
public:
    explicit Sink(ReceiverTool& owner) : m_owner(owner) {}
    HRESULT RxConnState(std::int16_t, ConnErr err) override
    {
        if (err != ConnectNoError) {
            m_owner.m_connError = err;
        }
        return S_OK;
    }
    HRESULT RxChnStatus(std::int16_t, std::int16_t chn, std::int32_t frq, std::int32_t bfo, std::int32_t mod,
                        std::int32_t flt, std::int32_t agc, std::int32_t msk) override
    {
        m_owner.m_channels.push_back(ChannelStatus{chn, frq, bfo, mod, flt, agc, msk});
        return S_OK;
    }

private:
    ReceiverTool& m_owner;
};

ReceiverTool::ReceiverTool(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

ReceiverTool::~ReceiverTool()
{
    for (std::int16_t i : m_opened) {
        disconnect(i);
    }
    if (m_driver) {
        m_driver->Unadvise(m_cookie);
        m_driver.reset();
    }
}

bool ReceiverTool::load(const std::string& configuration)
{
    auto loaded = platform::loadComponent(kQuorvinLibraryFile, kReceiverDriverClassId);
    if (loaded.object == nullptr) {
        m_err << "korvanectl: " << loaded.error << "\n";
        return false;
    }
    m_driver.reset(static_cast<IReceiverDriver*>(loaded.object));
    m_sink = std::make_unique<Sink>(*this);
    m_driver->Advise(m_sink.get(), &m_cookie);
    m_configuration = configuration;
    std::int32_t configured = 0;
    m_driver->DrvConfigure(configuration, ConfLoad, &configured);
    if (m_driver->get_RxCount(&m_count) != S_OK || m_count <= 0) {
        m_err << "korvanectl: configuration \"" << configuration << "\" has no receiver\n";
        m_count = 0;
        return false;
    }
    return true;
}

std::optional<std::int16_t> ReceiverTool::find(const std::string& receiver)
{
    if (const auto n = platform::parseInt(receiver)) {
        if (*n >= 0 && *n < m_count) {
            return static_cast<std::int16_t>(*n);
        }
    } else {
        auto fold = [](std::string s) {
            std::transform(s.begin(), s.end(), s.begin(),
                           [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
            return s;
        };
        for (std::int16_t i = 0; i < m_count; ++i) {
            std::string name;
            m_driver->get_RxName(i, &name);
            if (fold(name) == fold(receiver)) {
                return i;
            }
        }
    }
    m_err << "korvanectl: configuration \"" << m_configuration << "\" has no receiver \"" << receiver
          << "\" (korvanectl receivers " << m_configuration << " lists them)\n";
    return std::nullopt;
}

bool ReceiverTool::connect(std::int16_t index, int timeoutMs)
{
    m_connError = 0;
    ConnErr result = ConnectObjectError;
    m_driver->RxConnect(index, -1, &result);
    if (std::find(m_opened.begin(), m_opened.end(), index) == m_opened.end()) {
        m_opened.push_back(index);
    }
    auto connected = [&] {
        std::int32_t on = 0;
        return m_driver->get_RxIsConnected(index, &on) == S_OK && on != 0;
    };
    auto failed = [&] { return result != ConnectNoError && result != ConnectRxComPending && !connected(); };
    if (!failed()) {
        waitFor([&] { return connected() || m_connError != 0; }, timeoutMs);
    }
    if (!connected()) {
        const std::int32_t code = m_connError != 0 ? m_connError : (failed() ? result : ConnectRxTimeOut);
        std::string text;
        m_driver->get_RxErrDesc(code, &text);
        std::string name;
        m_driver->get_RxName(index, &name);
        m_err << "korvanectl: receiver " << index << " (" << name << ") did not connect: " << text << " (" << code
              << ")\n";
        return false;
    }
    // Its first report carries the frequency; the rest comes with it.
    std::int32_t hz = -1;
    if (!waitFor([&] { return m_driver->get_RxFrq(index, NONE, &hz) == S_OK && hz >= 0; }, timeoutMs)) {
        m_err << "korvanectl: receiver " << index << " connected but reported nothing\n";
        return false;
    }
    // Let the rest of that first report arrive.
    waitFor([] { return false; }, 300);
    return true;
}

void ReceiverTool::disconnect(std::int16_t index)
{
    if (!m_driver) {
        return;
    }
    ConnErr result = ConnectNoError;
    m_driver->RxConnect(index, 0, &result);
    m_opened.erase(std::remove(m_opened.begin(), m_opened.end(), index), m_opened.end());
}

}  // namespace tools
