#include "framework/ComCtrls.h"

#include "framework/Exceptions.h"
#include "framework/Messages.h"

#include <algorithm>

namespace kq {

// --- TTabSheet

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) { SetVisible(false); }

TTabSheet::~TTabSheet() {
    if (FPageControl) FPageControl->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* Value) {
    if (FPageControl == Value) return;
    if (FPageControl) FPageControl->RemovePage(this);
    SetParent(Value);
    if (Value) Value->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (!FPageControl) return -1;
    const std::vector<TTabSheet*>& pages = FPageControl->FPages;
    return static_cast<int>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int Value) {
    if (FPageControl) FPageControl->MovePage(this, Value);
}

void TTabSheet::WndProc(TMessage& Message) {
    TWinControl::WndProc(Message);
    if (Message.Msg == CM_TEXTCHANGED && FPageControl) FPageControl->UpdateTab(this);
}

// --- TPageControl

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) {
    // The system's control paints the tabs and follows the mouse; the framework only routes messages.
    SetControlStyle(TControlStyle{TControlStyleFlag::csAcceptsControls});
    SetTabStop(true);
}

TPageControl::~TPageControl() {
    // The sheets go with their parent after this body; they must not reach back into it.
    for (TTabSheet* page : FPages) page->FPageControl = nullptr;
    FPages.clear();
    FActivePage = nullptr;
}

TTabSheet* TPageControl::Pages(int index) const {
    if (index < 0 || index >= PageCount()) raise_list_index_error(index);
    return FPages[static_cast<size_t>(index)];
}

void TPageControl::SetActivePage(TTabSheet* Value) {
    if (Value && Value->FPageControl != this) return;
    TTabSheet* old = std::exchange(FActivePage, Value);
    if (old != Value) {
        // The new page is shown before the old one goes, so nothing behind them shows in between.
        if (Value) Value->SetVisible(true);
        if (old) old->SetVisible(false);
    }
    select_tab();
}

int TPageControl::ActivePageIndex() const { return FActivePage ? FActivePage->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int Value) {
    SetActivePage(Value >= 0 && Value < PageCount() ? FPages[static_cast<size_t>(Value)] : nullptr);
}

bool TPageControl::CanChange() {
    bool allow_change = true;
    if (OnChanging) OnChanging(this, allow_change);
    return allow_change;
}

void TPageControl::Change() {
    if (OnChange) OnChange(this);
}

void TPageControl::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    use_system_class(Params, WC_TABCONTROLW, FDefWndProc);
}

void TPageControl::CreateWnd() {
    TWinControl::CreateWnd();
    // The tabs live in the window: a new window is given them again.
    for (int i = 0; i < PageCount(); ++i) insert_tab(i);
    select_tab();
    Realign();
}

void TPageControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_PAINT:
    case WM_ERASEBKGND: DefaultHandler(Message); return;
    case CN_NOTIFY:
        switch (reinterpret_cast<const NMHDR*>(Message.LParam)->code) {
        case TCN_SELCHANGING: Message.Result = CanChange() ? FALSE : TRUE; return;
        case TCN_SELCHANGE: {
            const auto index = static_cast<int>(::SendMessageW(Handle(), TCM_GETCURSEL, 0, 0));
            SetActivePageIndex(index);
            Change();
            return;
        }
        default: return;
        }
    default: TWinControl::WndProc(Message);
    }
}

// The sheets fill the area below the tabs.
void TPageControl::AlignControls(RECT& rect) {
    if (HandleAllocated()) {
        ::SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rect));
        rect.right = std::max(rect.right, rect.left);
        rect.bottom = std::max(rect.bottom, rect.top);
    }
    for (TTabSheet* page : FPages) page->SetBoundsRect(rect);
    TWinControl::AlignControls(rect);
}

void TPageControl::InsertPage(TTabSheet* page) {
    FPages.push_back(page);
    page->FPageControl = this;
    if (HandleAllocated()) insert_tab(PageCount() - 1);
    select_tab();
    Realign(); // the new sheet takes the page area
}

// When the active page leaves, its neighbour (the next one, else the one before) becomes active.
void TPageControl::RemovePage(TTabSheet* page) {
    const auto it = std::find(FPages.begin(), FPages.end(), page);
    const auto index = static_cast<size_t>(it - FPages.begin());
    if (HandleAllocated()) ::SendMessageW(Handle(), TCM_DELETEITEM, index, 0);
    FPages.erase(it);
    page->FPageControl = nullptr;
    if (page == FActivePage) {
        page->SetVisible(false);
        FActivePage = nullptr;
        if (!FPages.empty()) SetActivePage(FPages[std::min(index, FPages.size() - 1)]);
    }
    select_tab();
}

void TPageControl::MovePage(TTabSheet* page, int index) {
    index = std::clamp(index, 0, PageCount() - 1);
    const int from = page->PageIndex();
    if (from == index) return;
    FPages.erase(FPages.begin() + from);
    FPages.insert(FPages.begin() + index, page);
    if (HandleAllocated()) {
        ::SendMessageW(Handle(), TCM_DELETEITEM, static_cast<WPARAM>(from), 0);
        insert_tab(index);
    }
    select_tab();
}

void TPageControl::UpdateTab(const TTabSheet* page) {
    if (!HandleAllocated()) return;
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(wide(page->Caption()));
    ::SendMessageW(Handle(), TCM_SETITEMW, static_cast<WPARAM>(page->PageIndex()), reinterpret_cast<LPARAM>(&item));
}

void TPageControl::insert_tab(int index) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(wide(FPages[static_cast<size_t>(index)]->Caption()));
    ::SendMessageW(Handle(), TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

// The system's selection follows the active page; setting it sends no notification.
void TPageControl::select_tab() {
    if (HandleAllocated()) ::SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(ActivePageIndex()), 0);
}

} // namespace kq
