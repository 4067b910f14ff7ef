#include "skin/uSimpleTimer.h"

namespace kq {
namespace {

std::unique_ptr<TSimpleTimerHandler> handler;

TSimpleTimerHandler& AcquireTimerHandler(TSimpleTimer* timer) {
    if (!handler) handler = std::make_unique<TSimpleTimerHandler>();
    handler->AddTimer(timer);
    return *handler;
}

void ReleaseTimerHandler(TSimpleTimer* timer) {
    if (!handler) return;
    handler->RemoveTimer(timer);
    if (handler->RefCount() == 0) handler.reset();
}

} // namespace

// --- TSimpleTimerHandler

TSimpleTimerHandler::TSimpleTimerHandler() : FWindowHandle(AllocateHWnd([this](TMessage& m) { WndProc(m); })) {}

TSimpleTimerHandler::~TSimpleTimerHandler() = default;

void TSimpleTimerHandler::AddTimer(TSimpleTimer* Timer) {
    FTimers[Timer->TimerId()] = Timer;
    ++FRefCount;
}

void TSimpleTimerHandler::RemoveTimer(TSimpleTimer* Timer) {
    FTimers.erase(Timer->TimerId());
    if (FRefCount > 0) --FRefCount;
}

void TSimpleTimerHandler::WndProc(TMessage& Message) {
    if (Message.Msg != WM_TIMER) {
        Message.Result = ::DefWindowProcW(FWindowHandle.get(), Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    const auto it = FTimers.find(static_cast<std::uintptr_t>(Message.WParam));
    if (it == FTimers.end()) return;
    TSimpleTimer* timer = it->second;
    if (timer->FAutoDisable) timer->Stop(true);
    if (timer->FOnTimer) timer->FOnTimer(timer);
}

// --- TSimpleTimer

TSimpleTimer::TSimpleTimer() : FTimer(reinterpret_cast<std::uintptr_t>(this)) {
    AcquireTimerHandler(this);
}

TSimpleTimer::TSimpleTimer(std::uint32_t AInterval, TNotifyEvent AOnTimer)
    : FTimer(reinterpret_cast<std::uintptr_t>(this)), FInterval(AInterval) {
    SetOnTimer(std::move(AOnTimer));
    AcquireTimerHandler(this);
}

TSimpleTimer::~TSimpleTimer() {
    if (FEnabled) Stop(true);
    ReleaseTimerHandler(this);
}

void TSimpleTimer::SetEnabled(bool Value) {
    if (Value)
        Start();
    else
        Stop(true);
}

void TSimpleTimer::SetInterval(std::uint32_t Value) {
    if (FInterval == Value) return;
    FInterval = Value;
    if (!FEnabled) return;
    if (Value != 0)
        Start();
    else
        Stop(false);
}

void TSimpleTimer::SetOnTimer(TNotifyEvent Value) {
    FOnTimer = std::move(Value);
    if (!FOnTimer && FEnabled) Stop(false);
}

bool TSimpleTimer::Start() {
    if (FInterval == 0 || !handler) return false;
    if (FEnabled) Stop(true);
    if (!FTimer.start(handler->WindowHandle(), FInterval)) return false;
    FEnabled = true;
    ++handler->FActiveCount;
    return true;
}

bool TSimpleTimer::Stop(bool ClearEnabled) {
    if (ClearEnabled) FEnabled = false;
    if (!handler || !FTimer.running()) return false;
    FTimer.stop();
    if (handler->FActiveCount > 0) --handler->FActiveCount;
    return true;
}

TSimpleTimerHandler* SimpleTimerHandler() noexcept {
    return handler.get();
}

void uSimpleTimer_shutdown() noexcept {
    handler.reset();
}

} // namespace kq
