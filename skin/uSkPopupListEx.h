#pragma once
// TPopupListEx: the popup list that tells the active form when a popup menu's loop starts and ends and
// when the menu closes, which the title-bar main menu needs to hand the open popup from item to item.

#include "framework/Menus.h"

namespace kq {

// Forwards WM_MENUSELECT of a closing menu as WM_VK_MENUCLOSED, WM_ENTERMENULOOP as WM_VK_ENTERMENULOOP and
// WM_EXITMENULOOP as WM_VK_EXITMENULOOP to the active form (Perform, the message's parameters), then
// handles them as the framework's list does.
class TPopupListEx : public TPopupList {
protected:
    void WndProc(TMessage& Message) override;

private:
    void ForwardMenuMessage(unsigned Msg, const TMessage& Message);
};

// Counted: the first call makes a TPopupListEx the framework's popup list (the popup menus move to it),
// the last matching RemovePopupListEx puts the former list back with every popup menu then alive.
void InstallPopupListEx();
void RemovePopupListEx() noexcept;

} // namespace kq
