// The frequency log without a window: the scratchpad's loading rule, lines
// that are no record, saving on a real file, field edits and the copy text.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "controller/core/frequencylog.h"

namespace tessaly {
namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(FrequencyLog, LoadingKeepsRecordsAndSetsOtherLinesAside)
{
    const QByteArray text = "7100000|USB|2400|Fast|2026-12-08|19:00:00|Net control | x |NRD535|\r\n"
                            "0|USB|2400|Fast|d|t|zero frequency||R|\r\n"
                            "\r\n"
                            "abc|USB|2400|Fast|d|t|no number||R|\r\n"
                            "7050000|LSB|0|Fast|d|t|no filter||R|\n"
                            "7050000 |LSB| 2200\n"  // short: the rest is empty
                            "9650000|AM|6000|Slow|d|t|a|b|R|extra|fields|\n";
    const Scratchpad pad = parseScratchpad(text);
    ASSERT_EQ(pad.records.size(), 2u);
    EXPECT_EQ(pad.records[0][LogFrequency], QStringLiteral("7100000"));
    EXPECT_EQ(pad.records[0][LogDescription], QStringLiteral("Net control"));
    EXPECT_EQ(pad.records[0][LogRemarks], QStringLiteral("x"));
    EXPECT_EQ(pad.records[0][LogReceiver], QStringLiteral("NRD535"));
    EXPECT_EQ(pad.records[1][LogFrequency], QStringLiteral("7050000"));
    EXPECT_EQ(pad.records[1][LogFilter], QStringLiteral("2200"));
    EXPECT_EQ(pad.records[1][LogReceiver], QString());
    EXPECT_EQ(pad.keptLines.size(), 4);
    EXPECT_EQ(pad.keptLines.at(0), QStringLiteral("0|USB|2400|Fast|d|t|zero frequency||R|"));

    // Saved: records first, each field followed by "|", then the kept lines
    // unchanged; the short record gains its empty fields.
    const QByteArray out = formatScratchpad(pad.records, pad.keptLines);
    EXPECT_TRUE(out.startsWith("7100000|USB|2400|Fast|2026-12-08|19:00:00|Net control|x|NRD535|\r\n"
                               "7050000|LSB|2200|||||||\r\n"
                               "0|USB|2400|Fast|d|t|zero frequency||R|\r\n"));
    EXPECT_TRUE(out.endsWith("9650000|AM|6000|Slow|d|t|a|b|R|extra|fields|\r\n"));
    const Scratchpad again = parseScratchpad(out);
    EXPECT_EQ(again.records, pad.records);
    EXPECT_EQ(again.keptLines, pad.keptLines);
}

TEST(FrequencyLog, SavesToARealFileAndSaysWhenItCannot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("scratchpad.txt"));
    FrequencyLog log;
    EXPECT_TRUE(log.load(path).ok);  // missing: empty
    EXPECT_EQ(log.count(), 0);
    LogRecord r;
    r[LogFrequency] = QStringLiteral("7100000");
    r[LogFilter] = QStringLiteral("2400");
    r[LogDate] = QStringLiteral("2026-12-08");
    r[LogDescription] = QStringLiteral("Unknown");
    int edits = 0;
    QObject::connect(&log, &FrequencyLog::edited, [&] { ++edits; });
    log.append(r);
    r[LogFrequency] = QStringLiteral("9650000");
    log.append(r);
    EXPECT_EQ(edits, 2);
    EXPECT_TRUE(log.save(path).ok);
    EXPECT_EQ(readFile(path), QByteArray("7100000||2400||2026-12-08||Unknown|||\r\n"
                                         "9650000||2400||2026-12-08||Unknown|||\r\n"));
    FrequencyLog back;
    EXPECT_TRUE(back.load(path).ok);
    EXPECT_EQ(back.records(), log.records());

    // A place that cannot take the file: an error, nothing half-written.
    const auto failed = log.save(dir.filePath(QStringLiteral("missing/scratchpad.txt")));
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.error.isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("scratchpad.txt")});

    // A file that cannot be read is an error, not an empty log.
    const QString folder = dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(back.load(folder).ok);
}

TEST(FrequencyLog, EditsRefuseTextsThatWouldSplitARecord)
{
    FrequencyLog log;
    LogRecord r;
    r[LogFrequency] = QStringLiteral("7100000");
    r[LogFilter] = QStringLiteral("2400");
    log.append(r);
    const auto cell = [&](int column) { return log.index(0, column); };
    EXPECT_TRUE(log.setData(cell(LogDescription), QStringLiteral(" Radio Rivet ")));
    EXPECT_EQ(log.record(0)[LogDescription], QStringLiteral("Radio Rivet"));
    EXPECT_FALSE(log.setData(cell(LogDescription), QStringLiteral("a|b")));
    EXPECT_FALSE(log.setData(cell(LogRemarks), QStringLiteral("two\nlines")));
    EXPECT_FALSE(log.setData(cell(LogRemarks), QStringLiteral("cr\rhere")));
    EXPECT_EQ(log.record(0)[LogDescription], QStringLiteral("Radio Rivet"));
    EXPECT_FALSE(log.setData(cell(LogFrequency), QStringLiteral("0")));
    EXPECT_FALSE(log.setData(cell(LogFilter), QStringLiteral("wide")));
    EXPECT_TRUE(log.setData(cell(LogFilter), QStringLiteral("3000")));
    EXPECT_FALSE(log.setData(cell(LogDate), QStringLiteral("2026-01-01")));  // not editable
    EXPECT_EQ(log.data(cell(LogFrequency)).toString(), QStringLiteral("7100000"));
}

TEST(FrequencyLog, CopyTextAndNumberRules)
{
    LogRecord r;
    for (int i = 0; i < LogFieldCount; ++i) {
        r[static_cast<std::size_t>(i)] = QString::number(i);
    }
    EXPECT_EQ(clipboardText(r), QStringLiteral("0\t1\t2\t3\t4\t5\t6\t7"));
    EXPECT_EQ(leadingNumber(QStringLiteral(" 2400 Hz")), 2400);
    EXPECT_EQ(leadingNumber(QStringLiteral("7100000")), 7100000);
    EXPECT_EQ(leadingNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(leadingNumber(QString()), 0);
    EXPECT_EQ(leadingNumber(QStringLiteral("-5")), -5);
    EXPECT_EQ(numberColumn(5, 3), QStringLiteral("  5"));
    EXPECT_EQ(numberColumn(50, 3), QStringLiteral(" 50"));
    EXPECT_EQ(numberColumn(500, 5), QStringLiteral(" 500"));
    EXPECT_EQ(numberColumn(2400, 5), QStringLiteral("2400"));
    EXPECT_EQ(numberColumn(5, 1), QStringLiteral("5"));
}

TEST(FrequencyLog, SortingMovesTheRecords)
{
    FrequencyLog log;
    for (const char* f : {"9650000", "7100000", "15400000"}) {
        LogRecord r;
        r[LogFrequency] = QString::fromLatin1(f);
        r[LogFilter] = QStringLiteral("2400");
        log.append(r);
    }
    log.sort(LogFrequency, Qt::AscendingOrder);
    EXPECT_EQ(log.record(0)[LogFrequency], QStringLiteral("7100000"));
    EXPECT_EQ(log.record(2)[LogFrequency], QStringLiteral("15400000"));
    log.sort(LogFrequency, Qt::DescendingOrder);
    EXPECT_EQ(log.record(0)[LogFrequency], QStringLiteral("15400000"));
}

}  // namespace
}  // namespace tessaly
