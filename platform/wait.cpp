// Waits: sleeps through the injectable sleeper; socket waits let pending
// non-input events through between steps.
#include "wait.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "clock.h"

namespace platform {

namespace {

Sleeper* g_pauseSleeper = nullptr;
int g_pumping = 0;

}  // namespace

void sleepMs(int ms)
{
    sleeper().sleepMs(ms);
}

void pauseMs(int ms)
{
    (g_pauseSleeper != nullptr ? *g_pauseSleeper : sleeper()).sleepMs(ms);
}

Sleeper* setPauseSleeper(Sleeper* replacement)
{
    Sleeper* old = g_pauseSleeper;
    g_pauseSleeper = replacement;
    return old;
}

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
