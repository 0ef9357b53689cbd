// The nine-digit frequency display and every rule of digit entry: digit
// by digit (a selected digit stepped, overwritten or moved), typed
// kilohertz with up to three decimals, and the value limits and step of
// the displayed receiver. It never talks to a receiver: a key handler
// answers whether the key produced a new frequency (processed), and the
// caller then reads the value and writes it to the receiver. A view
// listens to `changed` and redraws from the accessors.
#pragma once

#include <QString>

#include <array>
#include <functional>

#include "keystroke.h"

namespace tessaly {

class DigitModel {
public:
    static constexpr int kDigits = 9;
    enum class Dot { Red, Green, Orange };

    struct KeyResult {
        bool processed = false;  // a new value is shown: the caller writes it
        bool consumed = false;  // the key is spent; nobody else sees it
    };

    DigitModel();

    // First active digit from the maximum's length, last from the step's.
    void boundary(double maximum, double minimum, double step);
    double maximum() const { return m_maximum; }
    double minimum() const { return m_minimum; }
    int firstActive() const { return m_first; }
    int lastActive() const { return m_last; }

    // Sum of the digits times their weights; blanks and "x" count 0.
    double readValue() const;
    // Writes v into the digits without looking at the limits.
    void showValue(double v);
    // -1: no value ("x" everywhere, BFO empty). Otherwise shown only
    // within [minimum, maximum]; false when refused.
    bool setValue(double v);
    QChar digit(int i) const { return m_digits[static_cast<std::size_t>(i)]; }
    QString text() const;  // the nine characters

    void setBfoValue(int hz);
    const QString& bfoText() const { return m_bfo; }
    void setBfoState(bool on);
    bool bfoOn() const { return m_bfoOn; }

    void lock(bool on);
    bool locked() const { return m_locked; }
    bool isActive(int i) const { return i >= m_first && i <= m_last; }

    // Digit i selected (on) or no longer selected.
    void focus(int i, bool on);
    int selected() const { return m_selected; }
    // Clears the selection; toFocusField false selects the last digit.
    void unselect(bool toFocusField);
    Dot dot() const { return m_dot; }

    // Green shades when the requested frequency differs from the displayed one.
    void assigned(bool flag);
    bool isAssigned() const { return m_assigned; }

    // 1 when ":" was typed (ITU-spaced channel frequency), else 0; clears it.
    int takeChannelized();
    bool channelized() const { return m_channelized; }
    bool drm() const { return m_drm; }

    const QString& typedText() const { return m_typed; }
    void clearTyped();
    // The typed value as an integer: -1 when nothing is typed, 1000 when it
    // exceeds 30000. Empties the typed text.
    int takeTypedNumber();

    // Keys on the selected digit `index` (moved by Left/Right); `value` is
    // the receiver's current frequency.
    KeyResult keyDown(int& index, const KeyStroke& key, double value);
    KeyResult keyPress(int& index, QChar ch, double value);
    // Characters typed while no digit is selected.
    KeyResult processKey(QChar ch, double value);

    std::function<void()> changed;

private:
    static double weight(int i);
    static double typedValue(const QString& typed);
    void showClamped(double v);
    void notify();

    std::array<QChar, kDigits> m_digits;
    double m_maximum = 29999999;
    double m_minimum = 0;
    int m_first = 0;
    int m_last = 8;
    int m_selected = -1;
    Dot m_dot = Dot::Red;
    bool m_locked = false;
    bool m_assigned = false;
    bool m_channelized = false;
    bool m_drm = false;
    QString m_typed;
    QString m_bfo;
    bool m_bfoOn = false;
};

}  // namespace tessaly
