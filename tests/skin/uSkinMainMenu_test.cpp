// The title-bar main menu: its items laid out in the skinned title bar, drawn, followed by the real mouse,
// and the popups they open and hand over to each other.
#include "skin/SkinMessages.h"
#include "skin/uSkinMainMenu.h"

#include "framework/ComponentText.h"
#include "framework/Messages.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinMenu.h"
#include "tests/framework/visual/VisualFixture.h"

#include "SkinControlTestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace kq::test {
namespace {

using namespace std::chrono_literals;

// The visible popup menu window other than not_this, waiting up to the time given; nullptr when none came.
HWND wait_for_popup(std::chrono::milliseconds wait, HWND not_this = nullptr) {
    const auto end = std::chrono::steady_clock::now() + wait;
    do {
        for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32768", nullptr); w;
             w = ::FindWindowExW(nullptr, w, L"#32768", nullptr))
            if (w != not_this && ::IsWindowVisible(w))
                return w;
        ::Sleep(10);
    } while (std::chrono::steady_clock::now() < end);
    return nullptr;
}

bool wait_until_gone(HWND popup, std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (::IsWindow(popup) && ::IsWindowVisible(popup) && std::chrono::steady_clock::now() < end) ::Sleep(10);
    return !::IsWindow(popup) || !::IsWindowVisible(popup);
}

void key(WORD vk) {
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = vk;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, input, sizeof(INPUT));
}

class title_bar_menus : public visual_test {
protected:
    void SetUp() override {
        static bool warmed = false;
        if (!std::exchange(warmed, true))
            warm_up_popups();
        visual_test::SetUp();
    }
    void TearDown() override {
        delete form;
        visual_test::TearDown();
    }

    // KQ's look: a teal title bar 28 high without frame, and a main menu of File, Edit (disabled),
    // Hidden (not visible) and Help.
    void make() {
        form = CreateForm<TForm>(Application);
        form->SetBorderStyle(TFormBorderStyle::bsSizeable);
        form->SetBounds(100, 80, 480, 320);
        form->SetCaption(u"Menus");
        skin = new TSkinForm(form);
        skin->SetFlatFrame(true);
        skin->SetTitleHeight(28);
        skin->SetTitlerColor(11837458);
        skin->SetColor(clSilver);
        skin->SetFramWidth(0);
        skin->SetActiveGradient(false);
        menu = new TMainMenu(form);
        add(u"&File", {u"Open", u"-", u"Exit"});
        add(u"&Edit", {u"Copy"})->SetEnabled(false);
        add(u"Hidden", {u"Nothing"})->SetVisible(false);
        add(u"&Help", {u"About"});
        skin->MainMenu().Font().SetColor(clWhite);
        skin->MainMenu().SetMainMenu(menu);
    }
    TMenuItem* add(const char16_t* caption, std::initializer_list<const char16_t*> children) {
        auto* item = new TMenuItem(form);
        item->SetCaption(caption);
        for (const char16_t* c : children) {
            auto* child = new TMenuItem(form);
            child->SetCaption(c);
            child->OnClick = [this, c](TObject*) { clicked += String(c) + u";"; };
            item->Add(child);
        }
        menu->Items().Add(item);
        return item;
    }
    void show() {
        form->Show();
        ::SetForegroundWindow(form->Handle());
        ASSERT_TRUE(pump_until([&] { return items().size() == 3; }));
        settle(200);
    }
    static void settle(int ms = 100) { pump_until([] { return false; }, ms); }

    std::vector<TSkinNCMenuItem*> items() const {
        std::vector<TSkinNCMenuItem*> found;
        for (TSkinNCCtrlBase* c : skin->NCCtrlList())
            if (auto* item = dynamic_cast<TSkinNCMenuItem*>(c)) found.push_back(item);
        return found;
    }
    int item_components() const {
        int n = 0;
        for (int i = 0; i < form->ComponentCount(); ++i) n += dynamic_cast<TSkinNCMenuItem*>(form->Components(i)) != nullptr;
        return n;
    }
    POINT screen_centre(TSkinNCMenuItem* item) const {
        RECT w{};
        ::GetWindowRect(form->Handle(), &w);
        const TRect r = item->ClientRect();
        return {w.left + (r.Left + r.Right) / 2, w.top + (r.Top + r.Bottom) / 2};
    }
    // Counts the hand-over messages the popup list sends the form.
    void count_menu_messages() {
        menu_hook = form->HookWindowProc([this](TMessage& m, const TWndMethod& next) {
            if (m.Msg == WM_VK_ENTERMENULOOP) ++menus_entered;
            if (m.Msg == WM_VK_MENUCLOSED) ++menus_closed;
            next(m);
        });
    }

    TForm* form = nullptr;
    TSkinForm* skin = nullptr;
    TMainMenu* menu = nullptr;

private:
    // The system keeps a few objects from the first popup menu that draws a separator and an entry
    // chosen by keyboard; they are made before the first count.
    static void warm_up_popups() {
        forms_startup();
        menus_startup();
        Application->Initialize();
        {
            TPopupMenu popup(nullptr);
            for (const char16_t* caption : {u"a", u"-", u"b"}) {
                auto* item = new TMenuItem(&popup);
                item->SetCaption(caption);
                popup.Items().Add(item);
            }
            std::thread user([] {
                if (const HWND w = wait_for_popup(3s)) {
                    key(VK_DOWN);
                    key(VK_DOWN);
                    ::Sleep(100);
                    key(VK_ESCAPE);
                    wait_until_gone(w, 3s);
                }
            });
            popup.Popup(10, 10);
            user.join();
        }
        menus_shutdown();
        forms_shutdown();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

protected:
    String clicked;
    window_hook menu_hook;
    std::atomic<int> menus_entered{0}, menus_closed{0};
};

TEST_F(title_bar_menus, VisibleTopLevelItemsSitSideBySideInTheTitleBar) {
    make();
    show();
    const auto& entries = skin->MainMenu().MenuList();
    ASSERT_EQ(entries.size(), 3u);
    const char16_t* captions[] = {u"&File", u"&Edit", u"&Help"};
    // The width and height of a caption: its text in the menu's font, measured by GDI, plus 4.
    const auto text_size = [&](const String& caption) {
        window_dc dc(nullptr);
        const auto old = ::SelectObject(dc.get(), skin->MainMenu().Font().Handle());
        SIZE size{};
        ::GetTextExtentPoint32W(dc.get(), wide(caption), static_cast<int>(caption.size()), &size);
        ::SelectObject(dc.get(), old);
        return size;
    };
    const std::vector<TSkinNCMenuItem*> shown = items();
    int x = 5;
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        TSkMainMenuData& entry = *entries[i];
        EXPECT_EQ(entry.Caption, captions[i]);
        EXPECT_EQ(entry.Enabled, i != 1);
        ASSERT_EQ(entry.NCMenuItem, shown[i]);
        TSkinNCMenuItem* item = entry.NCMenuItem;
        const SIZE size = text_size(entry.Caption);
        EXPECT_EQ(item->Pos().Width(), size.cx + 4);
        EXPECT_EQ(item->Pos().Height(), size.cy + 4);
        EXPECT_EQ(item->Pos().X(), x);
        EXPECT_EQ(item->Pos().Y(), 5);
        EXPECT_EQ(item->GroupIndex(), 99);
        EXPECT_EQ(item->Enabled(), entry.Enabled);
        EXPECT_EQ(entry.PopupMenu->Items().Count(), i == 0 ? 3 : 1) << "copies of the item's children";
        x += item->Pos().Width() + 8;
    }
    EXPECT_EQ(entries[0]->PopupMenu->Items().Items(2)->Caption(), u"Exit");

    // Rebuilt, the former title-bar items go: still three, and new ones (marked apart, as a new item may
    // take a former one's address).
    for (TSkinNCMenuItem* item : shown) item->SetTag(1);
    skin->MainMenu().Refresh();
    ASSERT_TRUE(pump_until([&] {
        const auto now = items();
        return now.size() == 3 && std::none_of(now.begin(), now.end(), [](auto* i) { return i->Tag() == 1; });
    }));
    settle();
    EXPECT_EQ(item_components(), 3);
    EXPECT_EQ(items().size(), 3u);
}

TEST_F(title_bar_menus, ADisabledItemIsGreyAndTheRealCursorNeverHighlightsIt) {
    make();
    show();
    TSkinNCMenuItem* file = items()[0];
    TSkinNCMenuItem* edit = items()[1];
    const auto pixels_in = [](const window_pixels& px, const TRect& r, auto&& test) {
        int n = 0;
        for (int y = std::max(r.Top, 0); y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) n += test(px.at(x, y));
        return n;
    };
    const auto grey = [](std::uint32_t p) { return p == 0xC4C5C7u; }; // the system's $C7C5C4 as RGB
    const std::uint32_t title = window_pixels(form->Handle()).at(400, 3);

    test::mouse_to(screen_centre(edit));
    settle(200);
    EXPECT_TRUE(edit->CursorEnter());
    EXPECT_EQ(edit->State(), bsNormal);
    {
        const window_pixels px(form->Handle());
        const TRect r = edit->ClientRect();
        EXPECT_GT(pixels_in(px, r, grey), 5) << "grey caption";
        EXPECT_EQ(px.at(r.Left + 1, r.Top - 1), title) << "no highlight behind it";
    }

    test::mouse_to(screen_centre(file));
    settle(200);
    EXPECT_FALSE(edit->CursorEnter());
    EXPECT_EQ(file->State(), bsHot);
    const window_pixels px(form->Handle());
    px.save(L"skin_main_menu.bmp");
    const TRect r = file->ClientRect();
    // HotColor at alpha 128 over the title bar's colour, a channel at a time
    const std::uint32_t hot = 0xFCECAEu, seen = px.at(r.Left + 1, r.Top - 1);
    for (const int shift : {0, 8, 16}) {
        const int expected = (int((title >> shift) & 0xFF) + int((hot >> shift) & 0xFF)) / 2;
        EXPECT_NEAR(int((seen >> shift) & 0xFF), expected, 2) << "channel " << shift;
    }
    EXPECT_EQ(pixels_in(px, edit->ClientRect(), [&](std::uint32_t p) { return p == seen; }), 0);
    EXPECT_GT(pixels_in(px, r, [](std::uint32_t p) { return p == 0xFFFFFFu; }), 5) << "white caption";
}

// A real click opens File's popup under its item; the mouse moved onto Help ends it and opens Help's; an
// entry chosen there runs the original item's handler.
TEST_F(title_bar_menus, ClickOpensThePopupAndMovingToTheNeighbourHandsItOver) {
    make();
    show();
    count_menu_messages();
    TSkinNCMenuItem* file = items()[0];
    TSkinNCMenuItem* help = items()[2];
    const POINT help_centre = screen_centre(help);
    RECT first_rect{};
    std::atomic<bool> handed_over{false}, done{false};
    std::thread user([&] {
        auto finished = scope_exit([&] { done = true; });
        const HWND first = wait_for_popup(5s);
        if (!first) return;
        ::GetWindowRect(first, &first_rect);
        ::Sleep(100);
        window_pixels(::GetDesktopWindow()).save(L"skin_main_menu_popup.bmp");
        test::mouse_to(help_centre);
        if (!wait_until_gone(first, 3s)) return;
        const HWND second = wait_for_popup(3s, nullptr);
        if (!second) return;
        handed_over = true;
        key(VK_DOWN);
        key(VK_RETURN);
    });
    test::mouse_to(screen_centre(file));
    settle();
    test::left_down();
    settle();
    test::left_up();
    // the popups are modal inside the messages handled here; the hand-over comes from a timer
    pump_until([&] { return done.load(); }, 15000);
    user.join();
    settle(200);
    RECT w{};
    ::GetWindowRect(form->Handle(), &w);
    EXPECT_EQ(first_rect.left, w.left + file->Pos().X());
    EXPECT_EQ(first_rect.top, w.top + file->Pos().Y() + file->Pos().Height() + 1);
    EXPECT_TRUE(handed_over);
    EXPECT_EQ(menus_entered, 2);
    EXPECT_EQ(menus_closed, 2);
    EXPECT_EQ(clicked, u"About;");
    EXPECT_EQ(skin->MainMenu().FocusMenu, nullptr);
    EXPECT_FALSE(file->Down());
    EXPECT_FALSE(help->Down());
}

// Alt with an item's letter opens its popup; a disabled item's letter opens nothing.
TEST_F(title_bar_menus, AcceleratorsOpenTheirItemsPopup) {
    make();
    show();
    struct row {
        WPARAM key;
        bool opens;
    };
    for (const row r : {row{'F', true}, row{'E', false}, row{'H', true}, row{'X', false}}) {
        SCOPED_TRACE(static_cast<char>(r.key));
        std::atomic<bool> opened{false};
        std::thread user([&] {
            if (const HWND popup = wait_for_popup(r.opens ? 3s : 500ms)) {
                opened = true;
                key(VK_ESCAPE);
                wait_until_gone(popup, 3s);
            }
        });
        const LRESULT handled = form->Perform(CM_DIALOGCHAR, r.key, 0);
        user.join();
        settle();
        EXPECT_EQ(opened, r.opens);
        EXPECT_EQ(handled != 0, r.key != 'X');
    }
}

// A menu skin draws the popups' copies of the items, and the popup moves left by its border offset.
TEST_F(title_bar_menus, WithAMenuSkinThePopupsAreItsToDraw) {
    make();
    auto* menu_skin = new TSkinMenu(form);
    skin->MainMenu().SetMenuSkin(menu_skin);
    show();
    TPopupMenu& popup = *skin->MainMenu().MenuList()[0]->PopupMenu;
    EXPECT_TRUE(popup.OwnerDraw());
    for (int i = 0; i < popup.Items().Count(); ++i) EXPECT_TRUE(popup.Items().Items(i)->OnAdvancedDrawItem) << i;

    RECT shown{};
    std::thread user([&] {
        if (const HWND w = wait_for_popup(3s)) {
            ::GetWindowRect(w, &shown);
            key(VK_ESCAPE);
            wait_until_gone(w, 3s);
        }
    });
    form->Perform(CM_DIALOGCHAR, 'F', 0);
    user.join();
    settle();
    TSkinNCMenuItem* file = items()[0];
    RECT w{};
    ::GetWindowRect(form->Handle(), &w);
    EXPECT_EQ(shown.left, w.left + file->Pos().X() - menu_skin->BorderOffset());
    EXPECT_EQ(shown.top, w.top + file->Pos().Y() + file->Pos().Height());

    delete menu_skin;
    EXPECT_EQ(skin->MainMenu().MenuSkin(), nullptr);
}

TEST_F(title_bar_menus, AnItemWithoutChildrenOnlyPresses) {
    make();
    menu->Items().Items(0)->Clear();
    show();
    TSkinNCMenuItem* file = items()[0];
    int clicks = 0;
    file->OnClick = [&](TObject*) { ++clicks; };
    std::atomic<bool> opened{false};
    std::thread user([&] { opened = wait_for_popup(700ms) != nullptr; });
    test::mouse_to(screen_centre(file));
    settle();
    test::left_down();
    settle();
    test::left_up();
    settle(200);
    user.join();
    EXPECT_FALSE(opened);
    EXPECT_EQ(clicks, 1);
}

// A form resource sets the settings as nested properties of the skin form; the skin form's own text gives
// back what differs from the defaults (references to the form's menus lie outside its reach).
TEST_F(title_bar_menus, SettingsTravelThroughComponentTextAsNestedProperties) {
    make();
    form->SetName(u"Form1");
    skin->SetName(u"sknfrm1");
    menu->SetName(u"MainMenu1");
    auto* menu_skin = new TSkinMenu(form);
    menu_skin->SetName(u"SkinMenu1");
    skin->MainMenu().SetMainMenu(nullptr);
    TSkinMainMenu& m = skin->MainMenu();
    struct row {
        const char16_t* line;
        std::function<bool()> live;
        bool reference = false;
    };
    const std::vector<row> rows = {
        {u"MainMenu.MainMenu = MainMenu1", [&] { return m.MainMenu() == menu; }, true},
        {u"MainMenu.MenuSkin = SkinMenu1", [&] { return m.MenuSkin() == menu_skin; }, true},
        {u"MainMenu.Font.Color = clRed", [&] { return m.Font().Color() == clRed; }},
        {u"MainMenu.Font.Height = -15", [&] { return m.Font().Height() == -15; }},
        {u"MainMenu.Font.Name = 'Arial'", [&] { return m.Font().Name() == u"Arial"; }},
        {u"MainMenu.Font.Style = [fsItalic]", [&] { return m.Font().Style().contains(TFontStyle::fsItalic); }},
        {u"MainMenu.Pos.Align = caRight", [&] { return m.Pos().Align() == caRight; }},
        {u"MainMenu.Pos.XValue = 9", [&] { return m.Pos().XValue() == 9; }},
        {u"MainMenu.Pos.YValue = 3", [&] { return m.Pos().YValue() == 3; }},
        {u"MainMenu.Pos.UseDefault = True", [&] { return m.Pos().UseDefault(); }},
        {u"MainMenu.Pictures.Image = 'menu_flat'", [&] { return m.Pictures().Image() == u"menu_flat"; }},
        {u"MainMenu.Pictures.Hot = 3", [&] { return m.Pictures().Hot() == 3; }},
        {u"MainMenu.Pictures.Count = 4", [&] { return m.Pictures().Count() == 4; }},
        {u"MainMenu.HotColor = 1234567", [&] { return m.HotColor() == 1234567; }},
        {u"MainMenu.PressColor = 7654321", [&] { return m.PressColor() == 7654321; }},
    };
    String text = u"object Form1: TForm\r\n  object sknfrm1: TSkinForm\r\n";
    for (const row& r : rows) text += u"    " + String(r.line) + u"\r\n";
    text += u"  end\r\nend\r\n";
    read_component_text(text, *form);
    const String written = write_component_text(*skin);
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.line));
        EXPECT_TRUE(r.live());
        if (!r.reference) {
            EXPECT_NE(written.find(String(u"\r\n  ") + r.line + u"\r\n"), String::npos);
        }
    }
    // The colours at their defaults are left out.
    m.SetHotColor(11463932);
    m.SetPressColor(8184058);
    const String defaults = write_component_text(*skin);
    EXPECT_EQ(defaults.find(u"MainMenu.HotColor"), String::npos);
    EXPECT_EQ(defaults.find(u"MainMenu.PressColor"), String::npos);
}

} // namespace
} // namespace kq::test
