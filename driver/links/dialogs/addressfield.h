// The "Rx &Address" field shared by both link dialogs: shown only when the
// receiver uses bus addressing; a value outside 0..99 typed into it sounds
// a 440 Hz beep of 100 ms and puts the link's current address back. An
// empty field means no address (-1).
#pragma once

#include <QObject>
#include <cstdint>

class QLabel;
class QLineEdit;
class QWidget;

namespace quorvin {

class AddressField : public QObject {
    Q_OBJECT
public:
    AddressField(QWidget* parent, std::int16_t current, bool shown);

    QLabel* label() const { return m_label; }
    QLineEdit* edit() const { return m_edit; }
    // The address the field holds now (-1 when empty).
    std::int16_t value() const;

    static QString textFor(std::int16_t address);

private:
    void onEdited(const QString& text);

    QLabel* m_label;
    QLineEdit* m_edit;
    std::int16_t m_current;
};

}  // namespace quorvin
