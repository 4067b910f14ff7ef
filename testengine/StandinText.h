#pragma once
// Text helpers of the stand-in engine.
#include <string>

#include "engine/cef_capi.h"

// Text helpers of the stand-in engine (it cannot use the program's binding: it is the other side).
namespace kq::standin {

std::wstring text_of(const cef_string_t* s);
// An engine string that borrows `text` for a call; valid while `text` lives unchanged.
inline cef_string_t borrowed(const std::wstring& text) {
    return cef_string_t{const_cast<wchar_t*>(text.c_str()), text.size(), nullptr};
}
cef_string_t borrowed(std::wstring&&) = delete;
// Sets an engine string the caller owns to a copy of `text`.
int set_text_out(const std::wstring& text, cef_string_t* out);
// A string allocated for the caller, who frees it with cef_string_userfree_utf16_free.
cef_string_userfree_t make_userfree(const std::wstring& text);
std::string utf8_of(const std::wstring& text);
std::wstring wide_of(const char* utf8);

} // namespace kq::standin
