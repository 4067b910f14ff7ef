#pragma once
// Records that carry engine callbacks to the GUI thread, defaults.
#include "framework/Win32.h"

#include <functional>

#include "engine/CefInterfaces.h"
#include "engine/EngineObject.h"
#include "framework/Strings.h"
#include "framework/Threads.h"

// Carrying engine callbacks to the GUI thread: each is sent to the view that parents the page's window
// as a synchronous message in the WM_USER range, with the page in WParam and its parameters in LParam.
namespace kq {

// The view's messages. WParam: the address of the sender's ICefBrowser, valid during the send (the
// receiver copies it). LParam: as noted, or the address of a record below.
namespace view_msg {
inline constexpr UINT loading_state = WM_USER + 1;       // bits: 1 loading, 2 can go back, 4 can go forward
inline constexpr UINT popup_check = WM_USER + 2;         // popup_record
inline constexpr UINT before_popup = WM_USER + 3;        // popup_record
inline constexpr UINT after_created = WM_USER + 4;       // the browser identifier
inline constexpr UINT load_start = WM_USER + 5;          // const ICefFrame*
inline constexpr UINT load_end = WM_USER + 6;            // load_end_record
inline constexpr UINT load_error = WM_USER + 7;          // load_error_record
inline constexpr UINT focus_view = WM_USER + 8;          // 0; from the view itself
inline constexpr UINT got_focus = WM_USER + 9;           // 0
inline constexpr UINT set_focus = WM_USER + 10;          // set_focus_record
inline constexpr UINT take_focus = WM_USER + 11;         // const bool*: next
inline constexpr UINT before_context_menu = WM_USER + 12; // context_menu_record
inline constexpr UINT context_menu_command = WM_USER + 13; // context_menu_command_record
inline constexpr UINT context_menu_dismissed = WM_USER + 14; // const ICefFrame*
inline constexpr UINT file_dialog = WM_USER + 15;        // file_dialog_record
inline constexpr UINT key_event = WM_USER + 16;          // key_record
inline constexpr UINT pre_key_event = WM_USER + 17;      // pre_key_record
inline constexpr UINT address_change = WM_USER + 18;     // const String*
inline constexpr UINT console_message = WM_USER + 19;    // console_record
inline constexpr UINT status_message = WM_USER + 20;     // const String*
inline constexpr UINT title_change = WM_USER + 21;       // const String*
inline constexpr UINT tooltip = WM_USER + 22;            // tooltip_record
inline constexpr UINT before_download = WM_USER + 23;    // before_download_record
inline constexpr UINT download_updated = WM_USER + 24;   // download_updated_record
inline constexpr UINT geolocation_request = WM_USER + 25; // geolocation_record
inline constexpr UINT geolocation_cancel = WM_USER + 26; // const int*: the request identifier
inline constexpr UINT jsdialog = WM_USER + 27;           // jsdialog_record
inline constexpr UINT before_unload = WM_USER + 28;      // before_unload_record
inline constexpr UINT reset_dialog_state = WM_USER + 29; // 0
inline constexpr UINT dialog_closed = WM_USER + 30;      // 0
inline constexpr UINT do_close = WM_USER + 31;           // bool*: whether the page's window was destroyed
inline constexpr UINT before_close = WM_USER + 32;       // 0
inline constexpr UINT auth_credentials = WM_USER + 38;   // auth_record
inline constexpr UINT drag_enter = WM_USER + 45;         // drag_enter_record
inline constexpr UINT show_devtools = WM_USER + 46;      // 0: F12 released
inline constexpr UINT reload_ignore_cache = WM_USER + 47; // 0: F5 released
inline constexpr UINT search_text = WM_USER + 48;        // 0: Control+F
inline constexpr UINT script_reply = WM_USER + 49;       // script_reply_record
inline constexpr UINT favicon_change = WM_USER + 51;     // const std::vector<String>*
inline constexpr UINT fullscreen_change = WM_USER + 52;  // const bool*
} // namespace view_msg

// The records: pointers to the callback's parameters and results, on the sender's stack during the send.
// CancelDefaultEvent is written only by the receiver's event.
struct popup_record {
    const ICefFrame* frame;
    const String* targetUrl;
    const String* targetFrameName;
    cef_window_open_disposition_t targetDisposition;
    bool userGesture;
    const cef_popup_features_t* popupFeatures;
    cef_window_info_t* window_info;
    cef_client_t** client;
    cef_browser_settings_t* settings;
    bool* noJavascriptAccess;
    bool* Cancel;
    bool CancelDefaultEvent;
};
struct load_end_record {
    const ICefFrame* frame;
    int httpStatusCode;
};
struct load_error_record {
    const ICefFrame* frame;
    int errorCode;
    const String* errorText;
    const String* failed_url;
    bool CancelDefaultEvent;
};
struct set_focus_record {
    const cef_focus_source_t* source;
    bool* Cancel;
    bool CancelDefaultEvent;
};
struct context_menu_record {
    const ICefFrame* frame;
    const ICefContextMenuParams* params;
    const ICefMenuModel* model;
};
struct context_menu_command_record {
    const ICefFrame* frame;
    const ICefContextMenuParams* params;
    int command_id;
    cef_event_flags_t eventFlags;
    bool* result;
};
struct file_dialog_record {
    cef_file_dialog_mode_t mode;
    const String* title;
    const String* defaultFilePath;
    const std::vector<String>* acceptFilters;
    int selectedAcceptFilter;
    const engine_ref<cef_file_dialog_callback_t>* callback;
    bool* result;
};
struct key_record {
    const cef_key_event_t* event;
    const MSG* osEvent;
    bool* Cancel;
};
struct pre_key_record {
    const cef_key_event_t* event;
    const MSG* osEvent;
    bool* isKeyboardShortcut;
    bool* Cancel;
    bool CancelDefaultEvent;
};
struct console_record {
    const String* message;
    const String* source;
    int line;
    bool* result;
};
struct tooltip_record {
    String* text;
    bool* result;
};
struct before_download_record {
    const ICefDownloadItem* downloadItem;
    const String* suggested_name;
    const ICefBeforeDownloadCallback* callback;
    bool CancelDefaultEvent;
};
struct download_updated_record {
    const ICefDownloadItem* downloadItem;
    const engine_ref<cef_download_item_callback_t>* callback;
};
struct geolocation_record {
    const String* requestingUrl;
    int requestId;
    const engine_ref<cef_geolocation_callback_t>* callback;
    bool* Cancel;
};
struct jsdialog_record {
    const String* originUrl;
    cef_jsdialog_type_t dialogType;
    const String* messageText;
    const String* defaultPromptText;
    const ICefJsDialogCallback* callback;
    bool* suppressMessage;
    bool* result;
    bool CancelDefaultEvent;
};
struct before_unload_record {
    const String* messageText;
    bool isReload;
    const ICefJsDialogCallback* callback;
    bool* result;
    bool CancelDefaultEvent;
};
struct auth_record {
    const ICefFrame* frame;
    bool isProxy;
    const String* host;
    int port;
    const String* realm;
    const String* scheme;
    const ICefAuthCallback* callback;
    bool CancelDefaultEvent;
};
struct drag_enter_record {
    const engine_ref<cef_drag_data_t>* dragData;
    const cef_drag_operations_mask_t* mask;
    bool* Cancel;
};
struct script_reply_record {
    const String* identifier;
    const ICefListValue* value; // the reply's argument list; the value is at index 1
    const String* errorText;
};

// What the program does with a key before the page sees it: F12 and F5 on release, Control+F on both
// down and up; Alt+F4 is kept from the page so that it closes the program's window.
enum class built_in_key { none, show_devtools, reload_ignore_cache, search_text, consume };
built_in_key built_in_key_of(const cef_key_event_t& event);

// The view of a page: the parent of the page's window (none once that window has gone).
HWND GetBrowserViewWindow(const ICefBrowser& browser);

// Sends a view message for the page and waits until the GUI thread has handled it (on the GUI thread the
// view handles it at once). False only when the view answered 1; a page without a view answers nothing.
bool SendToBrowserView(const ICefBrowser& browser, UINT message, LPARAM LParam);

// On the GUI thread, waits for the event while serving every message; a WM_QUIT seen is kept and ends the
// wait with wrTimeout. Elsewhere the event's plain wait.
TWaitResult WaitForReply(HANDLE event, DWORD milliseconds);

// Dispatches every message queued for the calling thread; a WM_QUIT met is put back and ends the run.
void ProcessPendingMessages();

// A new GUID in its registry form, upper case: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". EOleSysError when
// the system cannot make one.
String CreateGuidString();

class TStream;

// The bytes of a downloaded favicon, from their start, with the address they came from.
using TFaviconReady = std::function<void(const String& url, TStream& stream)>;

// Downloads one favicon through the engine. The callback runs on the engine's UI thread (the GUI thread)
// when the request has succeeded; an exception it raises is dropped. Cancel forgets the callback.
class TFaviconGetter : public engine_object<cef_urlrequest_client_t> {
public:
    TFaviconGetter(const String& Url, TFaviconReady Callback);
    ~TFaviconGetter() override;
    void Cancel();

private:
    void OnDownloadData(ICefUrlRequest request, const void* data, size_t data_length);
    void OnRequestComplete(ICefUrlRequest request);

    TFaviconReady fCallback;
    std::unique_ptr<TStream> fStream; // until the request completes
    ICefUrlRequest fUrlRequest;       // until the request completes
};

// A suggested download name as a plain file name: its last part only, without the characters the system
// refuses, trailing dots and blanks; a device name gets "_" in front; nothing left gives "download".
String plain_download_name(const String& suggested);

// A free path in the folder of Path for its file name (reduced to a plain name): the path itself, or the
// first form with a number in parentheses before the extension that names nothing. Raises an Exception
// when none of the first 10,000 numbers is free.
String UniqueDownloadName(const String& Path);

} // namespace kq
