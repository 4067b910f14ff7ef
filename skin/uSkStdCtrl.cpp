#include "skin/uSkStdCtrl.h"

namespace kq {

TSkHookWindowProc::TSkHookWindowProc(TComponent* AOwner) : TComponent(AOwner) {
    auto* form = dynamic_cast<TForm*>(AOwner);
    if (!form || ComponentState().contains(TComponentStateFlag::csDesigning))
        return;
    FDestForm = form;
    FHook = form->HookWindowProc([this](TMessage& m, const TWndMethod& next) {
        const TWndMethod* outer = FNext;
        FNext = &next;
        auto restore = scope_exit([this, outer] { FNext = outer; });
        // A form on its way out gets its messages as they come.
        if (FDestForm->ComponentState().contains(TComponentStateFlag::csDestroying) ||
            ComponentState().contains(TComponentStateFlag::csDestroying))
            next(m);
        else
            HookWndProc(m);
    });
}

TSkHookWindowProc::~TSkHookWindowProc() {
    FHook.Unhook();
}

void TSkHookWindowProc::HookWndProc(TMessage& Message) {
    pass_on(Message);
}

void TSkHookWindowProc::pass_on(TMessage& Message) {
    if (FNext)
        (*FNext)(Message);
}

} // namespace kq
