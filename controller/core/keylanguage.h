// The keyboard command language of the main window: single letters, a
// number then a letter (12 then C recalls channel 12), a pending letter
// then "+", "-" or "B", arrows with Shift, Ctrl or Alt as step sizes, the
// numeric-pad walks through bands, known frequencies and banks, clipboard
// copy and paste. Keys it does not understand go to the driver's two-key
// commands and then to the typed frequency entry. Every key first reaches
// keyDown (by key code); when that does not consume it, keyPress (by
// character).
#pragma once

#include <QString>

#include <cstdint>

#include "digitmodel.h"
#include "interfaces/ifrequencydata.h"
#include "interfaces/ireceiverdriver.h"
#include "keystroke.h"

namespace tessaly {

// What the language needs of the window around it.
class KeyHost {
public:
    virtual ~KeyHost() = default;
    virtual void showKeyHelp() = 0;
    virtual void beepOnError() = 0;
    virtual void selectNextTab() = 0;
    virtual void nextRegion() = 0;
    // The digits show the receiver's frequency again; the typed text goes.
    virtual void showReceiverFrequency() = 0;
    // The walk labels; empty texts clear them.
    virtual void setWalkInfo(const QString& name, const QString& tip, const QString& position) = 0;
    virtual int localStep() = 0;
    virtual void setLocalStep(int hz) = 0;
    virtual int bandStep() = 0;
    virtual int bestMode() = 0;
    virtual int bestFilter() = 0;
    virtual void focusFrequencyField() = 0;
    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;
    virtual void openLog(bool storeEntry) = 0;
    virtual void openChannels() = 0;
    // Lets pending events run (between the writes of a walk).
    virtual void processEvents() = 0;
};

class KeyLanguage {
public:
    KeyLanguage(quorvin::IReceiverDriver& driver, lumaret::IFrequencyData& data, DigitModel& digits, KeyHost& host);

    void setReceiver(std::int16_t index) { m_rx = index; }
    std::int16_t receiver() const { return m_rx; }
    const QString& prefix() const { return m_prefix; }
    void clearPrefix() { m_prefix.clear(); }

    // True when the key is consumed.
    bool keyDown(const KeyStroke& key);
    bool keyPress(const KeyStroke& key);
    // One notch of the wheel: positive rotation steps down.
    void wheel(int rotation);

    // The band walk (also the band label's click).
    void bandWalk(bool up);
    // The next or previous memory channel (also the channel label's click).
    void channelStep(bool up);

private:
    bool isRemote();
    bool isConnected();
    std::int32_t frequency();
    void writeFrequency(double hz, quorvin::FRQTYPE kind = quorvin::NONE);
    void writeDigits(quorvin::FRQTYPE kind = quorvin::NONE);
    void stepFrequency(int delta);
    void listWalk(std::int32_t hz, int idx, int tot);
    void tuneWalk(std::int32_t hz, int mode, int filter);
    bool remoteKeyDown(const KeyStroke& key);
    bool letter(QChar upper);

    quorvin::IReceiverDriver& m_driver;
    lumaret::IFrequencyData& m_data;
    DigitModel& m_digits;
    KeyHost& m_host;
    std::int16_t m_rx = 0;
    QString m_prefix;
};

}  // namespace tessaly
