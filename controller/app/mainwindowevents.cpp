// Main window: the display of the selected receiver, the driver's events,
// the timers and the digit links.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QTabBar>

#include <cmath>

#include "channelwindow.h"
#include "clicklabel.h"
#include "config.h"
#include "frequencydisplay.h"
#include "mainwindow.h"
#include "messages.h"
#include "modebuttons.h"

namespace tessaly {

using namespace quorvin;

namespace {

QString tintColour(Tint t)
{
    switch (t) {
    case Tint::Orange: return QStringLiteral("#ffc080");
    case Tint::PaleOrange: return QStringLiteral("#ffe0c0");
    case Tint::LightCyan: return QStringLiteral("#80ffff");
    case Tint::Yellow: return QStringLiteral("#ffff00");
    case Tint::Red: return QStringLiteral("#ff0000");
    case Tint::Green: return QStringLiteral("#00ff00");
    case Tint::Grey: return QStringLiteral("#808080");
    case Tint::Neutral: break;
    }
    return QString();
}

}  // namespace

std::int16_t MainWindow::receiverCount()
{
    std::int16_t count = 0;
    if (!m_driver || m_driver->get_RxCount(&count) != S_OK) {
        return 0;
    }
    return count;
}

bool MainWindow::validIndex(std::int16_t index)
{
    // The window's tables hold 8 receivers; an event for any other index,
    // or for one the configuration does not have, is dropped.
    return m_modes != nullptr && index >= 0 && index < kMaxReceivers && index < receiverCount();
}

bool MainWindow::linkError(int index) const
{
    return index >= 0 && index < kMaxReceivers && m_linkError[static_cast<std::size_t>(index)];
}

bool MainWindow::isRemote(std::int16_t index)
{
    std::int32_t remote = 0;
    m_driver->get_RxIsRemote(index, &remote);
    return remote != 0;
}

bool MainWindow::isCurrentAndConnected(std::int16_t index)
{
    std::int32_t connected = 0;
    m_driver->get_RxIsConnected(index, &connected);
    return index == m_receiver && connected != 0;
}

void MainWindow::selectReceiver(int tab)
{
    if (!m_driver || tab < 0 || tab >= receiverCount() || tab >= kMaxReceivers) {
        return;
    }
    m_receiver = static_cast<std::int16_t>(tab);
    if (m_keys) {
        m_keys->setReceiver(m_receiver);
    }
    if (m_tabs->currentIndex() != tab) {
        const bool was = m_started;
        m_started = false;
        m_tabs->setCurrentIndex(tab);
        m_started = was;
    }
    if (m_options.OptDDELink) {
        openDigitLinks();
    }
    focusFrequencyField();
    refresh(m_receiver);
}

void MainWindow::refresh(std::int16_t r)
{
    if (!m_driver || r < 0 || r >= kMaxReceivers) {
        return;
    }
    std::int32_t max = 0, min = 0, step = 1;
    m_driver->get_RxFrqMax(r, &max);
    m_driver->get_RxFrqMin(r, &min);
    m_driver->get_RxFrqStp(r, &step);
    m_digits.boundary(max, min, step);
    std::int32_t connected = 0;
    m_driver->get_RxIsConnected(r, &connected);
    if (connected != 0) {
        m_display->mask()->hide();
    }
    m_forward[0]->setStyleSheet(m_forwardRole[static_cast<std::size_t>(r)] ? QStringLiteral("background: #ffff00;")
                                                                           : QString());
    applyRemoteState();
    showBfoState();
    std::int32_t bfo = 0;
    m_driver->get_RxBFO(r, &bfo);
    m_digits.setBfoValue(bfo);
    std::int32_t f = -1;
    m_driver->get_RxFrq(r, NONE, &f);
    m_digits.setValue(f);
    QString caption = title();
    std::string name, rom;
    m_driver->get_RxName(r, &name);
    m_driver->get_RxRomID(r, &rom);
    caption += QLatin1Char(' ') + QString::fromStdString(name);
    if (!rom.empty()) {
        caption += QStringLiteral(" [Type: ") + QString::fromStdString(rom) + QLatin1Char(']');
    }
    setWindowTitle(caption);
    SQLSTATE sql = SqlNone;
    m_driver->get_RxSqlSts(r, &sql);
    m_sq->setVisible(sql == SqlOn);
    refreshSMeter();
    refreshOutputs();
    m_hff->hide();
    std::int32_t hff = 0;
    m_driver->get_RxHFFExist(r, &hff);
    if (hff != 0) {
        HFFSTATE state = HFFNone;
        m_driver->get_RxHFFSts(r, &state);
        m_hff->setStyleSheet(state == HFFOff ? QStringLiteral("background: #ff0000;")
                                             : QStringLiteral("background: #00ff00;"));
        m_hff->show();
    }
    m_ichn->hide();
    m_vchn->hide();
    std::int16_t channels = 0;
    m_driver->get_RxChnCount(r, &channels);
    if (channels != 0) {
        m_ichn->show();
        m_vchn->show();
        std::int16_t chn = -1;
        m_driver->get_RxChn(r, &chn);
        m_vchn->setText(channelText(chn, channels));
    }
    bandUpdate(f, false);
    channelViewUpdate(f);
}

void MainWindow::applyRemoteState()
{
    std::int32_t connected = 0;
    m_driver->get_RxIsConnected(m_receiver, &connected);
    const bool rm = isRemote(m_receiver);
    const bool locked = connected == 0 || !rm;
    m_digits.lock(locked);
    m_modes->lockAll(locked);
    for (QWidget* w : std::initializer_list<QWidget*>{m_display->bfo(), m_bflt, m_bmod, m_ichn, m_vchn, m_hff}) {
        w->setEnabled(rm);
    }
    m_lock->setToolTip(rm ? QStringLiteral("Click to disable remote control")
                          : QStringLiteral("Click to enable remote control"));
    m_lock->setPixmap(padlockPicture(rm));
    refreshOutputs();
    m_modes->refresh(m_receiver);
}

void MainWindow::showBfoState()
{
    MODTYPE mod = ModNone;
    m_driver->get_RxMod(m_receiver, &mod);
    std::int32_t isBfo = 0;
    m_driver->get_RxIsBFOMod(m_receiver, mod, &isBfo);
    m_digits.setBfoState(isBfo != 0);
    m_display->bfo()->setVisible(isBfo != 0);
}

void MainWindow::refreshSMeter()
{
    std::string text;
    m_driver->get_RxSMtLvl(m_receiver, m_dbuv ? dBuV : SPoint, &text);
    m_sm->setText(QString::fromStdString(text));
}

void MainWindow::refreshOutputs()
{
    std::int16_t n = 0;
    m_driver->get_RxOutCount(m_receiver, &n);
    const bool rm = isRemote(m_receiver);
    for (int i = 0; i < 4; ++i) {
        auto* io = m_io[static_cast<std::size_t>(i)];
        io->setVisible(i < n);
        if (i >= n) {
            continue;
        }
        QString style;
        if (rm) {
            std::int32_t state = 0;
            m_driver->get_RxOut(m_receiver, static_cast<std::int16_t>(i), &state);
            style = state == 0 ? QStringLiteral("background: #ff0000;") : QStringLiteral("background: #00ff00;");
        }
        io->setStyleSheet(style);
    }
}

void MainWindow::bandUpdate(double f, bool manual)
{
    if (f < 0 || m_bandBusy || !m_data) {
        return;
    }
    m_bandBusy = true;
    m_fdif->hide();
    std::int32_t step = 1;
    m_driver->get_RxFrqStp(m_receiver, &step);
    const BandAdvice a = bandAdvice(*m_data, f, step);
    m_localStep = std::max<int>(m_localStep, step);
    m_vstep[0]->setText(QString::number(m_localStep) + QStringLiteral("Hz"));
    m_bandStep = a.bandStep;
    m_vstep[1]->setText(QString::number(m_bandStep) + QStringLiteral("Hz"));
    m_band->setText(a.text);
    m_band->setStyleSheet(QStringLiteral("color: %1; background: #303030;").arg(tintColour(a.tint)));
    if (a.showDiff) {
        m_fdif->setText(QString::number(a.diff));
        m_fdif->show();
    }
    m_bestMode = a.bestMode;
    m_bestFilter = a.bestFilter;

    std::int16_t forward = -1;
    m_driver->get_RxForward(&forward);
    MODTYPE mod = ModNone;
    m_driver->get_RxMod(m_receiver, &mod);
    std::int32_t filter = 0;
    m_driver->get_RxFltBW(m_receiver, &filter);
    if (forward == -1 && !isRemote(m_receiver) && manual) {
        const MODTYPE suggested = autoMode(m_bestMode, mod);
        if (m_options.OptAutoMode && suggested != ModNone) {
            m_driver->put_RxMod(m_receiver, suggested);
        }
        if (m_options.OptAutoFilter && m_bestFilter > 0 && m_bestFilter != filter) {
            m_driver->put_RxFltBW(m_receiver, m_bestFilter);
        }
        m_driver->get_RxMod(m_receiver, &mod);
        m_driver->get_RxFltBW(m_receiver, &filter);
    }
    m_bmod->hide();
    if (m_bestMode >= 0 && mod != m_bestMode) {
        std::string name;
        m_data->ModeName(static_cast<lumaret::BESTMODE>(m_bestMode), &name);
        m_bmod->setText(QString::fromStdString(name));
        m_bmod->show();
    }
    m_bflt->hide();
    if (m_bestFilter > 0 && filter != m_bestFilter) {
        m_bflt->setText(QString::number(m_bestFilter));
        m_bflt->show();
    }
    m_bandBusy = false;
}

void MainWindow::channelViewUpdate(double f)
{
    std::int32_t displayed = -1;
    m_driver->get_RxFrq(m_receiver, RXAsDisp, &displayed);
    m_digits.assigned(std::llround(f) != displayed);
    std::int32_t channel = -1;
    m_driver->get_RxFrq(m_receiver, m_channelView ? CHNSpace : ITUSpace, &channel);
    m_falt->setText(channel >= 0 ? khzFixed(channel) : QString());
}

void MainWindow::setTimUpd(int divisor)
{
    // No receiver (or none in error): the timer keeps its last period.
    if (divisor > 0) {
        m_timUpd.setInterval(static_cast<int>(std::lround(500.0 / divisor)));
    } else if (m_timUpd.interval() <= 0) {
        m_timUpd.setInterval(500);
    }
}

void MainWindow::onUpdateTick()
{
    const std::int16_t count = receiverCount();
    const std::int16_t cursor = m_retryCursor;
    if (cursor < count && m_linkError[static_cast<std::size_t>(cursor)]) {
        m_linkError[static_cast<std::size_t>(cursor)] = false;
        showConnecting(cursor);
        ConnErr result = ConnectNoError;
        m_driver->RxConnect(cursor, -1, &result);
        QCoreApplication::processEvents();
    }
    m_retryCursor = static_cast<std::int16_t>((m_retryCursor + 1) & 7);
    if (m_retryCursor >= receiverCount()) {
        m_retryCursor = 0;
    }
}

void MainWindow::onBlinkTick()
{
    std::int32_t connected = 0;
    m_driver->get_RxIsConnected(m_receiver, &connected);
    if (connected == 0) {
        m_display->mask()->setVisible(!m_display->mask()->isVisible());
    }
    if (m_options.OptDDELink && ++m_linkTicks % 2 == 0) {
        openDigitLinks();
    }
}

void MainWindow::openDigitLinks()
{
    QStringList names;
    const std::int16_t count = receiverCount();
    for (std::int16_t i = 0; i < count && i < kMaxReceivers; ++i) {
        std::string name;
        m_driver->get_RxName(i, &name);
        names << QString::fromStdString(name);
    }
    m_links.open(m_options.OptDDEName, names);
    m_ddests->setStyleSheet(m_links.isConnected(m_receiver) ? QStringLiteral("background: #808080;") : QString());
}

void MainWindow::onDigitText(int receiver, const QString& text)
{
    if (!m_driver || receiver < 0 || receiver >= kMaxReceivers || receiver >= receiverCount()) {
        return;
    }
    const auto i = static_cast<std::int16_t>(receiver);
    std::int32_t connected = 0;
    m_driver->get_RxIsConnected(i, &connected);
    if (connected == 0 || !isRemote(i)) {
        return;
    }
    const DigitAction action = feedDigitText(m_digitBuffers[static_cast<std::size_t>(i)], text);
    std::int32_t f = -1;
    m_driver->get_RxFrq(i, NONE, &f);
    switch (action.kind) {
    case DigitAction::Tune: {
        // The range is checked on the value asked, before any conversion.
        std::int32_t lo = 0, hi = 0;
        m_driver->get_RxFrqMin(i, &lo);
        m_driver->get_RxFrqMax(i, &hi);
        if (action.hz > lo && action.hz < hi) {
            m_driver->put_RxFrq(i, NONE, static_cast<std::int32_t>(std::llround(action.hz)));
        }
        break;
    }
    case DigitAction::Up100:
        if (f >= 0) {
            m_driver->put_RxFrq(i, NONE, f + 100);
        }
        break;
    case DigitAction::Down100:
        if (f >= 100) {
            m_driver->put_RxFrq(i, NONE, f - 100);
        }
        break;
    case DigitAction::None: break;
    }
}

void MainWindow::onDrvUpdated(std::int32_t)
{
    if (!m_modes || m_closed) {
        return;
    }
    // The receivers are new: nothing kept per receiver index still holds.
    m_forwardRole.fill(false);
    m_linkError.fill(false);
    m_freshConnection.fill(false);
    for (auto& buffer : m_digitBuffers) {
        buffer.clear();
    }
    m_retryCursor = 0;
    setTimUpd(receiverCount());
    // The receiver numbers may mean other receivers now.
    if (m_channels != nullptr) {
        m_channels->abandon();
    }
    buildTabs();
    if (m_closed) {
        return;
    }
    const int count = m_tabs->count();
    m_receiver = static_cast<std::int16_t>(std::clamp<int>(m_receiver, 0, std::max(0, count - 1)));
    if (m_keys) {
        m_keys->setReceiver(m_receiver);
    }
    if (count > 0) {
        selectReceiver(m_receiver);
    } else {
        // No receiver left: nothing to tune or step.
        m_digits.lock(true);
        m_modes->lockAll(true);
        m_display->mask()->setText(QString::fromLatin1(kNotConnected));
        m_display->mask()->show();
    }
    if (m_configDialog != nullptr) {
        m_configDialog->setReceiver(m_receiver);
    }
    if (m_options.OptDDELink) {
        openDigitLinks();
    }
    applyServers();
}

void MainWindow::onConnState(std::int16_t index, ConnErr err)
{
    const auto slot = static_cast<std::size_t>(index);
    if (err == ConnectNoError) {
        m_linkError[slot] = false;
        m_freshConnection[slot] = true;
        if (m_started && m_tabs->count() > index) {
            selectReceiver(index);
        }
    } else if (err == ConnectObjectError) {
        m_linkError[slot] = false;
    } else {
        m_linkError[slot] = true;
    }
    const int inError = static_cast<int>(std::count(m_linkError.begin(), m_linkError.end(), true));
    if (inError > 0 && inError <= receiverCount()) {
        setTimUpd(inError);
    }
    if (m_tabs->count() > index) {
        m_tabs->setTabTextColor(index, isRemote(index) ? QColor(0, 128, 0) : QColor());
    }
    if (index != m_receiver) {
        return;
    }
    if (err == ConnectNoError) {
        m_display->mask()->hide();
        if (m_options.OptSendTime) {
            m_driver->put_RxTime(m_receiver, std::string());
        }
    } else {
        const MaskText mask = connectionMask(err);
        m_display->mask()->setText(mask.text);
        m_display->mask()->setStyleSheet(QStringLiteral("color: %1; background: black;").arg(tintColour(mask.tint)));
    }
    refresh(m_receiver);
}

void MainWindow::onFrqUpdated(std::int16_t index, std::int32_t frq)
{
    const bool fresh = m_freshConnection[static_cast<std::size_t>(index)];
    m_freshConnection[static_cast<std::size_t>(index)] = false;
    if (index == m_receiver) {
        std::int32_t connected = 0;
        m_driver->get_RxIsConnected(index, &connected);
        if (connected != 0) {
            m_digits.setValue(frq);
            bandUpdate(frq, !fresh);
            channelViewUpdate(frq);
        }
        return;
    }
    std::int16_t forward = -1;
    m_driver->get_RxForward(&forward);
    if (m_options.OptMonitorChanges && forward == -1 && m_started && m_tabs->count() > index) {
        selectReceiver(index);
    }
}

void MainWindow::onChnUpdated(std::int16_t index, std::int16_t chn)
{
    if (index != m_receiver) {
        return;
    }
    std::int16_t count = 0;
    m_driver->get_RxChnCount(index, &count);
    m_vchn->setText(channelText(chn, count));
}

void MainWindow::onModUpdated(std::int16_t index, MODTYPE mod, std::int32_t bfo)
{
    if (!isCurrentAndConnected(index)) {
        return;
    }
    m_digits.setBfoValue(bfo);
    m_modes->modUpdated(index, mod);
    // A new mode may bring its own filter and AGC.
    m_modes->refresh(index);
    showBfoState();
    std::int32_t f = -1;
    m_driver->get_RxFrq(m_receiver, NONE, &f);
    bandUpdate(f, false);
    channelViewUpdate(f);
}

void MainWindow::onFltUpdated(std::int16_t index, std::int32_t flt)
{
    if (!isCurrentAndConnected(index)) {
        return;
    }
    m_bflt->hide();
    if (m_bestFilter > 0 && flt != m_bestFilter) {
        m_bflt->setText(QString::number(m_bestFilter));
        m_bflt->show();
    }
    m_modes->filterUpdated(index, flt);
    std::int32_t f = -1;
    m_driver->get_RxFrq(m_receiver, NONE, &f);
    channelViewUpdate(f);
}

void MainWindow::onSqlUpdated(std::int16_t index, SQLSTATE sql)
{
    if (isCurrentAndConnected(index)) {
        m_sq->setVisible(sql == SqlOn);
    }
}

void MainWindow::onSMtUpdated(std::int16_t index, std::int16_t dbuv, const std::string& spoint)
{
    if (isCurrentAndConnected(index)) {
        m_sm->setText(m_dbuv ? QString::number(dbuv) : QString::fromStdString(spoint));
    }
}

void MainWindow::onOutUpdated(std::int16_t index, std::int16_t num)
{
    // Four indicators: outputs 4 and above (a model may have ten) and other
    // receivers' outputs are not shown.
    if (index != m_receiver || num < 0 || num >= 4) {
        return;
    }
    std::int16_t count = 0;
    m_driver->get_RxOutCount(m_receiver, &count);
    if (num < count) {
        auto* io = m_io[static_cast<std::size_t>(num)];
        io->setVisible(true);
        std::int32_t state = 0;
        m_driver->get_RxOut(m_receiver, num, &state);
        io->setStyleSheet(isRemote(m_receiver) ? (state == 0 ? QStringLiteral("background: #ff0000;")
                                                             : QStringLiteral("background: #00ff00;"))
                                               : QString());
    }
    if (count >= 1) {
        for (int i = 0; i < 4 && i < count; ++i) {
            if (i != num) {
                m_io[static_cast<std::size_t>(i)]->setStyleSheet(QStringLiteral("background: #ff0000;"));
            }
        }
    }
}

void MainWindow::onStpUpdated(std::int16_t index)
{
    if (isCurrentAndConnected(index)) {
        refresh(m_receiver);
    }
}

void MainWindow::onRmtState(std::int16_t index, std::int32_t sts)
{
    if (m_tabs->count() > index) {
        m_tabs->setTabTextColor(index, sts != 0 ? QColor(0, 128, 0) : QColor());
    }
    applyRemoteState();
    showBfoState();
}

void MainWindow::onChnStatus(std::int16_t index, std::int16_t chn, std::int32_t frq, std::int32_t bfo, std::int32_t mod,
                             std::int32_t flt, std::int32_t agc, std::int32_t msk)
{
    // The channel window takes the statuses of the receiver it shows, even
    // while the main window switched to another one.
    if (m_channels != nullptr) {
        m_channels->channelStatus(index, chn, frq, bfo, mod, flt, agc, msk);
    }
}

}  // namespace tessaly
