// QSerialPort behind the serial backend interface.
#include "qtserialbackend.h"

#include <QSerialPort>
#include <cerrno>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include "serialports.h"

namespace quorvin {

namespace {

QSerialPort::Parity toQtParity(char letter)
{
    switch (letter) {
    case 'e': return QSerialPort::EvenParity;
    case 'o': return QSerialPort::OddParity;
    case 'm': return QSerialPort::MarkParity;
    case 's': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

// Upper bounds on how long the backend itself blocks: pushing a frame out
// of the output buffer, and pulling input in bursts.
constexpr int kWriteRounds = 200;
constexpr int kWriteRoundMs = 10;
constexpr int kPullRounds = 64;

}  // namespace

QtSerialBackend::QtSerialBackend() : m_port(std::make_unique<QSerialPort>())
{
    QObject::connect(m_port.get(), &QSerialPort::readyRead, m_port.get(), [this] { onReadyRead(); });
    QObject::connect(m_port.get(), &QSerialPort::errorOccurred, m_port.get(),
                     [this](QSerialPort::SerialPortError error) { onError(static_cast<int>(error)); });
}

QtSerialBackend::~QtSerialBackend()
{
    m_listener = nullptr;
    if (m_port->isOpen()) {
        m_port->close();
    }
}

SerialOpenResult QtSerialBackend::open(const std::string& device, const LineSettings& line)
{
    if (m_port->isOpen()) {
        m_port->close();
    }
    m_port->setPortName(QString::fromStdString(device));
    m_port->setBaudRate(line.speed);
    m_port->setDataBits(line.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    m_port->setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    m_port->setParity(toQtParity(line.parity));
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    // No limit on the read buffer: nothing the receiver sends is dropped.
    m_port->setReadBufferSize(0);
    if (!m_port->open(QIODevice::ReadWrite)) {
        const auto error = m_port->error();
        m_port->clearError();
        if (error == QSerialPort::DeviceNotFoundError) {
            return SerialOpenResult::NoDevice;
        }
        if (error == QSerialPort::PermissionError) {
            // Qt says the same for a port held by another program.
            return deviceAccessDenied(device) ? SerialOpenResult::NoPermission : SerialOpenResult::InUse;
        }
        return SerialOpenResult::Failed;
    }
    // Exclusive mode does not bind a privileged process; the advisory lock
    // binds every program that asks for it, this suite's probe included.
    if (::flock(static_cast<int>(m_port->handle()), LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        m_port->close();
        return busy ? SerialOpenResult::InUse : SerialOpenResult::Failed;
    }
    // A pseudo-terminal has no modem lines; asserting them is best effort.
    m_port->setRequestToSend(true);
    m_port->setDataTerminalReady(true);
    m_port->clearError();
    m_haveCounters = readCounters(m_counters);
    return SerialOpenResult::Ok;
}

bool QtSerialBackend::close()
{
    if (!m_port->isOpen()) {
        return true;
    }
    m_port->close();
    const bool ok = m_port->error() == QSerialPort::NoError;
    m_port->clearError();
    return ok;
}

bool QtSerialBackend::isOpen() const
{
    return m_port->isOpen();
}

int QtSerialBackend::modemLines()
{
    if (!m_port->isOpen()) {
        return 0;
    }
    int lines = 0;
    if (::ioctl(static_cast<int>(m_port->handle()), TIOCMGET, &lines) != 0) {
        return 0;
    }
    return lines;
}

bool QtSerialBackend::dsr()
{
    return (modemLines() & TIOCM_DSR) != 0;
}

bool QtSerialBackend::cts()
{
    return (modemLines() & TIOCM_CTS) != 0;
}

bool QtSerialBackend::discardInput()
{
    if (!m_port->isOpen()) {
        return false;
    }
    const bool ok = m_port->clear(QSerialPort::Input);
    m_port->clearError();
    return ok;
}

bool QtSerialBackend::write(const std::string& bytes)
{
    if (!m_port->isOpen()) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (m_port->write(bytes.data(), size) != size) {
        m_port->clearError();
        return false;
    }
    // The link's waits are plain sleeps, so the bytes go out now rather
    // than when the event loop next runs.
    const int fd = static_cast<int>(m_port->handle());
    for (int round = 0; round < kWriteRounds && m_port->isOpen() && m_port->bytesToWrite() > 0; ++round) {
        m_port->flush();
        if (m_port->isOpen() && m_port->bytesToWrite() > 0) {
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, kWriteRoundMs);
        }
    }
    const bool ok = m_port->isOpen() && m_port->bytesToWrite() == 0 && m_port->error() != QSerialPort::WriteError &&
                    m_port->error() != QSerialPort::ResourceError;
    m_port->clearError();
    return ok;
}

void QtSerialBackend::pull()
{
    // QSerialPort fills its buffer from the event loop; a synchronous read
    // takes what the kernel holds now. readyRead emitted in here only
    // posts a notification.
    for (int round = 0; round < kPullRounds && m_port->isOpen(); ++round) {
        if (!m_port->waitForReadyRead(0)) {
            break;
        }
    }
    if (m_port->isOpen() && m_port->error() == QSerialPort::TimeoutError) {
        m_port->clearError();
    }
}

std::int64_t QtSerialBackend::bytesWaiting()
{
    if (!m_port->isOpen()) {
        return -1;
    }
    pull();
    if (!m_port->isOpen()) {
        return -1;
    }
    return m_port->bytesAvailable();
}

std::optional<std::string> QtSerialBackend::readAll()
{
    if (!m_port->isOpen()) {
        return std::nullopt;
    }
    pull();
    const QByteArray data = m_port->readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

std::optional<std::string> QtSerialBackend::peek()
{
    if (!m_port->isOpen()) {
        return std::nullopt;
    }
    pull();
    if (!m_port->isOpen()) {
        return std::nullopt;
    }
    const QByteArray data = m_port->peek(m_port->bytesAvailable());
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

bool QtSerialBackend::readCounters(Counters& counters) const
{
    if (!m_port->isOpen()) {
        return false;
    }
    serial_icounter_struct raw{};
    if (::ioctl(static_cast<int>(m_port->handle()), TIOCGICOUNT, &raw) != 0) {
        return false;  // pseudo-terminals and some USB adapters keep no counters
    }
    counters.frame = raw.frame;
    counters.overrun = raw.overrun;
    counters.parity = raw.parity;
    counters.brk = raw.brk;
    counters.bufOverrun = raw.buf_overrun;
    return true;
}

bool QtSerialBackend::takeLineError()
{
    if (!m_haveCounters) {
        return false;
    }
    Counters now;
    if (!readCounters(now)) {
        return false;
    }
    const bool rose = now.frame != m_counters.frame || now.overrun != m_counters.overrun ||
                      now.parity != m_counters.parity || now.brk != m_counters.brk ||
                      now.bufOverrun != m_counters.bufOverrun;
    m_counters = now;
    return rose;
}

bool QtSerialBackend::setReceiveNotification(bool)
{
    // QSerialPort always reads from the event loop; the link decides
    // whether an arrival is passed on.
    return m_port->isOpen();
}

void QtSerialBackend::onReadyRead()
{
    if (m_listener == nullptr) {
        return;
    }
    if (takeLineError()) {
        m_listener->backendLineError();
    }
    m_listener->backendDataArrived();
}

void QtSerialBackend::onError(int error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port->isOpen()) {
        return;
    }
    // A failed read is either a spurious wake-up or the end of the device
    // (unplugged, or the far end of a pty closed: reads then return 0 for
    // ever). Only a hang-up ends the connection.
    pollfd pfd{static_cast<int>(m_port->handle()), POLLIN, 0};
    const bool hungUp = ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    if (!hungUp) {
        if (error == QSerialPort::ResourceError) {
            // The wake-up found nothing to read (a synchronous read took the
            // bytes first), and QSerialPort stops watching the port after
            // such a read. Watch it again (setting the buffer size restarts
            // the reading), or nothing that arrives later would be announced
            // and a receiver that answers would be taken for silent. The
            // error is no error of the line: the next write must not fail
            // on it.
            m_port->clearError();
            QMetaObject::invokeMethod(
                m_port.get(),
                [this] {
                    if (m_port->isOpen() && !m_closing) {
                        m_port->setReadBufferSize(0);
                    }
                },
                Qt::QueuedConnection);
        }
        return;
    }
    // Closed from the event loop, not inside QSerialPort's own handler;
    // until then no more reads are attempted.
    if (!m_closing) {
        m_closing = true;
        QMetaObject::invokeMethod(
            m_port.get(),
            [this] {
                m_closing = false;
                if (m_port->isOpen()) {
                    m_port->close();
                    m_port->clearError();
                }
            },
            Qt::QueuedConnection);
    }
}

}  // namespace quorvin
