#include "framework/Timers.h"

#include "framework/Properties.h"
#include "framework/Threads.h"

namespace kq {

// --- TTimer

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    FWindow.reset(AllocateHWnd([this](TMessage& m) {
        if (m.Msg == WM_TIMER) {
            if (OnTimer) OnTimer(this);
            return;
        }
        m.Result = ::DefWindowProcW(FWindow.get(), m.Msg, m.WParam, m.LParam);
    }));
    UpdateTimer();
}

TTimer::~TTimer() {
    if (FWindow) ::KillTimer(FWindow.get(), 1);
}

const property_table& TTimer::PublishedProperties() const {
    static const property_table table = property_table::of<TTimer>(TComponent::PublishedProperties())
        .boolean(u"Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true)
        .integer(u"Interval", &TTimer::Interval, &TTimer::SetInterval, 1000u)
        .event(u"OnTimer", &TTimer::OnTimer);
    return table;
}

void TTimer::UpdateTimer() {
    ::KillTimer(FWindow.get(), 1);
    if (FEnabled && FInterval > 0) {
        if (!::SetTimer(FWindow.get(), 1, FInterval, nullptr))
            throw EOutOfResources(u"Not enough timers available");
    }
}

void TTimer::SetEnabled(bool value) {
    assert_gui_thread();
    if (value == FEnabled) return;
    FEnabled = value;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
    if (value == FInterval) return;
    FInterval = value;
    UpdateTimer();
}

} // namespace kq
