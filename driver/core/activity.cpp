// Activity depth and the actions deferred until the driver is idle.
#include "activity.h"

#include <deque>
#include <utility>

namespace quorvin {

namespace {

int g_depth = 0;

std::deque<std::function<void()>>& deferred()
{
    static std::deque<std::function<void()>> actions;
    return actions;
}

void runDeferred()
{
    // An action may itself defer more; run until none is left. The depth is
    // raised while an action runs so that it cannot recurse into this loop.
    while (g_depth == 0 && !deferred().empty()) {
        auto action = std::move(deferred().front());
        deferred().pop_front();
        ++g_depth;
        action();
        --g_depth;
    }
}

}  // namespace

ActivityScope::ActivityScope()
{
    ++g_depth;
}

ActivityScope::~ActivityScope()
{
    --g_depth;
    if (g_depth == 0) {
        runDeferred();
    }
}

int ActivityScope::depth()
{
    return g_depth;
}

void ActivityScope::whenIdle(std::function<void()> action)
{
    if (!action) {
        return;
    }
    if (g_depth == 0) {
        ++g_depth;
        action();
        --g_depth;
        runDeferred();
        return;
    }
    deferred().push_back(std::move(action));
}

}  // namespace quorvin
