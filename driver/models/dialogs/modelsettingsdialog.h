// "<instance> Receiver settings": the stored settings of one receiver
// instance as its model offers them (polling, the model's options, its
// filter slots), built from the model's description. OK checks every value
// against its range (a value out of range is named in a message and the
// dialog stays open), writes only what changed and puts it in force; with
// nothing changed it ends as if cancelled. Cancel changes nothing.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>

#include <vector>

#include "driver/models/modelsettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace quorvin {

class FamilyReceiver;

class ModelSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ModelSettingsDialog(FamilyReceiver& receiver, QWidget* parent = nullptr);

    void accept() override;

private:
    struct Control {
        SettingField field;
        QLineEdit* edit = nullptr;
        QCheckBox* check = nullptr;
        QComboBox* combo = nullptr;
        QWidget* widget() const;
    };

    QWidget* makeControl(Control& control);
    // REK085: the filter widths follow the variant chosen.
    void showVariantWidths(int variant);
    void tell(const std::string& text);
    // OK while the receiver is engaged (a click can come in while it waits
    // for its receiver): OK is tried again shortly, for a while, before
    // the operator is told.
    bool waitForReceiver();

    static constexpr int kRetryMs = 20;
    static constexpr int kWaitLimitMs = 10000;

    FamilyReceiver& m_rx;
    std::vector<Control> m_controls;
    QElapsedTimer m_waiting;
    bool m_retryArmed = false;
};

}  // namespace quorvin
