// Serving every receiver of a configuration over the rigctld text protocol.
#include "servecommand.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <memory>

#include "platform/numbers.h"
#include "receivertool.h"
#include "server/rigctlserver.h"

namespace tools {

using namespace quorvin;

namespace {

constexpr int kReconnectMs = 5000;

// SIGINT and SIGTERM reach the event loop through a socket pair.
int g_signalFds[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalFds[1], &byte, 1);
}

// Tells the operator what the receivers do, and connects again a receiver
// that lost its connection.
class ServeSink : public IgnoringReceiverEvents {
public:
    ServeSink(IReceiverDriver& driver, std::ostream& out) : m_driver(driver), m_out(out) {}
    QObject context;  // reconnections pending go with the sink
    bool stopping = false;

    HRESULT RxConnState(std::int16_t i, ConnErr err) override
    {
        std::string name, text;
        m_driver.get_RxName(i, &name);
        m_driver.get_RxErrDesc(err, &text);
        m_out << "RX" << i << " " << name << ": " << (err == ConnectNoError ? "connected" : text) << std::endl;
        if (err != ConnectNoError && !stopping) {
            QTimer::singleShot(kReconnectMs, &context, [this, i] {
                std::int32_t on = 0;
                if (!stopping && m_driver.get_RxIsConnected(i, &on) == S_OK && on == 0) {
                    ConnErr result = ConnectNoError;
                    m_driver.RxConnect(i, -1, &result);
                }
            });
        }
        return S_OK;
    }

private:
    IReceiverDriver& m_driver;
    std::ostream& m_out;
};

}  // namespace

std::string serveUsage()
{
    return "usage: korvanectl serve [CONFIGURATION] [--address ADDRESS] [--port PORT] [--idle SECONDS] [--seconds N]\n"
           "  connects every receiver of CONFIGURATION (default \"Default\") and serves receiver i to other\n"
           "  programs over the rigctld text protocol on ADDRESS (default 127.0.0.1) port PORT + i (default\n"
           "  4532 + i; --port 0 picks free ports); a lost receiver is connected again every 5 s.\n"
           "  A client that sends nothing for SECONDS (default 600; 0: never) is closed.\n"
           "  Serves until SIGINT or SIGTERM (or N seconds), then disconnects the receivers.\n";
}

int runServeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string configuration = "Default";
    QHostAddress address(QHostAddress::LocalHost);
    int basePort = server::kDefaultBasePort;
    int seconds = 0;
    server::ServerLimits limits;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help") {
            out << serveUsage();
            return kExitOk;
        }
        if (a == "--address" && i + 1 < args.size()) {
            if (!address.setAddress(QString::fromStdString(args[++i]))) {
                err << "korvanectl: " << args[i] << " is no IP address\n";
                return kExitUsage;
            }
        } else if (a == "--port" && i + 1 < args.size()) {
            const auto p = platform::parseInt(args[++i]);
            if (!p || *p < 0 || *p > 65535 - kDrvMax) {
                err << "korvanectl: --port takes 0 to " << 65535 - kDrvMax << "\n";
                return kExitUsage;
            }
            basePort = static_cast<int>(*p);
        } else if (a == "--idle" && i + 1 < args.size()) {
            const auto s = platform::parseInt(args[++i]);
            if (!s || *s < 0 || *s > 86400 * 24) {
                err << "korvanectl: --idle takes 0 (never) to " << 86400 * 24 << " seconds\n";
                return kExitUsage;
            }
            limits.idleTimeoutMs = static_cast<int>(*s) * 1000;
        } else if (a == "--seconds" && i + 1 < args.size()) {
            const auto s = platform::parseInt(args[++i]);
            if (!s || *s <= 0 || *s > 86400 * 366) {
                err << serveUsage();
                return kExitUsage;
            }
            seconds = static_cast<int>(*s);
        } else if (!a.empty() && a[0] != '-') {
            configuration = a;
        } else {
            err << serveUsage();
            return kExitUsage;
        }
    }

    ReceiverTool tool(out, err);
    if (!tool.load(configuration)) {
        return kExitFailed;
    }
    IReceiverDriver& driver = tool.driver();
    ServeSink sink(driver, out);
    std::uint32_t cookie = 0;
    driver.Advise(&sink, &cookie);

    std::vector<std::unique_ptr<server::RigctlServer>> servers;
    for (std::int16_t i = 0; i < tool.count(); ++i) {
        const auto port = static_cast<quint16>(basePort == 0 ? 0 : basePort + i);
        auto srv = std::make_unique<server::RigctlServer>(&driver, i, address, port, nullptr, limits);
        QString problem;
        if (!srv->start(&problem)) {
            err << "korvanectl: receiver " << i << ": " << problem.toStdString() << "\n";
            driver.Unadvise(cookie);
            return kExitFailed;
        }
        std::string name;
        driver.get_RxName(i, &name);
        out << "RX" << i << " " << name << ": rigctl protocol on " << address.toString().toStdString() << ":"
            << srv->port() << std::endl;
        servers.push_back(std::move(srv));
    }
    for (std::int16_t i = 0; i < tool.count(); ++i) {
        ConnErr result = ConnectNoError;
        driver.RxConnect(i, -1, &result);
    }

    std::unique_ptr<QSocketNotifier> signalNotifier;
    struct sigaction oldInt {
    }, oldTerm{};
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) == 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(g_signalFds[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [] {
            char byte = 0;
            [[maybe_unused]] const auto n = ::read(g_signalFds[0], &byte, 1);
            QCoreApplication::quit();
        });
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &oldInt);
        sigaction(SIGTERM, &sa, &oldTerm);
    }
    if (seconds > 0) {
        QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), &QCoreApplication::quit);
    }
    QCoreApplication::exec();

    out << "stopping" << std::endl;
    sink.stopping = true;
    servers.clear();
    for (std::int16_t i = 0; i < tool.count(); ++i) {
        ConnErr result = ConnectNoError;
        driver.RxConnect(i, 0, &result);
    }
    driver.Unadvise(cookie);
    if (signalNotifier) {
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
        signalNotifier.reset();
        ::close(g_signalFds[0]);
        ::close(g_signalFds[1]);
        g_signalFds[0] = g_signalFds[1] = -1;
    }
    return kExitOk;
}

}  // namespace tools
