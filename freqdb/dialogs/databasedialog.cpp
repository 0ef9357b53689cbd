// The station database configuration dialog.
#include "databasedialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "freqdb/frequencydata.h"
#include "freqdb/sourcetable.h"
#include "platform/numbers.h"
#include "platform/reporter.h"

namespace lumaret {

namespace {

constexpr int kBeepHz = 440;
constexpr int kBeepMs = 100;
constexpr int kMaxText = 128;
constexpr int kMaxPath = 2047;
// Problems named in the one warning box of a file that passes the check.
constexpr std::size_t kWarningLines = 5;

QString defaultChooser(QWidget* parent, const QString& current)
{
    return QFileDialog::getOpenFileName(parent, QString(), current,
                                        QStringLiteral("Database File (*.mdb,*.dbf,*.csv) (*.mdb *.dbf *.csv)"));
}

DatabaseDialog::FileChooser& chooser()
{
    static DatabaseDialog::FileChooser current = &defaultChooser;
    return current;
}

QString fromStd(const std::string& text)
{
    return QString::fromStdString(text);
}

// The wait cursor while a file is read.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

DatabaseDialog::FileChooser DatabaseDialog::setFileChooser(FileChooser replacement)
{
    FileChooser old = chooser();
    chooser() = replacement ? std::move(replacement) : FileChooser(&defaultChooser);
    return old;
}

DatabaseDialog::DatabaseDialog(FrequencyData& data, QWidget* parent)
    : QDialog(parent), m_data(data), m_user(new QLineEdit(this)), m_password(new QLineEdit(this)),
      m_file(new QLineEdit(this)), m_browse(new QPushButton(QStringLiteral("..."), this)), m_table(new QComboBox(this)),
      m_status(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Database configuration"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_user->setObjectName(QStringLiteral("user"));
    m_user->setMaxLength(kMaxText);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setMaxLength(kMaxText);
    m_password->setEchoMode(QLineEdit::Password);
    m_file->setObjectName(QStringLiteral("file"));
    m_file->setReadOnly(true);
    m_file->setEnabled(false);
    m_file->setMaxLength(kMaxPath);
    m_browse->setObjectName(QStringLiteral("browse"));
    m_browse->setToolTip(QStringLiteral("Choose the station file"));
    m_browse->setAutoDefault(false);
    m_table->setObjectName(QStringLiteral("table"));
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);

    const char* const names[ColumnCount] = {"freqColumn",  "descColumn", "statColumn",
                                            "modulColumn", "modeColumn", "baudColumn"};
    const char* const labels[ColumnCount] = {"Freq.", "Desc.", "Station", "Modul.", "Mode", "Bauds"};
    auto* fieldBox = new QGroupBox(QStringLiteral("FIELD"), this);
    auto* fields = new QFormLayout(fieldBox);
    for (int c = 0; c < ColumnCount; ++c) {
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(names[c]));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        box->lineEdit()->setMaxLength(kMaxText);
        connect(box->lineEdit(), &QLineEdit::textEdited, this,
                [this, box](const QString& text) { onColumnEdited(box, text); });
        fields->addRow(QString::fromLatin1(labels[c]), box);
        m_columns[static_cast<std::size_t>(c)] = box;
    }

    auto* tableBox = new QGroupBox(QStringLiteral("TABLE"), this);
    auto* tableLayout = new QVBoxLayout(tableBox);
    auto* nameRow = new QFormLayout;
    nameRow->addRow(QStringLiteral("NAME"), m_table);
    tableLayout->addLayout(nameRow);
    tableLayout->addWidget(fieldBox);

    auto* databaseBox = new QGroupBox(QStringLiteral("DATABASE"), this);
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("USER"), this), 0, 0);
    top->addWidget(m_user, 0, 1);
    top->addWidget(new QLabel(QStringLiteral("PASSWORD"), this), 0, 2);
    top->addWidget(m_password, 0, 3, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("FILE"), this), 1, 0);
    top->addWidget(m_file, 1, 1, 1, 3);
    top->addWidget(m_browse, 1, 4);
    m_browse->setMaximumWidth(m_browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
    auto* databaseLayout = new QVBoxLayout(databaseBox);
    databaseLayout->addLayout(top);
    databaseLayout->addWidget(tableBox);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &DatabaseDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(databaseBox);
    layout->addLayout(bottom);
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 64);

    setTabOrder(m_user, m_password);
    setTabOrder(m_password, m_browse);
    setTabOrder(m_browse, m_table);
    QWidget* previous = m_table;
    for (QComboBox* box : m_columns) {
        setTabOrder(previous, box);
        previous = box;
    }
    setTabOrder(previous, ok);
    setTabOrder(ok, cancel);

    connect(m_user, &QLineEdit::textEdited, this, &DatabaseDialog::onUserEdited);
    connect(m_password, &QLineEdit::textEdited, this, [this] { setStatus(QString()); });
    connect(m_browse, &QPushButton::clicked, this, &DatabaseDialog::onBrowse);
    connect(m_table, &QComboBox::activated, this, &DatabaseDialog::onTableChosen);

    fillFromSettings(m_data.database().settings());
}

void DatabaseDialog::fillFromSettings(const DatabaseSettings& s)
{
    m_user->setText(fromStd(s.user));
    m_password->setText(fromStd(s.password));
    m_password->setEnabled(!s.user.empty());
    m_file->setText(fromStd(s.file));
    if (!s.file.empty()) {
        // The lists the operator may pick from, then the stored choices.
        refreshTables();
        if (StationDatabase::sourceKind(s.file) == SourceKind::Access) {
            const int index = m_table->findText(fromStd(s.table), Qt::MatchFixedString);
            m_table->setCurrentIndex(index);
            if (index >= 0) {
                listColumns(false);
            }
        }
    }
    m_table->setCurrentText(fromStd(s.table));
    if (m_table->currentText().isEmpty() && !s.table.empty()) {
        m_table->addItem(fromStd(s.table));
        m_table->setCurrentIndex(m_table->count() - 1);
    }
    // "Modul." holds the mode column and "Mode" the modulation column.
    const std::string* values[ColumnCount] = {&s.freqColumn, &s.descColumn, &s.statColumn,
                                              &s.modeColumn, &s.moduColumn, &s.baudColumn};
    for (int c = 0; c < ColumnCount; ++c) {
        QComboBox* box = m_columns[static_cast<std::size_t>(c)];
        const QString value = fromStd(*values[c]);
        const int index = box->findText(value, Qt::MatchFixedString);
        if (index >= 0) {
            box->setCurrentIndex(index);
        } else {
            box->setEditText(value);
        }
    }
}

DatabaseSettings DatabaseDialog::editedSettings() const
{
    DatabaseSettings s = m_data.database().settings();
    s.user = m_user->text().toStdString();
    s.password = m_password->text().toStdString();
    s.file = m_file->text().toStdString();
    s.table = m_table->currentText().toStdString();
    std::string* values[ColumnCount] = {&s.freqColumn, &s.descColumn, &s.statColumn,
                                        &s.modeColumn, &s.moduColumn, &s.baudColumn};
    for (int c = 0; c < ColumnCount; ++c) {
        *values[c] = m_columns[static_cast<std::size_t>(c)]->currentText().toStdString();
    }
    return s;
}

void DatabaseDialog::setStatus(const QString& text)
{
    m_status->setText(text);
}

void DatabaseDialog::onUserEdited(const QString& text)
{
    setStatus(QString());
    m_password->clear();
    m_password->setEnabled(!text.isEmpty());
}

void DatabaseDialog::onBrowse()
{
    setStatus(QString());
    const QString path = chooser()(this, m_file->text());
    if (path.isEmpty()) {
        return;
    }
    if (!acceptFile(path)) {
        return;
    }
    m_file->setText(path);
    refreshTables();
}

bool DatabaseDialog::acceptFile(const QString& path)
{
    const std::string file = path.toStdString();
    if (StationDatabase::sourceKind(file) != SourceKind::Text) {
        return true;
    }
    TextCheckResult check;
    {
        WaitCursor wait;
        check = checkTextFile(file, false);
    }
    if (check.unreadable) {
        setStatus(QStringLiteral("Cannot read \"%1\"").arg(QFileInfo(path).fileName()));
        return false;
    }
    // One box for the whole file, however many lines fail.
    if (!check.ok) {
        platform::reporter().message("Format Error", checkSummary(file, check), platform::MessageIcon::Critical);
        return false;
    }
    if (check.problems > 0 && !check.messages.empty()) {
        std::string text = check.messages.front();
        for (std::size_t i = 1; i < check.messages.size() && i < kWarningLines; ++i) {
            const std::string& more = check.messages[i];
            const std::size_t detail = more.find("\n\t");
            text += detail == std::string::npos ? more : more.substr(detail + 1);
        }
        if (check.problems > kWarningLines) {
            text += "\t" + platform::formatInt(static_cast<std::int64_t>(check.problems - kWarningLines)) +
                    " more problems\n";
        }
        platform::reporter().message("Format Error", text, platform::MessageIcon::Warning);
    }
    const std::string problem = csvFileNameProblem(file);
    if (!problem.empty()) {
        platform::reporter().message("Format Error", problem, platform::MessageIcon::Critical);
        return false;
    }
    return true;
}

void DatabaseDialog::refreshTables()
{
    WaitCursor wait;
    const DatabaseSettings s = editedSettings();
    for (QComboBox* box : m_columns) {
        box->clear();
        box->setEnabled(true);
    }
    m_table->clear();
    if (s.file.empty()) {
        return;
    }
    if (StationDatabase::sourceKind(s.file) != SourceKind::Access) {
        m_table->addItem(fromStd(StationDatabase::tableForFile(s.file)));
        m_table->setCurrentIndex(0);
        m_table->setEnabled(false);
        listColumns(true);
        return;
    }
    m_table->setEnabled(true);
    std::vector<std::string> tables;
    SourceError error;
    if (!listMdbTables(s.file, tables, error)) {
        setStatus(fromStd(errorText(error)));
        return;
    }
    for (const std::string& table : tables) {
        m_table->addItem(fromStd(table));
    }
    m_table->setCurrentIndex(-1);
}

void DatabaseDialog::onTableChosen(int index)
{
    if (index < 0) {
        return;
    }
    for (QComboBox* box : m_columns) {
        box->clear();
    }
    listColumns(true);
}

void DatabaseDialog::listColumns(bool preselect)
{
    WaitCursor wait;
    const DatabaseSettings s = editedSettings();
    std::vector<std::string> names;
    SourceError error;
    if (!StationDatabase::readColumns(s, names, error)) {
        setStatus(fromStd(errorText(error)));
        return;
    }
    for (QComboBox* box : m_columns) {
        box->clear();
        for (const std::string& name : names) {
            box->addItem(fromStd(name));
        }
        box->addItem(QString());
        box->setCurrentIndex(box->count() - 1);
    }
    if (!preselect) {
        return;
    }
    const ColumnGuess guess = guessColumns(names);
    const std::pair<Column, const std::string*> guesses[] = {
        {Freq, &guess.freq}, {Desc, &guess.desc}, {Stat, &guess.stat}};
    for (const auto& [column, name] : guesses) {
        if (!name->empty()) {
            QComboBox* box = m_columns[static_cast<std::size_t>(column)];
            box->setCurrentIndex(box->findText(fromStd(*name), Qt::MatchExactly | Qt::MatchCaseSensitive));
        }
    }
}

void DatabaseDialog::onColumnEdited(QComboBox* box, const QString& text)
{
    if (text.isEmpty()) {
        box->setCurrentIndex(box->findText(QString(), Qt::MatchExactly));
        return;
    }
    // Only a column of the table (or its beginning, completed) is kept.
    for (int i = 0; i < box->count(); ++i) {
        const QString entry = box->itemText(i);
        if (!entry.isEmpty() && entry.startsWith(text, Qt::CaseInsensitive)) {
            box->setCurrentIndex(i);
            box->lineEdit()->setText(entry);
            box->lineEdit()->setSelection(static_cast<int>(text.size()), static_cast<int>(entry.size() - text.size()));
            return;
        }
    }
    box->setCurrentIndex(-1);
    box->clearEditText();
}

void DatabaseDialog::accept()
{
    const DatabaseSettings edited = editedSettings();
    if (!settingsComplete(edited)) {
        // The edits are dropped: the object keeps the stored settings.
        platform::reporter().beep(kBeepHz, kBeepMs);
        QDialog::reject();
        return;
    }
    StationDatabase& database = m_data.database();
    database.setSettings(edited);
    if (!m_data.storageKey().empty() && !database.saveToStore(m_data.storageKey())) {
        platform::reporter().message("Database configuration",
                                     "The database settings could not be saved in the settings store.",
                                     platform::MessageIcon::Warning);
    }
    database.open();
    QDialog::accept();
}

}  // namespace lumaret
