#pragma once
// Helpers of the XML tests: a document that records its messages, and texts in UTF-16 bytes.
#include "xml/XmlDocument.h"
#include "xml/XmlStreams.h"

#include <string>
#include <utility>
#include <vector>

namespace kq::xml_test {

// A document that records its messages.
struct logged_document {
    TXmlDocument doc;
    std::vector<std::pair<TXmlWarnStyle, std::string>> heard;
    logged_document() {
        doc.OnDebugOut = [this](TObject*, TXmlWarnStyle w, const std::string& m) { heard.emplace_back(w, m); };
    }
    void load(std::string_view bytes) {
        TXmlStringStream s(bytes);
        doc.LoadFromStream(s);
    }
    std::string save() {
        TXmlStringStream s;
        doc.SaveToStream(s);
        return s.DataString();
    }
    bool heard_text(const std::string& text) const {
        for (const auto& h : heard)
            if (h.second == text) return true;
        return false;
    }
    bool heard_message(TXmlWarnStyle style, const std::string& text) const {
        for (const auto& h : heard)
            if (h.first == style && h.second == text) return true;
        return false;
    }
    std::string all_heard() const {
        std::string out;
        for (const auto& h : heard) out += std::to_string(h.first) + " " + h.second + "\n";
        return out;
    }
};

// Documents whose internal DTD subset holds each kind of entity declaration and parameter-entity
// references between the declarations; each reads without a warning and is written back as `saved`.
// (A text without a declaration is reported as of unknown encoding.)
struct dtd_document {
    const char* what;
    const char* text;
    const char* saved; // nullptr: the text itself
};
inline const dtd_document dtd_documents[] = {
    {"general entity", "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY e \"v\">]><r>&e;</r>", nullptr},
    {"external entity with a system literal",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY chap SYSTEM 'chap1.xml'>]><r/>", nullptr},
    {"external entity with both literals",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY title PUBLIC \"-//EXAMPLE//TITLE\" \"title.xml\">]><r/>",
     nullptr},
    {"unparsed entity and its notation",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!NOTATION GIF SYSTEM \"image/gif\">"
     "<!ENTITY logo SYSTEM \"logo.gif\" NDATA GIF><!ATTLIST r img ENTITY #IMPLIED>]><r img=\"logo\"/>",
     nullptr},
    {"parameter entity and its reference",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY % decls \"<!ELEMENT r ANY>\"> %decls;]><r/>", nullptr},
    {"external parameter entities",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY % ext SYSTEM \"ext.dtd\"> %ext;"
     "<!ENTITY % pub PUBLIC '-//EXAMPLE//ENTITIES' 'ents.dtd'>]><r/>",
     nullptr},
    {"a reference right behind a declaration or comment is set off by a space",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY % n \"\">%n;<!ELEMENT r ANY>%n;<!--c-->%n;]><r/>",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY % n \"\"> %n;<!ELEMENT r ANY> %n;<!--c--> %n;]><r/>"},
    {"spacing is normalised inside a declaration",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY   %   p   SYSTEM\t\"p.dtd\">]><r/>",
     "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY % p SYSTEM \"p.dtd\">]><r/>"},
    {"a mixture with layout, comments and both quotes",
     "<?xml version=\"1.0\"?>\r\n"
     "<!DOCTYPE r SYSTEM \"r.dtd\" [\r\n"
     "  <!NOTATION PNG PUBLIC \"-//EXAMPLE//PNG\" \"png.exe\">\r\n"
     "  <!ENTITY icon PUBLIC '-//EXAMPLE//ICON' \"icon.png\" NDATA PNG>\r\n"
     "  <!-- shared declarations -->\r\n"
     "  <!ENTITY % shared \"<!ENTITY maker 'Tessaro'>\">\r\n"
     "  %shared;\r\n"
     "  <!ENTITY quote 'it\"s'>\r\n"
     "  <!ENTITY % ext SYSTEM 'ext.dtd'>\r\n"
     "  %ext;\r\n"
     "]>\r\n"
     "<r>&quote;</r>",
     nullptr},
};


inline std::string utf16(const std::u16string& text, bool little_endian) {
    std::string out;
    for (char16_t c : text) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        out.push_back(little_endian ? lo : hi);
        out.push_back(little_endian ? hi : lo);
    }
    return out;
}

} // namespace kq::xml_test
