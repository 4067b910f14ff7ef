// Canonicalises any text: every entity set must end in bounded time and memory.
#include "xml/XmlDocument.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kq;
    TXmlDocument doc;
    doc.ReadFromString(std::string_view(reinterpret_cast<const char*>(data), size));
    doc.Canonicalize();
    doc.WriteToLocalString();
    return 0;
}
