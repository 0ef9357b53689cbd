// The frequency log and its scratchpad file.
#include "frequencylog.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <charconv>

namespace tessaly {

namespace {

constexpr qint64 kMaxScratchpadBytes = 64 * 1024 * 1024;

bool numericColumn(int column)
{
    return column == LogFrequency || column == LogFilter;
}

}  // namespace

double leadingNumber(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* p = bytes.constData();
    const char* end = p + bytes.size();
    // Only the characters of a plain decimal number are looked at.
    const char* q = p;
    if (q < end && (*q == '+' || *q == '-')) {
        ++q;
    }
    while (q < end && ((*q >= '0' && *q <= '9') || *q == '.')) {
        ++q;
    }
    if (p < end && *p == '+') {
        ++p;
    }
    double v = 0;
    const auto res = std::from_chars(p, q, v, std::chars_format::fixed);
    return res.ec == std::errc() ? v : 0;
}

QString numberColumn(double value, int width)
{
    QString text =
        QString::number(value, 'f', value == static_cast<double>(static_cast<long long>(value)) ? 0 : 3).trimmed();
    QString pad;
    if (value < 10 && width > 1) {
        pad += QLatin1Char(' ');
    }
    if (value < 100 && width > 2) {
        pad += QLatin1Char(' ');
    }
    if (value < 1000 && width > 3) {
        pad += QLatin1Char(' ');
    }
    return pad + text;
}

QString clipboardText(const LogRecord& record)
{
    QString out;
    for (int i = 0; i <= LogRemarks; ++i) {
        out += record[static_cast<std::size_t>(i)];
        if (i < LogRemarks) {
            out += QLatin1Char('\t');
        }
    }
    return out;
}

bool fieldTextAllowed(const QString& text)
{
    return !text.contains(QLatin1Char('|')) && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

Scratchpad parseScratchpad(const QByteArray& bytes)
{
    Scratchpad pad;
    const QString text = QString::fromUtf8(bytes);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty()) {
            continue;
        }
        QStringList parts = line.split(QLatin1Char('|'));
        // Every field is followed by "|": the text after the last one is
        // no field when it is empty.
        if (parts.size() > 1 && parts.back().trimmed().isEmpty()) {
            parts.removeLast();
        }
        LogRecord record;
        for (int i = 0; i < LogFieldCount && i < parts.size(); ++i) {
            record[static_cast<std::size_t>(i)] = parts.at(i).trimmed();
        }
        const bool isRecord = parts.size() <= LogFieldCount && leadingNumber(record[LogFrequency]) > 0 &&
                              leadingNumber(record[LogFilter]) > 0;
        if (isRecord) {
            pad.records.push_back(std::move(record));
        } else {
            pad.keptLines << line;
        }
    }
    return pad;
}

QByteArray formatScratchpad(const std::vector<LogRecord>& records, const QStringList& keptLines)
{
    QString out;
    for (const LogRecord& r : records) {
        for (int i = 0; i < LogFieldCount; ++i) {
            const QString& f = r[static_cast<std::size_t>(i)];
            out += (i == LogDate || i == LogTime) ? f : f.trimmed();
            out += QLatin1Char('|');
        }
        out += QStringLiteral("\r\n");
    }
    for (const QString& line : keptLines) {
        out += line + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

FrequencyLog::FrequencyLog(QObject* parent) : QAbstractTableModel(parent) {}

FrequencyLog::FileResult FrequencyLog::load(const QString& path)
{
    QFile file(path);
    if (!file.exists()) {
        setAll({}, {});
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        setAll({}, {});
        return {false, file.errorString()};
    }
    if (file.size() > kMaxScratchpadBytes) {
        setAll({}, {});
        return {false, QStringLiteral("the file is larger than 64 MB")};
    }
    Scratchpad pad = parseScratchpad(file.readAll());
    setAll(std::move(pad.records), std::move(pad.keptLines));
    return {};
}

FrequencyLog::FileResult FrequencyLog::save(const QString& path) const
{
    const QByteArray bytes = formatScratchpad(m_records, m_kept);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {false, file.errorString()};
    }
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return {false, error};
    }
    if (!file.commit()) {
        return {false, file.errorString()};
    }
    return {};
}

int FrequencyLog::append(const LogRecord& record)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_records.push_back(record);
    endInsertRows();
    emit edited();
    return row;
}

void FrequencyLog::remove(int row)
{
    if (row < 0 || row >= count()) {
        return;
    }
    beginRemoveRows({}, row, row);
    m_records.erase(m_records.begin() + row);
    endRemoveRows();
    emit edited();
}

void FrequencyLog::setAll(std::vector<LogRecord> records, QStringList kept)
{
    beginResetModel();
    m_records = std::move(records);
    m_kept = std::move(kept);
    endResetModel();
}

int FrequencyLog::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int FrequencyLog::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : LogFieldCount;
}

QVariant FrequencyLog::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() >= LogFieldCount) {
        return {};
    }
    const QString& field = record(index.row())[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole) {
        if (numericColumn(index.column())) {
            return numberColumn(leadingNumber(field), index.column() == LogFrequency ? 9 : 5);
        }
        return field;
    }
    if (role == Qt::EditRole) {
        return field;
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(
            Qt::Alignment((numericColumn(index.column()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    return {};
}

QVariant FrequencyLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    static const char* const kHeadings[LogFieldCount] = {"Frequency", "Mode",        "Filter",  "AGC",     "Date",
                                                         "Time",      "Description", "Remarks", "Receiver"};
    return section >= 0 && section < LogFieldCount ? QString::fromLatin1(kHeadings[section]) : QVariant();
}

Qt::ItemFlags FrequencyLog::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() != LogDate && index.column() != LogTime && index.column() != LogReceiver) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

bool FrequencyLog::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= count() || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    const QString text = value.toString().trimmed();
    if (!fieldTextAllowed(text)) {
        return false;
    }
    if (numericColumn(index.column())) {
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        if (!ok || n <= 0 || n > 2147483647) {
            return false;
        }
    }
    QString& field = m_records[static_cast<std::size_t>(index.row())][static_cast<std::size_t>(index.column())];
    if (field == text) {
        return true;
    }
    field = text;
    emit dataChanged(index, index);
    emit edited();
    return true;
}

void FrequencyLog::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= LogFieldCount || m_records.size() < 2) {
        return;
    }
    emit layoutAboutToBeChanged();
    const auto key = [column](const LogRecord& r) {
        return column == LogDate || column == LogTime ? r[LogDate] + QLatin1Char(' ') + r[LogTime]
                                                      : r[static_cast<std::size_t>(column)];
    };
    std::stable_sort(m_records.begin(), m_records.end(), [&](const LogRecord& a, const LogRecord& b) {
        const bool less = numericColumn(column) ? leadingNumber(a[static_cast<std::size_t>(column)]) <
                                                      leadingNumber(b[static_cast<std::size_t>(column)])
                                                : QString::localeAwareCompare(key(a), key(b)) < 0;
        const bool greater = numericColumn(column) ? leadingNumber(b[static_cast<std::size_t>(column)]) <
                                                         leadingNumber(a[static_cast<std::size_t>(column)])
                                                   : QString::localeAwareCompare(key(b), key(a)) < 0;
        return order == Qt::AscendingOrder ? less : greater;
    });
    emit layoutChanged();
    emit edited();
}

}  // namespace tessaly
