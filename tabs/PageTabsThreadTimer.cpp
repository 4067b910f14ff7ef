#include "tabs/PageTabsThreadTimer.h"

#include "framework/Properties.h"
#include "framework/Threads.h"
#include "framework/TickClock.h"

namespace kq {

namespace {
constexpr std::int32_t least_sleep_ms = 10;
}

TThreadTimer::TThreadTimer(TComponent* AOwner) : TComponent(AOwner) {}

TThreadTimer::~TThreadTimer() {
    Stop();
}

void TThreadTimer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    if (Value)
        Start();
    else
        Stop();
}

void TThreadTimer::Start() {
    if (FRunning) return;
    FContinue = true;
    if (!ComponentState().contains(TComponentStateFlag::csDesigning))
        FTimerThread = std::make_unique<TThread>([this](TThread& thread) { Execute(thread); });
    FRunning = true;
}

void TThreadTimer::Stop() {
    if (!FTimerThread) return;
    FContinue = false;
    FRunning = false;
    // Waits for the worker, serving a tick it is handing over; from inside that tick the thread is only
    // told to end and is joined later, so stopping there cannot deadlock.
    FTimerThread.reset();
}

void TThreadTimer::Execute(TThread& Thread) {
    while (FContinue && !Thread.Terminated()) {
        const std::uint32_t started = tick_count();
        // A false hand-over means the timer may be gone: touch nothing of it.
        if (!Thread.Synchronize([this] { Tick(); })) return;
        std::int32_t wait = FInterval - tick_difference(tick_count(), started);
        if (wait < least_sleep_ms) wait = least_sleep_ms;
        if (!Thread.pause(static_cast<DWORD>(wait))) return;
    }
}

void TThreadTimer::Tick() {
    // The edge of the hand-over. A failing tick is dropped and the clock goes on: the next tick comes
    // within milliseconds, and reporting each failure would put the application's error box up as often.
    // A copy: the handler may free the timer, and with it OnTimer.
    const TNotifyEvent handler = OnTimer;
    try {
        if (handler) handler(this);
    } catch (...) {
    }
}

const property_table& TThreadTimer::PublishedProperties() const {
    static const property_table table = property_table::of<TThreadTimer>(TComponent::PublishedProperties())
        .integer(u"Interval", &TThreadTimer::Interval, &TThreadTimer::SetInterval)
        .boolean(u"Enabled", &TThreadTimer::Enabled, &TThreadTimer::SetEnabled)
        .event(u"OnTimer", &TThreadTimer::OnTimer);
    return table;
}

} // namespace kq
