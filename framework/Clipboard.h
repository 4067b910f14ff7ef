#pragma once
// TClipboard: the system clipboard as Unicode text; EClipboardException when it cannot be opened.

#include "framework/Exceptions.h"
#include "framework/Strings.h"

namespace kq {

// "Cannot open clipboard": another program held it for as long as we waited.
class EClipboardException : public Exception {
public:
    using Exception::Exception;
};

// The system clipboard, read and written as Unicode text. Each call opens and closes the clipboard, so
// nothing stays held between calls.
class TClipboard {
public:
    // The clipboard's text; empty when it holds none.
    String AsText() const;
    // Replaces the clipboard's content with value.
    void SetAsText(const String& value);
    bool HasText() const;
    void Clear();
};

// The process's clipboard object (it has no state of its own).
TClipboard& Clipboard();

} // namespace kq
