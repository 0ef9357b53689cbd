// The main window of Tessaly: start-up and shutdown, one tab per receiver,
// the display of the selected receiver, the driver's events, the two
// timers, the label clicks and the digit links. The logic it uses lives in
// controller/core; this class wires it to the widgets and the libraries.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

#include "controller/core/appsettings.h"
#include "controller/core/digitlinks.h"
#include "controller/core/digitmodel.h"
#include "controller/core/displayrules.h"
#include "controller/core/keylanguage.h"
#include "interfaces/ifrequencydata.h"
#include "interfaces/ireceiverdriver.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTabBar;

namespace tessaly {

class ChannelWindow;
class ClickLabel;
class Config;
class FileChooser;
class FrequencyDisplay;
class KeyHelpWindow;
class LogWindow;
class Messages;
class ModeButtons;
class ReceiverServers;

// Where the two components come from (tests name missing ones).
struct ComponentNames {
    QString driverLibrary;
    QString driverClass;
    QString dataLibrary;
    QString dataClass;
    static ComponentNames standard();
};

class MainWindow : public QWidget, private KeyHost {
    Q_OBJECT
public:
    static constexpr int kMaxReceivers = 8;
    enum class StartResult { Running, Usage, Cleaned, Error, Abandoned };

    explicit MainWindow(Messages& messages, ComponentNames components = ComponentNames::standard(),
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the start-up; the window is to be shown only when Running.
    StartResult startUp(const QString& argumentText);
    // The orderly end: disconnects every receiver, saves the position.
    void shutDown();

    static QString title();
    const QString& instanceName() const { return m_appName; }
    std::int16_t currentReceiver() const { return m_receiver; }
    quorvin::IReceiverDriver* driver() const { return m_driver.get(); }
    DigitModel& digits() { return m_digits; }
    KeyLanguage* keys() const { return m_keys.get(); }
    const Options& options() const { return m_options; }
    Options& options() { return m_options; }
    QTabBar* tabs() const { return m_tabs; }
    const QTimer& updateTimer() const { return m_timUpd; }
    bool linkError(int index) const;
    bool isAbandoned() const { return m_abandon; }
    void selectReceiver(int tab);
    // The window's event connection, for tests that play the driver.
    quorvin::IReceiverDriverEvents* eventSink() const;
    // The memory-channel and log windows (created at start-up).
    ChannelWindow* channelWindow() const { return m_channels; }
    LogWindow* logWindow() const { return m_log; }
    ModeButtons* modeButtons() const { return m_modes; }
    // The options dialog (created at start-up) and the network servers.
    Config* configDialog() const { return m_configDialog; }
    ReceiverServers* servers() const { return m_servers.get(); }
    // The "&Config." button: ends forwarding and shows the options dialog.
    void openOptions();

protected:
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class Sink;
    friend class Sink;

    // start-up pieces (mainwindow.cpp)
    void buildWidgets();
    StartResult fail(const QString& text);
    void buildTabs();
    // Connects the receivers one per turn of the event loop (a connect
    // dialogue lets no user input in while it waits for its receiver).
    void startConnecting();
    void connectNext(unsigned round);
    // "Connecting..." over the display of the selected receiver, painted at
    // once: a connect dialogue may wait without painting.
    void showConnecting(std::int16_t index);
    void layoutTabs();
    void resetLabels();
    void applyOnTop();

    // display and events (mainwindowevents.cpp)
    bool validIndex(std::int16_t index);
    std::int16_t receiverCount();
    bool isCurrentAndConnected(std::int16_t index);
    bool isRemote(std::int16_t index);
    void refresh(std::int16_t r);
    void applyRemoteState();
    void refreshOutputs();
    void refreshSMeter();
    void bandUpdate(double f, bool manual);
    void channelViewUpdate(double f);
    void showBfoState();
    void setTimUpd(int divisor);
    void onUpdateTick();
    void onBlinkTick();
    void openDigitLinks();
    void onDigitText(int receiver, const QString& text);
    void onDrvUpdated(std::int32_t count);
    void onConnState(std::int16_t index, quorvin::ConnErr err);
    void onFrqUpdated(std::int16_t index, std::int32_t frq);
    void onChnUpdated(std::int16_t index, std::int16_t chn);
    void onModUpdated(std::int16_t index, quorvin::MODTYPE mod, std::int32_t bfo);
    void onFltUpdated(std::int16_t index, std::int32_t flt);
    void onSqlUpdated(std::int16_t index, quorvin::SQLSTATE sql);
    void onSMtUpdated(std::int16_t index, std::int16_t dbuv, const std::string& spoint);
    void onOutUpdated(std::int16_t index, std::int16_t num);
    void onStpUpdated(std::int16_t index);
    void onRmtState(std::int16_t index, std::int32_t sts);
    void onChnStatus(std::int16_t index, std::int16_t chn, std::int32_t frq, std::int32_t bfo, std::int32_t mod,
                     std::int32_t flt, std::int32_t agc, std::int32_t msk);

    // options, forwarding and the network servers (mainwindowoptions.cpp)
    void createOptions();
    void endForwarding();
    void applyServers();
    QStringList receiverNames();

    // keys and clicks (mainwindowkeys.cpp)
    void connectClicks();
    void onModeButton(int code);
    void onForwardBox(int box);
    void showKeyHelp() override;
    void beepOnError() override;
    void selectNextTab() override;
    void nextRegion() override;
    void showReceiverFrequency() override;
    void setWalkInfo(const QString& name, const QString& tip, const QString& position) override;
    int localStep() override { return m_localStep; }
    void setLocalStep(int hz) override;
    int bandStep() override { return m_bandStep; }
    int bestMode() override { return m_bestMode; }
    int bestFilter() override { return m_bestFilter; }
    void focusFrequencyField() override;
    QString clipboardText() override;
    void setClipboardText(const QString& text) override;
    void openLog(bool storeEntry) override;
    void openChannels() override;
    void processEvents() override;

    Messages& m_messages;
    ComponentNames m_components;
    QString m_appName;
    AppSettings m_settings{QString()};
    Options m_options;
    std::unique_ptr<quorvin::IReceiverDriver> m_driver;
    std::unique_ptr<lumaret::IFrequencyData> m_data;
    std::unique_ptr<Sink> m_sink;
    std::uint32_t m_cookie = 0;
    std::unique_ptr<KeyLanguage> m_keys;
    DigitModel m_digits;
    DigitLinks m_links;

    std::int16_t m_receiver = 0;
    std::array<bool, kMaxReceivers> m_linkError{};
    std::array<bool, kMaxReceivers> m_forwardRole{};
    std::array<QString, kMaxReceivers> m_digitBuffers;
    // Set at a connection: the first frequency report only says where the
    // receiver stands and is no manual tuning.
    std::array<bool, kMaxReceivers> m_freshConnection{};
    // Start-up connects: which round (a rebuilt tab strip starts a new one)
    // and the next receiver of it.
    unsigned m_connectRound = 0;
    std::int16_t m_connectNext = 0;
    bool m_abandon = false;
    bool m_started = false;
    bool m_closed = false;
    std::int16_t m_retryCursor = 0;
    int m_linkTicks = 0;
    bool m_dbuv = false;
    bool m_channelView = false;
    int m_bestMode = -1;
    int m_bestFilter = 0;
    bool m_bandBusy = false;
    int m_localStep = 500;
    int m_bandStep = 500;
    QTimer m_timUpd;
    QTimer m_timBlk;

    // widgets, named as the operator's manual names them
    QTabBar* m_tabs = nullptr;
    FrequencyDisplay* m_display = nullptr;
    ClickLabel* m_lock = nullptr;
    ClickLabel* m_falt = nullptr;
    ClickLabel* m_band = nullptr;
    ClickLabel* m_fdif = nullptr;
    ClickLabel* m_bmod = nullptr;
    ClickLabel* m_bflt = nullptr;
    ClickLabel* m_rng = nullptr;
    ClickLabel* m_sm = nullptr;
    QLabel* m_sq = nullptr;
    ClickLabel* m_hff = nullptr;
    std::array<ClickLabel*, 4> m_io{};
    QLabel* m_ibank = nullptr;
    QLabel* m_vbank = nullptr;
    std::array<ClickLabel*, 2> m_vstep{};
    QLabel* m_ichn = nullptr;
    ClickLabel* m_vchn = nullptr;
    QLabel* m_lchn = nullptr;
    QLabel* m_ddests = nullptr;
    ModeButtons* m_modes = nullptr;
    std::array<QCheckBox*, 2> m_forward{};
    QPushButton* m_config = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
    KeyHelpWindow* m_help = nullptr;
    std::unique_ptr<FileChooser> m_files;
    ChannelWindow* m_channels = nullptr;
    LogWindow* m_log = nullptr;
    Config* m_configDialog = nullptr;
    std::unique_ptr<ReceiverServers> m_servers;
};

}  // namespace tessaly
