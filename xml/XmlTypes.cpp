#include "xml/XmlTypes.h"

namespace kq {

const char* element_type_name(TXmlElementType type) noexcept {
    static constexpr const char* names[] = {
        "Element", "Attribute", "CharData", "Comment", "CData", "ConditionalSection", "Declaration", "Stylesheet",
        "DocType", "DtdElement", "DtdAttList", "DtdEntity", "DtdNotation", "Instruction", "WhiteSpace",
        "QuotedText", "EndTag", "Error"};
    return type <= xeError ? names[type] : "Error";
}

const char* encoding_name(TXmlStringEncoding encoding) noexcept {
    static constexpr const char* names[] = {"ansi", "utf-8", "unicodeFFFE", "utf-16", "utf-32BE",
                                            "utf-32", "ucs4_2143", "ucs4_3412", "ebcdic"};
    return encoding <= seEBCDIC ? names[encoding] : "ansi";
}

int encoding_codepage(TXmlStringEncoding encoding) noexcept {
    static constexpr int pages[] = {0, 65001, 1201, 1200, 12001, 12000, 0, 0, 0};
    return encoding <= seEBCDIC ? pages[encoding] : 0;
}

} // namespace kq
