#pragma once

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

// Script tables of the fake script engine: a property of the one global object, and the result of
// evaluating a script. type: "undefined", "null", "bool" ("true"/"false"), "int", "uint", "double", "string",
// "function" (value: its name), "array", "object" or "date".
void standin_set_global(const wchar_t* name, const char* type, const wchar_t* value);
void standin_set_eval(const wchar_t* code, const char* type, const wchar_t* value);

} // extern "C"
