#pragma once
// Checking the folder the user chooses.
#include "framework/Strings.h"

#include <cstddef>

namespace kq {

// The longest path the system's file calls take without the long-path prefix, its null excluded.
constexpr std::size_t max_path_length = 259;

// What makes a folder text unfit to write into.
enum class path_problem { none, empty, not_full, bad_character, device_name, changed_name, too_long };

// Whether the text is a full path: a drive letter, a colon and a separator, or \\server\share.
bool is_full_path(StringView path) noexcept;

// Whether a full path names the root of a drive or share ("C:\", "\\server\share\"), however many
// separators follow it.
bool is_root_folder(StringView path) noexcept;

// Checks a folder text as it stands (trimming is the caller's business): it must be a full path whose
// names the file system takes unchanged (no character it refuses, no device name such as CON or LPT1, no
// name ending in a dot or blank), short enough that reserve more characters still fit in a path.
path_problem check_folder(StringView folder, std::size_t reserve) noexcept;

} // namespace kq
