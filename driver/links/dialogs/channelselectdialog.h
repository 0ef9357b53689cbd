// "Communication channel selection": serial local port or TCP/IP remote
// port, then "&Next" to the chosen link's settings.
#pragma once

#include <QDialog>

#include "driver/links/commchannel.h"

class QRadioButton;

namespace quorvin {

class ChannelSelectDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChannelSelectDialog(CommChannel::Type type, QWidget* parent = nullptr);
    CommChannel::Type chosenType() const;

private:
    QRadioButton* m_serial;
    QRadioButton* m_socket;
};

}  // namespace quorvin
