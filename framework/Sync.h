#pragma once
// TCriticalSection, the re-entrant lock.
#include "framework/Object.h"

#include <cstdint>
#include <mutex>

namespace kq {

// Re-entrant lock: the owning thread may enter again and must leave as often as it entered. With a spin
// count, Enter tries that many times before it sleeps: worth it for short holds on several processors.
class TCriticalSection : public TObject {
public:
    TCriticalSection() = default;
    explicit TCriticalSection(std::uint32_t spin_count) noexcept : FSpinCount(spin_count) {}

    void Enter() {
        for (std::uint32_t i = 0; i < FSpinCount; ++i)
            if (FMutex.try_lock()) return;
        FMutex.lock();
    }
    void Leave() { FMutex.unlock(); }
    bool TryEnter() { return FMutex.try_lock(); }

    // Lets std::lock_guard / std::scoped_lock hold it.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
    std::recursive_mutex FMutex;
    std::uint32_t FSpinCount = 0;
};

} // namespace kq
