// Mode, filter, AGC, attenuator and noise-blanker buttons.
#include "modebuttons.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace tessaly {

using namespace quorvin;

ModeButtons::ModeButtons(IReceiverDriver& driver, QWidget* parent) : QWidget(parent), m_driver(driver)
{
    setObjectName(QStringLiteral("ModEvent"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    const char* const tips[5] = {"Cycle through Modes settings", "Cycle through Filters settings",
                                 "Cycle through AGC settings", "Cycle through Attenuator settings",
                                 "Cycle through Noise Blanker settings"};
    for (int i = 0; i < 5; ++i) {
        auto* b = new QPushButton(QStringLiteral("----"), this);
        b->setObjectName(QStringLiteral("ModEvent%1").arg(i));
        b->setToolTip(QLatin1String(tips[i]));
        b->setFocusPolicy(Qt::NoFocus);
        b->setMinimumHeight(30);
        connect(b, &QPushButton::clicked, this, [this, i] { emit clicked(i); });
        m_buttons[static_cast<std::size_t>(i)] = b;
        row->addWidget(b);
    }
}

void ModeButtons::lockAll(bool locked)
{
    m_locked = locked;
    applyEnabled();
}

void ModeButtons::applyEnabled()
{
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        m_buttons[i]->setEnabled(!m_locked && m_offered[i]);
    }
}

void ModeButtons::refresh(std::int16_t r)
{
    std::int32_t exists = 0;
    // A function the receiver has answers for some value other than none.
    auto has = [&](auto getter) {
        exists = 0;
        for (int v = 0; v <= 9 && exists == 0; ++v) {
            getter(v, &exists);
        }
        return exists != 0;
    };
    m_offered[Agc] = has([&](int v, std::int32_t* out) { m_driver.get_RxAgcExist(r, static_cast<AGCTYPE>(v), out); });
    m_offered[Attenuator] =
        has([&](int v, std::int32_t* out) { m_driver.get_RxAttExist(r, static_cast<ATTSTATE>(v), out); });
    m_offered[NoiseBlanker] =
        has([&](int v, std::int32_t* out) { m_driver.get_RxNBlExist(r, static_cast<NBLTYPE>(v), out); });
    if (m_offered[Agc]) {
        AGCTYPE agc = AgcNone;
        std::int16_t level = 0;
        m_driver.get_RxAgcSts(r, &agc);
        m_driver.get_RxAgcLvl(r, &level);
        agcUpdated(r, agc, level);
    }
    if (m_offered[Attenuator]) {
        ATTSTATE att = AttNone;
        std::int16_t level = 0;
        m_driver.get_RxAttSts(r, &att);
        m_driver.get_RxAttLvl(r, &level);
        attUpdated(r, att, level);
    }
    if (m_offered[NoiseBlanker]) {
        NBLTYPE nbl = NBlNone;
        std::int16_t level = 0;
        m_driver.get_RxNBlSts(r, &nbl);
        m_driver.get_RxNBlLvl(r, &level);
        nblUpdated(r, nbl, level);
    }
    MODTYPE mod = ModNone;
    m_driver.get_RxMod(r, &mod);
    modUpdated(r, mod);
    std::int16_t count = 0;
    m_driver.get_RxFltCount(r, &count);
    m_offered[Filter] = count > 0;
    std::int32_t width = 0;
    m_driver.get_RxFltBW(r, &width);
    filterUpdated(r, width);
    applyEnabled();
}

void ModeButtons::modUpdated(std::int16_t index, MODTYPE mod)
{
    if (mod == ModNone) {
        return;
    }
    std::string name;
    m_driver.get_RxModName(index, mod, &name);
    std::int32_t emulated = 0;
    m_driver.get_RxIsModEmu(index, mod, &emulated);
    m_buttons[Mode]->setText(QString::fromStdString(name));
    m_buttons[Mode]->setStyleSheet(
        QStringLiteral("background: %1; color: black;").arg(emulated != 0 ? "#80ffff" : "#c0feff"));
}

void ModeButtons::filterUpdated(std::int16_t, std::int32_t hz)
{
    m_buttons[Filter]->setText(hz > 0 ? QString::number(hz) : QStringLiteral("----"));
}

void ModeButtons::agcUpdated(std::int16_t index, AGCTYPE agc, std::int16_t)
{
    if (agc == AgcNone) {
        return;
    }
    std::string name;
    m_driver.get_RxAgcName(index, agc, &name);
    m_buttons[Agc]->setText(QString::fromStdString(name));
}

void ModeButtons::nblUpdated(std::int16_t index, NBLTYPE nbl, std::int16_t)
{
    if (nbl == NBlNone) {
        return;
    }
    std::string name;
    m_driver.get_RxNBlName(index, nbl, &name);
    const QString text = QString::fromStdString(name);
    m_buttons[NoiseBlanker]->setText(nbl != NBlOff ? text : QStringLiteral("NB:") + text);
}

void ModeButtons::attUpdated(std::int16_t index, ATTSTATE att, std::int16_t level)
{
    if (att == AttNone) {
        return;
    }
    if (att != AttOff) {
        m_buttons[Attenuator]->setText(QString::number(level) + QStringLiteral("dB"));
    } else {
        std::string name;
        m_driver.get_RxAttName(index, att, &name);
        m_buttons[Attenuator]->setText(QStringLiteral("Att:") + QString::fromStdString(name));
    }
}

}  // namespace tessaly
