#include "tests/skin/SkinTestSupport.h"

#ifdef _WIN32
#include "framework/ResourceStreams.h"
#else
#include <fstream>
#include <iterator>
#endif

namespace kq::test {

#ifdef _WIN32
std::span<const std::uint8_t> kq_store_bytes() {
    return program_rcdata(u"KQSKINSTORE").value();
}

std::span<const std::uint8_t> setup_store_bytes() {
    return program_rcdata(u"TSKINRESDM").value();
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
