// Station files that are not what they claim to be: damaged dBase headers,
// damaged Access files, special files, header names that clash, lines with
// too many fields, and the published broadcast schedules with their extra
// header separator. Each must end in one clear message and leave nothing
// half-loaded behind.
#include <gtest/gtest.h>

#include <shapefil.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/numbers.h"
#include "stationtest.h"

using namespace lumaret;

namespace {

std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void putU32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// A dBase table of `records` rows (FREQ, STAT) written with shapelib.
std::string writeDbf(const std::string& path, int records)
{
    DBFHandle dbf = DBFCreate(path.c_str());
    DBFAddField(dbf, "FREQ", FTDouble, 10, 1);
    DBFAddField(dbf, "STAT", FTString, 20, 0);
    for (int i = 0; i < records; ++i) {
        DBFWriteDoubleAttribute(dbf, i, 0, 4000.0 + i);
        DBFWriteStringAttribute(dbf, i, 1, "Station");
    }
    DBFClose(dbf);
    return readBytes(path);
}

}  // namespace

class StationFilesTest : public StationDbTest {
protected:
    // Expects the configured file to be refused with one "Database Error"
    // naming it, and nothing to be left for the queries.
    void expectRefused(const std::string& name, const std::string& why)
    {
        SCOPED_TRACE(name);
        EXPECT_EQ(storageKey(), 0);
        ASSERT_EQ(reporter.messages.size(), 1u);
        EXPECT_EQ(reporter.messages[0].title, "Database Error");
        EXPECT_NE(reporter.messages[0].text.find(name), std::string::npos) << reporter.messages[0].text;
        EXPECT_NE(reporter.messages[0].text.find(why), std::string::npos) << reporter.messages[0].text;
        EXPECT_FALSE(fd.database().isOpen());
        EXPECT_EQ(count(false), -1);
        EXPECT_EQ(first(4000000, 0), 0);
        reporter.messages.clear();
    }
};

TEST_F(StationFilesTest, DbaseRecordCountIsCheckedAgainstTheFileSize)
{
    const std::string whole = writeDbf(file("whole.dbf"), 1000);
    const std::size_t headerLength = static_cast<unsigned char>(whole[8]) | (static_cast<unsigned char>(whole[9]) << 8);
    const std::size_t recordLength =
        static_cast<unsigned char>(whole[10]) | (static_cast<unsigned char>(whole[11]) << 8);
    ASSERT_GE(whole.size(), headerLength + 1000 * recordLength);
    configure({{"S_File", file("whole.dbf")}, {"S_Freq", "FREQ"}, {"S_Stat", "STAT"}});
    ASSERT_EQ(storageKey(), 1);
    EXPECT_EQ(count(false), 1000);

    // 1,000 records promised, 500 present.
    writeFile(file("half.dbf"), whole.substr(0, headerLength + 500 * recordLength));
    configure({{"S_File", file("half.dbf")}});
    expectRefused("half.dbf", "1000 records");

    // 1,000 records promised over the header alone.
    writeFile(file("bare.dbf"), whole.substr(0, headerLength));
    configure({{"S_File", file("bare.dbf")}});
    expectRefused("bare.dbf", "1000 records");

    // A small file claiming a million records, and claims past 2^31.
    for (const std::uint32_t claim : {1000000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        std::string bytes = writeDbf(file("tiny.dbf"), 1);
        putU32(bytes, 4, claim);
        writeFile(file("tiny.dbf"), bytes);
        configure({{"S_File", file("tiny.dbf")}});
        expectRefused("tiny.dbf", platform::formatInt(static_cast<std::int64_t>(claim)) + " records");
    }

    // A record length that cannot hold the fields.
    std::string bytes = whole;
    bytes[10] = 1;
    bytes[11] = 0;
    writeFile(file("narrow.dbf"), bytes);
    configure({{"S_File", file("narrow.dbf")}});
    expectRefused("narrow.dbf", "damaged");

    // A record that cannot be read (the file shrank while it was read)
    // fails the table instead of becoming an empty row.
    struct ShrinkingSink : TableCollector {
        ShrinkingSink(SourceTable& t, std::string p, std::size_t keep)
            : TableCollector(t), path(std::move(p)), keep(keep)
        {
        }
        bool row(const SourceRow& r, SourceError& e) override
        {
            std::filesystem::resize_file(path, keep);
            return TableCollector::row(r, e);
        }
        std::string path;
        std::size_t keep;
    };
    writeFile(file("shrinking.dbf"), whole);
    SourceTable table;
    ShrinkingSink sink(table, file("shrinking.dbf"), headerLength + 10 * recordLength);
    SourceError error;
    EXPECT_FALSE(readDbfFile(file("shrinking.dbf"), sink, error));
    EXPECT_NE(error.text.find("Could not read record"), std::string::npos) << error.text;
    EXPECT_LT(table.rows.size(), 1000u);

    // A sound file still loads afterwards.
    configure({{"S_File", file("whole.dbf")}});
    EXPECT_EQ(storageKey(), 1);
    EXPECT_EQ(count(false), 1000);
}

TEST_F(StationFilesTest, DamagedAccessFilesEndInAMessageNotInACrash)
{
    // Mutations of the test database found by fuzzing: one makes the
    // reader allocate without bound while it reads the catalog's
    // properties, the other makes it crash there.
    const std::string original = readBytes(kUsersMdb);
    ASSERT_EQ(original.size(), 200704u);
    struct Damage {
        const char* name;
        std::size_t offset;
        char value;
    };
    for (const Damage& d : {Damage{"crash.mdb", 8247, '\xff'}, Damage{"greedy.mdb", 71611, '\x7f'}}) {
        std::string bytes = original;
        bytes[d.offset] = d.value;
        writeFile(file(d.name), bytes);
        configure({{"S_File", file(d.name)}, {"S_Tabl", "Users"}, {"S_Freq", "UserId"}, {"S_Desc", "UserName"}});
        expectRefused(d.name, "Access");

        // The dialog's table list goes the same way, without a message.
        std::vector<std::string> tables;
        SourceError error;
        EXPECT_FALSE(listMdbTables(file(d.name), tables, error));
        EXPECT_NE(error.text.find(d.name), std::string::npos) << error.text;
        EXPECT_TRUE(reporter.messages.empty());
    }

    // The sound file is still read, in the same way.
    configure({{"S_File", kUsersMdb}});
    EXPECT_EQ(storageKey(), 1);
    EXPECT_EQ(count(false), 3);
    EXPECT_EQ(first(2000, 0), 1);
    EXPECT_EQ(rec.Description, "Angela");
}

TEST_F(StationFilesTest, AFileThatIsNoAccessDatabaseIsNamedSo)
{
    writeFile(file("list.mdb"), "FREQ;STAT\n4583.0;DDK2\n");
    configure({{"S_File", file("list.mdb")}, {"S_Tabl", "Users"}, {"S_Freq", "FREQ"}});
    expectRefused("list.mdb", "not an Access database");
    writeFile(file("empty.mdb"), "");
    configure({{"S_File", file("empty.mdb")}});
    expectRefused("empty.mdb", "not an Access database");
}

TEST_F(StationFilesTest, SpecialFilesAreRefusedForEverySource)
{
    for (const char* name : {"pipe.dbf", "pipe.mdb", "pipe.csv"}) {
        ASSERT_EQ(mkfifo(file(name).c_str(), 0600), 0);
        configure({{"S_File", file(name)}, {"S_Tabl", "Users"}, {"S_Freq", "FREQ"}, {"S_Stat", "STAT"}});
        expectRefused(name, "not a regular file");
    }
    std::filesystem::create_directory(file("folder.dbf"));
    configure({{"S_File", file("folder.dbf")}});
    expectRefused("folder.dbf", "not a regular file");

    // The dialog's lists are refused too, at once.
    DatabaseSettings s;
    s.file = file("pipe.mdb");
    s.table = "Users";
    std::vector<std::string> names;
    SourceError error;
    EXPECT_FALSE(StationDatabase::readColumns(s, names, error));
    EXPECT_FALSE(listMdbTables(file("pipe.mdb"), names, error));
    EXPECT_NE(error.text.find("not a regular file"), std::string::npos) << error.text;
}

TEST_F(StationFilesTest, ColumnNamesAreMadeUniqueAndFreeOfNul)
{
    writeFile(file("clash.csv"), "F3;INFO;;STATION;freq;;F6\n"
                                 "6000.0;a;x;DDK2;1;y;z\n");
    configure({{"S_File", file("clash.csv")}, {"S_Freq", "F3"}, {"S_Stat", "STATION"}, {"S_Desc", "F3_2"}});
    ASSERT_EQ(storageKey(), 1) << (reporter.messages.empty() ? "" : reporter.messages[0].text);
    EXPECT_EQ(fd.database().columnNames(),
              (std::vector<std::string>{"F3", "INFO", "F3_2", "STATION", "freq", "F6", "F7"}));
    EXPECT_EQ(first(6000000, 0), 1);
    EXPECT_EQ(rec.StationID, "DDK2");
    EXPECT_EQ(rec.Description, "x");

    // A NUL byte inside a name does not cut the table's definition.
    writeFile(file("nul.csv"), std::string("FR\0EQ;ST\0AT\n4583.0;DD\0K2\n", 25));
    configure({{"S_File", file("nul.csv")}, {"S_Freq", "FREQ"}, {"S_Stat", "STAT"}, {"S_Desc", ""}});
    ASSERT_EQ(storageKey(), 1) << (reporter.messages.empty() ? "" : reporter.messages[0].text);
    EXPECT_EQ(fd.database().columnNames(), (std::vector<std::string>{"FREQ", "STAT"}));
    EXPECT_EQ(first(4583000, 0), 1);
    EXPECT_EQ(rec.StationID, std::string("DD\0K2", 5));  // values keep their bytes
}

TEST_F(StationFilesTest, LinesWithMoreFieldsThanTheEngineTakesAreRefused)
{
    std::string header;
    for (int i = 0; i < 50000; ++i) {
        header += (i ? ";N" : "N") + platform::formatInt(i);
    }
    writeFile(file("wide.csv"), header + "\n" + std::string(49999, ';') + "\n");
    configure({{"S_File", file("wide.csv")}, {"S_Freq", "N0"}, {"S_Stat", "N1"}});
    expectRefused("wide.csv", "50000 fields");

    DatabaseSettings s;
    s.file = file("wide.csv");
    std::vector<std::string> names;
    SourceError error;
    EXPECT_FALSE(StationDatabase::readColumns(s, names, error));
    EXPECT_NE(error.text.find("at most 2000"), std::string::npos) << error.text;
}

TEST_F(StationFilesTest, ColumnKindsFollowEveryValueOfTheFile)
{
    // Whole numbers that turn out to be decimals, numbers that turn out to
    // be text on the last line: each column takes the kind of all its values.
    writeFile(file("kinds.csv"), "FREQ;BAUD;CODE\n"
                                 "6000;50;1\n"
                                 "6001;75.5;2\n"
                                 "6002;100;x\n");
    configure({{"S_File", file("kinds.csv")}, {"S_Freq", "FREQ"}, {"S_Baud", "BAUD"}, {"S_Stat", "CODE"}});
    ASSERT_EQ(storageKey(), 1);
    EXPECT_EQ(first(6000000, 0), 1);
    EXPECT_EQ(rec.Frequency, "6000");
    EXPECT_EQ(rec.Baud, "50.000000");
    EXPECT_EQ(rec.StationID, "1");
    EXPECT_EQ(first(6002000, 0), 1);
    EXPECT_EQ(rec.Baud, "100.000000");
    EXPECT_EQ(rec.StationID, "x");
}

TEST_F(StationFilesTest, AConfiguredFileThatFailsTheCheckIsReportedOnce)
{
    std::string text = "FREQ;INFO;STAT\n";
    for (int i = 0; i < 30; ++i) {
        text += i % 2 ? "6000.0;a;b\n" : "6000.0;a\n";
    }
    writeFile(file("rough.csv"), text);
    configure({{"S_File", file("rough.csv")}, {"S_Freq", "FREQ"}, {"S_Stat", "STAT"}});
    EXPECT_EQ(storageKey(), 0);
    ASSERT_EQ(reporter.messages.size(), 1u);
    const testsupport::Message& m = reporter.messages[0];
    EXPECT_EQ(m.title, "Format Error");
    EXPECT_EQ(m.icon, platform::MessageIcon::Critical);
    EXPECT_EQ(m.text.rfind("CSV File \"rough.csv\":\n\tSeparator ';' issue line 2\n\tSeparator ';' issue line 4\n", 0),
              0u)
        << m.text;
    EXPECT_NE(m.text.find("15 lines"), std::string::npos) << m.text;
    EXPECT_EQ(count(false), -1);

    // Chosen in the dialog, the first problems come one by one and the
    // rest in one more box.
    reporter.messages.clear();
    const TextCheckResult check = checkTextFile(file("rough.csv"), true);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.failedLines, 15u);
    ASSERT_EQ(reporter.messages.size(), 11u);
    EXPECT_EQ(reporter.messages[9].text, "CSV File \"rough.csv\":\n\tSeparator ';' issue line 20\n");
    EXPECT_EQ(reporter.messages[10].text, "CSV File \"rough.csv\":\n\t5 more problems\n");

    // An empty file and a file that cannot be read are named too.
    reporter.messages.clear();
    writeFile(file("blank.csv"), "\n\n");
    configure({{"S_File", file("blank.csv")}});
    EXPECT_EQ(storageKey(), 0);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE(reporter.messages[0].text.find("Empty file"), std::string::npos) << reporter.messages[0].text;

    reporter.messages.clear();
    configure({{"S_File", file("gone.csv")}});
    EXPECT_EQ(storageKey(), 0);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE(reporter.messages[0].text.find("gone.csv"), std::string::npos) << reporter.messages[0].text;
}

TEST_F(StationFilesTest, PublishedScheduleWithOneMoreSeparatorInItsHeader)
{
    // The shape of the broadcast schedules listeners load: Latin-1, CR LF,
    // a header whose last name is empty, one ";" more than the data lines.
    writeFile(file("schedule.csv"), "kHz;Time(UTC);Days;ITU;Station;Lng;Target;Remarks;\r\n"
                                    "5955;0000-2400;;HOL;Radio Sch\xf6neck;D;WEu;\r\n"
                                    "6005;0600-0700;Mo-Fr;D;Radio Dr\xe5"
                                    "ben;G;CEu;via Kall\r\n"
                                    "6005;1800-1900;;E;La Voz de Gal\xe1pagos;S;SAm;\r\n"
                                    "7440;2000-2100;;F;Radio T\xe9l\xe9vision Fran\xe7"
                                    "aise;F;Af;\r\n"
                                    "9420;1200-1300;Sa;GRC;Fon\xed tis Ell\xe1"
                                    "das;Gr;Eu;\r\n"
                                    "11955;0000-0100;;B;R\xe1"
                                    "dio Nacional;P;SAm;Sunday only\r\n");
    TextCheckResult check = checkTextFile(file("schedule.csv"), true);
    EXPECT_TRUE(check.ok);
    EXPECT_TRUE(reporter.messages.empty());

    configure({{"S_File", file("schedule.csv")},
               {"S_Freq", "kHz"},
               {"S_Stat", "Station"},
               {"S_Desc", "Target"},
               {"S_Modu", "Lng"},
               {"S_Mode", "Time(UTC)"},
               {"S_Baud", "Remarks"}});
    ASSERT_EQ(storageKey(), 1) << (reporter.messages.empty() ? "" : reporter.messages[0].text);
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_EQ(fd.database().columnNames(),
              (std::vector<std::string>{"kHz", "Time(UTC)", "Days", "ITU", "Station", "Lng", "Target", "Remarks"}));
    EXPECT_EQ(count(false), 6);
    EXPECT_EQ(count(true), 5);

    EXPECT_EQ(first(6005000, 0), 1);
    EXPECT_EQ(rec.TableName, "schedule.csv");
    EXPECT_EQ(rec.Frequency, "6005");
    EXPECT_EQ(rec.StationID, "Radio Dr\xc3\xa5"
                             "ben");
    EXPECT_EQ(rec.Description, "CEu");
    EXPECT_EQ(rec.Modulation, "G");
    EXPECT_EQ(rec.Mode, "0600-0700");
    EXPECT_EQ(rec.Baud, "via Kall");
    EXPECT_EQ(next(true), 1);
    EXPECT_EQ(rec.StationID, "La Voz de Gal\xc3\xa1pagos");
    EXPECT_EQ(rec.Baud, "");
    EXPECT_EQ(first(7440300, 1000), 1);
    EXPECT_EQ(rec.StationID, "Radio T\xc3\xa9l\xc3\xa9vision Fran\xc3\xa7"
                             "aise");
    EXPECT_EQ(first(11955000, 0), 1);
    EXPECT_EQ(rec.StationID, "R\xc3\xa1"
                             "dio Nacional");

    // The extra header fields must be empty and trailing: a named one is
    // still a separator fault.
    reporter.messages.clear();
    writeFile(file("named.csv"), "kHz;Station;Extra\r\n5955;Radio\r\n6005;Radio\r\n");
    EXPECT_FALSE(checkTextFile(file("named.csv"), false).ok);
    writeFile(file("inner.csv"), "kHz;;Station\r\n5955;Radio\r\n");
    EXPECT_FALSE(checkTextFile(file("inner.csv"), false).ok);
    // Data lines with a different count from each other still fail.
    writeFile(file("mixed.csv"), "kHz;Station;\r\n5955;Radio\r\n6005\r\n");
    EXPECT_FALSE(checkTextFile(file("mixed.csv"), false).ok);
}

TEST_F(StationFilesTest, RealBroadcastSchedule)
{
    // A published schedule of 13,420 rows without a header line, streamed
    // in; the figures were counted independently from the file.
    const std::string path = std::string(LUMARET_TESTDATA_DIR) + "/swschedule.csv";
    ASSERT_TRUE(checkTextFile(path, false).ok);
    configure(
        {{"S_File", path}, {"S_Freq", "F1"}, {"S_Mode", "F2"}, {"S_Stat", "F5"}, {"S_Modu", "F6"}, {"S_Desc", "F7"}});
    ASSERT_EQ(storageKey(), 1) << (reporter.messages.empty() ? "" : reporter.messages[0].text);
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_EQ(fd.database().columnNames().size(), 11u);
    EXPECT_EQ(count(false), 13420);
    EXPECT_EQ(count(true), 2722);

    EXPECT_EQ(first(6005000, 0), 1);
    EXPECT_EQ(fd.database().resultSize(), 26u);
    EXPECT_EQ(rec.TableName, "swschedule.csv");
    EXPECT_EQ(rec.Frequency, "6005.000000");
    EXPECT_EQ(rec.StationID, "Radio Tirana");
    EXPECT_EQ(rec.Mode, "1230-1300");
    EXPECT_EQ(rec.Modulation, "E");
    EXPECT_EQ(rec.Description, "CEu");
    EXPECT_EQ(next(false), 1);
    EXPECT_EQ(rec.StationID, "Radio Ukraine Int.");

    EXPECT_EQ(first(9420500, 1000), 1);
    EXPECT_EQ(fd.database().resultSize(), 9u);
    EXPECT_EQ(rec.StationID, "CNR1 DIGITAL");
    EXPECT_EQ(first(640000, 0), 1);
    EXPECT_EQ(rec.StationID, "Radio del Pac\xef\xbf\xbd"
                             "fico 640");
}
