// The engine call lock: re-entrant for its owner, other threads served in
// the order they arrived.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/core/core.h"

namespace {

struct CallLock {
    std::mutex mutex;
    std::condition_variable changed;
    std::thread::id owner;
    int depth = 0;
    unsigned long long nextTicket = 0;
    unsigned long long serving = 0;
};

CallLock& Lock() {
    static CallLock lock;
    return lock;
}

}  // namespace

void EngineCallLockEnter() {
    CallLock& l = Lock();
    std::unique_lock<std::mutex> guard(l.mutex);
    std::thread::id me = std::this_thread::get_id();
    if (l.depth > 0 && l.owner == me) {
        ++l.depth;
        return;
    }
    unsigned long long ticket = l.nextTicket++;
    l.changed.wait(guard, [&] { return l.depth == 0 && l.serving == ticket; });
    l.owner = me;
    l.depth = 1;
}

void EngineCallLockLeave() {
    CallLock& l = Lock();
    bool released = false;
    {
        std::lock_guard<std::mutex> guard(l.mutex);
        if (l.depth == 0 || l.owner != std::this_thread::get_id()) return;
        if (--l.depth == 0) {
            l.owner = std::thread::id();
            ++l.serving;
            released = true;
        }
    }
    if (released) {
        Lock().changed.notify_all();
        std::this_thread::yield();
    }
}

bool EngineCallLockHeldByThisThread() {
    CallLock& l = Lock();
    std::lock_guard<std::mutex> guard(l.mutex);
    return l.depth > 0 && l.owner == std::this_thread::get_id();
}
