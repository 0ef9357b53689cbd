// Waits: sleeps through the injectable sleeper; socket waits let pending
// non-input events through between steps.
#include "wait.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "clock.h"

namespace platform {

void sleepMs(int ms)
{
    sleeper().sleepMs(ms);
}

void processPendingEvents()
{
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void waitStep(int stepMs)
{
    processPendingEvents();
    sleepMs(stepMs);
}

}  // namespace platform
