// The frequency log window ("DataLog"): the operator's log of interesting
// frequencies, kept in "scratchpad.txt" in the directory the application
// started in. Insert logs the receiver's current settings with the date,
// the time and its name; the description is typed in the grid. Activating
// a record tunes the receiver to it again; Copy puts it on the clipboard as
// tab-separated text. Every change is written to the file at once (to a
// temporary file renamed into place), so nothing depends on how the window
// or the application is closed. The logic lives in
// controller/core/frequencylog.h.
#pragma once

#include <QDialog>

#include <cstdint>

#include "controller/core/frequencylog.h"
#include "interfaces/ireceiverdriver.h"

class QLabel;
class QTableView;

namespace tessaly {

class Messages;

class LogWindow : public QDialog {
    Q_OBJECT
public:
    explicit LogWindow(Messages& messages, QWidget* parent = nullptr);

    // Takes the driver, loads the scratchpad of the current directory.
    void init(quorvin::IReceiverDriver* driver);
    // Shows the window for the receiver: for logging (the current settings
    // are logged at once) or for browsing.
    void open(std::int16_t receiver, bool logNow);
    std::int16_t receiver() const { return m_rx; }
    quorvin::IReceiverDriver* driverOf() const;

    FrequencyLog& log() { return m_log; }
    QTableView* grid() const { return m_grid; }
    const QString& path() const { return m_path; }
    QString statusText() const;

    // The buttons.
    bool insert();
    void tune(int row);
    void copy();
    void remove();
    void accept() override;
    void reject() override;

private:
    void persist();
    void updateTitle();
    void setStatus(const QString& text, bool error = false);
    int selectedRow() const;
    bool receiverUsable() const;

    Messages& m_messages;
    quorvin::IReceiverDriver* m_driver = nullptr;
    std::int16_t m_rx = 0;
    FrequencyLog m_log;
    QString m_path;
    // The file could not be read: it is left alone rather than replaced.
    bool m_readOnly = false;
    bool m_saveFailed = false;
    QTableView* m_grid = nullptr;
    QLabel* m_status = nullptr;
};

}  // namespace tessaly
