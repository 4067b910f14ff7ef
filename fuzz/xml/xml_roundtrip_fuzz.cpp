// Load, save, load again: for a text the library reads and writes without a warning, both trees must
// write the same text. A text with warnings is repaired or cut where the warning says, and names are trimmed of
// control characters (which XML forbids anyway), so such texts need not come back.
#include "xml/XmlDocument.h"
#include "xml/XmlStreams.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
std::string save(kq::TXmlDocument& doc) {
    kq::TXmlStringStream out;
    doc.SaveToStream(out);
    return out.DataString();
}

bool is_control(unsigned c) { return c < 32 && c != '\t' && c != '\n' && c != '\r'; }

bool has_control_characters(const std::uint8_t* data, std::size_t size, kq::TXmlStringEncoding encoding) {
    if (encoding == kq::seUTF16LE || encoding == kq::seUTF16BE) {
        const bool le = encoding == kq::seUTF16LE;
        for (std::size_t i = 0; i + 1 < size; i += 2)
            if (is_control(le ? data[i] | (data[i + 1] << 8) : (data[i] << 8) | data[i + 1])) return true;
        return false;
    }
    for (std::size_t i = 0; i < size; ++i)
        if (is_control(data[i])) return true;
    return false;
}

void print(const char* label, const std::string& s) {
    std::fprintf(stderr, "%s [", label);
    for (unsigned char c : s) std::fprintf(stderr, c >= 32 && c < 127 ? "%c" : "\\x%02x", c);
    std::fprintf(stderr, "]\n");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kq;
    bool warned = false;
    auto listen = [&](TObject*, TXmlWarnStyle style, const std::string&) { warned |= style >= wsWarn; };
    TXmlDocument first;
    first.OnDebugOut = listen;
    TXmlStringStream in(std::string_view(reinterpret_cast<const char*>(data), size));
    first.LoadFromStream(in);
    if (warned) return 0;
    if (has_control_characters(data, size, first.ExternalEncoding())) return 0;
    // An element without a name is written "</>" (or "<>"), which reads back as an end tag.
    bool unnamed = false;
    first.ForEach(&first, [&](TObject*, TXmlNode* n) { unnamed |= n->ElementType() == xeElement && n->GetName().empty(); });
    if (unnamed) return 0;
    // The declaration is read before its encoding is known, so only ASCII in it is taken as meant.
    if (const TXmlDeclaration* d = first.Declaration())
        for (unsigned char c : d->WriteToString())
            if (c >= 0x80) return 0;
    const std::string a = save(first);
    if (warned) return 0; // a character the code page lacks was written as "?"
    TXmlDocument second;
    second.OnDebugOut = listen;
    TXmlStringStream again(a);
    second.LoadFromStream(again);
    const std::string b = save(second);
    // UTF-8 is written without a byte-order mark, so a text whose own first bytes look like a mark or
    // the start of another encoding (U+FEFF, bytes that are no UTF-8) is read back as that encoding.
    if (second.ExternalEncoding() != first.ExternalEncoding() || a.rfind("\xEF\xBB\xBF", 0) == 0) return 0;
    // A source of four bytes or fewer is read as empty on purpose, so such a text cannot come back.
    if (a.size() > 4 && a != b) {
        print("first: ", a);
        print("second:", b);
        std::abort();
    }
    return 0;
}
