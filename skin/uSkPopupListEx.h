#pragma once
// TPopupListEx: the popup list that also tells the active form when a popup menu's loop starts and ends
// and when the menu has closed, by the skin library's private messages.

#include "framework/Menus.h"

namespace kq {

class TPopupListEx : public TPopupList {
protected:
    void WndProc(TMessage& Message) override;

private:
    void ForwardMenuMessage(unsigned Msg, const TMessage& Message);
};

// Counted: the first call makes a TPopupListEx the framework's popup list, taking the popup menus over;
// the last matching RemovePopupListEx hands them, with those made meanwhile, back to the list before.
void InstallPopupListEx();
void RemovePopupListEx() noexcept;
// Puts the list before back whatever the count (the skin library's shutdown).
void uSkPopupListEx_shutdown() noexcept;

} // namespace kq
