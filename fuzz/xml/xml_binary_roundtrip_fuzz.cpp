// Text in, binary form out and back: the text of both trees must be the same, saving must not change
// the document's text, and two saves must give the same bytes.
#include "xml/XmlDocument.h"
#include "xml/XmlStreams.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
std::string binary(kq::TXmlDocument& doc) {
    kq::TXmlStringStream out;
    doc.SaveToBinaryStream(out);
    return out.DataString();
}

void check(bool ok, const char* what, const std::string& a, const std::string& b) {
    if (ok) return;
    std::fprintf(stderr, "%s\n[%s]\n[%s]\n", what, a.c_str(), b.c_str());
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kq;
    TXmlDocument first;
    first.ReadFromString(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string text = first.WriteToLocalString();
    const std::string saved = binary(first);
    check(first.WriteToLocalString() == text, "saving changed the document", text, first.WriteToLocalString());
    check(binary(first) == saved, "two saves differ", saved, binary(first));
    TXmlDocument second;
    TXmlStringStream in(saved);
    second.LoadFromBinaryStream(in);
    check(second.WriteToLocalString() == text, "the tree read back writes another text", text,
          second.WriteToLocalString());
    return 0;
}
