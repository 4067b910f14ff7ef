#pragma once
// title_bar_host: what the title-bar controls and the title-bar main menu ask of the skin form that hosts
// them. The form includes them; through this they need not include the form.

#include <vector>

namespace kq {

class TComponent;
class TSkinNCCtrlBase;

class title_bar_host {
public:
    // The form's title-bar controls, in paint order.
    virtual const std::vector<TSkinNCCtrlBase*>& NCCtrlList() const noexcept = 0;
    // A title-bar control going away drops out of the list.
    virtual void forget(TSkinNCCtrlBase* Control) noexcept = 0;
    // Repaints the title bar.
    virtual void InvalidateNC() = 0;
    // The skin form as a component: its owner is the form, and it hears of freed menus.
    virtual TComponent* host_component() noexcept = 0;

protected:
    ~title_bar_host() = default;
};

} // namespace kq
