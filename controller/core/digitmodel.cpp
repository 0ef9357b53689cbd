// Digit entry rules.
#include "digitmodel.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace tessaly {

namespace {

constexpr double kLargest = 999999999.0;

int decimalLength(double v)
{
    const auto n = static_cast<long long>(std::llround(std::fabs(v)));
    return static_cast<int>(QString::number(n).size()) + (v < 0 ? 1 : 0);
}

}  // namespace

DigitModel::DigitModel()
{
    m_digits.fill(QLatin1Char('x'));
}

double DigitModel::weight(int i)
{
    return std::pow(10.0, 8 - i);
}

void DigitModel::notify()
{
    if (changed) {
        changed();
    }
}

void DigitModel::boundary(double maximum, double minimum, double step)
{
    m_maximum = std::clamp(maximum, 0.0, kLargest);
    m_minimum = std::clamp(minimum, 0.0, m_maximum);
    m_first = std::max(0, kDigits - decimalLength(m_maximum));
    m_last = std::clamp(8 - (decimalLength(std::max(1.0, step)) - 1), 0, 8);
    if (m_last < m_first) {
        m_last = m_first;
    }
    if (m_selected >= 0 && !isActive(m_selected)) {
        m_selected = -1;
    }
    notify();
}

double DigitModel::readValue() const
{
    double sum = 0;
    for (int i = 0; i < kDigits; ++i) {
        const QChar c = m_digits[static_cast<std::size_t>(i)];
        if (c.isDigit()) {
            sum += c.digitValue() * weight(i);
        }
    }
    return sum;
}

void DigitModel::showValue(double v)
{
    if (v < 0 || v > kLargest) {
        return;
    }
    const auto n = static_cast<long long>(std::llround(v));
    if (n == 0) {
        for (int i = 0; i < kDigits; ++i) {
            m_digits[static_cast<std::size_t>(i)] = i >= 4 ? QLatin1Char('0') : QLatin1Char(' ');
        }
    } else {
        const QString text = QString::number(n);
        const int start = kDigits - static_cast<int>(text.size());
        for (int i = 0; i < kDigits; ++i) {
            m_digits[static_cast<std::size_t>(i)] = i < start ? QLatin1Char(' ') : text.at(i - start);
        }
    }
    notify();
}

bool DigitModel::setValue(double v)
{
    if (v == -1) {
        m_digits.fill(QLatin1Char('x'));
        m_bfo.clear();
        notify();
        return true;
    }
    if (v < m_minimum || v > m_maximum) {
        return false;
    }
    showValue(v);
    return true;
}

void DigitModel::showClamped(double v)
{
    showValue(std::clamp(v, m_minimum, m_maximum));
}

QString DigitModel::text() const
{
    QString out;
    for (QChar c : m_digits) {
        out.append(c);
    }
    return out;
}

void DigitModel::setBfoValue(int hz)
{
    m_bfo = hz == 0 ? QString() : QString::number(hz);
    notify();
}

void DigitModel::setBfoState(bool on)
{
    m_bfoOn = on;
    notify();
}

void DigitModel::lock(bool on)
{
    m_locked = on;
    if (on) {
        m_selected = -1;
    }
    m_typed.clear();
    notify();
}

void DigitModel::focus(int i, bool on)
{
    if (i < 0 || i >= kDigits) {
        return;
    }
    if (on) {
        if (m_locked || !isActive(i)) {
            return;
        }
        m_selected = i;
        m_dot = Dot::Green;
    } else {
        if (m_selected == i) {
            m_selected = -1;
        }
        m_dot = Dot::Orange;
    }
    notify();
}

void DigitModel::unselect(bool toFocusField)
{
    m_selected = -1;
    if (toFocusField) {
        m_dot = Dot::Red;
        notify();
    } else {
        focus(m_last, true);
    }
}

void DigitModel::assigned(bool flag)
{
    m_assigned = flag;
    notify();
}

int DigitModel::takeChannelized()
{
    const int result = m_channelized ? 1 : 0;
    m_channelized = false;
    return result;
}

void DigitModel::clearTyped()
{
    m_typed.clear();
}

double DigitModel::typedValue(const QString& typed)
{
    // Digits and at most one ".", as this class builds it: no locale.
    double value = 0;
    double scale = 0;
    for (QChar c : typed) {
        if (c == QLatin1Char('.')) {
            scale = 0.1;
        } else if (c.isDigit()) {
            if (scale == 0) {
                value = value * 10 + c.digitValue();
            } else {
                value += c.digitValue() * scale;
                scale /= 10;
            }
        }
    }
    return value;
}

int DigitModel::takeTypedNumber()
{
    if (m_typed.isEmpty()) {
        return -1;
    }
    const double v = std::floor(typedValue(m_typed));
    m_typed.clear();
    return v > 30000 ? 1000 : static_cast<int>(v);
}

DigitModel::KeyResult DigitModel::keyDown(int& index, const KeyStroke& key, double value)
{
    KeyResult r;
    m_typed.clear();
    if (index < 0 || index >= kDigits) {
        return r;
    }
    const bool plus = key.key == Qt::Key_Up || (key.keypad && key.key == Qt::Key_Plus);
    const bool minus = key.key == Qt::Key_Down || (key.keypad && key.key == Qt::Key_Minus);
    if (plus || minus) {
        setValue(readValue() + (plus ? weight(index) : -weight(index)));
        r = {true, true};
    } else if (key.key == Qt::Key_Right) {
        index = index + 1 > m_last ? m_first : index + 1;
        r.consumed = true;
    } else if (key.key == Qt::Key_Left) {
        index = index - 1 < m_first ? m_last : index - 1;
        r.consumed = true;
    } else if (key.key == Qt::Key_Delete) {
        m_digits[static_cast<std::size_t>(index)] = QLatin1Char('0');
        r = {true, true};
    } else if (key.key == Qt::Key_Home) {
        if (value >= 0) {
            showClamped(std::floor(value / 1000) * 1000);
        }
        r = {true, true};
    } else if (key.key == Qt::Key_PageUp || key.key == Qt::Key_PageDown) {
        // Kept within the receiver's limits: a value beyond them is never shown.
        if (value >= 0) {
            showClamped(value + (key.key == Qt::Key_PageUp ? 3000 : -3000));
        }
        r = {true, true};
    }
    focus(index, true);
    return r;
}

DigitModel::KeyResult DigitModel::keyPress(int& index, QChar ch, double value)
{
    KeyResult r{false, true};
    if (index < 0 || index >= kDigits) {
        return {};
    }
    const auto at = [this](int i) -> QChar& { return m_digits[static_cast<std::size_t>(i)]; };
    if (ch.isDigit() && ch.unicode() < 128) {
        at(index) = ch;
        index = index + 1 > m_last ? m_first : index + 1;
        focus(index, true);
    } else if (ch == QLatin1Char('\b') || ch == QLatin1Char(' ')) {
        if (at(index) != QLatin1Char(' ')) {
            at(index) = QLatin1Char('0');
        }
        index = index - 1 < m_first ? m_last : index - 1;
        focus(index, true);
    } else if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
        setValue(std::clamp(readValue(), m_minimum, m_maximum));
        unselect(true);
        index = -1;
        r.processed = true;
    } else if (ch == QChar(27)) {
        setValue(value);
        unselect(true);
        index = -1;
    }
    notify();
    return r;
}

DigitModel::KeyResult DigitModel::processKey(QChar ch, double value)
{
    KeyResult r;
    const int dot = static_cast<int>(m_typed.indexOf(QLatin1Char('.')));
    if (ch.isDigit() && ch.unicode() < 128) {
        r.consumed = true;
        if (dot >= 0 && m_typed.size() - dot - 1 >= 3) {
            return r;  // Hz resolution reached
        }
        const QString next = m_typed + ch;
        if (typedValue(next) * 1000 <= m_maximum) {
            m_typed = next;
            showValue(std::llround(typedValue(m_typed) * 1000));
        }
        return r;
    }
    if (ch == QLatin1Char('.') || ch == QLatin1Char(',')) {
        if (dot < 0) {
            m_typed.append(QLatin1Char('.'));
        }
        r.consumed = true;
        return r;
    }
    if (ch == QLatin1Char('\b') && !m_typed.isEmpty()) {
        m_typed.chop(m_typed.endsWith(QLatin1Char('.')) && m_typed.size() >= 2 ? 2 : 1);
        showValue(std::llround(typedValue(m_typed) * 1000));
        r.consumed = true;
        return r;
    }
    if ((ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) && !m_typed.isEmpty()) {
        const double v = std::llround(typedValue(m_typed) * 1000);
        if (v < m_minimum) {
            setValue(m_minimum);
        } else {
            showValue(v);
        }
        if (m_drm) {
            setValue(readValue() + 5000);
        }
        m_drm = false;
        m_typed.clear();
        r = {true, true};
        return r;
    }
    if ((ch == QLatin1Char('+') || ch == QLatin1Char('-')) && !m_typed.isEmpty()) {
        const double offset = std::llround(typedValue(m_typed) * 1000);
        if (value >= 0) {
            // Kept within the receiver's limits.
            showClamped(value + (ch == QLatin1Char('+') ? offset : -offset));
        }
        m_typed.clear();
        r = {true, true};
        return r;
    }
    if (ch == QChar(27)) {
        if (value >= 0) {
            setValue(value);
        }
        m_typed.clear();
        return r;
    }
    if (ch == QLatin1Char(':')) {
        m_channelized = true;
        r.consumed = true;
        return r;
    }
    if (ch == QLatin1Char('D') || ch == QLatin1Char('d')) {
        m_drm = true;
        r.consumed = true;
        return r;
    }
    m_channelized = false;
    m_drm = false;
    return r;
}

}  // namespace tessaly
