// The row of five buttons under the frequency display that show and step
// the receiver's mode, filter, AGC, attenuator and noise blanker. Captions
// are written from driver values and events only; a click asks the driver
// for the next value, whose event then updates the caption. A button whose
// function the receiver lacks is greyed out and keeps its last caption.
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>

#include "interfaces/ireceiverdriver.h"

class QPushButton;

namespace tessaly {

class ModeButtons : public QWidget {
    Q_OBJECT
public:
    enum Code { Mode = 0, Filter = 1, Agc = 2, Attenuator = 3, NoiseBlanker = 4 };

    ModeButtons(quorvin::IReceiverDriver& driver, QWidget* parent = nullptr);

    void lockAll(bool locked);
    void refresh(std::int16_t index);
    void modUpdated(std::int16_t index, quorvin::MODTYPE mod);
    void filterUpdated(std::int16_t index, std::int32_t hz);
    void agcUpdated(std::int16_t index, quorvin::AGCTYPE agc, std::int16_t level);
    void nblUpdated(std::int16_t index, quorvin::NBLTYPE nbl, std::int16_t level);
    void attUpdated(std::int16_t index, quorvin::ATTSTATE att, std::int16_t level);
    QPushButton* button(Code code) const { return m_buttons[code]; }
    // The receiver shown last offers the function (from its capability answers).
    bool offers(Code code) const { return m_offered[code]; }

signals:
    void clicked(int code);

private:
    void applyEnabled();

    quorvin::IReceiverDriver& m_driver;
    std::array<QPushButton*, 5> m_buttons{};
    std::array<bool, 5> m_offered{true, true, true, true, true};
    bool m_locked = false;
};

}  // namespace tessaly
