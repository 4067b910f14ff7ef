// Reads any bytes as the binary form, then writes the tree as text and as the binary form again: the
// reader trusts nothing in the stream, so every input must end without a fault.
#include "xml/XmlDocument.h"
#include "xml/XmlStreams.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kq;
    TXmlDocument doc;
    TXmlStringStream in(std::string_view(reinterpret_cast<const char*>(data), size));
    doc.LoadFromBinaryStream(in);
    doc.WriteToLocalString();
    TXmlFastMemStream out;
    doc.SaveToBinaryStream(out);
    for (TXmlNode* n = doc.FindFirst(); n; n = doc.FindNext(n)) n->GetValue();
    return 0;
}
