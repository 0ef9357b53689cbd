// "<instance> Serial settings": port COM1..COM12 (probed, absent ones
// disabled), speed, data and stop bits, parity including mark and space,
// the DSR/CTS test and, for addressed receivers, the Rx address. OK saves
// and accepts only when something changed; otherwise it ends as cancelled.
#pragma once

#include <QDialog>
#include <array>

#include "driver/links/seriallink.h"

class QCheckBox;
class QRadioButton;

namespace quorvin {

class AddressField;

class SerialSettingsDialog : public QDialog {
    Q_OBJECT
public:
    SerialSettingsDialog(SerialLink& link, const QString& instanceName, QWidget* parent = nullptr);

    // What the controls say now.
    SerialLink::Settings chosenSettings() const;

    // OK was pressed with nothing changed (the dialog still ends as
    // cancelled: nothing was saved).
    bool confirmedUnchanged() const { return m_confirmedUnchanged; }

public slots:
    void accept() override;

private:
    bool m_confirmedUnchanged = false;
    SerialLink& m_link;
    std::array<QRadioButton*, 12> m_ports{};
    std::array<QRadioButton*, 5> m_speeds{};
    QRadioButton* m_data7;
    QRadioButton* m_data8;
    QRadioButton* m_stop1;
    QRadioButton* m_stop2;
    std::array<QRadioButton*, 5> m_parities{};
    QCheckBox* m_testLink;
    AddressField* m_address;
};

}  // namespace quorvin
