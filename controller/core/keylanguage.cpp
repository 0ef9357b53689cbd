// The keyboard command language.
#include "keylanguage.h"

#include <algorithm>
#include <cmath>

#include "displayrules.h"

namespace tessaly {

using namespace quorvin;

KeyLanguage::KeyLanguage(IReceiverDriver& driver, lumaret::IFrequencyData& data, DigitModel& digits, KeyHost& host)
    : m_driver(driver), m_data(data), m_digits(digits), m_host(host)
{
}

bool KeyLanguage::isRemote()
{
    std::int32_t remote = 0;
    m_driver.get_RxIsRemote(m_rx, &remote);
    return remote != 0;
}

bool KeyLanguage::isConnected()
{
    std::int32_t connected = 0;
    m_driver.get_RxIsConnected(m_rx, &connected);
    return connected != 0;
}

std::int32_t KeyLanguage::frequency()
{
    std::int32_t hz = -1;
    m_driver.get_RxFrq(m_rx, NONE, &hz);
    return hz;
}

void KeyLanguage::writeFrequency(double hz, FRQTYPE kind)
{
    m_driver.put_RxFrq(m_rx, kind, static_cast<std::int32_t>(std::llround(hz)));
}

void KeyLanguage::writeDigits(FRQTYPE kind)
{
    writeFrequency(m_digits.readValue(), kind);
}

void KeyLanguage::stepFrequency(int delta)
{
    const std::int32_t f = frequency();
    if (f == -1) {
        return;
    }
    std::int32_t lo = 0;
    std::int32_t hi = 0;
    m_driver.get_RxFrqMin(m_rx, &lo);
    m_driver.get_RxFrqMax(m_rx, &hi);
    // A step beyond the receiver's range stops at its edge.
    const double next =
        std::clamp(static_cast<double>(f) + delta, static_cast<double>(lo), static_cast<double>(std::max(lo, hi)));
    if (next != f) {
        writeFrequency(next);
    }
}

bool KeyLanguage::keyDown(const KeyStroke& key)
{
    if (key.key == Qt::Key_F1) {
        m_host.showKeyHelp();
        return true;
    }
    if (m_digits.selected() >= 0) {
        m_host.setWalkInfo({}, {}, {});
        int index = m_digits.selected();
        const auto r = m_digits.keyDown(index, key, frequency());
        if (r.processed) {
            writeDigits();
        }
        return r.consumed;
    }
    if (!isRemote()) {
        return false;
    }
    return remoteKeyDown(key);
}

bool KeyLanguage::remoteKeyDown(const KeyStroke& key)
{
    const bool horizontal = key.key == Qt::Key_Left || key.key == Qt::Key_Right;
    const bool vertical = key.key == Qt::Key_Up || key.key == Qt::Key_Down;
    const bool walkKey = key.keypad && (key.key == Qt::Key_Plus || key.key == Qt::Key_Minus);
    if (horizontal || vertical) {
        const int typed = horizontal && !m_digits.typedText().isEmpty() ? m_digits.takeTypedNumber() : -1;
        if (typed > 0) {
            std::int32_t step = 1;
            m_driver.get_RxFrqStp(m_rx, &step);
            m_host.setLocalStep(std::max<int>(typed, step));
            m_host.showReceiverFrequency();
        } else {
            int s = key.alt ? 100 : key.ctrl ? 10 : key.shift ? 1 : horizontal ? m_host.localStep() : m_host.bandStep();
            const bool down = key.key == Qt::Key_Left || key.key == Qt::Key_Down;
            stepFrequency(down ? -s : s);
        }
        m_host.setWalkInfo({}, {}, {});
    } else if (key.key == Qt::Key_Home) {
        const std::int32_t f = frequency();
        if (f >= 0) {
            std::int32_t found = 0;
            m_data.get_FreqLook(f, 250, &found);
            if (found != 0) {
                std::int32_t exact = f;
                m_data.get_FreqExact(&exact);
                writeFrequency(exact);
            } else {
                writeFrequency(std::floor(m_digits.readValue() / 1000) * 1000);
            }
        }
        m_host.setWalkInfo({}, {}, {});
    } else if (walkKey) {
        const bool up = key.key == Qt::Key_Plus;
        if (m_prefix == QLatin1String("C")) {
            channelStep(up);
        } else if (!m_prefix.isEmpty()) {
            // another pending letter: nothing
        } else if (key.ctrl && key.alt) {
            std::int32_t idx = 0, tot = 0, hz = -1;
            m_data.BankNext(up ? 1 : 0, &idx, &tot, &hz);
            listWalk(hz, idx, tot);
        } else if (key.ctrl) {
            std::int32_t idx = 0, tot = 0, hz = -1;
            m_data.UtilNext(up ? 1 : 0, &idx, &tot, &hz);
            listWalk(hz, idx, tot);
        } else if (key.alt) {
            lumaret::UTILTYPE type = lumaret::UNothin;
            m_data.get_FreqType(&type);
            std::int32_t idx = 0, tot = 0, hz = -1;
            m_data.FreqNext(type, up ? 1 : 0, &idx, &tot, &hz);
            listWalk(hz, idx, tot);
        } else {
            bandWalk(up);
        }
    } else {
        return false;
    }
    m_prefix.clear();
    return true;
}

void KeyLanguage::listWalk(std::int32_t hz, int idx, int tot)
{
    if (hz == -1) {
        m_host.beepOnError();
        return;
    }
    std::string name;
    m_data.get_FreqName(&name);
    m_host.setWalkInfo(QStringLiteral("Kf"), QString::fromStdString(name),
                       QString::number(idx) + QLatin1Char('/') + QString::number(tot));
    lumaret::BESTMODE mode = lumaret::ModeNone;
    std::int16_t filter = 0;
    m_data.get_FreqMode(&mode);
    m_data.get_FreqFilter(&filter);
    tuneWalk(hz, mode, filter);
}

void KeyLanguage::bandWalk(bool up)
{
    std::int32_t f = 0;
    m_data.get_BandNext(up ? 1 : 0, &f);
    std::int32_t lo = 0;
    std::int32_t hi = 0;
    m_driver.get_RxFrqMin(m_rx, &lo);
    m_driver.get_RxFrqMax(m_rx, &hi);
    if (f < lo || f > hi) {
        // Beyond the receiver's range: upwards the walk starts again at its
        // lowest frequency, downwards at the start of the band holding its
        // highest one.
        std::int32_t found = 0;
        if (up) {
            m_data.get_BandLook(lo, &found);
            f = lo;
        } else {
            m_data.get_BandLook(hi, &found);
            std::int32_t start = hi;
            m_data.get_BandSFrq(&start);
            f = std::max(start, lo);
        }
    }
    m_host.setWalkInfo({}, {}, {});
    lumaret::BESTMODE mode = lumaret::ModeNone;
    std::int16_t filter = 0;
    m_data.get_BandMode(&mode);
    m_data.get_BandFilter(&filter);
    tuneWalk(f, mode, filter);
}

void KeyLanguage::tuneWalk(std::int32_t hz, int mode, int filter)
{
    m_driver.put_RxFrq(m_rx, NONE, hz);
    m_host.processEvents();
    // A list without a best mode leaves the mode as it is.
    if (mode >= 0) {
        m_driver.put_RxMod(m_rx, static_cast<MODTYPE>(mode));
    }
    if (filter > 0) {
        m_driver.put_RxFltBW(m_rx, filter);
    }
}

void KeyLanguage::channelStep(bool up)
{
    std::int16_t c = -1, start = 0, count = 0;
    m_driver.get_RxChn(m_rx, &c);
    m_driver.get_RxChnStart(m_rx, &start);
    m_driver.get_RxChnCount(m_rx, &count);
    if (count <= 0) {
        return;
    }
    if (c == -1) {
        c = start;
    } else {
        c = static_cast<std::int16_t>(c + (up ? 1 : -1));
        if (c > count - 1) {
            c = start;
        } else if (c < start) {
            c = static_cast<std::int16_t>(count - 1);
        }
    }
    RCODE result = R_KO;
    m_driver.RxChnLoad(m_rx, c, &result);
}

bool KeyLanguage::keyPress(const KeyStroke& key)
{
    const QChar ch = key.ch;
    if (ch.isNull()) {
        return false;
    }
    const bool remote = isRemote();
    if (remote) {
        if (m_digits.selected() >= 0) {
            m_prefix.clear();
            int index = m_digits.selected();
            const auto r = m_digits.keyPress(index, ch, frequency());
            if (r.processed) {
                writeDigits();
            }
            return true;
        }
        if (ch.unicode() == 3) {
            const std::int32_t f = frequency();
            m_host.setClipboardText(f >= 0 ? khzShort(f) : QString());
            return true;
        }
        if (ch.unicode() == 22) {
            const auto khz = parseKhz(m_host.clipboardText());
            std::int32_t lo = 0, hi = 0;
            m_driver.get_RxFrqMin(m_rx, &lo);
            m_driver.get_RxFrqMax(m_rx, &hi);
            // The range is checked on the kHz value, before any conversion.
            if (khz && *khz != 0 && *khz * 1000 >= lo && *khz * 1000 <= hi) {
                writeFrequency(*khz * 1000);
            } else {
                m_host.beepOnError();
            }
            return true;
        }
        // The driver's two-key commands are lower-case letters.
        std::int32_t taken = 0;
        m_driver.RxProcessKey(m_rx, static_cast<std::int16_t>(ch.toLower().unicode()), &taken);
        if (taken != 0) {
            m_prefix.clear();
            return true;
        }
        const auto r = m_digits.processKey(ch, frequency());
        if (r.processed) {
            writeDigits(m_digits.takeChannelized() != 0 ? ITUSpace : NONE);
        }
        if (r.consumed) {
            return true;
        }
    }
    return letter(ch.toUpper());
}

bool KeyLanguage::letter(QChar upper)
{
    const bool remote = isRemote();
    const char c = upper.unicode() < 128 ? static_cast<char>(upper.unicode()) : 0;
    bool done = true;
    switch (c) {
    case 'B':
        if (m_prefix == QLatin1String("F")) {
            m_driver.put_RxFltBW(m_rx, m_host.bestFilter());
        } else if (m_prefix == QLatin1String("M")) {
            if (m_host.bestMode() >= 0) {
                m_driver.put_RxMod(m_rx, static_cast<MODTYPE>(m_host.bestMode()));
            }
        } else if (remote) {
            // Only a typed number sets the BFO.
            const int n = m_digits.takeTypedNumber();
            std::int32_t lo = 0, hi = 0;
            m_driver.get_RxBFOMin(m_rx, &lo);
            m_driver.get_RxBFOMax(m_rx, &hi);
            if (n >= 0 && lo < n && n < hi) {
                m_driver.put_RxBFO(m_rx, n);
            }
            m_host.showReceiverFrequency();
        } else {
            done = false;
        }
        break;
    case 'L':
    case 'U':
        if (isConnected()) {
            std::int32_t result = 0;
            m_driver.RxRemote(m_rx, c == 'L' ? 0 : -1, &result);
            m_host.focusFrequencyField();
        }
        break;
    case 'R': m_host.nextRegion(); break;
    case 'K': {
        std::int32_t result = 0;
        m_data.UtilDialog(&result);
        break;
    }
    case 'E': {
        std::int32_t result = 0;
        m_data.DataDialog(&result);
        break;
    }
    case 'D':
        // The database offers no station view by name: nothing to do.
        done = !remote;
        break;
    case '\t': m_host.selectNextTab(); break;
    case 'F':
        if (remote && !m_digits.typedText().isEmpty()) {
            const int n = m_digits.takeTypedNumber();
            m_driver.put_RxFltBW(m_rx, n);
            m_host.showReceiverFrequency();
        } else {
            done = false;
        }
        break;
    case 'C':
        if (remote) {
            const int n = m_digits.takeTypedNumber();
            std::int16_t start = 0, count = 0;
            m_driver.get_RxChnStart(m_rx, &start);
            m_driver.get_RxChnCount(m_rx, &count);
            if (n >= start) {
                if (n < count) {
                    RCODE result = R_KO;
                    m_driver.RxChnLoad(m_rx, static_cast<std::int16_t>(n), &result);
                } else {
                    m_host.beepOnError();
                }
                m_host.showReceiverFrequency();
            } else {
                m_host.showReceiverFrequency();
                m_prefix = QStringLiteral("C");
                return true;
            }
        } else {
            done = false;
        }
        break;
    case 'S':
        if (remote) {
            std::int16_t start = 0, count = 0;
            m_driver.get_RxChnStart(m_rx, &start);
            m_driver.get_RxChnCount(m_rx, &count);
            if (count > 0) {
                const int n = m_digits.takeTypedNumber();
                if (n >= start) {
                    if (n < count) {
                        RCODE result = R_KO;
                        m_driver.RxChnSave(m_rx, static_cast<std::int16_t>(n), &result);
                    } else {
                        m_host.beepOnError();
                    }
                } else {
                    m_host.openChannels();
                }
            }
            m_host.showReceiverFrequency();
        } else {
            done = false;
        }
        break;
    case ' ':
    case 'G':
        if (remote) {
            m_host.openLog(c == ' ');
        } else {
            done = false;
        }
        break;
    case 27: break;
    default: done = false; break;
    }
    if (done) {
        m_prefix.clear();
        return true;
    }
    // A letter not understood waits for the next key.
    if (c >= 'A' && c <= 'Z') {
        m_prefix = QString(QLatin1Char(c));
    }
    return false;
}

void KeyLanguage::wheel(int rotation)
{
    if (rotation == 0) {
        return;
    }
    KeyStroke key;
    if (m_digits.selected() >= 0) {
        key.key = rotation > 0 ? Qt::Key_Down : Qt::Key_Up;
    } else {
        key.key = rotation > 0 ? Qt::Key_Left : Qt::Key_Right;
        key.shift = true;
        key.ctrl = true;
    }
    keyDown(key);
}

}  // namespace tessaly
