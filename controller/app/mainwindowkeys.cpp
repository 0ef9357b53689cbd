// Main window: what the key language asks of the window, the label
// clicks, the mode buttons and the forwarding boxes.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QTabBar>

#include "channelwindow.h"
#include "clicklabel.h"
#include "controller/core/modestep.h"
#include "frequencydisplay.h"
#include "keyhelpwindow.h"
#include "logwindow.h"
#include "mainwindow.h"
#include "messages.h"
#include "modebuttons.h"

namespace tessaly {

using namespace quorvin;

void MainWindow::connectClicks()
{
    const auto left = [](Qt::MouseButton b) { return b == Qt::LeftButton; };
    connect(m_lock, &ClickLabel::clicked, this, [this] {
        std::int32_t connected = 0;
        m_driver->get_RxIsConnected(m_receiver, &connected);
        if (connected != 0) {
            focusFrequencyField();
            std::int32_t result = 0;
            m_driver->RxRemote(m_receiver, isRemote(m_receiver) ? 0 : -1, &result);
        }
    });
    connect(m_hff, &ClickLabel::clicked, this, [this] {
        HFFSTATE state = HFFNone;
        m_driver->get_RxHFFSts(m_receiver, &state);
        const bool on = state == HFFOff;
        m_driver->put_RxHFFSts(m_receiver, on ? HFFOn : HFFOff);
        m_hff->setStyleSheet(on ? QStringLiteral("background: #00ff00;") : QStringLiteral("background: #ff0000;"));
    });
    connect(m_fdif, &ClickLabel::clicked, this, [this] {
        if (m_fdif->isVisible() && !m_fdif->text().isEmpty()) {
            std::int32_t exact = -1;
            m_data->get_FreqExact(&exact);
            if (exact >= 0) {
                m_driver->put_RxFrq(m_receiver, NONE, exact);
            }
        }
    });
    connect(m_bmod, &ClickLabel::clicked, this, [this] {
        if (m_bestMode >= 0) {
            m_driver->put_RxMod(m_receiver, static_cast<MODTYPE>(m_bestMode));
        }
    });
    connect(m_bflt, &ClickLabel::clicked, this, [this] {
        if (m_bestFilter > 0) {
            m_driver->put_RxFltBW(m_receiver, m_bestFilter);
        }
    });
    connect(m_sm, &ClickLabel::clicked, this, [this] {
        m_dbuv = !m_dbuv;
        refreshSMeter();
    });
    connect(m_falt, &ClickLabel::clicked, this, [this] {
        m_channelView = !m_channelView;
        m_falt->setToolTip(m_channelView ? QStringLiteral("Filter tied channelized frequency")
                                         : QStringLiteral("Fixed channelized frequency"));
        m_falt->setStyleSheet(QStringLiteral("color: %1; background: #303030;")
                                  .arg(m_channelView ? QStringLiteral("#ffc080") : QStringLiteral("#ffe0c0")));
        std::int32_t f = -1;
        m_driver->get_RxFrq(m_receiver, NONE, &f);
        channelViewUpdate(f);
    });
    connect(m_rng, &ClickLabel::clicked, this, [this] { nextRegion(); });
    connect(m_band, &ClickLabel::clicked, this, [this, left](Qt::MouseButton b) {
        if (isRemote(m_receiver)) {
            m_keys->bandWalk(left(b));
        }
    });
    connect(m_display->bfo(), &ClickLabel::clicked, this, [this, left](Qt::MouseButton b) {
        std::int32_t bfo = 0;
        m_driver->get_RxBFO(m_receiver, &bfo);
        m_driver->put_RxBFO(m_receiver, bfo + (left(b) ? 100 : -100));
    });
    connect(m_vstep[0], &ClickLabel::clicked, this, [this, left](Qt::MouseButton b) {
        setLocalStep(std::clamp(m_localStep + (left(b) ? 100 : -100), 100, 30000));
    });
    connect(m_vchn, &ClickLabel::clicked, this, [this, left](Qt::MouseButton b) {
        if (isRemote(m_receiver)) {
            m_keys->channelStep(left(b));
        }
    });
    for (int i = 0; i < 4; ++i) {
        connect(m_io[static_cast<std::size_t>(i)], &ClickLabel::clicked, this, [this, i] {
            std::int32_t state = 0;
            m_driver->get_RxOut(m_receiver, static_cast<std::int16_t>(i), &state);
            m_driver->put_RxOut(m_receiver, static_cast<std::int16_t>(i), state == 0 ? -1 : 0);
        });
    }
    connect(m_display, &FrequencyDisplay::digitClicked, this, [this](int i) {
        setFocus();
        m_keys->clearPrefix();
        m_digits.clearTyped();
        m_digits.focus(i, true);
    });
    connect(m_display, &FrequencyDisplay::frameClicked, this, [this] { focusFrequencyField(); });
    connect(m_modes, &ModeButtons::clicked, this, &MainWindow::onModeButton);
    for (int b = 0; b < 2; ++b) {
        connect(m_forward[static_cast<std::size_t>(b)], &QCheckBox::clicked, this, [this, b] { onForwardBox(b); });
    }
}

void MainWindow::onModeButton(int code)
{
    focusFrequencyField();
    if (code >= ModeButtons::Mode && code <= ModeButtons::NoiseBlanker) {
        stepFunction(*m_driver, m_receiver, static_cast<StepFunction>(code));
    }
}

void MainWindow::onForwardBox(int box)
{
    focusFrequencyField();
    m_forwardRole.fill(false);
    QCheckBox* self = m_forward[static_cast<std::size_t>(box)];
    QCheckBox* other = m_forward[static_cast<std::size_t>(1 - box)];
    if (self->isChecked()) {
        m_driver->put_RxForward(box == 0 ? m_receiver : static_cast<std::int16_t>(-2));
        self->setStyleSheet(QStringLiteral("background: #ffff00;"));
        other->setChecked(false);
        other->setStyleSheet(QString());
        if (box == 0) {
            m_forwardRole[static_cast<std::size_t>(m_receiver)] = true;
        }
    } else {
        m_driver->put_RxForward(-1);
        self->setStyleSheet(QString());
    }
}

void MainWindow::showKeyHelp()
{
    if (m_help != nullptr) {
        m_help->open();
    }
}

void MainWindow::beepOnError()
{
    if (m_options.OptBeep) {
        m_messages.beep();
    }
}

void MainWindow::selectNextTab()
{
    const int count = m_tabs->count();
    if (count > 0) {
        selectReceiver((m_tabs->currentIndex() + 1) % count);
    }
}

void MainWindow::nextRegion()
{
    std::int16_t region = 0;
    m_data->get_BandRegionNext(&region);
    m_rng->setText(QStringLiteral("R%1").arg(region + 1));
    std::int32_t f = -1;
    m_driver->get_RxFrq(m_receiver, NONE, &f);
    std::int32_t found = 0;
    m_data->get_BandLook(f, &found);
    if (found != 0) {
        std::string name;
        m_data->get_BandName(&name);
        m_band->setText(QString::fromStdString(name));
    }
}

void MainWindow::showReceiverFrequency()
{
    m_digits.clearTyped();
    std::int32_t f = -1;
    m_driver->get_RxFrq(m_receiver, NONE, &f);
    m_digits.setValue(f);
}

void MainWindow::setWalkInfo(const QString& name, const QString& tip, const QString& position)
{
    m_ibank->setText(name);
    m_ibank->setToolTip(tip);
    m_vbank->setText(position);
    m_vbank->setVisible(!position.isEmpty());
}

void MainWindow::setLocalStep(int hz)
{
    m_localStep = hz;
    m_vstep[0]->setText(QString::number(hz) + QStringLiteral("Hz"));
}

void MainWindow::focusFrequencyField()
{
    if (m_digits.selected() >= 0) {
        m_digits.unselect(true);
    }
    setFocus();
}

QString MainWindow::clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

void MainWindow::setClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->clear();
    QGuiApplication::clipboard()->setText(text);
}

void MainWindow::openLog(bool storeEntry)
{
    if (m_log != nullptr) {
        m_log->open(m_receiver, storeEntry);
    }
}

void MainWindow::openChannels()
{
    // Shown, modal, once the receiver listed its channels.
    if (m_channels != nullptr && !m_channels->isVisible() && m_channels->load(m_receiver)) {
        m_channels->exec();
    }
}

void MainWindow::processEvents()
{
    QCoreApplication::processEvents();
}

}  // namespace tessaly
