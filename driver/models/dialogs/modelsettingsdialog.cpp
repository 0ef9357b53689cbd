// The models' settings dialog.
#include "modelsettingsdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "driver/models/familyreceiver.h"
#include "driver/models/modeltable.h"
#include "platform/reporter.h"

namespace quorvin {

namespace {

using Group = SettingField::Group;
using Kind = SettingField::Kind;

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

// "(150 - 500 ms)" beside a number field.
QString rangeHint(const SettingField& f)
{
    QString hint = QStringLiteral("%1 \u2013 %2").arg(f.min).arg(f.max);
    if (!f.unit.empty()) {
        hint += QLatin1Char(' ') + text(f.unit);
    }
    return hint;
}

}  // namespace

QWidget* ModelSettingsDialog::Control::widget() const
{
    if (edit != nullptr) {
        return edit;
    }
    if (check != nullptr) {
        return check;
    }
    return combo;
}

ModelSettingsDialog::ModelSettingsDialog(FamilyReceiver& receiver, QWidget* parent) : QDialog(parent), m_rx(receiver)
{
    setWindowTitle(text(receiver.InstanceName()) + QStringLiteral(" Receiver settings"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    for (const SettingField& f : receiver.SettingFields()) {
        m_controls.push_back(Control{f});
    }

    auto* layout = new QVBoxLayout(this);
    auto* model = new QLabel(QStringLiteral("<b>%1</b> receiver").arg(text(receiver.Info().name)), this);
    model->setObjectName(QStringLiteral("model"));
    layout->addWidget(model);

    // Polling and options: one label and control per row.
    const auto formGroup = [this, layout](Group group, const QString& title) {
        QGroupBox* box = nullptr;
        QFormLayout* form = nullptr;
        for (Control& c : m_controls) {
            if (c.field.group != group) {
                continue;
            }
            if (box == nullptr) {
                box = new QGroupBox(title, this);
                form = new QFormLayout(box);
                form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
                layout->addWidget(box);
            }
            QWidget* control = makeControl(c);
            if (c.field.kind == Kind::Flag) {
                form->addRow(QString(), control);
                continue;
            }
            auto* label = new QLabel(text(c.field.caption), box);
            label->setBuddy(control);
            if (c.field.kind == Kind::Number) {
                auto* row = new QHBoxLayout;
                row->addWidget(control);
                auto* range = new QLabel(rangeHint(c.field), box);
                range->setObjectName(text(c.field.name) + QStringLiteral("_range"));
                row->addWidget(range);
                row->addStretch();
                form->addRow(label, row);
            } else {
                form->addRow(label, control);
            }
        }
    };
    formGroup(Group::Polling, QStringLiteral("Polling"));
    formGroup(Group::Receiver, QStringLiteral("Options"));

    // Filters: two columns of slots, widths in Hz.
    QGroupBox* filters = nullptr;
    QGridLayout* grid = nullptr;
    int position = 0;
    QString note;
    for (Control& c : m_controls) {
        if (c.field.group != Group::Filters) {
            continue;
        }
        if (filters == nullptr) {
            filters = new QGroupBox(QStringLiteral("Filters (bandwidth in Hz, 0 = none)"), this);
            grid = new QGridLayout(filters);
            layout->addWidget(filters);
        }
        QWidget* control = makeControl(c);
        auto* label = new QLabel(text(c.field.caption), filters);
        label->setBuddy(control);
        label->setToolTip(text(c.field.name));
        const int row = position / 2;
        const int column = (position % 2) * 3;
        grid->addWidget(label, row, column);
        grid->addWidget(control, row, column + 1);
        if (column == 0) {
            grid->addItem(new QSpacerItem(16, 1), row, 2);
        }
        ++position;
        if (c.field.readOnly) {
            const auto colon = c.field.hint.find(": ");
            note = text(colon == std::string::npos ? c.field.hint : c.field.hint.substr(colon + 2));
        }
    }
    if (grid != nullptr) {
        grid->setColumnStretch(5, 1);
        if (!note.isEmpty()) {
            auto* noteLabel = new QLabel(note, filters);
            noteLabel->setObjectName(QStringLiteral("filtersNote"));
            noteLabel->setWordWrap(true);
            grid->addWidget(noteLabel, (position + 1) / 2, 0, 1, 6);
        }
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ModelSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // The whole title stays readable in the title bar.
    setMinimumWidth(std::max(minimumSizeHint().width(), fontMetrics().horizontalAdvance(windowTitle()) + 120));
}

QWidget* ModelSettingsDialog::makeControl(Control& c)
{
    const SettingField& f = c.field;
    const QString name = text(f.name);
    switch (f.kind) {
    case Kind::Flag:
        c.check = new QCheckBox(text(f.caption), this);
        c.check->setChecked(f.value != 0);
        break;
    case Kind::Choice:
        c.combo = new QComboBox(this);
        for (const std::string& choice : f.choices) {
            c.combo->addItem(text(choice));
        }
        c.combo->setCurrentIndex(f.value >= 0 && f.value < c.combo->count() ? f.value : -1);
        if (f.name == "R_MOpt") {
            connect(c.combo, &QComboBox::currentIndexChanged, this, &ModelSettingsDialog::showVariantWidths);
        }
        break;
    case Kind::Number:
        c.edit = new QLineEdit(QString::number(f.value), this);
        // Digits only; the range is checked on OK, where a value outside it
        // is named in a message.
        c.edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,7}")), c.edit));
        c.edit->setMaxLength(7);
        c.edit->setAlignment(Qt::AlignRight);
        c.edit->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16);
        c.edit->setReadOnly(f.readOnly);
        c.edit->setEnabled(!f.readOnly);
        break;
    }
    QWidget* w = c.widget();
    w->setObjectName(name);
    w->setToolTip(text(f.hint));
    return w;
}

void ModelSettingsDialog::showVariantWidths(int variant)
{
    const Rek085Variant* row = rek085Variant(variant);
    if (row == nullptr) {
        return;
    }
    // F_W1 .. F_W7 take the widths of the row in order.
    std::size_t slot = 0;
    for (Control& c : m_controls) {
        if (c.edit == nullptr || c.field.group != Group::Filters) {
            continue;
        }
        if (slot < row->widths.size()) {
            c.edit->setText(QString::number(row->widths[slot]));
        }
        ++slot;
    }
}

void ModelSettingsDialog::tell(const std::string& message)
{
    platform::reporter().message(windowTitle().toStdString(), message, platform::MessageIcon::Warning);
}

bool ModelSettingsDialog::waitForReceiver()
{
    if (!m_rx.IsEngaged()) {
        m_waiting.invalidate();
        return false;
    }
    if (!m_waiting.isValid()) {
        m_waiting.start();
    }
    if (m_waiting.elapsed() >= kWaitLimitMs) {
        // Never change a receiver under its own running code: the operator
        // keeps what was typed and tries again.
        m_waiting.invalidate();
        tell("The receiver is busy talking to its receiver.\nTry again when it has finished.");
        return true;
    }
    if (!m_retryArmed) {
        m_retryArmed = true;
        QTimer::singleShot(kRetryMs, this, [this] {
            m_retryArmed = false;
            // Cancelled meanwhile: nothing is applied.
            if (isVisible() && m_waiting.isValid()) {
                accept();
            }
        });
    }
    return true;
}

void ModelSettingsDialog::accept()
{
    if (waitForReceiver()) {
        return;
    }
    SettingValues values;
    for (const Control& c : m_controls) {
        if (c.field.readOnly) {
            continue;
        }
        std::int32_t value = c.field.value;
        if (c.check != nullptr) {
            value = c.check->isChecked() ? 1 : 0;
        } else if (c.combo != nullptr) {
            value = c.combo->currentIndex();
        } else {
            bool ok = false;
            value = c.edit->text().toInt(&ok);
            if (!ok) {
                tell(c.field.rangeText());
                c.edit->setFocus();
                c.edit->selectAll();
                return;
            }
        }
        values[c.field.name] = value;
    }
    const SettingsOutcome outcome = m_rx.ApplySettings(values);
    switch (outcome.result) {
    case SettingsOutcome::Result::Unchanged: reject(); return;
    case SettingsOutcome::Result::Applied: QDialog::accept(); return;
    case SettingsOutcome::Result::Refused:
        tell(outcome.message);
        for (const Control& c : m_controls) {
            if (c.field.name == outcome.field && c.widget() != nullptr) {
                c.widget()->setFocus();
                if (c.edit != nullptr) {
                    c.edit->selectAll();
                }
            }
        }
        return;
    case SettingsOutcome::Result::NotSaved: tell(outcome.message); return;
    }
}

}  // namespace quorvin
