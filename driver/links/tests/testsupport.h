// Helpers the link tests share: a pseudo-terminal whose master side plays
// the receiver, a throw-away settings store, a recording link owner, a
// fixed echo, and a plain TCP listener on 127.0.0.1.
#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/links/commchannel.h"
#include "driver/links/pinger.h"
#include "platform/reporter.h"

namespace linktest {

// A pseudo-terminal pair. The slave side stays open in the test too (raw,
// so nothing is echoed before the link opens it); the master is the
// receiver.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return m_path; }
    int master() const { return m_master; }
    int slave() const { return m_slave; }
    bool ok() const { return m_master >= 0 && m_slave >= 0; }

    void send(const std::string& bytes);
    // Reads exactly n bytes from the master, giving up after timeoutMs.
    std::string receive(std::size_t n, int timeoutMs = 2000);
    // Waits until the slave's input queue holds at least n bytes, so a read
    // under a fake clock finds them.
    bool waitQueued(std::size_t n, int timeoutMs = 2000);
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

// Points port n of the port table at a device path.
void pointPort(int n, const std::string& device);

// A settings store on a file in a temporary folder for the test's life.
class TempSettings {
public:
    TempSettings();
    std::string file() const;

private:
    QTemporaryDir m_dir;
};

class RecordingOwner : public quorvin::LinkOwner {
public:
    void onLinkData(bool dataReceived) override { calls.push_back(dataReceived); }
    std::vector<bool> calls;
};

class FixedPinger : public quorvin::Pinger {
public:
    explicit FixedPinger(int result) : m_result(result) {}
    int ping(std::uint32_t address) override
    {
        ++calls;
        lastAddress = address;
        return m_result;
    }
    int calls = 0;
    std::uint32_t lastAddress = 0;

private:
    int m_result;
};

// Records the messages shown to the user while it lives (installed as the
// reporter in use, the previous one put back at its end).
class RecordingReporter : public platform::Reporter {
public:
    RecordingReporter() : m_previous(platform::setReporter(this)) {}
    ~RecordingReporter() override { platform::setReporter(m_previous); }
    RecordingReporter(const RecordingReporter&) = delete;
    RecordingReporter& operator=(const RecordingReporter&) = delete;
    void message(const std::string& title, const std::string& text, platform::MessageIcon) override
    {
        messages.push_back(title + ": " + text);
    }
    bool confirm(const std::string&, const std::string&, bool fallback) override { return fallback; }
    void beep(int, int) override {}
    std::vector<std::string> messages;

private:
    platform::Reporter* m_previous;
};

// Delivers queued events for a while (real time), until `done` holds.
template <typename Done>
bool processEventsUntil(Done done, int timeoutMs = 2000);

// All 256 byte values, twice, in a scrambled but fixed order.
std::string allBytes();

// A listening TCP socket on 127.0.0.1 (port chosen by the system).
class Listener {
public:
    explicit Listener(int backlog = 4);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    int port() const { return m_port; }
    // Accepts one connection (waiting up to timeoutMs); -1 when none came.
    int accept(int timeoutMs = 2000);

private:
    int m_fd = -1;
    int m_port = 0;
};

// A port on 127.0.0.1 where nothing listens.
int unusedPort();

// Full write on a descriptor; reads exactly n bytes with a time-out.
void sendAll(int fd, const std::string& bytes);
std::string receiveExactly(int fd, std::size_t n, int timeoutMs = 2000);

}  // namespace linktest

#include "testsupport_impl.h"
