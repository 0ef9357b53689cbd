// The frequency display: nine digit fields with the separator between the
// kilohertz and hertz digits, the BFO field, and the text laid over the
// digits while the receiver is not usable. It draws the DigitModel and
// reports clicks; the model holds every rule.
#pragma once

#include <QFrame>

#include <array>

#include "clicklabel.h"
#include "controller/core/digitmodel.h"

class QLabel;

namespace tessaly {

class FrequencyDisplay : public QFrame {
    Q_OBJECT
public:
    FrequencyDisplay(DigitModel& model, QWidget* parent = nullptr);

    QLabel* mask() const { return m_mask; }
    ClickLabel* bfo() const { return m_bfo; }
    QLabel* digitField(int i) const { return m_digits[static_cast<std::size_t>(i)]; }
    void refresh();

signals:
    void digitClicked(int index);
    void frameClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    DigitModel& m_model;
    std::array<ClickLabel*, DigitModel::kDigits> m_digits{};
    QLabel* m_dot = nullptr;
    ClickLabel* m_bfo = nullptr;
    QLabel* m_mask = nullptr;
};

}  // namespace tessaly
