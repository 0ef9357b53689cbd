// The pty as the suite's serial link meets it: QSerialPort opens the
// device, talks, closes, and opens it again.
#include <gtest/gtest.h>

#include <QSerialPort>

#include "simserver.h"

namespace {

QByteArray exchange(QSerialPort& port, const QByteArray& command, char terminator)
{
    port.write(command);
    port.waitForBytesWritten(1000);
    QByteArray reply;
    for (int i = 0; i < 100 && !reply.contains(terminator); ++i) {
        if (port.waitForReadyRead(30)) {
            reply += port.readAll();
        }
    }
    return reply;
}

}  // namespace

TEST(SimServerPty, QSerialPortOpensClosesAndReopens)
{
    sim::LineConfig config;
    std::string error;
    ASSERT_TRUE(sim::parseLineConfig("NRD535", config, error));
    sim::SimServer server(sim::SimLine::fromConfig(config));
    ASSERT_TRUE(server.openPty(&error)) << error;
    server.start();
    for (int round = 0; round < 3; ++round) {
        QSerialPort port(QString::fromStdString(server.devicePath()));
        port.setBaudRate(4800);
        ASSERT_TRUE(port.open(QIODevice::ReadWrite)) << port.errorString().toStdString();
        port.clear();
        EXPECT_EQ(exchange(port, "?\r", '\r'), QByteArray("NRD-535\r"));
        port.close();
    }
}
