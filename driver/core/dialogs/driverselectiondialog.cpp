// The driver selection dialog.
#include "driverselectiondialog.h"

#include <functional>

#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "driver/core/activity.h"
#include "driver/core/drivermanager.h"
#include "driver/core/modelregistry.h"
#include "driver/core/receiver.h"
#include "platform/reporter.h"

namespace quorvin {

namespace {

constexpr int kTypeRole = Qt::UserRole;
const char* const kTitle = "Drivers selection and configuration";

// The known drivers in the order the operator sees them.
constexpr DrvType kKnownTypes[] = {DrvNRD535, DrvRA6790, DrvRA1792, DrvTRC243,
                                   DrvREK085, DrvNDX264, DrvTRC294, DrvHF2050};

// Catches Return in a control and runs its own action there instead of
// pressing the default button ("&Done"), which would close the dialog: in
// the name field it adds, in the selected list it configures.
class ReturnRuns : public QObject {
public:
    ReturnRuns(QObject* parent, std::function<void()> add) : QObject(parent), m_add(std::move(add)) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_add();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_add;
};

}  // namespace

DriverSelectionDialog::DriverSelectionDialog(DriverManager& manager, QWidget* parent)
    : QDialog(parent), m_manager(manager), m_known(new QListWidget(this)), m_selected(new QListWidget(this)),
      m_add(new QPushButton(QStringLiteral("&Add"), this)),
      m_removeAll(new QPushButton(QStringLiteral("&Remove all"), this)),
      m_done(new QPushButton(QStringLiteral("&Done"), this)), m_name(new QLineEdit(this))
{
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_known->setObjectName(QStringLiteral("knownDrivers"));
    m_selected->setObjectName(QStringLiteral("selectedDrivers"));
    m_add->setObjectName(QStringLiteral("add"));
    m_removeAll->setObjectName(QStringLiteral("removeAll"));
    m_done->setObjectName(QStringLiteral("done"));
    m_name->setObjectName(QStringLiteral("instanceName"));

    for (const DrvType type : kKnownTypes) {
        auto* item = new QListWidgetItem(QString::fromStdString(modelName(type)), m_known);
        item->setData(kTypeRole, static_cast<int>(type));
        if (!hasModel(type)) {
            // Listed, but nothing could be added for it.
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
            item->setToolTip(QStringLiteral("No driver for this receiver in this version"));
        }
    }
    fillSelected();

    m_add->setEnabled(false);
    m_name->setEnabled(false);
    m_removeAll->setEnabled(!m_manager.Empty());
    m_done->setDefault(true);
    m_add->setAutoDefault(false);
    m_removeAll->setAutoDefault(false);
    m_name->installEventFilter(new ReturnRuns(this, [this] { onAdd(); }));
    m_selected->installEventFilter(new ReturnRuns(this, [this] { onSelectedActivated(m_selected->currentItem()); }));

    auto* knownLabel = new QLabel(QStringLiteral("Known drivers"), this);
    knownLabel->setBuddy(m_known);
    auto* selectedLabel = new QLabel(QStringLiteral("Selected drivers"), this);
    selectedLabel->setBuddy(m_selected);
    auto* nameLabel = new QLabel(QStringLiteral("Instance name"), this);
    nameLabel->setBuddy(m_name);
    auto* hint = new QLabel(QStringLiteral("Double click on a selected driver to configure it"), this);
    hint->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Three columns as the operator knows them: models and the name on the
    // left, the buttons in the middle, the configured instances on the right.
    const int listWidth = fontMetrics().horizontalAdvance(QStringLiteral("WWWWWWWWWWW")) + 24;
    m_known->setMinimumWidth(listWidth);
    m_selected->setMinimumWidth(listWidth);
    m_name->setMinimumWidth(listWidth);
    m_known->setMinimumHeight(fontMetrics().height() * 6);

    auto* grid = new QGridLayout;
    grid->addWidget(knownLabel, 0, 0);
    grid->addWidget(selectedLabel, 0, 2);
    grid->addWidget(m_known, 1, 0);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_removeAll);
    buttons->addWidget(m_add);
    buttons->addStretch();
    buttons->addWidget(m_done);
    grid->addLayout(buttons, 1, 1, 3, 1);
    grid->addWidget(m_selected, 1, 2, 3, 1);
    grid->addWidget(nameLabel, 2, 0);
    grid->addWidget(m_name, 3, 0);
    grid->setRowStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(hint);

    setTabOrder(m_known, m_name);
    setTabOrder(m_name, m_add);
    setTabOrder(m_add, m_removeAll);
    setTabOrder(m_removeAll, m_done);
    setTabOrder(m_done, m_selected);

    connect(m_known, &QListWidget::itemClicked, this, &DriverSelectionDialog::onKnownChosen);
    // Arrow keys and Return choose a model too (not the focus alone).
    connect(m_known, &QListWidget::itemActivated, this, &DriverSelectionDialog::onKnownChosen);
    connect(m_add, &QPushButton::clicked, this, &DriverSelectionDialog::onAdd);
    connect(m_removeAll, &QPushButton::clicked, this, &DriverSelectionDialog::onRemoveAll);
    connect(m_done, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_selected, &QListWidget::itemDoubleClicked, this, &DriverSelectionDialog::onSelectedActivated);
}

QString DriverSelectionDialog::instanceNameFor(const QString& text)
{
    const QString name = text.left(kMaxNameLength).trimmed();
    if (name.isEmpty() || name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/'))) {
        return {};
    }
    return name;
}

void DriverSelectionDialog::fillSelected()
{
    m_selected->clear();
    for (std::size_t i = 0; i < m_manager.Count(); ++i) {
        const ReceiverInstance* inst = m_manager.Instance(static_cast<std::int32_t>(i));
        if (inst != nullptr) {
            m_selected->addItem(QString::fromStdString(inst->name));
        }
    }
}

void DriverSelectionDialog::onKnownChosen(QListWidgetItem* item)
{
    if (item == nullptr || !(item->flags() & Qt::ItemIsEnabled)) {
        return;
    }
    m_name->setEnabled(true);
    m_manager.SetSelectedType(item->data(kTypeRole).toInt());
    m_name->setText(item->text());
    m_add->setEnabled(true);
    m_name->setFocus();
    m_name->selectAll();
}

void DriverSelectionDialog::tellBusy()
{
    platform::reporter().message(kTitle,
                                 "A receiver is busy talking to its receiver.\n"
                                 "Try again when it has finished.",
                                 platform::MessageIcon::Warning);
}

bool DriverSelectionDialog::reconfigureAllowed()
{
    if (m_manager.CanReconfigure()) {
        return true;
    }
    tellBusy();
    return false;
}

void DriverSelectionDialog::onAdd()
{
    if (!m_add->isEnabled()) {
        return;
    }
    // Eight or more: the list is full.
    if (m_selected->count() >= kDrvMax) {
        return;
    }
    m_removeAll->setEnabled(true);
    const QString name = instanceNameFor(m_name->text());
    // An empty name would put the instance's values into the configuration
    // key itself, and "\" or "/" would nest keys: refused like a duplicate.
    if (name.isEmpty()) {
        return;
    }
    for (int row = 0; row < m_selected->count(); ++row) {
        if (m_selected->item(row)->text().compare(name, Qt::CaseInsensitive) == 0) {
            return;
        }
    }
    if (!reconfigureAllowed()) {
        return;
    }
    const std::string stdName = name.toStdString();
    ReceiverInstance* added = m_manager.AddInstance(static_cast<DrvType>(m_manager.SelectedType()), stdName);
    if (added == nullptr) {
        platform::reporter().message(kTitle, "The receiver \"" + stdName + "\" could not be added.",
                                     platform::MessageIcon::Warning);
        return;
    }
    m_selected->addItem(name);
    m_manager.SetChanged(true);
    if (added->receiver) {
        // The channel dialogs run on the new receiver: nothing may remove
        // it meanwhile.
        ActivityScope scope;
        added->receiver->RxConfigureLink(stdName);
    }
}

void DriverSelectionDialog::onRemoveAll()
{
    if (!reconfigureAllowed()) {
        return;
    }
    if (!m_manager.Empty() &&
        !platform::reporter().confirm(kTitle,
                                      "Remove every receiver of the configuration \"" + m_manager.ConfigurationName() +
                                          "\" and delete their settings?",
                                      true)) {
        return;
    }
    if (!m_manager.RemoveAllInstances(true)) {
        tellBusy();
        return;
    }
    m_removeAll->setEnabled(false);
    m_add->setEnabled(false);
    m_name->setEnabled(false);
    m_selected->clear();
    m_manager.SetChanged(true);
}

void DriverSelectionDialog::onSelectedActivated(QListWidgetItem* item)
{
    if (item == nullptr) {
        return;
    }
    ReceiverInstance* inst = m_manager.Instance(m_selected->row(item));
    if (inst == nullptr || !inst->receiver) {
        return;
    }
    Receiver& rx = *inst->receiver;
    if (rx.IsEngaged()) {
        tellBusy();
        return;
    }
    // The channel dialogs and the reconnect run on this receiver: while they
    // do (they let events run), nothing may remove or reconfigure it.
    ActivityScope scope;
    const bool wasConnected = rx.IsConnected() != 0;
    if (rx.RxConfigureLink(inst->name) != 0 && wasConnected) {
        // The new settings take effect on a fresh connection.
        rx.Disconnect();
        rx.Connect();
    }
}

}  // namespace quorvin
