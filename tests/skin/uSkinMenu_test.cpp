#include "skin/uSkinMenu.h"

#include "framework/Files.h"
#include "framework/Forms.h"
#include "framework/Handles.h"
#include "tests/TestProcess.h"
#include "tests/framework/visual/VisualFixture.h"
#include "skin/uSkRasterLib.h"
#include "skin/uSkinResManager.h"
#include "tests/skin/SkinControlTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

using namespace kq;
using kq::test::visual_test;

namespace {

// --- The menu window's class style

// Waits for a shown popup-menu window, hands it to look, then closes the menu.
std::thread play_menu_user(std::function<void(HWND)> look) {
    return std::thread([look = std::move(look)] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        HWND menu = nullptr;
        while (!menu && std::chrono::steady_clock::now() < end) {
            menu = ::FindWindowW(L"#32768", nullptr);
            if (menu && !::IsWindowVisible(menu)) menu = nullptr;
            ::Sleep(10);
        }
        if (menu) look(menu);
        ::SendMessageW(PopupList->Window(), WM_CANCELMODE, 0, 0);
    });
}

TEST_F(visual_test, ATrackedPopupMenuHasNoDropShadow) {
    TPopupMenu menu(nullptr);
    for (const char16_t* caption : {u"Open", u"Close"}) {
        auto* item = new TMenuItem(&menu);
        item->SetCaption(caption);
        menu.Items().Add(item);
    }
    // The class keeps the style once removed: put it back for the menu to come.
    std::thread first = play_menu_user([](HWND menu) {
        ::SetClassLongPtrW(menu, GCL_STYLE, static_cast<LONG_PTR>(::GetClassLongPtrW(menu, GCL_STYLE) | CS_DROPSHADOW));
    });
    menu.Popup(20, 20);
    first.join();

    std::atomic<ULONG_PTR> style{CS_DROPSHADOW};
    std::atomic<bool> seen{false};
    std::thread second = play_menu_user([&](HWND menu) {
        style = ::GetClassLongPtrW(menu, GCL_STYLE);
        seen = true;
    });
    menu.Popup(20, 20);
    second.join();
    ASSERT_TRUE(seen);
    EXPECT_EQ(style & CS_DROPSHADOW, 0u);
}

// --- TSkinMenu

class skin_menus : public visual_test {
protected:
    void TearDown() override {
        delete form;
        visual_test::TearDown();
    }
    // A form with a popup menu of these captions ("-" a separator) and, made after them, a skin menu.
    void make(std::initializer_list<const char16_t*> captions) {
        form = CreateForm<TForm>(Application);
        form->SetBounds(40, 40, 300, 200);
        menu = new TPopupMenu(form);
        menu->SetOwnerDraw(true);
        for (const char16_t* caption : captions) {
            auto* item = new TMenuItem(form);
            item->SetCaption(caption);
            menu->Items().Add(item);
        }
        skin = new TSkinMenu(form);
    }
    TMenuItem* item(int index) const { return menu->Items().Items(index); }

    TForm* form = nullptr;
    TPopupMenu* menu = nullptr;
    TSkinMenu* skin = nullptr;
};

// Item heights follow the highlight image (22 high here) and the item's place in its menu.
TEST_F(skin_menus, MeasuresItemsByTheHighlightAndTheirPlace) {
    struct row {
        std::vector<const char16_t*> captions;
        std::vector<int> heights;
    };
    const row rows[] = {
        {{u"Only"}, {22 + 3 + 6}},
        {{u"First", u"-", u"Middle", u"Last"}, {22 + 3 + 3, 3, 22 + 3, 22 + 3 + 3}},
    };
    for (const row& r : rows) {
        make({});
        for (const char16_t* caption : r.captions) {
            auto* i = new TMenuItem(form);
            i->SetCaption(caption);
            menu->Items().Add(i);
            skin->DrawMenuItem(i);
        }
        for (size_t i = 0; i < r.captions.size(); ++i) {
            SCOPED_TRACE(i);
            ASSERT_TRUE(item(static_cast<int>(i))->OnMeasureItem);
            int width = 0, height = 17;
            item(static_cast<int>(i))->OnMeasureItem(item(static_cast<int>(i)), form->Canvas(), width, height);
            EXPECT_EQ(height, r.heights[i]);
            if (!item(static_cast<int>(i))->IsLine()) {
                EXPECT_GT(width, 45);
            }
        }
        delete form;
        form = nullptr;
    }
    MenuLayerReady = true;
}

// Only items without drawing of their own are skinned, and a shortcut widens its item.
TEST_F(skin_menus, KeepsAnItemsOwnDrawingAndWidensForShortcuts) {
    form = CreateForm<TForm>(Application);
    menu = new TPopupMenu(form);
    auto* own = new TMenuItem(form);
    own->OnAdvancedDrawItem = [](TObject*, TCanvas&, const RECT&, TOwnerDrawState) {};
    auto* plain = new TMenuItem(form);
    auto* with_key = new TMenuItem(form);
    for (TMenuItem* i : {own, plain, with_key}) {
        i->SetCaption(u"Save");
        menu->Items().Add(i);
    }
    with_key->SetShortCut(ShortCut('S', TShiftState{TShiftStateFlag::ssCtrl}));
    skin = new TSkinMenu(form);
    EXPECT_FALSE(own->OnMeasureItem);
    int plain_width = 0, key_width = 0, height = 0;
    plain->OnMeasureItem(plain, form->Canvas(), plain_width, height);
    with_key->OnMeasureItem(with_key, form->Canvas(), key_width, height);
    EXPECT_GT(key_width, plain_width);
    // gone with the skin
    delete skin;
    EXPECT_FALSE(plain->OnMeasureItem);
    EXPECT_FALSE(plain->OnAdvancedDrawItem);
    MenuLayerReady = true;
}

// A real popup menu drawn by the skin: a layered window showing the composed picture, also without the
// background image.
TEST_F(skin_menus, DrawsTheMenuWindowAsALayeredPicture) {
    for (const bool background : {true, false}) {
        SCOPED_TRACE(background ? "background" : "no background image");
        make({u"Open", u"-", u"Close"});
        if (!background) skin->SetMenu_bk(u"NoSuchSkinImage");
        TBitmap32 shown;
        for (int i = 0; i < 3; ++i) {
            auto draw = item(i)->OnAdvancedDrawItem;
            item(i)->OnAdvancedDrawItem = [&, draw](TObject* sender, TCanvas& canvas, const RECT& rect,
                                                   TOwnerDrawState state) {
                draw(sender, canvas, rect, state);
                if (TBitmap32* picture = skin->MenuWnds().GetHBITMAP(skin->MenuWindowHandle())) shown.Assign(picture);
            };
        }
        std::atomic<LONG_PTR> ex_style{0};
        std::thread user = play_menu_user([&](HWND menu_window) {
            ::Sleep(300);
            ex_style = ::GetWindowLongPtrW(menu_window, GWL_EXSTYLE);
        });
        menu->Popup(60, 60);
        user.join();
        EXPECT_TRUE(ex_style & WS_EX_LAYERED);
        EXPECT_TRUE(MenuLayerReady);
        ASSERT_GT(shown.Width(), 0);
        const std::uint32_t middle_alpha = shown.GetPixel(shown.Width() / 2, shown.Height() - 4) >> 24;
        if (background) {
            EXPECT_GT(middle_alpha, 0u);
            shown.SaveToFile(u"skin_menu.bmp");
        } else {
            EXPECT_EQ(middle_alpha, 0u);
        }
        delete form;
        form = nullptr;
    }
}

// Which frames of a strip show at (x, y) of the picture, each frame laid over the underlay there.
std::vector<int> frames_shown(const TBitmap32& picture, const TBitmap32& underlay, const TDynSkinImage& frames,
                              int x, int y) {
    std::vector<int> shown;
    for (size_t k = 0; k < frames.size(); ++k) {
        TBitmap32 expected;
        expected.Assign(&underlay);
        frames[k]->DrawTo(&expected, x, y);
        bool same = true;
        for (int j = 0; j < frames[k]->Height() && same; ++j)
            for (int i = 0; i < frames[k]->Width() && same; ++i)
                same = picture.GetPixel(x + i, y + j) == expected.GetPixel(x + i, y + j);
        if (same) shown.push_back(static_cast<int>(k));
    }
    return shown;
}

// Check, radio and sub-menu marks: the frame of its strip that the item's state asks for, in its place,
// in the picture the menu window shows, which the screen shows too. The person's pointer selects the items.
TEST_F(skin_menus, MarksShowTheFrameOfTheItemsState) {
    make({u"Check with a longer caption", u"Radio", u"Off", u"S", u"T"});
    item(0)->SetChecked(true);
    item(1)->SetRadioItem(true);
    item(1)->SetChecked(true);
    item(2)->SetChecked(true);
    item(2)->SetEnabled(false);
    for (const int i : {3, 4}) {
        auto* child = new TMenuItem(form);
        child->SetCaption(u"Child");
        item(i)->Add(child);
    }
    item(4)->SetEnabled(false);

    struct shot {
        std::unique_ptr<TBitmap32> picture;
        RECT rect;
        bool selected;
    };
    std::vector<shot> shots[5];
    std::atomic<int> selected_draws[5] = {};
    std::mutex latest_guard;
    TBitmap32 latest; // the menu window's picture as last drawn
    for (int i = 0; i < 5; ++i) {
        auto draw = item(i)->OnAdvancedDrawItem;
        item(i)->OnAdvancedDrawItem = [&, draw, i](TObject* sender, TCanvas& canvas, const RECT& rect,
                                                  TOwnerDrawState state) {
            draw(sender, canvas, rect, state);
            TBitmap32* picture = skin->MenuWnds().GetHBITMAP(skin->MenuWindowHandle());
            if (!picture) return;
            const bool selected = state.contains(TOwnerDrawStateFlag::odSelected);
            shots[i].push_back({std::make_unique<TBitmap32>(), rect, selected});
            shots[i].back().picture->Assign(picture);
            if (selected) ++selected_draws[i];
            const std::lock_guard lock(latest_guard);
            latest.Assign(picture);
        };
    }
    // The pointer on the sub-menu item, then on the check and radio items, each until it is drawn selected.
    std::atomic<bool> done{false}, on_screen{false};
    std::thread user = play_menu_user([&](HWND window) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        const auto menu_handle = reinterpret_cast<HMENU>(::SendMessageW(window, MN_GETHMENU, 0, 0));
        for (const int i : {3, 0, 1}) {
            RECT r{};
            if (!::GetMenuItemRect(window, menu_handle, static_cast<UINT>(i), &r)) break;
            // Moved again now and then: a move that comes before the menu tracks the pointer is lost.
            for (int step = 0; selected_draws[i] == 0 && std::chrono::steady_clock::now() < end; ++step) {
                if (step % 20 == 0) test::mouse_to({(r.left + r.right) / 2 + step / 20 % 2, (r.top + r.bottom) / 2});
                ::Sleep(10);
            }
        }
        // The screen shows the picture: its opaque pixels as they are.
        while (!on_screen && std::chrono::steady_clock::now() < end) {
            const test::window_pixels screen(window);
            const std::lock_guard lock(latest_guard);
            bool same = screen.width() == latest.Width() && screen.height() == latest.Height();
            int opaque = 0; // the highlight's at least
            for (int y = 0; same && y < screen.height(); ++y)
                for (int x = 0; same && x < screen.width(); ++x)
                    if (const TColor32 p = latest.GetPixel(x, y); p >> 24 == 0xFF) {
                        same = screen.at(x, y) == (p & 0xFFFFFFu);
                        ++opaque;
                    }
            on_screen = same && opaque > 100;
            if (!on_screen) ::Sleep(50);
        }
        done = true;
    });
    menu->Popup(60, 60);
    user.join();
    ASSERT_TRUE(done);
    EXPECT_TRUE(on_screen);

    TDynSkinImage checks, radios, arrows;
    SplitImageStrip(SkinResManager()->GetImageByName(u"SkinMenu_icon_check"), 3, checks);
    SplitImageStrip(SkinResManager()->GetImageByName(u"SkinMenu_icon_radio"), 3, radios);
    SplitImageStrip(SkinResManager()->GetImageByName(u"SkinMenu_sub_arrow"), 3, arrows);
    ASSERT_EQ(checks.size(), 3u);
    struct row {
        const char* what;
        const TDynSkinImage* strip;
        int plain, selected; // frames; -1: the item is not drawn selected
    };
    const row rows[] = {
        {"check", &checks, 0, 1}, {"radio", &radios, 0, 1}, {"disabled check", &checks, 2, -1},
        {"sub-menu", &arrows, 0, 1}, {"disabled sub-menu", &arrows, 2, -1},
    };
    constexpr int half = 3; // half the border offset
    for (int i = 0; i < 5; ++i) {
        const row& r = rows[i];
        SCOPED_TRACE(r.what);
        bool seen_plain = false, seen_selected = false;
        for (const shot& s : shots[i]) {
            if (s.selected && r.selected < 0) continue;
            (s.selected ? seen_selected : seen_plain) = true;
            // The item's rectangle in the window's picture, narrowed at the menu's first and last items.
            TRect R1{s.rect.left + half, s.rect.top + half, s.rect.right + half, s.rect.bottom + half};
            if (i == 0) R1.Top += half;
            if (i == 4) R1.Bottom -= half;
            TBitmap32 underlay;
            underlay.SetSize(s.picture->Width(), s.picture->Height());
            underlay.Clear(0);
            DrawNineSliceThirds(SkinResManager()->GetImageByName(u"SkinMenu_bk"), &underlay, true);
            if (s.selected) {
                const TRect H{R1.Left + half + 1, R1.Top + 1, R1.Right - half - 1, R1.Bottom - 1};
                ResizeSkinImage(SkinResManager()->GetImageByName(u"SkinMenu_hilight"), H.Right - H.Left,
                                H.Bottom - H.Top)
                    ->DrawTo(&underlay, H.Left, H.Top);
            }
            const TSkinImage& frame = *(*r.strip)[0];
            const bool arrow = r.strip == &arrows;
            const int x = arrow ? R1.Right - frame.Width() - 2 * half - 4 : 8;
            const int y = arrow ? R1.Top + (R1.Bottom - R1.Top - frame.Height()) / 2
                                : R1.Top + (R1.Bottom - R1.Top - frame.Height()) / 2 + 1;
            EXPECT_EQ(frames_shown(*s.picture, underlay, *r.strip, x, y),
                      std::vector<int>{s.selected ? r.selected : r.plain})
                << (s.selected ? "selected" : "plain");
        }
        EXPECT_TRUE(seen_plain);
        EXPECT_EQ(seen_selected, r.selected >= 0);
    }
}

// --- The session's selection fade, across a program's processes

// The program these tests run in plays the other processes: the test environment runs the skin
// library's start-up and shutdown around them, as a program's module steps do.
constexpr wchar_t run_variable[] = L"KQ_SKIN_MENU_RUN";
constexpr wchar_t expect_variable[] = L"KQ_SKIN_MENU_EXPECT";

std::wstring variable(const wchar_t* name) {
    wchar_t value[256] = {};
    const DWORD n = ::GetEnvironmentVariableW(name, value, 256);
    return n > 0 && n < 256 ? std::wstring(value, n) : std::wstring();
}

// Waits for the event while serving messages (the setting's change is broadcast to every window).
bool wait_serving(HANDLE event, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (::MsgWaitForMultipleObjects(1, &event, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    return false;
}

// A process of the program that lives until the test releases it.
TEST(uSkinMenuProgram, DISABLED_RunsUntilReleased) {
    const std::wstring name = variable(run_variable);
    ASSERT_FALSE(name.empty());
    const unique_kernel_handle up(::OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L".up").c_str()));
    const unique_kernel_handle end(::OpenEventW(SYNCHRONIZE, FALSE, (name + L".end").c_str()));
    ASSERT_TRUE(up && end);
    ::SetEvent(up.get());
    EXPECT_TRUE(wait_serving(end.get(), 60000));
}

// The session's selection fade as this process found it, as expected. Run as a helper process, which
// changes nothing.
TEST(uSkinMenuProgram, DISABLED_ReportsSelectionFade) {
    BOOL fade = 2;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETSELECTIONFADE, 0, &fade, 0));
    const bool found = SavedSelectionFade().value_or(fade != FALSE);
    EXPECT_EQ(found ? L"1" : L"0", variable(expect_variable));
}

class program_processes : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto& p : FRunning) {
            ::SetEvent(p.end.get());
            ::WaitForSingleObject(p.process.get(), 10000);
        }
        ::SetEnvironmentVariableW(run_variable, nullptr);
        ::SetEnvironmentVariableW(expect_variable, nullptr);
        ::SystemParametersInfoW(SPI_SETSELECTIONFADE, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(FBefore)),
                                SPIF_SENDCHANGE);
    }
    void SetUp() override { ::SystemParametersInfoW(SPI_GETSELECTIONFADE, 0, &FBefore, 0); }

    static unique_kernel_handle start(const wchar_t* name, bool helper) {
        return test::start_this_program(std::wstring(L"--gtest_also_run_disabled_tests --gtest_filter=uSkinMenuProgram.") +
                                            name + (helper ? L" --type=renderer" : L""),
                                        CREATE_NO_WINDOW);
    }
    static DWORD exit_code(HANDLE process) {
        if (!wait_serving(process, 60000)) return STILL_ACTIVE;
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeProcess(process, &code);
        return code;
    }

    // Starts a process of the program (a helper one with the engine's process-type switch) and waits
    // until its start-up has run; returns its index for end().
    size_t begin(bool helper) {
        const std::wstring name = L"kq-skin-menu-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(FRunning.size());
        running p{unique_kernel_handle(::CreateEventW(nullptr, TRUE, FALSE, (name + L".up").c_str())),
                  unique_kernel_handle(::CreateEventW(nullptr, TRUE, FALSE, (name + L".end").c_str())), {}};
        ::SetEnvironmentVariableW(run_variable, name.c_str());
        p.process = start(L"DISABLED_RunsUntilReleased", helper);
        ::SetEnvironmentVariableW(run_variable, nullptr);
        EXPECT_TRUE(p.process);
        EXPECT_TRUE(wait_serving(p.up.get(), 60000));
        FRunning.push_back(std::move(p));
        return FRunning.size() - 1;
    }
    void end(size_t index) {
        ::SetEvent(FRunning[index].end.get());
        EXPECT_EQ(exit_code(FRunning[index].process.get()), 0u);
    }
    // What a fresh process reads: this one keeps the value it read first.
    static bool fade_is(bool expected) {
        ::SetEnvironmentVariableW(expect_variable, expected ? L"1" : L"0");
        const unique_kernel_handle probe = start(L"DISABLED_ReportsSelectionFade", true);
        ::SetEnvironmentVariableW(expect_variable, nullptr);
        return probe && exit_code(probe.get()) == 0;
    }

    struct running {
        unique_kernel_handle up, end, process;
    };
    std::vector<running> FRunning;
    BOOL FBefore = FALSE;
};

// The engine's helper processes start after the main process and may end after it.
TEST_F(program_processes, SelectionFadeAfterTheProgramIsWhatItWasBefore) {
    ASSERT_TRUE(::SystemParametersInfoW(SPI_SETSELECTIONFADE, 0, reinterpret_cast<void*>(TRUE), SPIF_SENDCHANGE));
    ASSERT_TRUE(fade_is(true));
    const size_t main = begin(false);
    EXPECT_TRUE(fade_is(false)) << "the main process switches it off while it runs";
    const size_t helper = begin(true);
    end(main);
    EXPECT_TRUE(fade_is(true));
    end(helper);
    EXPECT_TRUE(fade_is(true)) << "a helper process ending last must not put back what it found";
}

} // namespace
