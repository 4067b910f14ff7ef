#include "framework/Menus.h"

#include "framework/ImageLists.h"
#include "framework/Properties.h"

#include <algorithm>
#include <set>

namespace kq {

TPopupList* PopupList = nullptr;

namespace {

struct menus_state {
    std::unique_ptr<TPopupList> default_list;
    std::set<UINT> commands; // in use
};

menus_state& state() {
    static menus_state s;
    return s;
}

UINT allocate_command() {
    auto& used = state().commands;
    UINT c = 1;
    for (UINT u : used) {
        if (u != c) break;
        ++c;
    }
    used.insert(c);
    return c;
}

String key_name(std::uint16_t key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return String(1, static_cast<char16_t>(key));
    if (key >= VK_F1 && key <= VK_F24) {
        const int n = key - VK_F1 + 1;
        String name(1, u'F');
        if (n >= 10) name.push_back(static_cast<char16_t>(u'0' + n / 10));
        name.push_back(static_cast<char16_t>(u'0' + n % 10));
        return name;
    }
    switch (key) {
    case VK_BACK: return u"BkSp";
    case VK_TAB: return u"Tab";
    case VK_RETURN: return u"Enter";
    case VK_ESCAPE: return u"Esc";
    case VK_SPACE: return u"Space";
    case VK_PRIOR: return u"PgUp";
    case VK_NEXT: return u"PgDn";
    case VK_END: return u"End";
    case VK_HOME: return u"Home";
    case VK_LEFT: return u"Left";
    case VK_UP: return u"Up";
    case VK_RIGHT: return u"Right";
    case VK_DOWN: return u"Down";
    case VK_INSERT: return u"Ins";
    case VK_DELETE: return u"Del";
    default: return {};
    }
}

String strip_accelerator(const String& caption) {
    String out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

} // namespace

TShortCut ShortCut(std::uint16_t key, TShiftState shift) {
    TShortCut s = key & 0xFF;
    if (shift.contains(TShiftStateFlag::ssShift)) s |= scShift;
    if (shift.contains(TShiftStateFlag::ssCtrl)) s |= scCtrl;
    if (shift.contains(TShiftStateFlag::ssAlt)) s |= scAlt;
    return s;
}

String ShortCutToText(TShortCut short_cut) {
    const String name = key_name(short_cut & 0xFF);
    if (name.empty()) return {};
    String text;
    if (short_cut & scShift) text += u"Shift+";
    if (short_cut & scCtrl) text += u"Ctrl+";
    if (short_cut & scAlt) text += u"Alt+";
    text.append(name);
    return text;
}

// --- TMenuItem

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), FCommand(allocate_command()) {}

TMenuItem::~TMenuItem() {
    // Submenus belong to their items, not to this menu: detach them before anything is destroyed.
    if (FHandle)
        while (::GetMenuItemCount(FHandle.get()) > 0) ::RemoveMenu(FHandle.get(), 0, MF_BYPOSITION);
    while (!FItems.empty()) delete FItems.back();
    if (FParent) FParent->Remove(this);
    state().commands.erase(FCommand);
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count()) raise_list_index_error(index);
    return FItems[static_cast<size_t>(index)];
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
    const auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

int TMenuItem::MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (item->FParent) throw EInvalidOperation(u"Menu inserted twice");
    if (index < 0 || index > Count()) raise_list_index_error(index);
    FItems.insert(FItems.begin() + index, item);
    item->FParent = this;
    changed();
}

void TMenuItem::Remove(TMenuItem* item) {
    const auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it == FItems.end()) return;
    FItems.erase(it);
    item->FParent = nullptr;
    changed();
}

void TMenuItem::Delete(int index) { delete Items(index); }

void TMenuItem::Clear() {
    while (!FItems.empty()) delete FItems.back();
}

TMenuItem* TMenuItem::Find(const String& caption) const {
    const String wanted = strip_accelerator(caption);
    for (TMenuItem* i : FItems)
        if (strip_accelerator(i->FCaption) == wanted) return i;
    return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* i = this;
    while (i->FParent) i = i->FParent;
    return i->FMenu;
}

void TMenuItem::changed() {
    // The whole chain up to the root is rebuilt on the next Handle call.
    for (TMenuItem* i = this; i; i = i->FParent) i->FStale = true;
}


void TMenuItem::fill_info(MENUITEMINFOW& info, String& text) {
    const TMenu* menu = GetParentMenu();
    const bool owner_draw = (menu && menu->OwnerDraw()) || OnDrawItem || OnAdvancedDrawItem;
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_SUBMENU | MIIM_STRING;
    info.fType = IsLine() ? MFT_SEPARATOR : 0;
    if (owner_draw) info.fType |= MFT_OWNERDRAW;
    if (FRadioItem) info.fType |= MFT_RADIOCHECK;
    info.fState = (FChecked ? MFS_CHECKED : 0) | (FEnabled ? 0 : MFS_DISABLED | MFS_GRAYED) | (FDefault ? MFS_DEFAULT : 0);
    info.wID = FCommand;
    info.dwItemData = reinterpret_cast<ULONG_PTR>(this);
    info.hSubMenu = FItems.empty() ? nullptr : Handle();
    text = FCaption;
    if (FShortCut) {
        text.push_back(u'\t');
        text.append(ShortCutToText(FShortCut));
    }
    info.dwTypeData = const_cast<wchar_t*>(wide(text));
    info.cch = static_cast<UINT>(text.size());
}

void TMenuItem::rebuild(bool bar) {
    if (FHandle && !FStale && FBar == bar) return;
    // The submenus are owned by their items: detach them before the old menu is destroyed.
    if (FHandle)
        while (::GetMenuItemCount(FHandle.get()) > 0) ::RemoveMenu(FHandle.get(), 0, MF_BYPOSITION);
    FHandle.reset(bar ? ::CreateMenu() : ::CreatePopupMenu());
    if (!FHandle) RaiseLastOSError();
    FBar = bar;
    FStale = false;
    UINT position = 0;
    for (TMenuItem* item : FItems) {
        if (!item->FVisible) continue;
        MENUITEMINFOW info{};
        String text;
        item->fill_info(info, text);
        ::InsertMenuItemW(FHandle.get(), position++, TRUE, &info);
    }
}

HMENU TMenuItem::Handle() {
    rebuild(false);
    return FHandle.get();
}

TMenuItem* TMenuItem::find_command(UINT command) {
    if (FCommand == command) return this;
    for (TMenuItem* i : FItems)
        if (TMenuItem* found = i->find_command(command)) return found;
    return nullptr;
}

void TMenuItem::Click() {
    if (FAutoCheck) SetChecked(!FChecked);
    if (OnClick) OnClick(this);
}

TMenuItem* TMenuItem::find_submenu(HMENU menu) {
    if (FHandle && FHandle.get() == menu) return this;
    for (TMenuItem* i : FItems)
        if (TMenuItem* found = i->find_submenu(menu)) return found;
    return nullptr;
}

TBitmap& TMenuItem::Bitmap() {
    if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
    return *FBitmap;
}

TCustomImageList* TMenuItem::GetImageList() const {
    const TMenu* menu = GetParentMenu();
    return menu ? menu->Images() : nullptr;
}

TComponent* TMenuItem::GetParentComponent() const {
    if (FParent && FParent->FMenu) return FParent->FMenu;
    return FParent;
}

void TMenuItem::SetParentComponent(TComponent* value) {
    if (FParent) FParent->Remove(this);
    if (auto* menu = dynamic_cast<TMenu*>(value))
        menu->Items().Add(this);
    else if (auto* item = dynamic_cast<TMenuItem*>(value))
        item->Add(this);
}

void TMenuItem::GetChildren(const std::function<void(TComponent*)>& proc, TComponent*) {
    for (TMenuItem* i : FItems) proc(i);
}

const property_table& TMenuItem::PublishedProperties() const {
    static const property_table table = property_table::of<TMenuItem>(TComponent::PublishedProperties())
        .string(u"Caption", &TMenuItem::Caption, &TMenuItem::SetCaption, String())
        .boolean(u"Checked", &TMenuItem::Checked, &TMenuItem::SetChecked, false)
        .boolean(u"RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem, false)
        .integer(u"GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex, std::uint8_t{0})
        .boolean(u"Default", &TMenuItem::Default, &TMenuItem::SetDefault, false)
        .boolean(u"Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, true)
        .boolean(u"Visible", &TMenuItem::Visible, &TMenuItem::SetVisible, true)
        .integer(u"ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex, -1)
        .integer(u"ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut, TShortCut{0})
        .string(u"Hint", &TMenuItem::Hint, &TMenuItem::SetHint, String())
        .boolean(u"AutoCheck", &TMenuItem::AutoCheck, &TMenuItem::SetAutoCheck, false)
        .integer(u"HelpContext", &TMenuItem::HelpContext, &TMenuItem::SetHelpContext, 0)
        .enumeration(u"AutoHotkeys", &TMenuItem::AutoHotkeys, &TMenuItem::SetAutoHotkeys,
                     {u"maAutomatic", u"maManual", u"maParent"}, TMenuItemAutoFlag::maParent)
        .enumeration(u"AutoLineReduction", &TMenuItem::AutoLineReduction, &TMenuItem::SetAutoLineReduction,
                     {u"maAutomatic", u"maManual", u"maParent"}, TMenuItemAutoFlag::maParent)
        .event(u"OnClick", &TMenuItem::OnClick)
        .event(u"OnMeasureItem", &TMenuItem::OnMeasureItem)
        .event(u"OnDrawItem", &TMenuItem::OnDrawItem)
        .event(u"OnAdvancedDrawItem", &TMenuItem::OnAdvancedDrawItem);
    return table;
}

// --- TMenu

TMenu::TMenu(TComponent* owner) : TComponent(owner), FItems(std::make_unique<TMenuItem>(nullptr)) {
    FItems->FMenu = this;
}

TMenu::~TMenu() {
    FItems.reset();
}

void TMenu::SetImages(TCustomImageList* value) {
    FImages = value;
    if (value) value->FreeNotification(this);
}

void TMenu::SetOwnerDraw(bool value) {
    if (value == FOwnerDraw) return;
    FOwnerDraw = value;
    FItems->changed();
}

void TMenu::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == FImages) FImages = nullptr;
    TComponent::Notification(component, operation);
}

HMENU TMenu::Handle() { return FItems->Handle(); }

void TMenu::GetChildren(const std::function<void(TComponent*)>& proc, TComponent*) {
    for (TMenuItem* i : FItems->FItems) proc(i);
}

const property_table& TMenu::PublishedProperties() const {
    static const property_table table = property_table::of<TMenu>(TComponent::PublishedProperties())
        .component(u"Images", &TMenu::Images, &TMenu::SetImages)
        .boolean(u"OwnerDraw", &TMenu::OwnerDraw, &TMenu::SetOwnerDraw, false)
        .enumeration(u"AutoHotkeys", &TMenu::AutoHotkeys, &TMenu::SetAutoHotkeys, {u"maAutomatic", u"maManual"},
                     TMenuAutoFlag::maAutomatic)
        .enumeration(u"AutoLineReduction", &TMenu::AutoLineReduction, &TMenu::SetAutoLineReduction,
                     {u"maAutomatic", u"maManual"}, TMenuAutoFlag::maAutomatic)
        .enumeration(u"BiDiMode", &TMenu::BiDiMode, &TMenu::SetBiDiMode, bidi_mode_names(), TBiDiMode::bdLeftToRight);
    return table;
}

const property_table& TPopupMenu::PublishedProperties() const {
    static const property_table table = property_table::of<TPopupMenu>(TMenu::PublishedProperties())
        .boolean(u"AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup, true)
        .enumeration(u"Alignment", &TPopupMenu::Alignment, &TPopupMenu::SetAlignment,
                     {u"paLeft", u"paRight", u"paCenter"}, TPopupAlignment::paLeft)
        .event(u"OnPopup", &TPopupMenu::OnPopup);
    return table;
}

TMenuItem* TMenu::FindItem(UINT command) {
    if (command == FItems->FCommand) return nullptr;
    return FItems->find_command(command);
}

bool TMenu::DispatchPopup(HMENU submenu) {
    TMenuItem* item = FItems->find_submenu(submenu);
    if (!item || item == FItems.get()) return false;
    item->Click();
    return true;
}

bool TMenu::DispatchCommand(UINT command) {
    TMenuItem* item = FindItem(command);
    if (!item) return false;
    item->Click();
    return true;
}

bool TMenu::DispatchOwnerDraw(TMessage& message) {
    if (message.Msg == WM_MEASUREITEM) {
        auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
        if (mi->CtlType != ODT_MENU) return false;
        TMenuItem* item = FindItem(mi->itemID);
        if (!item) return false;
        const window_dc screen;
        TCanvas canvas;
        canvas.SetHandle(screen.get());
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        canvas.Font().SetName(from_wide(metrics.lfMenuFont.lfFaceName));
        canvas.Font().SetHeight(metrics.lfMenuFont.lfHeight);
        int width = 0, height = 0;
        if (item->IsLine()) {
            height = 8;
        } else {
            const SIZE s = canvas.TextExtent(strip_accelerator(item->Caption()) + u"    " + ShortCutToText(item->ShortCut()));
            width = s.cx + 32;
            height = std::max<int>(s.cy + 6, FImages ? FImages->Height() + 4 : 0);
        }
        if (item->OnMeasureItem) item->OnMeasureItem(item, canvas, width, height);
        mi->itemWidth = static_cast<UINT>(std::max(width, 0));
        mi->itemHeight = static_cast<UINT>(std::max(height, 0));
        canvas.SetHandle(nullptr);
        message.Result = 1;
        return true;
    }
    auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
    if (di->CtlType != ODT_MENU) return false;
    TMenuItem* item = FindItem(di->itemID);
    if (!item) return false;
    TOwnerDrawState s;
    if (di->itemState & ODS_SELECTED) s.include(TOwnerDrawStateFlag::odSelected);
    if (di->itemState & ODS_GRAYED) s.include(TOwnerDrawStateFlag::odGrayed);
    if (di->itemState & ODS_DISABLED) s.include(TOwnerDrawStateFlag::odDisabled);
    if (di->itemState & ODS_CHECKED) s.include(TOwnerDrawStateFlag::odChecked);
    if (di->itemState & ODS_FOCUS) s.include(TOwnerDrawStateFlag::odFocused);
    if (di->itemState & ODS_DEFAULT) s.include(TOwnerDrawStateFlag::odDefault);
    if (di->itemState & ODS_HOTLIGHT) s.include(TOwnerDrawStateFlag::odHotLight);
    if (di->itemState & ODS_INACTIVE) s.include(TOwnerDrawStateFlag::odInactive);
    if (di->itemState & ODS_NOACCEL) s.include(TOwnerDrawStateFlag::odNoAccel);
    TCanvas canvas;
    canvas.SetHandle(di->hDC);
    auto detach = scope_exit([&] { canvas.SetHandle(nullptr); });
    const RECT r = di->rcItem;
    const bool selected = s.contains(TOwnerDrawStateFlag::odSelected);
    if (item->OnAdvancedDrawItem) {
        item->OnAdvancedDrawItem(item, canvas, r, s);
    } else if (item->OnDrawItem) {
        item->OnDrawItem(item, canvas, r, selected);
    } else {
        // Plain drawing for an owner-drawn menu without events: background, image, text, shortcut.
        canvas.Brush().SetColor(selected ? clHighlight : clMenu);
        canvas.FillRect(r);
        if (item->IsLine()) {
            const int y = (r.top + r.bottom) / 2;
            canvas.Pen().SetColor(clGray);
            canvas.MoveTo(r.left + 2, y);
            canvas.LineTo(r.right - 2, y);
        } else {
            if (FImages && item->ImageIndex() >= 0 && item->ImageIndex() < FImages->Count())
                FImages->Draw(canvas, r.left + 2, r.top + (r.bottom - r.top - FImages->Height()) / 2, item->ImageIndex(),
                              item->Enabled());
            canvas.Brush().SetStyle(TBrushStyle::bsClear);
            canvas.Font().SetColor(!item->Enabled() ? clGrayText : selected ? clHighlightText : clMenuText);
            RECT text = r;
            text.left += 24;
            text.right -= 8;
            canvas.TextRect(text, item->Caption(), DT_SINGLELINE | DT_VCENTER | DT_LEFT);
            canvas.TextRect(text, ShortCutToText(item->ShortCut()), DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
        }
    }
    message.Result = 1;
    return true;
}

TMainMenu::TMainMenu(TComponent* owner) : TMenu(owner) {}

HMENU TMainMenu::Handle() {
    FItems->rebuild(true);
    return FItems->FHandle.get();
}

// --- TPopupMenu

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {
    if (PopupList) PopupList->Add(this);
}

TPopupMenu::~TPopupMenu() {
    if (PopupList) PopupList->Remove(this);
}

void TPopupMenu::Popup(int x, int y) {
    if (OnPopup) OnPopup(this);
    if (!PopupList) throw EInvalidOperation(u"Menus are not started");
    static constexpr UINT align[] = {TPM_LEFTALIGN, TPM_RIGHTALIGN, TPM_CENTERALIGN};
    ::SetForegroundWindow(PopupList->Window());
    ::TrackPopupMenuEx(Handle(), align[static_cast<int>(FAlignment)] | TPM_RIGHTBUTTON, x, y, PopupList->Window(),
                       nullptr);
    // The command is posted; it runs from the message loop, after the menu is gone.
}

// --- TPopupList

TPopupList::TPopupList() {
    // A top-level (hidden) window: menus need a real owner window, not a message-only one.
    const HINSTANCE instance = register_window_class(L"TPopupList");
    FWindow.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, L"TPopupList", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    instance, nullptr));
    if (!FWindow) RaiseLastOSError();
    bind_window(FWindow.get(), {this, [this](TMessage& m) { WndProc(m); }});
}

TPopupList::~TPopupList() { unbind_window(FWindow.get()); }

void TPopupList::Add(TPopupMenu* menu) { FMenus.push_back(menu); }

void TPopupList::Remove(TPopupMenu* menu) noexcept {
    FMenus.erase(std::remove(FMenus.begin(), FMenus.end(), menu), FMenus.end());
}

void TPopupList::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_COMMAND:
        for (TPopupMenu* menu : std::vector<TPopupMenu*>(FMenus))
            if (menu->DispatchCommand(LOWORD(message.WParam))) return;
        break;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
        for (TPopupMenu* menu : FMenus)
            if (menu->DispatchOwnerDraw(message)) return;
        break;
    case WM_INITMENUPOPUP:
        for (TPopupMenu* menu : std::vector<TPopupMenu*>(FMenus))
            if (menu->DispatchPopup(reinterpret_cast<HMENU>(message.WParam))) break;
        break;
    default: break;
    }
    message.Result = ::DefWindowProcW(FWindow.get(), message.Msg, message.WParam, message.LParam);
}

void menus_startup() {
    state().default_list = std::make_unique<TPopupList>();
    PopupList = state().default_list.get();
}

void menus_shutdown() {
    PopupList = nullptr;
    state().default_list.reset();
    ::UnregisterClassW(L"TPopupList", ::GetModuleHandleW(nullptr));
}

} // namespace kq
