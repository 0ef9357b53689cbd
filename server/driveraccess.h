// ReceiverAccess onto the receiver driver object and one receiver index.
//
// Values come from the driver's get members. A change goes out through the
// driver's put member (so the desktop display and forwarding see it like
// any other change) and counts as done only once the receiver reports the
// value asked for; a receiver that does not confirm within the time-out
// makes it TimedOut. Completions run from the event loop, never inside a
// driver call or a driver event.
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "interfaces/ireceiverdriver.h"
#include "receiveraccess.h"

namespace server {

// Driver calls made by the server nest: while one runs (a model may wait for
// its receiver and let events run meanwhile), the server takes no new
// command to the driver. DriverCallScope marks such a call;
// runWhenDriverFree() runs f at once when no call is on the stack, else
// from the event loop once the outermost call has returned.
class DriverCallScope {
public:
    DriverCallScope();
    ~DriverCallScope();
    DriverCallScope(const DriverCallScope&) = delete;
    DriverCallScope& operator=(const DriverCallScope&) = delete;
    static bool active();
};
void runWhenDriverFree(QObject* context, std::function<void()> f);

class DriverAccess : public QObject, public ReceiverAccess {
    Q_OBJECT
public:
    // The driver is not owned and must outlive this object.
    DriverAccess(quorvin::IReceiverDriver* driver, std::int16_t index, QObject* parent = nullptr);
    ~DriverAccess() override;

    // How long a change may take to be confirmed (default 5000 ms).
    void setConfirmTimeout(int ms) { m_confirmTimeoutMs = ms; }
    std::int16_t index() const { return m_index; }
    // The driver holds a receiver at this index.
    bool exists();

    std::string name() override;
    std::string identification() override;
    bool isConnected() override;
    std::int32_t frequencyMin() override;
    std::int32_t frequencyMax() override;
    std::int32_t frequencyStep() override;
    bool modeExists(quorvin::MODTYPE mode) override;
    std::vector<std::int32_t> filterWidths() override;
    bool agcExists(quorvin::AGCTYPE agc) override;
    bool attExists(quorvin::ATTSTATE att) override;
    int attDb(quorvin::ATTSTATE att) override;
    bool hasSMeter() override;
    int channelCount() override;
    int channelStart() override;
    std::optional<std::int32_t> frequency() override;
    std::optional<quorvin::MODTYPE> mode() override;
    std::optional<std::int32_t> filterWidth() override;
    std::optional<quorvin::AGCTYPE> agc() override;
    std::optional<quorvin::ATTSTATE> att() override;
    std::optional<int> signalDbuv() override;
    std::optional<int> channel() override;
    void setFrequency(std::int32_t hz, SetDone done) override;
    void setMode(quorvin::MODTYPE mode, SetDone done) override;
    void setFilterWidth(std::int32_t hz, SetDone done) override;
    void setAgc(quorvin::AGCTYPE agc, SetDone done) override;
    void setAtt(quorvin::ATTSTATE att, SetDone done) override;
    void loadChannel(int channel, SetDone done) override;

private:
    class Sink;
    struct Wait {
        std::function<bool()> reached;
        std::chrono::steady_clock::time_point deadline;
        SetDone done;
    };

    // Sends a change (put) unless refused, then waits until reached() holds.
    void change(SetDone done, const std::function<void()>& put, std::function<bool()> reached);
    void reply(SetDone done, SetResult result);
    void check();
    void connectionLost();
    void noteAttLevel(quorvin::ATTSTATE att, std::int16_t level);

    quorvin::IReceiverDriver* m_driver;
    std::int16_t m_index;
    std::unique_ptr<Sink> m_sink;
    std::uint32_t m_cookie = 0;
    int m_confirmTimeoutMs = 5000;
    std::vector<Wait> m_waits;
    QTimer m_checkTimer;
    std::map<int, int> m_attDb;  // dB of each attenuator state as the receiver reported it
    std::uint64_t m_frequencyReports = 0;  // reports of the frequency alone
};

}  // namespace server
