// The memory channels of one receiver: rows, copies and the channel file.
#include "channeltable.h"

#include <QElapsedTimer>

#include <limits>

#include "displayrules.h"
#include "platform/numbers.h"

namespace tessaly {

using namespace quorvin;

namespace {

const ChannelCells kNoCells{};

ChannelCells::Value valueOfColumn(int column)
{
    return static_cast<ChannelCells::Value>(column - ColFrequency);
}

}  // namespace

bool ChannelCells::anyKnown() const
{
    for (const auto& x : v) {
        if (x) {
            return true;
        }
    }
    return false;
}

std::int32_t ChannelCells::value(Value which) const
{
    const auto& x = v[static_cast<std::size_t>(which)];
    if (x) {
        return *x;
    }
    return which == Mode || which == Agc ? -1 : 0;
}

ChannelTable::ChannelTable(QObject* parent) : QAbstractTableModel(parent) {}

void ChannelTable::setReceiver(IReceiverDriver* driver, std::int16_t index)
{
    beginResetModel();
    m_driver = driver;
    m_rx = index;
    std::int16_t start = 0, count = 0;
    std::int32_t mask = 0;
    if (driver != nullptr) {
        driver->get_RxChnStart(index, &start);
        driver->get_RxChnCount(index, &count);
        driver->get_RxChnMskExist(index, &mask);
    }
    m_start = std::max<int>(0, start);
    m_count = std::max<int>(m_start, count);
    m_hasMask = mask != 0;
    m_working.assign(static_cast<std::size_t>(m_count - m_start), ChannelCells{});
    m_received.assign(static_cast<std::size_t>(m_count - m_start), ChannelCells{});
    endResetModel();
}

bool ChannelTable::storeStatus(int channel, std::int32_t frq, std::int32_t bfo, std::int32_t mod, std::int32_t flt,
                               std::int32_t agc, std::int32_t msk)
{
    if (!validChannel(channel)) {
        return false;
    }
    ChannelCells cells;
    cells.v = {frq, bfo, mod, flt, agc, msk};
    const auto row = static_cast<std::size_t>(rowOfChannel(channel));
    m_working[row] = cells;
    m_received[row] = cells;
    emitRow(channel);
    return true;
}

const ChannelCells& ChannelTable::working(int channel) const
{
    return validChannel(channel) ? m_working[static_cast<std::size_t>(rowOfChannel(channel))] : kNoCells;
}

const ChannelCells& ChannelTable::received(int channel) const
{
    return validChannel(channel) ? m_received[static_cast<std::size_t>(rowOfChannel(channel))] : kNoCells;
}

void ChannelTable::setWorking(int channel, const ChannelCells& cells)
{
    if (!validChannel(channel)) {
        return;
    }
    m_working[static_cast<std::size_t>(rowOfChannel(channel))] = cells;
    emitRow(channel);
}

void ChannelTable::markWritten(int channel)
{
    if (!validChannel(channel)) {
        return;
    }
    const auto row = static_cast<std::size_t>(rowOfChannel(channel));
    m_received[row] = m_working[row];
    emitRow(channel);
}

bool ChannelTable::isChanged(int channel) const
{
    if (!validChannel(channel)) {
        return false;
    }
    const auto row = static_cast<std::size_t>(rowOfChannel(channel));
    const ChannelCells& w = m_working[row];
    const ChannelCells& r = m_received[row];
    if (!r.anyKnown()) {
        // Never read: what the operator put there is new.
        return w.value(ChannelCells::Frequency) != 0;
    }
    for (std::size_t i = 0; i < ChannelCells::ValueCount; ++i) {
        if (r.v[i] && r.v[i] != w.v[i]) {
            return true;
        }
    }
    return false;
}

std::vector<int> ChannelTable::changedChannels() const
{
    std::vector<int> out;
    for (int c = m_start; c < m_count; ++c) {
        if (isChanged(c)) {
            out.push_back(c);
        }
    }
    return out;
}

QString ChannelTable::modeName(std::int32_t mod) const
{
    std::string name;
    if (m_driver != nullptr && mod >= 0) {
        m_driver->get_RxModName(m_rx, static_cast<MODTYPE>(mod), &name);
    }
    return QString::fromStdString(name);
}

QString ChannelTable::agcName(std::int32_t agc) const
{
    std::string name;
    if (m_driver != nullptr && agc >= 0) {
        m_driver->get_RxAgcName(m_rx, static_cast<AGCTYPE>(agc), &name);
    }
    return QString::fromStdString(name);
}

std::vector<channelfile::ChannelLine> ChannelTable::exportLines() const
{
    std::vector<channelfile::ChannelLine> lines;
    for (int c = m_start; c < m_count; ++c) {
        const ChannelCells& w = working(c);
        if (!w.v[ChannelCells::Frequency] || *w.v[ChannelCells::Frequency] == 0) {
            continue;
        }
        channelfile::ChannelLine l;
        l.channel = c;
        l.frequency = w.value(ChannelCells::Frequency);
        l.bfo = w.value(ChannelCells::Bfo);
        l.mode = modeName(w.value(ChannelCells::Mode)).toStdString();
        l.filter = w.value(ChannelCells::Filter);
        l.agc = agcName(w.value(ChannelCells::Agc)).toStdString();
        l.mask = w.value(ChannelCells::Mask);
        lines.push_back(std::move(l));
    }
    return lines;
}

ChannelTable::ImportResult ChannelTable::importText(std::string_view text)
{
    ImportResult result;
    // A receiver without AGC settings exports its channels without a name.
    std::int16_t agcCount = 0;
    if (m_driver != nullptr) {
        m_driver->get_RxAgcCount(m_rx, &agcCount);
    }
    const bool noAgc = agcCount <= 0;
    const channelfile::ParseResult parsed = channelfile::parse(text, noAgc);
    // No line is dropped before the first faulty one: line n is lines[n - 1].
    for (std::size_t i = 0; i < parsed.lines.size(); ++i) {
        const channelfile::ChannelLine& l = parsed.lines[i];
        const int lineNo = static_cast<int>(i) + 1;
        MODTYPE mod = ModNone;
        AGCTYPE agc = AgcNone;
        std::int32_t modExists = 0;
        if (m_driver != nullptr) {
            m_driver->get_RxModType(m_rx, l.mode, &mod);
            m_driver->get_RxAgcType(m_rx, l.agc, &agc);
            if (mod != ModNone) {
                m_driver->get_RxModExist(m_rx, mod, &modExists);
            }
        }
        if (mod == ModNone || modExists == 0) {
            result.error =
                QStringLiteral("Unknown mode \"%1\" on line %2").arg(QString::fromStdString(l.mode)).arg(lineNo);
            return result;
        }
        if (agc == AgcNone && !(noAgc && l.agc.empty())) {
            result.error =
                QStringLiteral("Unknown AGC \"%1\" on line %2").arg(QString::fromStdString(l.agc)).arg(lineNo);
            return result;
        }
        if (!validChannel(l.channel)) {
            if (result.skipped++ == 0) {
                result.firstSkipped = lineNo;
            }
            continue;
        }
        // The file's checks bound every number to 32 bits.
        ChannelCells cells;
        cells.v = {static_cast<std::int32_t>(l.frequency),
                   static_cast<std::int32_t>(l.bfo),
                   mod,
                   static_cast<std::int32_t>(l.filter),
                   agc,
                   static_cast<std::int32_t>(l.mask)};
        setWorking(l.channel, cells);
        ++result.taken;
    }
    if (parsed.error) {
        result.error = QString::fromStdString(parsed.error->message);
    }
    return result;
}

bool stepOffChannel(IReceiverDriver& driver, std::int16_t rx, const std::function<void()>& pump, int waitMs)
{
    std::int32_t f = -1, max = 0;
    driver.get_RxFrq(rx, NONE, &f);
    driver.get_RxFrqMax(rx, &max);
    if (f < 0) {
        return false;
    }
    const std::int32_t away = f + 1000 <= max ? f + 1000 : f - 1000;
    driver.put_RxFrq(rx, NONE, away);
    // Back only once the step was taken: until then the driver still holds
    // f and would take the way back for no change at all.
    QElapsedTimer clock;
    clock.start();
    std::int32_t now = f;
    while ((driver.get_RxFrq(rx, NONE, &now), now != away) && clock.elapsed() < waitMs) {
        pump();
    }
    driver.put_RxFrq(rx, NONE, f);
    return true;
}

QStringList modePickList(IReceiverDriver* driver, std::int16_t rx)
{
    QStringList names;
    if (driver == nullptr) {
        return names;
    }
    std::int16_t count = 0;
    driver->get_RxModCount(rx, &count);
    for (int m = 0; m < count; ++m) {
        std::int32_t exists = 0, emulated = 0;
        driver->get_RxModExist(rx, static_cast<MODTYPE>(m), &exists);
        driver->get_RxIsModEmu(rx, static_cast<MODTYPE>(m), &emulated);
        if (exists != 0 && emulated == 0) {
            std::string name;
            driver->get_RxModName(rx, static_cast<MODTYPE>(m), &name);
            names << QString::fromStdString(name);
        }
    }
    return names;
}

QStringList agcPickList(IReceiverDriver* driver, std::int16_t rx)
{
    QStringList names;
    if (driver == nullptr) {
        return names;
    }
    std::int16_t count = 0;
    driver->get_RxAgcCount(rx, &count);
    for (int a = 0; a < count; ++a) {
        std::int32_t exists = 0;
        driver->get_RxAgcExist(rx, static_cast<AGCTYPE>(a), &exists);
        if (exists != 0) {
            std::string name;
            driver->get_RxAgcName(rx, static_cast<AGCTYPE>(a), &name);
            names << QString::fromStdString(name);
        }
    }
    return names;
}

QStringList ChannelTable::modeNames() const
{
    return modePickList(m_driver, m_rx);
}

QStringList ChannelTable::agcNames() const
{
    return agcPickList(m_driver, m_rx);
}

QStringList ChannelTable::maskNames()
{
    return {QStringLiteral("Keep"), QStringLiteral("Skip")};
}

int ChannelTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count - m_start;
}

int ChannelTable::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ChannelColumnCount;
}

QVariant ChannelTable::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) {
        return {};
    }
    const int channel = channelOfRow(index.row());
    const ChannelCells& w = working(channel);
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (column == ColNumber) {
            return channelText(channel, m_count);
        }
        // An empty channel (no frequency, or 0) shows blank cells.
        if (w.value(ChannelCells::Frequency) == 0 && role == Qt::DisplayRole) {
            return QString();
        }
        const auto& x = w.v[static_cast<std::size_t>(valueOfColumn(column))];
        if (!x) {
            return QString();
        }
        switch (column) {
        case ColMode: return modeName(*x);
        case ColAgc: return agcName(*x);
        case ColMask: return maskNames().at(*x == 0 ? 0 : 1);
        default: return QString::number(*x);
        }
    }
    if (role == Qt::TextAlignmentRole) {
        const bool number = column == ColNumber || column == ColFrequency || column == ColBfo || column == ColFilter;
        return QVariant::fromValue(Qt::Alignment((number ? Qt::AlignRight : Qt::AlignHCenter) | Qt::AlignVCenter));
    }
    if (role == ChangedRole) {
        return isChanged(channel);
    }
    if (role == Qt::ToolTipRole && isChanged(channel)) {
        return QStringLiteral("Changed here: not yet written to the receiver");
    }
    return {};
}

QVariant ChannelTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return {};
    }
    static const char* const kHeadings[ChannelColumnCount] = {"N\u00B0", "Frequency", "BFO", "Mode",
                                                              "Filter",  "AGC",       "MSK"};
    return section >= 0 && section < ChannelColumnCount ? QString::fromUtf8(kHeadings[section]) : QVariant();
}

Qt::ItemFlags ChannelTable::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() != ColNumber) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

bool ChannelTable::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() == ColNumber || index.row() >= rowCount()) {
        return false;
    }
    const int channel = channelOfRow(index.row());
    const QString text = value.toString().trimmed();
    ChannelCells cells = working(channel);
    const ChannelCells::Value which = valueOfColumn(index.column());
    std::optional<std::int32_t> parsed;
    switch (index.column()) {
    case ColMode: {
        if (text.isEmpty()) {
            break;
        }
        MODTYPE mod = ModNone;
        if (m_driver != nullptr) {
            m_driver->get_RxModType(m_rx, text.toStdString(), &mod);
        }
        if (mod == ModNone) {
            return false;
        }
        parsed = mod;
        break;
    }
    case ColAgc: {
        if (text.isEmpty()) {
            break;
        }
        AGCTYPE agc = AgcNone;
        if (m_driver != nullptr) {
            m_driver->get_RxAgcType(m_rx, text.toStdString(), &agc);
        }
        if (agc == AgcNone) {
            return false;
        }
        parsed = agc;
        break;
    }
    case ColMask: parsed = text == QLatin1String("Keep") || text.isEmpty() ? 0 : 1; break;
    default: {
        if (text.isEmpty()) {
            break;
        }
        const auto n = platform::parseInt(text.toStdString());
        if (!n || *n < std::numeric_limits<std::int32_t>::min() || *n > std::numeric_limits<std::int32_t>::max() ||
            (which != ChannelCells::Bfo && *n < 0)) {
            return false;
        }
        parsed = static_cast<std::int32_t>(*n);
        break;
    }
    }
    cells.v[static_cast<std::size_t>(which)] = parsed;
    // The whole row is taken: every empty cell as its neutral value.
    for (std::size_t i = 0; i < ChannelCells::ValueCount; ++i) {
        cells.v[i] = cells.value(static_cast<ChannelCells::Value>(i));
    }
    setWorking(channel, cells);
    return true;
}

void ChannelTable::emitRow(int channel)
{
    const int row = rowOfChannel(channel);
    emit dataChanged(index(row, 0), index(row, ChannelColumnCount - 1));
}

}  // namespace tessaly
