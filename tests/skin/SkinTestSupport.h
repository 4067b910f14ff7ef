#pragma once
// Skin test support: each program's skin image store bytes, and a temporary working folder.

#include "skin/uSkinImageList.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace kq::test {

// The bytes of each program's skin image store: resources of the test program under Windows, the files
// the build drew natively.
std::span<const std::uint8_t> kq_store_bytes();
std::span<const std::uint8_t> setup_store_bytes();

#ifdef _WIN32
// A new empty folder under the user's temporary folder, the working folder while the object lives; removed
// with its files at scope end.
class temp_working_folder {
public:
    temp_working_folder();
    ~temp_working_folder();
    temp_working_folder(const temp_working_folder&) = delete;
    temp_working_folder& operator=(const temp_working_folder&) = delete;

    const std::filesystem::path& path() const noexcept { return FPath; }
    // Writes a file of these bytes into the folder; returns its full name.
    String write(const std::filesystem::path& name, std::span<const std::uint8_t> bytes) const;

private:
    std::filesystem::path FPath, FPrevious;
};
#endif

} // namespace kq::test
