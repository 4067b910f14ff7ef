#include "testengine/Browser.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <utility>

#include "testengine/ControlExports.h"
#include "testengine/Recorder.h"
#include "testengine/Runtime.h"
#include "testengine/StandinText.h"
#include "testengine/V8.h"
#include "testengine/Values.h"

#include <windows.h>

namespace kq::standin {

namespace {

constexpr wchar_t page_class[] = L"KQStandinPage";

std::mutex browsers_lock; // guards browsers, next_id and titles
std::map<int, std::shared_ptr<browser_state>> browsers;
int next_id = 1;
std::map<std::wstring, std::wstring> titles;

std::wstring title_for(const std::wstring& url) {
    const std::lock_guard lock(browsers_lock);
    const auto it = titles.find(url);
    return it == titles.end() ? url : it->second;
}

void record_on(const browser_state& b, const char* name, const std::string& detail = {}) {
    record(name, "browser=" + std::to_string(b.id) + (detail.empty() ? "" : " " + detail));
}


// --- Navigation

// The engine's sequence for one navigation, run on the UI thread in one go.
void run_navigation(const std::shared_ptr<browser_state>& b, const std::wstring& url) {
    if (b->closed) return;
    auto load = client_handler(*b, &cef_client_t::get_load_handler, "cef_load_handler_t");
    auto display = client_handler(*b, &cef_client_t::get_display_handler, "cef_display_handler_t");
    const auto state = [&](bool loading) {
        b->loading = loading;
        const int back = b->history_index > 0;
        const int forward = b->history_index + 1 < static_cast<int>(b->history.size());
        if (load && load->on_loading_state_change) load->on_loading_state_change(load.get(), browser_param(b), loading, back, forward);
    };
    state(true);
    if (load && load->on_load_start) load->on_load_start(load.get(), browser_param(b), frame_param(b));
    b->url = url;
    if (b->window) ::InvalidateRect(b->window, nullptr, TRUE);
    const cef_string_t address = borrowed(url);
    if (display && display->on_address_change) display->on_address_change(display.get(), browser_param(b), frame_param(b), &address);
    const std::wstring title = title_for(url);
    const cef_string_t title_text = borrowed(title);
    if (display && display->on_title_change) display->on_title_change(display.get(), browser_param(b), &title_text);
    if (load && load->on_load_end) load->on_load_end(load.get(), browser_param(b), frame_param(b), 200);
    state(false);
}

void navigate_to_index(const std::shared_ptr<browser_state>& b, int index) {
    b->history_index = index;
    const std::wstring url = b->history[static_cast<size_t>(index)];
    post_ui([b, url] { run_navigation(b, url); });
}

void load(const std::shared_ptr<browser_state>& b, const std::wstring& url) {
    b->history.resize(static_cast<size_t>(b->history_index + 1));
    b->history.push_back(url);
    navigate_to_index(b, b->history_index + 1);
}

// --- Renderer

// Runs f(handler) on the renderer thread with the application's render-process handler, when it has one.
template <class F>
void in_renderer(F f) {
    post(TID_RENDERER, [f] {
        auto handler = get_handler(application(), &cef_app_t::get_render_process_handler,
                                   "cef_render_process_handler_t");
        if (handler) f(handler.get());
    });
}

// --- Life span

void close(const std::shared_ptr<browser_state>& b, bool force);

void after_created(const std::shared_ptr<browser_state>& b) {
    in_renderer([b](cef_render_process_handler_t* h) {
        if (h->on_browser_created) h->on_browser_created(h, browser_param(b));
    });
    auto life = client_handler(*b, &cef_client_t::get_life_span_handler, "cef_life_span_handler_t");
    if (life && life->on_after_created) life->on_after_created(life.get(), browser_param(b));
}

void before_close(const std::shared_ptr<browser_state>& b) {
    if (b->closed) return;
    b->closed = true;
    // A page's developer tools go with it.
    if (auto tools = b->devtools.lock()) close(tools, true);
    auto life = client_handler(*b, &cef_client_t::get_life_span_handler, "cef_life_span_handler_t");
    if (life && life->on_before_close) life->on_before_close(life.get(), browser_param(b));
    life.reset();
    b->client.reset();
    in_renderer([b](cef_render_process_handler_t* h) {
        if (h->on_browser_destroyed) h->on_browser_destroyed(h, browser_param(b));
    });
    const std::lock_guard lock(browsers_lock);
    browsers.erase(b->id);
}

// Asks the client first unless forced; the engine then destroys the window, which closes the browser.
void close(const std::shared_ptr<browser_state>& b, bool force) {
    if (b->closed || !b->window) return;
    if (!force) {
        auto life = client_handler(*b, &cef_client_t::get_life_span_handler, "cef_life_span_handler_t");
        if (life && life->do_close && life->do_close(life.get(), browser_param(b))) return;
    }
    if (b->window) ::DestroyWindow(b->window);
}

// --- Page window

COLORREF page_colour(int id) {
    static constexpr COLORREF colours[] = {RGB(0xE5, 0x39, 0x35), RGB(0x43, 0xA0, 0x47), RGB(0x1E, 0x88, 0xE5),
                                           RGB(0xFD, 0xD8, 0x35), RGB(0x8E, 0x24, 0xAA), RGB(0x00, 0xAC, 0xC1)};
    return colours[static_cast<size_t>(id - 1) % std::size(colours)];
}

// The page's colour with its address in the top left corner.
void draw(HDC dc, RECT r, const browser_state& b) {
    HBRUSH brush = ::CreateSolidBrush(page_colour(b.id));
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    r.left += 8;
    r.top += 8;
    ::DrawTextW(dc, b.url.c_str(), static_cast<int>(b.url.size()), &r, DT_LEFT | DT_TOP | DT_NOPREFIX);
}

LRESULT CALLBACK page_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    try {
        const int id = static_cast<int>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        std::shared_ptr<browser_state> b = id ? find_browser(id) : nullptr;
        switch (message) {
        case WM_PAINT: {
            if (!b) break;
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(window, &ps);
            RECT r;
            ::GetClientRect(window, &r);
            draw(dc, r, *b);
            ::EndPaint(window, &ps);
            return 0;
        }
        case WM_PRINTCLIENT: {
            if (!b) break;
            RECT r;
            ::GetClientRect(window, &r);
            draw(reinterpret_cast<HDC>(wparam), r, *b);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_DESTROY:
            // A destroyed window closes its browser.
            if (b) {
                b->window = nullptr;
                record_on(*b, "window_destroyed");
                post_ui([b] { before_close(b); });
            }
            break;
        default:
            break;
        }
    } catch (...) {
        record("exception", "page window");
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
}

// --- Objects handed out

class browser_host;
class frame;
std::shared_ptr<browser_state> create(const cef_window_info_t* info, engine_ref<cef_client_t> client);
std::string creation_detail(const cef_window_info_t* info, const std::wstring& url);

class browser : public page_object<cef_browser_t> {
public:
    explicit browser(std::shared_ptr<browser_state> b) : page_object(std::move(b)) {
        cef_browser_t* c = cef();
        c->get_host = &engine_thunk<&browser::get_host>::call;
        c->can_go_back = &engine_thunk<&browser::can_go_back>::call;
        c->go_back = &engine_thunk<&browser::go_back>::call;
        c->can_go_forward = &engine_thunk<&browser::can_go_forward>::call;
        c->go_forward = &engine_thunk<&browser::go_forward>::call;
        c->is_loading = &engine_thunk<&browser::is_loading>::call;
        c->reload = &engine_thunk<&browser::reload>::call;
        c->reload_ignore_cache = &engine_thunk<&browser::reload_ignore_cache>::call;
        c->stop_load = &engine_thunk<&browser::stop_load>::call;
        c->get_identifier = &engine_thunk<&browser::get_identifier>::call;
        c->is_same = &engine_thunk<&browser::is_same>::call;
        c->is_popup = &engine_thunk<&browser::is_popup>::call;
        c->has_document = &engine_thunk<&browser::has_document>::call;
        c->get_main_frame = &engine_thunk<&browser::get_main_frame>::call;
        c->get_focused_frame = &engine_thunk<&browser::get_main_frame>::call;
        c->get_frame_count = &engine_thunk<&browser::get_frame_count>::call;
        c->send_process_message = &engine_thunk<&browser::send_process_message>::call;
    }
    const char* kind() const noexcept override { return "cef_browser_t"; }
    const std::shared_ptr<browser_state>& state() const { return FState; }

private:
    cef_browser_host_t* get_host();
    int can_go_back() { return FState->history_index > 0; }
    int can_go_forward() { return FState->history_index + 1 < static_cast<int>(FState->history.size()); }
    void go_back() {
        record_on(*FState, "browser.go_back");
        if (can_go_back()) navigate_to_index(FState, FState->history_index - 1);
    }
    void go_forward() {
        record_on(*FState, "browser.go_forward");
        if (can_go_forward()) navigate_to_index(FState, FState->history_index + 1);
    }
    int is_loading() { return FState->loading; }
    void reload() {
        record_on(*FState, "browser.reload");
        if (FState->history_index >= 0) navigate_to_index(FState, FState->history_index);
    }
    void reload_ignore_cache() {
        record_on(*FState, "browser.reload_ignore_cache");
        if (FState->history_index >= 0) navigate_to_index(FState, FState->history_index);
    }
    void stop_load() { record_on(*FState, "browser.stop_load"); }
    int get_identifier() { return FState->id; }
    int is_same(cef_browser_t* other) {
        engine_ref<cef_browser_t> o = engine_ref<cef_browser_t>::adopt(other);
        return o && static_cast<browser*>(owner_of(o.get()))->FState == FState;
    }
    int is_popup() { return FState->popup; }
    int has_document() { return FState->history_index >= 0; }
    cef_frame_t* get_main_frame() { return frame_param(FState); }
    size_t get_frame_count() { return 1; }
    int send_process_message(cef_process_id_t target, cef_process_message_t* message);
};

class browser_host : public page_object<cef_browser_host_t> {
public:
    explicit browser_host(std::shared_ptr<browser_state> b) : page_object(std::move(b)) {
        cef_browser_host_t* c = cef();
        c->get_browser = &engine_thunk<&browser_host::get_browser>::call;
        c->close_browser = &engine_thunk<&browser_host::close_browser>::call;
        c->set_focus = &engine_thunk<&browser_host::set_focus>::call;
        c->set_window_visibility = &engine_thunk<&browser_host::set_window_visibility>::call;
        c->get_window_handle = &engine_thunk<&browser_host::get_window_handle>::call;
        c->get_opener_window_handle = &engine_thunk<&browser_host::get_opener_window_handle>::call;
        c->get_client = &engine_thunk<&browser_host::get_client>::call;
        c->get_zoom_level = &engine_thunk<&browser_host::get_zoom_level>::call;
        c->set_zoom_level = &engine_thunk<&browser_host::set_zoom_level>::call;
        c->start_download = &engine_thunk<&browser_host::start_download>::call;
        c->print = &engine_thunk<&browser_host::print>::call;
        c->find = &engine_thunk<&browser_host::find>::call;
        c->stop_finding = &engine_thunk<&browser_host::stop_finding>::call;
        c->show_dev_tools = &engine_thunk<&browser_host::show_dev_tools>::call;
        c->close_dev_tools = &engine_thunk<&browser_host::close_dev_tools>::call;
        c->was_resized = &engine_thunk<&browser_host::was_resized>::call;
        c->notify_move_or_resize_started = &engine_thunk<&browser_host::notify_move_or_resize_started>::call;
        c->send_focus_event = &engine_thunk<&browser_host::send_focus_event>::call;
    }
    const char* kind() const noexcept override { return "cef_browser_host_t"; }

private:
    cef_browser_t* get_browser() { return browser_param(FState); }
    void close_browser(int force) {
        record_on(*FState, "host.close_browser", "force=" + std::to_string(force));
        post_ui([b = FState, force] { close(b, force != 0); });
    }
    void set_focus(int focus) { record_on(*FState, "host.set_focus", std::to_string(focus)); }
    void set_window_visibility(int visible) {
        record_on(*FState, "host.set_window_visibility", std::to_string(visible));
    }
    HWND get_window_handle() { return FState->window; }
    HWND get_opener_window_handle() { return nullptr; }
    cef_client_t* get_client() { return FState->client.pass(); }
    double get_zoom_level() { return FState->zoom; }
    void set_zoom_level(double level) {
        FState->zoom = level;
        record_on(*FState, "host.set_zoom_level", std::to_string(level));
    }
    void start_download(const cef_string_t* url) {
        record_on(*FState, "host.start_download", utf8_of(text_of(url)));
    }
    void print() { record_on(*FState, "host.print"); }
    void find(int identifier, const cef_string_t* text, int forward, int match_case, int find_next) {
        record_on(*FState, "host.find",
                  std::to_string(identifier) + " " + utf8_of(text_of(text)) + " " + std::to_string(forward) +
                      std::to_string(match_case) + std::to_string(find_next));
    }
    void stop_finding(int clear) { record_on(*FState, "host.stop_finding", std::to_string(clear)); }
    // The tools are a browser of their own, in a window made from the window information given.
    void show_dev_tools(const cef_window_info_t* info, cef_client_t* client, const cef_browser_settings_t*,
                        const cef_point_t*) {
        engine_ref<cef_client_t> c = engine_ref<cef_client_t>::adopt(client);
        const std::wstring name = info ? text_of(&info->window_name) : std::wstring();
        record_on(*FState, "host.show_dev_tools", creation_detail(info, L"") + " name=" + utf8_of(name));
        if (on_thread(TID_UI) && !FState->closed) FState->devtools = create(info, std::move(c));
    }
    void close_dev_tools() {
        record_on(*FState, "host.close_dev_tools");
        if (auto tools = FState->devtools.lock()) post_ui([tools] { close(tools, true); });
    }
    void was_resized() { record_on(*FState, "host.was_resized"); }
    void notify_move_or_resize_started() { record_on(*FState, "host.notify_move_or_resize_started"); }
    void send_focus_event(int focus) { record_on(*FState, "host.send_focus_event", std::to_string(focus)); }
};

class frame : public page_object<cef_frame_t> {
public:
    explicit frame(std::shared_ptr<browser_state> b) : page_object(std::move(b)) {
        cef_frame_t* c = cef();
        c->is_valid = &engine_thunk<&frame::is_valid>::call;
        c->load_url = &engine_thunk<&frame::load_url>::call;
        c->load_string = &engine_thunk<&frame::load_string>::call;
        c->execute_java_script = &engine_thunk<&frame::execute_java_script>::call;
        c->is_main = &engine_thunk<&frame::is_main>::call;
        c->is_focused = &engine_thunk<&frame::is_main>::call;
        c->get_name = &engine_thunk<&frame::get_name>::call;
        c->get_identifier = &engine_thunk<&frame::get_identifier>::call;
        c->get_url = &engine_thunk<&frame::get_url>::call;
        c->get_browser = &engine_thunk<&frame::get_browser>::call;
        c->get_v8context = &engine_thunk<&frame::get_v8context>::call;
        c->get_source = &engine_thunk<&frame::get_source>::call;
        c->get_text = &engine_thunk<&frame::get_text>::call;
    }
    const char* kind() const noexcept override { return "cef_frame_t"; }

private:
    int is_valid() { return !FState->closed; }
    void load_url(const cef_string_t* url) {
        const std::wstring u = text_of(url);
        record_on(*FState, "frame.load_url", utf8_of(u));
        load(FState, u);
    }
    void load_string(const cef_string_t* text, const cef_string_t* url) {
        record_on(*FState, "frame.load_string", utf8_of(text_of(url)) + " " + utf8_of(text_of(text)));
    }
    void execute_java_script(const cef_string_t* code, const cef_string_t* url, int line) {
        record_on(*FState, "frame.execute_java_script",
                  utf8_of(text_of(url)) + ":" + std::to_string(line) + " " + utf8_of(text_of(code)));
    }
    int is_main() { return 1; }
    cef_string_userfree_t get_name() { return make_userfree(std::wstring()); }
    int64 get_identifier() { return FState->id; }
    cef_string_userfree_t get_url() { return make_userfree(FState->url); }
    cef_browser_t* get_browser() { return browser_param(FState); }
    cef_v8context_t* get_v8context() { return make_v8context(FState); }
    // The page's source is its address in a document; its text is its title. Both arrive later on the
    // UI thread, as the engine delivers them.
    void get_source(cef_string_visitor_t* visitor) {
        visit_later("frame.get_source", visitor, L"<html><body>" + FState->url + L"</body></html>");
    }
    void get_text(cef_string_visitor_t* visitor) { visit_later("frame.get_text", visitor, title_for(FState->url)); }
    void visit_later(const char* name, cef_string_visitor_t* visitor, std::wstring text) {
        auto v = std::make_shared<held<cef_string_visitor_t>>(engine_ref<cef_string_visitor_t>::adopt(visitor),
                                                              "cef_string_visitor_t");
        record_on(*FState, name);
        post_ui([v, name, text = std::move(text)] {
            const cef_string_t t = borrowed(text);
            if (v->get() && v->get()->visit) v->get()->visit(v->get(), &t);
            record("visitor.visit", name);
        });
    }
};

cef_browser_host_t* browser::get_host() { return make<browser_host>(FState).detach(); }

// Messages to the renderer reach the render-process handler on the renderer thread; messages to the
// browser reach the client on the UI thread.
int browser::send_process_message(cef_process_id_t target, cef_process_message_t* message) {
    auto m = std::make_shared<held<cef_process_message_t>>(engine_ref<cef_process_message_t>::adopt(message),
                                                           "cef_process_message_t");
    if (!message) return 0;
    const std::string name = utf8_of(message_name(message));
    record_on(*FState, "browser.send_process_message", (target == PID_RENDERER ? "to=renderer " : "to=browser ") + name);
    if (target == PID_RENDERER) {
        post(TID_RENDERER, [b = FState, m, name] {
            auto handler = get_handler(application(), &cef_app_t::get_render_process_handler,
                                       "cef_render_process_handler_t");
            const int handled = handler && handler->on_process_message_received
                                    ? handler->on_process_message_received(handler.get(), browser_param(b), PID_BROWSER, m->pass())
                                    : 0;
            record_on(*b, "renderer.process_message_received", name + " handled=" + std::to_string(handled));
            m->reset();
        });
    } else {
        post_ui([b = FState, m, name] {
            int handled = 0;
            if (b->client && b->client->on_process_message_received) {
                handled = b->client->on_process_message_received(b->client.get(), browser_param(b), PID_RENDERER, m->pass());
            }
            record_on(*b, "client.process_message_received", name + " handled=" + std::to_string(handled));
            m->reset();
        });
    }
    return 1;
}

std::shared_ptr<browser_state> create(const cef_window_info_t* info, engine_ref<cef_client_t> client) {
    auto b = std::make_shared<browser_state>();
    {
        const std::lock_guard lock(browsers_lock);
        b->id = next_id++;
        browsers[b->id] = b;
    }
    b->client = held<cef_client_t>(std::move(client), "cef_client_t");
    const std::wstring name = info ? text_of(&info->window_name) : std::wstring();
    b->window = ::CreateWindowExW(info ? info->ex_style : 0, page_class, name.c_str(),
                                  info ? info->style : WS_OVERLAPPEDWINDOW, info ? info->x : 0, info ? info->y : 0,
                                  info ? info->width : 0, info ? info->height : 0,
                                  info ? info->parent_window : nullptr, info ? info->menu : nullptr,
                                  module_instance(), nullptr);
    if (b->window) ::SetWindowLongPtrW(b->window, GWLP_USERDATA, b->id);
    record("browser_created", "browser=" + std::to_string(b->id));
    post_ui([b] { after_created(b); });
    return b;
}

std::string creation_detail(const cef_window_info_t* info, const std::wstring& url) {
    if (!info) return "url=" + utf8_of(url);
    char style[16];
    std::snprintf(style, sizeof style, "%08lX", static_cast<unsigned long>(info->style));
    return "url=" + utf8_of(url) + " style=" + style + " rect=" + std::to_string(info->x) + "," +
           std::to_string(info->y) + "," + std::to_string(info->width) + "," + std::to_string(info->height);
}

} // namespace

std::shared_ptr<browser_state> find_browser(int id) {
    const std::lock_guard lock(browsers_lock);
    const auto it = browsers.find(id);
    return it == browsers.end() ? nullptr : it->second;
}

cef_browser_t* browser_param(const std::shared_ptr<browser_state>& b) { return make<browser>(b).detach(); }
cef_frame_t* frame_param(const std::shared_ptr<browser_state>& b) { return make<frame>(b).detach(); }

void create_browser_from(const cef_window_info_t* info, engine_ref<cef_client_t> client, const std::wstring& url,
                         bool popup) {
    std::shared_ptr<browser_state> b = create(info, std::move(client));
    b->popup = popup;
    if (!url.empty()) load(b, url);
}

void close_remaining_browsers() {
    std::map<int, std::shared_ptr<browser_state>> left;
    {
        const std::lock_guard lock(browsers_lock);
        left.swap(browsers);
    }
    for (auto& [id, b] : left) {
        b->closed = true;
        b->client.reset();
        if (b->window) ::DestroyWindow(std::exchange(b->window, nullptr));
    }
}

void reset_page_tables() {
    const std::lock_guard lock(browsers_lock);
    titles.clear();
}

int live_browser_count() {
    const std::lock_guard lock(browsers_lock);
    return static_cast<int>(browsers.size());
}

void register_page_class() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &page_proc;
    wc.hInstance = module_instance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = page_class;
    ::RegisterClassExW(&wc);
}

void unregister_page_class() { ::UnregisterClassW(page_class, module_instance()); }

} // namespace kq::standin

using namespace kq::standin;

extern "C" {

int cef_browser_host_create_browser(const cef_window_info_t* info, cef_client_t* client, const cef_string_t* url,
                                    const cef_browser_settings_t*, cef_request_context_t* context) {
    kq::engine_ref<cef_client_t> c = kq::engine_ref<cef_client_t>::adopt(client);
    release_given(context);
    const std::wstring address = text_of(url);
    record("cef_browser_host_create_browser", creation_detail(info, address));
    if (!engine_running()) return 0;
    const cef_window_info_t copy = info ? *info : cef_window_info_t{};
    const std::wstring name = info ? text_of(&info->window_name) : std::wstring();
    post_ui([copy, name, c, address]() mutable {
        cef_window_info_t i = copy;
        i.window_name = borrowed(name);
        create_browser_from(&i, std::move(c), address, false);
    });
    return 1;
}

cef_browser_t* cef_browser_host_create_browser_sync(const cef_window_info_t* info, cef_client_t* client,
                                                    const cef_string_t* url, const cef_browser_settings_t*,
                                                    cef_request_context_t* context) {
    kq::engine_ref<cef_client_t> c = kq::engine_ref<cef_client_t>::adopt(client);
    release_given(context);
    const std::wstring address = text_of(url);
    record("cef_browser_host_create_browser_sync", creation_detail(info, address));
    if (!engine_running() || !on_thread(TID_UI)) return nullptr;
    std::shared_ptr<browser_state> b = create(info, std::move(c));
    if (!address.empty()) load(b, address);
    return browser_param(b);
}

void standin_set_title(const wchar_t* url, const wchar_t* title) {
    const std::lock_guard lock(browsers_lock);
    titles[url ? url : L""] = title ? title : L"";
}

} // extern "C"
