#include "testengine/Plugins.h"

#include <iterator>
#include <map>
#include <mutex>
#include <string>

#include "testengine/ControlExports.h"
#include "testengine/Recorder.h"
#include "testengine/Runtime.h"
#include "testengine/StandinObject.h"
#include "testengine/StandinText.h"

namespace kq::standin {

namespace {

class plugin_info : public standin_object<cef_web_plugin_info_t> {
public:
    plugin_info(std::wstring name, std::wstring path) : FName(std::move(name)), FPath(std::move(path)) {
        cef_web_plugin_info_t* c = cef();
        c->get_name = &engine_thunk<&plugin_info::get_name>::call;
        c->get_path = &engine_thunk<&plugin_info::get_path>::call;
        c->get_version = &engine_thunk<&plugin_info::get_version>::call;
        c->get_description = &engine_thunk<&plugin_info::get_version>::call;
    }
    const char* kind() const noexcept override { return "cef_web_plugin_info_t"; }

private:
    cef_string_userfree_t get_name() { return make_userfree(FName); }
    cef_string_userfree_t get_path() { return make_userfree(FPath); }
    cef_string_userfree_t get_version() { return make_userfree(L"1.0"); }
    std::wstring FName, FPath;
};

// The plug-ins every visit goes through, in order.
const std::pair<const wchar_t*, const wchar_t*> plugins[] = {
    {L"Reader", L"C:\\plugins\\reader.dll"}, {L"Player", L"C:\\plugins\\player.dll"}, {L"Viewer", L"C:\\plugins\\viewer.dll"}};

std::mutex factories_lock; // guards factories
std::map<std::wstring, held<cef_scheme_handler_factory_t>> factories;

} // namespace

void forget_scheme_handler_factories() {
    std::map<std::wstring, held<cef_scheme_handler_factory_t>> gone;
    const std::lock_guard lock(factories_lock);
    gone.swap(factories);
}

} // namespace kq::standin

using namespace kq;
using namespace kq::standin;

extern "C" {

// The visit runs later on the UI thread, as the engine's does, and stops where the visitor says so.
void cef_visit_web_plugin_info(cef_web_plugin_info_visitor_t* visitor) {
    auto v = std::make_shared<held<cef_web_plugin_info_visitor_t>>(
        engine_ref<cef_web_plugin_info_visitor_t>::adopt(visitor), "cef_web_plugin_info_visitor_t");
    record("cef_visit_web_plugin_info");
    post_ui([v] {
        const int total = static_cast<int>(std::size(plugins));
        for (int i = 0; i < total && v->get(); ++i) {
            const auto& [name, path] = plugins[i];
            const int go_on = v->get()->visit(v->get(), make<plugin_info>(name, path).detach(), i, total);
            record("plugin_visitor.visit", utf8_of(name) + " go_on=" + std::to_string(go_on));
            if (!go_on) break;
        }
    });
}

// A plug-in whose path names it unstable is.
void cef_is_web_plugin_unstable(const cef_string_t* path, cef_web_plugin_unstable_callback_t* callback) {
    auto c = std::make_shared<held<cef_web_plugin_unstable_callback_t>>(
        engine_ref<cef_web_plugin_unstable_callback_t>::adopt(callback), "cef_web_plugin_unstable_callback_t");
    const std::wstring p = text_of(path);
    record("cef_is_web_plugin_unstable", utf8_of(p));
    post_ui([c, p] {
        const cef_string_t t = borrowed(p);
        if (c->get()) c->get()->is_unstable(c->get(), &t, p.find(L"unstable") != std::wstring::npos);
    });
}

int cef_register_scheme_handler_factory(const cef_string_t* scheme_name, const cef_string_t* domain_name,
                                        cef_scheme_handler_factory_t* factory) {
    held<cef_scheme_handler_factory_t> given(engine_ref<cef_scheme_handler_factory_t>::adopt(factory),
                                             "cef_scheme_handler_factory_t");
    const std::wstring scheme = text_of(scheme_name);
    record("cef_register_scheme_handler_factory", utf8_of(scheme) + " " + utf8_of(text_of(domain_name)));
    const std::lock_guard lock(factories_lock);
    if (given) factories[scheme] = std::move(given);
    else factories.erase(scheme);
    return 1;
}

int cef_clear_scheme_handler_factories(void) {
    record("cef_clear_scheme_handler_factories");
    forget_scheme_handler_factories();
    return 1;
}

int standin_create_scheme_handler(const wchar_t* scheme, const wchar_t* url) {
    engine_ref<cef_scheme_handler_factory_t> factory;
    {
        const std::lock_guard lock(factories_lock);
        const auto it = factories.find(scheme ? scheme : L"");
        if (it == factories.end()) return 0;
        factory = engine_ref<cef_scheme_handler_factory_t>::share(it->second.get());
    }
    const auto request = engine_ref<cef_request_t>::adopt(cef_request_create());
    const std::wstring address = url ? url : L"";
    const cef_string_t u = borrowed(address);
    request->set_url(request.get(), &u);
    const std::wstring name = scheme;
    const cef_string_t s = borrowed(name);
    auto handler = engine_ref<cef_resource_handler_t>::adopt(
        factory->create(factory.get(), nullptr, nullptr, &s, request.pass()));
    record("scheme_factory.create", handler ? "handler" : "none");
    return handler ? 1 : 0;
}

} // extern "C"
