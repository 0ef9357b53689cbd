// "Known frequency scanning selection": one check box per utility list
// (nineteen shown, the spare slots kept hidden so their values survive);
// OK saves the selection under the storage key, Cancel changes nothing.
#pragma once

#include <QDialog>
#include <array>

#include "freqdb/utilitylists.h"

class QCheckBox;

namespace lumaret {

class FrequencyData;

class UtilSelectionDialog : public QDialog {
    Q_OBJECT
public:
    explicit UtilSelectionDialog(FrequencyData& data, QWidget* parent = nullptr);

public slots:
    void accept() override;

private:
    FrequencyData& m_data;
    std::array<QCheckBox*, kSelectionSlots> m_boxes{};
};

}  // namespace lumaret
