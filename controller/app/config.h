// The options dialog `Config`: three tabs. "&Drivers" opens the driver
// library's configuration of the receivers, "&Receiver" the displayed
// receiver's own settings, "&General" holds the application's options as
// check boxes and the network server's settings. The options change only
// through OK, which stores them; Cancel changes nothing.
#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <vector>

#include "controller/core/appsettings.h"
#include "interfaces/ireceiverdriver.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace tessaly {

class Messages;

class Config : public QDialog {
    Q_OBJECT
public:
    enum Tab { DriversTab = 0, ReceiverTab = 1, GeneralTab = 2 };

    Config(const QString& appName, const AppSettings& settings, Options& options, quorvin::IReceiverDriver& driver,
           Messages& messages, QWidget* parent = nullptr);

    // The receiver whose settings the "&Receiver" tab configures.
    void setReceiver(std::int16_t index);
    std::int16_t receiver() const { return m_receiver; }
    bool cancelled() const { return m_cancelled; }
    // Fills the dialog from the options, as when it opens.
    void prepare();

    QTabWidget* tabs() const { return m_tabs; }
    QPushButton* driversButton() const { return m_drivers; }
    QPushButton* receiverButton() const { return m_receiverConfig; }

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildGeneral(QWidget* page);
    void configureDrivers();
    void configureReceiver();
    void captionReceiverTab();

    QString m_appName;
    const AppSettings& m_settings;
    Options& m_options;
    quorvin::IReceiverDriver& m_driver;
    Messages& m_messages;
    std::int16_t m_receiver = 0;
    bool m_cancelled = false;

    QTabWidget* m_tabs = nullptr;
    QPushButton* m_drivers = nullptr;
    QPushButton* m_receiverConfig = nullptr;
    std::vector<std::pair<const BoolOption*, QCheckBox*>> m_boxes;
    QLineEdit* m_ddeName = nullptr;
    QCheckBox* m_netOn = nullptr;
    QLineEdit* m_netAddress = nullptr;
    QSpinBox* m_netPort = nullptr;
    QSpinBox* m_netIdle = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

}  // namespace tessaly
