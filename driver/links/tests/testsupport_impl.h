// Template parts of the test helpers.
#pragma once

#include <QElapsedTimer>
#include <QThread>

namespace linktest {

template <typename Done>
bool processEventsUntil(Done done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace linktest
