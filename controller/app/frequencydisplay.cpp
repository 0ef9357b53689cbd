// Drawing of the frequency digits.
#include "frequencydisplay.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

namespace tessaly {

namespace {

const char* const kYellowShades[DigitModel::kDigits] = {"#e0e020", "#e0e040", "#e0e040", "#e0e080", "#e0e080",
                                                        "#e0e080", "#e0e0c0", "#e0e0c0", "#e0e0c0"};
const char* const kGreenShades[DigitModel::kDigits] = {"#80e040", "#80e080", "#80e080", "#80e080", "#80e080",
                                                       "#80e080", "#80e0c0", "#80e0c0", "#80e0c0"};

}  // namespace

FrequencyDisplay::FrequencyDisplay(DigitModel& model, QWidget* parent) : QFrame(parent), m_model(model)
{
    setObjectName(QStringLiteral("FrqFrame"));
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("#FrqFrame { background: black; }"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 4, 10, 4);
    row->setSpacing(0);
    row->addStretch(1);
    QFont digitFont(QStringLiteral("DejaVu Sans Mono"));
    digitFont.setStyleHint(QFont::Monospace);
    digitFont.setPixelSize(44);
    digitFont.setBold(true);
    for (int i = 0; i < DigitModel::kDigits; ++i) {
        if (i == 6) {
            m_dot = new QLabel(QStringLiteral("."), this);
            m_dot->setObjectName(QStringLiteral("FrqDotit"));
            m_dot->setFont(digitFont);
            m_dot->setFixedWidth(24);
            m_dot->setAlignment(Qt::AlignCenter);
            row->addWidget(m_dot);
        } else if (i == 3) {
            row->addSpacing(8);
        }
        auto* digit = new ClickLabel(QStringLiteral("FrqDigit%1").arg(i), this);
        digit->setFont(digitFont);
        digit->setAlignment(Qt::AlignCenter);
        digit->setFixedWidth(32);
        digit->setToolTip(QStringLiteral("Click to select a digit; Up/Down step it, Enter sets it"));
        connect(digit, &ClickLabel::clicked, this, [this, i] { emit digitClicked(i); });
        m_digits[static_cast<std::size_t>(i)] = digit;
        row->addWidget(digit);
    }
    row->addSpacing(14);
    m_bfo = new ClickLabel(QStringLiteral("FrqBfo"), this);
    QFont bfoFont = digitFont;
    bfoFont.setPixelSize(18);
    m_bfo->setFont(bfoFont);
    m_bfo->setMinimumWidth(70);
    m_bfo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_bfo->setToolTip(QStringLiteral("BFO offset (Hz): left click +100 Hz, right click -100 Hz"));
    row->addWidget(m_bfo);
    row->addStretch(1);

    m_mask = new QLabel(this);
    m_mask->setObjectName(QStringLiteral("RxMask"));
    m_mask->setAlignment(Qt::AlignCenter);
    QFont maskFont = digitFont;
    maskFont.setPixelSize(30);
    m_mask->setFont(maskFont);
    m_mask->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_mask->raise();
    refresh();
}

void FrequencyDisplay::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    m_mask->setGeometry(rect().adjusted(3, 3, -3, -3));
}

void FrequencyDisplay::mouseReleaseEvent(QMouseEvent* event)
{
    emit frameClicked();
    QFrame::mouseReleaseEvent(event);
}

void FrequencyDisplay::refresh()
{
    const bool locked = m_model.locked();
    const auto shades = m_model.isAssigned() ? kGreenShades : kYellowShades;
    for (int i = 0; i < DigitModel::kDigits; ++i) {
        auto* d = m_digits[static_cast<std::size_t>(i)];
        d->setText(QString(m_model.digit(i)));
        // Digits the maximum does not need are hidden: their place stays.
        const bool shown = i >= m_model.firstActive();
        const bool selected = m_model.selected() == i;
        d->setEnabled(!locked && m_model.isActive(i));
        const QString colour = shown ? QString::fromLatin1(shades[i]) : QStringLiteral("black");
        d->setStyleSheet(selected ? QStringLiteral("background: %1; color: black;").arg(colour)
                                  : QStringLiteral("background: black; color: %1;").arg(colour));
    }
    const char* dot = m_model.dot() == DigitModel::Dot::Green ? "#00ff00"
                      : m_model.dot() == DigitModel::Dot::Red ? "#ff0000"
                                                              : "#ffc080";
    m_dot->setStyleSheet(QStringLiteral("color: %1; background: black;").arg(QLatin1String(dot)));
    m_dot->setEnabled(!locked);
    m_bfo->setText(m_model.bfoText());
    m_bfo->setStyleSheet(QStringLiteral("background: black; color: %1;").arg(m_model.bfoOn() ? "#00ff00" : "#ff0000"));
    m_bfo->setEnabled(!locked);
}

}  // namespace tessaly
