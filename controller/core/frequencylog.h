// The operator's log of interesting frequencies and its file, the
// scratchpad: one record a line, nine fields each followed by "|"
// (frequency in Hz, mode name, filter in Hz, AGC name, date, time, two
// texts of the operator, receiver name). A line is a record when its first
// and third fields start with numbers above 0; fields it lacks are empty.
// Lines that are no record (or carry more than nine fields) are kept as
// they are and written back after the records, so a save never loses them.
// The file is written to a temporary name and renamed into place.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace tessaly {

enum LogField {
    LogFrequency,
    LogMode,
    LogFilter,
    LogAgc,
    LogDate,
    LogTime,
    LogDescription,
    LogRemarks,
    LogReceiver,
    LogFieldCount
};
using LogRecord = std::array<QString, LogFieldCount>;

inline const char* kScratchpadName = "scratchpad.txt";

struct Scratchpad {
    std::vector<LogRecord> records;
    QStringList keptLines;  // lines that are no record, unchanged
};
Scratchpad parseScratchpad(const QByteArray& bytes);
QByteArray formatScratchpad(const std::vector<LogRecord>& records, const QStringList& keptLines);

// The number a text starts with (blanks first are allowed), 0 when none:
// "7100000", " 2400 Hz" and "2.4k" read 7100000, 2400 and 2.4.
double leadingNumber(const QString& text);
// A number for a list column: its decimal text with one blank in front for
// each of value < 10, < 100, < 1000 that a column this wide (in digits)
// leaves room for.
QString numberColumn(double value, int width);
// Fields 0 to 7 of a record, each of the first seven followed by a TAB.
QString clipboardText(const LogRecord& record);
// Whether a text may go into a field: a "|" or a line break would split
// the record in the file, so such a text is refused.
bool fieldTextAllowed(const QString& text);

class FrequencyLog : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FrequencyLog(QObject* parent = nullptr);

    struct FileResult {
        bool ok = true;
        QString error;  // why the file could not be read or written
    };
    // A missing file gives an empty log (and no error).
    FileResult load(const QString& path);
    FileResult save(const QString& path) const;

    int count() const { return static_cast<int>(m_records.size()); }
    const LogRecord& record(int row) const { return m_records.at(static_cast<std::size_t>(row)); }
    const std::vector<LogRecord>& records() const { return m_records; }
    const QStringList& keptLines() const { return m_kept; }
    int append(const LogRecord& record);
    void remove(int row);
    void setAll(std::vector<LogRecord> records, QStringList kept);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Frequency and filter take whole numbers above 0; no field takes a "|"
    // or a line break.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Reorders the records themselves: the file keeps the order shown.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // A record was added, edited, removed or moved.
    void edited();

private:
    std::vector<LogRecord> m_records;
    QStringList m_kept;
};

}  // namespace tessaly
