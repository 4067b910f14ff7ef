#pragma once
// The test-control exports tests reach.
#include <cstddef>

// The stand-in engine's test-control interface: extra exports of the stand-in's libcef.dll, reached with
// GetProcAddress. Texts are UTF-8.
extern "C" {

// Forgets the recorded calls and the test tables (the live counts stay: they are the engine's state).
void standin_reset(void);
// The recorded calls, one line each: thread, tab, call name, tab, detail. Copies at most capacity - 1
// bytes and a terminator; answers the full length.
size_t standin_calls_text(char* buffer, size_t capacity);
// Live objects of one kind (the engine structure's name, e.g. "cef_browser_t"): the stand-in's own objects
// still referenced and the references it holds to objects it received; null: all kinds together;
// "over_released": objects released once more than referenced.
int standin_live_count(const char* kind);

// The title a page with this address reports (default: the address). Addresses and titles are UTF-16.
void standin_set_title(const wchar_t* url, const wchar_t* title);

// Calls one of the client's callbacks for a browser on a thread ("ui", "io" or "renderer"); the outcome is
// recorded as "inject.<callback>". Arguments are separated by '|'. Answers 0 for an unknown browser or
// callback. Callbacks and their arguments:
//   load_error code|text|url; status text; console message|source|line; tooltip text; favicon url|url...;
//   got_focus; set_focus source; take_focus next; pre_key and key type|modifiers|windows_key_code|character;
//   before_context_menu link_url|page_url|command_id...; context_menu_command command_id|link_url|page_url;
//   protocol_execution url; do_close; jsdialog type|origin|message|default_prompt; before_unload message|is_reload;
//   auth is_proxy|host|port|realm|scheme; quota origin|new_size; before_download url|suggested_name;
//   popup url|x|y|width|height (a browser is created from the window information the client leaves).
int standin_inject(int browser_id, const char* callback, const char* thread, const wchar_t* argument);

// The answer to URL requests for this address: an HTTP status and a body; other addresses fail.
void standin_set_url_response(const wchar_t* url, int status, const char* body, size_t length);

// Script tables of the fake script engine: a property of the one global object, and the result of
// evaluating a script. type: "undefined", "null", "bool" ("true"/"false"), "int", "uint", "double", "string",
// "function" (value: its name), "array", "object" or "date"; for an evaluation also "throw" (value:
// "message|line|column"), which raises with the script as its source line.
void standin_set_global(const wchar_t* name, const char* type, const wchar_t* value);
void standin_set_eval(const wchar_t* code, const char* type, const wchar_t* value);

// A request for url on scheme, as a page would make it: the scheme's registered factory is asked for a
// resource handler (no browser, no frame). Answers 1 when it gave one, 0 without a factory or handler.
int standin_create_scheme_handler(const wchar_t* scheme, const wchar_t* url);

} // extern "C"
