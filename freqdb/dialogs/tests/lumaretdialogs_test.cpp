// "Known frequency scanning selection" and "Database configuration" driven
// as an operator would, through UtilDialog and DataDialog: boxes ticked, a
// station file chosen, columns picked, OK and Cancel. The file chooser is
// replaced (it is the toolkit's own dialog); boxes and beeps are recorded.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "freqdb/dialogs/databasedialog.h"
#include "freqdb/dialogs/lumaretdialogs.h"
#include "freqdb/frequencydata.h"
#include "platform/reporter.h"
#include "platform/settingsstore.h"
#include "tests/support/dialogscript.h"

using namespace lumaret;
using korvane::test::DialogScript;

namespace {

const QString kUtil = QStringLiteral("Known frequency scanning selection");
const QString kData = QStringLiteral("Database configuration");
const std::string kKeyPath = "SOFTWARE\\Korvane Software\\Shack";
const std::string kProfilePath = kKeyPath + "\\TEST";

struct Box {
    std::string title;
    std::string text;
    platform::MessageIcon icon;
};

class Recorder : public platform::Reporter {
public:
    void message(const std::string& title, const std::string& text, platform::MessageIcon icon) override
    {
        boxes.push_back({title, text, icon});
    }
    bool confirm(const std::string&, const std::string&, bool fallback) override { return fallback; }
    void beep(int hz, int ms) override { beeps.emplace_back(hz, ms); }
    std::vector<Box> boxes;
    std::vector<std::pair<int, int>> beeps;
};

template <typename T>
T* child(QWidget& dialog, const char* name)
{
    T* found = dialog.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qFatal("no child %s in %s", name, qPrintable(dialog.windowTitle()));
    }
    return found;
}

// Clicks a radio button or check box on its mark, as the operator would.
void tick(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

void click(QWidget& dialog, const char* button)
{
    QTest::mouseClick(child<QAbstractButton>(dialog, button), Qt::LeftButton);
}

platform::SettingsStore& store()
{
    return platform::SettingsStore::shared();
}

}  // namespace

class LumaretDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installLumaretDialogs(); }

    void init()
    {
        QVERIFY(m_dir.isValid());
        platform::SettingsStore::resetShared(file(QStringLiteral("settings-%1.db").arg(++m_run)));
        m_recorder = Recorder{};
        m_old = platform::setReporter(&m_recorder);
        m_data = std::make_unique<FrequencyData>();
        std::int32_t result = 0;
        m_data->StorageKey("Shack", &result);
        m_chosen.clear();
        DatabaseDialog::setFileChooser([this](QWidget*, const QString&) { return m_chosen; });
    }

    void cleanup()
    {
        DatabaseDialog::setFileChooser({});
        m_data.reset();
        platform::setReporter(m_old);
    }

    // Nineteen labelled boxes in two columns; the spare slots are hidden
    // and keep their stored values; OK writes all 29.
    void selectionShowsTheListsAndSavesOnOk()
    {
        store().writeNumber(kKeyPath, "S_Util05", 1);
        store().writeNumber(kKeyPath, "S_Util25", 1);
        std::int32_t result = 0;
        m_data->StorageKey("Shack", &result);
        DialogScript script;
        script.then(kUtil, [](QWidget& d) {
            QCOMPARE(child<QCheckBox>(d, "util0")->text(), QStringLiteral("Maritime PRC"));
            QCOMPARE(child<QCheckBox>(d, "util9")->text(), QStringLiteral("Maritime NBD"));
            QCOMPARE(child<QCheckBox>(d, "util10")->text(), QStringLiteral("Navtex"));
            QCOMPARE(child<QCheckBox>(d, "util18")->text(), QStringLiteral("Navy CARB Chann."));
            int shown = 0;
            for (int slot = 0; slot < 29; ++slot) {
                shown += child<QCheckBox>(d, qPrintable(QStringLiteral("util%1").arg(slot)))->isVisible() ? 1 : 0;
            }
            QCOMPARE(shown, 19);
            QVERIFY(child<QCheckBox>(d, "util5")->isChecked());
            QVERIFY(child<QCheckBox>(d, "util25")->isChecked());
            // Second column: Navtex sits beside Maritime PRC.
            QCOMPARE(child<QCheckBox>(d, "util10")->y(), child<QCheckBox>(d, "util0")->y());
            QVERIFY(child<QCheckBox>(d, "util10")->x() > child<QCheckBox>(d, "util0")->x());
            tick(child<QCheckBox>(d, "util11"));
            tick(child<QCheckBox>(d, "util5"));
            click(d, "ok");
        });
        QCOMPARE(m_data->UtilDialog(&result), S_OK);
        QVERIFY(script.done());
        QCOMPARE(result, 0);
        QCOMPARE(store().readNumber(kKeyPath, "S_Util11", -1), 1);
        QCOMPARE(store().readNumber(kKeyPath, "S_Util05", -1), 0);
        QCOMPARE(store().readNumber(kKeyPath, "S_Util25", -1), 1);
        QCOMPARE(store().readNumber(kKeyPath, "S_Util28", -1), 0);
        QCOMPARE(m_data->utilityLists().selection(11), 1);
    }

    void selectionCancelChangesNothing()
    {
        DialogScript script;
        script.then(kUtil, [](QWidget& d) {
            tick(child<QCheckBox>(d, "util3"));
            click(d, "cancel");
        });
        std::int32_t result = -1;
        QCOMPARE(m_data->UtilDialog(&result), S_OK);
        QVERIFY(script.done());
        QCOMPARE(m_data->utilityLists().selection(3), 0);
        QVERIFY(!store().readNumber(kKeyPath, "S_Util03").has_value());
    }

    // The file-name rules of text files, each with its own message; the
    // file field keeps what it had.
    void textFileNamesThatCannotBeTables()
    {
        const QString dashed = writeFile(QStringLiteral("station-list.csv"), "Frequency;Info\n6000.0;A\n");
        const QString reserved = writeFile(QStringLiteral("DATABASE.CSV"), "Frequency;Info\n6000.0;A\n");
        DialogScript script;
        script.then(kData, [&](QWidget& d) {
            m_chosen = dashed;
            click(d, "browse");
            QCOMPARE(child<QLineEdit>(d, "file")->text(), QString());
            m_chosen = reserved;
            click(d, "browse");
            QCOMPARE(child<QLineEdit>(d, "file")->text(), QString());
            click(d, "cancel");
        });
        std::int32_t result = -1;
        QCOMPARE(m_data->DataDialog(&result), S_OK);
        QVERIFY(script.done());
        QCOMPARE(m_recorder.boxes.size(), std::size_t{2});
        QCOMPARE(m_recorder.boxes[0].title, std::string("Format Error"));
        QCOMPARE(m_recorder.boxes[0].text, std::string("Character '-' forbidden in CSV file names"));
        QCOMPARE(m_recorder.boxes[1].text, std::string("'Database' name forbidden in CSV file names"));
        QVERIFY(m_recorder.boxes[1].icon == platform::MessageIcon::Critical);
    }

    // A text file lists its columns; "Frequency", "Info" and "Station" are
    // preselected; OK saves every setting under the storage key and opens
    // the database.
    void columnsArePreselectedAndOkSavesAndOpens()
    {
        const QString path =
            writeFile(QStringLiteral("stations.csv"),
                      "Frequency;Info;Station;Mode\n6000.0;Test one;ABC;USB\n7000.0;Test two;DEF;AM\n");
        DialogScript script;
        script.then(kData, [&](QWidget& d) {
            m_chosen = path;
            click(d, "browse");
            QCOMPARE(child<QLineEdit>(d, "file")->text(), path);
            auto* table = child<QComboBox>(d, "table");
            QCOMPARE(table->currentText(), QStringLiteral("stations.csv"));
            QVERIFY(!table->isEnabled());
            QCOMPARE(child<QComboBox>(d, "freqColumn")->currentText(), QStringLiteral("Frequency"));
            QCOMPARE(child<QComboBox>(d, "descColumn")->currentText(), QStringLiteral("Info"));
            QCOMPARE(child<QComboBox>(d, "statColumn")->currentText(), QStringLiteral("Station"));
            QCOMPARE(child<QComboBox>(d, "modeColumn")->currentText(), QString());
            QCOMPARE(child<QComboBox>(d, "baudColumn")->count(), 5);  // four columns and the empty entry
            // "Modul." edits the mode column.
            auto* modul = child<QComboBox>(d, "modulColumn");
            QTest::keyClicks(modul->lineEdit(), QStringLiteral("mo"));
            QCOMPARE(modul->currentText(), QStringLiteral("Mode"));
            click(d, "ok");
        });
        std::int32_t result = -1;
        QCOMPARE(m_data->DataDialog(&result), S_OK);
        QVERIFY(script.done());
        QCOMPARE(result, 0);
        QVERIFY(m_recorder.boxes.empty());
        QVERIFY(m_recorder.beeps.empty());
        QCOMPARE(store().readText(kProfilePath, "S_File", ""), path.toStdString());
        QCOMPARE(store().readText(kProfilePath, "S_Tabl", ""), std::string("stations.csv"));
        QCOMPARE(store().readText(kProfilePath, "S_Freq", ""), std::string("Frequency"));
        QCOMPARE(store().readText(kProfilePath, "S_Desc", ""), std::string("Info"));
        QCOMPARE(store().readText(kProfilePath, "S_Stat", ""), std::string("Station"));
        QCOMPARE(store().readText(kProfilePath, "S_Mode", "x"), std::string("Mode"));
        QCOMPARE(store().readText(kProfilePath, "S_Modu", "x"), std::string());
        QCOMPARE(store().readText(kProfilePath, "S_User", ""), std::string("Admin"));
        QVERIFY(m_data->database().isOpen());
        std::int32_t count = 0;
        QCOMPARE(m_data->DataCount(0, &count), S_OK);
        QCOMPARE(count, 2);

        // Opened again, the dialog shows what is stored.
        DialogScript again;
        again.then(kData, [&](QWidget& d) {
            QCOMPARE(child<QLineEdit>(d, "file")->text(), path);
            QCOMPARE(child<QComboBox>(d, "freqColumn")->currentText(), QStringLiteral("Frequency"));
            QCOMPARE(child<QComboBox>(d, "modulColumn")->currentText(), QStringLiteral("Mode"));
            QCOMPARE(child<QComboBox>(d, "modeColumn")->currentText(), QString());
            click(d, "cancel");
        });
        QCOMPARE(m_data->DataDialog(&result), S_OK);
        QVERIFY(again.done());
    }

    // OK with the frequency column alone beeps and drops every edit, the
    // user name included; the store keeps what it had.
    void okWithOnlyTheFrequencyColumnBeepsAndDiscards()
    {
        const QString path = writeFile(QStringLiteral("freqonly.csv"), "Frequency;Info\n6000.0;A\n");
        DialogScript script;
        script.then(kData, [&](QWidget& d) {
            m_chosen = path;
            click(d, "browse");
            auto* desc = child<QComboBox>(d, "descColumn");
            QCOMPARE(desc->currentText(), QStringLiteral("Info"));
            desc->setCurrentIndex(desc->findText(QString()));
            auto* user = child<QLineEdit>(d, "user");
            QTest::keyClicks(user, QStringLiteral("X"));
            click(d, "ok");
        });
        std::int32_t result = -1;
        QCOMPARE(m_data->DataDialog(&result), S_OK);
        QVERIFY(script.done());
        QCOMPARE(m_recorder.beeps, (std::vector<std::pair<int, int>>{{440, 100}}));
        QCOMPARE(m_data->database().settings().file, std::string());
        QCOMPARE(m_data->database().settings().user, std::string("Admin"));
        QVERIFY(!store().readText(kProfilePath, "S_File").has_value());
        QVERIFY(!m_data->database().isOpen());
    }

    // Clearing the user clears and disables the password; typing a user
    // enables it again. Cancel keeps the stored settings.
    void userAndPasswordRules()
    {
        store().writeText(kProfilePath, "S_Pass", "secret");
        std::int32_t result = 0;
        m_data->StorageKey("Shack", &result);
        DialogScript script;
        script.then(kData, [](QWidget& d) {
            auto* user = child<QLineEdit>(d, "user");
            auto* password = child<QLineEdit>(d, "password");
            QCOMPARE(user->text(), QStringLiteral("Admin"));
            QCOMPARE(password->text(), QStringLiteral("secret"));
            QVERIFY(password->isEnabled());
            user->selectAll();
            QTest::keyClick(user, Qt::Key_Backspace);
            QCOMPARE(password->text(), QString());
            QVERIFY(!password->isEnabled());
            QTest::keyClicks(user, QStringLiteral("op"));
            QVERIFY(password->isEnabled());
            click(d, "cancel");
        });
        QCOMPARE(m_data->DataDialog(&result), S_OK);
        QVERIFY(script.done());
        QCOMPARE(m_data->database().settings().user, std::string("Admin"));
        QCOMPARE(m_data->database().settings().password, std::string("secret"));
    }

    // A schedule whose header is one named field wider than its 3000 rows
    // fails on every row: one box gives the count and the first lines, and
    // the file is not taken.
    void aFailingTextFileIsReportedInOneBox()
    {
        std::string text = "Freq;Info;Station;Remark\n";
        for (int i = 0; i < 3000; ++i) {
            text += "6000.0;A;B\n";
        }
        const QString path = writeFile(QStringLiteral("schedule.csv"), text);
        DialogScript script;
        script.then(kData, [&](QWidget& d) {
            m_chosen = path;
            click(d, "browse");
            QCOMPARE(child<QLineEdit>(d, "file")->text(), QString());
            click(d, "cancel");
        });
        std::int32_t result = -1;
        QCOMPARE(m_data->DataDialog(&result), S_OK);
        QVERIFY(script.done());
        QCOMPARE(m_recorder.boxes.size(), std::size_t{1});
        const Box& box = m_recorder.boxes.front();
        QCOMPARE(box.title, std::string("Format Error"));
        QVERIFY(box.icon == platform::MessageIcon::Critical);
        QVERIFY2(box.text.find("3000 lines fail the check") != std::string::npos, box.text.c_str());
        QVERIFY2(box.text.find("Separator ';' issue line 2") != std::string::npos, box.text.c_str());
    }

    // Empty lines only warn: one box, and the file is taken.
    void emptyLinesWarnOnceAndTheFileIsTaken()
    {
        const QString path = writeFile(QStringLiteral("gaps.csv"), "Frequency;Info\n\n6000.0;A\n\n7000.0;B\n");
        DialogScript script;
        script.then(kData, [&](QWidget& d) {
            m_chosen = path;
            click(d, "browse");
            QCOMPARE(child<QLineEdit>(d, "file")->text(), path);
            click(d, "cancel");
        });
        std::int32_t result = -1;
        QCOMPARE(m_data->DataDialog(&result), S_OK);
        QVERIFY(script.done());
        QCOMPARE(m_recorder.boxes.size(), std::size_t{1});
        QVERIFY(m_recorder.boxes[0].icon == platform::MessageIcon::Warning);
        QVERIFY2(m_recorder.boxes[0].text.find("Empty line 2") != std::string::npos, m_recorder.boxes[0].text.c_str());
        QVERIFY2(m_recorder.boxes[0].text.find("Empty line 4") != std::string::npos, m_recorder.boxes[0].text.c_str());
        // Cancel: nothing of the choice stays.
        QCOMPARE(m_data->database().settings().file, std::string());
    }

    // Typing in a column box keeps only the beginning of a column name
    // (completed and selected); anything else empties the box.
    void columnBoxesTakeOnlyTheirColumns()
    {
        const QString path = writeFile(QStringLiteral("typed.csv"), "Frequency;Info;Station\n6000.0;A;B\n");
        DialogScript script;
        script.then(kData, [&](QWidget& d) {
            m_chosen = path;
            click(d, "browse");
            auto* baud = child<QComboBox>(d, "baudColumn");
            QTest::keyClicks(baud->lineEdit(), QStringLiteral("st"));
            QCOMPARE(baud->currentText(), QStringLiteral("Station"));
            QCOMPARE(baud->lineEdit()->cursorPosition(), 7);
            QCOMPARE(baud->lineEdit()->selectedText(), QStringLiteral("ation"));
            baud->lineEdit()->clear();
            QTest::keyClicks(baud->lineEdit(), QStringLiteral("zz"));
            QCOMPARE(baud->currentText(), QString());
            click(d, "cancel");
        });
        std::int32_t result = -1;
        QCOMPARE(m_data->DataDialog(&result), S_OK);
        QVERIFY(script.done());
    }

    // An Access database lists its tables; choosing one lists its columns.
    void accessTablesAndColumns()
    {
        const QString mdb = QStringLiteral(LUMARET_TESTDATA_DIR "/users-jet4.mdb");
        QString status;
        DialogScript script;
        script.then(kData, [&](QWidget& d) {
            m_chosen = mdb;
            click(d, "browse");
            status = child<QLabel>(d, "status")->text();
            auto* table = child<QComboBox>(d, "table");
            QVERIFY2(table->findText(QStringLiteral("Users")) >= 0, qPrintable(status));
            QVERIFY(table->isEnabled());
            table->setCurrentIndex(table->findText(QStringLiteral("Users")));
            emit table->activated(table->currentIndex());
            auto* stat = child<QComboBox>(d, "statColumn");
            QVERIFY(stat->findText(QStringLiteral("UserName")) >= 0);
            QCOMPARE(stat->currentText(), QStringLiteral("UserId"));  // the last with "ID"
            click(d, "cancel");
        });
        std::int32_t result = -1;
        QCOMPARE(m_data->DataDialog(&result), S_OK);
        QVERIFY2(script.done(), qPrintable(status));
    }

private:
    std::string file(const QString& name) const { return m_dir.filePath(name).toStdString(); }

    QString writeFile(const QString& name, const std::string& content)
    {
        const QString path = m_dir.filePath(name);
        std::ofstream out(path.toStdString(), std::ios::binary);
        out << content;
        return path;
    }

    QTemporaryDir m_dir;
    int m_run = 0;
    std::unique_ptr<FrequencyData> m_data;
    Recorder m_recorder;
    platform::Reporter* m_old = nullptr;
    QString m_chosen;
};

QTEST_MAIN(LumaretDialogsTest)
#include "lumaretdialogs_test.moc"
