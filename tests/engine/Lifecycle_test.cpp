#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/CefInterfaces.h"
#include "tests/engine/StandinFixture.h"
#include "tests/TestProcess.h"
#include "framework/Win32.h"

namespace kq {
namespace {

std::string read_file(const std::wstring& path) {
    std::ifstream in(path.c_str());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool is_sub_process() { return std::wstring(::GetCommandLineW()).find(L"--type=") != std::wstring::npos; }

using test::StandinEngine;
using test::test_window;

TEST_F(StandinEngine, InitialiseChecksTheSettingsSizeAndRunsOnce) {
    const cef_main_args_t args{::GetModuleHandleW(nullptr)};
    cef_settings_t settings{};
    settings.size = sizeof settings - 4;
    auto app = make_engine_object<test::test_app>(FLog);
    EXPECT_EQ(api().cef_initialize(&args, &settings, app.pass(), nullptr), 0);
    start();
    settings.size = sizeof settings;
    EXPECT_EQ(api().cef_initialize(&args, &settings, app.pass(), nullptr), 0);
    std::vector<std::string> details;
    for (const auto& c : control().calls("cef_initialize")) details.push_back(c.detail.substr(0, c.detail.find(" no_sandbox")));
    EXPECT_EQ(details, (std::vector<std::string>{"rejected: settings size " + std::to_string(sizeof settings - 4),
                                                 "size=" + std::to_string(sizeof settings) + " single_process=1",
                                                 "rejected: already initialised"}));
}

// A task that runs the engine's message-loop work from inside that work.
class nested_loop_task : public engine_object<cef_task_t> {
public:
    explicit nested_loop_task(const cef_exports& api) : FApi(api) {
        cef()->execute = &engine_thunk<&nested_loop_task::Execute>::call;
    }
    bool ran_on_ui = false;

private:
    void Execute() {
        ran_on_ui = FApi.cef_currently_on(TID_UI) != 0;
        FApi.cef_do_message_loop_work();
    }
    const cef_exports& FApi;
};

TEST_F(StandinEngine, MessageLoopWorkReportsReentry) {
    start();
    auto task = make_engine_object<nested_loop_task>(api());
    EXPECT_EQ(api().cef_post_task(TID_UI, task.pass()), 1);
    pump();
    EXPECT_TRUE(engine_impl<nested_loop_task>(task.get())->ran_on_ui);
    const auto calls = control().calls("cef_do_message_loop_work");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].detail, "re-entered");
    EXPECT_EQ(calls[0].thread, "ui");
}

TEST_F(StandinEngine, ShutdownRecordsAndClosesBrowsersLeftOpen) {
    test_window window;
    start();
    auto client = make_engine_object<test::test_client>(FLog);
    create_sync(window.get(), {0, 0, 100, 100}, client);
    create_sync(window.get(), {0, 0, 100, 100}, client);
    pump();
    client.reset();
    api().cef_shutdown();
    FStarted = false;
    EXPECT_EQ(control().calls("cef_shutdown").at(0).detail, "browsers=2");
    EXPECT_EQ(::GetWindow(window.get(), GW_CHILD), nullptr);
}

// Run as a child process with --type: the engine's sub-process road.
TEST(StandinSubProcess, RunsTheCommandLineHookAndEnds) {
    if (!is_sub_process()) GTEST_SKIP() << "runs only as a sub-process";
    engine_library library;
    ASSERT_EQ(library.load(test::standin_path()), engine_load_status::loaded);
    test::event_log log;
    auto app = make_engine_object<test::test_app>(log);
    const cef_main_args_t args{::GetModuleHandleW(nullptr)};
    EXPECT_EQ(library.exports().cef_execute_process(&args, app.pass(), nullptr), 0);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"command_line type=renderer"});
}

TEST(StandinSubProcess, ExecuteProcessRecordsTheSwitchesOfASubProcess) {
    if (is_sub_process()) GTEST_SKIP();
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"standin_switches.txt";
    ::DeleteFileW(file.c_str());
    ASSERT_TRUE(::SetEnvironmentVariableW(L"STANDIN_SWITCHES_FILE", file.c_str()));
    const unique_kernel_handle child =
        test::start_this_program(L"--gtest_filter=StandinSubProcess.RunsTheCommandLineHookAndEnds --type=renderer");
    ::SetEnvironmentVariableW(L"STANDIN_SWITCHES_FILE", nullptr);
    ASSERT_TRUE(child);
    ASSERT_EQ(::WaitForSingleObject(child.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(child.get(), &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(read_file(file), "--gtest_filter=StandinSubProcess.RunsTheCommandLineHookAndEnds --type=renderer --disable-gpu\n");
    ::DeleteFileW(file.c_str());
}

TEST_F(StandinEngine, WithSubProcessesTheRendererIsStartedOnce) {
    if (is_sub_process()) GTEST_SKIP();
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"standin_renderer_switches.txt";
    ::DeleteFileW(file.c_str());
    ::SetEnvironmentVariableW(L"STANDIN_SWITCHES_FILE", file.c_str());
    ::SetEnvironmentVariableW(L"STANDIN_RENDERER_ARGUMENTS",
                              L"--gtest_filter=StandinSubProcess.RunsTheCommandLineHookAndEnds");
    start(false);
    ::SetEnvironmentVariableW(L"STANDIN_SWITCHES_FILE", nullptr);
    ::SetEnvironmentVariableW(L"STANDIN_RENDERER_ARGUMENTS", nullptr);
    EXPECT_EQ(control().calls("launch_renderer").at(0).detail, "--type=renderer");
    std::string text;
    for (int i = 0; i < 300 && text.empty(); ++i) {
        ::Sleep(100);
        text = read_file(file);
    }
    EXPECT_EQ(text, "--type=renderer --gtest_filter=StandinSubProcess.RunsTheCommandLineHookAndEnds --disable-gpu\n");
    ::DeleteFileW(file.c_str());
}

TEST(StandinObjects, AReleaseTooManyIsCounted) {
    engine_library library;
    ASSERT_EQ(library.load(test::standin_path()), engine_load_status::loaded);
    const test::standin_control control(library);
    cef_list_value_t* list = library.exports().cef_list_value_create();
    EXPECT_EQ(control.live("cef_list_value_t"), 1);
    list->base.add_ref(&list->base);
    EXPECT_EQ(list->base.release(&list->base), 0);
    EXPECT_EQ(list->base.release(&list->base), 1);
    EXPECT_EQ(control.live("cef_list_value_t"), 0);
    EXPECT_EQ(control.live("over_released"), 0);
    list->base.release(&list->base);
    EXPECT_EQ(control.live("over_released"), 1);
}

} // namespace
} // namespace kq
