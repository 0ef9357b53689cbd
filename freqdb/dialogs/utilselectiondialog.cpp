// The utility list selection dialog.
#include "utilselectiondialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "freqdb/frequencydata.h"
#include "platform/reporter.h"

namespace lumaret {

namespace {

// Slots with a list: the first column takes ten, the second the rest.
constexpr int kShownSlots = 19;
constexpr int kFirstColumn = 10;

}  // namespace

UtilSelectionDialog::UtilSelectionDialog(FrequencyData& data, QWidget* parent) : QDialog(parent), m_data(data)
{
    setWindowTitle(QStringLiteral("Known frequency scanning selection"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* grid = new QGridLayout;
    for (int slot = 0; slot < kSelectionSlots; ++slot) {
        auto* box = new QCheckBox(this);
        box->setObjectName(QStringLiteral("util%1").arg(slot));
        if (slot < kShownSlots) {
            box->setText(QString::fromLatin1(utilListInfo(slot).label));
            grid->addWidget(box, slot < kFirstColumn ? slot : slot - kFirstColumn, slot < kFirstColumn ? 0 : 1);
        } else {
            box->hide();
        }
        box->setChecked(m_data.utilityLists().selection(slot) == 1);
        m_boxes[static_cast<std::size_t>(slot)] = box;
    }

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &UtilSelectionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void UtilSelectionDialog::accept()
{
    UtilityLists& lists = m_data.utilityLists();
    for (int slot = 0; slot < kSelectionSlots; ++slot) {
        lists.setSelection(slot, m_boxes[static_cast<std::size_t>(slot)]->isChecked() ? 1 : 0);
    }
    // Without a storage key the selection holds for this session only.
    if (!m_data.storageKey().empty() && !lists.saveSelection(m_data.storageKey())) {
        platform::reporter().message("Known frequency scanning selection",
                                     "The selection could not be saved in the settings store.",
                                     platform::MessageIcon::Warning);
    }
    QDialog::accept();
}

}  // namespace lumaret
