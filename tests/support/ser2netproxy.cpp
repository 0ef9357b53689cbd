// Starting and stopping ser2net for a test.
#include "ser2netproxy.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korvanetest {

std::string Ser2netProxy::binary()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (found.isEmpty()) {
        found = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
    }
    return found.toStdString();
}

Ser2netProxy::Ser2netProxy(const std::string& device, int port)
    : m_dir(std::make_unique<QTemporaryDir>()), m_process(std::make_unique<QProcess>()), m_port(port)
{
    const QString config = m_dir->filePath(QStringLiteral("ser2net.yaml"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        return;
    }
    file.write(QStringLiteral("connection: &receiver\n"
                              "  accepter: tcp,127.0.0.1,%1\n"
                              "  enable: on\n"
                              "  options:\n"
                              "    kickolduser: true\n"
                              "  connector: serialdev,%2,9600n81,local\n")
                   .arg(port)
                   .arg(QString::fromStdString(device))
                   .toUtf8());
    file.close();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // ser2net ends with the test program, even one that dies without
    // reaching the destructor (a crash, an abort, a time-out).
    const pid_t parent = ::getpid();
    m_process->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(127);
        }
    });
    m_process->start(QString::fromStdString(binary()),
                     {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"), config, QStringLiteral("-P"),
                      m_dir->filePath(QStringLiteral("ser2net.pid"))});
    m_process->waitForStarted(5000);
}

Ser2netProxy::~Ser2netProxy()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
}

bool Ser2netProxy::running() const
{
    return m_process->state() == QProcess::Running;
}

bool Ser2netProxy::waitListening(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (running() && timer.elapsed() < ms) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(m_port));
        const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (up) {
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

long long Ser2netProxy::pid() const
{
    return m_process->processId();
}

std::string Ser2netProxy::output()
{
    return m_process->readAll().toStdString();
}

}  // namespace korvanetest
