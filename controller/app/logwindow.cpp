// The frequency log window.
#include "logwindow.h"

#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>

#include "controller/core/channeltable.h"
#include "messages.h"
#include "windowbutton.h"

namespace tessaly {

using namespace quorvin;

namespace {

// The cells' editors: pick lists for mode and AGC, whole numbers for the
// frequency and the filter, and texts without "|" for the rest.
class LogDelegate : public QStyledItemDelegate {
public:
    LogDelegate(LogWindow& window, QObject* parent) : QStyledItemDelegate(parent), m_window(window) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override
    {
        if (index.column() == LogMode || index.column() == LogAgc) {
            auto* box = new QComboBox(parent);
            box->addItems(index.column() == LogMode ? modePickList(m_window.driverOf(), m_window.receiver())
                                                    : agcPickList(m_window.driverOf(), m_window.receiver()));
            box->setEditable(false);
            return box;
        }
        auto* edit = new QLineEdit(parent);
        const bool number = index.column() == LogFrequency || index.column() == LogFilter;
        const QString pattern = number ? QStringLiteral("[0-9]{0,10}") : QStringLiteral("[^|\\r\\n]*");
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
        return edit;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QString text = index.data(Qt::EditRole).toString();
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            const int at = box->findText(text);
            if (at < 0 && !text.isEmpty()) {
                box->insertItem(0, text);  // a name from another receiver stays choosable
            }
            box->setCurrentIndex(std::max(0, box->findText(text)));
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            edit->setText(text);
            edit->selectAll();
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        QString text;
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            text = box->currentText();
        } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            text = edit->text();
        }
        model->setData(index, text, Qt::EditRole);
    }

private:
    LogWindow& m_window;
};

}  // namespace

LogWindow::LogWindow(Messages& messages, QWidget* parent) : QDialog(parent), m_messages(messages)
{
    setObjectName(QStringLiteral("DataLog"));
    auto* root = new QVBoxLayout(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setModel(&m_log);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    m_grid->setItemDelegate(new LogDelegate(*this, m_grid));
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->setAlternatingRowColors(true);
    m_grid->setWordWrap(false);
    const int widths[LogFieldCount] = {84, 52, 52, 52, 84, 64, 200, 120, 80};
    for (int c = 0; c < LogFieldCount; ++c) {
        m_grid->setColumnWidth(c, widths[c]);
    }
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->horizontalHeader()->setSectionsClickable(true);
    m_grid->setToolTip(QStringLiteral("Double-click a record to tune the receiver to it; F2 or a click on the "
                                      "selected cell edits it; a click on a heading sorts"));
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        QHeaderView* header = m_grid->horizontalHeader();
        const Qt::SortOrder order =
            header->sortIndicatorSection() == column && header->sortIndicatorOrder() == Qt::AscendingOrder
                ? Qt::DescendingOrder
                : Qt::AscendingOrder;
        header->setSortIndicatorShown(true);
        header->setSortIndicator(column, order);
        m_log.sort(column, order);
    });
    connect(m_grid, &QTableView::activated, this, [this](const QModelIndex& index) {
        if (index.isValid()) {
            tune(index.row());
        }
    });
    root->addWidget(m_grid, 1);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setWordWrap(true);
    root->addWidget(m_status);

    auto* row = new QHBoxLayout;
    auto* insertButton = windowButton(QStringLiteral("Insert"), QStringLiteral("&Insert"),
                                      QStringLiteral("Log the receiver's current settings"), this);
    auto* copyButton = windowButton(QStringLiteral("Copy"), QStringLiteral("&Copy"),
                                    QStringLiteral("Copy the selected record as tab-separated text"), this);
    auto* deleteButton = windowButton(QStringLiteral("Delete"), QStringLiteral("&Delete"),
                                      QStringLiteral("Remove the selected record"), this);
    auto* okButton = windowButton(QStringLiteral("OK"), QStringLiteral("OK"), QStringLiteral("Save and close"), this);
    auto* cancelButton = windowButton(QStringLiteral("Cancel"), QStringLiteral("Cancel"),
                                      QStringLiteral("Close; an edit still open is dropped"), this);
    row->addWidget(insertButton);
    row->addWidget(copyButton);
    row->addWidget(deleteButton);
    row->addStretch(1);
    row->addWidget(okButton);
    row->addWidget(cancelButton);
    root->addLayout(row);
    connect(insertButton, &QPushButton::clicked, this, [this] { insert(); });
    connect(copyButton, &QPushButton::clicked, this, &LogWindow::copy);
    connect(deleteButton, &QPushButton::clicked, this, &LogWindow::remove);
    connect(okButton, &QPushButton::clicked, this, &LogWindow::accept);
    connect(cancelButton, &QPushButton::clicked, this, &LogWindow::reject);
    connect(&m_log, &FrequencyLog::edited, this, [this] {
        persist();
        updateTitle();
    });
    updateTitle();
    resize(860, 420);
}

quorvin::IReceiverDriver* LogWindow::driverOf() const
{
    return m_driver;
}

void LogWindow::init(IReceiverDriver* driver)
{
    m_driver = driver;
    m_path = QDir::current().filePath(QString::fromLatin1(kScratchpadName));
    const auto result = m_log.load(m_path);
    m_readOnly = !result.ok;
    if (!result.ok) {
        setStatus(QStringLiteral("%1 cannot be read (%2): the log starts empty and is not saved, so the file stays "
                                 "as it is.")
                      .arg(QDir::toNativeSeparators(m_path), result.error),
                  true);
    } else if (!m_log.keptLines().isEmpty()) {
        setStatus(QStringLiteral("%1 line(s) of %2 are not log records; they are kept in the file unchanged.")
                      .arg(m_log.keptLines().size())
                      .arg(QString::fromLatin1(kScratchpadName)));
    }
    updateTitle();
}

QString LogWindow::statusText() const
{
    return m_status->text();
}

void LogWindow::setStatus(const QString& text, bool error)
{
    m_status->setText(text);
    m_status->setStyleSheet(error ? QStringLiteral("color: #c00000;") : QString());
}

void LogWindow::updateTitle()
{
    setWindowTitle(QStringLiteral("Frequency logs [%1 records]").arg(m_log.count()));
}

void LogWindow::persist()
{
    if (m_readOnly || m_path.isEmpty()) {
        return;
    }
    const auto result = m_log.save(m_path);
    if (result.ok) {
        if (m_saveFailed) {
            setStatus(QStringLiteral("The log is saved again."));
        }
        m_saveFailed = false;
        return;
    }
    const QString text = QStringLiteral("Cannot write %1 (%2): the log is kept here, the file holds the last saved "
                                        "state.")
                             .arg(QDir::toNativeSeparators(m_path), result.error);
    setStatus(text, true);
    if (!m_saveFailed) {
        m_messages.message(windowTitle(), text, Messages::Icon::Warning);
    }
    m_saveFailed = true;
}

bool LogWindow::receiverUsable() const
{
    std::int16_t count = 0;
    return m_driver != nullptr && m_driver->get_RxCount(&count) == S_OK && m_rx >= 0 && m_rx < count;
}

void LogWindow::open(std::int16_t receiver, bool logNow)
{
    m_rx = receiver;
    show();
    raise();
    activateWindow();
    if (logNow) {
        insert();
    }
    updateTitle();
}

int LogWindow::selectedRow() const
{
    const QModelIndex current = m_grid->currentIndex();
    return current.isValid() && current.row() < m_log.count() ? current.row() : -1;
}

bool LogWindow::insert()
{
    if (!receiverUsable()) {
        return false;
    }
    std::int32_t f = -1, flt = 0;
    MODTYPE mod = ModNone;
    AGCTYPE agc = AgcNone;
    std::string modName, agcName, name;
    m_driver->get_RxFrq(m_rx, NONE, &f);
    m_driver->get_RxMod(m_rx, &mod);
    m_driver->get_RxModName(m_rx, mod, &modName);
    m_driver->get_RxFltBW(m_rx, &flt);
    m_driver->get_RxAgcSts(m_rx, &agc);
    m_driver->get_RxAgcName(m_rx, agc, &agcName);
    m_driver->get_RxName(m_rx, &name);
    if (f <= 0) {
        setStatus(
            QStringLiteral("%1 has not reported its frequency: nothing was logged.").arg(QString::fromStdString(name)),
            true);
        return false;
    }
    const QDateTime now = QDateTime::currentDateTime();
    LogRecord record;
    record[LogFrequency] = QString::number(f);
    record[LogMode] = QString::fromStdString(modName);
    record[LogFilter] = QString::number(flt);
    record[LogAgc] = QString::fromStdString(agcName);
    record[LogDate] = now.date().toString(QStringLiteral("yyyy-MM-dd"));
    record[LogTime] = now.time().toString(QStringLiteral("HH:mm:ss"));
    record[LogDescription] = QStringLiteral("Unknown");
    record[LogReceiver] = QString::fromStdString(name);
    const int row = m_log.append(record);
    const QModelIndex cell = m_log.index(row, LogDescription);
    m_grid->setCurrentIndex(cell);
    m_grid->scrollTo(cell);
    if (isVisible()) {
        m_grid->edit(cell);
    }
    return true;
}

void LogWindow::tune(int row)
{
    if (row < 0 || row >= m_log.count() || !receiverUsable()) {
        return;
    }
    std::int32_t remote = 0;
    m_driver->get_RxIsRemote(m_rx, &remote);
    if (remote == 0) {
        setStatus(QStringLiteral("The receiver is not under remote control (U takes it): not tuned."), true);
        return;
    }
    const LogRecord& r = m_log.record(row);
    const double f = leadingNumber(r[LogFrequency]);
    std::int32_t lo = 0, hi = 0;
    m_driver->get_RxFrqMin(m_rx, &lo);
    m_driver->get_RxFrqMax(m_rx, &hi);
    if (f < lo || f > hi) {
        setStatus(QStringLiteral("%1 Hz is outside this receiver's range: not tuned.").arg(r[LogFrequency]), true);
        return;
    }
    m_driver->put_RxFrq(m_rx, NONE, static_cast<std::int32_t>(std::llround(f)));
    MODTYPE mod = ModNone;
    m_driver->get_RxModType(m_rx, r[LogMode].toStdString(), &mod);
    if (mod != ModNone) {
        m_driver->put_RxMod(m_rx, mod);
    }
    const double flt = leadingNumber(r[LogFilter]);
    if (flt > 0 && flt < 2147483647.0) {
        m_driver->put_RxFltBW(m_rx, static_cast<std::int32_t>(std::llround(flt)));
    }
    AGCTYPE agc = AgcNone;
    m_driver->get_RxAgcType(m_rx, r[LogAgc].toStdString(), &agc);
    if (agc != AgcNone) {
        m_driver->put_RxAgcSts(m_rx, agc);
    }
    setStatus(QStringLiteral("Tuned to %1 Hz %2.").arg(r[LogFrequency], r[LogMode]));
}

void LogWindow::copy()
{
    const int row = selectedRow();
    if (row < 0) {
        setStatus(QStringLiteral("Select the record to copy."), true);
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(clipboardText(m_log.record(row)));
    setStatus(QStringLiteral("Record copied."));
}

void LogWindow::remove()
{
    const int row = selectedRow();
    if (row < 0) {
        setStatus(QStringLiteral("Select the record to delete."), true);
        return;
    }
    m_log.remove(row);
}

void LogWindow::accept()
{
    // An edit still open is taken.
    const QModelIndex current = m_grid->currentIndex();
    if (QWidget* editor = current.isValid() ? m_grid->indexWidget(current) : nullptr) {
        m_grid->itemDelegate()->setModelData(editor, &m_log, current);
    }
    persist();
    QDialog::accept();
}

void LogWindow::reject()
{
    // Every change is saved as it is made: closing discards only an edit
    // still open.
    QDialog::reject();
}

}  // namespace tessaly
