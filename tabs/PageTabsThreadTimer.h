#pragma once
// TThreadTimer, the animations' clock.
#include "framework/Components.h"

#include <atomic>
#include <functional>
#include <memory>

namespace kq {

class TThread;

// The clock of the strip's animations: a worker thread hands each tick to the GUI thread, waits for
// it, and sleeps only for the rest of the interval (at least 10 ms), so ticks keep their rate while
// painting is slow. Enabled, disabled and freed on the GUI thread, from inside a tick too.
class TThreadTimer : public TComponent {
public:
    explicit TThreadTimer(TComponent* AOwner);
    ~TThreadTimer() override;

    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    // Milliseconds; read anew for every period.
    int Interval() const noexcept { return FInterval.load(); }
    void SetInterval(int Value) noexcept { FInterval.store(Value); }
    // Runs on the GUI thread; an exception it raises is dropped unreported and the timer goes on.
    TNotifyEvent OnTimer;

    const property_table& PublishedProperties() const override;

private:
    void Start();
    void Stop();
    void Execute(TThread& Thread);
    void Tick();

    std::atomic<int> FInterval{0};
    std::atomic<bool> FContinue{false};
    bool FRunning = false;
    bool FEnabled = false;
    std::unique_ptr<TThread> FTimerThread;
};

} // namespace kq
