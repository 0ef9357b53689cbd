// ser2net in the foreground, serving one device on a local TCP port, the way
// operators put a serial receiver on the network. Shared by the tests that
// reach a pseudo-terminal through it. ser2net ends with the thread that
// started it, so start it from the test's main thread.
#pragma once

#include <memory>
#include <string>

class QProcess;
class QTemporaryDir;

namespace korvanetest {

class Ser2netProxy {
public:
    // Empty when ser2net is not installed.
    static std::string binary();

    Ser2netProxy(const std::string& device, int port);
    ~Ser2netProxy();
    Ser2netProxy(const Ser2netProxy&) = delete;
    Ser2netProxy& operator=(const Ser2netProxy&) = delete;

    bool running() const;
    // The process id of ser2net, 0 when it does not run.
    long long pid() const;
    // Waits (at most `ms`) until the port accepts connections.
    bool waitListening(int ms);
    std::string output();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    int m_port;
};

}  // namespace korvanetest
