#pragma once

#include "framework/Strings.h"
#include "framework/Win32.h"

#include <vector>

namespace kq {

// The language every payload resource is stored under: Chinese (simplified).
constexpr WORD payload_language = 2052;
// Rows of the install table; the window's progress bar runs from 0 to the last row.
constexpr int install_row_count = 16;

// What the window collects before an install.
struct install_choices {
    String Folder; // the install folder as typed or picked; blanks around it are ignored
    bool Desktop = true;
    bool StartMenu = true;
    bool QuickLaunch = true;
};

// The window's side of an install.
class install_view {
public:
    virtual ~install_view() = default;
    // Row (0 to install_row_count - 1) is about to be written: show it and let pending window messages run.
    virtual void Progress(int Row) = 0;
};

struct install_result {
    // Why the files are not all installed (the install stopped there); empty when they are.
    String Error;
    // The installed program (the base folder followed by "KQ.exe"); empty when the folder was refused.
    String ApplicationPath;
    // One text for each chosen shortcut that was not made.
    std::vector<String> ShortcutErrors;
};

// Writes the payload that Payload carries as resources into the chosen folder, then makes the chosen
// shortcuts (this needs COM, which it initialises for the thread). Nothing is written when the folder text
// is unfit or a resource is missing. Each file is written beside its target under a temporary name and
// replaces the target only when complete; the first file that cannot be written ends the install, the
// files before it stay.
install_result Install(HMODULE Payload, const install_choices& Choices, install_view& View);

} // namespace kq
