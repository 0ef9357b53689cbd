// The memory-channel window ("Channel"): the channels of the selected
// receiver in a grid that the operator edits, with buttons to read them all
// again, write the changed ones, clear them, take the receiver's settings
// into a channel, and import or export the channel file. Activating a row
// loads that channel into the receiver. The logic lives in
// controller/core/channeltable.h and channeldump.h.
#pragma once

#include <QDialog>
#include <QPointer>

#include <cstdint>

#include "controller/core/channeldump.h"
#include "controller/core/channeltable.h"
#include "interfaces/ireceiverdriver.h"

class QLabel;
class QPushButton;
class QTableView;

namespace tessaly {

class FileChooser;
class Messages;

class ChannelWindow : public QDialog {
    Q_OBJECT
public:
    ChannelWindow(Messages& messages, FileChooser& files, QWidget* parent = nullptr);

    void init(quorvin::IReceiverDriver* driver);
    // Reads every channel of the receiver into the grid; false when the
    // receiver refused or fell silent (the grid keeps what it had).
    bool load(std::int16_t receiver);
    // A channel status from the driver (any receiver; only the one shown
    // is taken).
    void channelStatus(std::int16_t index, std::int16_t chn, std::int32_t frq, std::int32_t bfo, std::int32_t mod,
                       std::int32_t flt, std::int32_t agc, std::int32_t msk);
    // The window closes and forgets its receiver (the configuration changed).
    void abandon();
    void setFileChooser(FileChooser& files) { m_files = &files; }

    ChannelTable& table() { return m_table; }
    QTableView* grid() const { return m_grid; }
    QString statusText() const;

    // The buttons.
    void reload();
    void save();
    void clear();
    void getIt();
    void exportFile();
    void importFile();
    void loadRow(int row);

signals:
    // The main window's channel indicator; an empty text hides it.
    void indicator(const QString& text);

protected:
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setStatus(const QString& text, bool error = false);
    int selectedChannel() const;
    bool stillShowing(int generation) const { return generation == m_generation && m_driver != nullptr; }

    Messages& m_messages;
    FileChooser* m_files;
    quorvin::IReceiverDriver* m_driver = nullptr;
    ChannelTable m_table;
    ChannelDump m_dump;
    int m_generation = 0;
    QTableView* m_grid = nullptr;
    QLabel* m_status = nullptr;
};

}  // namespace tessaly
