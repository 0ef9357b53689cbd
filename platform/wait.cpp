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

namespace {

int g_pumping = 0;

}  // namespace

void processPendingEvents()
{
    if (QCoreApplication::instance() != nullptr) {
        ++g_pumping;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        --g_pumping;
    }
}

int pumpingDepth()
{
    return g_pumping;
}

void waitStep(int stepMs)
{
    processPendingEvents();
    sleepMs(stepMs);
}

}  // namespace platform
