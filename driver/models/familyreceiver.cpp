// The model family: table-driven construction, capability answers,
// per-instance settings, the connect trace, the shared protocol chores and
// change bookkeeping.
#include "familyreceiver.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "driver/core/configstore.h"
#include "driver/core/dialogseams.h"
#include "driver/core/driverevents.h"
#include "driver/links/seriallink.h"
#include "driver/links/socketlink.h"
#include "driver/models/familyprotocol.h"
#include "platform/settingsstore.h"
#include "platform/wait.h"

namespace quorvin {

namespace {

// The table position of a filter slot's value name; -1 for another name.
int filterSlotOf(const ModelInfo& info, std::string_view name)
{
    for (int slot = 0; slot < kTableFilterSlots; ++slot) {
        const char* slotName = info.filters[static_cast<std::size_t>(slot)].name;
        if (slotName != nullptr && name == slotName) {
            return slot;
        }
    }
    return -1;
}

}  // namespace

FamilyReceiver::FamilyReceiver(DriverEvents* owner, DrvType type) : Receiver(owner), m_info(modelInfo(type))
{
    if (m_info == nullptr) {
        m_info = modelInfo(DrvNRD535);
    }
    const ModelInfo& info = *m_info;
    m_traceFile = info.logFile;
    m_retries = kDefaultRetries;
    m_wait = kDefaultWait;

    const LinkDefaults& link = info.link;
    m_channel.SetBusAddressing(link.busAddressing);
    // Both links start at the model's address; stored settings may change
    // either afterwards.
    m_channel.serial().SetBusAddress(link.address);
    m_channel.socket().SetBusAddress(link.address);
    m_channel.SetSpeed(link.speed);
    m_channel.SetParity(link.parity);
    m_channel.SetDataBits(link.dataBits);
    m_channel.SetStopBits(link.stopBits);

    m_fltValue.fill(0);
    for (int slot = 0; slot < kTableFilterSlots; ++slot) {
        if (info.filters[static_cast<std::size_t>(slot)].name != nullptr) {
            m_fltValue[static_cast<std::size_t>(slot)] = info.filters[static_cast<std::size_t>(slot)].width;
        }
    }
    m_fltSlots = info.slotCount;
    m_fltShown = info.offered;
    m_fltFirst = info.firstSlot;
}

// ---- Capabilities -------------------------------------------------------------

std::int32_t FamilyReceiver::RxConfigure()
{
    return runModelDialog(m_info->type, *this);
}

std::int32_t FamilyReceiver::RxFrqMax()
{
    return modelFrqMax(*m_info, FittedOptions());
}

std::int32_t FamilyReceiver::RxFrqMin()
{
    return modelFrqMin(*m_info, FittedOptions());
}

std::int32_t FamilyReceiver::RxFrqStp()
{
    return modelFrqStep(*m_info, EffectiveMode(), FittedOptions());
}

std::int32_t FamilyReceiver::RxBFOMax()
{
    return m_info->bfoMax;
}

std::int32_t FamilyReceiver::RxBFOMin()
{
    return m_info->bfoMin;
}

std::int32_t FamilyReceiver::RxPollPeriod()
{
    return m_wait > 0 ? m_wait : kDefaultWait;
}

std::int32_t FamilyReceiver::RxMaxSilentTicks()
{
    return m_retries > 0 ? m_retries : kDefaultRetries;
}

std::int32_t FamilyReceiver::IsBFOMod(MODTYPE mod)
{
    if (m_info->bfoMin == 0 && m_info->bfoMax == 0) {
        return 0;
    }
    return (mod == ModCW || mod == ModCW_F || mod == ModRTTY || mod == ModFAX) ? 1 : 0;
}

std::int32_t FamilyReceiver::GetBFO()
{
    return m_current.BFOValue;
}

std::vector<int> FamilyReceiver::OfferedSlots() const
{
    std::vector<int> slots;
    const int first = std::clamp<int>(m_fltFirst, 0, kFilterSlots);
    const int end = std::clamp<int>(first + m_fltShown, first, std::min<int>(m_fltSlots, kFilterSlots));
    for (int slot = first; slot < end; ++slot) {
        if (m_fltValue[static_cast<std::size_t>(slot)] > 0) {
            slots.push_back(slot);
        }
    }
    std::stable_sort(slots.begin(), slots.end(), [this](int a, int b) {
        return m_fltValue[static_cast<std::size_t>(a)] < m_fltValue[static_cast<std::size_t>(b)];
    });
    return slots;
}

std::int16_t FamilyReceiver::FltCount()
{
    return static_cast<std::int16_t>(OfferedSlots().size());
}

std::int32_t FamilyReceiver::FltValue(std::int16_t slot)
{
    const auto slots = OfferedSlots();
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots.size()) {
        return 0;
    }
    return SlotWidth(slots[static_cast<std::size_t>(slot)]);
}

std::string FamilyReceiver::FltName(std::int16_t slot)
{
    const auto slots = OfferedSlots();
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots.size()) {
        return {};
    }
    const int tableSlot = slots[static_cast<std::size_t>(slot)];
    const char* name =
        tableSlot < kTableFilterSlots ? m_info->filters[static_cast<std::size_t>(tableSlot)].name : nullptr;
    return name != nullptr ? name : std::string();
}

std::int32_t FamilyReceiver::GetFltBW()
{
    return m_current.FltValue;
}

std::int32_t FamilyReceiver::FltBWNxt()
{
    const auto slots = OfferedSlots();
    if (slots.empty()) {
        return -1;
    }
    for (int slot : slots) {
        if (SlotWidth(slot) > m_current.FltValue) {
            return SlotWidth(slot);
        }
    }
    return SlotWidth(slots.front());
}

int FamilyReceiver::NearestOfferedSlot(std::int32_t hz) const
{
    int best = -1;
    std::int64_t bestDistance = 0;
    for (int slot : OfferedSlots()) {
        const std::int64_t distance = std::llabs(static_cast<std::int64_t>(SlotWidth(slot)) - hz);
        if (best < 0 || distance < bestDistance) {
            best = slot;
            bestDistance = distance;
        }
    }
    return best;
}

std::int16_t FamilyReceiver::ModCount()
{
    return m_info->modCount;
}

std::int32_t FamilyReceiver::IsModEmu(MODTYPE mod)
{
    return (m_info->emulated & bitOf(mod)) != 0 && ModExist(mod) != 0 ? 1 : 0;
}

std::int32_t FamilyReceiver::ModExist(MODTYPE mod)
{
    return modelModeExists(*m_info, mod, FittedOptions()) ? 1 : 0;
}

MODTYPE FamilyReceiver::ModNxt()
{
    std::uint32_t mask = 0;
    for (int m = 0; m < 12; ++m) {
        if (ModExist(static_cast<MODTYPE>(m)) != 0) {
            mask |= bitOf(m);
        }
    }
    return nextOf<MODTYPE>(mask, EffectiveMode(), 12);
}

std::int16_t FamilyReceiver::AgcCount()
{
    return m_info->agcCount;
}

std::int32_t FamilyReceiver::AgcExist(AGCTYPE agc)
{
    return (m_info->agcs & bitOf(agc)) != 0 ? 1 : 0;
}

AGCTYPE FamilyReceiver::AgcNxt()
{
    std::uint32_t mask = 0;
    for (int a = 0; a < 8; ++a) {
        if (AgcExist(static_cast<AGCTYPE>(a)) != 0 && !AgcRefused(static_cast<AGCTYPE>(a))) {
            mask |= bitOf(a);
        }
    }
    return nextOf<AGCTYPE>(mask, m_current.AgcType, 8);
}

std::int16_t FamilyReceiver::NBlCount()
{
    return m_info->nblCount;
}

std::int32_t FamilyReceiver::NBlExist(NBLTYPE nbl)
{
    if (m_info->controlsWhileConnected && IsConnected() == 0) {
        return 0;
    }
    return (m_info->nbls & bitOf(nbl)) != 0 ? 1 : 0;
}

NBLTYPE FamilyReceiver::NBlNxt()
{
    std::uint32_t mask = 0;
    for (int n = 0; n < 3; ++n) {
        if (NBlExist(static_cast<NBLTYPE>(n)) != 0) {
            mask |= bitOf(n);
        }
    }
    return nextOf<NBLTYPE>(mask, m_current.NBlType, 3);
}

std::int16_t FamilyReceiver::AttCount()
{
    return m_info->attCount;
}

std::int32_t FamilyReceiver::AttExist(ATTSTATE att)
{
    return (m_info->atts & bitOf(att)) != 0 ? 1 : 0;
}

ATTSTATE FamilyReceiver::AttNxt()
{
    return nextOf<ATTSTATE>(m_info->atts, m_current.AttState, 10);
}

std::int32_t FamilyReceiver::SqlExist()
{
    if (m_info->controlsWhileConnected && IsConnected() == 0) {
        return 0;
    }
    return m_info->squelch ? 1 : 0;
}

std::int32_t FamilyReceiver::HFFExist()
{
    return m_info->hfFilter ? 1 : 0;
}

std::int32_t FamilyReceiver::SMtExist()
{
    return m_info->smeter ? 1 : 0;
}

std::int16_t FamilyReceiver::ChnCount()
{
    return m_info->chnCount;
}

std::int16_t FamilyReceiver::ChnStart()
{
    return m_info->chnStart;
}

std::int32_t FamilyReceiver::ChnMskExist()
{
    return m_info->chnMask ? 1 : 0;
}

std::int16_t FamilyReceiver::OutCount()
{
    return m_info->outCount;
}

// ---- Shared protocol chores ------------------------------------------------------

void FamilyReceiver::SetRemoteCommands(std::string_view on, std::string_view off, int pauseMs)
{
    m_remoteOn = on;
    m_remoteOff = off;
    m_remotePauseMs = pauseMs;
}

void FamilyReceiver::SetRecordFormat(char end, std::size_t maxUnterminated)
{
    m_recordEnd = end;
    m_maxUnterminated = maxUnterminated;
}

void FamilyReceiver::SetRecordFinder(RecordFinder finder, std::size_t maxWaiting)
{
    m_recordFinder = std::move(finder);
    m_maxUnterminated = maxWaiting;
}

bool FamilyReceiver::SendWrapped(std::initializer_list<std::string_view> commands)
{
    return SendWrappedAll(std::vector<std::string_view>(commands));
}

bool FamilyReceiver::SendWrappedAll(const std::vector<std::string_view>& commands)
{
    // The commands of a request just recorded are what its resend repeats.
    for (std::size_t field = 0; field < kWatched; ++field) {
        if ((m_capture & (1u << field)) != 0) {
            m_watch[field].commands.assign(commands.begin(), commands.end());
        }
    }
    struct SendingFor {
        std::uint32_t& now;
        std::uint32_t outer;
        SendingFor(std::uint32_t& n, std::uint32_t fields) : now(n), outer(n) { now = fields; }
        ~SendingFor() { now = outer; }
    } sendingFor(m_sendingFor, m_capture);
    m_capture = 0;
    // A receiver that a setting takes into remote by itself has no "on"
    // command, only the hand-back.
    const bool wrap = !HeldInRemote() && !m_remoteOn.empty();
    const bool handBack = !HeldInRemote() && !m_remoteOff.empty();
    bool sent = true;
    if (wrap) {
        sent = SendText(m_remoteOn);
    }
    for (std::string_view command : commands) {
        if (!sent) {
            break;
        }
        sent = SendText(command);
    }
    if (handBack) {
        // The front panel gets the receiver back whatever went before.
        const bool handedBack = SendText(m_remoteOff);
        sent = sent && handedBack;
    }
    m_wrappedFailed = !sent;
    return sent;
}

std::int32_t FamilyReceiver::RxRemote(std::int32_t on)
{
    if (IsConnected() == 0) {
        SetRemoteWanted(0);
        return 0;
    }
    const std::int32_t wanted = on != 0 ? 1 : 0;
    if (wanted != RemoteWanted()) {
        const std::string& command = wanted != 0 ? m_remoteOn : m_remoteOff;
        if (!command.empty()) {
            if (!SendText(command)) {
                return 0;
            }
            if (m_remotePauseMs > 0) {
                Pause(m_remotePauseMs);
            }
        }
        SetRemoteWanted(wanted);
        if (Owner() != nullptr) {
            Owner()->RxRmtState(m_index, wanted);
        }
    }
    return 1;
}

std::int32_t FamilyReceiver::RxParse()
{
    ++m_parseRound;
    m_capture = 0;
    std::int32_t result = 0;
    for (;;) {
        std::string record;
        if (m_recordFinder) {
            const RecordCut cut = m_recordFinder(m_rxBuffer);
            const std::size_t length = std::min(cut.length, m_rxBuffer.size());
            if (cut.kind == RecordCut::Wait || length == 0) {
                break;
            }
            if (cut.kind != RecordCut::Take) {
                m_rxBuffer.erase(0, length);
                if (cut.kind == RecordCut::Refuse) {
                    result = -1;
                }
                continue;
            }
            record = m_rxBuffer.substr(0, length);
            m_rxBuffer.erase(0, length);
        } else {
            auto ended = family::takeRecord(m_rxBuffer, m_recordEnd);
            if (!ended) {
                break;
            }
            // A record of line ends alone (CR LF pairs split at either byte) is none.
            if (ended->find_first_not_of("\r\n") == std::string::npos) {
                continue;
            }
            record = std::move(*ended);
        }
        ++m_recordsTaken;
        if (!ApplyRecord(record)) {
            result = -1;
        }
    }
    if (m_rxBuffer.size() > m_maxUnterminated) {
        m_rxBuffer.clear();
        result = -1;
    }
    RecordsDone();
    RxReportChanges();
    return result;
}

std::int32_t FamilyReceiver::ModeOffset(std::int32_t mod, std::int32_t kind) const
{
    return modeOffset(m_info->offsets, mod, kind, m_current.FltValue, m_defaultBfo);
}

std::int32_t FamilyReceiver::RxFrqShift(MODTYPE mod, FRQTYPE kind, std::int32_t)
{
    return ModeOffset(mod, kind);
}

// ---- Settings -------------------------------------------------------------------

void FamilyReceiver::RxLoadSettings(const std::string& configuration, const std::string& instance)
{
    if (!isKeyName(configuration) || !isKeyName(instance)) {
        return;
    }
    auto& store = platform::SettingsStore::shared();
    const std::string key = instanceKey(configuration, instance);

    m_testLink = store.readNumber(key, "C_Test", m_testLink);

    const auto retries = store.readNumber(key, "C_Retr");
    if (retries && *retries >= kRetriesLow && *retries <= kRetriesHigh) {
        m_retries = static_cast<std::int16_t>(*retries);
    } else {
        // Operators who never set it get 8, below the accepted range: that is
        // what a fresh store holds.
        m_retries = kDefaultRetries;
        store.writeNumber(key, "C_Retr", m_retries);
    }

    const auto wait = store.readNumber(key, "C_Wait");
    if (wait && *wait >= kWaitLow && *wait <= kWaitHigh) {
        m_wait = static_cast<std::int16_t>(*wait);
    } else {
        m_wait = kDefaultWait;
        store.writeNumber(key, "C_Wait", m_wait);
    }

    const auto dbg = store.readNumber(key, "C_Dbg");
    if (dbg) {
        m_dbg = *dbg;
    } else {
        m_dbg = 0;
        store.writeNumber(key, "C_Dbg", 0);
    }

    m_manualAgc = store.readNumber(key, "R_MAgc", m_manualAgc);
    m_isbEnabled = store.readNumber(key, "O_ISB", m_isbEnabled);

    for (int slot = 0; slot < kTableFilterSlots && slot < m_info->slotCount; ++slot) {
        const char* name = m_info->filters[static_cast<std::size_t>(slot)].name;
        if (name != nullptr) {
            const std::int32_t width = store.readNumber(key, name, m_fltValue[static_cast<std::size_t>(slot)]);
            m_fltValue[static_cast<std::size_t>(slot)] = std::max<std::int32_t>(0, width);
        }
    }
    LoadModelOptions(key);
}

bool FamilyReceiver::RxSaveSettings(const std::string& configuration, const std::string& instance)
{
    if (!isKeyName(configuration) || !isKeyName(instance)) {
        return false;
    }
    auto& store = platform::SettingsStore::shared();
    const auto unsaved = store.unsavedWrites();
    const std::string key = instanceKey(configuration, instance);
    store.createKey(key);
    store.writeNumber(key, "D_Type", m_info->type);
    store.writeNumber(key, "C_Test", m_testLink);
    store.writeNumber(key, "R_MAgc", m_manualAgc);
    store.writeNumber(key, "O_ISB", m_isbEnabled);
    store.writeNumber(key, "C_Retr", m_retries);
    store.writeNumber(key, "C_Wait", m_wait);
    store.writeNumber(key, "C_Dbg", m_dbg);
    for (int slot = 0; slot < kTableFilterSlots && slot < m_info->slotCount; ++slot) {
        const char* name = m_info->filters[static_cast<std::size_t>(slot)].name;
        if (name != nullptr) {
            store.writeNumber(key, name, m_fltValue[static_cast<std::size_t>(slot)]);
        }
    }
    SaveModelOptions(key);
    return store.unsavedWrites() == unsaved;
}

// ---- The settings dialog's values ---------------------------------------------------

std::vector<SettingField> FamilyReceiver::SettingFields() const
{
    std::vector<SettingField> fields = modelSettingFields(m_info->type);
    for (SettingField& f : fields) {
        const auto flag = [](std::int32_t v) { return v != 0 ? 1 : 0; };
        if (f.name == "C_Wait") {
            f.value = m_wait;
        } else if (f.name == "C_Retr") {
            f.value = m_retries;
        } else if (f.name == "C_Test") {
            f.value = flag(m_testLink);
        } else if (f.name == "C_Dbg") {
            f.value = flag(m_dbg);
        } else if (f.name == "R_MAgc") {
            f.value = flag(m_manualAgc);
        } else if (f.name == "O_ISB") {
            f.value = flag(m_isbEnabled);
        } else if (const int slot = filterSlotOf(*m_info, f.name); slot >= 0) {
            f.value = m_fltValue[static_cast<std::size_t>(slot)];
        } else if (const auto own = ModelOptionValue(f.name)) {
            f.value = *own;
        }
    }
    return fields;
}

SettingsOutcome FamilyReceiver::ApplySettings(const SettingValues& values)
{
    SettingsOutcome outcome;
    const std::vector<SettingField> fields = SettingFields();
    const auto refuse = [&outcome](const std::string& field, const std::string& message) {
        outcome.result = SettingsOutcome::Result::Refused;
        outcome.field = field;
        outcome.message = message;
        return outcome;
    };
    for (const auto& entry : values) {
        const std::string& name = entry.first;
        const auto it =
            std::find_if(fields.begin(), fields.end(), [&](const SettingField& f) { return f.name == name; });
        if (it == fields.end()) {
            return refuse(name, name + " is no setting of the " + std::string(m_info->name) + ".");
        }
    }
    std::vector<std::pair<const SettingField*, std::int32_t>> changes;
    for (const SettingField& f : fields) {
        const auto it = values.find(f.name);
        if (it == values.end() || it->second == f.value) {
            continue;
        }
        if (f.readOnly) {
            return refuse(f.name, f.hint);
        }
        if (!f.accepts(it->second)) {
            return refuse(f.name, f.rangeText());
        }
        changes.emplace_back(&f, it->second);
    }
    if (changes.empty()) {
        return outcome;
    }

    auto& store = platform::SettingsStore::shared();
    if (isKeyName(m_confName) && isKeyName(m_instName)) {
        const std::string key = instanceKey(m_confName, m_instName);
        const auto unsaved = store.unsavedWrites();
        store.createKey(key);
        std::size_t written = 0;
        for (const auto& [field, value] : changes) {
            if (!store.writeNumber(key, field->name, value) && store.isPersistent()) {
                break;
            }
            ++written;
        }
        if (store.isPersistent() && store.unsavedWrites() != unsaved) {
            // The file refused them: put back what it took, so the file and
            // the receiver keep agreeing, and change nothing.
            for (std::size_t i = 0; i < written; ++i) {
                store.writeNumber(key, changes[i].first->name, changes[i].first->value);
            }
            outcome.result = SettingsOutcome::Result::NotSaved;
            outcome.message =
                "The settings could not be saved: " +
                (store.lastError().empty() ? std::string("the settings file refused them") : store.lastError());
            return outcome;
        }
    }

    bool newPeriod = false;
    for (const auto& [field, value] : changes) {
        const std::string& name = field->name;
        if (name == "C_Wait") {
            m_wait = static_cast<std::int16_t>(value);
            newPeriod = true;
        } else if (name == "C_Retr") {
            m_retries = static_cast<std::int16_t>(value);
        } else if (name == "C_Test") {
            m_testLink = value;
        } else if (name == "C_Dbg") {
            m_dbg = value;
        } else if (name == "R_MAgc") {
            m_manualAgc = value;
        } else if (name == "O_ISB") {
            m_isbEnabled = value;
        } else if (const int slot = filterSlotOf(*m_info, name); slot >= 0) {
            m_fltValue[static_cast<std::size_t>(slot)] = value;
        } else {
            ApplyModelOption(name, value);
        }
        outcome.changed.push_back(name);
    }
    if (newPeriod && TimerId() != 0) {
        StartTimer(RxPollPeriod());
    }
    outcome.result = SettingsOutcome::Result::Applied;
    return outcome;
}

// ---- Connect trace ----------------------------------------------------------------

void FamilyReceiver::TraceConnectStart()
{
    m_traceOpen = m_dbg != 0;
    if (m_traceOpen) {
        TraceOutcome(" TRY CONNECT\n", true);
    }
}

void FamilyReceiver::TraceConnectDone()
{
    if (m_traceOpen) {
        TraceOutcome(" OPENED\n\n");
    }
    m_traceOpen = false;
}

void FamilyReceiver::TraceConnectError(std::string_view text)
{
    if (m_traceOpen) {
        TraceError(text);
    }
    m_traceOpen = false;
}

bool FamilyReceiver::SendTraced(const std::string& frame, std::string_view mnemonic, int charDelayMs, int afterDelayMs)
{
    if (m_traceOpen) {
        std::string text(" ");
        text += mnemonic;
        text += '\n';
        TraceSent(text);
    }
    if (m_writing) {
        // Asked for from an event delivered while another frame is being
        // written (a client's timer or link handler): it goes out whole,
        // right after that frame, never inside it. Its setter cannot wait
        // for that: should the frame never go out, the requests it carries
        // fail then (FailUnwritten).
        QueuedFrame queued{frame, charDelayMs, afterDelayMs};
        queued.fields = m_sendingFor;
        for (std::size_t at = 0; at < kWatched; ++at) {
            queued.values[at] = PendingOf(static_cast<Watched>(at));
        }
        m_queuedFrames.push_back(std::move(queued));
        return true;
    }
    bool sent = false;
    std::vector<QueuedFrame> unwritten;
    {
        // The busy flag stands while the frame is written: a link that runs
        // pending events between characters may let a poll tick in, and
        // that tick must not put its own frame inside this one.
        const BusyScope busy(*this);
        m_writing = true;
        sent = SendCommand(frame, charDelayMs, afterDelayMs);
        bool lineGood = sent;
        while (!m_queuedFrames.empty()) {
            QueuedFrame next = std::move(m_queuedFrames.front());
            m_queuedFrames.pop_front();
            // Once the link failed, what waits is not sent either.
            if (lineGood) {
                lineGood = SendCommand(next.bytes, next.charDelayMs, next.afterDelayMs);
            }
            if (!lineGood) {
                unwritten.push_back(std::move(next));
            }
        }
        m_writing = false;
    }
    // This frame's own outcome: a queued frame that failed after it does
    // not make it unsent.
    FailUnwritten(unwritten);
    return sent;
}

void FamilyReceiver::FailUnwritten(const std::vector<QueuedFrame>& frames)
{
    bool failed = false;
    for (const QueuedFrame& frame : frames) {
        for (std::size_t at = 0; at < kWatched; ++at) {
            const auto field = static_cast<Watched>(at);
            if ((frame.fields & (1u << at)) != 0 && PendingOf(field) != -1 && PendingOf(field) == frame.values[at]) {
                GiveUp(field);
                failed = true;
            }
        }
    }
    if (!failed || IsConnected() == 0) {
        // Without a connection its loss is the report.
        return;
    }
    TraceError("request not written\n");
    RxReportChanges();
    ReportDataError(DataErrData);
}

std::string FamilyReceiver::ReadTraced(int delayMs, const ReplyComplete& complete)
{
    std::string reply = m_channel.Read(delayMs, complete);
    if (m_traceOpen) {
        std::string text(family::traceText(reply));
        text += '\n';
        TraceReceived(text);
    }
    return reply;
}

std::size_t FamilyReceiver::WholeRecords(std::string_view bytes) const
{
    if (!m_recordFinder) {
        return family::countRecords(bytes, m_recordEnd);
    }
    std::size_t count = 0;
    while (!bytes.empty()) {
        const RecordCut cut = m_recordFinder(bytes);
        const std::size_t length = std::min(cut.length, bytes.size());
        if (cut.kind == RecordCut::Wait || length == 0) {
            break;
        }
        // Noise and refused frames complete nothing: a read that meets them
        // waits its whole delay and hands everything over, as it always did.
        if (cut.kind == RecordCut::Take) {
            ++count;
        }
        bytes.remove_prefix(length);
    }
    return count;
}

ReplyComplete FamilyReceiver::Records(int count) const
{
    const auto wanted = static_cast<std::size_t>(std::max(count, 1));
    return [this, wanted](std::string_view received) { return WholeRecords(received) >= wanted; };
}

ReplyComplete FamilyReceiver::NoReply()
{
    return [](std::string_view received) { return received.empty(); };
}

void FamilyReceiver::Pause(int ms)
{
    platform::pauseMs(ms);
}

ConnErr FamilyReceiver::FailConnect(ConnErr code, std::string_view traceText)
{
    // A dialogue that fails with the link's last error after a read that
    // merely came back empty would otherwise report success.
    if (code == ConnectNoError) {
        code = ConnectRxTimeOut;
    }
    TraceConnectError(traceText);
    CloseLink(code);
    return code;
}

bool FamilyReceiver::PollAllowed()
{
    if (m_inDialogue) {
        ForgiveSilence();
        return false;
    }
    if (GiveUpPending()) {
        return false;
    }
    if (IsConnected() != 0 && DropUnendedReply()) {
        return false;
    }
    m_capture = 0;
    if (IsConnected() != 0 && !ReviewRequests()) {
        return false;
    }
    return IsLinkOpen() != 0;
}

bool FamilyReceiver::DropUnendedReply()
{
    // A reply cut short (a line that lost its end) would wait for an end
    // that never comes, and the next reply would be glued to it and read as
    // one. Bytes still unfinished a whole poll later, with no record taken
    // meanwhile, are dropped and reported as an unusable frame.
    // Line ends alone (the LF after a CR that ended the last record) are no
    // reply: they wait harmlessly for the next one.
    const bool unfinished = m_rxBuffer.find_first_not_of("\r\n") != std::string::npos;
    const bool stale = m_unfinishedAtPoll && unfinished && m_recordsTaken == m_recordsAtPoll;
    m_unfinishedAtPoll = unfinished && !stale;
    m_recordsAtPoll = m_recordsTaken;
    if (!stale) {
        return false;
    }
    m_rxBuffer.clear();
    TraceError("unended reply dropped\n");
    ReportDataError(DataErrFrame);
    return true;
}

bool FamilyReceiver::GiveUpPending()
{
    if (IsPending() == 0 || IsLinkOpen() == 0 || SilentTicks() != -1) {
        m_pendingTicks = 0;
        return false;
    }
    if (++m_pendingTicks > RxMaxSilentTicks()) {
        m_pendingTicks = 0;
        CloseLink(ConnectRxTimeOut);
        return true;
    }
    return false;
}

// ---- Change bookkeeping --------------------------------------------------------

void FamilyReceiver::ChangeFrq(std::uint32_t hz)
{
    if (m_current.FrqValue != hz) {
        m_current.FrqValue = hz;
        m_changed.FrqValue = 1;
    }
    if (m_requested.FrqValue == hz) {
        m_requested.FrqValue = 0xFFFFFFFFu;
    } else if (m_requested.FrqValue != 0xFFFFFFFFu) {
        Contradicted(Watched::Frq, static_cast<std::int32_t>(m_requested.FrqValue), static_cast<std::int32_t>(hz));
    }
}

void FamilyReceiver::ChangeMod(MODTYPE mod)
{
    if (mod == ModNone) {
        return;
    }
    if (m_current.ModType != mod) {
        m_current.ModType = mod;
        m_changed.ModType = 1;
    }
    if (m_requested.ModType == mod) {
        m_requested.ModType = ModNone;
    } else if (m_requested.ModType != ModNone) {
        Contradicted(Watched::Mod, m_requested.ModType, mod);
    }
}

void FamilyReceiver::ChangeBfo(std::int32_t hz)
{
    if (m_current.BFOValue != hz) {
        m_current.BFOValue = hz;
        m_changed.BFOValue = 1;
    }
    if (m_requested.BFOValue == hz) {
        m_requested.BFOValue = -1;
    }
}

void FamilyReceiver::ChangeFlt(std::int32_t hz)
{
    if (m_current.FltValue != hz) {
        m_current.FltValue = hz;
        m_changed.FltValue = 1;
    }
    if (m_requested.FltValue == hz) {
        m_requested.FltValue = -1;
    } else if (m_requested.FltValue != -1) {
        Contradicted(Watched::Flt, m_requested.FltValue, hz);
    }
}

void FamilyReceiver::ChangeAgc(AGCTYPE agc)
{
    if (agc == AgcNone) {
        return;
    }
    if (m_current.AgcType != agc) {
        m_current.AgcType = agc;
        m_changed.AgcType = 1;
    }
    if (m_requested.AgcType == agc) {
        m_requested.AgcType = AgcNone;
    } else if (m_requested.AgcType != AgcNone) {
        Contradicted(Watched::Agc, m_requested.AgcType, agc);
    }
}

void FamilyReceiver::ChangeAgcLevel(std::int16_t level)
{
    if (m_current.AgcLevel != level) {
        m_current.AgcLevel = level;
        m_changed.AgcLevel = 1;
    }
    if (m_requested.AgcLevel == level) {
        m_requested.AgcLevel = -1;
    }
}

void FamilyReceiver::ChangeChn(std::int16_t chn)
{
    if (m_current.ChnNumber != chn) {
        m_current.ChnNumber = chn;
        m_changed.ChnNumber = 1;
    }
}

void FamilyReceiver::ChangeNBl(NBLTYPE nbl)
{
    if (nbl == NBlNone) {
        return;
    }
    if (m_current.NBlType != nbl) {
        m_current.NBlType = nbl;
        m_changed.NBlType = 1;
    }
    if (m_requested.NBlType == nbl) {
        m_requested.NBlType = NBlNone;
    } else if (m_requested.NBlType != NBlNone) {
        Contradicted(Watched::NBl, m_requested.NBlType, nbl);
    }
}

void FamilyReceiver::ChangeAtt(ATTSTATE att, std::int16_t level)
{
    if (att == AttNone) {
        return;
    }
    if (m_current.AttState != att || m_current.AttLevel != level) {
        m_current.AttState = att;
        m_current.AttLevel = level;
        m_changed.AttState = 1;
    }
    if (m_requested.AttState == att) {
        m_requested.AttState = AttNone;
    } else if (m_requested.AttState != AttNone) {
        Contradicted(Watched::Att, m_requested.AttState, att);
    }
}

void FamilyReceiver::ChangeSql(SQLSTATE sql)
{
    if (sql == SqlNone) {
        return;
    }
    if (m_current.SqlState != sql) {
        m_current.SqlState = sql;
        m_changed.SqlState = 1;
    }
}

void FamilyReceiver::ChangeHFF(HFFSTATE hff)
{
    if (hff == HFFNone) {
        return;
    }
    if (m_current.HFFState != hff) {
        m_current.HFFState = hff;
        m_changed.HFFState = 1;
    }
    if (m_requested.HFFState == hff) {
        m_requested.HFFState = HFFNone;
    } else if (m_requested.HFFState != HFFNone) {
        Contradicted(Watched::HFF, m_requested.HFFState, hff);
    }
}

void FamilyReceiver::ChangeSMt(std::int32_t local, std::int16_t dbuv)
{
    if (local != m_smLocal) {
        m_smLocal = local;
        m_current.SMtLevel = dbuv;
        m_changed.SMtLevel = 1;
    }
}

void FamilyReceiver::UnflagBfo()
{
    m_changed.BFOValue = 0;
}

void FamilyReceiver::FlagMod()
{
    m_changed.ModType = 1;
}

void FamilyReceiver::ForgetControls()
{
    m_smLocal = -1;
    m_current.NBlType = NBlNone;
    m_current.SqlState = SqlNone;
    m_current.HFFState = HFFNone;
}

void FamilyReceiver::NoteRetune(std::int32_t receiverHzBefore, MODTYPE mode, std::uint32_t shownHz)
{
    m_retune = Retune{receiverHzBefore, mode, shownHz, 0};
}

bool FamilyReceiver::SentBeforeRetune(std::int32_t receiverHz, MODTYPE mode)
{
    if (!m_retune) {
        return false;
    }
    if (m_requested.FrqValue != m_retune->shownHz) {
        // Confirmed, given up or replaced by another request.
        m_retune.reset();
        return false;
    }
    if (mode != m_retune->mode || receiverHz != m_retune->receiverHzBefore ||
        m_retune->passed >= kRepliesCrossingRetune) {
        return false;
    }
    ++m_retune->passed;
    return true;
}

// ---- Requests the receiver keeps contradicting ------------------------------------

void FamilyReceiver::Watch(Watched field, std::int32_t value)
{
    const auto at = static_cast<std::size_t>(field);
    if (m_wrappedFailed && value != -1 && value == m_watchBefore[at].value && m_watch[at].value != value) {
        // The request before put back because the new one was not
        // written: it keeps its commands and its count.
        m_watch[at] = std::move(m_watchBefore[at]);
        m_watchBefore[at] = RequestWatch{};
        m_capture &= ~(1u << at);
        return;
    }
    m_watchBefore[at] = std::move(m_watch[at]);
    m_watch[at] = RequestWatch{};
    m_watch[at].value = value;
    // A cleared request (a send that failed) captures nothing.
    if (value != -1) {
        m_capture |= 1u << at;
    } else {
        m_capture &= ~(1u << at);
    }
}

std::int32_t FamilyReceiver::PendingOf(Watched field) const
{
    switch (field) {
    case Watched::Frq:
        return m_requested.FrqValue == 0xFFFFFFFFu ? -1 : static_cast<std::int32_t>(m_requested.FrqValue);
    case Watched::Mod: return m_requested.ModType;
    case Watched::Flt: return m_requested.FltValue;
    case Watched::Agc: return m_requested.AgcType;
    case Watched::NBl: return m_requested.NBlType;
    case Watched::Att: return m_requested.AttState;
    case Watched::HFF: return m_requested.HFFState;
    case Watched::Count: break;
    }
    return -1;
}

void FamilyReceiver::Contradicted(Watched field, std::int32_t pending, std::int32_t reported)
{
    // Only the replies of a standing connection count (a connect dialogue
    // reads the state the requests are measured against).
    if (IsConnected() == 0 || InDialogue()) {
        return;
    }
    RequestWatch& w = m_watch[static_cast<std::size_t>(field)];
    if (w.value != pending) {
        // A request recorded without Watch: watch it from here.
        w = RequestWatch{};
        w.value = pending;
    }
    if (w.round == m_parseRound && w.count > 0) {
        return;  // one count per status round
    }
    w.round = m_parseRound;
    if (w.count > 0 && w.against == reported) {
        ++w.count;
    } else {
        w.against = reported;
        w.count = 1;
    }
}

void FamilyReceiver::GiveUp(Watched field)
{
    switch (field) {
    case Watched::Frq:
        m_requested.FrqValue = 0xFFFFFFFFu;
        m_changed.FrqValue = 1;
        break;
    case Watched::Mod:
        m_requested.ModType = ModNone;
        m_changed.ModType = 1;
        break;
    case Watched::Flt:
        m_requested.FltValue = -1;
        m_changed.FltValue = 1;
        break;
    case Watched::Agc:
        m_requested.AgcType = AgcNone;
        m_changed.AgcType = 1;
        break;
    case Watched::NBl:
        m_requested.NBlType = NBlNone;
        m_changed.NBlType = 1;
        break;
    case Watched::Att:
        m_requested.AttState = AttNone;
        m_changed.AttState = 1;
        break;
    case Watched::HFF:
        m_requested.HFFState = HFFNone;
        m_changed.HFFState = 1;
        break;
    case Watched::Count: break;
    }
    m_watch[static_cast<std::size_t>(field)] = RequestWatch{};
}

void FamilyReceiver::DropRequests()
{
    for (std::size_t at = 0; at < kWatched; ++at) {
        const auto field = static_cast<Watched>(at);
        if (PendingOf(field) != -1) {
            GiveUp(field);
        }
    }
    m_capture = 0;
}

bool FamilyReceiver::ReviewRequests()
{
    if (InChannelTransfer()) {
        return true;
    }
    bool gaveUp = false;
    for (std::size_t at = 0; at < kWatched; ++at) {
        const auto field = static_cast<Watched>(at);
        RequestWatch& w = m_watch[at];
        const std::int32_t pending = PendingOf(field);
        if (pending == -1 || w.value != pending) {
            w = RequestWatch{};
            continue;
        }
        if (w.count < kContradictionsToResend) {
            continue;
        }
        if (!w.resent) {
            // Once more, exactly as it went out: a frame spoiled or lost on
            // the line reaches the receiver this time.
            w.resent = true;
            w.count = 0;
            const std::vector<std::string> commands = w.commands;
            if (commands.empty()) {
                continue;
            }
            TraceOutcome(" RESEND\n");
            const bool sent = SendWrappedAll(std::vector<std::string_view>(commands.begin(), commands.end()));
            if (sent) {
                continue;
            }
        }
        // The receiver holds something else, however often it is asked:
        // the request failed.
        GiveUp(field);
        gaveUp = true;
    }
    if (!gaveUp) {
        return true;
    }
    TraceError("request not confirmed\n");
    // The value the receiver holds first, then the failure; a client's
    // handler may reconnect or disconnect from inside either.
    RxReportChanges();
    ReportDataError(DataErrData);
    return false;
}

void FamilyReceiver::RxReportChanges()
{
    // Before the receiver's first status nothing is known: the flags wait.
    if (m_current.FrqValue == 0xFFFFFFFFu) {
        return;
    }
    // Fields the model does not have are never reported.
    const ModelInfo& info = *m_info;
    if (info.chnCount == 0) {
        m_changed.ChnNumber = 0;
    }
    if (info.atts == 0) {
        m_changed.AttState = 0;
        m_changed.AttLevel = 0;
    }
    if (info.nbls == 0) {
        m_changed.NBlType = 0;
        m_changed.NBlLevel = 0;
    }
    if (!info.squelch) {
        m_changed.SqlState = 0;
        m_changed.SqlLevel = 0;
    }
    if (!info.smeter) {
        m_changed.SMtLevel = 0;
    }
    if (!info.hfFilter) {
        m_changed.HFFState = 0;
    }
    // Each event is raised after its flag is cleared and with the values read
    // afresh: a client may reconnect or reconfigure from inside a handler.
    if (m_changed.ChnNumber != 0) {
        m_changed.ChnNumber = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxChnUpdated(m_index, m_current.ChnNumber);
        }
    }
    if (m_changed.FrqValue != 0 && m_current.FrqValue != 0xFFFFFFFFu) {
        m_changed.FrqValue = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxFrqUpdated(m_index, GetFrq(NONE), GetFrq(RXAsDisp));
        }
    }
    if (m_changed.ModType != 0 || m_changed.BFOValue != 0) {
        m_changed.ModType = 0;
        m_changed.BFOValue = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxModUpdated(m_index, m_current.ModType, m_current.BFOValue);
        }
    }
    if (m_changed.FltValue != 0) {
        m_changed.FltValue = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxFltUpdated(m_index, m_current.FltValue);
        }
    }
    if (m_changed.AgcType != 0 || m_changed.AgcLevel != 0) {
        m_changed.AgcType = 0;
        m_changed.AgcLevel = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxAgcUpdated(m_index, m_current.AgcType, m_current.AgcLevel);
        }
    }
    if ((m_changed.AttState != 0 || m_changed.AttLevel != 0) && m_current.AttState != AttNone) {
        m_changed.AttState = 0;
        m_changed.AttLevel = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxAttUpdated(m_index, m_current.AttState, m_current.AttLevel);
        }
    }
    if ((m_changed.NBlType != 0 || m_changed.NBlLevel != 0) && m_current.NBlType != NBlNone) {
        m_changed.NBlType = 0;
        m_changed.NBlLevel = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxNBlUpdated(m_index, m_current.NBlType, m_current.NBlLevel);
        }
    }
    if ((m_changed.SqlState != 0 || m_changed.SqlLevel != 0) && m_current.SqlState != SqlNone) {
        m_changed.SqlState = 0;
        m_changed.SqlLevel = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxSqlUpdated(m_index, m_current.SqlState, m_current.SqlLevel);
        }
    }
    if (m_changed.SMtLevel != 0 && m_smLocal >= 0) {
        m_changed.SMtLevel = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxSMtUpdated(m_index, GetFrq(NONE), static_cast<std::int16_t>(m_smLocal), m_current.SMtLevel,
                                SPointText());
        }
    }
    if (m_changed.HFFState != 0 && m_current.HFFState != HFFNone) {
        m_changed.HFFState = 0;
        if (DriverEvents* owner = Owner()) {
            owner->RxHFFUpdated(m_index, m_current.HFFState);
        }
    }
}

}  // namespace quorvin
