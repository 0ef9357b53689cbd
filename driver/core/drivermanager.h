// DriverManager: the list of configured receiver instances, the name of the
// configuration they came from, the forwarding setting, and the client
// sinks that events go to. It is every receiver's DriverEvents owner.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/core/dialogseams.h"
#include "driver/core/driverevents.h"
#include "interfaces/ireceiverdriverevents.h"
#include "interfaces/receivertypes.h"

namespace quorvin {

class Receiver;

// One configured receiver: its key name, its model driver, and the echo
// counters of forwarding (non-zero while a change forwarded to this
// receiver has not come back as its own report).
struct ReceiverInstance {
    std::string name;
    std::unique_ptr<Receiver> receiver;
    std::int32_t frqEcho = 0;
    std::int32_t modEcho = 0;
    std::int32_t fltEcho = 0;
    std::int32_t agcEcho = 0;
};

class DriverManager : public DriverEvents {
public:
    // Forward values besides a master's index.
    static constexpr std::int16_t kNoForward = -1;
    static constexpr std::int16_t kAllMasters = -2;

    DriverManager();
    ~DriverManager() override;
    DriverManager(const DriverManager&) = delete;
    DriverManager& operator=(const DriverManager&) = delete;

    // Loads the named configuration and, when it is empty or the client asks
    // for it, runs the selection dialog. Returns 1 when instances were loaded
    // with ConfLoad, else the instance count. Refused (false, nothing
    // changed) while driver code is running further up the stack, and for a
    // name that is no key name (empty, or holding a backslash; the result
    // is then 0).
    bool DrvConfigure(const std::string& name, ConfMode mode, std::int32_t* result);
    // Rebuilds the instance list from the store (at most eight instances).
    void LoadConfiguration();
    // Destroys every instance, last first, deleting its settings when asked.
    // Refused (false) while driver code is running further up the stack.
    bool RemoveAllInstances(bool deleteKeys);
    // Adds an instance of the given model (the selection dialog's "&Add"):
    // refused when the list is full, the name is taken (case ignored) or not
    // a usable key name, no driver exists for the type, or while busy.
    // Creates the instance key with the model's values and D_Type; refused
    // too when the settings file should have taken them and did not. With a
    // store that saves nothing (read-only, or in memory) the instance is
    // added for this session; the store tells the user once.
    ReceiverInstance* AddInstance(DrvType type, const std::string& name);

    // True when no driver code is on the stack (or only the open selection
    // dialog) and no receiver is engaged (writing, handling a reply, in a
    // tick, a connect or disconnect dialogue or a channel transfer):
    // instances may be created, destroyed and reconfigured.
    bool CanReconfigure() const;
    // RxConfigure of the receiver serving `index`: its model's settings
    // dialog, or 0 without it. Refused with a message to the operator (0)
    // while the driver cannot be reconfigured.
    std::int32_t ConfigureReceiver(std::int16_t index);

    const std::string& ConfigurationName() const { return m_confName; }
    std::int16_t Forward() const { return m_forward; }
    void SetForward(std::int16_t forward) { m_forward = forward; }
    bool Changed() const { return m_changed; }
    void SetChanged(bool changed) { m_changed = changed; }
    // The model last chosen in the selection dialog's list.
    std::int32_t SelectedType() const { return m_selectedType; }
    void SetSelectedType(std::int32_t type) { m_selectedType = type; }

    std::size_t Count() const { return m_instances.size(); }
    bool Empty() const { return m_instances.empty(); }
    // The instance at a list position; nullptr outside the list.
    ReceiverInstance* Instance(std::int32_t position);
    // The instance serving a client index: a bad index is served by
    // instance 0; nullptr when there is none.
    ReceiverInstance* Route(std::int16_t index);
    Receiver* RouteReceiver(std::int16_t index);

    // Client sinks, called in connection order.
    std::uint32_t Advise(IReceiverDriverEvents* sink);
    bool Unadvise(std::uint32_t cookie);
    // Disconnects every sink (the client object is going away).
    void DetachSinks() { m_sinks.clear(); }
    std::size_t SinkCount() const { return m_sinks.size(); }

    // DriverEvents.
    void DrvUpdated(std::int32_t drvCount) override;
    void RxConnState(std::int16_t index, ConnErr err) override;
    void RxDataError(std::int16_t index, DataErr err) override;
    void RxFrqUpdated(std::int16_t index, std::int32_t frq, std::int32_t dsp) override;
    void RxChnUpdated(std::int16_t index, std::int16_t chn) override;
    void RxModUpdated(std::int16_t index, MODTYPE mod, std::int32_t bfo) override;
    void RxFltUpdated(std::int16_t index, std::int32_t flt) override;
    void RxAgcUpdated(std::int16_t index, AGCTYPE agc, std::int16_t agcLevel) override;
    void RxNBlUpdated(std::int16_t index, NBLTYPE nbl, std::int16_t nblLevel) override;
    void RxSqlUpdated(std::int16_t index, SQLSTATE sql, std::int16_t sqlLevel) override;
    void RxAttUpdated(std::int16_t index, ATTSTATE att, std::int16_t attLevel) override;
    void RxSMtUpdated(std::int16_t index, std::int32_t frq, std::int16_t locale, std::int16_t dbuv,
                      const std::string& sPoint) override;
    void RxHFFUpdated(std::int16_t index, HFFSTATE state) override;
    void RxChnStatus(std::int16_t index, std::int16_t chn, std::int32_t frq, std::int32_t bfo, std::int32_t mod,
                     std::int32_t flt, std::int32_t agc, std::int32_t msk) override;
    void RxOutUpdated(std::int16_t index, std::int16_t num, std::int32_t sts) override;
    void RxStpUpdated(std::int16_t index, std::int32_t stp) override;
    void RxRmtState(std::int16_t index, std::int32_t sts) override;

private:
    using EchoCounter = std::int32_t ReceiverInstance::*;
    // The forwarding step for one kind of change reported by `index`.
    void ForwardChange(std::int16_t index, EchoCounter counter, const std::function<void(Receiver&)>& apply);
    void Fire(const std::function<HRESULT(IReceiverDriverEvents&)>& call);

    std::string m_confName = "Default";
    std::int16_t m_forward = kNoForward;
    bool m_changed = false;
    std::int32_t m_selectedType = -1;
    std::vector<std::unique_ptr<ReceiverInstance>> m_instances;
    std::vector<std::pair<std::uint32_t, IReceiverDriverEvents*>> m_sinks;
    std::uint32_t m_nextCookie = 1;
    // Activity depth at which the open selection dialog runs; only code at
    // that depth (the dialog itself) may change the list meanwhile.
    static constexpr int kNoDialog = -1;
    int m_dialogDepth = kNoDialog;
};

}  // namespace quorvin
