// Rx address field with its typing rule.
#include "addressfield.h"

#include <QLabel>
#include <QLineEdit>

#include "platform/reporter.h"

namespace quorvin {

namespace {

constexpr int kBeepHz = 440;
constexpr int kBeepMs = 100;

}  // namespace

AddressField::AddressField(QWidget* parent, std::int16_t current, bool shown)
    : QObject(parent), m_label(new QLabel(QStringLiteral("Rx &Address"), parent)),
      m_edit(new QLineEdit(textFor(current), parent)), m_current(current)
{
    m_edit->setObjectName(QStringLiteral("rxAddress"));
    m_edit->setMaxLength(3);
    m_label->setBuddy(m_edit);
    m_label->setVisible(shown);
    m_edit->setVisible(shown);
    connect(m_edit, &QLineEdit::textEdited, this, &AddressField::onEdited);
}

QString AddressField::textFor(std::int16_t address)
{
    return address < 0 ? QString() : QString::number(address);
}

std::int16_t AddressField::value() const
{
    const QString text = m_edit->text().trimmed();
    if (text.isEmpty()) {
        return -1;
    }
    bool ok = false;
    const int number = text.toInt(&ok);
    return ok && number >= 0 && number <= 99 ? static_cast<std::int16_t>(number) : m_current;
}

void AddressField::onEdited(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return;
    }
    bool ok = false;
    const int number = trimmed.toInt(&ok);
    if (ok && number >= 0 && number <= 99) {
        return;
    }
    platform::reporter().beep(kBeepHz, kBeepMs);
    m_edit->setText(textFor(m_current));
}

}  // namespace quorvin
