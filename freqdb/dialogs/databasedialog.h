// "Database configuration": the operator's station file (Access, dBase or
// semicolon text), its user and password, the table and which columns hold
// the frequency, description, station, modulation, mode and baud rate. The
// edits stay in the dialog until OK: valid settings (a frequency column and
// one more) are saved under the storage key and the database is opened;
// invalid ones beep and are discarded, as Cancel discards them.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "freqdb/stationdatabase.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lumaret {

class FrequencyData;

class DatabaseDialog : public QDialog {
    Q_OBJECT
public:
    // Asks for a station file, starting from `current`; empty when the
    // operator cancels. The default is the toolkit's open-file dialog;
    // tests replace it.
    using FileChooser = std::function<QString(QWidget* parent, const QString& current)>;
    static FileChooser setFileChooser(FileChooser chooser);

    explicit DatabaseDialog(FrequencyData& data, QWidget* parent = nullptr);

    // What the controls hold now.
    DatabaseSettings editedSettings() const;

public slots:
    void accept() override;

private:
    enum Column { Freq, Desc, Stat, Modul, Mode, Baud, ColumnCount };

    void fillFromSettings(const DatabaseSettings& settings);
    void onUserEdited(const QString& text);
    void onBrowse();
    // Takes a chosen file after the checks a text file must pass.
    bool acceptFile(const QString& path);
    void refreshTables();
    void onTableChosen(int index);
    // Lists the table's columns in every column box; with `preselect` the
    // likely frequency, description and station columns are chosen.
    void listColumns(bool preselect);
    void onColumnEdited(QComboBox* box, const QString& text);
    void setStatus(const QString& text);

    FrequencyData& m_data;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_file;
    QPushButton* m_browse;
    QComboBox* m_table;
    std::array<QComboBox*, ColumnCount> m_columns{};
    QLabel* m_status;
};

}  // namespace lumaret
