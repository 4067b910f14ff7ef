// The typed-value readers on any text, and the writers on what they read.
#include "framework/Exceptions.h"
#include "xml/XmlDocument.h"
#include "xml/XmlTextConversions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kq;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::int64_t i = 0;
    double d = 0;
    bool b = false;
    if (try_text_to_int64(text, i) && text_to_int64(int_to_text(i)) != i) std::abort();
    if (try_text_to_float(text, d)) float_to_text(d, 1 + static_cast<int>(size % 9), size & 1);
    try_text_to_bool(text, b);
    if (try_text_to_datetime(text, size & 1, d)) datetime_to_text(d, {true, true, static_cast<int>(size % 4), false});
    bool non_standard = false;
    resolve_references(text, non_standard);
    Utf8ToWide(text);
    const std::string cleaned = strip_base64_blanks(text);
    try {
        const std::string bytes = decode_base64(cleaned, base64_length(cleaned));
        if (decode_base64(encode_base64(bytes), bytes.size()) != bytes) std::abort();
    } catch (const Exception&) {
    }
    try {
        decode_hex(text, size & ~std::size_t{1});
    } catch (const Exception&) {
    }

    TXmlDocument doc;
    TXmlNode* root = doc.Root();
    root->SetValue(text);
    root->GetValueAsBoolDef(false);
    root->GetValueAsFloatDef(0);
    root->GetValueAsDateTimeDef(0);
    root->GetValueAsIntegerDef(0);
    root->GetValueAsInt64Def(0);
    root->SetAttributeValueByName("a", text);
    root->ReadAttributeFloat("a");
    root->ReadAttributeDateTime("a");
    try {
        std::string bytes = root->BinaryString();
        root->SetBinaryString(bytes);
        if (root->BinaryString() != bytes) std::abort();
    } catch (const Exception&) {
    }
    return 0;
}
