// The operator's station database: real text files, dBase files written
// with shapelib and the Access file made by the real engine, loaded through
// the settings under the storage key and queried through IFrequencyData.
#include <gtest/gtest.h>

#include <shapefil.h>

#include "stationtest.h"

using namespace lumaret;

TEST(SourceKind, DecidedByTheFilesOwnName)
{
    EXPECT_EQ(StationDatabase::sourceKind("/home/op/dbfiles/stations.csv"), SourceKind::Text);
    EXPECT_EQ(StationDatabase::sourceKind("/home/op/csv/stations.mdb"), SourceKind::Access);
    EXPECT_EQ(StationDatabase::sourceKind("/data/STATIONS.DBF"), SourceKind::DBase);
    EXPECT_EQ(StationDatabase::sourceKind("/data/list.dbf"), SourceKind::DBase);
    EXPECT_EQ(StationDatabase::sourceKind("/data/list_csv.txt"), SourceKind::Text);
    EXPECT_EQ(StationDatabase::sourceKind("/data/listdbf"), SourceKind::DBase);
    EXPECT_EQ(StationDatabase::sourceKind("C:\\dbf\\list.mdb"), SourceKind::Access);
    EXPECT_EQ(StationDatabase::tableForFile("/x/dbfiles/utes.csv"), "utes.csv");
    EXPECT_EQ(StationDatabase::tableForFile("/x/utes.2024.dbf"), "utes");
}

TEST(TextCodec, Latin1FallbackAndBoundedBytes)
{
    EXPECT_EQ(toUtf8("Z\xc3\xbcrich"), "Z\xc3\xbcrich");
    EXPECT_EQ(toUtf8("Sch\xf6neck"), "Sch\xc3\xb6neck");
    EXPECT_EQ(toUtf8("\xc3"), "\xc3\x83");  // cut sequence
    EXPECT_EQ(toUtf8("\xe0\x80\x80"), "\xc3\xa0\xc2\x80\xc2\x80");  // overlong
    EXPECT_EQ(toUtf8("\xed\xa0\x80").size(), 6u);  // surrogate
    EXPECT_EQ(bytesAsNumber(std::string("\x01\x02", 2)), "513");
    EXPECT_EQ(bytesAsNumber(std::string("\xff\xff\xff\xff\x05\x06", 6)), "-1");
    EXPECT_EQ(bytesAsNumber(""), "0");
}

TEST_F(StationDbTest, HeaderDetection)
{
    writeFile(file("head.csv"), "FREQ;INFO;STAT\r\n6000.0;Test;ABC\r\n");
    writeFile(file("nohead.csv"), "6000.0;Test;ABC\n");
    writeFile(file("zero.csv"), "0;x;y\n");
    writeFile(file("empty.csv"), "");
    writeFile(file("quoted.csv"), "\"6000\";x\n");
    EXPECT_TRUE(textFileHasHeader(file("head.csv")));
    EXPECT_FALSE(textFileHasHeader(file("nohead.csv")));
    EXPECT_TRUE(textFileHasHeader(file("zero.csv")));
    EXPECT_TRUE(textFileHasHeader(file("empty.csv")));
    EXPECT_FALSE(textFileHasHeader(file("quoted.csv")));
    EXPECT_FALSE(textFileHasHeader(file("missing.csv")));
}

TEST_F(StationDbTest, TextCheckMessages)
{
    writeFile(file("bad.csv"), "FREQ;INFO;STAT\n6000.0;a;b\n6001.0;a\n\n6002.0;c;d\n");
    TextCheckResult r = checkTextFile(file("bad.csv"), true);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(reporter.messages.size(), 2u);
    EXPECT_EQ(reporter.messages[0].title, "Format Error");
    EXPECT_EQ(reporter.messages[0].text, "CSV File \"bad.csv\":\n\tSeparator ';' issue line 3\n");
    EXPECT_EQ(reporter.messages[0].icon, platform::MessageIcon::Critical);
    EXPECT_EQ(reporter.messages[1].text, "CSV File \"bad.csv\":\n\tEmpty line 4\n");
    EXPECT_EQ(reporter.messages[1].icon, platform::MessageIcon::Warning);

    // An empty line alone warns but passes; silent when not reporting.
    reporter.messages.clear();
    writeFile(file("gap.csv"), "a;b\n\n1;2\n");
    r = checkTextFile(file("gap.csv"), false);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.messages.size(), 1u);
    EXPECT_TRUE(reporter.messages.empty());

    writeFile(file("none.csv"), "\n\n");
    r = checkTextFile(file("none.csv"), false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages.back(), "CSV File \"none.csv\":\n\tEmpty file\n");

    writeFile(file("nosep.csv"), "one column\n");
    EXPECT_FALSE(checkTextFile(file("nosep.csv"), false).ok);
    EXPECT_FALSE(checkTextFile(file("missing.csv"), false).ok);
    EXPECT_TRUE(checkTextFile(file("missing.csv"), false).messages.empty());

    // Lines longer than any buffer are read whole.
    writeFile(file("long.csv"), "a;b\n" + std::string(5000, 'x') + ";y\n1;2\n");
    EXPECT_TRUE(checkTextFile(file("long.csv"), false).ok);
}

TEST_F(StationDbTest, TextFileWithHeaderNumericFrequency)
{
    writeFile(file("utes.csv"), "FREQ;INFO;STAT;MODE;BAUD\n"
                                "6000.0;Weather;Z\xc3\xbcrich;RTTY;50\n"
                                "5999.5;Press;Sch\xf6neck;FAX;\n"
                                "6000.0;Navy;Kiel;CW;75\n"
                                "6000.9;Coast;Bergen;USB;\n"
                                "7000.0;Other;Oslo;;\n");
    configure({{"S_File", file("utes.csv")},
               {"S_Freq", "FREQ"},
               {"S_Desc", "INFO"},
               {"S_Stat", "STAT"},
               {"S_Mode", "MODE"},
               {"S_Baud", "BAUD"}});
    fd.utilityLists();
    EXPECT_EQ(storageKey(), 1);
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_EQ(count(false), 5);
    EXPECT_EQ(count(true), 4);

    EXPECT_EQ(first(6000049, 0), 1);
    EXPECT_EQ(rec.BaseName, "TEST");
    EXPECT_EQ(rec.TableName, "utes.csv");
    EXPECT_EQ(rec.Frequency, "6000.000000");
    EXPECT_EQ(rec.Description, "Weather");
    EXPECT_EQ(rec.StationID, "Z\xc3\xbcrich");
    EXPECT_EQ(rec.Modulation, "");
    EXPECT_EQ(rec.Mode, "RTTY");
    EXPECT_EQ(rec.Baud, "50");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.Description, "Navy");
    EXPECT_EQ(next(true), 1);  // wraps to the first row
    EXPECT_EQ(rec.Description, "Weather");
    EXPECT_EQ(next(false), 1);  // and back to the last
    EXPECT_EQ(rec.Description, "Navy");

    // 5999.5 is no match for 5999.4 exactly; within 1000 Hz the second
    // query takes 5998.4 .. 6000.4.
    EXPECT_EQ(first(5999400, 0), 0);
    EXPECT_EQ(first(5999400, 1000), 1);
    EXPECT_EQ(fd.database().lastQuery(),
              "SELECT \"FREQ\",\"INFO\",\"STAT\",\"MODE\",\"BAUD\" FROM \"utes.csv\" WHERE \"FREQ\" BETWEEN ? AND ? "
              "ORDER BY rowid");
    // Rows come in file order.
    EXPECT_EQ(rec.StationID, "Z\xc3\xbcrich");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.StationID, "Sch\xc3\xb6neck");  // Latin-1 in the file
    EXPECT_EQ(rec.Baud, "");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.StationID, "Kiel");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.StationID, "Z\xc3\xbcrich");

    // With Delta 1000 around 6000.049 kHz: the equality finds 6000.0 first.
    EXPECT_EQ(first(6000049, 1000), 1);
    EXPECT_EQ(rec.Description, "Weather");
    EXPECT_EQ(fd.database().lastArguments(), std::vector<std::string>{"6000.0"});
    // Around 6001.549 kHz nothing is equal; the second query spans
    // 6000.5 .. 6002.5 and finds 6000.9.
    EXPECT_EQ(first(6001549, 1000), 1);
    EXPECT_EQ(fd.database().lastArguments(), (std::vector<std::string>{"6000.5", "6002.5"}));
    EXPECT_EQ(rec.Description, "Coast");
    EXPECT_EQ(first(6000049, 0), 1);
    EXPECT_EQ(first(7000049, 1000), 1);
    EXPECT_EQ(first(5000049, 1000), 0);
    EXPECT_EQ(fd.database().lastArguments(), (std::vector<std::string>{"4999.0", "5001.0"}));

    // Distinct frequencies, in order.
    EXPECT_EQ(first(-1, 0), 1);
    EXPECT_EQ(rec.Frequency, "5999.500000");
    EXPECT_EQ(rec.Description, "");
    EXPECT_EQ(next(false), 1);
    EXPECT_EQ(rec.Frequency, "7000.000000");

    // DataCount closes the result.
    count(false);
    EXPECT_EQ(next(true), 0);
    EXPECT_EQ(rec.BaseName, "TEST");
    EXPECT_EQ(rec.Frequency, "");
}

TEST_F(StationDbTest, TextFrequencyColumnComparesText)
{
    writeFile(file("textfreq.csv"), "6000.0;A\n"
                                    "6000.05;B\n"
                                    "6000.1 kHz;C\n"
                                    "n/a;D\n");
    configure({{"S_File", file("textfreq.csv")}, {"S_Freq", "F1"}, {"S_Stat", "F2"}});
    ASSERT_EQ(storageKey(), 1);
    EXPECT_EQ(fd.database().columnNames(), (std::vector<std::string>{"F1", "F2"}));
    EXPECT_EQ(count(false), 4);
    EXPECT_EQ(first(6000049, 0), 1);
    EXPECT_EQ(rec.Frequency, "6000.0");
    EXPECT_EQ(rec.StationID, "A");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.StationID, "A");  // the only match

    EXPECT_EQ(first(6000149, 0), 0);
    EXPECT_EQ(first(6000149, 500), 1);
    EXPECT_EQ(fd.database().lastQuery(),
              "SELECT \"F1\",\"F2\" FROM \"textfreq.csv\" WHERE \"F1\" LIKE ? ORDER BY rowid");
    EXPECT_EQ(fd.database().lastArguments(), std::vector<std::string>{"'6000.1%'"});
    EXPECT_EQ(rec.StationID, "C");
    EXPECT_EQ(first(6000049, 0), 1);
    EXPECT_EQ(fd.database().lastArguments(), std::vector<std::string>{"'6000.0'"});
}

TEST_F(StationDbTest, ShortLinesAndEmptyLinesWhenOpenedDirectly)
{
    // The stored settings refuse such a file (saying so once); the dialog
    // can still open it after showing the messages, and nothing of it is lost.
    writeFile(file("rough.csv"), "FREQ;INFO;STAT\n6000.0;a\n\n6001.0;b;c;extra\n");
    configure({{"S_File", file("rough.csv")}, {"S_Freq", "FREQ"}, {"S_Desc", "INFO"}, {"S_Stat", "STAT"}});
    EXPECT_EQ(storageKey(), 0);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].title, "Format Error");
    EXPECT_EQ(count(false), -1);
    EXPECT_EQ(first(6000000, 0), 0);
    EXPECT_EQ(rec.BaseName, "TEST");

    ASSERT_TRUE(fd.database().open());
    EXPECT_EQ(count(false), 2);
    EXPECT_EQ(first(6000000, 0), 1);
    EXPECT_EQ(rec.Description, "a");
    EXPECT_EQ(rec.StationID, "");
    EXPECT_EQ(first(6001000, 0), 1);
    EXPECT_EQ(rec.StationID, "c");
}

TEST_F(StationDbTest, IdentifiersAreQuotedAndValuesBound)
{
    writeFile(file("select.csv"), "Fre\"q;Order;Station Name\n"
                                  "4583.0;1;DDK2\n"
                                  "7646.0;2;DDH7\n");
    configure({{"S_File", file("select.csv")}, {"S_Freq", "Fre\"q"}, {"S_Desc", "Order"}, {"S_Stat", "Station Name"}});
    ASSERT_EQ(storageKey(), 1);
    EXPECT_EQ(count(true), 2);
    EXPECT_EQ(first(7646000, 0), 1);
    EXPECT_EQ(rec.Description, "2");
    EXPECT_EQ(rec.StationID, "DDH7");

    // A column setting that tries to change the query fails as a query.
    DatabaseSettings s = fd.database().settings();
    s.freqColumn = "Order\" FROM \"select.csv\"; DROP TABLE \"select.csv\"; --";
    fd.database().setSettings(s);
    reporter.messages.clear();
    EXPECT_EQ(count(true), -1);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].title, "Database Error");
    EXPECT_EQ(reporter.messages[0].text.rfind("ERROR: 80040e14 (", 0), 0u) << reporter.messages[0].text;
    EXPECT_EQ(reporter.messages[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(first(7646000, 0), 0);
    EXPECT_EQ(count(false), 2);  // the table is still there

    // A column that does not exist is an error, never a string.
    s.freqColumn = "Nowhere";
    fd.database().setSettings(s);
    EXPECT_EQ(first(7646000, 0), 0);
    EXPECT_EQ(reporter.messages.back().title, "Database Error");
}

TEST_F(StationDbTest, WholeNumbersStayExact)
{
    writeFile(file("big.csv"), "ID;FREQ\n9007199254740993;100\n-9223372036854775807;200\n");
    configure({{"S_File", file("big.csv")}, {"S_Freq", "FREQ"}, {"S_Desc", "ID"}});
    ASSERT_EQ(storageKey(), 1);
    EXPECT_EQ(first(100000, 0), 1);
    EXPECT_EQ(rec.Frequency, "100");
    EXPECT_EQ(rec.Description, "9007199254740993");
    EXPECT_EQ(first(200000, 0), 1);
    EXPECT_EQ(rec.Description, "-9223372036854775807");
}

TEST_F(StationDbTest, TextFileInAFolderNamedLikeDbase)
{
    std::filesystem::create_directory(settings.dir().path() / "dbfiles");
    const std::string path = (settings.dir().path() / "dbfiles" / "utes.csv").string();
    writeFile(path, "\xEF\xBB\xBF"
                    "FREQ;STAT\n4583.0;DDK2\n");  // with a byte order mark
    configure({{"S_File", path}, {"S_Freq", "FREQ"}, {"S_Stat", "STAT"}});
    EXPECT_EQ(storageKey(), 1);
    EXPECT_EQ(count(false), 1);
    EXPECT_EQ(first(4583000, 0), 1);
    EXPECT_EQ(rec.StationID, "DDK2");
}

TEST_F(StationDbTest, FileNamesInLatin1ReachRecordsAndMessagesAsUtf8)
{
    // A file name written by an older system in Latin-1: the table name in
    // the station record and the file name in the format messages are
    // valid UTF-8.
    writeFile(file("Sch\xf6neck.csv"), "FREQ;STAT\n4583.0;DDK2\n");
    configure({{"S_File", file("Sch\xf6neck.csv")}, {"S_Freq", "FREQ"}, {"S_Stat", "STAT"}});
    ASSERT_EQ(storageKey(), 1);
    EXPECT_EQ(first(4583000, 0), 1);
    EXPECT_EQ(rec.TableName, "Sch\xc3\xb6neck.csv");
    EXPECT_EQ(rec.StationID, "DDK2");

    writeFile(file("K\xf8ge.csv"), "FREQ;STAT\n4583.0\n");
    const TextCheckResult r = checkTextFile(file("K\xf8ge.csv"), true);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].text, "CSV File \"K\xc3\xb8ge.csv\":\n\tSeparator ';' issue line 2\n");

    // So is the file name in an open failure.
    reporter.messages.clear();
    configure({{"S_File", file("\xc5rhus.dbf")}, {"S_Freq", "FREQ"}, {"S_Stat", "STAT"}});
    EXPECT_EQ(storageKey(), 0);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].title, "Database Error");
    EXPECT_NE(reporter.messages[0].text.find("\xc3\x85rhus.dbf"), std::string::npos) << reporter.messages[0].text;
}

TEST_F(StationDbTest, DbaseTableWrittenWithShapelib)
{
    const std::string path = file("coast.dbf");
    DBFHandle dbf = DBFCreate(path.c_str());
    ASSERT_NE(dbf, nullptr);
    ASSERT_EQ(DBFAddField(dbf, "FREQ", FTDouble, 10, 1), 0);
    ASSERT_EQ(DBFAddField(dbf, "INFO", FTString, 20, 0), 1);
    ASSERT_EQ(DBFAddField(dbf, "STAT", FTString, 20, 0), 2);
    ASSERT_EQ(DBFAddField(dbf, "BAUD", FTInteger, 6, 0), 3);
    struct Row {
        double freq;
        const char* info;
        const char* stat;
        int baud;
    };
    const Row rows[] = {{4583.0, "Weather", "Pinneberg", 50},
                        {7646.0, "Weather", "Sch\xf6neck", 50},
                        {10100.8, "Press", "Z\xc3\xbcrich", 75},
                        {7646.0, "Coast", "Deleted", 0}};
    for (int i = 0; i < 4; ++i) {
        DBFWriteDoubleAttribute(dbf, i, 0, rows[i].freq);
        DBFWriteStringAttribute(dbf, i, 1, rows[i].info);
        DBFWriteStringAttribute(dbf, i, 2, rows[i].stat);
        DBFWriteIntegerAttribute(dbf, i, 3, rows[i].baud);
    }
    DBFWriteNULLAttribute(dbf, 1, 3);
    DBFMarkRecordDeleted(dbf, 3, 1);
    DBFClose(dbf);

    configure({{"S_File", path},
               {"S_Tabl", "ignored"},
               {"S_Freq", "freq"},
               {"S_Desc", "INFO"},
               {"S_Stat", "STAT"},
               {"S_Baud", "BAUD"}});
    ASSERT_EQ(storageKey(), 1);
    EXPECT_EQ(fd.database().settings().table, "coast");
    EXPECT_EQ(count(false), 3);
    EXPECT_EQ(count(true), 3);
    EXPECT_EQ(first(7646000, 0), 1);
    EXPECT_EQ(rec.TableName, "coast");
    EXPECT_EQ(rec.Frequency, "7646.000000");
    EXPECT_EQ(rec.StationID, "Sch\xc3\xb6neck");
    EXPECT_EQ(rec.Baud, "");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.StationID, "Sch\xc3\xb6neck");  // one match; the deleted row is gone
    EXPECT_EQ(first(10100000, 1000), 1);
    EXPECT_EQ(rec.StationID, "Z\xc3\xbcrich");
    EXPECT_EQ(rec.Baud, "75");
}

TEST_F(StationDbTest, AccessDatabaseTablesAndColumns)
{
    ASSERT_TRUE(std::filesystem::exists(kUsersMdb)) << "missing test data " << kUsersMdb;
    std::vector<std::string> tables;
    SourceError error;
    ASSERT_TRUE(listMdbTables(kUsersMdb, tables, error)) << error.text;
    EXPECT_EQ(tables, std::vector<std::string>{"Users"});

    SourceTable table;
    ASSERT_TRUE(readMdbTable(kUsersMdb, "users", table, error)) << error.text;
    ASSERT_EQ(table.columns.size(), 5u);
    EXPECT_EQ(table.columns[0].name, "UserId");
    EXPECT_EQ(table.columns[0].kind, ColumnKind::Integer);
    EXPECT_EQ(table.columns[1].name, "UserName");
    EXPECT_EQ(table.columns[1].kind, ColumnKind::Text);
    EXPECT_EQ(table.columns[3].name, "UserBirthday");
    EXPECT_EQ(table.columns[4].name, "UserMarried");
    EXPECT_EQ(table.rows.size(), 3u);

    EXPECT_FALSE(readMdbTable(kUsersMdb, "Stations", table, error));
    EXPECT_EQ(error.code, kErrNoTable);
}

TEST_F(StationDbTest, AccessDatabaseQueries)
{
    configure({{"S_File", kUsersMdb},
               {"S_Tabl", "Users"},
               {"S_Freq", "UserId"},
               {"S_Desc", "UserName"},
               {"S_Stat", "UserSex"},
               {"S_Modu", "UserBirthday"},
               {"S_Mode", "UserMarried"}});
    ASSERT_EQ(storageKey(), 1) << (reporter.messages.empty() ? "" : reporter.messages[0].text);
    EXPECT_EQ(count(false), 3);
    EXPECT_EQ(count(true), 3);

    // UserId 2 is asked for as 2.0 "kHz".
    EXPECT_EQ(first(2049, 0), 1);
    EXPECT_EQ(rec.TableName, "Users");
    EXPECT_EQ(rec.Frequency, "2");
    EXPECT_EQ(rec.Description, "Angela");
    EXPECT_EQ(rec.StationID, "Female");
    EXPECT_EQ(rec.Modulation, "1988-12-18 00:00:00");
    EXPECT_EQ(rec.Mode, "0");

    EXPECT_EQ(first(3000, 0), 1);
    EXPECT_EQ(rec.Description, "\xe5\xbc\xa0\xe4\xb8\x89");  // non-Latin name
    EXPECT_EQ(rec.StationID, "\xe7\x94\xb7");
    EXPECT_EQ(rec.Mode, "1");

    // 2.5 matches nothing; within 1000 Hz the ids 2 and 3 do.
    EXPECT_EQ(first(2500, 0), 0);
    EXPECT_EQ(first(2500, 1000), 1);
    EXPECT_EQ(rec.Frequency, "2");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.Frequency, "3");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.Frequency, "2");
    EXPECT_EQ(next(false), 1);
    EXPECT_EQ(rec.Frequency, "3");

    EXPECT_EQ(first(-1, 0), 1);
    EXPECT_EQ(rec.Frequency, "1");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.Frequency, "3");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.Frequency, "1");
    EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(StationDbTest, OpenFailuresGoThroughTheReporter)
{
    configure({{"S_File", file("missing.mdb")}, {"S_Tabl", "Users"}, {"S_Freq", "UserId"}});
    EXPECT_EQ(storageKey(), 0);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].title, "Database Error");
    EXPECT_EQ(reporter.messages[0].text.rfind("ERROR: 80030002 (", 0), 0u) << reporter.messages[0].text;
    EXPECT_FALSE(fd.database().isOpen());
    EXPECT_EQ(count(false), -1);

    reporter.messages.clear();
    configure({{"S_File", kUsersMdb}, {"S_Tabl", "Stations"}});
    EXPECT_EQ(storageKey(), 0);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].text.rfind("ERROR: 80040e37 (", 0), 0u) << reporter.messages[0].text;
}

TEST_F(StationDbTest, SettingsRoundTripAndDefaults)
{
    configure({{"S_File", ""}});
    EXPECT_EQ(storageKey(), 0);
    const DatabaseSettings& loaded = fd.database().settings();
    EXPECT_EQ(loaded.profile, "TEST");
    EXPECT_EQ(loaded.user, "Admin");
    EXPECT_EQ(loaded.password, "");

    DatabaseSettings s = loaded;
    s.file = kUsersMdb;
    s.password = "se;cret\"";
    s.table = "Users";
    s.freqColumn = "UserId";
    s.descColumn = "UserName";
    s.moduColumn = "M";
    s.modeColumn = "O";
    fd.database().setSettings(s);
    ASSERT_TRUE(fd.database().saveToStore("Station"));
    EXPECT_FALSE(fd.database().saveToStore(""));
    const std::string path = std::string(platform::kSettingsRoot) + "\\Station\\TEST";
    EXPECT_EQ(settings.store().readText(path, "S_Pass", ""), "se;cret\"");
    EXPECT_EQ(settings.store().readText(path, "S_Modu", ""), "M");
    EXPECT_EQ(settings.store().readText(path, "S_Mode", ""), "O");
    EXPECT_EQ(settings.store().readText(path, "S_User", ""), "Admin");

    FrequencyData other;
    std::int32_t result = 0;
    other.StorageKey("Station", &result);
    EXPECT_EQ(other.database().settings().password, "se;cret\"");
    EXPECT_EQ(other.database().settings().moduColumn, "M");
}

TEST(DialogRules, ColumnsAreListedWithoutAMessage)
{
    testsupport::RecordingReporter reporter;
    DatabaseSettings s;
    s.file = kUsersMdb;
    s.table = "Users";
    std::vector<std::string> names;
    SourceError error;
    ASSERT_TRUE(StationDatabase::readColumns(s, names, error)) << error.text;
    EXPECT_EQ(names, (std::vector<std::string>{"UserId", "UserName", "UserSex", "UserBirthday", "UserMarried"}));
    s.table = "Nothing";
    EXPECT_FALSE(StationDatabase::readColumns(s, names, error));
    EXPECT_EQ(errorText(error).rfind("ERROR: 80040e37 (", 0), 0u);
    EXPECT_TRUE(reporter.messages.empty());
}

TEST(DialogRules, FileNamesColumnsAndCompleteness)
{
    EXPECT_EQ(csvFileNameProblem("/x/station-list.csv"), "Character '-' forbidden in CSV file names");
    EXPECT_EQ(csvFileNameProblem("/x/DATABASE.CSV"), "'Database' name forbidden in CSV file names");
    EXPECT_EQ(csvFileNameProblem("/x/my-dir/Utes2024.csv"), "");
    // A character outside ASCII is named whole, never as a stray byte of
    // its UTF-8 form; a name that is not UTF-8 at all reads as Latin-1.
    EXPECT_EQ(csvFileNameProblem("/x/Z\xc3\xbcrich.csv"), "Character '\xc3\xbc' forbidden in CSV file names");
    EXPECT_EQ(csvFileNameProblem("/x/Sch\xf6neck.csv"), "Character '\xc3\xb6' forbidden in CSV file names");

    const ColumnGuess g = guessColumns({"Frequency", "Info", "Station", "Other"});
    EXPECT_EQ(g.freq, "Frequency");
    EXPECT_EQ(g.desc, "Info");
    EXPECT_EQ(g.stat, "Station");
    const ColumnGuess last = guessColumns({"FRQ1", "FREQ2", "ID"});
    EXPECT_EQ(last.freq, "FREQ2");
    EXPECT_EQ(last.stat, "ID");
    EXPECT_EQ(last.desc, "");

    DatabaseSettings s;
    s.freqColumn = "FREQ";
    EXPECT_FALSE(settingsComplete(s));
    s.baudColumn = "BAUD";
    EXPECT_TRUE(settingsComplete(s));
    s.freqColumn.clear();
    EXPECT_FALSE(settingsComplete(s));
}

TEST_F(StationDbTest, DamagedFilesFailCleanly)
{
    std::string garbage;
    for (int i = 0; i < 8192; ++i) {
        garbage += static_cast<char>((i * 7919 + 13) & 0xFF);
    }
    writeFile(file("broken.mdb"), garbage);
    writeFile(file("empty.mdb"), "");
    writeFile(file("broken.dbf"), garbage.substr(0, 100));
    writeFile(file("short.dbf"), std::string("\x03\x7c\x01\x01\x05\x00\x00\x00\xff\xff", 10));
    for (const char* name : {"broken.mdb", "empty.mdb", "broken.dbf", "short.dbf"}) {
        SCOPED_TRACE(name);
        reporter.messages.clear();
        configure({{"S_File", file(name)}, {"S_Tabl", "Users"}, {"S_Freq", "FREQ"}});
        EXPECT_EQ(storageKey(), 0);
        ASSERT_EQ(reporter.messages.size(), 1u);
        EXPECT_EQ(reporter.messages[0].title, "Database Error");
        EXPECT_EQ(count(false), -1);
    }
    // A folder in place of the text file fails the check, and says so.
    std::filesystem::create_directory(file("folder.csv"));
    reporter.messages.clear();
    configure({{"S_File", file("folder.csv")}});
    EXPECT_EQ(storageKey(), 0);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE(reporter.messages[0].text.find("folder.csv"), std::string::npos) << reporter.messages[0].text;
}

TEST_F(StationDbTest, EmptyStorageKeyKeepsTheOpenDatabase)
{
    writeFile(file("utes.csv"), "FREQ;STAT\n4583.0;DDK2\n");
    configure({{"S_File", file("utes.csv")}, {"S_Freq", "FREQ"}, {"S_Stat", "STAT"}});
    ASSERT_EQ(storageKey(), 1);
    EXPECT_EQ(storageKey(""), 0);
    EXPECT_EQ(count(false), 1);
}
