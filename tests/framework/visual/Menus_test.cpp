#include "framework/Menus.h"

#include "framework/ImageLists.h"

#include "VisualFixture.h"

#include <thread>

using namespace kq;
using kq::test::visual_test;

namespace {

TMenuItem* item(TComponent* owner, const String& caption, TNotifyEvent click = {}) {
    auto* i = new TMenuItem(owner);
    i->SetCaption(caption);
    i->OnClick = std::move(click);
    return i;
}

MENUITEMINFOW info_at(HMENU menu, UINT position, wchar_t* text, UINT size) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = size;
    ::GetMenuItemInfoW(menu, position, TRUE, &info);
    return info;
}

} // namespace

TEST(ShortCutToText, NamesModifiersAndKeys) {
    struct row {
        TShortCut shortcut;
        const char16_t* text;
    };
    const row rows[] = {
        {ShortCut('S', {TShiftStateFlag::ssCtrl}), u"Ctrl+S"},
        {ShortCut(VK_F10, {TShiftStateFlag::ssShift}), u"Shift+F10"},
        {ShortCut(VK_F1, {}), u"F1"},
        {ShortCut(VK_RETURN, {TShiftStateFlag::ssAlt}), u"Alt+Enter"},
        {ShortCut(VK_DELETE, {TShiftStateFlag::ssShift, TShiftStateFlag::ssCtrl}), u"Shift+Ctrl+Del"},
        {ShortCut('5', {}), u"5"},
        {0, u""},
    };
    for (const row& r : rows) EXPECT_EQ(ShortCutToText(r.shortcut), r.text);
}

TEST_F(visual_test, PopupMenuBuildsItsItemsAndClicksTheChosenOne) {
    TPopupMenu menu(nullptr);
    std::vector<String> clicked;
    auto record = [&](TObject* s) { clicked.push_back(static_cast<TMenuItem*>(s)->Caption()); };
    TMenuItem* open = item(&menu, u"&Open", record);
    open->SetShortCut(ShortCut('O', {TShiftStateFlag::ssCtrl}));
    open->SetDefault(true);
    menu.Items().Add(open);
    menu.Items().Add(item(&menu, u"-"));
    TMenuItem* pinned = item(&menu, u"Pinned", record);
    pinned->SetChecked(true);
    pinned->SetRadioItem(true);
    menu.Items().Add(pinned);
    TMenuItem* off = item(&menu, u"Off", record);
    off->SetEnabled(false);
    menu.Items().Add(off);
    TMenuItem* more = item(&menu, u"More");
    TMenuItem* deep = item(&menu, u"Deep", record);
    more->Add(deep);
    menu.Items().Add(more);
    TMenuItem* hidden = item(&menu, u"Hidden");
    hidden->SetVisible(false);
    menu.Items().Add(hidden);

    const HMENU h = menu.Handle();
    ASSERT_EQ(::GetMenuItemCount(h), 5); // the hidden item is left out
    wchar_t text[64];
    MENUITEMINFOW i = info_at(h, 0, text, 64);
    EXPECT_EQ(std::wstring(text), L"&Open\tCtrl+O");
    EXPECT_TRUE(i.fState & MFS_DEFAULT);
    EXPECT_TRUE(info_at(h, 1, text, 64).fType & MFT_SEPARATOR);
    i = info_at(h, 2, text, 64);
    EXPECT_TRUE(i.fState & MFS_CHECKED);
    EXPECT_TRUE(i.fType & MFT_RADIOCHECK);
    EXPECT_TRUE(info_at(h, 3, text, 64).fState & MFS_DISABLED);
    i = info_at(h, 4, text, 64);
    ASSERT_NE(i.hSubMenu, nullptr);
    EXPECT_EQ(::GetMenuItemID(i.hSubMenu, 0), deep->Command());

    // Changes reach the system menu on the next use.
    pinned->SetChecked(false);
    EXPECT_FALSE(info_at(menu.Handle(), 2, text, 64).fState & MFS_CHECKED);

    // The command of a chosen item comes to the popup list's window.
    ::PostMessageW(PopupList->Window(), WM_COMMAND, deep->Command(), 0);
    ::PostMessageW(PopupList->Window(), WM_COMMAND, open->Command(), 0);
    Application->ProcessMessages();
    EXPECT_EQ(clicked, (std::vector<String>{u"Deep", u"&Open"}));
    EXPECT_EQ(more->Find(u"Deep"), deep);
    EXPECT_EQ(menu.Items().Find(u"Open"), open);
}

TEST_F(visual_test, OwnerDrawnItemsAreMeasuredAndDrawnByTheirEvents) {
    TPopupMenu menu(nullptr);
    menu.SetOwnerDraw(true);
    TMenuItem* a = item(&menu, u"Drawn");
    menu.Items().Add(a);
    a->OnMeasureItem = [](TObject*, TCanvas& canvas, int& width, int& height) {
        EXPECT_GT(canvas.TextWidth(u"x"), 0);
        width = 123;
        height = 45;
    };
    RECT drawn{};
    TOwnerDrawState state;
    a->OnAdvancedDrawItem = [&](TObject*, TCanvas&, const RECT& r, TOwnerDrawState s) {
        drawn = r;
        state = s;
    };
    wchar_t text[16];
    EXPECT_TRUE(info_at(menu.Handle(), 0, text, 16).fType & MFT_OWNERDRAW);

    MEASUREITEMSTRUCT measure{ODT_MENU, 0, a->Command(), 0, 0, reinterpret_cast<ULONG_PTR>(a)};
    ::SendMessageW(PopupList->Window(), WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
    EXPECT_EQ(measure.itemWidth, 123u);
    EXPECT_EQ(measure.itemHeight, 45u);

    kq::test::probe_dc probe(50, 20);
    DRAWITEMSTRUCT draw{ODT_MENU, 0, a->Command(), ODA_DRAWENTIRE, ODS_SELECTED | ODS_CHECKED, nullptr, probe.dc(),
                        RECT{1, 2, 30, 12}, reinterpret_cast<ULONG_PTR>(a)};
    ::SendMessageW(PopupList->Window(), WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
    EXPECT_EQ(drawn.right, 30);
    EXPECT_TRUE(state.contains(TOwnerDrawStateFlag::odSelected));
    EXPECT_TRUE(state.contains(TOwnerDrawStateFlag::odChecked));
}

TEST_F(visual_test, MainMenuIsTheFormsMenuBar) {
    TForm* form = CreateForm<TForm>(Application);
    auto* bar = new TMainMenu(form);
    int clicks = 0;
    TMenuItem* file = item(form, u"File");
    TMenuItem* quit = item(form, u"Quit", [&](TObject*) { ++clicks; });
    file->Add(quit);
    bar->Items().Add(file);
    form->SetMenu(bar);
    EXPECT_EQ(::GetMenu(form->Handle()), bar->Handle());
    ::SendMessageW(form->Handle(), WM_COMMAND, quit->Command(), 0);
    EXPECT_EQ(clicks, 1);
    delete bar; // the form lets go of a menu that goes away
    EXPECT_EQ(form->Menu(), nullptr);
    EXPECT_EQ(::GetMenu(form->Handle()), nullptr);
    delete form;
}

namespace {
// A replacement of the popup list that records the menu messages it is given.
class recording_popup_list : public TPopupList {
public:
    std::vector<std::pair<UINT, WPARAM>> Seen;
    LPARAM CloseParam = -1;

protected:
    void WndProc(TMessage& message) override {
        switch (message.Msg) {
        case WM_ENTERMENULOOP:
        case WM_EXITMENULOOP:
        case WM_INITMENUPOPUP: Seen.emplace_back(message.Msg, message.WParam); break;
        case WM_MENUSELECT:
            if (HIWORD(message.WParam) == 0xFFFF) {
                Seen.emplace_back(message.Msg, message.WParam);
                CloseParam = message.LParam;
            }
            break;
        default: break;
        }
        TPopupList::WndProc(message);
    }
};
} // namespace

TEST_F(visual_test, MenuLoopMessagesReachThePopupListAndASubmenuClicksItsItemBeforeItShows) {
    recording_popup_list list;
    TPopupList* const previous = PopupList;
    TPopupMenu menu(nullptr);
    PopupList = &list;
    list.Add(&menu);
    auto restore = scope_exit([&] { PopupList = previous; });
    std::vector<String> clicked;
    auto record = [&](TObject* s) { clicked.push_back(static_cast<TMenuItem*>(s)->Caption()); };
    TMenuItem* more = item(&menu, u"More", record);
    more->Add(item(&menu, u"Deep", record));
    menu.Items().Add(more);
    TMenuItem* toggle = item(&menu, u"Toggle", record);
    toggle->SetAutoCheck(true);
    menu.Items().Add(toggle);

    // The user shows the menu and closes it again, once it shows: a cancel that came before the menu loop
    // would be lost, and the loop would wait for ever.
    std::thread user([&] {
        const auto menu_shows = [] {
            const HWND shown = ::FindWindowW(L"#32768", nullptr);
            return shown && ::IsWindowVisible(shown);
        };
        for (int i = 0; i < 1000 && !menu_shows(); ++i) ::Sleep(20);
        ::SendMessageW(list.Window(), WM_CANCELMODE, 0, 0);
    });
    menu.Popup(100, 100);
    user.join();
    ASSERT_GE(list.Seen.size(), 3u);
    EXPECT_EQ(list.Seen.front().first, UINT{WM_ENTERMENULOOP});
    EXPECT_EQ(list.Seen[1], (std::pair<UINT, WPARAM>{WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu.Handle())}));
    EXPECT_EQ(list.Seen.back().first, UINT{WM_EXITMENULOOP});
    EXPECT_NE(std::find_if(list.Seen.begin(), list.Seen.end(), [](const auto& s) { return s.first == WM_MENUSELECT; }),
              list.Seen.end());
    EXPECT_EQ(list.CloseParam, 0);
    EXPECT_TRUE(clicked.empty()); // the menu's own popup is no item's

    // A submenu about to show clicks the item that holds it.
    ::SendMessageW(list.Window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(more->Handle()), 1);
    EXPECT_EQ(clicked, std::vector<String>{u"More"});
    // An auto-check item turns over before its OnClick.
    ::SendMessageW(list.Window(), WM_COMMAND, toggle->Command(), 0);
    ::SendMessageW(list.Window(), WM_COMMAND, toggle->Command(), 0);
    EXPECT_EQ(clicked, (std::vector<String>{u"More", u"Toggle", u"Toggle"}));
    EXPECT_FALSE(toggle->Checked());
}

TEST_F(visual_test, MainMenuSubmenuClicksItsItemAndItemsKnowTheirMenusImages) {
    auto* form = CreateForm<TForm>(Application);
    auto* bar = new TMainMenu(form);
    auto* images = new TImageList(form);
    bar->SetImages(images);
    bar->SetBiDiMode(TBiDiMode::bdRightToLeft);
    std::vector<String> clicked;
    TMenuItem* file = item(form, u"&File", [&](TObject*) { clicked.push_back(u"File"); });
    file->Add(item(form, u"&Open"));
    bar->Items().Add(file);
    form->SetMenu(bar);
    ::SendMessageW(form->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file->Handle()), 0);
    EXPECT_EQ(clicked, std::vector<String>{u"File"});
    EXPECT_EQ(file->Items(0)->GetImageList(), images);
    EXPECT_TRUE(bar->IsRightToLeft());
    EXPECT_EQ(TMenuItem(nullptr).GetImageList(), nullptr);
    delete form;
}
