#pragma once
// TSimpleTimer: light window timers on the GUI thread, all sharing one hidden window (TSimpleTimerHandler).

#include "framework/Controls.h"
#include "graphics/Raster_Persistent.h"
#include "skin/SkinWindowTimer.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace kq {

class TSimpleTimer;

// The hidden window all simple timers share; exists while at least one timer does.
class TSimpleTimerHandler : public TObject {
public:
    TSimpleTimerHandler();
    ~TSimpleTimerHandler() override;

    HWND WindowHandle() const noexcept { return FWindowHandle.get(); }
    std::int32_t RefCount() const noexcept { return FRefCount; }
    std::int32_t ActiveCount() const noexcept { return FActiveCount; }
    void AddTimer(TSimpleTimer* Timer);
    void RemoveTimer(TSimpleTimer* Timer);

private:
    friend class TSimpleTimer;
    void WndProc(TMessage& Message);

    unique_hidden_window FWindowHandle;
    std::int32_t FRefCount = 0;
    std::int32_t FActiveCount = 0;
    // The live timers by identifier: a tick still queued for a freed timer finds nothing.
    std::unordered_map<std::uintptr_t, TSimpleTimer*> FTimers;
};

// A light window timer on the GUI thread; any number share one hidden window.
class TSimpleTimer : public TObject {
public:
    TSimpleTimer();
    TSimpleTimer(std::uint32_t AInterval, TNotifyEvent AOnTimer);
    ~TSimpleTimer() override;
    TSimpleTimer(const TSimpleTimer&) = delete;
    TSimpleTimer& operator=(const TSimpleTimer&) = delete;

    // Pointer-sized: the object's own address.
    std::uintptr_t TimerId() const noexcept { return FTimer.id(); }
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    std::uint32_t Interval() const noexcept { return FInterval; }
    // 0 suspends a running timer (Enabled stays True); another value restarts its period.
    void SetInterval(std::uint32_t Value);
    bool AutoDisable() const noexcept { return FAutoDisable; }
    void SetAutoDisable(bool Value) noexcept { FAutoDisable = Value; }
    const TNotifyEvent& OnTimer() const noexcept { return FOnTimer; }
    // An unassigned handler suspends a running timer.
    void SetOnTimer(TNotifyEvent Value);
    std::int32_t Tag() const noexcept { return FTag; }
    void SetTag(std::int32_t Value) noexcept { FTag = Value; }

private:
    friend class TSimpleTimerHandler;
    bool Start();
    bool Stop(bool ClearEnabled);

    window_timer FTimer;
    bool FEnabled = false;
    std::uint32_t FInterval = 1000;
    bool FAutoDisable = false;
    TNotifyEvent FOnTimer;
    std::int32_t FTag = 0;
};

// The shared handler, nil while no timer exists.
TSimpleTimerHandler* SimpleTimerHandler() noexcept;
// Frees a handler that still exists.
void uSimpleTimer_shutdown() noexcept;

} // namespace kq
