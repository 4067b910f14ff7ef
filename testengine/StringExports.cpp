// The stand-in's string, string-list and string-map exports. Strings it fills own a copy freed by their
// dtor; lists and maps are counted as live objects.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/cef_capi.h"
#include "testengine/Recorder.h"
#include "testengine/StandinText.h"

#include <windows.h>

namespace {

using kq::standin::count_down;
using kq::standin::count_up;

template <class C>
void CEF_CALLBACK free_text(C* text) {
    delete[] text;
}

template <class S, class C>
int set_text(const C* src, size_t length, S* out, int copy) {
    if (!out) return 0;
    if (out->dtor) out->dtor(out->str);
    *out = S{};
    if (!src) return 1;
    if (copy) {
        C* text = new C[length + 1];
        std::copy(src, src + length, text);
        text[length] = C{};
        *out = S{text, length, &free_text<C>};
    } else {
        *out = S{const_cast<C*>(src), length, nullptr};
    }
    return 1;
}

template <class S>
void clear_text(S* s) {
    if (!s) return;
    if (s->dtor) s->dtor(s->str);
    *s = S{};
}

template <class S>
int compare_text(const S* a, const S* b) {
    const auto* ab = a && a->str ? a->str : nullptr;
    const auto* bb = b && b->str ? b->str : nullptr;
    const size_t an = ab ? a->length : 0;
    const size_t bn = bb ? b->length : 0;
    for (size_t i = 0; i < an && i < bn; ++i) {
        if (ab[i] != bb[i]) return static_cast<unsigned>(ab[i]) < static_cast<unsigned>(bb[i]) ? -1 : 1;
    }
    return an == bn ? 0 : (an < bn ? -1 : 1);
}

int wide_to_utf8(const wchar_t* src, size_t length, cef_string_utf8_t* out) {
    std::string text;
    if (src && length) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, src, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
        text.resize(static_cast<size_t>(n));
        ::WideCharToMultiByte(CP_UTF8, 0, src, static_cast<int>(length), text.data(), n, nullptr, nullptr);
    }
    return set_text(text.data(), text.size(), out, 1);
}

template <class S>
int utf8_to_wide(const char* src, size_t length, S* out) {
    std::wstring text;
    if (src && length) {
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, src, static_cast<int>(length), nullptr, 0);
        text.resize(static_cast<size_t>(n));
        ::MultiByteToWideChar(CP_UTF8, 0, src, static_cast<int>(length), text.data(), n);
    }
    return set_text(text.data(), text.size(), out, 1);
}

template <class S>
int ascii_to_wide(const char* src, size_t length, S* out) {
    std::wstring text(src ? src : "", src ? src + length : nullptr);
    return set_text(text.data(), text.size(), out, 1);
}

template <class S>
S* userfree_alloc() {
    count_up("cef_string_userfree_t");
    return new S{};
}

template <class S>
void userfree_free(S* s) {
    if (!s) return;
    clear_text(s);
    delete s;
    count_down("cef_string_userfree_t");
}

using text_list = std::vector<std::wstring>;
using text_map = std::vector<std::pair<std::wstring, std::wstring>>;

using kq::standin::text_of;

int set_out(const std::wstring& text, cef_string_t* out) { return set_text(text.data(), text.size(), out, 1); }

text_list* as_list(cef_string_list_t l) { return static_cast<text_list*>(l); }
text_map* as_map(cef_string_map_t m) { return static_cast<text_map*>(m); }

} // namespace

namespace kq::standin {

std::wstring text_of(const cef_string_t* s) {
    return s && s->str ? std::wstring(s->str, s->length) : std::wstring();
}

int set_text_out(const std::wstring& text, cef_string_t* out) { return set_out(text, out); }

cef_string_userfree_t make_userfree(const std::wstring& text) {
    cef_string_userfree_t s = cef_string_userfree_utf16_alloc();
    set_out(text, s);
    return s;
}

std::string utf8_of(const std::wstring& text) {
    cef_string_utf8_t s{};
    wide_to_utf8(text.data(), text.size(), &s);
    std::string result(s.str ? s.str : "", s.length);
    clear_text(&s);
    return result;
}

std::wstring wide_of(const char* utf8) {
    if (!utf8) return std::wstring();
    cef_string_wide_t s{};
    utf8_to_wide(utf8, std::char_traits<char>::length(utf8), &s);
    std::wstring result(s.str ? s.str : L"", s.length);
    clear_text(&s);
    return result;
}

} // namespace kq::standin

extern "C" {

int cef_string_wide_set(const wchar_t* s, size_t n, cef_string_wide_t* out, int copy) {
    return set_text(s, n, out, copy);
}
int cef_string_utf8_set(const char* s, size_t n, cef_string_utf8_t* out, int copy) {
    return set_text(s, n, out, copy);
}
int cef_string_utf16_set(const char16* s, size_t n, cef_string_utf16_t* out, int copy) {
    return set_text(s, n, out, copy);
}
void cef_string_wide_clear(cef_string_wide_t* s) { clear_text(s); }
void cef_string_utf8_clear(cef_string_utf8_t* s) { clear_text(s); }
void cef_string_utf16_clear(cef_string_utf16_t* s) { clear_text(s); }
int cef_string_wide_cmp(const cef_string_wide_t* a, const cef_string_wide_t* b) { return compare_text(a, b); }
int cef_string_utf8_cmp(const cef_string_utf8_t* a, const cef_string_utf8_t* b) { return compare_text(a, b); }
int cef_string_utf16_cmp(const cef_string_utf16_t* a, const cef_string_utf16_t* b) { return compare_text(a, b); }
int cef_string_wide_to_utf8(const wchar_t* s, size_t n, cef_string_utf8_t* out) { return wide_to_utf8(s, n, out); }
int cef_string_utf16_to_utf8(const char16* s, size_t n, cef_string_utf8_t* out) { return wide_to_utf8(s, n, out); }
int cef_string_utf8_to_wide(const char* s, size_t n, cef_string_wide_t* out) { return utf8_to_wide(s, n, out); }
int cef_string_utf8_to_utf16(const char* s, size_t n, cef_string_utf16_t* out) { return utf8_to_wide(s, n, out); }
int cef_string_wide_to_utf16(const wchar_t* s, size_t n, cef_string_utf16_t* out) { return set_text(s, n, out, 1); }
int cef_string_utf16_to_wide(const char16* s, size_t n, cef_string_wide_t* out) { return set_text(s, n, out, 1); }
int cef_string_ascii_to_wide(const char* s, size_t n, cef_string_wide_t* out) { return ascii_to_wide(s, n, out); }
int cef_string_ascii_to_utf16(const char* s, size_t n, cef_string_utf16_t* out) { return ascii_to_wide(s, n, out); }

cef_string_userfree_wide_t cef_string_userfree_wide_alloc(void) { return userfree_alloc<cef_string_wide_t>(); }
cef_string_userfree_utf8_t cef_string_userfree_utf8_alloc(void) { return userfree_alloc<cef_string_utf8_t>(); }
cef_string_userfree_utf16_t cef_string_userfree_utf16_alloc(void) { return userfree_alloc<cef_string_utf16_t>(); }
void cef_string_userfree_wide_free(cef_string_userfree_wide_t s) { userfree_free(s); }
void cef_string_userfree_utf8_free(cef_string_userfree_utf8_t s) { userfree_free(s); }
void cef_string_userfree_utf16_free(cef_string_userfree_utf16_t s) { userfree_free(s); }

cef_string_list_t cef_string_list_alloc(void) {
    count_up("cef_string_list_t");
    return new text_list();
}
int cef_string_list_size(cef_string_list_t l) { return l ? static_cast<int>(as_list(l)->size()) : 0; }
int cef_string_list_value(cef_string_list_t l, int i, cef_string_t* out) {
    if (!l || i < 0 || static_cast<size_t>(i) >= as_list(l)->size()) return 0;
    return set_out((*as_list(l))[static_cast<size_t>(i)], out);
}
void cef_string_list_append(cef_string_list_t l, const cef_string_t* s) {
    if (l) as_list(l)->push_back(text_of(s));
}
void cef_string_list_clear(cef_string_list_t l) {
    if (l) as_list(l)->clear();
}
void cef_string_list_free(cef_string_list_t l) {
    if (!l) return;
    delete as_list(l);
    count_down("cef_string_list_t");
}
cef_string_list_t cef_string_list_copy(cef_string_list_t l) {
    if (!l) return nullptr;
    count_up("cef_string_list_t");
    return new text_list(*as_list(l));
}

cef_string_map_t cef_string_map_alloc(void) {
    count_up("cef_string_map_t");
    return new text_map();
}
int cef_string_map_size(cef_string_map_t m) { return m ? static_cast<int>(as_map(m)->size()) : 0; }
int cef_string_map_find(cef_string_map_t m, const cef_string_t* key, cef_string_t* out) {
    if (!m) return 0;
    const std::wstring k = text_of(key);
    for (const auto& [ek, ev] : *as_map(m)) {
        if (ek == k) return set_out(ev, out);
    }
    return 0;
}
int cef_string_map_key(cef_string_map_t m, int i, cef_string_t* out) {
    if (!m || i < 0 || static_cast<size_t>(i) >= as_map(m)->size()) return 0;
    return set_out((*as_map(m))[static_cast<size_t>(i)].first, out);
}
int cef_string_map_value(cef_string_map_t m, int i, cef_string_t* out) {
    if (!m || i < 0 || static_cast<size_t>(i) >= as_map(m)->size()) return 0;
    return set_out((*as_map(m))[static_cast<size_t>(i)].second, out);
}
int cef_string_map_append(cef_string_map_t m, const cef_string_t* key, const cef_string_t* value) {
    if (!m) return 0;
    as_map(m)->emplace_back(text_of(key), text_of(value));
    return 1;
}
void cef_string_map_clear(cef_string_map_t m) {
    if (m) as_map(m)->clear();
}
void cef_string_map_free(cef_string_map_t m) {
    if (!m) return;
    delete as_map(m);
    count_down("cef_string_map_t");
}

} // extern "C"
