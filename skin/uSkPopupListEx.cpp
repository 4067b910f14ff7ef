#include "skin/uSkPopupListEx.h"

#include "framework/Forms.h"
#include "skin/SkinMessages.h"

#include <memory>

namespace kq {

namespace {

struct list_state {
    std::unique_ptr<TPopupListEx> list;
    TPopupList* previous = nullptr;
    int users = 0;
};

list_state& state() {
    static list_state s;
    return s;
}

// The menus register with the list in use; moving them keeps each in exactly one list, so a menu freed
// while either list is in use leaves nothing behind in the other.
void move_menus(TPopupList& from, TPopupList& to) {
    while (from.Count() > 0) {
        TPopupMenu* menu = from.Items(0);
        from.Remove(menu);
        to.Add(menu);
    }
}

} // namespace

void TPopupListEx::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_MENUSELECT:
        // Closing the menu reports no item and no menu.
        if (Message.LParam == 0 && HIWORD(Message.WParam) == 0xFFFF) ForwardMenuMessage(WM_VK_MENUCLOSED, Message);
        break;
    case WM_ENTERMENULOOP:
        ForwardMenuMessage(WM_VK_ENTERMENULOOP, Message);
        break;
    case WM_EXITMENULOOP:
        ForwardMenuMessage(WM_VK_EXITMENULOOP, Message);
        break;
    default:
        break;
    }
    TPopupList::WndProc(Message);
}

void TPopupListEx::ForwardMenuMessage(unsigned Msg, const TMessage& Message) {
    if (Screen && Screen->ActiveForm()) Screen->ActiveForm()->Perform(Msg, Message.WParam, Message.LParam);
}

void InstallPopupListEx() {
    list_state& s = state();
    if (s.users++ > 0) return;
    s.list = std::make_unique<TPopupListEx>();
    s.previous = PopupList;
    if (s.previous) move_menus(*s.previous, *s.list);
    PopupList = s.list.get();
}

void RemovePopupListEx() noexcept {
    list_state& s = state();
    if (s.users == 0 || --s.users > 0) return;
    uSkPopupListEx_shutdown();
}

void uSkPopupListEx_shutdown() noexcept {
    list_state& s = state();
    s.users = 0;
    if (!s.list) return;
    if (s.previous) move_menus(*s.list, *s.previous);
    if (PopupList == s.list.get()) PopupList = s.previous;
    s.list.reset();
    s.previous = nullptr;
}

} // namespace kq
