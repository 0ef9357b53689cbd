// The memory channels of one receiver as the channel window shows them: a
// working copy that the operator edits and a copy of the values last read
// from (or last written to) the receiver, one row per channel from
// RxChnStart to RxChnCount - 1. A channel is changed when its receiver copy
// holds values and the working copy differs from them, or when it was never
// read and the working copy holds a frequency. The table also turns the
// channel file (formats/channelfile.h) into rows and rows into it; the
// window around it only asks for files and shows messages.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "formats/channelfile.h"
#include "interfaces/ireceiverdriver.h"

namespace tessaly {

// The grid's columns; the six values of a channel follow the number.
enum ChannelColumn { ColNumber, ColFrequency, ColBfo, ColMode, ColFilter, ColAgc, ColMask, ChannelColumnCount };

// The six values of a channel (frequency, BFO, mode, filter, AGC, mask);
// a value the table does not know is empty.
struct ChannelCells {
    enum Value { Frequency, Bfo, Mode, Filter, Agc, Mask, ValueCount };
    std::array<std::optional<std::int32_t>, ValueCount> v{};

    bool anyKnown() const;
    // A value, or its neutral stand-in when empty (0, or -1 for mode and AGC).
    std::int32_t value(Value which) const;
    bool operator==(const ChannelCells&) const = default;
};

// The pick lists of a receiver's mode and AGC cells (in the channel window
// and the log): the modes it has and does not emulate, the AGC settings it
// has, by the driver's names.
QStringList modePickList(quorvin::IReceiverDriver* driver, std::int16_t rx);
QStringList agcPickList(quorvin::IReceiverDriver* driver, std::int16_t rx);

// Takes a receiver off the memory channel it sits on before its channels
// are cleared: it is tuned 1 kHz away and, once it reports that frequency
// (or after `waitMs`), back to the frequency it had. `pump` lets pending
// events run between the checks. False when the receiver has not reported
// a frequency (nothing is sent then).
bool stepOffChannel(quorvin::IReceiverDriver& driver, std::int16_t rx, const std::function<void()>& pump, int waitMs);

class ChannelTable : public QAbstractTableModel {
    Q_OBJECT
public:
    // The data role that tells whether a row's channel is changed.
    static constexpr int ChangedRole = Qt::UserRole + 1;

    explicit ChannelTable(QObject* parent = nullptr);

    // Takes the receiver's channel range and forgets every value.
    void setReceiver(quorvin::IReceiverDriver* driver, std::int16_t index);
    quorvin::IReceiverDriver* driver() const { return m_driver; }
    std::int16_t receiver() const { return m_rx; }
    int start() const { return m_start; }
    int count() const { return m_count; }
    bool hasMask() const { return m_hasMask; }
    bool validChannel(int channel) const { return channel >= m_start && channel < m_count; }
    int channelOfRow(int row) const { return m_start + row; }
    int rowOfChannel(int channel) const { return channel - m_start; }

    // A channel status from the receiver: stored into both copies. A channel
    // outside the receiver's range is ignored (false).
    bool storeStatus(int channel, std::int32_t frq, std::int32_t bfo, std::int32_t mod, std::int32_t flt,
                     std::int32_t agc, std::int32_t msk);
    const ChannelCells& working(int channel) const;
    const ChannelCells& received(int channel) const;
    void setWorking(int channel, const ChannelCells& cells);
    // The receiver took the working copy: it becomes the receiver copy.
    void markWritten(int channel);
    bool isChanged(int channel) const;
    std::vector<int> changedChannels() const;

    // The channels to export: every one whose working frequency is neither
    // empty nor 0, named as the driver names modes and AGC.
    std::vector<channelfile::ChannelLine> exportLines() const;

    struct ImportResult {
        int taken = 0;  // rows stored into the working copy
        int skipped = 0;  // lines for channels this receiver does not have
        int firstSkipped = -1;
        QString error;  // the first faulty line's message; empty when none
    };
    // Stores the file's lines into the working copy until the first faulty
    // line; what was stored before it stays.
    ImportResult importText(std::string_view text);

    // The pick lists of the mode, AGC and mask cells.
    QStringList modeNames() const;
    QStringList agcNames() const;
    static QStringList maskNames();

    QString modeName(std::int32_t mod) const;
    QString agcName(std::int32_t agc) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edited cell (its text): the row is copied back into the working
    // copy, empty cells as 0 (mode and AGC as -1, the mask as "Keep"). A
    // number that is not whole, or a name the receiver does not know, is
    // refused.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    void emitRow(int channel);

    quorvin::IReceiverDriver* m_driver = nullptr;
    std::int16_t m_rx = 0;
    int m_start = 0;
    int m_count = 0;
    bool m_hasMask = false;
    std::vector<ChannelCells> m_working;  // by row
    std::vector<ChannelCells> m_received;  // by row
};

}  // namespace tessaly
