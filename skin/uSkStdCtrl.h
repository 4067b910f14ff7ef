#pragma once
// TSkHookWindowProc: the base of components that see every message of their owner form.

#include "framework/Forms.h"

namespace kq {

// Sees every message of its owner form through the form's removable hooks (the form's own window
// procedure stays in place); passing a message on hands it to the rest of the form's chain.
class TSkHookWindowProc : public TComponent {
public:
    explicit TSkHookWindowProc(TComponent* AOwner);
    ~TSkHookWindowProc() override;

protected:
    virtual void HookWndProc(TMessage& Message);
    // Hands the message to the rest of the form's chain.
    void pass_on(TMessage& Message);

    TForm* FDestForm = nullptr;

private:
    window_hook FHook;
    const TWndMethod* FNext = nullptr; // the chain of the message being handled
};

} // namespace kq
