#pragma once
// Installing the payload into a folder.
#include "framework/Exceptions.h"
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
    String folder; // the install folder as typed or picked; blanks around it are ignored
    bool desktop = true;
    bool start_menu = true;
    bool quick_launch = true;
};

// The folder text is unfit to install into; the message says why.
class install_folder_error : public Exception {
public:
    using Exception::Exception;
};

// The window's side of an install.
class install_view {
public:
    virtual ~install_view() = default;
    // The row (0 to install_row_count - 1) is about to be written: show it and let pending window messages
    // run. False stops the install before the row (the window has gone).
    virtual bool progress(int row) = 0;
};

struct install_result {
    // The installed program (the base folder followed by "KQ.exe").
    String application_path;
    // The view stopped the install: the files before its row stay, no shortcut is made.
    bool stopped = false;
    // One text for each chosen shortcut that was not made.
    std::vector<String> shortcut_errors;
};

// Writes the payload that payload_module carries as resources into the chosen folder, then makes the chosen
// shortcuts (this needs COM, which it initialises for the thread). Nothing is written when the folder text
// is unfit (install_folder_error) or a resource is missing (EResNotFound). Each file is written beside its
// target under a temporary name and replaces the target only when complete; the first file that cannot be
// written ends the install with its EStreamError, the files before it stay. A shortcut that cannot be made
// ends nothing: its message joins the result's list.
install_result run_install(HMODULE payload_module, const install_choices& choices, install_view& view);

} // namespace kq
