#pragma once
// TCriticalSection, the re-entrant lock.
#include "framework/Object.h"

#include <mutex>

namespace kq {

// Re-entrant lock: the owning thread may enter again and must leave as often as it entered.
class TCriticalSection : public TObject {
public:
    void Enter() { FMutex.lock(); }
    void Leave() { FMutex.unlock(); }
    bool TryEnter() { return FMutex.try_lock(); }

    // Lets std::lock_guard / std::scoped_lock hold it.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
    std::recursive_mutex FMutex;
};

} // namespace kq
