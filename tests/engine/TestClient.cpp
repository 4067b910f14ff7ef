#include "tests/engine/TestClient.h"

namespace kq::test {

namespace {
std::string text(const cef_string_t* s) { return string_to_utf8(to_string(s)); }
} // namespace

std::string browser_tag(cef_browser_t* browser) {
    return browser ? std::to_string(browser->get_identifier(browser)) : "none";
}

test_life_span::test_life_span(event_log& log) : FLog(log) {
    cef()->on_after_created = &engine_thunk<&test_life_span::OnAfterCreated>::call;
    cef()->do_close = &engine_thunk<&test_life_span::DoClose>::call;
    cef()->on_before_close = &engine_thunk<&test_life_span::OnBeforeClose>::call;
}

void test_life_span::OnAfterCreated(cef_browser_t* browser) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    FLog.add("after_created " + browser_tag(b.get()));
}

int test_life_span::DoClose(cef_browser_t* browser) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    FLog.add("do_close " + browser_tag(b.get()));
    return close_refused ? 1 : 0;
}

void test_life_span::OnBeforeClose(cef_browser_t* browser) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    FLog.add("before_close " + browser_tag(b.get()));
}

test_load::test_load(event_log& log) : FLog(log) {
    cef()->on_loading_state_change = &engine_thunk<&test_load::OnLoadingStateChange>::call;
    cef()->on_load_start = &engine_thunk<&test_load::OnLoadStart>::call;
    cef()->on_load_end = &engine_thunk<&test_load::OnLoadEnd>::call;
    cef()->on_load_error = &engine_thunk<&test_load::OnLoadError>::call;
}

void test_load::OnLoadingStateChange(cef_browser_t* browser, int loading, int back, int forward) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    FLog.add("loading " + browser_tag(b.get()) + " " + std::to_string(loading) + std::to_string(back) +
             std::to_string(forward));
}

void test_load::OnLoadStart(cef_browser_t* browser, cef_frame_t* frame) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto f = engine_ref<cef_frame_t>::adopt(frame);
    FLog.add("load_start " + browser_tag(b.get()) + (f->is_main(f.get()) ? " main" : " sub"));
}

void test_load::OnLoadEnd(cef_browser_t* browser, cef_frame_t* frame, int status) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto f = engine_ref<cef_frame_t>::adopt(frame);
    FLog.add("load_end " + browser_tag(b.get()) + " " + std::to_string(status));
}

void test_load::OnLoadError(cef_browser_t* browser, cef_frame_t* frame, cef_errorcode_t code,
                            const cef_string_t* error, const cef_string_t* url) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto f = engine_ref<cef_frame_t>::adopt(frame);
    FLog.add("load_error " + browser_tag(b.get()) + " " + std::to_string(code) + " " + text(error) + " " + text(url));
}

test_display::test_display(event_log& log) : FLog(log) {
    cef()->on_address_change = &engine_thunk<&test_display::OnAddressChange>::call;
    cef()->on_title_change = &engine_thunk<&test_display::OnTitleChange>::call;
}

void test_display::OnAddressChange(cef_browser_t* browser, cef_frame_t* frame, const cef_string_t* url) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto f = engine_ref<cef_frame_t>::adopt(frame);
    FLog.add("address " + browser_tag(b.get()) + " " + text(url));
}

void test_display::OnTitleChange(cef_browser_t* browser, const cef_string_t* title) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    FLog.add("title " + browser_tag(b.get()) + " " + text(title));
}

test_client::test_client(event_log& log)
    : FLog(log), FLifeSpan(make_engine_object<test_life_span>(log)), FLoad(make_engine_object<test_load>(log)),
      FDisplay(make_engine_object<test_display>(log)) {
    cef()->get_life_span_handler = &engine_thunk<&test_client::GetLifeSpanHandler>::call;
    cef()->get_load_handler = &engine_thunk<&test_client::GetLoadHandler>::call;
    cef()->get_display_handler = &engine_thunk<&test_client::GetDisplayHandler>::call;
    cef()->on_process_message_received = &engine_thunk<&test_client::OnProcessMessageReceived>::call;
}

int test_client::OnProcessMessageReceived(cef_browser_t* browser, cef_process_id_t source,
                                          cef_process_message_t* message) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto m = engine_ref<cef_process_message_t>::adopt(message);
    FLog.add("process_message " + browser_tag(b.get()) + " from " + (source == PID_RENDERER ? "renderer" : "browser") +
             " " + string_to_utf8(take_userfree(m->get_name(m.get()))));
    return 1;
}

test_browser_process::test_browser_process(event_log& log) : FLog(log) {
    cef()->on_context_initialized = &engine_thunk<&test_browser_process::OnContextInitialized>::call;
}

void test_browser_process::OnContextInitialized() { FLog.add("context_initialized"); }

test_app::test_app(event_log& log) : FLog(log), FBrowserProcess(make_engine_object<test_browser_process>(log)) {
    cef()->on_before_command_line_processing = &engine_thunk<&test_app::OnBeforeCommandLineProcessing>::call;
    cef()->get_browser_process_handler = &engine_thunk<&test_app::GetBrowserProcessHandler>::call;
}

void test_app::OnBeforeCommandLineProcessing(const cef_string_t* type, cef_command_line_t* line) {
    const auto l = engine_ref<cef_command_line_t>::adopt(line);
    FLog.add("command_line type=" + text(type));
    const String switch_name = u"disable-gpu";
    const cef_string_t name = cef_string_view(switch_name);
    l->append_switch(l.get(), &name);
}

} // namespace kq::test
