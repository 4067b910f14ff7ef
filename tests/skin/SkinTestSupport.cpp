#include "tests/skin/SkinTestSupport.h"

#include "graphics/Raster.h"

#include <gtest/gtest.h>

#include <fstream>

#ifdef _WIN32
#include "framework/ResourceStreams.h"
#include <windows.h>
#include "skin/Skin.h"
#include "skin/uSkinResDM.h"
#else
#include <fstream>
#include <iterator>
#endif

namespace kq::test {
namespace {

// The raster library first (the stores name its nearest resampler), then the skin library, which reads
// the test program's store (the installer's) as a program does.
struct skin_environment : ::testing::Environment {
    void SetUp() override {
        graphics_startup();
#ifdef _WIN32
        skin_startup();
#endif
    }
    void TearDown() override {
#ifdef _WIN32
        skin_shutdown();
#endif
        graphics_shutdown();
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new skin_environment);

} // namespace

#ifdef _WIN32
std::span<const std::uint8_t> kq_store_bytes() {
    return program_rcdata(u"KQSKINSTORE").value();
}

std::span<const std::uint8_t> setup_store_bytes() {
    return program_rcdata(skin_store_resource_name).value();
}

temp_working_folder::temp_working_folder() : FPrevious(std::filesystem::current_path()) {
    static int counter = 0;
    FPath = std::filesystem::temp_directory_path() /
            (L"kq-skin-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
    std::filesystem::current_path(FPath);
}

temp_working_folder::~temp_working_folder() {
    std::error_code ignored;
    std::filesystem::current_path(FPrevious, ignored);
    std::filesystem::remove_all(FPath, ignored);
}

String temp_working_folder::write(const std::filesystem::path& name, std::span<const std::uint8_t> bytes) const {
    const std::filesystem::path file = FPath / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return from_wide(file.wstring().c_str());
}
#else
namespace {
const std::vector<std::uint8_t>& file_bytes(const char* path) {
    static std::vector<std::uint8_t> kq, setup;
    auto& bytes = std::string_view(path) == KQ_TEST_SKIN_STORE_KQ ? kq : setup;
    if (bytes.empty()) {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return bytes;
}
} // namespace

std::span<const std::uint8_t> kq_store_bytes() {
    return file_bytes(KQ_TEST_SKIN_STORE_KQ);
}

std::span<const std::uint8_t> setup_store_bytes() {
    return file_bytes(KQ_TEST_SKIN_STORE_SETUP);
}
#endif

} // namespace kq::test
