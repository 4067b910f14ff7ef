// Injection of the client's callbacks, on a chosen engine thread, through the control interface. Each
// injected callback records its outcome as "inject.<name>"; the objects it hands the client record what
// the client does with them.
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "testengine/Browser.h"
#include "testengine/ControlExports.h"
#include "testengine/Recorder.h"
#include "testengine/Runtime.h"
#include "testengine/StandinObject.h"
#include "testengine/StandinText.h"

#include <windows.h>

namespace kq::standin {

namespace {

using arguments = std::vector<std::wstring>;

const std::wstring& arg(const arguments& a, size_t i) {
    static const std::wstring none;
    return i < a.size() ? a[i] : none;
}
int int_arg(const arguments& a, size_t i) {
    const std::wstring& t = arg(a, i);
    return t.empty() ? 0 : static_cast<int>(std::wcstol(t.c_str(), nullptr, 0));
}
std::string u8(const cef_string_t* s) { return utf8_of(text_of(s)); }

// --- Objects handed to the client with the callbacks

class jsdialog_callback : public standin_object<cef_jsdialog_callback_t> {
public:
    jsdialog_callback() { cef()->cont = &engine_thunk<&jsdialog_callback::cont>::call; }
    const char* kind() const noexcept override { return "cef_jsdialog_callback_t"; }

private:
    void cont(int success, const cef_string_t* input) {
        record("jsdialog_callback.cont", "success=" + std::to_string(success) + " input=" + u8(input));
    }
};

class auth_callback : public standin_object<cef_auth_callback_t> {
public:
    auth_callback() {
        cef()->cont = &engine_thunk<&auth_callback::cont>::call;
        cef()->cancel = &engine_thunk<&auth_callback::cancel>::call;
    }
    const char* kind() const noexcept override { return "cef_auth_callback_t"; }

private:
    void cont(const cef_string_t* user, const cef_string_t* password) {
        record("auth_callback.cont", "user=" + u8(user) + " password=" + u8(password));
    }
    void cancel() { record("auth_callback.cancel"); }
};

class download_callback : public standin_object<cef_before_download_callback_t> {
public:
    download_callback() { cef()->cont = &engine_thunk<&download_callback::cont>::call; }
    const char* kind() const noexcept override { return "cef_before_download_callback_t"; }

private:
    void cont(const cef_string_t* path, int show_dialog) {
        record("download_callback.cont", "path=" + u8(path) + " show_dialog=" + std::to_string(show_dialog));
    }
};

class request_callback : public standin_object<cef_request_callback_t> {
public:
    request_callback() {
        cef()->cont = &engine_thunk<&request_callback::cont>::call;
        cef()->cancel = &engine_thunk<&request_callback::cancel>::call;
    }
    const char* kind() const noexcept override { return "cef_request_callback_t"; }

private:
    void cont(int allow) { record("request_callback.cont", "allow=" + std::to_string(allow)); }
    void cancel() { record("request_callback.cancel"); }
};

class download_item : public standin_object<cef_download_item_t> {
public:
    explicit download_item(std::wstring url) : FUrl(std::move(url)) {
        cef()->is_valid = &engine_thunk<&download_item::one>::call;
        cef()->is_in_progress = &engine_thunk<&download_item::one>::call;
        cef()->get_id = &engine_thunk<&download_item::get_id>::call;
        cef()->get_url = &engine_thunk<&download_item::get_url>::call;
        cef()->get_original_url = &engine_thunk<&download_item::get_url>::call;
    }
    const char* kind() const noexcept override { return "cef_download_item_t"; }

private:
    int one() { return 1; }
    uint32 get_id() { return 1; }
    cef_string_userfree_t get_url() { return make_userfree(FUrl); }
    std::wstring FUrl;
};

class menu_model : public standin_object<cef_menu_model_t> {
public:
    explicit menu_model(std::vector<int> ids) : FIds(std::move(ids)) {
        cef_menu_model_t* c = cef();
        c->clear = &engine_thunk<&menu_model::clear>::call;
        c->get_count = &engine_thunk<&menu_model::get_count>::call;
        c->add_separator = &engine_thunk<&menu_model::add_separator>::call;
        c->add_item = &engine_thunk<&menu_model::add_item>::call;
        c->remove = &engine_thunk<&menu_model::remove>::call;
        c->remove_at = &engine_thunk<&menu_model::remove_at>::call;
        c->get_index_of = &engine_thunk<&menu_model::get_index_of>::call;
        c->get_command_id_at = &engine_thunk<&menu_model::get_command_id_at>::call;
        c->get_type_at = &engine_thunk<&menu_model::get_type_at>::call;
        c->set_enabled = &engine_thunk<&menu_model::set_enabled>::call;
    }
    const char* kind() const noexcept override { return "cef_menu_model_t"; }

private:
    int clear() {
        record("menu.clear");
        FIds.clear();
        return 1;
    }
    int get_count() { return static_cast<int>(FIds.size()); }
    int add_separator() {
        record("menu.add_separator");
        FIds.push_back(-1);
        return 1;
    }
    int add_item(int id, const cef_string_t* label) {
        record("menu.add_item", std::to_string(id) + " " + u8(label));
        FIds.push_back(id);
        return 1;
    }
    int remove(int id) {
        record("menu.remove", std::to_string(id));
        const int i = get_index_of(id);
        if (i < 0) return 0;
        FIds.erase(FIds.begin() + i);
        return 1;
    }
    int remove_at(int i) {
        record("menu.remove_at", std::to_string(i));
        if (i < 0 || i >= get_count()) return 0;
        FIds.erase(FIds.begin() + i);
        return 1;
    }
    int get_index_of(int id) {
        for (size_t i = 0; i < FIds.size(); ++i) {
            if (FIds[i] == id) return static_cast<int>(i);
        }
        return -1;
    }
    int get_command_id_at(int i) { return i >= 0 && i < get_count() ? FIds[static_cast<size_t>(i)] : -1; }
    cef_menu_item_type_t get_type_at(int i) {
        const int id = get_command_id_at(i);
        return id == -1 ? MENUITEMTYPE_SEPARATOR : MENUITEMTYPE_COMMAND;
    }
    int set_enabled(int id, int enabled) {
        record("menu.set_enabled", std::to_string(id) + " " + std::to_string(enabled));
        return get_index_of(id) >= 0;
    }

    std::vector<int> FIds; // -1 stands for a separator
};

class context_menu_params : public standin_object<cef_context_menu_params_t> {
public:
    context_menu_params(std::wstring link, std::wstring page) : FLink(std::move(link)), FPage(std::move(page)) {
        cef_context_menu_params_t* c = cef();
        c->get_xcoord = &engine_thunk<&context_menu_params::zero>::call;
        c->get_ycoord = &engine_thunk<&context_menu_params::zero>::call;
        c->get_type_flags = &engine_thunk<&context_menu_params::get_type_flags>::call;
        c->get_link_url = &engine_thunk<&context_menu_params::get_link_url>::call;
        c->get_unfiltered_link_url = &engine_thunk<&context_menu_params::get_link_url>::call;
        c->get_page_url = &engine_thunk<&context_menu_params::get_page_url>::call;
        c->get_frame_url = &engine_thunk<&context_menu_params::get_page_url>::call;
        c->is_editable = &engine_thunk<&context_menu_params::zero>::call;
    }
    const char* kind() const noexcept override { return "cef_context_menu_params_t"; }

private:
    int zero() { return 0; }
    cef_context_menu_type_flags_t get_type_flags() {
        return static_cast<cef_context_menu_type_flags_t>(CM_TYPEFLAG_PAGE | (FLink.empty() ? 0 : CM_TYPEFLAG_LINK));
    }
    cef_string_userfree_t get_link_url() { return make_userfree(FLink); }
    cef_string_userfree_t get_page_url() { return make_userfree(FPage); }
    std::wstring FLink, FPage;
};

// --- The callbacks

// Each answers the text recorded as the injection's result.
using injection = std::function<std::string(const std::shared_ptr<browser_state>&, const arguments&)>;

template <class G, class F>
std::string with_handler(const browser_state& b, G cef_client_t::*getter, const char* kind, F call) {
    auto h = client_handler(b, getter, kind);
    if (!h) return "no handler";
    return call(h.get());
}

std::string result_text(int result) { return "result=" + std::to_string(result); }

cef_key_event_t key_event(const arguments& a) {
    cef_key_event_t e{};
    e.type = static_cast<cef_key_event_type_t>(int_arg(a, 0));
    e.modifiers = static_cast<uint32>(int_arg(a, 1));
    e.windows_key_code = int_arg(a, 2);
    e.character = static_cast<char16>(int_arg(a, 3));
    e.unmodified_character = e.character;
    return e;
}

MSG os_event(const cef_key_event_t& e) {
    MSG m{};
    m.message = e.type == KEYEVENT_KEYUP ? WM_KEYUP : e.type == KEYEVENT_CHAR ? WM_CHAR : WM_KEYDOWN;
    m.wParam = static_cast<WPARAM>(e.windows_key_code);
    return m;
}

// A popup's window as the engine proposes it: a top-level window of its own, placed by the system.
cef_window_info_t default_popup_window() {
    cef_window_info_t w{};
    w.style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
    w.x = w.y = w.width = w.height = CW_USEDEFAULT;
    return w;
}

std::string window_text(const cef_window_info_t& w) {
    char text[160];
    std::snprintf(text, sizeof text, "style=%08lX parent=%s rect=%d,%d,%d,%d", static_cast<unsigned long>(w.style),
                  w.parent_window ? "set" : "none", w.x, w.y, w.width, w.height);
    return text;
}

std::string before_popup(const std::shared_ptr<browser_state>& b, const arguments& a) {
    auto life = client_handler(*b, &cef_client_t::get_life_span_handler, "cef_life_span_handler_t");
    if (!life || !life->on_before_popup) return "no handler";
    const std::wstring url = arg(a, 0), frame_name;
    const cef_string_t target = borrowed(url), target_frame = borrowed(frame_name);
    cef_popup_features_t features{};
    features.x = int_arg(a, 1), features.xSet = 1;
    features.y = int_arg(a, 2), features.ySet = 1;
    features.width = int_arg(a, 3), features.widthSet = 1;
    features.height = int_arg(a, 4), features.heightSet = 1;
    cef_window_info_t window = default_popup_window();
    cef_client_t* client = b->client.pass();
    cef_browser_settings_t settings{};
    settings.size = sizeof settings;
    int no_script_access = 0;
    const int refused = life->on_before_popup(life.get(), browser_param(b), frame_param(b), &target, &target_frame,
                                              WOD_NEW_POPUP, 1, &features, &window, &client, &settings,
                                              &no_script_access);
    std::string detail = result_text(refused) + " " + window_text(window);
    const std::wstring name = text_of(&window.window_name);
    cef_string_utf16_clear(&window.window_name);
    engine_ref<cef_client_t> popup_client = engine_ref<cef_client_t>::adopt(client);
    if (!refused) {
        post_ui([window, name, popup_client, url]() mutable {
            cef_window_info_t w = window;
            w.window_name = borrowed(name);
            create_browser_from(&w, std::move(popup_client), url, true);
        });
    }
    return detail;
}

const std::map<std::string, injection, std::less<>>& injections() {
    static const std::map<std::string, injection, std::less<>> table = {
        {"load_error",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_load_handler, "cef_load_handler_t", [&](cef_load_handler_t* h) {
                 const std::wstring text = arg(a, 1), url = arg(a, 2);
                 const cef_string_t t = borrowed(text), u = borrowed(url);
                 if (h->on_load_error) h->on_load_error(h, browser_param(b), frame_param(b), static_cast<cef_errorcode_t>(int_arg(a, 0)), &t, &u);
                 return std::string();
             });
         }},
        {"status",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_display_handler, "cef_display_handler_t", [&](cef_display_handler_t* h) {
                 const cef_string_t t = borrowed(arg(a, 0));
                 if (h->on_status_message) h->on_status_message(h, browser_param(b), &t);
                 return std::string();
             });
         }},
        {"console",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_display_handler, "cef_display_handler_t", [&](cef_display_handler_t* h) {
                 const std::wstring message = arg(a, 0), source = arg(a, 1);
                 const cef_string_t m = borrowed(message), s = borrowed(source);
                 return result_text(h->on_console_message ? h->on_console_message(h, browser_param(b), &m, &s, int_arg(a, 2)) : 0);
             });
         }},
        {"tooltip",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_display_handler, "cef_display_handler_t", [&](cef_display_handler_t* h) {
                 cef_string_t text{};
                 const std::wstring given = arg(a, 0);
                 cef_string_utf16_set(given.c_str(), given.size(), &text, 1);
                 const int result = h->on_tooltip ? h->on_tooltip(h, browser_param(b), &text) : 0;
                 const std::string detail = result_text(result) + " text=" + u8(&text);
                 cef_string_utf16_clear(&text);
                 return detail;
             });
         }},
        {"favicon",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_display_handler, "cef_display_handler_t", [&](cef_display_handler_t* h) {
                 cef_string_list_t list = cef_string_list_alloc();
                 for (const std::wstring& url : a) {
                     const cef_string_t u = borrowed(url);
                     cef_string_list_append(list, &u);
                 }
                 if (h->on_favicon_urlchange) h->on_favicon_urlchange(h, browser_param(b), list);
                 cef_string_list_free(list);
                 return std::string();
             });
         }},
        {"got_focus",
         [](const auto& b, const arguments&) {
             return with_handler(*b, &cef_client_t::get_focus_handler, "cef_focus_handler_t", [&](cef_focus_handler_t* h) {
                 if (h->on_got_focus) h->on_got_focus(h, browser_param(b));
                 return std::string();
             });
         }},
        {"set_focus",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_focus_handler, "cef_focus_handler_t", [&](cef_focus_handler_t* h) {
                 return result_text(h->on_set_focus ? h->on_set_focus(h, browser_param(b), static_cast<cef_focus_source_t>(int_arg(a, 0))) : 0);
             });
         }},
        {"take_focus",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_focus_handler, "cef_focus_handler_t", [&](cef_focus_handler_t* h) {
                 if (h->on_take_focus) h->on_take_focus(h, browser_param(b), int_arg(a, 0));
                 return std::string();
             });
         }},
        {"pre_key",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_keyboard_handler, "cef_keyboard_handler_t", [&](cef_keyboard_handler_t* h) {
                 const cef_key_event_t e = key_event(a);
                 MSG m = os_event(e);
                 int shortcut = 0;
                 const int result = h->on_pre_key_event ? h->on_pre_key_event(h, browser_param(b), &e, &m, &shortcut) : 0;
                 return result_text(result) + " shortcut=" + std::to_string(shortcut);
             });
         }},
        {"key",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_keyboard_handler, "cef_keyboard_handler_t", [&](cef_keyboard_handler_t* h) {
                 const cef_key_event_t e = key_event(a);
                 MSG m = os_event(e);
                 return result_text(h->on_key_event ? h->on_key_event(h, browser_param(b), &e, &m) : 0);
             });
         }},
        {"before_context_menu",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_context_menu_handler, "cef_context_menu_handler_t", [&](cef_context_menu_handler_t* h) {
                 std::vector<int> ids;
                 for (size_t i = 2; i < a.size(); ++i) ids.push_back(int_arg(a, i));
                 auto model = make<menu_model>(ids);
                 if (h->on_before_context_menu) {
                     h->on_before_context_menu(h, browser_param(b), frame_param(b), make<context_menu_params>(arg(a, 0), arg(a, 1)).detach(), model.pass());
                 }
                 return "items=" + std::to_string(model->get_count(model.get()));
             });
         }},
        {"context_menu_command",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_context_menu_handler, "cef_context_menu_handler_t", [&](cef_context_menu_handler_t* h) {
                 const int result = h->on_context_menu_command
                                        ? h->on_context_menu_command(h, browser_param(b), frame_param(b), make<context_menu_params>(arg(a, 1), arg(a, 2)).detach(), int_arg(a, 0), EVENTFLAG_NONE)
                                        : 0;
                 return result_text(result);
             });
         }},
        {"protocol_execution",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_request_handler, "cef_request_handler_t", [&](cef_request_handler_t* h) {
                 const cef_string_t u = borrowed(arg(a, 0));
                 int allow = 0;
                 if (h->on_protocol_execution) h->on_protocol_execution(h, browser_param(b), &u, &allow);
                 return "allow=" + std::to_string(allow);
             });
         }},
        {"do_close",
         [](const auto& b, const arguments&) {
             return with_handler(*b, &cef_client_t::get_life_span_handler, "cef_life_span_handler_t", [&](cef_life_span_handler_t* h) {
                 return result_text(h->do_close ? h->do_close(h, browser_param(b)) : 0);
             });
         }},
        {"jsdialog",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_jsdialog_handler, "cef_jsdialog_handler_t", [&](cef_jsdialog_handler_t* h) {
                 const std::wstring origin = arg(a, 1), lang, message = arg(a, 2), prompt = arg(a, 3);
                 const cef_string_t o = borrowed(origin), l = borrowed(lang), m = borrowed(message), p = borrowed(prompt);
                 int suppress = 0;
                 const int result = h->on_jsdialog
                                        ? h->on_jsdialog(h, browser_param(b), &o, &l, static_cast<cef_jsdialog_type_t>(int_arg(a, 0)), &m, &p, make<jsdialog_callback>().detach(), &suppress)
                                        : 0;
                 return result_text(result) + " suppress=" + std::to_string(suppress);
             });
         }},
        {"before_unload",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_jsdialog_handler, "cef_jsdialog_handler_t", [&](cef_jsdialog_handler_t* h) {
                 const cef_string_t m = borrowed(arg(a, 0));
                 return result_text(h->on_before_unload_dialog ? h->on_before_unload_dialog(h, browser_param(b), &m, int_arg(a, 1), make<jsdialog_callback>().detach()) : 0);
             });
         }},
        {"auth",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_request_handler, "cef_request_handler_t", [&](cef_request_handler_t* h) {
                 const std::wstring host = arg(a, 1), realm = arg(a, 3), scheme = arg(a, 4);
                 const cef_string_t ho = borrowed(host), r = borrowed(realm), s = borrowed(scheme);
                 return result_text(h->get_auth_credentials ? h->get_auth_credentials(h, browser_param(b), frame_param(b), int_arg(a, 0), &ho, int_arg(a, 2), &r, &s, make<auth_callback>().detach()) : 0);
             });
         }},
        {"quota",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_request_handler, "cef_request_handler_t", [&](cef_request_handler_t* h) {
                 const cef_string_t o = borrowed(arg(a, 0));
                 return result_text(h->on_quota_request ? h->on_quota_request(h, browser_param(b), &o, int_arg(a, 1), make<request_callback>().detach()) : 0);
             });
         }},
        {"before_download",
         [](const auto& b, const arguments& a) {
             return with_handler(*b, &cef_client_t::get_download_handler, "cef_download_handler_t", [&](cef_download_handler_t* h) {
                 const cef_string_t n = borrowed(arg(a, 1));
                 if (h->on_before_download) h->on_before_download(h, browser_param(b), make<download_item>(arg(a, 0)).detach(), &n, make<download_callback>().detach());
                 return std::string();
             });
         }},
        {"popup", &before_popup},
    };
    return table;
}

arguments split(const wchar_t* text) {
    arguments parts;
    if (!text || !*text) return parts;
    std::wstring current;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'|') {
            parts.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    parts.push_back(current);
    return parts;
}

} // namespace

} // namespace kq::standin

using namespace kq::standin;

extern "C" {

int standin_inject(int browser_id, const char* callback, const char* thread, const wchar_t* argument) {
    const std::shared_ptr<browser_state> b = find_browser(browser_id);
    const auto& table = injections();
    const auto it = table.find(std::string_view(callback ? callback : ""));
    if (!b || it == table.end() || !engine_running()) return 0;
    const std::string_view t = thread ? thread : "ui";
    const cef_thread_id_t target = t == "io" ? TID_IO : t == "renderer" ? TID_RENDERER : TID_UI;
    post(target, [b, name = it->first, run = it->second, args = split(argument)] {
        if (b->closed) return;
        const std::string detail = run(b, args);
        record("inject." + name, "browser=" + std::to_string(b->id) + (detail.empty() ? "" : " " + detail));
    });
    return 1;
}

} // extern "C"
