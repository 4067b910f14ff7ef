#include "skin/uSkinMenu.h"

#include "framework/Files.h"
#include "framework/Forms.h"
#include "framework/Handles.h"
#include "tests/framework/visual/VisualFixture.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
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

    static std::wstring command(const wchar_t* test, bool helper) {
        wchar_t exe[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
        return L"\"" + std::wstring(exe) + L"\" --gtest_also_run_disabled_tests --gtest_filter=uSkinMenuProgram." + test +
               (helper ? L" --type=renderer" : L"");
    }
    static unique_kernel_handle start(std::wstring line) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
            return {};
        ::CloseHandle(pi.hThread);
        return unique_kernel_handle(pi.hProcess);
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
        p.process = start(command(L"DISABLED_RunsUntilReleased", helper));
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
        const unique_kernel_handle probe = start(command(L"DISABLED_ReportsSelectionFade", true));
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
