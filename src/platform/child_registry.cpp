#include "platform/child_registry.h"

#include <signal.h>

#include <mutex>
#include <set>

namespace vellinor::platform::children {
namespace {

struct Registry {
    std::mutex mutex;
    std::set<pid_t> running;
    bool ending = false;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

}  // namespace

bool enroll(pid_t pid)
{
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    if (r.ending)
        return false;
    r.running.insert(pid);
    return true;
}

void leave(pid_t pid)
{
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    r.running.erase(pid);
}

bool ending()
{
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    return r.ending;
}

void endAll()
{
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    r.ending = true;
    // Not yet reaped (they leave first), so these numbers are still theirs.
    for (const pid_t pid : r.running) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
}

void allowStarts()
{
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    r.ending = false;
}

}  // namespace vellinor::platform::children
