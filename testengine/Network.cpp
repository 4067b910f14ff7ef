// The stand-in's requests, URL requests answered from a test table, and the cookie manager, which only
// records what it is asked.
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

struct url_response {
    int status = 0;
    std::string body;
};

std::mutex responses_lock; // guards responses
std::map<std::wstring, url_response> responses;

// The engine answers a completion callback later, on its IO thread.
void complete_later(cef_completion_callback_t* callback) {
    auto c = std::make_shared<held<cef_completion_callback_t>>(engine_ref<cef_completion_callback_t>::adopt(callback),
                                                               "cef_completion_callback_t");
    if (!*c || !engine_running()) return;
    post(TID_IO, [c] {
        if ((*c)->on_complete) (*c)->on_complete(c->get());
        c->reset();
    });
}

class cookie_manager : public standin_object<cef_cookie_manager_t> {
public:
    cookie_manager() {
        cef()->set_storage_path = &engine_thunk<&cookie_manager::set_storage_path>::call;
        cef()->flush_store = &engine_thunk<&cookie_manager::flush_store>::call;
        cef()->delete_cookies = &engine_thunk<&cookie_manager::delete_cookies>::call;
    }
    const char* kind() const noexcept override { return "cef_cookie_manager_t"; }

private:
    int set_storage_path(const cef_string_t* path, int persist, cef_completion_callback_t* callback) {
        record("cookie_manager.set_storage_path", utf8_of(text_of(path)) + " persist=" + std::to_string(persist));
        complete_later(callback);
        return 1;
    }
    int flush_store(cef_completion_callback_t* callback) {
        record("cookie_manager.flush_store", callback ? "callback" : "");
        complete_later(callback);
        return 1;
    }
    int delete_cookies(const cef_string_t* url, const cef_string_t* name, cef_delete_cookies_callback_t* callback) {
        release_given(callback);
        record("cookie_manager.delete_cookies", utf8_of(text_of(url)) + " " + utf8_of(text_of(name)));
        return 1;
    }
};

class request : public standin_object<cef_request_t> {
public:
    request() {
        cef()->is_read_only = &engine_thunk<&request::is_read_only>::call;
        cef()->get_url = &engine_thunk<&request::get_url>::call;
        cef()->set_url = &engine_thunk<&request::set_url>::call;
        cef()->get_method = &engine_thunk<&request::get_method>::call;
        cef()->set_method = &engine_thunk<&request::set_method>::call;
    }
    const char* kind() const noexcept override { return "cef_request_t"; }
    static std::wstring url_of(cef_request_t* r) { return r ? static_cast<request*>(owner_of(r))->FUrl : L""; }

private:
    int is_read_only() { return 0; }
    cef_string_userfree_t get_url() { return make_userfree(FUrl); }
    void set_url(const cef_string_t* url) { FUrl = text_of(url); }
    cef_string_userfree_t get_method() { return make_userfree(FMethod); }
    void set_method(const cef_string_t* method) { FMethod = text_of(method); }

    std::wstring FUrl;
    std::wstring FMethod = L"GET";
};

class response : public standin_object<cef_response_t> {
public:
    explicit response(int status) : FStatus(status) {
        cef()->is_read_only = &engine_thunk<&response::is_read_only>::call;
        cef()->get_status = &engine_thunk<&response::get_status>::call;
        cef()->get_status_text = &engine_thunk<&response::get_status_text>::call;
        cef()->get_mime_type = &engine_thunk<&response::get_mime_type>::call;
    }
    const char* kind() const noexcept override { return "cef_response_t"; }

private:
    int is_read_only() { return 1; }
    int get_status() { return FStatus; }
    cef_string_userfree_t get_status_text() { return make_userfree(FStatus == 200 ? L"OK" : L""); }
    cef_string_userfree_t get_mime_type() { return make_userfree(L"application/octet-stream"); }
    int FStatus;
};

class url_request : public standin_object<cef_urlrequest_t> {
public:
    url_request(engine_ref<cef_request_t> r, engine_ref<cef_urlrequest_client_t> client)
        : FRequest(std::move(r), "cef_request_t"), FClient(std::move(client), "cef_urlrequest_client_t") {
        cef()->get_request = &engine_thunk<&url_request::get_request>::call;
        cef()->get_client = &engine_thunk<&url_request::get_client>::call;
        cef()->get_request_status = &engine_thunk<&url_request::get_request_status>::call;
        cef()->get_request_error = &engine_thunk<&url_request::get_request_error>::call;
        cef()->get_response = &engine_thunk<&url_request::get_response>::call;
        cef()->cancel = &engine_thunk<&url_request::cancel>::call;
    }
    const char* kind() const noexcept override { return "cef_urlrequest_t"; }

    // The answer from the table (failure when the address is not there); the client hears it once.
    void answer() {
        if (FStatus != UR_IO_PENDING) return;
        url_response found;
        bool known = false;
        {
            const std::lock_guard lock(responses_lock);
            const auto it = responses.find(request::url_of(FRequest.get()));
            if (it != responses.end()) found = it->second, known = true;
        }
        FHttpStatus = known ? found.status : 0;
        if (known && FClient && FClient->on_download_data && !found.body.empty()) {
            FClient->on_download_data(FClient.get(), pass(), found.body.data(), found.body.size());
        }
        FStatus = known ? UR_SUCCESS : UR_FAILED;
        FError = known ? ERR_NONE : ERR_FILE_NOT_FOUND;
        finish();
    }

private:
    void release_resources() noexcept override {
        FRequest.reset();
        FClient.reset();
    }
    void finish() {
        // The client is handed a counted reference with each callback, as every engine parameter.
        if (FClient && FClient->on_request_complete) FClient->on_request_complete(FClient.get(), pass());
        FClient.reset();
    }
    cef_request_t* get_request() { return FRequest.pass(); }
    cef_urlrequest_client_t* get_client() { return FClient.pass(); }
    cef_urlrequest_status_t get_request_status() { return FStatus; }
    cef_errorcode_t get_request_error() { return FError; }
    cef_response_t* get_response() { return make<response>(FHttpStatus).detach(); }
    void cancel() {
        record("urlrequest.cancel", utf8_of(request::url_of(FRequest.get())));
        if (FStatus != UR_IO_PENDING) return;
        FStatus = UR_CANCELED;
        FError = ERR_ABORTED;
        finish();
    }

    held<cef_request_t> FRequest;
    held<cef_urlrequest_client_t> FClient; // until the request completes
    cef_urlrequest_status_t FStatus = UR_IO_PENDING;
    cef_errorcode_t FError = ERR_NONE;
    int FHttpStatus = 0;
};

} // namespace

} // namespace kq::standin

using namespace kq::standin;

extern "C" {

cef_cookie_manager_t* cef_cookie_manager_get_global_manager(cef_completion_callback_t* callback) {
    record("cef_cookie_manager_get_global_manager");
    complete_later(callback);
    return make<cookie_manager>().detach();
}

cef_request_t* cef_request_create(void) { return make<request>().detach(); }

// Answered on the UI thread at the next message-loop work, from the table of standin_set_url_response.
cef_urlrequest_t* cef_urlrequest_create(cef_request_t* r, cef_urlrequest_client_t* client,
                                        cef_request_context_t* context) {
    release_given(context);
    auto given = kq::engine_ref<cef_request_t>::adopt(r);
    record("cef_urlrequest_create", utf8_of(request::url_of(r)));
    if (!r || !engine_running()) return nullptr;
    auto u = make<url_request>(std::move(given), kq::engine_ref<cef_urlrequest_client_t>::adopt(client));
    post_ui([u] { static_cast<url_request*>(url_request::owner_of(u.get()))->answer(); });
    return u.pass();
}

void standin_set_url_response(const wchar_t* url, int status, const char* body, size_t length) {
    const std::lock_guard lock(responses_lock);
    responses[url ? url : L""] = url_response{status, std::string(body ? body : "", body ? length : 0)};
}

} // extern "C"
