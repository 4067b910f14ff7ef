// Loads any bytes as a document (every encoding the first bytes may announce), with the options the
// first byte selects, then writes it back.
#include "xml/XmlDocument.h"
#include "xml/XmlStreams.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kq;
    if (size == 0) return 0;
    const std::uint8_t options = data[0];
    TXmlDocument doc;
    doc.FixStructuralErrors = options & 1;
    doc.DropCommentsOnParse = options & 2;
    if (options & 4) doc.SetXmlFormat(xfCompact);
    TXmlStringStream in(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    doc.LoadFromStream(in);
    if (options & 8) doc.SetXmlFormat(xfReadable);
    TXmlFastMemStream out;
    doc.SaveToStream(out);
    doc.WriteToLocalString();
    if (doc.Root()) doc.Root()->FindNode("/a/b");
    return 0;
}
