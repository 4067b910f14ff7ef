#include "framework/Clipboard.h"

#include "framework/Controls.h"

#include <cstring>

namespace kq {

namespace {


// The clipboard, open for the scope's lifetime. Writing needs an owner window (with none, the system
// refuses the data), so a hidden one is made for the scope.
class open_clipboard {
public:
    open_clipboard() : FOwner(AllocateHWnd([this](TMessage& m) {
                           m.Result = ::DefWindowProcW(FOwner.get(), m.Msg, m.WParam, m.LParam);
                       })) {
        // Another program may hold it for a moment.
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (::OpenClipboard(FOwner.get())) return;
            ::Sleep(10);
        }
        throw EClipboardException(u"Cannot open clipboard");
    }
    open_clipboard(const open_clipboard&) = delete;
    open_clipboard& operator=(const open_clipboard&) = delete;
    ~open_clipboard() { ::CloseClipboard(); }

private:
    unique_hidden_window FOwner;
};

} // namespace

String TClipboard::AsText() const {
    open_clipboard open;
    const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    if (!data) return {};
    const auto* text = static_cast<const char16_t*>(::GlobalLock(data));
    if (!text) return {};
    // The block's size bounds the read: text from another program need not end in a null.
    const size_t capacity = ::GlobalSize(data) / sizeof(char16_t);
    size_t length = 0;
    while (length < capacity && text[length] != 0) ++length;
    String result(text, length);
    ::GlobalUnlock(data);
    return result;
}

void TClipboard::SetAsText(const String& value) {
    unique_hglobal block(::GlobalAlloc(GMEM_MOVEABLE, (value.size() + 1) * sizeof(char16_t)));
    if (!block) raise_out_of_resources();
    auto* text = static_cast<char16_t*>(::GlobalLock(block.get()));
    if (!text) raise_out_of_resources();
    std::memcpy(text, value.data(), value.size() * sizeof(char16_t));
    text[value.size()] = 0;
    ::GlobalUnlock(block.get());
    open_clipboard open;
    ::EmptyClipboard();
    if (!::SetClipboardData(CF_UNICODETEXT, block.get())) RaiseLastOSError();
    block.release(); // the system's now
}

bool TClipboard::HasText() const { return ::IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE; }

void TClipboard::Clear() {
    open_clipboard open;
    ::EmptyClipboard();
}

TClipboard& Clipboard() {
    static TClipboard clipboard;
    return clipboard;
}

} // namespace kq
