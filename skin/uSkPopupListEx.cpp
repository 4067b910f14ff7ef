#include "skin/uSkPopupListEx.h"

#include "framework/Forms.h"
#include "framework/Messages.h"

#include <memory>

namespace kq {

namespace {

struct installed_list {
    int users = 0;
    TPopupList* former = nullptr;
    std::unique_ptr<TPopupListEx> list;
};
installed_list installed;

void move_menus(TPopupList& from, TPopupList& to) {
    while (from.Count() > 0) {
        TPopupMenu* menu = from.Items(0);
        from.Remove(menu);
        to.Add(menu);
    }
}

} // namespace

void TPopupListEx::ForwardMenuMessage(unsigned Msg, const TMessage& Message) {
    if (Screen && Screen->ActiveForm())
        Screen->ActiveForm()->Perform(Msg, Message.WParam, Message.LParam);
}

void TPopupListEx::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_MENUSELECT:
        if (Message.LParam == 0 && HIWORD(Message.WParam) == 0xFFFF)
            ForwardMenuMessage(WM_VK_MENUCLOSED, Message);
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

void InstallPopupListEx() {
    if (installed.users++ > 0 || !PopupList)
        return;
    installed.list = std::make_unique<TPopupListEx>();
    installed.former = PopupList;
    move_menus(*installed.former, *installed.list);
    PopupList = installed.list.get();
}

void RemovePopupListEx() noexcept {
    if (installed.users == 0 || --installed.users > 0 || !installed.list)
        return;
    // Menus made while the replacement was in place would otherwise be left in a list that is gone.
    if (PopupList == installed.list.get() && installed.former) {
        move_menus(*installed.list, *installed.former);
        PopupList = installed.former;
    }
    installed.list.reset();
    installed.former = nullptr;
}

} // namespace kq
