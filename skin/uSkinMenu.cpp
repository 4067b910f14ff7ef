#include "skin/uSkinMenu.h"

#include "framework/ImageLists.h"
#include "framework/LayeredWindows.h"
#include "framework/Program.h"
#include "skin/uSkComm.h"
#include "skin/uSkRasterLib.h"
#include "skin/uSkinResManager.h"

#include <algorithm>

namespace kq {

bool MenuLayerReady = true;

namespace {

// A session setting the unit switched off for the run, with the value it found.
struct session_setting {
    UINT get, set;
    std::optional<bool> saved;
};

struct menu_state {
    session_setting selection_fade{SPI_GETSELECTIONFADE, SPI_SETSELECTIONFADE, {}};
    session_setting menu_fade{SPI_GETMENUFADE, SPI_SETMENUFADE, {}};
    session_setting menu_animation{SPI_GETMENUANIMATION, SPI_SETMENUANIMATION, {}};
    bool main_process = false;
    unique_hhook hook;
    WNDPROC previous = nullptr; // the popup-menu windows' procedure before ours
};

menu_state& state() {
    static menu_state s;
    return s;
}

constexpr wchar_t menu_window_class[] = L"#32768";

// Switches the setting off once per run, remembering what it was; winini as the system's call takes it.
void switch_off(session_setting& setting, UINT winini) {
    BOOL value = FALSE;
    if (!setting.saved && ::SystemParametersInfoW(setting.get, 0, &value, 0)) setting.saved = value != FALSE;
    ::SystemParametersInfoW(setting.set, 0, nullptr, winini); // pvParam FALSE: off
}

void put_back(session_setting& setting) noexcept {
    if (!setting.saved) return;
    ::SystemParametersInfoW(setting.set, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(*setting.saved)),
                            SPIF_SENDCHANGE);
    setting.saved.reset();
}

bool is_menu_window(HWND window) {
    wchar_t name[21] = {};
    const int length = ::GetClassNameW(window, name, 21);
    return length == 6 && ::lstrcmpiW(name, menu_window_class) == 0;
}

LRESULT CALLBACK MenuWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    return guard_callback(LRESULT{0}, [&]() -> LRESULT {
        if (!MenuLayerReady && message == WM_ERASEBKGND) return 1;
        if (!MenuLayerReady && message == WM_NCPAINT) return 0;
        return ::CallWindowProcW(state().previous, window, message, wparam, lparam);
    });
}

// Whether the message came from this thread (wparam) is no condition: Wine reports 1 where Windows reports 0
// for the menu window's creation. The message is looked at before the class name is asked for.
LRESULT CALLBACK MenuCreateHook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HC_ACTION) {
        guard_callback([&] {
            const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
            if (!message || message->message != WM_CREATE || !is_menu_window(message->hwnd)) return;
            const HWND window = message->hwnd;
            const ULONG_PTR style = ::GetClassLongPtrW(window, GCL_STYLE);
            if (style & CS_DROPSHADOW) ::SetClassLongPtrW(window, GCL_STYLE, static_cast<LONG_PTR>(style & ~CS_DROPSHADOW));
            const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
            if (current != &MenuWindowProc) {
                state().previous = current;
                ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuWindowProc));
            }
        });
    }
    return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

bool belongs_to_main_menu(const TMenuItem* Item) {
    return dynamic_cast<const TMainMenu*>(Item->GetParentMenu()) != nullptr;
}

// The item's caption, followed by its shortcut's text when it has one.
String caption_with_shortcut(const TMenuItem* Item) {
    if (!Item->ShortCut()) return Item->Caption();
    return Item->Caption() + u"\t" + ShortCutToText(Item->ShortCut());
}

bool is_first(const TMenuItem* Item) { return Item->Parent() && Item->Parent()->Items(0) == Item; }
bool is_last(const TMenuItem* Item) {
    return Item->Parent() && Item->Parent()->Items(Item->Parent()->Count() - 1) == Item;
}

} // namespace

void uSkinMenu_startup() {
    menu_state& s = state();
    // The browser engine starts the program again for each of its helper processes, which end at their
    // own times: only the main process owns the session's settings.
    s.main_process = !command_line_switch(u"type");
    if (s.main_process) switch_off(s.selection_fade, SPIF_SENDCHANGE);
    if (!s.hook) {
        s.hook.reset(::SetWindowsHookExW(WH_CALLWNDPROC, &MenuCreateHook, nullptr, ::GetCurrentThreadId()));
        if (!s.hook) RaiseLastOSError();
    }
}

void uSkinMenu_shutdown() noexcept {
    menu_state& s = state();
    put_back(s.selection_fade);
    put_back(s.menu_fade);
    put_back(s.menu_animation);
    s.hook.reset();
    MenuLayerReady = true;
}

std::optional<bool> SavedSelectionFade() noexcept {
    return state().selection_fade.saved;
}

// --- TMenuWnds

TMenuWnds::~TMenuWnds() {
    Clear();
}

void TMenuWnds::Add(const TMenuWndRec& Data) {
    record r{Data.Handle, std::unique_ptr<TBitmap32>(Data.hBit), std::make_unique<TBitmap32>()};
    if (Data.BgBmp32) r.BgBmp32->Assign(Data.BgBmp32);
    FList.push_back(std::move(r));
}

TBitmap32* TMenuWnds::GetHBITMAP(HWND Handle) {
    TBitmap32* found = nullptr;
    for (size_t i = FList.size(); i-- > 0;) {
        if (!::IsWindowVisible(FList[i].Handle)) {
            FList.erase(FList.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (FList[i].Handle == Handle) found = FList[i].hBit.get();
    }
    return found;
}

TBitmap32* TMenuWnds::GetBgPng(HWND Handle) const {
    for (const record& r : FList)
        if (r.Handle == Handle) return r.BgBmp32.get();
    return nullptr;
}

void TMenuWnds::Clear() noexcept {
    FList.clear();
}

// --- TSkinMenu

TSkinMenu::TSkinMenu(TComponent* AOwner) : TComponent(AOwner), FOwner(AOwner) {
    FHotFont.SetColor(0xFFFFFF);
    if (designing()) return;
    // Session settings: only the main process changes them, and the unit's end puts them back.
    if (state().main_process) {
        switch_off(state().menu_fade, 0);
        switch_off(state().menu_animation, 0);
    }
    AttachMenuItems();
}

TSkinMenu::~TSkinMenu() {
    if (designing()) return;
    while (!FMenuItemList.empty()) UnhookMenuItem(FMenuItemList.back());
}

void TSkinMenu::Loaded() {
    TComponent::Loaded();
    if (designing())
        SetOwnerDrawMenus();
    else
        AttachMenuItems();
}

void TSkinMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (designing()) {
        if (Operation != TOperation::opInsert) return;
        if (AComponent == this)
            SetOwnerDrawMenus();
        else if (auto* menu = dynamic_cast<TMenu*>(AComponent))
            menu->SetOwnerDraw(true);
        return;
    }
    auto* item = dynamic_cast<TMenuItem*>(AComponent);
    if (!item) return;
    if (Operation == TOperation::opInsert)
        HookMenuItem(item);
    else
        FMenuItemList.erase(std::remove(FMenuItemList.begin(), FMenuItemList.end(), item), FMenuItemList.end());
}

void TSkinMenu::AttachMenuItems() {
    if (!FOwner) return;
    for (int i = 0; i < FOwner->ComponentCount(); ++i)
        if (auto* item = dynamic_cast<TMenuItem*>(FOwner->Components(i))) HookMenuItem(item);
}

void TSkinMenu::SetOwnerDrawMenus() {
    if (!FOwner) return;
    for (int i = 0; i < FOwner->ComponentCount(); ++i)
        if (auto* menu = dynamic_cast<TMenu*>(FOwner->Components(i))) menu->SetOwnerDraw(true);
}

void TSkinMenu::HookMenuItem(TMenuItem* Item) {
    if (!Item || Item->OnAdvancedDrawItem) return;
    Item->OnAdvancedDrawItem = [this, Item](TObject*, TCanvas& canvas, const RECT& rect, TOwnerDrawState state) {
        DrawMenuItemLayered(Item, canvas, rect, state);
    };
    Item->OnMeasureItem = [this, Item](TObject*, TCanvas& canvas, int& width, int& height) {
        MeasureMenuItem(Item, canvas, width, height);
    };
    Item->FreeNotification(this);
    FMenuItemList.push_back(Item);
}

void TSkinMenu::UnhookMenuItem(TMenuItem* Item) {
    const auto it = std::find(FMenuItemList.begin(), FMenuItemList.end(), Item);
    if (it == FMenuItemList.end()) return;
    Item->OnAdvancedDrawItem = nullptr;
    Item->OnMeasureItem = nullptr;
    Item->RemoveFreeNotification(this);
    FMenuItemList.erase(it);
}

// --- Measuring

void TSkinMenu::MeasureMenuItem(TMenuItem* Item, TCanvas& ACanvas, int& Width, int& Height) {
    if (Item->ComponentState().contains(TComponentStateFlag::csDestroying)) return;
    MenuLayerReady = false;
    if (Item->IsLine()) {
        Height = 3;
        return;
    }
    if (belongs_to_main_menu(Item)) return;
    ACanvas.Font().SetSize(9);
    Width = ACanvas.TextWidth(caption_with_shortcut(Item)) + 45;
    if (TSkinImage* hilight = SkinResManager()->GetImageByName(FMenu_hilight))
        Height = hilight->Height() + FBorderOffset / 2;
    if (is_first(Item) && is_last(Item))
        Height += FBorderOffset;
    else if (is_first(Item) || is_last(Item))
        Height += FBorderOffset / 2;
}

// --- Drawing

void TSkinMenu::DrawMenuItemLayered(TMenuItem* Item, TCanvas& ACanvas, const RECT& ARect, TOwnerDrawState State) {
    const HWND window = ::WindowFromDC(ACanvas.Handle());
    FMenuWindowHandle = window;
    if (!window || !::IsWindow(window) || belongs_to_main_menu(Item)) return;
    RECT wr{};
    ::GetWindowRect(window, &wr);
    const std::int32_t ww = wr.right - wr.left, wh = wr.bottom - wr.top;
    if (ww <= 0 || wh <= 0) return;

    const std::int32_t half = FBorderOffset / 2;
    const TRect R{ARect.left + half, ARect.top + half, ARect.right + half, ARect.bottom + half};
    TRect R1 = R;
    if (is_first(Item)) R1.Top += half;
    if (is_last(Item)) R1.Bottom -= half;

    TBitmap32* B = FMenuWnds.GetHBITMAP(window);
    if (!B) {
        auto picture = std::make_unique<TBitmap32>();
        picture->SetSize(ww, wh);
        picture->Clear(0);
        TBitmap32 background;
        background.SetSize(std::max(0, ww - 2 * FBorderWidth), std::max(0, wh - 2 * FBorderWidth));
        background.Clear(0);
        // Without its background image the menu window keeps a transparent background.
        if (TSkinImage* bk = SkinResManager()->GetImageByName(FMenu_bk); bk && !background.Empty())
            DrawNineSliceThirds(bk, &background, true);
        B = picture.get();
        FMenuWnds.Add({window, picture.release(), &background});
    }
    if (TBitmap32* bg = FMenuWnds.GetBgPng(window)) bg->DrawTo(B, R.Left, R.Top, R);
    DrawItemFace(Item, *B, State, R1);

    const POINT place{wr.left, wr.top};
    show_layered_pixels(window, B->Bits(), B->Width(), B->Height(), pixel_alpha::straight, 255, &place);
    MenuLayerReady = true;
}

void TSkinMenu::DrawItemFace(TMenuItem* Item, TBitmap32& B, TOwnerDrawState State, const TRect& R1) {
    const bool main = belongs_to_main_menu(Item);
    const TRect G{R1.Left, R1.Top, R1.Left + FGlyphBarWidth, R1.Bottom};
    TRect T{R1.Left, R1.Top, R1.Right - FBorderOffset, R1.Bottom};
    if (!main) {
        T.Left = G.Right + 1;
        T.Right -= FBorderOffset;
    }
    const bool selected = State.contains(TOwnerDrawStateFlag::odSelected);
    const bool enabled = Item->Enabled();
    if (main) {
        const bool hot = selected || State.contains(TOwnerDrawStateFlag::odHotLight);
        B.FillRectS(T, WinColorToColor32(hot ? 0xD7963E : 0xEEE7DE));
        if (State.contains(TOwnerDrawStateFlag::odInactive)) B.Font()->SetColor(clGrayText);
    } else {
        TDynSkinImage arrows;
        SplitImageStrip(SkinResManager()->GetImageByName(FMenu_SubArrow), 3, arrows);
        const auto draw_arrow = [&](size_t frame) {
            if (frame >= arrows.size()) return;
            TSkinImage* a = arrows[frame].get();
            const std::int32_t x = R1.Right - a->Width() - FBorderOffset - 4;
            const std::int32_t y = R1.Top + (R1.Bottom - R1.Top - a->Height()) / 2;
            a->DrawTo(&B, x, y);
        };
        if (selected && enabled) {
            const std::int32_t inset = FBorderOffset / 2 + 1;
            const TRect H{R1.Left + inset, R1.Top + 1, R1.Right - inset, R1.Bottom - 1};
            if (H.Right > H.Left && H.Bottom > H.Top)
                if (auto hilight = ResizeSkinImage(SkinResManager()->GetImageByName(FMenu_hilight), H.Right - H.Left,
                                                   H.Bottom - H.Top))
                    hilight->DrawTo(&B, H.Left, H.Top);
            if (Item->Count() > 0) draw_arrow(1);
        } else if (Item->Count() > 0) {
            draw_arrow(enabled ? 0 : 2);
        }
        if (Item->Checked()) DrawMenuCheckMark(Item, B, State, G);
        TCustomImageList* images = Item->GetImageList();
        if (images && Item->ImageIndex() >= 0 && Item->ImageIndex() < images->Count()) {
            const std::int32_t x = G.Left + (G.Right - G.Left - images->Width()) / 2;
            const std::int32_t y = G.Top + (R1.Bottom - R1.Top - images->Height()) / 2;
            images->Draw(*B.Canvas(), x, y, Item->ImageIndex(), true);
        }
    }
    if (Item->IsLine())
        B.LineS(T.Left, T.Top + 1, T.Right - 1, T.Top + 1, WinColorToColor32(FLineColor));
    else
        DrawMenuItemText(Item, B, State, T);
}

void TSkinMenu::DrawMenuCheckMark(TMenuItem* Item, TBitmap32& B, TOwnerDrawState State, const TRect& G) {
    TCustomImageList* images = Item->GetImageList();
    const bool has_image = images && Item->ImageIndex() >= 0;
    if (has_image) return;
    TDynSkinImage checks, radios;
    SplitImageStrip(SkinResManager()->GetImageByName(FMenu_Check), 3, checks);
    SplitImageStrip(SkinResManager()->GetImageByName(FMenu_Radio), 3, radios);
    const TDynSkinImage& strip = Item->RadioItem() ? radios : checks;
    if (checks.size() < 3 || strip.size() < 3) return;
    const bool enabled = Item->Enabled();
    const size_t frame = State.contains(TOwnerDrawStateFlag::odSelected) && enabled ? 1 : (enabled ? 0 : 2);
    const std::int32_t y = G.Top + (G.Bottom - G.Top - checks[0]->Height()) / 2 + 1;
    strip[frame]->DrawTo(&B, 8, y);
}

void TSkinMenu::DrawMenuItemText(TMenuItem* Item, TBitmap32& B, TOwnerDrawState State, const TRect& T) {
    FHotFont.SetSize(FFont.Size());
    const bool hot = State.contains(TOwnerDrawStateFlag::odSelected) || State.contains(TOwnerDrawStateFlag::odHotLight);
    B.SetFont(hot ? &FHotFont : &FFont);
    TFont* font = B.Font();
    if (!Item->Enabled()) font->SetColor(13551034);
    if (Item->Default()) font->SetStyle(font->Style() + TFontStyles{TFontStyle::fsBold});
    B.UpdateFont();
    const bool main = belongs_to_main_menu(Item);
    const TMenu* menu = Item->GetParentMenu();
    const std::uint32_t flags = main ? DT_CENTER | DT_VCENTER | DT_SINGLELINE
                                : menu && menu->IsRightToLeft() ? DT_RIGHT | DT_VCENTER | DT_SINGLELINE
                                                                 : DT_LEFT | DT_VCENTER | DT_SINGLELINE;
    const TColor32 colour = WinColorToColor32(font->Color());
    B.RenderText(T, flags, Item->Caption(), colour);
    if (!main && Item->ShortCut()) {
        const TRect S{T.Left, T.Top, T.Right - 4, T.Bottom};
        B.RenderText(S, flags + 2, ShortCutToText(Item->ShortCut()), colour);
    }
}

const property_table& TSkinMenu::PublishedProperties() const {
    static const property_table table =
        property_table::of<TSkinMenu>(TComponent::PublishedProperties())
            .persistent(u"Font", [](const TSkinMenu& m) { return &m.FFont; })
            .persistent(u"HotFont", [](const TSkinMenu& m) { return &m.FHotFont; })
            .color(u"LineColor", &TSkinMenu::LineColor, &TSkinMenu::SetLineColor, 13551034)
            .string(u"Menu_bk", &TSkinMenu::Menu_bk, &TSkinMenu::SetMenu_bk, String(u"SkinMenu_bk"))
            .string(u"Menu_hilight", &TSkinMenu::Menu_hilight, &TSkinMenu::SetMenu_hilight, String(u"SkinMenu_hilight"))
            .string(u"Menu_Check", &TSkinMenu::Menu_Check, &TSkinMenu::SetMenu_Check, String(u"SkinMenu_icon_check"))
            .string(u"Menu_Radio", &TSkinMenu::Menu_Radio, &TSkinMenu::SetMenu_Radio, String(u"SkinMenu_icon_radio"))
            .string(u"Menu_SubArrow", &TSkinMenu::Menu_SubArrow, &TSkinMenu::SetMenu_SubArrow,
                    String(u"SkinMenu_sub_arrow"))
            .integer(u"BorderOffset", &TSkinMenu::BorderOffset, &TSkinMenu::SetBorderOffset, 6)
            .integer(u"BorderWidth", &TSkinMenu::BorderWidth, &TSkinMenu::SetBorderWidth, 0)
            .integer(u"GlyphBarWidth", &TSkinMenu::GlyphBarWidth, &TSkinMenu::SetGlyphBarWidth, 31);
    return table;
}

} // namespace kq
