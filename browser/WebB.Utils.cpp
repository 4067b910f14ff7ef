#include "browser/WebB.Utils.h"

#include "framework/ComObjects.h"

#include <algorithm>

#include "framework/Conversions.h"
#include "framework/Files.h"
#include "framework/Streams.h"

namespace kq {

built_in_key built_in_key_of(const cef_key_event_t& event) {
    const bool released = event.type == KEYEVENT_KEYUP;
    if (event.windows_key_code == VK_F12 && released) return built_in_key::show_devtools;
    if (event.windows_key_code == VK_F5 && released) return built_in_key::reload_ignore_cache;
    if (event.windows_key_code == 'F' && (event.modifiers & EVENTFLAG_CONTROL_DOWN)) return built_in_key::search_text;
    if (event.windows_key_code == VK_F4 && (event.modifiers & EVENTFLAG_ALT_DOWN)) return built_in_key::consume;
    return built_in_key::none;
}

HWND GetBrowserViewWindow(const ICefBrowser& browser) {
    if (!browser) return nullptr;
    const ICefBrowserHost host = browser.GetHost();
    if (!host) return nullptr;
    const HWND page = host.GetWindowHandle();
    return page ? ::GetParent(page) : nullptr;
}

bool SendToBrowserView(const ICefBrowser& browser, UINT message, LPARAM LParam) {
    const HWND view = GetBrowserViewWindow(browser);
    if (!view) return true;
    return ::SendMessageW(view, message, reinterpret_cast<WPARAM>(&browser), LParam) != 1;
}

TWaitResult WaitForReply(HANDLE event, DWORD milliseconds) {
    return wait_for_handle(event, milliseconds, wait_serving::all_input);
}

void ProcessPendingMessages() { dispatch_pending_messages(); }

String CreateGuidString() { return GUIDToString(CreateGUID()); }

// --- TFaviconGetter

TFaviconGetter::TFaviconGetter(const String& Url, TFaviconReady Callback)
    : fCallback(std::move(Callback)), fStream(std::make_unique<TMemoryStream>()) {
    cef()->on_download_data = &engine_thunk<&TFaviconGetter::OnDownloadData>::call;
    cef()->on_request_complete = &engine_thunk<&TFaviconGetter::OnRequestComplete>::call;
    const ICefRequest request = ICefRequest::New();
    if (!request) return;
    request.SetUrl(Url);
    fUrlRequest = ICefUrlRequest::New(request, cef());
}

TFaviconGetter::~TFaviconGetter() = default;

void TFaviconGetter::Cancel() {
    fCallback = nullptr;
    // The request keeps its client until it completes: cancelling completes it.
    if (const ICefUrlRequest running = fUrlRequest) running.Cancel();
}

void TFaviconGetter::OnDownloadData(ICefUrlRequest, const void* data, size_t data_length) {
    if (fStream && data) fStream->Write(data, static_cast<std::int64_t>(data_length));
}

void TFaviconGetter::OnRequestComplete(ICefUrlRequest request) {
    // The stream and the request go here in every case; the request no longer holds this client.
    const std::unique_ptr<TStream> stream = std::move(fStream);
    fUrlRequest = ICefUrlRequest();
    const TFaviconReady callback = std::move(fCallback);
    if (!callback || !request || !stream || request.GetRequestStatus() != UR_SUCCESS) return;
    stream->Seek(0, soFromBeginning);
    try {
        callback(request.GetRequest().GetUrl(), *stream);
    } catch (...) {
        // A favicon that cannot be used changes nothing.
    }
}

// --- Download names

namespace {

// A plain name holds no folder parts either.
bool refused_character(char16_t c) { return is_refused_name_character(c) || c == u'/' || c == u'\\'; }

bool name_taken(const String& path) { return ::GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES; }

constexpr int max_download_number = 10000;

} // namespace

String plain_download_name(const String& suggested) {
    const size_t last = suggested.find_last_of(u"\\/");
    String name;
    for (const char16_t c : last == String::npos ? suggested : suggested.substr(last + 1)) {
        if (!refused_character(c)) name += c;
    }
    // The system drops trailing dots and blanks; a name of dots alone would name a folder.
    while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
    name = TrimLeft(name);
    if (name.empty()) return u"download";
    if (is_device_name(name)) name = u"_" + name;
    return name;
}

String UniqueDownloadName(const String& Path) {
    const String folder = ExtractFilePath(Path);
    const String name = plain_download_name(ExtractFileName(Path));
    const String path = folder + name;
    if (!name_taken(path)) return path;
    const size_t dot = name.find_last_of(u'.');
    const bool has_extension = dot != String::npos && dot > 0;
    const String base = has_extension ? name.substr(0, dot) : name;
    const String extension = has_extension ? name.substr(dot) : String();
    for (int i = 1; i <= max_download_number; ++i) {
        const String candidate = folder + base + u"(" + IntToStr(i) + u")" + extension;
        if (!name_taken(candidate)) return candidate;
    }
    throw Exception(u"No free name for the download " + path);
}

} // namespace kq
