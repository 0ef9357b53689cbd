// Receiver: the abstract base of every model driver. It keeps what all
// receivers share (current, requested and channel-scratch state, change
// flags, connection flags, receive buffer, filter table, identity and the
// CommChannel), does what is the same for every model (frequency arithmetic,
// BFO, name tables, the two-key commands, S-point text, the connection and
// polling cycle, the trace helpers) and declares the operations through
// which the driver facade reaches a model.
//
// The virtual operations are declared in the order of the driver's table of
// operations; keep that order. Pure ones are what every model must supply.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/core/timerregistry.h"
#include "driver/links/commchannel.h"
#include "interfaces/receivertypes.h"

namespace quorvin {

class DriverEvents;

// Size of the filter table: models offer up to 20 bandwidths.
inline constexpr int kFilterSlots = 20;

class Receiver : public TimerTarget, public LinkOwner {
public:
    explicit Receiver(DriverEvents* owner);

    // ---- Virtual operations, in table order -------------------------------

    // Poll tick (see PollTick).
    std::int32_t OnTimer(std::uint32_t tickTime) override;
    ~Receiver() override;

    // Runs the channel's selection and settings dialogs for this instance.
    virtual std::int32_t RxConfigureLink(const std::string& title);
    // A free text of the instance that the base never fills; models give it
    // meaning.
    virtual std::string RxAuxText();
    // Stores index and names, reads DefaultBfo, then the model's and the
    // channel's settings.
    virtual void RxInit(std::int16_t index, const std::string& configuration, const std::string& instance);
    // Deletes the instance's settings subtree; StoreResult.
    virtual std::int32_t RxDeleteSettings();
    virtual std::int32_t RxConfigure() = 0;
    virtual std::int32_t RxFrqMax() = 0;
    virtual std::int32_t RxFrqMin() = 0;
    virtual std::int32_t RxFrqStp() = 0;
    virtual std::int32_t RxBFOMax() = 0;
    virtual std::int32_t RxBFOMin() = 0;
    // Begins the connection dialogue on the open link.
    virtual ConnErr RxOpen() = 0;
    // Takes leave of the receiver before the link closes.
    virtual void RxClose() = 0;
    virtual std::int32_t RxPollPeriod() = 0;
    virtual std::int32_t RxMaxSilentTicks() = 0;
    // Consumes the receive buffer: 0, or -1 on a frame error.
    virtual std::int32_t RxParse() = 0;
    virtual std::int32_t RxPoll(std::uint32_t tickTime) = 0;
    virtual std::int32_t RxRemote(std::int32_t on) = 0;
    virtual std::int32_t SetFrq(std::int32_t hz, FRQTYPE kind, std::int32_t notify);
    virtual std::int32_t GetFrq(FRQTYPE kind);
    virtual std::int32_t IsBFOMod(MODTYPE mod);
    virtual std::int32_t GetBFO();
    virtual std::int16_t FltCount() = 0;
    virtual std::int32_t FltValue(std::int16_t slot) = 0;
    virtual std::string FltName(std::int16_t slot) = 0;
    virtual std::int32_t SetFltBW(std::int32_t hz) = 0;
    virtual std::int32_t GetFltBW() = 0;
    virtual std::int32_t FltBWNxt() = 0;
    virtual std::int16_t ModCount();
    virtual std::int32_t IsModEmu(MODTYPE mod);
    virtual std::int32_t ModExist(MODTYPE mod);
    virtual MODTYPE SetMod(MODTYPE mod) = 0;
    virtual MODTYPE GetMod();
    virtual MODTYPE ModNxt();
    virtual std::int16_t AgcCount();
    virtual std::int32_t AgcExist(AGCTYPE agc);
    virtual AGCTYPE SetAgc(AGCTYPE agc);
    virtual AGCTYPE GetAgc();
    virtual std::int16_t SetAgcLvl(std::int16_t level);
    virtual AGCTYPE AgcNxt();
    virtual std::int16_t NBlCount();
    virtual std::int32_t NBlExist(NBLTYPE nbl);
    virtual NBLTYPE SetNBl(NBLTYPE nbl);
    virtual NBLTYPE GetNBl();
    virtual std::int16_t SetNBlLvl(std::int16_t level);
    virtual NBLTYPE NBlNxt();
    virtual std::int16_t AttCount();
    virtual std::int32_t AttExist(ATTSTATE att);
    virtual ATTSTATE SetAtt(ATTSTATE att);
    virtual ATTSTATE GetAtt();
    virtual std::int16_t SetAttLvl(std::int16_t level);
    virtual ATTSTATE AttNxt();
    virtual std::int32_t SqlExist();
    virtual SQLSTATE GetSql();
    virtual std::int16_t SetSqlLvl(std::int16_t level);
    virtual std::int32_t HFFExist();
    virtual HFFSTATE SetHFF(HFFSTATE hff);
    virtual HFFSTATE GetHFF();
    virtual std::int32_t SMtExist();
    virtual std::string SMtLvl(SMetVal kind);
    virtual std::int16_t ChnCount();
    virtual std::int16_t ChnStart();
    virtual std::int16_t GetChn();
    virtual RCODE ChnLoad(std::int16_t chn);
    virtual RCODE ChnSave(std::int16_t chn);
    virtual RCODE ChnRead(std::int16_t chn);
    virtual RCODE ChnWrite(std::int16_t chn, std::int32_t hz, std::int32_t bfo, MODTYPE mod, std::int32_t fltHz,
                           AGCTYPE agc, std::int32_t msk);
    virtual RCODE ChnClear(std::int16_t chn);
    virtual RCODE ChnDump();
    virtual std::int32_t ChnMskExist();
    virtual void SetTime(const std::string& time);
    virtual std::int16_t OutCount();
    virtual std::int32_t SetOut(std::int16_t output, std::int32_t state);
    virtual std::int32_t GetOut(std::int16_t output);
    // The two-key command interpreter: 1 when the last two keys formed a
    // command, else 0.
    virtual std::int32_t ProcessKey(std::int16_t key);
    // Commands the receiver's frequency (already converted to the
    // receiver's own frequency).
    virtual void RxSendFrq(std::int32_t hz, MODTYPE mod, std::int32_t notify) = 0;
    virtual void RxSendBFO(std::int32_t hz) = 0;
    // Model hooks: the base gives only these defaults; the model drivers
    // give them meaning. RxReportChanges is where a model reports the
    // flagged changes of its current record after a reply.
    virtual void RxReportChanges() = 0;
    // Frequency of the given kind minus the receiver's own frequency.
    virtual std::int32_t RxFrqShift(MODTYPE mod, FRQTYPE kind, std::int32_t one) = 0;
    virtual void RxLoadSettings(const std::string& configuration, const std::string& instance) = 0;
    // Creates the instance key and writes D_Type, C_Test, R_MAgc, O_ISB and
    // the model's own values. True when every value reached the settings
    // file (false when one failed, or the store keeps them in memory only).
    virtual bool RxSaveSettings(const std::string& configuration, const std::string& instance) = 0;
    virtual std::int32_t RxModelReady();  // model hook, base: 1
    virtual void RxModelIdle();  // model hook, base: nothing
    virtual std::int32_t RxModelStatus();  // model hook, base: 0
    // Code conversions, five pairs: receiver code → enumeration value and
    // enumeration value → receiver code. The first two pairs are mode and
    // AGC, the fifth the filter; the third and fourth are the models'.
    // Base: -1.
    virtual std::int32_t RxCodeToMod(std::int32_t code);
    virtual std::int16_t RxModToCode(std::int32_t mod);
    virtual std::int32_t RxCodeToAgc(std::int32_t code);
    virtual std::int16_t RxAgcToCode(std::int32_t agc);
    virtual std::int32_t RxCodeToAux1(std::int32_t code);
    virtual std::int16_t RxAux1ToCode(std::int32_t value);
    virtual std::int32_t RxCodeToAux2(std::int32_t code);
    virtual std::int16_t RxAux2ToCode(std::int32_t value);
    virtual std::int32_t RxCodeToFlt(std::int32_t code);
    virtual std::int16_t RxFltToCode(std::int32_t value);
    // Raw S-meter reading in dBµV; -254 = no reading.
    virtual std::int32_t RxSMtRaw();

    // Beyond the table: whether a channel transfer of the model is under way
    // (a read or dump that waits for the receiver's answers). Base: none.
    virtual bool InChannelTransfer() const { return false; }

    // ---- Base operations used by the facade --------------------------------

    static std::string ModName(std::int32_t mod);
    static std::string AgcName(std::int32_t agc);
    static std::string NBlName(std::int32_t nbl);
    static std::string AttName(std::int32_t att);
    static MODTYPE ModType(std::string_view name);
    static AGCTYPE AgcType(std::string_view name);
    static NBLTYPE NBlType(std::string_view name);
    // -1 for a name in no table.
    static ATTSTATE AttType(std::string_view name);

    std::string RomID() const { return m_romId; }
    std::int32_t SetBFO(std::int32_t hz);
    std::int32_t RxOffset() const { return m_frqOffset; }
    std::int32_t RxOffset(std::int32_t hz);

    ConnErr Connect();
    ConnErr Disconnect();
    std::int32_t IsConnected() const { return m_connected; }
    std::int32_t IsRemote() const { return m_connected != 0 ? m_remoteWanted : 0; }
    std::string SPointText();

    // Called by the CommChannel when data is waiting (or a line error was
    // seen while receive notification is on).
    std::int32_t OnReceive();
    void OnDataError();
    void onLinkData(bool dataReceived) override;

    std::int16_t Index() const { return m_index; }
    const std::string& ConfigurationName() const { return m_confName; }
    const std::string& InstanceName() const { return m_instName; }
    const tag_EventData& Current() const { return m_current; }
    const tag_EventData& Requested() const { return m_requested; }
    std::uint32_t TimerId() const { return m_timerId; }
    std::int32_t IsPending() const { return m_pending; }
    std::int32_t IsLinkOpen() const { return m_linkOpen; }
    std::int32_t IsBusy() const { return m_busy; }
    // Whether the receiver is in the middle of something of its own: a frame
    // being written or a reply handled, a poll tick, a connect or disconnect
    // dialogue, or a channel transfer. Nothing may reconfigure or destroy it
    // until it is done.
    bool IsEngaged() const
    {
        return m_busy != 0 || m_connecting != 0 || m_inTick || m_engaged > 0 || InChannelTransfer();
    }
    std::int32_t SilentTicks() const { return m_silentTicks; }
    std::int32_t DataSeen() const { return m_dataSeen; }
    std::int32_t TickCount() const { return m_tickCount; }
    // The two buffered keys of the two-key commands (previous, last).
    std::string KeyBuffer() const { return std::string(m_keys, 2); }
    std::int32_t DefaultBfo() const { return m_defaultBfo; }
    std::int32_t TraceOn() const { return m_dbg; }
    const std::string& ReceiveBuffer() const { return m_rxBuffer; }
    // Counts every command that went out to the receiver (see
    // SendCommand/NoteCommandSent); forwarding compares it before and after
    // a setter to tell whether the setter sent anything.
    std::uint64_t CommandsSent() const { return m_commandsSent; }
    // The pauses the receiver needs, summed over every command sent (the
    // delay between characters and after each frame), in milliseconds: the
    // part of an exchange that no link can shorten.
    std::uint64_t PausesMs() const { return m_pausesMs; }

    // Effective mode and frequency: the requested value while one is
    // pending, else the current one.
    MODTYPE EffectiveMode() const;
    std::uint32_t EffectiveFrq() const;

    // Filter table: sorts the non-empty bandwidths of slots [first, slot
    // count) ascending into the order entries (rest -1), and finds the
    // current filter among the shown order positions.
    void SortFilters(std::int16_t firstSlot);
    std::int16_t FindFilter();
    std::int32_t FilterWidth(std::int16_t slot) const;
    std::int32_t FilterOrder(std::int16_t position) const;

protected:
    // ---- The polling cycle ----------------------------------------------
    void StartTimer(std::int32_t periodMs);
    void StopTimer();
    void CloseLink(ConnErr code);
    // Connect's last step, once the channel is open: link open, the model's
    // RxOpen, the poll timer.
    ConnErr LinkOpened();
    // One poll tick. `channelOpen` stands in for the channel's own answer
    // when given (model tests and simulators without a live link).
    std::int32_t PollTick(std::uint32_t tickTime, const bool* channelOpen);
    // The receive handling with the read result given instead of read from
    // the channel (model tests). Does nothing while busy.
    std::int32_t ReceiveBytes(const std::string& bytes, int linkError);

    // Writes a command frame through the channel and counts it as sent on
    // success. Models send every command through here (or call
    // NoteCommandSent after writing themselves).
    bool SendCommand(const std::string& frame, int charDelayMs, int afterDelayMs);
    void NoteCommandSent() { ++m_commandsSent; }

    // The ROM text while no connect has identified the receiver (empty for
    // most models); every Connect starts from it.
    void SetIdleRomID(const std::string& text)
    {
        m_idleRomId = text;
        m_romId = text;
    }

    // The remote state to keep while connected (RxRemote's); unlike
    // IsRemote it is read and set whether connected or not.
    std::int32_t RemoteWanted() const { return m_remoteWanted; }
    void SetRemoteWanted(std::int32_t on) { m_remoteWanted = on; }
    // Forgets the silent ticks counted so far (a model's dialogue waits on
    // purpose); -1 (no answer yet) stays.
    void ForgiveSilence()
    {
        if (m_silentTicks > 0) {
            m_silentTicks = 0;
        }
    }
    // Holds the busy flag while a model writes a frame, so a poll tick let in
    // between characters sends nothing inside it; the flag is restored after.
    class BusyScope {
    public:
        explicit BusyScope(Receiver& rx) : m_rx(rx), m_was(rx.m_busy) { m_rx.m_busy = 1; }
        ~BusyScope() { m_rx.m_busy = m_was; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        Receiver& m_rx;
        std::int32_t m_was;
    };

    // Marks a stretch of the model's own work that may wait for the receiver
    // and let events run (a dialogue): the receiver counts as engaged.
    class EngagedScope {
    public:
        explicit EngagedScope(Receiver& rx) : m_rx(rx) { ++m_rx.m_engaged; }
        ~EngagedScope() { --m_rx.m_engaged; }
        EngagedScope(const EngagedScope&) = delete;
        EngagedScope& operator=(const EngagedScope&) = delete;

    private:
        Receiver& m_rx;
    };

    // Events to the owner (nothing when there is none).
    DriverEvents* Owner() const { return m_owner; }
    void ReportConnState(ConnErr code);
    void ReportDataError(DataErr code);

    // ---- Trace helpers (written only while C_Dbg is non-zero) --------------
    // "%07u" of the milliseconds since this receiver's previous stamp;
    // "0000000" for its first.
    std::string TraceStamp();
    // Appends prefix, stamp and text.
    void TraceLine(std::string_view prefix, std::string_view text);
    void TraceSent(std::string_view frame) { TraceLine("-> @", frame); }
    void TraceReceived(std::string_view reply) { TraceLine("<- @", reply); }
    void TraceOutcome(std::string_view text, bool newExchange = false)
    {
        TraceLine(newExchange ? "\n=> @" : "=> @", text);
    }
    // "=> Err:" and the text, without a stamp.
    void TraceError(std::string_view text);
    // Appends the bytes as they are.
    void TraceRaw(std::string_view bytes);

    // Width table of the two-key filter commands.
    static std::int32_t KeyFilterWidth(int entry);

    // ---- State -----------------------------------------------------------
    std::uint32_t m_timerId = 0;
    DriverEvents* m_owner;
    CommChannel m_channel;

    std::string m_confName;
    std::string m_instName;
    std::string m_auxText;
    std::string m_romId;
    std::string m_idleRomId;
    std::string m_rxBuffer;
    std::int16_t m_index = 0;

    std::int32_t m_testLink = 1;  // C_Test
    std::int16_t m_retries = -1;  // C_Retr
    std::int16_t m_wait = -1;  // C_Wait
    std::int32_t m_dbg = 0;  // C_Dbg
    std::int32_t m_isbEnabled = 1;  // O_ISB
    std::int32_t m_manualAgc = 0;  // R_MAgc

    std::int32_t m_frqOffset = 0;
    std::int32_t m_bfoSet = 0;
    std::int32_t m_defaultBfo = -800;

    std::array<std::int32_t, kFilterSlots> m_fltValue{};
    std::array<std::int32_t, kFilterSlots> m_fltOrder{};
    std::int16_t m_fltSlots = kFilterSlots;
    std::int16_t m_fltShown = kFilterSlots;
    std::int16_t m_fltFirst = 0;
    std::int16_t m_fltIndex = 0;

    std::uint32_t m_lastLog = 0;
    bool m_stamped = false;
    // The model's trace file name (e.g. "nrd535.log"), set by its constructor.
    std::string m_traceFile;

    tag_EventData m_current{};
    tag_EventData m_requested{};
    tag_EventData m_channelData{};
    tag_EventState m_changed{};

private:
    std::int32_t HandleReceived(const std::string& bytes, int linkError);

    // Connection, busy and silence state: the polling cycle's alone. Models
    // read it through the accessors above and change it only through
    // SetRemoteWanted, ForgiveSilence and BusyScope.
    std::int32_t m_pending = 0;
    std::int32_t m_linkOpen = 0;
    std::int32_t m_connected = 0;
    std::int32_t m_remoteWanted = 0;
    std::int32_t m_dataSeen = 0;
    std::int32_t m_busy = 0;
    std::int32_t m_silentTicks = -1;
    char m_keys[3] = {' ', ' ', '\0'};
    std::int32_t m_tickCount = 0;

    std::uint64_t m_commandsSent = 0;
    std::uint64_t m_pausesMs = 0;
    // A data notification arrived while busy; handled once the receiver is
    // free again, so nothing waiting on the link is left behind.
    bool m_receiveDeferred = false;
    // Inside this receiver's own tick: a tick that arrives while the model
    // waits in RxPoll is skipped instead of polling on top of it.
    bool m_inTick = false;
    // Counts connection attempts and closes. Code that raised an event
    // compares it afterwards: when a client handler reconnected or
    // disconnected meanwhile, the state belongs to the handler's call.
    std::uint32_t m_connection = 0;
    // Connect is on the stack (opening, the model's RxOpen, or reporting a
    // failed open): a nested Connect answers "pending" instead of nesting.
    int m_connecting = 0;
    // Reports of a close are on the stack: a close asked for from inside
    // one, on a link already closed, has nothing new to report.
    int m_closeReports = 0;
    // Open EngagedScopes.
    int m_engaged = 0;
};

// Record helpers: every field all ones, or all zero with no channel.
void setAllOnes(tag_EventData& record);
void setAllOnes(tag_EventState& flags);
void clearRecord(tag_EventData& record);

}  // namespace quorvin
