#include "tests/engine/TestClient.h"

#include "engine/CefLibrary.h"
#include "framework/Win32.h"

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
    cef()->on_before_popup = &engine_thunk<&test_life_span::OnBeforePopup>::call;
}

int test_life_span::OnBeforePopup(cef_browser_t* browser, cef_frame_t* frame, const cef_string_t* url,
                                  const cef_string_t*, cef_window_open_disposition_t, int,
                                  const cef_popup_features_t* features, cef_window_info_t* window, cef_client_t**,
                                  cef_browser_settings_t*, int*) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto f = engine_ref<cef_frame_t>::adopt(frame);
    FLog.add("before_popup " + browser_tag(b.get()) + " " + text(url));
    if (!popup_parent) return 1;
    window->style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP;
    window->parent_window = popup_parent;
    window->x = features->x;
    window->y = features->y;
    window->width = features->width;
    window->height = features->height;
    return 0;
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
    cef()->on_status_message = &engine_thunk<&test_display::OnStatusMessage>::call;
}

void test_display::OnStatusMessage(cef_browser_t* browser, const cef_string_t* status) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    if (status_window) {
        const String t = to_string(status);
        ::SendMessageW(status_window, WM_APP, ::GetCurrentThreadId(), reinterpret_cast<LPARAM>(&t));
    }
}

test_context_menu::test_context_menu() {
    cef()->on_before_context_menu = &engine_thunk<&test_context_menu::OnBeforeContextMenu>::call;
}

void test_context_menu::OnBeforeContextMenu(cef_browser_t* browser, cef_frame_t* frame,
                                            cef_context_menu_params_t* params, cef_menu_model_t* model) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto f = engine_ref<cef_frame_t>::adopt(frame);
    const auto p = engine_ref<cef_context_menu_params_t>::adopt(params);
    const auto m = engine_ref<cef_menu_model_t>::adopt(model);
    if (!p->get_link_url || take_userfree(p->get_link_url(p.get())).empty()) m->remove(m.get(), removed_command);
}

test_dialogs::test_dialogs() { cef()->on_jsdialog = &engine_thunk<&test_dialogs::OnJsdialog>::call; }

int test_dialogs::OnJsdialog(cef_browser_t* browser, const cef_string_t*, const cef_string_t*, cef_jsdialog_type_t,
                             const cef_string_t*, const cef_string_t*, cef_jsdialog_callback_t* callback,
                             int* suppress) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto c = engine_ref<cef_jsdialog_callback_t>::adopt(callback);
    const String ok = u"ok";
    const cef_string_t input = cef_string_view(ok);
    c->cont(c.get(), 1, &input);
    *suppress = 0;
    return 1;
}

test_requests::test_requests() {
    cef()->get_auth_credentials = &engine_thunk<&test_requests::GetAuthCredentials>::call;
}

int test_requests::GetAuthCredentials(cef_browser_t* browser, cef_frame_t* frame, int, const cef_string_t*, int,
                                      const cef_string_t*, const cef_string_t*, cef_auth_callback_t* callback) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto f = engine_ref<cef_frame_t>::adopt(frame);
    const auto c = engine_ref<cef_auth_callback_t>::adopt(callback);
    const String user = u"用户", password = u"pw";
    const cef_string_t u = cef_string_view(user), p = cef_string_view(password);
    c->cont(c.get(), &u, &p);
    return 1;
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
      FDisplay(make_engine_object<test_display>(log)), FContextMenu(make_engine_object<test_context_menu>()),
      FDialogs(make_engine_object<test_dialogs>()), FRequests(make_engine_object<test_requests>()) {
    cef()->get_context_menu_handler = &engine_thunk<&test_client::GetContextMenuHandler>::call;
    cef()->get_jsdialog_handler = &engine_thunk<&test_client::GetJsdialogHandler>::call;
    cef()->get_request_handler = &engine_thunk<&test_client::GetRequestHandler>::call;
    cef()->get_life_span_handler = &engine_thunk<&test_client::GetLifeSpanHandler>::call;
    cef()->get_load_handler = &engine_thunk<&test_client::GetLoadHandler>::call;
    cef()->get_display_handler = &engine_thunk<&test_client::GetDisplayHandler>::call;
    cef()->on_process_message_received = &engine_thunk<&test_client::OnProcessMessageReceived>::call;
}

namespace {
std::string thread_of_call() {
    const cef_exports& api = engine_api();
    return api.cef_currently_on(TID_UI) ? "ui" : api.cef_currently_on(TID_RENDERER) ? "renderer" : "other";
}

std::string message_text(cef_process_message_t* m) {
    std::string text = string_to_utf8(take_userfree(m->get_name(m)));
    const auto args = engine_ref<cef_list_value_t>::adopt(m->get_argument_list(m));
    for (size_t i = 0; i < args->get_size(args.get()); ++i) {
        const int n = static_cast<int>(i);
        text += ' ';
        switch (args->get_type(args.get(), n)) {
        case VTYPE_STRING: text += string_to_utf8(take_userfree(args->get_string(args.get(), n))); break;
        case VTYPE_INT: text += std::to_string(args->get_int(args.get(), n)); break;
        default: text += '?'; break;
        }
    }
    return text;
}
} // namespace

int test_client::OnProcessMessageReceived(cef_browser_t* browser, cef_process_id_t source,
                                          cef_process_message_t* message) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto m = engine_ref<cef_process_message_t>::adopt(message);
    FLog.add("process_message " + browser_tag(b.get()) + " from " + (source == PID_RENDERER ? "renderer" : "browser") +
             " on " + thread_of_call() + ": " + message_text(m.get()));
    return 1;
}

test_render_process::test_render_process(event_log& log) : FLog(log) {
    cef()->on_browser_created = &engine_thunk<&test_render_process::OnBrowserCreated>::call;
    cef()->on_browser_destroyed = &engine_thunk<&test_render_process::OnBrowserDestroyed>::call;
    cef()->on_process_message_received = &engine_thunk<&test_render_process::OnProcessMessageReceived>::call;
}

void test_render_process::OnBrowserCreated(cef_browser_t* browser) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    FLog.add("renderer browser_created " + browser_tag(b.get()) + " on " + thread_of_call());
}

void test_render_process::OnBrowserDestroyed(cef_browser_t* browser) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    FLog.add("renderer browser_destroyed " + browser_tag(b.get()));
}

int test_render_process::OnProcessMessageReceived(cef_browser_t* browser, cef_process_id_t source,
                                                  cef_process_message_t* message) {
    const auto b = engine_ref<cef_browser_t>::adopt(browser);
    const auto m = engine_ref<cef_process_message_t>::adopt(message);
    FLog.add("renderer process_message from " + std::string(source == PID_BROWSER ? "browser" : "renderer") + " on " +
             thread_of_call() + ": " + message_text(m.get()));
    if (take_userfree(m->get_name(m.get())) != u"ask") return 0;

    const auto args = engine_ref<cef_list_value_t>::adopt(m->get_argument_list(m.get()));
    const String name = take_userfree(args->get_string(args.get(), 0));
    const auto frame = engine_ref<cef_frame_t>::adopt(b->get_main_frame(b.get()));
    const auto context = engine_ref<cef_v8context_t>::adopt(frame->get_v8context(frame.get()));
    String value;
    if (context && context->enter(context.get())) {
        const auto global = engine_ref<cef_v8value_t>::adopt(context->get_global(context.get()));
        const cef_string_t key = cef_string_view(name);
        const auto v = engine_ref<cef_v8value_t>::adopt(global->get_value_bykey(global.get(), &key));
        if (v->is_string(v.get())) value = take_userfree(v->get_string_value(v.get()));
        context->exit(context.get());
    }
    const String reply_name = u"answer";
    const cef_string_t reply_text = cef_string_view(reply_name);
    const auto reply = engine_ref<cef_process_message_t>::adopt(engine_api().cef_process_message_create(&reply_text));
    const auto reply_args = engine_ref<cef_list_value_t>::adopt(reply->get_argument_list(reply.get()));
    const cef_string_t n = cef_string_view(name);
    const cef_string_t v = cef_string_view(value);
    reply_args->set_string(reply_args.get(), 0, &n);
    reply_args->set_string(reply_args.get(), 1, &v);
    b->send_process_message(b.get(), PID_BROWSER, reply.pass());
    return 1;
}

test_browser_process::test_browser_process(event_log& log) : FLog(log) {
    cef()->on_context_initialized = &engine_thunk<&test_browser_process::OnContextInitialized>::call;
}

void test_browser_process::OnContextInitialized() { FLog.add("context_initialized"); }

test_app::test_app(event_log& log)
    : FLog(log), FBrowserProcess(make_engine_object<test_browser_process>(log)),
      FRenderProcess(make_engine_object<test_render_process>(log)) {
    cef()->get_render_process_handler = &engine_thunk<&test_app::GetRenderProcessHandler>::call;
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
