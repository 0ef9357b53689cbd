// "<instance> Socket settings": address or host name, TCP port, the ping
// test and, for addressed receivers, the Rx address. OK saves and accepts
// only when something changed; otherwise it ends as cancelled.
#pragma once

#include <QDialog>

#include "driver/links/socketlink.h"

class QCheckBox;
class QLineEdit;

namespace quorvin {

class AddressField;

class SocketSettingsDialog : public QDialog {
    Q_OBJECT
public:
    SocketSettingsDialog(SocketLink& link, const QString& instanceName, QWidget* parent = nullptr);

    // OK was pressed with nothing changed (the dialog still ends as
    // cancelled: nothing was saved).
    bool confirmedUnchanged() const { return m_confirmedUnchanged; }

public slots:
    void accept() override;

private:
    bool m_confirmedUnchanged = false;
    SocketLink& m_link;
    QLineEdit* m_address;
    QLineEdit* m_port;
    QCheckBox* m_pingTest;
    AddressField* m_busAddress;
};

}  // namespace quorvin
