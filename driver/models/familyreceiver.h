// FamilyReceiver: what every model driver shares on top of Receiver. It
// takes the model's row of the table of models (link defaults onto both
// links of the CommChannel, the filter slot table, the mode offsets, every
// capability answer), loads and writes back the per-instance settings
// (C_Test, C_Retr, C_Wait, C_Dbg, R_MAgc, O_ISB, the filter slots and the
// model's options), writes the connect trace, and does the chores the
// protocols share: the remote-wrapped send, RxRemote, the record loop with
// its overflow guard, and the change, request and report bookkeeping.
//
// How to write a model. A new model is its table row, its codec and its
// quirks:
// 1. Its row in modeltable.cpp (limits, link defaults, filter slots, mode
//    offsets, capabilities) answers every capability question; override a
//    capability only where it depends on the receiver's state.
// 2. Its codec (<model>/<model>codec.h) turns values into command texts and
//    replies into values, as pure functions tested without a port.
// 3. Its driver derives from FamilyReceiver and, in the constructor, calls
//    SetRemoteCommands (the texts that take the receiver into remote and back,
//    if it has them) and SetRecordFormat (the byte that ends a reply record).
//    It supplies SendText (its framing of one command), ApplyRecord (one
//    complete record into the state, through the Change... helpers; false
//    for a frame error), RxOpen and RxClose (inside a DialogueScope, tracing
//    through SendTraced/ReadTraced and failing with FailConnect), RxPoll
//    (return early unless PollAllowed()), and the setters: each records its
//    request with Request..., sends through SendWrapped and returns what
//    that send's success allows (a failed write is R_KO, never R_OK).
//    A model whose ROM text stands before any connect sets it with
//    SetIdleRomID; a connect that identifies the receiver replaces it.
// 4. RxParse, RxRemote, RxFrqShift (the row's mode offsets) and
//    RxReportChanges (every flagged field the model has, once) are the
//    family's; a model adds RecordsDone for what must wait until a whole
//    read is parsed (a re-tune from the newest record, for instance).
// 5. It registers its creator in registerBuiltinModels() and gets a
//    simulator in sim/, written from the receiver's description, for its
//    end-to-end tests over a pty and TCP.
// Connection state is read through IsConnected(), HeldInRemote() and
// Current()/Requested(); a model never writes the base's flags itself.
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/core/receiver.h"
#include "driver/links/commchannel.h"
#include "driver/models/modelsettings.h"
#include "driver/models/modeltable.h"

namespace quorvin {

inline constexpr std::int16_t kDefaultRetries = 8;
inline constexpr std::int16_t kDefaultWait = 250;

// How a record finder cuts the front of a receive buffer (see
// FamilyReceiver::SetRecordFinder).
struct RecordCut {
    enum Kind { Wait, Take, Skip, Refuse };
    Kind kind = Wait;
    std::size_t length = 0;
};

class FamilyReceiver : public Receiver {
public:
    FamilyReceiver(DriverEvents* owner, DrvType type);

    const ModelInfo& Info() const { return *m_info; }

    // ---- Capability answers from the table ---------------------------------
    std::int32_t RxConfigure() override;
    std::int32_t RxFrqMax() override;
    std::int32_t RxFrqMin() override;
    std::int32_t RxFrqStp() override;
    std::int32_t RxBFOMax() override;
    std::int32_t RxBFOMin() override;
    std::int32_t RxPollPeriod() override;
    std::int32_t RxMaxSilentTicks() override;
    std::int32_t IsBFOMod(MODTYPE mod) override;
    std::int32_t GetBFO() override;
    std::int16_t FltCount() override;
    std::int32_t FltValue(std::int16_t slot) override;
    std::string FltName(std::int16_t slot) override;
    std::int32_t GetFltBW() override;
    std::int32_t FltBWNxt() override;
    std::int16_t ModCount() override;
    std::int32_t IsModEmu(MODTYPE mod) override;
    std::int32_t ModExist(MODTYPE mod) override;
    MODTYPE ModNxt() override;
    std::int16_t AgcCount() override;
    std::int32_t AgcExist(AGCTYPE agc) override;
    AGCTYPE AgcNxt() override;
    std::int16_t NBlCount() override;
    std::int32_t NBlExist(NBLTYPE nbl) override;
    NBLTYPE NBlNxt() override;
    std::int16_t AttCount() override;
    std::int32_t AttExist(ATTSTATE att) override;
    ATTSTATE AttNxt() override;
    std::int32_t SqlExist() override;
    std::int32_t HFFExist() override;
    std::int32_t SMtExist() override;
    std::int16_t ChnCount() override;
    std::int16_t ChnStart() override;
    std::int32_t ChnMskExist() override;
    std::int16_t OutCount() override;

    // ---- Shared protocol chores -------------------------------------------
    // Takes every complete record from the receive buffer to ApplyRecord;
    // more than the guard's length without an end byte empties the buffer
    // and fails the round (-1). Reports the changes afterwards.
    std::int32_t RxParse() override;
    // Sends the remote or local command when the wanted state changes and
    // reports it; 0 when not connected or the command could not be written.
    std::int32_t RxRemote(std::int32_t on) override;
    // The row's mode offsets.
    std::int32_t RxFrqShift(MODTYPE mod, FRQTYPE kind, std::int32_t one) override;
    // Reports every flagged change of the current record and clears its flag.
    void RxReportChanges() override;
    // Mode offset by kind (1 tuning, 2 half filter, 3 carrier, 4 BFO).
    std::int32_t ModeOffset(std::int32_t mod, std::int32_t kind) const;

    // ---- Settings ----------------------------------------------------------
    void RxLoadSettings(const std::string& configuration, const std::string& instance) override;
    bool RxSaveSettings(const std::string& configuration, const std::string& instance) override;

    std::int16_t Retries() const { return m_retries; }
    std::int16_t WaitMs() const { return m_wait; }
    std::int32_t TestLink() const { return m_testLink; }
    std::int32_t ManualAgcAllowed() const { return m_manualAgc; }
    // Whether the AGC setter refuses this value: manual AGC on a model that
    // takes it only with R_MAgc set. The next AGC skips what is refused.
    bool AgcRefused(AGCTYPE agc) const { return m_manualAgcGated && agc == AgcManual && m_manualAgc == 0; }
    // Slots offered outside USB, LSB and ISB, widest last (table slot indices).
    std::vector<int> OfferedSlots() const;

    // ---- The settings dialog's values ---------------------------------------
    // The fields of the model's settings dialog with the values in force.
    std::vector<SettingField> SettingFields() const;
    // OK of the dialog: refuses the whole set when a value is out of its
    // range (or changes a read-only field); otherwise writes the values that
    // differ from those in force to the instance key and puts them in force
    // at once (a new poll period restarts a running poll timer). With a
    // settings file that refuses the writes nothing changes (NotSaved); a
    // store that keeps nothing (read-only, in memory) has told the user
    // once, and the values serve this session.
    SettingsOutcome ApplySettings(const SettingValues& values);

protected:
    // ---- What a model supplies ---------------------------------------------
    // Writes one command in the model's framing; false when it was not written.
    virtual bool SendText(std::string_view command) = 0;
    // Applies one complete record (its end byte included); false for a
    // record that makes the round fail.
    virtual bool ApplyRecord(const std::string& record) = 0;
    // Runs once a read's records are applied, before the changes are reported.
    virtual void RecordsDone() {}

    // The commands that take the receiver into remote control and back
    // (none: setters are sent bare; only a hand-back: a setting takes the
    // receiver into remote by itself), and the pause RxRemote keeps after one.
    void SetRemoteCommands(std::string_view on, std::string_view off, int pauseMs = 0);
    // The byte that ends a reply record, and how many bytes may wait
    // without it before the buffer counts as garbage.
    void SetRecordFormat(char end, std::size_t maxUnterminated);
    // The model's AGC setter takes manual AGC only while R_MAgc is set.
    void SetManualAgcGated() { m_manualAgcGated = true; }

    // For framings without an end byte (a length byte, a start and an end
    // byte): the model's finder looks at the front of the receive buffer and
    // says how it is cut. Take: the first `length` bytes are one record.
    // Skip: drop `length` bytes (noise before a frame). Refuse: drop
    // `length` bytes and fail the round (a frame with a wrong length or
    // checksum, never parsed). Wait: no whole record yet. The overflow guard
    // stands as for end bytes: more than `maxWaiting` bytes left waiting
    // empties the buffer and fails the round.
    using RecordFinder = std::function<RecordCut(std::string_view buffer)>;
    void SetRecordFinder(RecordFinder finder, std::size_t maxWaiting);

    // Sends the commands inside the remote wrapping unless the operator holds
    // the receiver in remote. True only when every frame was written; after a
    // failed command the rest is skipped, but the hand-back still goes out.
    bool SendWrapped(std::initializer_list<std::string_view> commands);
    bool SendWrapped(std::string_view command) { return SendWrapped({command}); }

    // Whether the operator holds the receiver in remote (no wrapping, no
    // panel changes expected).
    bool HeldInRemote() const { return IsRemote() != 0; }
    // The receiver went back to local control without RxRemote (a hand-back
    // at disconnect): nothing is sent or reported.
    void DropRemote() { SetRemoteWanted(0); }

    // The options that are fitted, as optionBit()s (base: none).
    virtual std::uint32_t FittedOptions() const { return 0; }
    // The model's own settings values (base: none).
    virtual void LoadModelOptions(const std::string& key) { (void)key; }
    virtual void SaveModelOptions(const std::string& key) { (void)key; }
    // The value in force of one of the model's own settings that its dialog
    // offers (base: none), and putting a new one in force (base: nothing).
    virtual std::optional<std::int32_t> ModelOptionValue(std::string_view name) const
    {
        (void)name;
        return std::nullopt;
    }
    virtual void ApplyModelOption(std::string_view name, std::int32_t value)
    {
        (void)name;
        (void)value;
    }

    // ---- Connect trace ------------------------------------------------------
    // "\n=> @stamp TRY CONNECT": opens the trace of one connect when C_Dbg is on.
    void TraceConnectStart();
    // "=> @stamp OPENED" and a blank line; the trace of this connect ends.
    void TraceConnectDone();
    // "=> Err:<text>" without a stamp; the trace of this connect ends.
    void TraceConnectError(std::string_view text);
    // Sends a frame; traces "-> @stamp <mnemonic>" while the connect trace runs.
    bool SendTraced(const std::string& frame, std::string_view mnemonic, int charDelayMs, int afterDelayMs);
    // Reads after a delay; traces "<- @stamp<reply>" while the connect trace runs.
    // With `complete` the read ends as soon as the reply is whole, the delay
    // being its upper bound.
    std::string ReadTraced(int delayMs, const ReplyComplete& complete = {});

    // What a read waits for. Records: `count` whole records as RxParse cuts
    // them (up to the end byte, or taken by the record finder; noise and
    // refused frames count for nothing). NoReply: a command the receiver does not answer;
    // the read ends at once when nothing is waiting, while stray bytes keep
    // it to its delay as before (a line answering with DEL bytes is seen).
    ReplyComplete Records(int count = 1) const;
    static ReplyComplete NoReply();
    // How many whole records the bytes hold, cut as RxParse cuts them.
    std::size_t WholeRecords(std::string_view bytes) const;
    // A plain wait between commands.
    //
    // Which waits end early and which are kept. A read after a delay only
    // gives the reply time to arrive: it ends once the reply is whole
    // (Records, NoReply) and its delay is the upper bound. A pause the
    // receiver needs between commands is kept as the receiver's
    // description gives it:
    //   RA1792  1 ms per character; 25 ms after P, R and the closing L of a
    //           connect; 20 ms after RxRemote's R / L; 200 ms after the L
    //           and 25 ms after the "?" of a disconnect.
    //   RA6790  1 ms per character; 25 ms after S2, S8, S9 and S1.
    //   NRD535  10 ms after every frame; 50 ms after H0 and I0 at connect.
    //   TRC294  40 ms after every message; the 20 ms rounds of the A model's
    //           connect (10 after remote, 4 after the panel text, 4 between
    //           the settings, 2 after 0xEE).
    //   HF2050  50 ms after every line.
    //   NDX264  100 ms before the first request of a connect; 50 ms after
    //           every frame; latency + 20 ms after a channel clear.
    //   REK085, TRC243  10 ms after every frame.
    // Reads that still run to their bound: the TRC294 plain model's read of
    // the A-model request (it never answers it), and any reply that is cut
    // short, garbled or missing.
    static void Pause(int ms);

    // Fails the connection attempt: the base reports the code and closes.
    ConnErr FailConnect(ConnErr code, std::string_view traceText);

    // Marks a connect or disconnect dialogue of the driver. Its waits let
    // poll ticks through: while it runs they poll nothing and count no
    // silence, and a nested hand-back is refused.
    class DialogueScope {
    public:
        explicit DialogueScope(FamilyReceiver& rx) : m_rx(rx), m_outer(rx.m_inDialogue), m_engaged(rx)
        {
            m_rx.m_inDialogue = true;
            m_rx.m_pendingTicks = 0;
        }
        ~DialogueScope() { m_rx.m_inDialogue = m_outer; }
        DialogueScope(const DialogueScope&) = delete;
        DialogueScope& operator=(const DialogueScope&) = delete;

    private:
        FamilyReceiver& m_rx;
        bool m_outer;
        EngagedScope m_engaged;
    };
    bool InDialogue() const { return m_inDialogue; }
    // Whether a poll tick may send its requests now: not during a dialogue,
    // not after giving up a pending attempt, only on an open link.
    bool PollAllowed();
    // Drops what is left of a reply that never ended (see PollAllowed);
    // true when it did, after reporting it.
    bool DropUnendedReply();

    // Polls while the attempt is pending (the receiver has not yet sent its
    // first answer since the connect dialogue); true when the attempt was
    // given up after as many ticks as the silence limit.
    bool GiveUpPending();

    // ---- Change bookkeeping -------------------------------------------------
    // Each stores a value the receiver reported into the current record,
    // flags it when it changed and clears the pending request it confirms.
    void ChangeFrq(std::uint32_t hz);
    void ChangeMod(MODTYPE mod);
    void ChangeBfo(std::int32_t hz);
    void ChangeFlt(std::int32_t hz);
    void ChangeAgc(AGCTYPE agc);
    void ChangeAgcLevel(std::int16_t level);
    void ChangeChn(std::int16_t chn);
    void ChangeNBl(NBLTYPE nbl);
    void ChangeAtt(ATTSTATE att, std::int16_t level);
    void ChangeSql(SQLSTATE sql);
    void ChangeHFF(HFFSTATE hff);
    // An S-meter reading: the receiver's own value and its dBµV.
    void ChangeSMt(std::int32_t local, std::int16_t dbuv);
    // A flagged change that is not to be reported (yet).
    void UnflagBfo();
    // Reports the mode (and BFO) again after the next reply.
    void FlagMod();
    // The receiver's own S-meter value of the last reading; -1 before one.
    std::int32_t SMtLocal() const { return m_smLocal; }

    // Each records a request as pending; the reply that confirms it clears it.
    // Frequency, mode, filter, AGC, noise blanker, attenuator and preselector
    // requests are watched (see ReviewRequests); the commands the next
    // SendWrapped sends are what a resend repeats.
    void RequestFrq(std::uint32_t hz)
    {
        m_requested.FrqValue = hz;
        Watch(Watched::Frq, static_cast<std::int32_t>(hz));
    }
    void RequestMod(MODTYPE mod)
    {
        m_requested.ModType = mod;
        Watch(Watched::Mod, mod);
    }
    void RequestBfo(std::int32_t hz) { m_requested.BFOValue = hz; }
    void ClearBfoRequest() { m_requested.BFOValue = -1; }
    void RequestFlt(std::int32_t hz)
    {
        m_requested.FltValue = hz;
        Watch(Watched::Flt, hz);
    }
    void RequestAgc(AGCTYPE agc)
    {
        m_requested.AgcType = agc;
        Watch(Watched::Agc, agc);
    }
    void RequestAgcLevel(std::int16_t level) { m_requested.AgcLevel = level; }
    void RequestNBl(NBLTYPE nbl)
    {
        m_requested.NBlType = nbl;
        Watch(Watched::NBl, nbl);
    }
    void RequestAtt(ATTSTATE att)
    {
        m_requested.AttState = att;
        Watch(Watched::Att, att);
    }
    void RequestHFF(HFFSTATE hff)
    {
        m_requested.HFFState = hff;
        Watch(Watched::HFF, hff);
    }
    // A channel load (or anything else that sets the receiver as a whole)
    // answers the requests still waiting: what the receiver reports next is
    // the new state, not a contradiction.
    void DropRequests();
    // The result of a channel load whose command was (not) written; a
    // written one drops the requests still waiting.
    RCODE ChannelLoadSent(bool sent)
    {
        if (!sent) {
            return R_KO;
        }
        DropRequests();
        return R_OK;
    }

    // Requests the receiver keeps contradicting. Each status round (one
    // RxParse) that reports, for a pending request, the same other value as
    // the round before counts once; after kContradictionsToResend such
    // rounds the request's commands are sent once more (a frame lost on the
    // line is recovered so), and after as many again the request is given
    // up: it is cleared, the value the receiver holds is reported through
    // its update event and a data error (ConnectRxDataError) says that the
    // request failed. A value that changes from round to round (a tune the
    // receiver reports in steps) counts as no contradiction; a new request
    // starts the count again. Runs from PollAllowed; false when a request
    // was given up (a client's handler may have changed everything).
    static constexpr int kContradictionsToResend = 3;
    bool ReviewRequests();
    // Nothing known of these until the receiver reports them.
    void ForgetControls();
    // A receiver that keeps its own frequency when its mode changes is
    // tuned again so the carrier stays where it is shown. Status replies to
    // polls sent before that retune went out still show the receiver where
    // it was: read in the new mode, a frequency it never held for the
    // operator. NoteRetune records a retune that went out; SentBeforeRetune
    // is true for such a reply (neither shown nor counted against the
    // request), for the few polls that can have been on their way only, so
    // a retune the receiver never took is watched like any other request.
    void NoteRetune(std::int32_t receiverHzBefore, MODTYPE mode, std::uint32_t shownHz);
    bool SentBeforeRetune(std::int32_t receiverHz, MODTYPE mode);
    void ForgetRetune() { m_retune.reset(); }
    static constexpr int kRepliesCrossingRetune = 3;

    // The width of the offered slot nearest to the request (ties go to the
    // narrower one); -1 when none is offered.
    int NearestOfferedSlot(std::int32_t hz) const;
    std::int32_t SlotWidth(int slot) const { return FilterWidth(static_cast<std::int16_t>(slot)); }

    template <typename T>
    static T nextOf(std::uint32_t mask, T current, int limit)
    {
        for (int step = 1; step <= limit; ++step) {
            const int candidate = (static_cast<int>(current) + step + limit) % limit;
            if ((mask & bitOf(candidate)) != 0) {
                return static_cast<T>(candidate);
            }
        }
        return static_cast<T>(-1);
    }

    const ModelInfo* m_info;

private:
    enum class Watched { Frq, Mod, Flt, Agc, NBl, Att, HFF, Count };
    struct RequestWatch {
        std::int32_t value = -1;  // the request as recorded
        std::int32_t against = 0;  // the value the receiver reported instead
        int count = 0;  // rounds in a row that reported it
        bool resent = false;
        std::uint64_t round = 0;  // the parse round counted last
        std::vector<std::string> commands;  // what was sent for the request
    };
    static constexpr std::size_t kWatched = static_cast<std::size_t>(Watched::Count);
    void Watch(Watched field, std::int32_t value);
    bool SendWrappedAll(const std::vector<std::string_view>& commands);
    // A status round reported `reported` while `field`'s request (`pending`)
    // still waits.
    void Contradicted(Watched field, std::int32_t pending, std::int32_t reported);
    // The pending request of a field (-1: none), and clearing it.
    std::int32_t PendingOf(Watched field) const;
    void GiveUp(Watched field);

    std::array<RequestWatch, kWatched> m_watch{};
    // The watch a new request replaced, for a setter that puts it back.
    std::array<RequestWatch, kWatched> m_watchBefore{};
    // The last SendWrapped did not write everything.
    bool m_wrappedFailed = false;
    // Fields requested since the last SendWrapped: its commands are theirs.
    std::uint32_t m_capture = 0;
    // The requests whose commands SendWrapped is writing now.
    std::uint32_t m_sendingFor = 0;
    std::uint64_t m_parseRound = 0;

    struct Retune {
        std::int32_t receiverHzBefore = 0;
        MODTYPE mode = ModNone;
        std::uint32_t shownHz = 0;
        int passed = 0;  // replies from before it taken so far
    };
    std::optional<Retune> m_retune;

    bool m_traceOpen = false;
    bool m_inDialogue = false;
    int m_pendingTicks = 0;
    // A frame is being written; frames asked for meanwhile wait their turn.
    struct QueuedFrame {
        std::string bytes;
        int charDelayMs;
        int afterDelayMs;
        // The requests it carries (Watched bits) and their values when it
        // was queued: a frame that never goes out fails them.
        std::uint32_t fields = 0;
        std::array<std::int32_t, static_cast<std::size_t>(Watched::Count)> values{};
    };
    bool m_writing = false;
    std::deque<QueuedFrame> m_queuedFrames;
    // Fails the requests of queued frames that never went out, and says so.
    void FailUnwritten(const std::vector<QueuedFrame>& frames);
    // Unfinished bytes in the receive buffer at the last poll, and the
    // records taken so far: bytes that wait a whole poll period without any
    // record being completed belong to a reply that never ended.
    bool m_unfinishedAtPoll = false;
    std::uint64_t m_recordsTaken = 0;
    std::uint64_t m_recordsAtPoll = 0;
    std::string m_remoteOn;
    std::string m_remoteOff;
    int m_remotePauseMs = 0;
    char m_recordEnd = '\n';
    std::size_t m_maxUnterminated = 40;
    RecordFinder m_recordFinder;
    std::int32_t m_smLocal = -1;
    bool m_manualAgcGated = false;
};

}  // namespace quorvin
