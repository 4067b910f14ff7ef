#pragma once
// TTimer: raises OnTimer every Interval milliseconds on the GUI thread.
#include "framework/Components.h"
#include "framework/WindowLayer.h"

namespace kq {

// Raises OnTimer every Interval milliseconds on the GUI thread while Enabled and Interval > 0.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool value);
    unsigned Interval() const noexcept { return FInterval; }
    void SetInterval(unsigned value);

    TNotifyEvent OnTimer;
    const property_table& PublishedProperties() const override;

private:
    void UpdateTimer();

    bool FEnabled = true;
    unsigned FInterval = 1000;
    unique_hidden_window FWindow;
};

} // namespace kq
