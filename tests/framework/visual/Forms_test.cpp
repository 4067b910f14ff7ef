#include "framework/Forms.h"

#include "framework/ComponentText.h"
#include "framework/Timers.h"

#include "VisualFixture.h"

using namespace kq;
using kq::test::visual_test;

namespace {

class TFocusBox : public TCustomControl {
public:
    explicit TFocusBox(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
};

// Its constructor finishes before OnCreate runs; its destructor reports itself.
class TProbeForm : public TForm {
public:
    TProbeForm(TComponent* owner, bool* destroyed) : TForm(owner), FDestroyed(destroyed) {
        Ready = true;
        OnCreate = [this](TObject*) { ReadyAtCreate = Ready; };
    }
    ~TProbeForm() override {
        if (FDestroyed) *FDestroyed = true;
    }
    bool Ready = false;
    bool ReadyAtCreate = false;

private:
    bool* FDestroyed;
};

} // namespace

TEST_F(visual_test, TimerTicksOnTheGuiThreadWhileEnabled) {
    auto* timer = new TTimer(Application);
    timer->SetInterval(20);
    int ticks = 0;
    DWORD thread = 0;
    timer->OnTimer = [&](TObject* sender) {
        EXPECT_EQ(sender, timer);
        ++ticks;
        thread = ::GetCurrentThreadId();
    };
    EXPECT_TRUE(pump_until([&] { return ticks >= 3; }));
    EXPECT_EQ(thread, ::GetCurrentThreadId());
    timer->SetEnabled(false);
    const int stopped_at = ticks;
    pump_until([] { return false; }, 100);
    EXPECT_EQ(ticks, stopped_at);
    // An exception in a tick reaches the application's handler; the timer goes on.
    std::vector<String> reported;
    Application->OnException = [&](TObject*, const std::exception_ptr& e) { reported.push_back(innermost_message(e)); };
    timer->OnTimer = [&](TObject*) {
        ++ticks;
        throw EConvertError(u"tick failed");
    };
    timer->SetEnabled(true);
    EXPECT_TRUE(pump_until([&] { return reported.size() >= 2; }));
    EXPECT_EQ(reported.front(), u"tick failed");
    delete timer;
}

TEST_F(visual_test, CreateFormRunsOnCreateAfterTheWholeObjectIsBuilt) {
    bool destroyed = false;
    TProbeForm* form = CreateForm<TProbeForm>(Application, &destroyed);
    EXPECT_TRUE(form->ReadyAtCreate);
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(Screen->FormCount(), 1);
    EXPECT_EQ(Screen->Forms(0), form);
    delete form;
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(Screen->FormCount(), 0);
}

TEST_F(visual_test, CloseActionsHideOrReleaseTheForm) {
    bool destroyed = false;
    TForm* main = nullptr;
    Application->CreateForm(main); // the first form of the application is its main form
    EXPECT_EQ(Application->MainForm(), main);
    TProbeForm* second = CreateForm<TProbeForm>(Application, &destroyed);
    second->HandleNeeded();

    struct row {
        TCloseAction action;
        bool visible_after;
    };
    for (const row r : {row{TCloseAction::caNone, true}, row{TCloseAction::caHide, false}}) {
        second->SetVisible(true);
        second->OnClose = [&](TObject*, TCloseAction& a) { a = r.action; };
        second->Close();
        EXPECT_EQ(second->Visible(), r.visible_after);
    }
    bool may_close = false;
    second->OnCloseQuery = [&](TObject*, bool& can) { can = may_close; };
    second->OnClose = [&](TObject*, TCloseAction& a) { a = TCloseAction::caFree; };
    ::SendMessageW(second->Handle(), WM_CLOSE, 0, 0);
    Application->ProcessMessages();
    EXPECT_FALSE(destroyed);
    may_close = true;
    ::SendMessageW(second->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(destroyed); // released only once the queued messages are handled
    EXPECT_TRUE(pump_until([&] { return destroyed; }));

    // Closing the main form ends the application's loop.
    main->Close();
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(visual_test, ShowModalReturnsTheModalResultAndReenablesTheOwner) {
    TForm* owner = CreateForm<TForm>(Application);
    owner->Show();
    TForm* dialog = CreateForm<TForm>(Application);
    auto* timer = new TTimer(dialog);
    timer->SetInterval(30);
    bool owner_disabled = false;
    timer->OnTimer = [&](TObject*) {
        owner_disabled = !::IsWindowEnabled(owner->Handle());
        timer->SetEnabled(false);
        dialog->SetModalResult(mrOk);
    };
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_TRUE(owner_disabled);
    EXPECT_TRUE(::IsWindowEnabled(owner->Handle()));
    EXPECT_FALSE(dialog->Visible());
    EXPECT_THROW({
        dialog->Show();
        dialog->ShowModal();
    }, EInvalidOperation);
    delete dialog;
    delete owner;
}

TEST_F(visual_test, DialogKeysMoveTheFocusOrReachTheControlsThatWantThem) {
    TForm* form = CreateForm<TForm>(Application);
    auto* first = new TFocusBox(form);
    first->SetParent(form);
    auto* second = new TFocusBox(form);
    second->SetBounds(0, 40, 20, 20);
    second->SetParent(form);
    form->SetActiveControl(first);
    form->Show();
    ASSERT_TRUE(pump_until([&] { return first->Focused(); }));
    EXPECT_EQ(form->ActiveControl(), first);

    ::PostMessageW(first->Handle(), WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(pump_until([&] { return second->Focused(); }));
    EXPECT_EQ(form->ActiveControl(), second);

    // Enter goes round the form as CM_DIALOGKEY until a control takes it.
    int dialog_keys = 0;
    auto taker = first->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
        if (m.Msg == CM_DIALOGKEY && m.WParam == VK_RETURN) {
            ++dialog_keys;
            m.Result = 1;
            return;
        }
        next(m);
    });
    std::vector<std::uint16_t> key_downs;
    second->OnKeyDown = [&](TObject*, std::uint16_t& key, TShiftState) { key_downs.push_back(key); };
    ::PostMessageW(second->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    pump_until([&] { return dialog_keys == 1; });
    EXPECT_EQ(dialog_keys, 1);
    EXPECT_TRUE(key_downs.empty());

    // A control that claims a key with CM_WANTSPECIALKEY gets it as a plain key press.
    auto claim = second->HookWindowProc([](TMessage& m, const TWndMethod& next) {
        if (m.Msg == CM_WANTSPECIALKEY) {
            m.Result = 1;
            return;
        }
        next(m);
    });
    ::PostMessageW(second->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    pump_until([&] { return !key_downs.empty(); });
    EXPECT_EQ(key_downs, std::vector<std::uint16_t>{VK_RETURN});
    EXPECT_EQ(dialog_keys, 1);
    delete form;
}

TEST_F(visual_test, ApplicationEventsSeeMessagesFirstAndCanSwallowThem) {
    TForm* form = CreateForm<TForm>(Application);
    form->HandleNeeded();
    auto* events = new TApplicationEvents(form);
    int seen = 0, reached = 0;
    events->OnMessage = [&](MSG& msg, bool& handled) {
        if (msg.message != WM_APP + 5) return;
        ++seen;
        handled = msg.wParam == 1;
    };
    auto counter = form->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
        reached += m.Msg == WM_APP + 5;
        next(m);
    });
    ::PostMessageW(form->Handle(), WM_APP + 5, 1, 0);
    ::PostMessageW(form->Handle(), WM_APP + 5, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(reached, 1);
    delete form;
    // Freed with its owner: the application no longer calls it.
    ::PostMessageW(nullptr, WM_APP + 5, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(seen, 2);
}

TEST_F(visual_test, ConstraintsFromTheFormResourceLimitTheWindowWhileTheUserResizesIt) {
    TForm* form = CreateForm<TForm>(Application);
    read_component_text(u"object Form1: TForm\r\n"
                        u"  Constraints.MaxHeight = 400\r\n  Constraints.MaxWidth = 600\r\n"
                        u"  Constraints.MinHeight = 120\r\n  Constraints.MinWidth = 150\r\n"
                        u"end\r\n",
                        *form);
    form->SetBounds(10, 10, 300, 200);
    form->Show();
    const HWND window = form->Handle();
    MINMAXINFO info{};
    ::SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 150);
    EXPECT_EQ(info.ptMinTrackSize.y, 120);
    EXPECT_EQ(info.ptMaxTrackSize.x, 600);
    EXPECT_EQ(info.ptMaxTrackSize.y, 400);
    // The system sizes the window itself while the user drags its frame; the form follows the result.
    struct row {
        int width, height, expected_width, expected_height;
    };
    for (const row r : {row{50, 40, 150, 120}, row{320, 240, 320, 240}, row{900, 800, 600, 400}}) {
        SCOPED_TRACE(r.width);
        ::SetWindowPos(window, nullptr, 0, 0, r.width, r.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT bounds{};
        ::GetWindowRect(window, &bounds);
        EXPECT_EQ(bounds.right - bounds.left, r.expected_width);
        EXPECT_EQ(bounds.bottom - bounds.top, r.expected_height);
        EXPECT_EQ(form->Width(), r.expected_width);
        EXPECT_EQ(form->Height(), r.expected_height);
    }
    // A minimum above the maximum raises the maximum; the text written keeps the values.
    form->Constraints().SetMinHeight(500);
    EXPECT_EQ(form->Constraints().MaxHeight(), 500);
    EXPECT_EQ(form->Height(), 500);
    EXPECT_NE(write_component_text(*form).find(u"Constraints.MinWidth = 150"), String::npos);
    delete form;
}

namespace {

// Hooks its form once its own window exists, as the browser component does, and drops the form's
// messages while it is being destroyed itself.
class TFormHooker : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

protected:
    void WndProc(TMessage& message) override {
        TCustomControl::WndProc(message);
        if (message.Msg != WM_CREATE || FHook.Hooked()) return;
        FHook = GetParentForm(this)->HookWindowProc([this](TMessage& m, const TWndMethod& next) {
            if (!ComponentState().contains(TComponentStateFlag::csDestroying)) next(m);
        });
    }

private:
    window_hook FHook;
};

// Takes its form's WM_APP for itself.
class TAppMessageTaker : public TCustomControl {
public:
    explicit TAppMessageTaker(TCustomForm* form) : TCustomControl(form) {
        FHook = form->HookWindowProc([this](TMessage& m, const TWndMethod& next) {
            if (m.Msg == WM_APP)
                ++Taken;
            else
                next(m);
        });
    }
    int Taken = 0;

private:
    window_hook FHook;
};

} // namespace

TEST_F(visual_test, AFormBeingDestroyedGetsEveryMessagePastItsHooksWhicheverHookerGoesFirst) {
    for (const bool hooker_first : {true, false}) {
        SCOPED_TRACE(hooker_first ? "hooker first" : "taker first");
        TForm* form = CreateForm<TForm>(Application);
        form->SetBounds(10, 10, 300, 200);
        form->HandleNeeded();
        // Children get their windows as they join, and go newest first: the order of creation is the
        // order of hooking and the reverse of destruction.
        const auto add_hooker = [&] { (new TFormHooker(form))->SetParent(form); };
        if (hooker_first) add_hooker();
        auto* taker = new TAppMessageTaker(form);
        taker->SetParent(form);
        if (!hooker_first) add_hooker();
        form->Show();
        ::SendMessageW(form->Handle(), WM_APP, 0, 0);
        EXPECT_EQ(taker->Taken, 1);

        std::vector<UINT> reached;
        form->WindowProc = [&reached, own = form->WindowProc](TMessage& m) {
            if (m.Msg == WM_APP || m.Msg == WM_DESTROY || m.Msg == WM_NCDESTROY) reached.push_back(m.Msg);
            own(m);
        };
        form->OnDestroy = [](TObject* sender) { ::SendMessageW(static_cast<TForm*>(sender)->Handle(), WM_APP, 0, 0); };
        delete form;
        EXPECT_EQ(reached, (std::vector<UINT>{WM_APP, WM_DESTROY, WM_NCDESTROY}));
    }
}

TEST(innermost_message, FollowsTheNestedChain) {
    auto nested = [] {
        try {
            try {
                throw EConvertError(u"deepest");
            } catch (...) {
                std::throw_with_nested(EReadError(u"middle"));
            }
        } catch (...) {
            std::throw_with_nested(Exception(u"outer"));
        }
    };
    try {
        nested();
    } catch (...) {
        EXPECT_EQ(innermost_message(std::current_exception()), u"deepest");
    }
    EXPECT_EQ(innermost_message(std::make_exception_ptr(Exception(u"alone"))), u"alone");
}
