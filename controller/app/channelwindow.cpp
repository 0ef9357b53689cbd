// The memory-channel window.
#include "channelwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

#include "filechooser.h"
#include "messages.h"
#include "platform/wait.h"
#include "windowbutton.h"

namespace tessaly {

using namespace quorvin;

namespace {

constexpr qint64 kMaxChannelFileBytes = 16 * 1024 * 1024;

// The cells' editors: pick lists for mode, AGC and mask, whole numbers for
// the rest (the BFO may be negative).
class ChannelDelegate : public QStyledItemDelegate {
public:
    ChannelDelegate(ChannelTable& table, std::function<void(const QModelIndex&)> refused, QObject* parent)
        : QStyledItemDelegate(parent), m_table(table), m_refused(std::move(refused))
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStringList items;
        switch (index.column()) {
        case ColMode: items = m_table.modeNames(); break;
        case ColAgc: items = m_table.agcNames(); break;
        case ColMask: items = ChannelTable::maskNames(); break;
        default: {
            auto* edit = new QLineEdit(parent);
            const QString pattern =
                index.column() == ColBfo ? QStringLiteral("-?[0-9]{0,9}") : QStringLiteral("[0-9]{0,10}");
            edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
            edit->setAlignment(Qt::AlignRight);
            return edit;
        }
        }
        auto* box = new QComboBox(parent);
        box->addItems(items);
        (void)option;
        return box;
    }

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(ChannelTable::ChangedRole).toBool()) {
            option->backgroundBrush = QColor(255, 255, 192);  // not yet written
        }
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        const QString text = index.data(Qt::EditRole).toString();
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            const int at = box->findText(text);
            box->setCurrentIndex(at >= 0 ? at : 0);
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
        if (!model->setData(index, text, Qt::EditRole) && m_refused) {
            m_refused(index);
        }
    }

private:
    ChannelTable& m_table;
    std::function<void(const QModelIndex&)> m_refused;
};

}  // namespace

ChannelWindow::ChannelWindow(Messages& messages, FileChooser& files, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_files(&files)
{
    setObjectName(QStringLiteral("Channel"));
    setWindowTitle(QStringLiteral("Memory channels"));
    connect(&m_dump, &ChannelDump::indicator, this, &ChannelWindow::indicator);

    auto* root = new QVBoxLayout(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("Grid"));
    m_grid->setModel(&m_table);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->setAlternatingRowColors(true);
    m_grid->setItemDelegate(new ChannelDelegate(
        m_table,
        [this](const QModelIndex& index) {
            setStatus(QStringLiteral("Channel %1: \"%2\" was not taken (a whole number, or a name from the list)")
                          .arg(m_table.channelOfRow(index.row()))
                          .arg(m_table.headerData(index.column(), Qt::Horizontal).toString()),
                      true);
        },
        m_grid));
    const int widths[ChannelColumnCount] = {48, 110, 70, 76, 76, 76, 64};
    for (int c = 0; c < ChannelColumnCount; ++c) {
        m_grid->setColumnWidth(c, widths[c]);
    }
    // The values share what the window has to spare.
    m_grid->horizontalHeader()->setStretchLastSection(false);
    for (int c = ColFrequency; c < ChannelColumnCount; ++c) {
        m_grid->horizontalHeader()->setSectionResizeMode(c, QHeaderView::Stretch);
    }
    m_grid->setToolTip(QStringLiteral("Double-click a channel to load it into the receiver; F2 or a click on the "
                                      "selected cell edits it"));
    connect(m_grid, &QTableView::activated, this, [this](const QModelIndex& index) {
        if (index.isValid()) {
            loadRow(index.row());
        }
    });
    root->addWidget(m_grid, 1);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Status"));
    m_status->setWordWrap(true);
    root->addWidget(m_status);

    auto* row = new QHBoxLayout;
    auto* reloadButton = windowButton(QStringLiteral("Reload"), QStringLiteral("&Reload"),
                                      QStringLiteral("Read every channel from the receiver again"), this);
    auto* saveButton = windowButton(QStringLiteral("Save"), QStringLiteral("&Write"),
                                    QStringLiteral("Write the changed channels (tinted) to the receiver"), this);
    auto* getButton =
        windowButton(QStringLiteral("GetIt"), QStringLiteral("&Get it"),
                     QStringLiteral("Copy the receiver's current settings into the selected channel"), this);
    auto* clearButton = windowButton(QStringLiteral("Clear"), QStringLiteral("C&lear all"),
                                     QStringLiteral("Clear every channel of the receiver"), this);
    auto* importButton = windowButton(QStringLiteral("Import"), QStringLiteral("&Import..."),
                                      QStringLiteral("Read channels from a channel file into the grid"), this);
    auto* exportButton = windowButton(QStringLiteral("Export"), QStringLiteral("&Export..."),
                                      QStringLiteral("Write the grid's channels to a channel file"), this);
    auto* cancelButton =
        windowButton(QStringLiteral("Cancel"), QStringLiteral("Close"), QStringLiteral("Close without writing"), this);
    for (QPushButton* b : {reloadButton, saveButton, getButton, clearButton, importButton, exportButton}) {
        row->addWidget(b);
    }
    row->addStretch(1);
    row->addWidget(cancelButton);
    root->addLayout(row);
    connect(reloadButton, &QPushButton::clicked, this, &ChannelWindow::reload);
    connect(saveButton, &QPushButton::clicked, this, &ChannelWindow::save);
    connect(getButton, &QPushButton::clicked, this, &ChannelWindow::getIt);
    connect(clearButton, &QPushButton::clicked, this, &ChannelWindow::clear);
    connect(importButton, &QPushButton::clicked, this, &ChannelWindow::importFile);
    connect(exportButton, &QPushButton::clicked, this, &ChannelWindow::exportFile);
    connect(cancelButton, &QPushButton::clicked, this, &ChannelWindow::reject);
    resize(560, 520);
}

void ChannelWindow::init(IReceiverDriver* driver)
{
    m_driver = driver;
}

QString ChannelWindow::statusText() const
{
    return m_status->text();
}

void ChannelWindow::setStatus(const QString& text, bool error)
{
    m_status->setText(text);
    m_status->setStyleSheet(error ? QStringLiteral("color: #c00000;") : QString());
}

bool ChannelWindow::load(std::int16_t receiver)
{
    if (m_driver == nullptr || m_dump.dumping()) {
        return false;
    }
    const int generation = ++m_generation;
    if (receiver != m_table.receiver() || m_table.driver() != m_driver) {
        m_table.setReceiver(m_driver, receiver);
    }
    std::string name;
    m_driver->get_RxName(receiver, &name);
    setWindowTitle(QStringLiteral("Memory channels - %1").arg(QString::fromStdString(name)));
    m_grid->setColumnHidden(ColMask, !m_table.hasMask());
    setStatus(QStringLiteral("Reading the channels..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = m_dump.run(*m_driver, receiver);
    QApplication::restoreOverrideCursor();
    if (!stillShowing(generation)) {
        return false;
    }
    if (ok) {
        setStatus(QStringLiteral("%1 channels read (%2 to %3)")
                      .arg(m_table.count() - m_table.start())
                      .arg(m_table.start())
                      .arg(m_table.count() - 1));
    } else {
        setStatus(QStringLiteral("The receiver did not list its channels: the grid shows what was read."), true);
    }
    return ok;
}

void ChannelWindow::channelStatus(std::int16_t index, std::int16_t chn, std::int32_t frq, std::int32_t bfo,
                                  std::int32_t mod, std::int32_t flt, std::int32_t agc, std::int32_t msk)
{
    if (m_table.driver() == nullptr || index != m_table.receiver()) {
        return;
    }
    m_dump.status(chn, m_table.count());
    if (chn != -1) {
        // Channels outside the receiver's range are not stored.
        m_table.storeStatus(chn, frq, bfo, mod, flt, agc, msk);
    }
}

void ChannelWindow::abandon()
{
    ++m_generation;
    m_dump.abandon();
    m_table.setReceiver(nullptr, 0);
    hide();
}

void ChannelWindow::done(int result)
{
    // Closing stops the watch and clears the indicator.
    m_dump.abandon();
    QDialog::done(result);
}

void ChannelWindow::closeEvent(QCloseEvent* event)
{
    m_dump.abandon();
    QDialog::closeEvent(event);
}

int ChannelWindow::selectedChannel() const
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid()) {
        return -1;
    }
    const int channel = m_table.channelOfRow(current.row());
    return m_table.validChannel(channel) ? channel : -1;
}

void ChannelWindow::reload()
{
    if (m_table.driver() != nullptr) {
        load(m_table.receiver());
    }
}

void ChannelWindow::save()
{
    IReceiverDriver* driver = m_table.driver();
    if (driver == nullptr) {
        return;
    }
    const int generation = m_generation;
    const std::int16_t rx = m_table.receiver();
    int written = 0;
    QStringList refused;
    for (int c : m_table.changedChannels()) {
        const ChannelCells w = m_table.working(c);
        RCODE result = R_KO;
        driver->RxChnWrite(rx, static_cast<std::int16_t>(c), w.value(ChannelCells::Frequency),
                           w.value(ChannelCells::Bfo), static_cast<MODTYPE>(w.value(ChannelCells::Mode)),
                           w.value(ChannelCells::Filter), static_cast<AGCTYPE>(w.value(ChannelCells::Agc)),
                           w.value(ChannelCells::Mask), &result);
        platform::processPendingEvents();
        if (!stillShowing(generation)) {
            return;
        }
        if (result == R_OK || result == R_WAIT) {
            m_table.markWritten(c);
            ++written;
        } else {
            refused << QString::number(c);
        }
    }
    if (refused.isEmpty()) {
        setStatus(written == 0 ? QStringLiteral("No channel was changed: nothing to write.")
                               : QStringLiteral("%1 channel(s) written to the receiver.").arg(written));
        return;
    }
    const QString text = QStringLiteral("The receiver did not take channel(s) %1; they stay marked as changed.")
                             .arg(refused.join(QStringLiteral(", ")));
    setStatus(QStringLiteral("%1 channel(s) written. ").arg(written) + text, true);
    m_messages.message(windowTitle(), text, Messages::Icon::Warning);
}

void ChannelWindow::clear()
{
    IReceiverDriver* driver = m_table.driver();
    if (driver == nullptr) {
        return;
    }
    const std::int16_t rx = m_table.receiver();
    std::string name;
    driver->get_RxName(rx, &name);
    if (!m_messages.question(windowTitle(), QStringLiteral("Clear all %1 memory channels of %2?")
                                                .arg(m_table.count() - m_table.start())
                                                .arg(QString::fromStdString(name)))) {
        return;
    }
    const int generation = m_generation;
    std::int16_t current = -1;
    driver->get_RxChn(rx, &current);
    if (current != -1) {
        // Off the channel first, and back to where the receiver was.
        stepOffChannel(
            *driver, rx,
            [] {
                QEventLoop loop;
                QTimer::singleShot(20, &loop, &QEventLoop::quit);
                loop.exec(QEventLoop::ExcludeUserInputEvents);
            },
            3000);
        if (!stillShowing(generation)) {
            return;
        }
    }
    int failed = 0;
    for (int c = m_table.start(); c < m_table.count(); ++c) {
        RCODE result = R_KO;
        driver->RxChnClear(rx, static_cast<std::int16_t>(c), &result);
        platform::processPendingEvents();
        if (!stillShowing(generation)) {
            return;
        }
        failed += result == R_OK || result == R_WAIT ? 0 : 1;
    }
    load(rx);
    if (failed > 0) {
        const QString text = QStringLiteral("The receiver did not clear %1 channel(s).").arg(failed);
        setStatus(text, true);
        m_messages.message(windowTitle(), text, Messages::Icon::Warning);
    }
}

void ChannelWindow::getIt()
{
    IReceiverDriver* driver = m_table.driver();
    const int channel = selectedChannel();
    if (driver == nullptr || channel < 0) {
        setStatus(QStringLiteral("Select the channel that is to take the receiver's settings."), true);
        return;
    }
    const std::int16_t rx = m_table.receiver();
    std::int32_t f = -1, bfo = 0, flt = 0;
    MODTYPE mod = ModNone;
    AGCTYPE agc = AgcNone;
    driver->get_RxFrq(rx, NONE, &f);
    driver->get_RxBFO(rx, &bfo);
    driver->get_RxMod(rx, &mod);
    driver->get_RxFltBW(rx, &flt);
    driver->get_RxAgcSts(rx, &agc);
    if (f < 0) {
        setStatus(QStringLiteral("The receiver has not reported its settings yet."), true);
        return;
    }
    ChannelCells cells = m_table.working(channel);
    cells.v[ChannelCells::Frequency] = f;
    cells.v[ChannelCells::Bfo] = bfo;
    cells.v[ChannelCells::Mode] = mod;
    cells.v[ChannelCells::Filter] = flt;
    cells.v[ChannelCells::Agc] = agc;
    cells.v[ChannelCells::Mask] = cells.value(ChannelCells::Mask);
    m_table.setWorking(channel, cells);
    setStatus(QStringLiteral("Channel %1 takes the receiver's settings; Write sends it.").arg(channel));
}

void ChannelWindow::loadRow(int row)
{
    IReceiverDriver* driver = m_table.driver();
    const int channel = m_table.channelOfRow(row);
    if (driver == nullptr || row < 0 || !m_table.validChannel(channel)) {
        return;
    }
    RCODE result = R_KO;
    driver->RxChnLoad(m_table.receiver(), static_cast<std::int16_t>(channel), &result);
    if (result == R_KO || result == R_PERR) {
        setStatus(QStringLiteral("The receiver did not load channel %1.").arg(channel), true);
    } else {
        setStatus(QStringLiteral("Channel %1 loaded into the receiver.").arg(channel));
    }
}

void ChannelWindow::exportFile()
{
    IReceiverDriver* driver = m_table.driver();
    if (driver == nullptr) {
        return;
    }
    std::string name;
    driver->get_RxName(m_table.receiver(), &name);
    const QString path =
        m_files->saveFile(this, QString::fromStdString(name) + QStringLiteral("_Mem"), QStringLiteral("txt"));
    if (path.isEmpty()) {
        return;
    }
    const auto lines = m_table.exportLines();
    const std::string text = channelfile::format(lines);
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok && file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        ok = false;
    }
    if (ok && !file.commit()) {
        ok = false;
    }
    if (!ok) {
        const QString error = file.errorString();
        file.cancelWriting();
        const QString message = QStringLiteral("Cannot write %1: %2. The file was left as it was.")
                                    .arg(QDir::toNativeSeparators(path), error);
        setStatus(message, true);
        m_messages.message(QStringLiteral("Error: Export"), message, Messages::Icon::Warning);
        return;
    }
    setStatus(QStringLiteral("%1 channel(s) exported to %2.").arg(lines.size()).arg(QFileInfo(path).fileName()));
}

void ChannelWindow::importFile()
{
    IReceiverDriver* driver = m_table.driver();
    if (driver == nullptr) {
        return;
    }
    std::string name;
    driver->get_RxName(m_table.receiver(), &name);
    const QString path =
        m_files->openFile(this, QString::fromStdString(name) + QStringLiteral("_Mem"), QStringLiteral("txt"));
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    QString problem;
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else if (file.size() > kMaxChannelFileBytes) {
        problem = QStringLiteral("the file is larger than 16 MB");
    }
    if (!problem.isEmpty()) {
        const QString message = QStringLiteral("Cannot read %1: %2.").arg(QDir::toNativeSeparators(path), problem);
        setStatus(message, true);
        m_messages.message(QStringLiteral("Error: Import"), message, Messages::Icon::Warning);
        return;
    }
    const QByteArray bytes = file.readAll();
    const auto result = m_table.importText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    QString text = QStringLiteral("%1 channel(s) imported; Write sends them to the receiver.").arg(result.taken);
    if (result.skipped > 0) {
        text += QStringLiteral(" %1 line(s) for channels this receiver does not have (%2 to %3) were skipped, the "
                               "first on line %4.")
                    .arg(result.skipped)
                    .arg(m_table.start())
                    .arg(m_table.count() - 1)
                    .arg(result.firstSkipped);
    }
    if (!result.error.isEmpty()) {
        text += QLatin1Char(' ') + result.error + QLatin1Char('.');
    }
    setStatus(text, !result.error.isEmpty());
    if (!result.error.isEmpty()) {
        m_messages.message(QStringLiteral("Error: Invalid format"), result.error, Messages::Icon::Warning);
    }
}

}  // namespace tessaly
