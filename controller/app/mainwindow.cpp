// Main window: widgets, start-up, tabs, shutdown.
#include "mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "channelwindow.h"
#include "clicklabel.h"
#include "config.h"
#include "controller/core/commandline.h"
#include "controller/core/receiverservers.h"
#include "filechooser.h"
#include "frequencydisplay.h"
#include "interfaces/component.h"
#include "keyhelpwindow.h"
#include "logwindow.h"
#include "mainwindowsink.h"
#include "messages.h"
#include "modebuttons.h"
#include "platform/componentloader.h"
#include "tessalyversion.h"

namespace tessaly {

using namespace quorvin;

ComponentNames ComponentNames::standard()
{
    return {QString::fromLatin1(kQuorvinLibraryFile), QString::fromLatin1(kReceiverDriverClassId),
            QString::fromLatin1(kLumaretLibraryFile), QString::fromLatin1(kFrequencyDataClassId)};
}

QString MainWindow::title()
{
    return QStringLiteral("Tessaly %1.%2.%3 - Receiver")
        .arg(TESSALY_VERSION_MAJOR)
        .arg(TESSALY_VERSION_MINOR)
        .arg(TESSALY_VERSION_REVISION);
}

MainWindow::MainWindow(Messages& messages, ComponentNames components, QWidget* parent)
    : QWidget(parent), m_messages(messages), m_components(std::move(components))
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(title());
    setFocusPolicy(Qt::StrongFocus);
    m_digits.changed = [this] {
        if (m_display != nullptr) {
            m_display->refresh();
        }
    };
    buildWidgets();
    connect(&m_timUpd, &QTimer::timeout, this, &MainWindow::onUpdateTick);
    connect(&m_timBlk, &QTimer::timeout, this, &MainWindow::onBlinkTick);
    connect(&m_links, &DigitLinks::textReceived, this, &MainWindow::onDigitText);
    connect(&m_links, &DigitLinks::stateChanged, this, [this] {
        if (m_ddests != nullptr) {
            m_ddests->setStyleSheet(m_links.isConnected(m_receiver) ? QStringLiteral("background: #808080;")
                                                                    : QString());
        }
    });
}

MainWindow::~MainWindow()
{
    m_timUpd.stop();
    m_timBlk.stop();
    m_links.close();
    m_keys.reset();
    // The servers and the dialog use the driver: they go first.
    m_servers.reset();
    delete m_configDialog;
    m_configDialog = nullptr;
    if (m_driver) {
        if (m_cookie != 0) {
            m_driver->Unadvise(m_cookie);
        }
        m_driver.reset();
    }
    m_data.reset();
}

namespace {

ClickLabel* infoLabel(const QString& name, const QString& tip, QWidget* parent, int minWidth = 0)
{
    auto* l = new ClickLabel(name, parent);
    l->setToolTip(tip);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumHeight(24);
    if (minWidth > 0) {
        l->setMinimumWidth(minWidth);
    }
    return l;
}

}  // namespace

void MainWindow::buildWidgets()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->setSpacing(4);

    m_tabs = new QTabBar(this);
    m_tabs->setObjectName(QStringLiteral("TabStrip"));
    m_tabs->setFocusPolicy(Qt::NoFocus);
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(true);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (m_started && index >= 0) {
            selectReceiver(index);
        }
    });
    root->addWidget(m_tabs);

    auto* frequencyRow = new QHBoxLayout;
    m_lock = new ClickLabel(QStringLiteral("LockImg"), this);
    m_lock->setFixedSize(34, 40);
    m_lock->setAlignment(Qt::AlignCenter);
    m_lock->setPixmap(padlockPicture(false));
    m_lock->setToolTip(QStringLiteral("Click to enable remote control"));
    frequencyRow->addWidget(m_lock);
    m_display = new FrequencyDisplay(m_digits, this);
    frequencyRow->addWidget(m_display, 1);
    root->addLayout(frequencyRow);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(4);
    m_falt = infoLabel(QStringLiteral("FAlt"), QStringLiteral("Fixed channelized frequency"), this, 90);
    m_band = infoLabel(QStringLiteral("Band"), QStringLiteral("Band plan or known frequency (click: next band)"), this);
    m_band->setMinimumWidth(200);
    m_fdif = infoLabel(QStringLiteral("FDif"), QStringLiteral("Offset from the known frequency (click: tune to it)"),
                       this, 44);
    m_bmod = infoLabel(QStringLiteral("BMod"), QStringLiteral("Best mode (click to set it)"), this, 48);
    m_bflt = infoLabel(QStringLiteral("BFlt"), QStringLiteral("Best filter (click to set it)"), this, 48);
    grid->addWidget(m_falt, 0, 0);
    grid->addWidget(m_band, 0, 1, 1, 5);
    grid->addWidget(m_fdif, 0, 6);
    grid->addWidget(m_bmod, 0, 7);
    grid->addWidget(m_bflt, 0, 8);

    m_sm = infoLabel(QStringLiteral("SM"), QStringLiteral("S-meter (click: S-points or dBuV)"), this, 90);
    m_sq = infoLabel(QStringLiteral("SQ"), QStringLiteral("Squelch"), this);
    m_sq->setText(QStringLiteral("Squelch is on"));
    m_hff = infoLabel(QStringLiteral("HFF"), QStringLiteral("HF preselector (click to switch)"), this, 36);
    m_hff->setText(QStringLiteral("HF"));
    auto* ioBox = new QHBoxLayout;
    ioBox->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        m_io[static_cast<std::size_t>(i)] = infoLabel(
            QStringLiteral("IO%1").arg(i), QStringLiteral("Receiver output %1 (click to switch)").arg(i), this, 22);
        m_io[static_cast<std::size_t>(i)]->setText(QString::number(i));
        ioBox->addWidget(m_io[static_cast<std::size_t>(i)]);
    }
    m_rng = infoLabel(QStringLiteral("RNG"), QStringLiteral("Band plan region (click: next region)"), this, 30);
    grid->addWidget(m_sm, 1, 0);
    grid->addWidget(m_sq, 1, 1);
    grid->addWidget(m_hff, 1, 2);
    grid->addLayout(ioBox, 1, 3);

    auto* stepLabel = new QLabel(QStringLiteral("Step"), this);
    stepLabel->setObjectName(QStringLiteral("IStep"));
    stepLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_vstep[0] =
        infoLabel(QStringLiteral("VStep0"),
                  QStringLiteral("Local step, Left/Right (left click +100 Hz, right click -100 Hz)"), this, 60);
    m_vstep[1] = infoLabel(QStringLiteral("VStep1"), QStringLiteral("Band step, Up/Down"), this, 60);
    m_ichn = new QLabel(QStringLiteral("Chn"), this);
    m_ichn->setObjectName(QStringLiteral("IChn"));
    m_ichn->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_vchn = infoLabel(QStringLiteral("VChn"), QStringLiteral("Memory channel (left click next, right click previous)"),
                       this, 40);
    m_lchn = infoLabel(QStringLiteral("LChn"), QStringLiteral("Channel being read"), this, 36);
    m_ibank = new QLabel(this);
    m_ibank->setObjectName(QStringLiteral("IBank"));
    m_vbank = infoLabel(QStringLiteral("VBank"), QStringLiteral("Position in the list"), this, 60);
    m_ddests = infoLabel(QStringLiteral("DDESts"), QStringLiteral("Digit link of the receiver"), this, 44);
    m_ddests->setText(QStringLiteral("DTMF"));

    grid->addWidget(stepLabel, 1, 4);
    grid->addWidget(m_vstep[0], 1, 5);
    grid->addWidget(m_vstep[1], 1, 6);
    grid->addWidget(m_rng, 1, 7);
    grid->addWidget(m_ddests, 1, 8);

    auto* lower = new QHBoxLayout;
    lower->addWidget(m_ichn);
    lower->addWidget(m_vchn);
    lower->addWidget(m_lchn);
    lower->addSpacing(12);
    lower->addWidget(m_ibank);
    lower->addWidget(m_vbank);
    lower->addStretch(1);
    root->addLayout(grid);

    root->addLayout(lower);
    // The mode buttons join this row once the driver exists.
    m_buttonRow = new QHBoxLayout;
    root->addLayout(m_buttonRow);
    m_forward[0] = new QCheckBox(QStringLiteral("&MST"), this);
    m_forward[0]->setObjectName(QStringLiteral("GenEvent0"));
    m_forward[0]->setToolTip(QStringLiteral("Define as Master and forward any changes to the slave receivers"));
    m_forward[1] = new QCheckBox(QStringLiteral("&FWD"), this);
    m_forward[1]->setObjectName(QStringLiteral("GenEvent1"));
    m_forward[1]->setToolTip(QStringLiteral("Forward any change made on any receiver to all other receivers"));
    m_config = new QPushButton(QStringLiteral("&Config."), this);
    m_config->setObjectName(QStringLiteral("Config"));
    m_config->setToolTip(QStringLiteral("Configure parameters"));
    m_config->setEnabled(false);  // until the options exist
    for (QWidget* w :
         {static_cast<QWidget*>(m_forward[0]), static_cast<QWidget*>(m_forward[1]), static_cast<QWidget*>(m_config)}) {
        w->setFocusPolicy(Qt::NoFocus);
    }
    setMinimumWidth(600);
}

quorvin::IReceiverDriverEvents* MainWindow::eventSink() const
{
    return m_sink.get();
}

MainWindow::StartResult MainWindow::fail(const QString& text)
{
    m_messages.message(QStringLiteral("Tessaly"), text, Messages::Icon::Critical);
    m_abandon = true;
    return StartResult::Error;
}

MainWindow::StartResult MainWindow::startUp(const QString& argumentText)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct CursorBack {
        ~CursorBack() { QApplication::restoreOverrideCursor(); }
    } cursorBack;

    const CommandLine line = parseCommandLine(argumentText);
    if (line.action == CommandLine::Action::Usage) {
        m_messages.message(QStringLiteral("Tessaly"), usageMessage(), Messages::Icon::Information);
        m_abandon = true;
        return StartResult::Usage;
    }
    if (line.action == CommandLine::Action::Clean) {
        m_messages.message(QStringLiteral("Tessaly"), cleanMessage(line.instance), Messages::Icon::Information);
        AppSettings(line.instance).deleteInstance();
        m_abandon = true;
        return StartResult::Cleaned;
    }
    m_appName = line.instance;
    m_settings = AppSettings(m_appName);

    // The receiver driver.
    {
        auto loaded =
            platform::loadComponent(m_components.driverLibrary.toStdString(), m_components.driverClass.toStdString());
        if (loaded.object == nullptr) {
            return fail(QStringLiteral("Error: Receiver Control (Quorvin.dll) not found"));
        }
        m_driver.reset(static_cast<IReceiverDriver*>(loaded.object));
        m_sink = std::make_unique<Sink>(*this);
        m_driver->Advise(m_sink.get(), &m_cookie);
        std::int32_t configured = 0;
        // An empty configuration opens the driver's selection dialog, where
        // the operator builds it: with the normal pointer, not the busy one.
        QApplication::restoreOverrideCursor();
        const HRESULT configuredResult = m_driver->DrvConfigure(m_appName.toStdString(), ConfLoad, &configured);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (configuredResult != S_OK) {
            return fail(QStringLiteral("Error: Receiver Control (Quorvin.dll) not found"));
        }
        if (configured == 0) {
            return fail(QStringLiteral("Error: No configured receiver found"));
        }
    }
    // The frequency database.
    {
        const QString missing = QStringLiteral("Error: Frequency control (Lumaret.dll) not found");
        auto loaded =
            platform::loadComponent(m_components.dataLibrary.toStdString(), m_components.dataClass.toStdString());
        if (loaded.object == nullptr) {
            return fail(missing);
        }
        m_data.reset(static_cast<lumaret::IFrequencyData*>(loaded.object));
        std::int32_t stored = 0;
        std::int16_t region = 0;
        if (m_data->StorageKey(m_appName.toStdString(), &stored) != S_OK || m_data->put_BandRegion(0) != S_OK ||
            m_data->get_BandRegion(&region) != S_OK) {
            return fail(missing);
        }
        m_rng->setText(QStringLiteral("R%1").arg(region + 1));
    }

    move(m_settings.readNumber("MainLeft", 1000) / kTwipsPerPixel,
         m_settings.readNumber("MainTop", 1000) / kTwipsPerPixel);
    m_linkError.fill(false);
    m_forwardRole.fill(false);

    // Secondary windows and controllers.
    m_options.load(m_settings);
    m_help = new KeyHelpWindow(m_settings, title(), this);
    m_files = std::make_unique<DialogFileChooser>(m_messages);
    m_channels = new ChannelWindow(m_messages, *m_files, this);
    m_channels->init(m_driver.get());
    m_channels->setWindowFlag(Qt::WindowStaysOnTopHint, m_options.OptOnTop);
    connect(m_channels, &ChannelWindow::indicator, this, [this](const QString& text) {
        m_lchn->setText(text);
        m_lchn->setVisible(!text.isEmpty());
    });
    m_log = new LogWindow(m_messages, this);
    m_log->init(m_driver.get());
    m_modes = new ModeButtons(*m_driver, this);
    m_buttonRow->addWidget(m_modes, 1);
    m_buttonRow->addSpacing(8);
    m_buttonRow->addWidget(m_forward[0]);
    m_buttonRow->addWidget(m_forward[1]);
    m_buttonRow->addWidget(m_config);
    m_keys = std::make_unique<KeyLanguage>(*m_driver, *m_data, m_digits, static_cast<KeyHost&>(*this));
    connectClicks();
    createOptions();
    m_digits.boundary(999999999, 0, 1);
    m_digits.lock(false);
    m_digits.setValue(-1);
    m_digits.assigned(false);

    setWindowTitle(title());
    resetLabels();
    m_channelView = false;

    buildTabs();
    if (m_abandon) {
        return StartResult::Abandoned;
    }

    QCoreApplication::processEvents();
    if (m_closed) {
        return StartResult::Abandoned;
    }
    m_started = true;
    m_receiver = 0;
    if (m_tabs->count() > 0) {
        m_tabs->setCurrentIndex(0);
        selectReceiver(0);
    }
    layoutTabs();
    if (m_options.OptDDELink) {
        openDigitLinks();
    }
    setTimUpd(receiverCount());
    m_timUpd.start();
    m_timBlk.setInterval(800);
    m_timBlk.start();
    applyOnTop();
    applyServers();
    setFocus();
    // The receivers connect once the window runs, one per turn of the event
    // loop, so the window paints and takes input between them.
    startConnecting();
    return StartResult::Running;
}

void MainWindow::buildTabs()
{
    const bool wasStarted = m_started;
    m_started = false;
    while (m_tabs->count() > 0) {
        m_tabs->removeTab(0);
    }
    const std::int16_t count = receiverCount();
    if (count == 0) {
        setWindowTitle(title() + QStringLiteral(" NONE"));
        m_digits.setValue(-1);
    }
    for (std::int16_t i = 0; i < count && i < kMaxReceivers; ++i) {
        std::string name;
        m_driver->get_RxName(i, &name);
        const int tab = m_tabs->addTab(QStringLiteral("&") + QString::fromStdString(name));
        m_tabs->setTabToolTip(tab, QStringLiteral("Select receiver"));
    }
    for (int b = 0; b < 2; ++b) {
        m_forward[static_cast<std::size_t>(b)]->setEnabled(count >= 2);
        m_forward[static_cast<std::size_t>(b)]->setChecked(false);
        m_forward[static_cast<std::size_t>(b)]->setStyleSheet(QString());
    }
    m_started = wasStarted;
    // At start-up the window is shown first; startUp begins the connects.
    if (m_started) {
        startConnecting();
    }
}

void MainWindow::startConnecting()
{
    ++m_connectRound;
    m_connectNext = 0;
    QTimer::singleShot(0, this, [this, round = m_connectRound] { connectNext(round); });
}

void MainWindow::showConnecting(std::int16_t index)
{
    if (index != m_receiver) {
        return;
    }
    m_display->mask()->setText(QString::fromLatin1(kConnecting));
    m_display->mask()->setStyleSheet(QStringLiteral("color: #ffc080; background: black;"));
    m_display->mask()->show();
    m_display->mask()->repaint();
}

void MainWindow::connectNext(unsigned round)
{
    if (round != m_connectRound || m_closed || m_abandon || !m_driver) {
        return;
    }
    const std::int16_t i = m_connectNext;
    if (i >= receiverCount() || i >= kMaxReceivers) {
        return;
    }
    ++m_connectNext;
    showConnecting(i);
    ConnErr result = ConnectNoError;
    m_driver->RxConnect(i, -1, &result);
    if (result == ConnectObjectError) {
        // No link can be made on this machine: start-up ends here.
        m_abandon = true;
        close();
        return;
    }
    // A handler may have closed the window or rebuilt the tabs meanwhile.
    if (round != m_connectRound || m_closed) {
        return;
    }
    // The next receiver after the input that came in meanwhile.
    QTimer::singleShot(0, this, [this, round] { connectNext(round); });
}

void MainWindow::layoutTabs()
{
    const int width = std::max(60, this->width() / 9);
    m_tabs->setStyleSheet(QStringLiteral("QTabBar::tab { min-width: %1px; height: 23px; }").arg(width - 12));
}

void MainWindow::resetLabels()
{
    const QString neutral;
    for (QWidget* w : std::initializer_list<QWidget*>{m_falt, m_band, m_bmod, m_bflt, m_rng, m_sm, m_ibank, m_vbank,
                                                      m_vchn, m_lchn, m_fdif, m_sq, m_vstep[0], m_vstep[1]}) {
        w->setStyleSheet(neutral);
    }
    m_falt->setStyleSheet(QStringLiteral("color: #ffe0c0; background: #303030;"));
    m_band->setStyleSheet(QStringLiteral("color: #80ffff; background: #303030;"));
    m_display->mask()->setText(QString::fromLatin1(kNotConnected));
    m_display->mask()->setStyleSheet(QStringLiteral("color: #ffc080; background: black;"));
    m_localStep = 500;
    m_bandStep = 500;
    m_vstep[0]->setText(QStringLiteral("500Hz"));
    m_vstep[1]->setText(QStringLiteral("500Hz"));
    m_fdif->hide();
    m_sq->hide();
    m_vbank->hide();
    m_lchn->hide();  // shown while the channel window reads channels
    m_bmod->hide();
    m_bflt->hide();
    m_ddests->setVisible(m_options.OptDDELink);
}

void MainWindow::applyOnTop()
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, m_options.OptOnTop);
    if (visible) {
        show();
    }
}

bool MainWindow::event(QEvent* e)
{
    if (e->type() == QEvent::KeyPress && m_keys) {
        auto* k = static_cast<QKeyEvent*>(e);
        KeyStroke key;
        key.key = k->key();
        key.shift = k->modifiers() & Qt::ShiftModifier;
        key.ctrl = k->modifiers() & Qt::ControlModifier;
        key.alt = k->modifiers() & Qt::AltModifier;
        key.keypad = k->modifiers() & Qt::KeypadModifier;
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: key.ch = QLatin1Char('\r'); break;
        case Qt::Key_Escape: key.ch = QChar(27); break;
        case Qt::Key_Backspace: key.ch = QLatin1Char('\b'); break;
        case Qt::Key_Tab: key.ch = QLatin1Char('\t'); break;
        default:
            if (key.ctrl && k->key() >= Qt::Key_A && k->key() <= Qt::Key_Z) {
                key.ch = QChar(k->key() - Qt::Key_A + 1);
            } else if (!k->text().isEmpty() && !key.alt) {
                key.ch = k->text().at(0);
            }
        }
        if (!m_keys->keyDown(key) && !key.ch.isNull()) {
            m_keys->keyPress(key);
        }
        return true;
    }
    return QWidget::event(e);
}

void MainWindow::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (m_keys && delta != 0) {
        const int notches = std::max(1, std::abs(delta) / 120);
        for (int i = 0; i < notches; ++i) {
            m_keys->wheel(delta);
        }
    }
    event->accept();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    shutDown();
    QWidget::closeEvent(event);
}

void MainWindow::shutDown()
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_links.close();
    m_timBlk.stop();
    m_timUpd.stop();
    if (m_log != nullptr) {
        m_log->hide();
    }
    if (m_channels != nullptr) {
        m_channels->abandon();
    }
    if (m_help != nullptr) {
        m_help->hide();
    }
    if (m_servers) {
        m_servers->stop();  // no client reaches a receiver being handed back
    }
    if (!m_abandon && m_driver) {
        const std::int16_t count = receiverCount();
        for (std::int16_t i = 0; i < count; ++i) {
            ConnErr result = ConnectNoError;
            m_driver->RxConnect(i, 0, &result);
            QCoreApplication::processEvents();
        }
        m_settings.writeNumber("MainLeft", pos().x() * kTwipsPerPixel);
        m_settings.writeNumber("MainTop", pos().y() * kTwipsPerPixel);
        m_settings.writeNumber("MainWidth", width() * kTwipsPerPixel);
        m_settings.writeNumber("MainHeight", height() * kTwipsPerPixel);
    }
    QApplication::restoreOverrideCursor();
    QCoreApplication::processEvents();
}

}  // namespace tessaly
